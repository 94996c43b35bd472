#include "gui/status/TFormInfoList.h"

#include "core/app/DebugLog.h"
#include "core/app/MainClass.h"
#include "core/protocol/UnitConfigHandlerClass.h"
#include "core/radio/RadioPayloadsClass.h"
#include "core/unit/CsvExport.h"
#include "core/unit/SaveDebugData.h"
#include "core/unit/UnitInfoClass.h"
#include "gui/status/StatusDialogs.h"

#include <QDateTime>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <exception>

namespace {

// The socket and event-log views share the width out a little narrower than a resize does.
constexpr int OPEN_COLUMN_MARGIN = 5;
constexpr int RESIZE_COLUMN_MARGIN = 2;

} // namespace

TFormInfoList::TFormInfoList(MainClass& main, QWidget* parent) : QDialog(parent), Main(main) {
    setWindowTitle(QStringLiteral("Info"));
    setWindowFlag(Qt::WindowMaximizeButtonHint);
    setSizeGripEnabled(true);
    resize(860, 460);

    Title = new QLabel(this);
    QFont titleFont = Title->font();
    titleFont.setBold(true);
    Title->setFont(titleFont);

    ListView = new QTreeWidget(this);
    ListView->setRootIsDecorated(false);
    ListView->setUniformRowHeights(true);
    ListView->setAlternatingRowColors(true);
    ListView->setSelectionMode(QAbstractItemView::SingleSelection);
    ListView->setSelectionBehavior(QAbstractItemView::SelectRows);
    ListView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ListView->setColumnCount(0);
    ListView->header()->setStretchLastSection(false);
    ListView->header()->setSectionsClickable(true);
    ListView->header()->setSortIndicatorShown(true);
    ListView->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(ListView->header(), &QHeaderView::sectionClicked, this, &TFormInfoList::SortByColumn);
    connect(ListView, &QWidget::customContextMenuRequested, this, &TFormInfoList::ShowPopup);

    Count = new QLabel(QStringLiteral("Count: 0"), this);
    Refresh = new QPushButton(QStringLiteral("Refresh"), this);
    Visualize = new QPushButton(QStringLiteral("Visualize Network"), this);
    RadioTree = new QPushButton(QStringLiteral("Radio Tree"), this);
    CloseBtn = new QPushButton(QStringLiteral("Close"), this);
    // Return in the list must not press a button of the window.
    for (QPushButton* button : {Refresh, Visualize, RadioTree, CloseBtn})
        button->setAutoDefault(false);
    connect(Refresh, &QPushButton::clicked, this, &TFormInfoList::RefreshClicked);
    connect(CloseBtn, &QPushButton::clicked, this, &QDialog::close);
    // The radio views behind these two buttons come with the device list.
    Visualize->setEnabled(false);
    RadioTree->setEnabled(false);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(Count);
    buttons->addStretch(1);
    buttons->addWidget(Refresh);
    buttons->addWidget(Visualize);
    buttons->addWidget(RadioTree);
    buttons->addSpacing(12);
    buttons->addWidget(CloseBtn);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Title);
    layout->addWidget(ListView, 1);
    layout->addLayout(buttons);

    DefaultMenu = new QMenu(this);
    connect(DefaultMenu->addAction(QStringLiteral("Save to file")), &QAction::triggered, this,
            &TFormInfoList::SaveToFile);
    LogMenu = new QMenu(this);
    connect(LogMenu->addAction(QStringLiteral("Save to file")), &QAction::triggered, this,
            &TFormInfoList::SaveToFile);
    CurrentMenu = DefaultMenu;

    for (QPushButton* button : {Refresh, Visualize, RadioTree})
        button->setVisible(false);

    ChooseSaveFile = &StatusDialogs::ChooseSaveFile;
    ShowMessage = &StatusDialogs::ShowMessage;

    ConnectHandler();
}

TFormInfoList::~TFormInfoList() = default;

UnitConfigHandlerClass* TFormInfoList::Handler() const {
    return Main.HasTransport() ? &Main.ConfigHandler() : nullptr;
}

void TFormInfoList::ConnectHandler() {
    UnitConfigHandlerClass* handler = Handler();
    if (HandlerConnected || handler == nullptr)
        return;
    HandlerConnected = true;
    connect(handler, &UnitConfigHandlerClass::eventLogReady, this, &TFormInfoList::OnEventLogReady);
    connect(&handler->Radio(), &RadioPayloadsClass::arpRowAdded, this, &TFormInfoList::AddArpRow);
    connect(&handler->DebugDownload(), &DebugDownloadClass::debugDownloadFinished, this,
            [this](const QString& message, const QString&, qint64) { OnDebugDownloadFinished(message); });
}

UnitInfoClass* TFormInfoList::CurrentUnitFor(const char* clickName) {
    if (clickName != nullptr)
        WriteLog(QString::fromLatin1(clickName) + QStringLiteral("()"));
    ConnectHandler();
    UnitConfigHandlerClass* handler = Handler();
    UnitInfoClass* unit = handler != nullptr ? handler->CurrentUnit() : nullptr;
    if (unit == nullptr)
        WriteLog(QStringLiteral("Status view: no unit open"));
    return unit;
}

// ---- opening the views -------------------------------------------------------------------------

void TFormInfoList::OpenListMode(int mode, const QString& title, const QStringList& columns, QMenu* menu,
                                 int columnMargin) {
    ClearRows();
    ListView->setColumnCount(0);
    ListModeValue = mode;
    SortColumnValue = 0;
    ListView->setColumnCount(static_cast<int>(columns.size()));
    ListView->setHeaderLabels(columns);
    ListView->header()->setSortIndicator(0, Qt::AscendingOrder);
    Title->setText(title);
    UpdateCountLabel();
    CurrentMenu = menu;
    // "Refresh", "Visualize Network" and "Radio Tree" belong to the radio lists.
    Refresh->setVisible(mode == LIST_DEVICES || mode == LIST_ZONES);
    Visualize->setVisible(mode == LIST_DEVICES);
    RadioTree->setVisible(mode == LIST_DEVICES);
    show();
    raise();
    activateWindow();
    SetColumnWidths(columnMargin);
}

void TFormInfoList::ShowIpSockets() {
    ShowSockets(LIST_IP_SOCKETS, KEY_IP_SOCKETS, "OnSocketsClick");
}

void TFormInfoList::ShowGprsSockets() {
    ShowSockets(LIST_GPRS_SOCKETS, KEY_GPRS_SOCKETS, "OnGPRSSocketsClick");
}

void TFormInfoList::ShowSockets(int mode, int key, const char* clickName) {
    UnitInfoClass* unit = CurrentUnitFor(clickName);
    if (unit == nullptr)
        return;
    ListUnitMac = unit->Mac;
    OpenListMode(mode, QStringLiteral("Sockets"), SocketColumns(), DefaultMenu, OPEN_COLUMN_MARGIN);
    // The view shows what the unit sent with its "Logs" menu; nothing new is asked for.
    const KeyObjectClass* value = unit->FindKey(key);
    const QByteArray bytes = value != nullptr ? value->Data : QByteArray();
    const QList<SocketRecord> records =
        mode == LIST_IP_SOCKETS ? DecodeIpSockets(bytes) : DecodeGprsSockets(bytes);
    QList<QStringList> rows;
    rows.reserve(records.size());
    for (qsizetype i = 0; i < records.size(); ++i)
        rows.append(SocketRowTexts(records.at(i), static_cast<int>(i + 1)));
    AddRows(rows);
    UpdateCountLabel();
}

void TFormInfoList::ShowEventLog() {
    if (OpenEventLogView("OnDownloadLogClick") != nullptr)
        Handler()->RequestShortKey(UnitConfigHandlerClass::KEY_EVENT_LOG, 0);
}

UnitInfoClass* TFormInfoList::OpenEventLogView(const char* clickName) {
    UnitInfoClass* unit = CurrentUnitFor(clickName);
    if (unit == nullptr)
        return nullptr;
    unit->EventLog.clear();
    // Bytes left over from a download that never got its last page belong to an older log (maybe
    // of another unit); joined to this one they would shift every entry after them.
    QByteArray& leftOver = Handler()->EventLogAccumulator();
    if (!leftOver.isEmpty()) {
        WriteLog(QStringLiteral("Dropping ") + QString::number(leftOver.size()) +
                 QStringLiteral(" bytes of an unfinished log download"));
        leftOver.clear();
    }
    ListUnitMac = unit->Mac;
    OpenListMode(LIST_EVENT_LOG, QStringLiteral("Logbook"), EventLogColumns(), LogMenu, OPEN_COLUMN_MARGIN);
    return unit;
}

void TFormInfoList::OnEventLogReady() {
    UnitConfigHandlerClass* handler = Handler();
    const UnitInfoClass* unit = handler != nullptr ? handler->CurrentUnit() : nullptr;
    // The log is only shown where it was asked for: a window since turned to another view or
    // another unit keeps what it shows.
    if (unit == nullptr || ListModeValue != LIST_EVENT_LOG || unit->Mac != ListUnitMac) {
        WriteLog(QStringLiteral("Event log not shown: the list window shows another view"));
        return;
    }
    ShowEventLog(*unit);
}

void TFormInfoList::ShowEventLog(const UnitInfoClass& unit) {
    try {
        if (ListModeValue != LIST_EVENT_LOG || ListUnitMac != unit.Mac) {
            ListUnitMac = unit.Mac;
            OpenListMode(LIST_EVENT_LOG, QStringLiteral("Logbook"), EventLogColumns(), LogMenu,
                         OPEN_COLUMN_MARGIN);
        }
        // The unit's list holds the whole log, so rows of an earlier rendering go first.
        ClearRows();
        Count->setText(QStringLiteral("Count: ") + QString::number(unit.EventLog.size()));
        QList<QStringList> rows;
        rows.reserve(unit.EventLog.size());
        for (const QString& entry : unit.EventLog)
            rows.append(EventLogRowTexts(entry));
        AddRows(rows);
    } catch (const std::exception&) {
        WriteLog(QStringLiteral("ShowEventLog error"));
    }
    show();
    raise();
}

void TFormInfoList::ShowArpTable() {
    if (OpenArpView("OnARPTableClick") != nullptr)
        Handler()->RequestShortKey(UnitConfigHandlerClass::KEY_ARP_TABLE, 0);
}

UnitInfoClass* TFormInfoList::OpenArpView(const char* clickName) {
    UnitInfoClass* unit = CurrentUnitFor(clickName);
    if (unit == nullptr)
        return nullptr;
    ListUnitMac = unit->Mac;
    OpenListMode(LIST_ARP_TABLE, QStringLiteral("ARP Table"), ArpColumns(), DefaultMenu,
                 RESIZE_COLUMN_MARGIN);
    return unit;
}

void TFormInfoList::OpenStatusView(int mode) {
    switch (mode) {
    case LIST_IP_SOCKETS:
        ShowSockets(LIST_IP_SOCKETS, KEY_IP_SOCKETS, nullptr);
        break;
    case LIST_GPRS_SOCKETS:
        ShowSockets(LIST_GPRS_SOCKETS, KEY_GPRS_SOCKETS, nullptr);
        break;
    case LIST_EVENT_LOG:
        OpenEventLogView(nullptr);
        break;
    case LIST_ARP_TABLE:
        OpenArpView(nullptr);
        break;
    default:
        WriteLog(QStringLiteral("Status view: unknown list mode ") + QString::number(mode));
        break;
    }
}

void TFormInfoList::AddArpRow(const QString& mac, const ArpRow& row) {
    // The paging goes on whatever happens here; rows only go into the ARP table of that unit.
    if (!isVisible() || ListModeValue != LIST_ARP_TABLE || mac != ListUnitMac)
        return;
    try {
        AddRow(ArpRowTexts(row));
        UpdateCountLabel();
    } catch (const std::exception&) {
        WriteLog(QStringLiteral("Error adding ARP-item. LastArpPosReceived: ") + QString::number(row.Pos) +
                 QStringLiteral(". Items: ") + QString::number(ListView->topLevelItemCount()));
    }
}

void TFormInfoList::DownloadDebugLog() {
    UnitInfoClass* unit = CurrentUnitFor("OnDownloadDebugClick");
    if (unit == nullptr)
        return;
    Handler()->DebugDownload().StartDebugDownload(*unit);
}

void TFormInfoList::OnDebugDownloadFinished(const QString& message) {
    ShowMessage(isVisible() ? this : parentWidget(), message);
}

// ---- rows, sorting and widths ------------------------------------------------------------------

void TFormInfoList::ClearRows() {
    ListView->clear();
}

bool TFormInfoList::RowLess(const QTreeWidgetItem* a, const QTreeWidgetItem* b) const {
    const int column = SortColumnValue;
    const QString left = a->text(column);
    const QString right = b->text(column);
    if (column != 0) {
        bool leftIsNumber = false;
        bool rightIsNumber = false;
        const qlonglong x = left.toLongLong(&leftIsNumber, 10);
        const qlonglong y = right.toLongLong(&rightIsNumber, 10);
        if (leftIsNumber && rightIsNumber)
            return x < y;
    }
    return left.compare(right, Qt::CaseInsensitive) < 0;
}

void TFormInfoList::AddRow(const QStringList& cells) {
    if (ListView->topLevelItemCount() == 0)
        SortColumnValue = 0;
    auto* item = new QTreeWidgetItem(cells);
    // Rows stay in sort order: the new one goes after every row that does not sort after it.
    int low = 0;
    int high = ListView->topLevelItemCount();
    while (low < high) {
        const int middle = low + (high - low) / 2;
        if (RowLess(item, ListView->topLevelItem(middle)))
            high = middle;
        else
            low = middle + 1;
    }
    ListView->insertTopLevelItem(low, item);
}

void TFormInfoList::AddRows(const QList<QStringList>& rows) {
    if (rows.isEmpty())
        return;
    if (ListView->topLevelItemCount() == 0)
        SortColumnValue = 0;
    QList<QTreeWidgetItem*> items;
    items.reserve(rows.size());
    for (const QStringList& cells : rows)
        items.append(new QTreeWidgetItem(cells));
    ListView->addTopLevelItems(items);
    SortRows();
}

void TFormInfoList::SortRows() {
    try {
        QList<QTreeWidgetItem*> items = ListView->invisibleRootItem()->takeChildren();
        std::stable_sort(
            items.begin(), items.end(),
            [this](const QTreeWidgetItem* a, const QTreeWidgetItem* b) { return RowLess(a, b); });
        ListView->addTopLevelItems(items);
    } catch (const std::exception&) {
        WriteLog(QStringLiteral("ListView1Compare error"));
    }
}

void TFormInfoList::SortByColumn(int column) {
    if (column < 0 || column >= ListView->columnCount()) {
        WriteLog(QStringLiteral("ListView1ColumnClick error"));
        return;
    }
    SortColumnValue = column;
    ListView->header()->setSortIndicator(column, Qt::AscendingOrder);
    SortRows();
}

QList<QStringList> TFormInfoList::RowTexts() const {
    QList<QStringList> rows;
    const int columns = ListView->columnCount();
    rows.reserve(ListView->topLevelItemCount());
    for (int i = 0; i < ListView->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* item = ListView->topLevelItem(i);
        QStringList cells;
        cells.reserve(columns);
        for (int c = 0; c < columns; ++c)
            cells.append(item->text(c));
        rows.append(cells);
    }
    return rows;
}

void TFormInfoList::UpdateCountLabel() {
    Count->setText(QStringLiteral("Count: ") + QString::number(ListView->topLevelItemCount()));
}

void TFormInfoList::SetColumnWidths(int margin) {
    const int columns = ListView->columnCount();
    if (columns == 0)
        return;
    const int width = std::max(20, ListView->width() / columns - margin);
    for (int c = 0; c < columns; ++c)
        ListView->setColumnWidth(c, width);
}

void TFormInfoList::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    SetColumnWidths(RESIZE_COLUMN_MARGIN);
}

// ---- buttons and popup -------------------------------------------------------------------------

void TFormInfoList::RefreshClicked() {
    // The status views have nothing to refresh: the sockets come with the "Logs" menu, and the event
    // log and ARP table are fetched again from the unit window. The device and zone lists bring
    // their own refresh.
}

void TFormInfoList::ShowPopup(const QPoint& position) {
    if (ListModeValue == LIST_NONE || CurrentMenu == nullptr)
        return;
    CurrentMenu->popup(ListView->viewport()->mapToGlobal(position));
}

// ---- "Save to file" ----------------------------------------------------------------------------

QString TFormInfoList::DefaultFileName() const {
    switch (ListModeValue) {
    case LIST_DEVICES:
        return CsvDeviceListFileName(ListUnitMac, QDateTime::currentDateTime());
    case LIST_EVENT_LOG:
        return CsvEventLogFileName(ListUnitMac);
    default:
        return CsvListFileName(ListUnitMac);
    }
}

QString TFormInfoList::FileFilter() const {
    switch (ListModeValue) {
    case LIST_DEVICES:
        return QString::fromLatin1(CSV_DEVICE_LIST_FILTER);
    case LIST_EVENT_LOG:
        return QString::fromLatin1(CSV_EVENT_LOG_FILTER);
    default:
        return QString::fromLatin1(CSV_LIST_FILTER);
    }
}

void TFormInfoList::SaveToFile() {
    if (ListModeValue == LIST_NONE)
        return;
    const QString path =
        ChooseSaveFile(this, Main.WorkFolder() + QLatin1Char('/') + DefaultFileName(), FileFilter());
    if (path.isEmpty())
        return;
    SaveListToFile(path);
}

bool TFormInfoList::SaveListToFile(const QString& path) {
    UnitConfigHandlerClass* handler = Handler();
    // The unit record may be gone (a new scan); the MAC of the rows is still known.
    const UnitInfoClass* unit = handler != nullptr ? handler->FindUnit(ListUnitMac) : nullptr;
    QStringList captions;
    for (int c = 0; c < ListView->columnCount(); ++c)
        captions.append(ListView->headerItem()->text(c));
    const CsvWriteResult result =
        WriteCsvList(path, CsvHeaderForUnit(ListUnitMac, unit, QDateTime::currentDateTime()), captions,
                     RowTexts(), ListModeValue == LIST_EVENT_LOG, true);
    if (result == CsvWriteResult::Ok)
        return true;
    ShowMessage(this, QStringLiteral("Unable to save file"));
    return false;
}
