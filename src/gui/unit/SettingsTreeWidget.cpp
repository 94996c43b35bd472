#include "gui/unit/SettingsTreeWidget.h"

#include <QComboBox>
#include <QEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPaintEvent>
#include <QStyledItemDelegate>
#include <algorithm>

namespace {

// The holder in a row's "New Value" cell. The view deletes its cell widgets with their rows; the
// editor inside is taken out before that happens.
class EditorHolder : public QWidget {
public:
    explicit EditorHolder(QWidget* parent = nullptr) : QWidget(parent) {
        auto* layout = new QHBoxLayout(this);
        layout->setContentsMargins(2, 1, 4, 1);
        layout->setSpacing(0);
    }
    QWidget* Editor() const {
        QLayoutItem* item = layout()->count() > 0 ? layout()->itemAt(0) : nullptr;
        return item != nullptr ? item->widget() : nullptr;
    }
};

// The view repaints whole rows even when only their value changed; laying out the texts of cells
// that are not in the repainted region is the larger part of a reprint's cost, so they are skipped.
class RegionDelegate : public QStyledItemDelegate {
public:
    RegionDelegate(const QRegion& region, QObject* parent) : QStyledItemDelegate(parent), Region(region) {}
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        if (!Region.isEmpty() && !Region.intersects(option.rect))
            return;
        QStyledItemDelegate::paint(painter, option, index);
    }

private:
    const QRegion& Region;
};

constexpr qsizetype MAX_ROW_LINES = 6;

} // namespace

SettingsTreeWidget::SettingsTreeWidget(QWidget* parking, QWidget* parent)
    : QTreeWidget(parent), ParkingWidget(parking) {
    setColumnCount(3);
    setHeaderLabels({QStringLiteral("Description"), QStringLiteral("Value"), QStringLiteral("New Value")});
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setAllColumnsShowFocus(true);
    setUniformRowHeights(false);
    setAlternatingRowColors(true);
    setContextMenuPolicy(Qt::ActionsContextMenu);
    setMouseTracking(true);
    header()->setStretchLastSection(true);
    header()->setSectionResizeMode(QHeaderView::Interactive);
    setItemDelegate(new RegionDelegate(PaintRegion, this));
    MeasureRows();
}

void SettingsTreeWidget::paintEvent(QPaintEvent* event) {
    PaintRegion = event->region();
    QTreeWidget::paintEvent(event);
    PaintRegion = QRegion();
}

void SettingsTreeWidget::MeasureRows() {
    // A row is as high as a drop-down list in the list's font.
    QComboBox sample;
    sample.setFont(font());
    RowHeight = sample.sizeHint().height() + 2;
    LineHeight = fontMetrics().lineSpacing();
    // Wide enough for the longest labels and for a host name with its port, in the list's font.
    const int sampleWidth =
        fontMetrics().horizontalAdvance(QStringLiteral("Current Secondary (GPRS) Server"));
    setColumnWidth(COLUMN_CAPTION, sampleWidth + 60);
    setColumnWidth(COLUMN_VALUE, sampleWidth + 20);
}

void SettingsTreeWidget::SetRowHeights(QTreeWidgetItem* row) const {
    for (int column = 0; column < 3; ++column) {
        // A value may hold any bytes; one full of line breaks must not make a row taller than the list.
        const qsizetype lines =
            std::min<qsizetype>(row->text(column).count(QLatin1Char('\n')) + 1, MAX_ROW_LINES);
        const int height =
            lines <= 1 ? RowHeight : std::max<int>(RowHeight, static_cast<int>(lines) * LineHeight + 6);
        if (row->sizeHint(column).height() != height)
            row->setSizeHint(column, QSize(0, height));
    }
}

void SettingsTreeWidget::changeEvent(QEvent* event) {
    QTreeWidget::changeEvent(event);
    if (event->type() != QEvent::FontChange)
        return;
    MeasureRows();
    for (QTreeWidgetItem* row : Rows())
        SetRowHeights(row);
}

QString SettingsTreeWidget::GroupName(Group group) {
    switch (group) {
    case GROUP_SETTINGS:
        return QStringLiteral("Settings");
    case GROUP_STATUS:
        return QStringLiteral("Status");
    default:
        return QStringLiteral("Unknown");
    }
}

QTreeWidgetItem* SettingsTreeWidget::GroupItem(Group group) {
    if (Groups[group] != nullptr)
        return Groups[group];
    // Groups keep their order whichever is needed first.
    int position = 0;
    for (int g = 0; g < group; ++g)
        if (Groups[g] != nullptr)
            ++position;
    auto* item = new QTreeWidgetItem(QStringList{GroupName(group)});
    item->setFlags(Qt::ItemIsEnabled);
    QFont font = item->font(COLUMN_CAPTION);
    font.setBold(true);
    item->setFont(COLUMN_CAPTION, font);
    insertTopLevelItem(position, item);
    item->setFirstColumnSpanned(true);
    item->setExpanded(true);
    Groups[group] = item;
    return item;
}

QTreeWidgetItem* SettingsTreeWidget::AddRow(Group group, const QString& caption) {
    auto* row = new QTreeWidgetItem(QStringList{caption, QString(), QString()});
    row->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    SetRowHeights(row);
    GroupItem(group)->addChild(row);
    RowByCaption.insert(caption, row);
    return row;
}

QList<QTreeWidgetItem*> SettingsTreeWidget::Rows() const {
    QList<QTreeWidgetItem*> rows;
    rows.reserve(RowByCaption.size());
    for (QTreeWidgetItem* group : Groups) {
        if (group == nullptr)
            continue;
        for (int i = 0; i < group->childCount(); ++i)
            rows.append(group->child(i));
    }
    return rows;
}

void SettingsTreeWidget::ClearRows() {
    for (QTreeWidgetItem* row : Rows()) {
        QWidget* holder = itemWidget(row, COLUMN_NEW_VALUE);
        if (holder == nullptr)
            continue;
        if (QWidget* editor = RowEditor(row))
            Park(editor);
        // The view would only schedule its cell widgets for deletion, and a list reprinted many
        // times between two returns to the event loop would pile them up; the view lets go of a
        // cell widget that is destroyed.
        delete holder;
    }
    clear();
    for (QTreeWidgetItem*& group : Groups)
        group = nullptr;
    RowByCaption.clear();
}

void SettingsTreeWidget::SetCellText(QTreeWidgetItem* row, int column, const QString& text) const {
    if (row->text(column) == text)
        return;
    row->setText(column, text);
    SetRowHeights(row);
}

void SettingsTreeWidget::SetRowRed(QTreeWidgetItem* row, bool red) {
    const bool isRed = row->data(COLUMN_CAPTION, Qt::ForegroundRole).isValid();
    if (red == isRed)
        return;
    for (int column = 0; column < 3; ++column) {
        if (red)
            row->setForeground(column, QBrush(Qt::red));
        else
            row->setData(column, Qt::ForegroundRole, QVariant());
    }
}

QWidget* SettingsTreeWidget::RowEditor(QTreeWidgetItem* row) const {
    auto* holder = static_cast<EditorHolder*>(itemWidget(row, COLUMN_NEW_VALUE));
    return holder != nullptr ? holder->Editor() : nullptr;
}

void SettingsTreeWidget::BindEditor(QTreeWidgetItem* row, QWidget* editor) {
    auto* holder = static_cast<EditorHolder*>(itemWidget(row, COLUMN_NEW_VALUE));
    if (holder != nullptr && holder->Editor() == editor) {
        editor->show();
        return;
    }
    if (holder == nullptr) {
        holder = new EditorHolder;
        setItemWidget(row, COLUMN_NEW_VALUE, holder);
    } else if (QWidget* previous = holder->Editor()) {
        Park(previous);
    }
    holder->layout()->addWidget(editor);
    editor->show();
}

void SettingsTreeWidget::Park(QWidget* editor) {
    if (editor == nullptr || editor->parentWidget() == ParkingWidget)
        return;
    editor->hide();
    editor->setParent(ParkingWidget);
}

void SettingsTreeWidget::RelayoutRows() {
    scheduleDelayedItemsLayout();
}

void SettingsTreeWidget::enterEvent(QEnterEvent* event) {
    QTreeWidget::enterEvent(event);
    Q_EMIT mouseEnteredOrLeft();
}

void SettingsTreeWidget::leaveEvent(QEvent* event) {
    QTreeWidget::leaveEvent(event);
    Q_EMIT mouseEnteredOrLeft();
}
