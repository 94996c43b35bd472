#pragma once

#include <QAbstractTableModel>
#include <QHash>
#include <QString>
#include <array>
#include <vector>

class UnitConfigHandlerClass;
class UnitInfoClass;

// The rows of the main window's unit list: one per unit record of the config handler, with the
// columns "Mac", "IP", "Product" and "Owner", kept sorted by one column.
//
// The list always shows what a full rebuild would show: every record in the handler's order,
// then sorted by the sort column's text, case-insensitive and ascending; equal texts keep the
// handler's order. But it is never rebuilt on a reply. A scan of hundreds of units would then
// redo the whole list hundreds of times; instead only the row of the unit that answered is
// updated, inserted or moved, each found by binary search.
//
// Only QtCore and the core are used, so the model can be measured and tested without widgets.
class UnitListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int COLUMN_MAC = 0;
    static constexpr int COLUMN_IP = 1;
    static constexpr int COLUMN_PRODUCT = 2;
    static constexpr int COLUMN_OWNER = 3;
    static constexpr int COLUMN_COUNT = 4;

    // Keys whose value bytes fill the "Product" and "Owner" cells.
    static constexpr int KEY_PRODUCT_INFO = 105;
    static constexpr int KEY_SYSTEM_OWNER = 101;

    using RowTexts = std::array<QString, COLUMN_COUNT>;

    explicit UnitListModel(const UnitConfigHandlerClass& handler, QObject* parent = nullptr);

    // The four cells of a unit's row: MAC text, the IP of its last packet, and keys 105 and 101
    // one byte per character (empty when the unit has not sent them).
    static RowTexts TextsOf(const UnitInfoClass& unit);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // A unit answered: its row is added or brought up to date. Records the handler made without
    // telling (a damaged packet still names a unit) get their rows now too, as a rebuild would.
    void UpdateListView(UnitInfoClass* unit);
    // Empties the list (a scan, a remote connect; the handler's unitsCleared does it as well).
    void Clear();

    int SortColumn() const { return SortBy; }
    // Makes the column the sort column and sorts; an unknown column is ignored.
    void SortByColumn(int column);

    int Count() const { return static_cast<int>(Display.size()); }
    const QString& Text(int row, int column) const;
    UnitInfoClass* UnitAt(int row) const;
    // The row of the unit, or -1.
    int RowOf(const UnitInfoClass* unit) const;

Q_SIGNALS:
    // The number of rows may have changed.
    void countChanged(int count);

private:
    struct Entry {
        UnitInfoClass* Unit = nullptr;
        RowTexts Texts;
    };
    // Whether the row of record a (with text ta in the sort column) comes before that of b.
    bool Before(qsizetype a, const QString& ta, qsizetype b, const QString& tb) const;
    bool Before(qsizetype a, qsizetype b) const;
    // Display position of the record, found by binary search on its current texts.
    qsizetype PositionOf(qsizetype order) const;
    void InsertRecord(UnitInfoClass* unit, qsizetype order);
    void RefreshRecord(qsizetype order);
    void AddUnseenRecords();

    const UnitConfigHandlerClass& Handler;
    // Entries by the records' positions in the handler's list, and those positions in the order
    // the rows are shown. The sort column's text in an entry is the key of its binary search.
    std::vector<Entry> Entries;
    std::vector<qsizetype> Display;
    QHash<const UnitInfoClass*, qsizetype> OrderOf;
    // Records of the handler's list before this position have rows; the list only ever grows at
    // its end until it is cleared, so new records are always found after it.
    qsizetype SeenRecords = 0;
    quint64 Generation = 0;
    int SortBy = COLUMN_MAC;
};
