#include "gui/app/UnitListModel.h"

#include "core/app/DebugLog.h"
#include "core/protocol/UnitConfigHandlerClass.h"
#include "core/unit/UnitInfoClass.h"

#include <algorithm>

namespace {

QString KeyText(const UnitInfoClass& unit, int id) {
    const KeyObjectClass* key = unit.FindKey(id);
    return key != nullptr ? key->DataText() : QString();
}

} // namespace

UnitListModel::UnitListModel(const UnitConfigHandlerClass& handler, QObject* parent)
    : QAbstractTableModel(parent), Handler(handler), Generation(handler.UnitsGeneration()) {
    // The rows point at unit records; they must go before the records do.
    connect(&handler, &UnitConfigHandlerClass::unitsCleared, this, &UnitListModel::Clear);
}

UnitListModel::RowTexts UnitListModel::TextsOf(const UnitInfoClass& unit) {
    return {unit.Mac, unit.RemoteIP, KeyText(unit, KEY_PRODUCT_INFO), KeyText(unit, KEY_SYSTEM_OWNER)};
}

int UnitListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : Count();
}

int UnitListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : COLUMN_COUNT;
}

QVariant UnitListModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole)
        return {};
    if (!index.isValid() || index.row() >= Count() || index.column() >= COLUMN_COUNT)
        return {};
    return Text(index.row(), index.column());
}

QVariant UnitListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    switch (section) {
    case COLUMN_MAC:
        return QStringLiteral("Mac");
    case COLUMN_IP:
        return QStringLiteral("IP");
    case COLUMN_PRODUCT:
        return QStringLiteral("Product");
    case COLUMN_OWNER:
        return QStringLiteral("Owner");
    default:
        return {};
    }
}

Qt::ItemFlags UnitListModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

const QString& UnitListModel::Text(int row, int column) const {
    static const QString empty;
    if (row < 0 || row >= Count() || column < 0 || column >= COLUMN_COUNT)
        return empty;
    return Entries[static_cast<size_t>(Display[static_cast<size_t>(row)])].Texts[static_cast<size_t>(column)];
}

UnitInfoClass* UnitListModel::UnitAt(int row) const {
    if (row < 0 || row >= Count())
        return nullptr;
    return Entries[static_cast<size_t>(Display[static_cast<size_t>(row)])].Unit;
}

int UnitListModel::RowOf(const UnitInfoClass* unit) const {
    const auto found = OrderOf.constFind(unit);
    return found == OrderOf.constEnd() ? -1 : static_cast<int>(PositionOf(found.value()));
}

bool UnitListModel::Before(qsizetype a, const QString& ta, qsizetype b, const QString& tb) const {
    const int compared = QString::compare(ta, tb, Qt::CaseInsensitive);
    // Equal texts keep the handler's order, as rows added in that order and sorted stably would.
    return compared < 0 || (compared == 0 && a < b);
}

bool UnitListModel::Before(qsizetype a, qsizetype b) const {
    const auto column = static_cast<size_t>(SortBy);
    return Before(a, Entries[static_cast<size_t>(a)].Texts[column], b,
                  Entries[static_cast<size_t>(b)].Texts[column]);
}

qsizetype UnitListModel::PositionOf(qsizetype order) const {
    const auto found =
        std::lower_bound(Display.begin(), Display.end(), order,
                         [this](qsizetype shown, qsizetype wanted) { return Before(shown, wanted); });
    return found - Display.begin();
}

void UnitListModel::Clear() {
    Generation = Handler.UnitsGeneration();
    SeenRecords = 0;
    if (Entries.empty())
        return;
    beginResetModel();
    Entries.clear();
    Display.clear();
    OrderOf.clear();
    endResetModel();
    Q_EMIT countChanged(0);
}

void UnitListModel::UpdateListView(UnitInfoClass* unit) {
    WriteLog(QStringLiteral("UpdateListView()"));
    try {
        if (Handler.UnitsGeneration() != Generation)
            Clear();
        const int before = Count();
        const auto known = OrderOf.constFind(unit);
        const qsizetype order = known == OrderOf.constEnd() ? -1 : known.value();
        AddUnseenRecords();
        if (order >= 0)
            RefreshRecord(order);
        if (Count() != before)
            Q_EMIT countChanged(Count());
    } catch (...) {
        WriteLog(QStringLiteral("UpdateListView() update error"));
    }
}

void UnitListModel::AddUnseenRecords() {
    const auto& units = Handler.Units();
    const auto total = static_cast<qsizetype>(units.size());
    if (total < SeenRecords) {
        // Records went away without unitsCleared: none of the rows can be trusted.
        beginResetModel();
        Entries.clear();
        Display.clear();
        OrderOf.clear();
        SeenRecords = 0;
        endResetModel();
    }
    for (qsizetype order = SeenRecords; order < total; ++order)
        InsertRecord(units[static_cast<size_t>(order)].get(), order);
    SeenRecords = total;
}

void UnitListModel::InsertRecord(UnitInfoClass* unit, qsizetype order) {
    Entries.push_back(Entry{unit, TextsOf(*unit)});
    OrderOf.insert(unit, order);
    const qsizetype position = PositionOf(order);
    beginInsertRows(QModelIndex(), static_cast<int>(position), static_cast<int>(position));
    Display.insert(Display.begin() + position, order);
    endInsertRows();
}

void UnitListModel::RefreshRecord(qsizetype order) {
    Entry& entry = Entries[static_cast<size_t>(order)];
    RowTexts texts = TextsOf(*entry.Unit);
    if (texts == entry.Texts)
        return;
    const qsizetype from = PositionOf(order);
    const QString& key = texts[static_cast<size_t>(SortBy)];

    // Where the row goes among the others: a binary search that steps over its old place.
    qsizetype low = 0;
    qsizetype high = static_cast<qsizetype>(Display.size()) - 1;
    while (low < high) {
        const qsizetype middle = (low + high) / 2;
        const qsizetype other = Display[static_cast<size_t>(middle < from ? middle : middle + 1)];
        if (Before(other, Entries[static_cast<size_t>(other)].Texts[static_cast<size_t>(SortBy)], order, key))
            low = middle + 1;
        else
            high = middle;
    }
    const qsizetype to = low;

    if (to != from) {
        beginMoveRows(QModelIndex(), static_cast<int>(from), static_cast<int>(from), QModelIndex(),
                      static_cast<int>(to > from ? to + 1 : to));
        const auto begin = Display.begin();
        if (to > from)
            std::rotate(begin + from, begin + from + 1, begin + to + 1);
        else
            std::rotate(begin + to, begin + from, begin + from + 1);
        entry.Texts = std::move(texts);
        endMoveRows();
    } else {
        entry.Texts = std::move(texts);
    }
    Q_EMIT dataChanged(index(static_cast<int>(to), 0), index(static_cast<int>(to), COLUMN_COUNT - 1));
}

void UnitListModel::SortByColumn(int column) {
    if (column < 0 || column >= COLUMN_COUNT)
        return;
    WriteLog(QStringLiteral("Sort units by column: ") + QString::number(column));
    SortBy = column;
    try {
        Q_EMIT layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
        const QModelIndexList persistent = persistentIndexList();
        std::vector<qsizetype> orders;
        orders.reserve(static_cast<size_t>(persistent.size()));
        for (const QModelIndex& index : persistent)
            orders.push_back(Display[static_cast<size_t>(index.row())]);

        std::sort(Display.begin(), Display.end(), [this](qsizetype a, qsizetype b) { return Before(a, b); });

        std::vector<int> rowOf(Entries.size(), 0);
        for (size_t row = 0; row < Display.size(); ++row)
            rowOf[static_cast<size_t>(Display[row])] = static_cast<int>(row);
        QModelIndexList moved;
        moved.reserve(persistent.size());
        for (qsizetype i = 0; i < persistent.size(); ++i)
            moved.append(
                index(rowOf[static_cast<size_t>(orders[static_cast<size_t>(i)])], persistent[i].column()));
        changePersistentIndexList(persistent, moved);
        Q_EMIT layoutChanged({}, QAbstractItemModel::VerticalSortHint);
    } catch (...) {
        WriteLog(column == COLUMN_MAC ? QStringLiteral("Sort phase 1 error")
                                      : QStringLiteral("Sort phase 2 error"));
    }
}
