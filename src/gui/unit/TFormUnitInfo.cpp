#include "gui/unit/TFormUnitInfo.h"

#include "core/app/DebugLog.h"
#include "core/app/MainClass.h"
#include "core/protocol/UnitConfigHandlerClass.h"
#include "core/unit/UnitInfoClass.h"
#include "gui/unit/SettingsTreeWidget.h"
#include "gui/unit/UnitWindowDialogs.h"
#include "gui/unit/VisualsClass.h"

#include <QAction>
#include <QActionGroup>
#include <QCloseEvent>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QListWidget>
#include <QMenuBar>
#include <QPushButton>
#include <QSplitter>
#include <QTimer>
#include <QVBoxLayout>

namespace {

constexpr int MENU_FRAME_WIDTH = 170;
constexpr int NORMAL_FONT_SIZE = 10;
constexpr int MAXIMIZED_FONT_SIZE = 12;
constexpr int NORMAL_BUTTON_HEIGHT = 26;
constexpr int MAXIMIZED_BUTTON_HEIGHT = 33;
constexpr int TIMER_INTERVAL_MS = 1000;

const QString LATER_VERSION_TIP = QStringLiteral("Not available in this version");

void SetPointSize(QWidget* widget, int size) {
    QFont font = widget->font();
    if (font.pointSize() != size) {
        font.setPointSize(size);
        widget->setFont(font);
    }
}

} // namespace

TFormUnitInfo::TFormUnitInfo(MainClass& main, QWidget* parent)
    : QMainWindow(parent), Main(main), Handler(main.ConfigHandler()),
      DefaultDialogs(std::make_unique<UnitWindowDialogs>()) {
    setWindowTitle(QStringLiteral("Unit Info"));
    BuildWindow();
    BuildMenus();
    ConnectHandler();

    RefreshTimer = new QTimer(this);
    RefreshTimer->setInterval(TIMER_INTERVAL_MS);
    connect(RefreshTimer, &QTimer::timeout, this, &TFormUnitInfo::RefreshTimerTick);
    RefreshTimer->start();

    resize(1040, 660);
    setMinimumSize(640, 420);
    ApplyLayout(true);
}

TFormUnitInfo::~TFormUnitInfo() {
    // The editors die with the window; the key records only hold weak pointers to them.
    View->DeleteAllEditors();
}

void TFormUnitInfo::BuildWindow() {
    auto* central = new QWidget(this);
    // Editors that are not in a row wait here, hidden.
    Parking = new QWidget(central);
    Parking->hide();

    MenuFrame = new QGroupBox(QStringLiteral("Menu"));
    MenuList = new QListWidget;
    MenuList->setSelectionMode(QAbstractItemView::SingleSelection);
    MenuList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    MenuList->setSpacing(2);
    auto* menuLayout = new QVBoxLayout(MenuFrame);
    menuLayout->setContentsMargins(6, 6, 6, 6);
    menuLayout->addWidget(MenuList);

    InfoFrame = new QGroupBox(QStringLiteral("Info"));
    SettingsList = new SettingsTreeWidget(Parking);
    auto* infoLayout = new QVBoxLayout(InfoFrame);
    infoLayout->setContentsMargins(6, 6, 6, 6);
    infoLayout->addWidget(SettingsList);

    RefreshButton = new QPushButton(QStringLiteral("Refresh"));
    SendButton = new QPushButton(QStringLiteral("Send New Settings"));
    CloseButton = new QPushButton(QStringLiteral("Close"));
    EpanIdButton = new QPushButton(QStringLiteral("SET EPAN ID"));
    EpanIdButton->hide();
    RefreshButton->setShortcut(QKeySequence(Qt::Key_F5));
    RefreshButton->setToolTip(QStringLiteral("F5"));
    SendButton->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Return));
    SendButton->setToolTip(QStringLiteral("Ctrl+Enter"));
    SendButton->setDefault(false);
    SendButton->setAutoDefault(false);

    // Refresh under the left edge of the settings list, Send in its middle, Close at the right.
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(RefreshButton);
    buttons->addStretch(1);
    buttons->addWidget(SendButton);
    buttons->addWidget(EpanIdButton);
    buttons->addStretch(1);
    buttons->addWidget(CloseButton);

    auto* right = new QWidget;
    auto* rightLayout = new QVBoxLayout(right);
    rightLayout->setContentsMargins(0, 0, 0, 0);
    rightLayout->addWidget(InfoFrame, 1);
    rightLayout->addLayout(buttons);

    auto* splitter = new QSplitter(Qt::Horizontal);
    splitter->addWidget(MenuFrame);
    splitter->addWidget(right);
    splitter->setStretchFactor(0, 0);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({MENU_FRAME_WIDTH, 870});
    splitter->setChildrenCollapsible(false);

    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->addWidget(splitter);
    setCentralWidget(central);

    View = new VisualsClass(Handler, *MenuList, *SettingsList, this);
    View->MemoHeight = SendButton->sizeHint().height();

    connect(RefreshButton, &QPushButton::clicked, this, &TFormUnitInfo::OnRefreshClick);
    connect(SendButton, &QPushButton::clicked, this, &TFormUnitInfo::OnSendNewSettingsClick);
    connect(CloseButton, &QPushButton::clicked, this, &QWidget::close);
    connect(EpanIdButton, &QPushButton::clicked, this, &TFormUnitInfo::OnSetEpanIdClick);

    // The menu list reacts to the mouse and to the arrow keys alike: a press on any row (the current
    // one included, which re-requests it) and a change of row by keyboard each count as one click.
    connect(MenuList, &QListWidget::currentRowChanged, this, [this](int row) {
        if (row >= 0 && QGuiApplication::mouseButtons() == Qt::NoButton)
            View->MenuListViewClick();
    });
    connect(MenuList, &QListWidget::itemPressed, this,
            [this](QListWidgetItem*) { View->MenuListViewClick(); });

    auto* copyValue = new QAction(QStringLiteral("Copy Value"), SettingsList);
    copyValue->setShortcut(QKeySequence::Copy);
    copyValue->setShortcutContext(Qt::WidgetShortcut);
    SettingsList->addAction(copyValue);
    connect(copyValue, &QAction::triggered, this, [this]() { CopyValueOfRow(SettingsList->currentItem()); });
    connect(SettingsList, &QTreeWidget::itemDoubleClicked, this,
            [this](QTreeWidgetItem* row, int) { CopyValueOfRow(row); });
    connect(SettingsList, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem* row, int) {
        // Enter on a row copies its value too, so the list works without a mouse.
        if (row != nullptr && row->parent() != nullptr)
            CopyValueOfRow(row);
    });
    connect(SettingsList, &SettingsTreeWidget::mouseEnteredOrLeft, this,
            [this]() { View->UpdateComponents(false); });

    connect(View, &VisualsClass::settingsCaptionChanged, InfoFrame, &QGroupBox::setTitle);
    connect(View, &VisualsClass::layoutRequested, this, &TFormUnitInfo::ApplyLayout);
    connect(View, &VisualsClass::statusViewRequested, this, &TFormUnitInfo::statusViewRequested);
}

void TFormUnitInfo::BuildMenus() {
    QMenu* file = menuBar()->addMenu(QStringLiteral("File"));
    QAction* backup = file->addAction(QStringLiteral("Backup Settings"));
    QAction* restore = file->addAction(QStringLiteral("Restore Settings"));
    // Backup and restore come with the settings-file support; until then the items only say so.
    for (QAction* action : {backup, restore}) {
        action->setEnabled(false);
        action->setToolTip(LATER_VERSION_TIP);
    }
    file->addSeparator();
    QAction* close = file->addAction(QStringLiteral("Close"));
    close->setShortcut(QKeySequence::Close);
    connect(close, &QAction::triggered, this, &QWidget::close);

    QMenu* commands = menuBar()->addMenu(QStringLiteral("Commands"));
    RebootAction = commands->addAction(QStringLiteral("Reboot"));
    ResetNetworkAction = commands->addAction(QStringLiteral("Reset Network Connection"));
    FactoryResetAction = commands->addAction(QStringLiteral("Memory Reset (Factory Reset)"));
    SetMacAction = commands->addAction(QStringLiteral("Set Mac"));
    SetMacAction->setVisible(false);
    commands->addSeparator();
    LiveDebugAction = commands->addAction(QStringLiteral("Live Debug Window"));
    DebugTextAction = commands->addAction(QStringLiteral("Send Serial Debugtext"));
    connect(RebootAction, &QAction::triggered, this, &TFormUnitInfo::OnRebootClick);
    connect(ResetNetworkAction, &QAction::triggered, this, &TFormUnitInfo::OnResetNetworkClick);
    connect(FactoryResetAction, &QAction::triggered, this, &TFormUnitInfo::OnFactoryResetClick);
    connect(SetMacAction, &QAction::triggered, this, &TFormUnitInfo::OnSetMacClick);
    connect(LiveDebugAction, &QAction::triggered, this, &TFormUnitInfo::liveDebugRequested);
    connect(DebugTextAction, &QAction::triggered, this, &TFormUnitInfo::OnSendSerialDebugTextClick);

    RefreshMenu = menuBar()->addMenu(QStringLiteral("Refresh"));
    auto* refreshGroup = new QActionGroup(this);
    AutoRefreshAction = RefreshMenu->addAction(QStringLiteral("Auto 10 sec"));
    ManualRefreshAction = RefreshMenu->addAction(QStringLiteral("Only Manual"));
    for (QAction* action : {AutoRefreshAction, ManualRefreshAction}) {
        action->setCheckable(true);
        refreshGroup->addAction(action);
    }
    ManualRefreshAction->setChecked(true);
    connect(AutoRefreshAction, &QAction::triggered, this, &TFormUnitInfo::OnAutoRefreshClick);
    connect(ManualRefreshAction, &QAction::triggered, this, &TFormUnitInfo::OnManualRefreshClick);

    QMenu* window = menuBar()->addMenu(QStringLiteral("Window"));
    QAction* fullScreen = window->addAction(QStringLiteral("Full Screen"));
    QAction* normalScreen = window->addAction(QStringLiteral("Normal Screen"));
    connect(fullScreen, &QAction::triggered, this, &TFormUnitInfo::OnFullScreenClick);
    connect(normalScreen, &QAction::triggered, this, &TFormUnitInfo::OnNormalScreenClick);
    window->addSeparator();
    QAction* about = window->addAction(QStringLiteral("About"));
    QAction* radioTest = window->addAction(QStringLiteral("Q7 Radiotest"));
    for (QAction* action : {about, radioTest}) {
        action->setEnabled(false);
        action->setToolTip(LATER_VERSION_TIP);
    }
    for (QMenu* menu : {file, commands, RefreshMenu, window})
        menu->setToolTipsVisible(true);
}

void TFormUnitInfo::ConnectHandler() {
    connect(&Handler, &UnitConfigHandlerClass::settingsChanged, View, &VisualsClass::RefreshAfterResponse);
    connect(&Handler, &UnitConfigHandlerClass::editorTextsRequested, View, &VisualsClass::SetEditorTexts);
    connect(&Handler, &UnitConfigHandlerClass::unitsCleared, this, [this]() {
        // Every key record is about to go, and with it the editors' reason to exist; the window must
        // not go on showing rows of a unit that is gone.
        View->ResetLists();
        View->DeleteAllEditors();
        InfoFrame->setTitle(QStringLiteral("Info"));
    });
}

UnitWindowDialogs& TFormUnitInfo::Dialogs() const {
    return ActiveDialogs != nullptr ? *ActiveDialogs : *DefaultDialogs;
}

void TFormUnitInfo::SetDialogs(UnitWindowDialogs* dialogs) {
    ActiveDialogs = dialogs;
}

QString TFormUnitInfo::SettingsCaption() const {
    return InfoFrame->title();
}

QAction* TFormUnitInfo::FindAction(const QString& text) const {
    for (QAction* action : findChildren<QAction*>())
        if (action->text() == text)
            return action;
    return nullptr;
}

QPushButton* TFormUnitInfo::FindButton(const QString& text) const {
    for (QPushButton* button : findChildren<QPushButton*>())
        if (button->text() == text)
            return button;
    return nullptr;
}

// ---- opening and closing ----------------------------------------------------------------------------

void TFormUnitInfo::ResetForOpening() {
    View->ResetLists();
    View->SelectedMenuIndex = 0;
    View->BuildMenuList();
    View->UpdateSettingsList(0);
    show();
    raise();
    activateWindow();
}

void TFormUnitInfo::OpenUnit(UnitInfoClass* unit, const QString& password) {
    if (unit == nullptr)
        return;
    Handler.SetCurrentUnit(unit, password);
    View->HideComponents(unit);
    UnitMac = unit->Mac;
    UnitPassword = password;
    InfoFrame->setTitle(QStringLiteral("IP Settings for: ") + unit->Mac);
    Handler.RequestKeyGroup(UnitConfigHandlerClass::GROUP_IP);
    // The request may already have been answered, or the unit list cleared, by now.
    if (Handler.CurrentUnit() != unit)
        return;
    RebootAction->setVisible(true);
    FactoryResetAction->setVisible(true);
    ResetNetworkAction->setVisible(false);
    LiveDebugAction->setVisible(false);
    DebugTextAction->setVisible(DebugTextMode);
    SetMacAction->setVisible(MacSettingMode);
    RefreshMenu->menuAction()->setVisible(true);
    ResetForOpening();
}

void TFormUnitInfo::OpenSerialDevice(UnitInfoClass* unit) {
    if (unit == nullptr)
        return;
    if (!Handler.IsCurrent(unit))
        Handler.SetCurrentUnit(unit, Handler.UnitPassword());
    View->HideComponents(unit);
    UnitMac = unit->Mac;
    UnitPassword = Handler.UnitPassword();
    RebootAction->setVisible(true);
    ResetNetworkAction->setVisible(true);
    FactoryResetAction->setVisible(true);
    LiveDebugAction->setVisible(true);
    SetMacAction->setVisible(false);
    DebugTextAction->setVisible(false);
    RefreshMenu->menuAction()->setVisible(false);
    InfoFrame->setTitle(QStringLiteral("Settings for: ") + unit->Mac);
    ResetForOpening();
}

void TFormUnitInfo::SetMacSettingMode(bool enabled) {
    MacSettingMode = enabled;
    SetMacAction->setEnabled(enabled);
    SetMacAction->setVisible(enabled);
}

void TFormUnitInfo::SetEpanIdButtonVisible(bool visible) {
    EpanIdButton->setVisible(visible);
}

void TFormUnitInfo::SetDebugTextItemVisible(bool visible) {
    DebugTextMode = visible;
    DebugTextAction->setVisible(visible);
}

void TFormUnitInfo::closeEvent(QCloseEvent* event) {
    Q_EMIT unitWindowClosed();
    // Automatic refresh has to be chosen again after reopening; the menu's check marks stay.
    RefreshCountdown = 0;
    View->HideComponents(Handler.CurrentUnit());
    Handler.ClearCurrentUnit();
    QMainWindow::closeEvent(event);
}

// ---- layout and window state --------------------------------------------------------------------------

void TFormUnitInfo::ApplyLayout(bool showMenuList) {
    MenuListShown = showMenuList;
    // Serial devices have one menu only: the settings list takes the whole width.
    MenuFrame->setVisible(showMenuList);
    const bool maximized = Main.WindowSize == WINDOW_MAXIMIZED;
    const int fontSize = maximized ? MAXIMIZED_FONT_SIZE : NORMAL_FONT_SIZE;
    const int buttonHeight = maximized ? MAXIMIZED_BUTTON_HEIGHT : NORMAL_BUTTON_HEIGHT;
    SetPointSize(MenuList, fontSize);
    SetPointSize(SettingsList, fontSize);
    for (QPushButton* button : {RefreshButton, SendButton, CloseButton, EpanIdButton}) {
        SetPointSize(button, fontSize);
        button->setMinimumHeight(buttonHeight);
        // A narrow window must never cut a caption: it stops getting narrower instead.
        button->setMinimumWidth(button->sizeHint().width());
    }
    if (maximized != isMaximized()) {
        WriteLog(QStringLiteral("FormUnitInfo->WindowState change to: ") + QString::number(Main.WindowSize));
        if (maximized)
            setWindowState(windowState() | Qt::WindowMaximized);
        else
            setWindowState(windowState() & ~Qt::WindowMaximized);
    }
}

void TFormUnitInfo::StoreWindowState() {
    if (!isVisible())
        return;
    const int state = isMaximized() ? WINDOW_MAXIMIZED : WINDOW_NORMAL;
    // Resizing by hand sends many events; only a change of state is worth a write and a new layout.
    if (state == Main.WindowSize)
        return;
    Main.WindowSize = state;
    Main.SaveSettings(state);
    View->BuildMenuList();
}

void TFormUnitInfo::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange)
        StoreWindowState();
}

void TFormUnitInfo::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    StoreWindowState();
}

void TFormUnitInfo::OnFullScreenClick() {
    Main.WindowSize = WINDOW_MAXIMIZED;
    Main.SaveSettings(WINDOW_MAXIMIZED);
    showMaximized();
    View->BuildMenuList();
    ApplyLayout(MenuListShown);
}

void TFormUnitInfo::OnNormalScreenClick() {
    Main.WindowSize = WINDOW_NORMAL;
    Main.SaveSettings(WINDOW_NORMAL);
    showNormal();
    View->BuildMenuList();
    ApplyLayout(MenuListShown);
}
