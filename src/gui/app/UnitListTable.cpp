#include "gui/app/UnitListTable.h"

#include "gui/app/UnitListModel.h"

#include <QHeaderView>
#include <QKeyEvent>

UnitListTable::UnitListTable(UnitListModel& model, QWidget* parent) : QTableView(parent), Model(model) {
    setObjectName(QStringLiteral("UnitListView"));
    // A table without grid or row numbers reads as the report list it is; unlike a tree view it
    // does not lay out every row again when one is added.
    setModel(&model);
    setShowGrid(false);
    setWordWrap(false);
    setCornerButtonEnabled(false);
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setContextMenuPolicy(Qt::CustomContextMenu);

    QHeaderView* header = horizontalHeader();
    header->setHighlightSections(false);
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    header->setSectionsClickable(true);
    header->setSortIndicatorShown(true);
    header->setSortIndicator(model.SortColumn(), Qt::AscendingOrder);
    header->setStretchLastSection(true);
    SizeColumns();

    connect(header, &QHeaderView::sectionClicked, this, &UnitListTable::OnHeaderClicked);
    connect(this, &QAbstractItemView::doubleClicked, this, &UnitListTable::openRequested);
}

int UnitListTable::SelectedRow() const {
    const QModelIndexList rows = selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

void UnitListTable::SetPointSize(int size) {
    if (font().pointSize() == size)
        return;
    QFont larger = font();
    larger.setPointSize(size);
    setFont(larger);
    SizeColumns();
}

void UnitListTable::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        Q_EMIT openRequested();
        return;
    }
    QTableView::keyPressEvent(event);
}

void UnitListTable::OnHeaderClicked(int column) {
    // The header would turn the order round on a second click; the list only sorts ascending.
    horizontalHeader()->setSortIndicator(column, Qt::AscendingOrder);
    Model.SortByColumn(column);
}

void UnitListTable::SizeColumns() {
    // Wide enough for a whole MAC and IP in the list's font; sizing to the contents would walk
    // every row on every reply.
    const QFontMetrics metrics(font());
    const int padding = 2 * metrics.averageCharWidth();
    verticalHeader()->setDefaultSectionSize(metrics.height() + 4);
    setColumnWidth(UnitListModel::COLUMN_MAC,
                   metrics.horizontalAdvance(QStringLiteral("00-00-00-00-00-00")) + padding);
    setColumnWidth(UnitListModel::COLUMN_IP,
                   metrics.horizontalAdvance(QStringLiteral("000.000.000.000")) + padding);
    setColumnWidth(UnitListModel::COLUMN_PRODUCT,
                   metrics.horizontalAdvance(QStringLiteral("RDM00 Q0 Gateway v0.0.0")) + padding);
}
