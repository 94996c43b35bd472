#pragma once

#include <QtGlobal>
#include <cstddef>
#include <iterator>
#include <memory>
#include <vector>

class UnitInfoClass;

// A list that owns its items and hands out plain pointers to them. Everyone may read it; only the
// unit record adds or removes items, because it keeps lookup indexes beside some of its lists and
// those must never fall out of step with the items.
template <typename T> class OwningList {
public:
    using Storage = std::vector<std::unique_ptr<T>>;

    class const_iterator {
    public:
        using iterator_category = std::forward_iterator_tag;
        using value_type = T*;
        using difference_type = std::ptrdiff_t;
        using pointer = T* const*;
        using reference = T*;

        const_iterator() = default;
        explicit const_iterator(typename Storage::const_iterator it) : It(it) {}
        T* operator*() const { return It->get(); }
        const_iterator& operator++() {
            ++It;
            return *this;
        }
        const_iterator operator++(int) {
            const_iterator before = *this;
            ++It;
            return before;
        }
        bool operator==(const const_iterator& other) const { return It == other.It; }
        bool operator!=(const const_iterator& other) const { return It != other.It; }

    private:
        typename Storage::const_iterator It;
    };
    using iterator = const_iterator;

    OwningList() = default;
    OwningList(const OwningList&) = delete;
    OwningList& operator=(const OwningList&) = delete;

    qsizetype size() const { return static_cast<qsizetype>(Items.size()); }
    qsizetype count() const { return size(); }
    bool isEmpty() const { return Items.empty(); }
    bool empty() const { return Items.empty(); }

    // The item at the position, or nullptr outside the list.
    T* at(qsizetype index) const {
        if (index < 0 || index >= size())
            return nullptr;
        return Items[static_cast<std::size_t>(index)].get();
    }
    T* operator[](qsizetype index) const { return at(index); }
    T* first() const { return at(0); }
    T* last() const { return at(size() - 1); }

    // Position of the item, or -1 when the list does not hold it.
    qsizetype indexOf(const T* item) const {
        for (std::size_t i = 0; i < Items.size(); ++i)
            if (Items[i].get() == item)
                return static_cast<qsizetype>(i);
        return -1;
    }

    const_iterator begin() const { return const_iterator(Items.cbegin()); }
    const_iterator end() const { return const_iterator(Items.cend()); }

private:
    friend class UnitInfoClass;

    T* append(std::unique_ptr<T> item) {
        Items.push_back(std::move(item));
        return Items.back().get();
    }
    void clear() { Items.clear(); }
    template <typename Predicate> qsizetype removeIf(Predicate selected) {
        const std::size_t before = Items.size();
        std::erase_if(Items, [&](const std::unique_ptr<T>& item) { return selected(*item); });
        return static_cast<qsizetype>(before - Items.size());
    }
    void reserve(qsizetype count) { Items.reserve(static_cast<std::size_t>(count)); }

    Storage Items;
};
