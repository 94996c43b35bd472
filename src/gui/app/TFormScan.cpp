#include "gui/app/TFormScan.h"

#include "core/app/AppVersion.h"
#include "core/app/DebugLog.h"
#include "core/app/MainClass.h"
#include "core/protocol/UnitConfigHandlerClass.h"
#include "core/unit/UnitInfoClass.h"
#include "gui/app/UnitListModel.h"
#include "gui/app/UnitListTable.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

namespace {

const QString CLOUD_NOT_CONNECTED = QStringLiteral("The cloud is not connected");
const QString CODE_MAC_MODE = QStringLiteral("KRAWNUT");
const QString CODE_DEBUG_TO_FILE = QStringLiteral("TIXELMORV");

// The identity request a serial device answers with its MAC.
const QByteArray SERIAL_IDENTITY_REQUEST = QByteArray::fromHex("11010000");

// "ttyUSB0" from "/dev/ttyUSB0", "pts/3" from "/dev/pts/3".
QString SystemPortName(const QString& path) {
    return path.startsWith(QStringLiteral("/dev/")) ? path.mid(5) : path;
}

} // namespace

TFormScan::TFormScan(const Options& options, QWidget* parent) : QMainWindow(parent), StartOptions(options) {
    MainClass::Options mainOptions;
    mainOptions.WorkDir = options.WorkDir;
    mainOptions.Udp = options.Udp;
    MainObject = new MainClass(mainOptions, this);

    // The COM box is filled from the transport's port list, so the transport and the config handler
    // are made now; neither binds nor logs anything before the UDP endpoint is bound further down.
    MainObject->CreateTransport();
    CommunicationClass& transport = MainObject->Transport();
    transport.SetExtraSerialPorts(options.ExtraSerialPorts);
    UnitListData = new UnitListModel(MainObject->ConfigHandler(), this);
    BuildWindow();

    FillAdapterBox();
    FillComPortBox();

    const QString title = PROGRAM_NAME + QLatin1Char(' ') + PROGRAM_VERSION;
    setWindowTitle(title);
    VersionLabel->setText(title + QStringLiteral(" - service tool for alarm transmission units"));

    // The adapter with the machine's current address is the one broadcasts leave by.
    const QString localIP =
        options.LocalIP.isEmpty() ? CommunicationClass::CurrentLocalIP() : options.LocalIP;
    LocalIPLabel->setText(localIP);
    for (const AdapterObject& adapter : std::as_const(AdapterList)) {
        if (adapter.IP == localIP) {
            AdapterBox->setCurrentIndex(adapter.index);
            break;
        }
    }

    try {
        if (!MainObject->LoadSettings())
            WriteLog(QStringLiteral("Unable to load config file"));
        const QRegularExpression comEntry(QStringLiteral("^COM(\\d+)"));
        for (int i = 0; i < ComPortBox->count(); ++i) {
            const QRegularExpressionMatch match = comEntry.match(ComPortBox->itemText(i));
            if (match.hasMatch() && match.captured(1).toInt() == MainObject->ComPort) {
                ComPortBox->setCurrentIndex(i);
                break;
            }
        }
    } catch (...) {
        WriteLog(QStringLiteral("Unable to load config file"));
    }

    ApplyScreenSize();

    Timer = new QTimer(this);
    Timer->setInterval(1000);
    connect(Timer, &QTimer::timeout, this, &TFormScan::TimerTick);
    Timer->start();

    connect(&transport, &CommunicationClass::tcpConnected, this, &TFormScan::OnTcpConnected);
    connect(&transport, &CommunicationClass::tcpDisconnected, this, &TFormScan::OnTcpDisconnected);
    connect(&transport, &CommunicationClass::tcpError, this, &TFormScan::OnTcpError);
    connect(&transport, &CommunicationClass::udpBindFailed, this, &TFormScan::OnUdpBindFailed);
    connect(&transport, &CommunicationClass::udpBound, BindErrorLabel, &QWidget::hide);
    connect(&transport, &CommunicationClass::serialError, this, &TFormScan::ShowMessage);
    connect(&MainObject->ConfigHandler(), &UnitConfigHandlerClass::unitListChanged, this,
            &TFormScan::OnUnitListChanged);
    BindSelectedAdapter();

    WriteLog(QStringLiteral("Startup finished"));
}

TFormScan::~TFormScan() {
    Timer->stop();
}

void TFormScan::BuildWindow() {
    setMinimumSize(550, 400);
    resize(800, 480);
    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);

    // Each connect button sits beside the field it uses.
    auto* fields = new QGridLayout;
    RemoteHostEdit = new QLineEdit(QStringLiteral("Enter IP"), central);
    RemoteHostEdit->setObjectName(QStringLiteral("RemoteHostEdit"));
    RemoteConnectButton = new QPushButton(QStringLiteral("Remote connect"), central);
    RemoteConnectButton->setObjectName(QStringLiteral("RemoteConnectButton"));
    PasswordEdit = new QLineEdit(central);
    PasswordEdit->setObjectName(QStringLiteral("PasswordEdit"));
    ComPortBox = new QComboBox(central);
    ComPortBox->setObjectName(QStringLiteral("ComPortBox"));
    SerialConnectButton = new QPushButton(QStringLiteral("Serial connect"), central);
    SerialConnectButton->setObjectName(QStringLiteral("SerialConnectButton"));
    AdapterBox = new QComboBox(central);
    AdapterBox->setObjectName(QStringLiteral("AdapterBox"));
    AdapterBox->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    AdapterBox->setMinimumContentsLength(18);
    ScanButton = new QPushButton(QStringLiteral("Scan for units"), central);
    ScanButton->setObjectName(QStringLiteral("ScanButton"));
    LocalIPLabel = new QLabel(central);
    LocalIPLabel->setObjectName(QStringLiteral("LocalIPLabel"));
    LocalIPLabel->setToolTip(QStringLiteral("Default IP"));

    const auto addRow = [&](int row, const QString& caption, QWidget* field, QWidget* button) {
        auto* label = new QLabel(caption, central);
        label->setBuddy(field);
        fields->addWidget(label, row, 0);
        fields->addWidget(field, row, 1);
        if (button != nullptr)
            fields->addWidget(button, row, 2);
    };
    addRow(0, QStringLiteral("Remote host:"), RemoteHostEdit, RemoteConnectButton);
    addRow(1, QStringLiteral("Unit password:"), PasswordEdit, nullptr);
    addRow(2, QStringLiteral("Comport:"), ComPortBox, SerialConnectButton);
    addRow(3, QStringLiteral("Local IP:"), AdapterBox, ScanButton);
    fields->addWidget(LocalIPLabel, 3, 3);
    fields->setColumnStretch(1, 1);
    fields->setColumnMinimumWidth(3, 90);
    layout->addLayout(fields);

    NoticeLabel = new QLabel(StartOptions.Notice, central);
    NoticeLabel->setObjectName(QStringLiteral("NoticeLabel"));
    NoticeLabel->setWordWrap(true);
    NoticeLabel->setVisible(!StartOptions.Notice.isEmpty());
    layout->addWidget(NoticeLabel);
    BindErrorLabel = new QLabel(central);
    BindErrorLabel->setObjectName(QStringLiteral("BindErrorLabel"));
    BindErrorLabel->setWordWrap(true);
    BindErrorLabel->setStyleSheet(QStringLiteral("QLabel { color: #a00000; font-weight: bold; }"));
    BindErrorLabel->hide();
    layout->addWidget(BindErrorLabel);

    UnitListView = new UnitListTable(*UnitListData, central);
    layout->addWidget(UnitListView, 1);

    auto* labels = new QHBoxLayout;
    CountLabel = new QLabel(QStringLiteral("Nr of units: 0"), central);
    CountLabel->setObjectName(QStringLiteral("CountLabel"));
    CountLabel->installEventFilter(this);
    MacModeLabel = new QLabel(QStringLiteral("QUIB MAC ENABLED"), central);
    MacModeLabel->setObjectName(QStringLiteral("MacModeLabel"));
    MacModeLabel->setStyleSheet(QStringLiteral("QLabel { color: #a00000; font-weight: bold; }"));
    MacModeLabel->hide();
    CloudLabel = new QLabel(QStringLiteral("Nebryn Cloud Online"), central);
    CloudLabel->setObjectName(QStringLiteral("CloudLabel"));
    CloudLabel->setStyleSheet(QStringLiteral("QLabel { color: #006000; }"));
    CloudLabel->installEventFilter(this);
    CloudLabel->hide();
    VersionLabel = new QLabel(central);
    VersionLabel->setObjectName(QStringLiteral("VersionLabel"));
    VersionLabel->setToolTip(QStringLiteral("About Unitscope: available once the cloud is connected"));
    labels->addWidget(CountLabel);
    labels->addSpacing(12);
    labels->addWidget(MacModeLabel);
    labels->addWidget(CloudLabel);
    labels->addStretch(1);
    labels->addWidget(VersionLabel);
    layout->addSpacing(8 - layout->spacing());
    layout->addLayout(labels);

    CloseButton = new QPushButton(QStringLiteral("Close"), central);
    CloseButton->setObjectName(QStringLiteral("CloseButton"));
    auto* closeRow = new QHBoxLayout;
    closeRow->addStretch(1);
    closeRow->addWidget(CloseButton);
    closeRow->addStretch(1);
    layout->addLayout(closeRow);
    setCentralWidget(central);

    UnitListMenu = new QMenu(this);
    UnitListMenu->addAction(QStringLiteral("Open Unit"), this, &TFormScan::OpenSelectedUnit);
    UnitListMenu->addAction(QStringLiteral("Remote Connect"), this, &TFormScan::RemoteConnectToSelectedUnit);
    QMenu* cloudMenu = UnitListMenu->addMenu(QStringLiteral("Nebryn Cloud"));
    cloudMenu->setToolTipsVisible(true);
    UnitListMenu->setToolTipsVisible(true);
    QAction* manuals = cloudMenu->addAction(QStringLiteral("Download Manuals"));
    manuals->setEnabled(false);
    manuals->setToolTip(CLOUD_NOT_CONNECTED);
    cloudMenu->menuAction()->setToolTip(CLOUD_NOT_CONNECTED);

    setTabOrder(RemoteHostEdit, RemoteConnectButton);
    setTabOrder(RemoteConnectButton, PasswordEdit);
    setTabOrder(PasswordEdit, ComPortBox);
    setTabOrder(ComPortBox, SerialConnectButton);
    setTabOrder(SerialConnectButton, AdapterBox);
    setTabOrder(AdapterBox, ScanButton);
    setTabOrder(ScanButton, UnitListView);
    setTabOrder(UnitListView, CloseButton);
    ScanButton->setFocus();

    connect(RemoteHostEdit, &QLineEdit::returnPressed, this, &TFormScan::RemoteConnect);
    connect(RemoteConnectButton, &QPushButton::clicked, this, &TFormScan::RemoteConnect);
    connect(ScanButton, &QPushButton::clicked, this, &TFormScan::ScanForUnits);
    connect(SerialConnectButton, &QPushButton::clicked, this, &TFormScan::SerialConnect);
    connect(CloseButton, &QPushButton::clicked, this, &QWidget::close);
    connect(AdapterBox, &QComboBox::activated, this, &TFormScan::OnAdapterActivated);
    connect(UnitListView, &UnitListTable::openRequested, this, &TFormScan::OpenSelectedUnit);
    connect(UnitListView, &QWidget::customContextMenuRequested, this, &TFormScan::OnUnitListMenu);
    connect(UnitListData, &UnitListModel::countChanged, this, &TFormScan::OnCountChanged);
    PasswordEdit->installEventFilter(this);
}

void TFormScan::FillAdapterBox() {
    AdapterList = ExtractComputerMac(ReadSystemAdapters());
    for (AdapterObject adapter : StartOptions.ExtraAdapters) {
        adapter.index = static_cast<qint32>(AdapterList.size());
        AdapterList.append(adapter);
    }
    AdapterBox->clear();
    for (const AdapterObject& adapter : std::as_const(AdapterList))
        AdapterBox->addItem(AdapterEntryText(adapter));
    AdapterBox->setCurrentIndex(-1);
}

void TFormScan::FillComPortBox() {
    // COMn is the port's place in the sorted list; the entry keeps the port's path so that a port
    // plugged in later cannot make it open another one.
    const QStringList ports = MainObject->Transport().SerialPortList();
    QString collected;
    for (int i = 0; i < ports.size(); ++i) {
        const int n = i + 1;
        const QString name = QStringLiteral("COM") + QString::number(n);
        ComPortBox->addItem(name + QStringLiteral(" (") + SystemPortName(ports.at(i)) + QLatin1Char(')'),
                            ports.at(i));
        collected += QString::number(n) + QStringLiteral(" - ") + name + QLatin1Char('\n');
    }
    WriteLog(QStringLiteral("Comports: ") + collected);
}

void TFormScan::ApplyScreenSize() {
    try {
        const QScreen* screen = QGuiApplication::primaryScreen();
        if (screen == nullptr) {
            WriteLog(QStringLiteral("Unable to read screen size"));
            return;
        }
        const int width = screen->geometry().width();
        if (width < 1367 || MainObject->WindowSize == 2) {
            WriteLog(QStringLiteral("Low screen width. Auto full size"));
            MainObject->WindowSize = 2;
            for (QPushButton* button : {RemoteConnectButton, ScanButton, SerialConnectButton, CloseButton}) {
                QFont font = button->font();
                font.setPointSize(12);
                button->setFont(font);
                button->setMinimumHeight(30);
            }
        } else {
            WriteLog(QStringLiteral("Screen width: ") + QString::number(width));
        }
    } catch (...) {
        WriteLog(QStringLiteral("Unable to read screen size"));
    }
}

void TFormScan::BindSelectedAdapter() {
    const int index = AdapterBox->currentIndex();
    if (index < 0 || index >= AdapterList.size()) {
        MainObject->Transport().Bind();
        return;
    }
    const AdapterObject& adapter = AdapterList.at(index);
    MainObject->Transport().Bind(
        CommunicationClass::AdapterChoice{adapter.description, adapter.IP, adapter.index});
}

void TFormScan::OnAdapterActivated(int index) {
    // Choosing the entry that is already bound logs the choice but does not rebind.
    if (index >= 0)
        BindSelectedAdapter();
}

void TFormScan::OnUdpBindFailed(const QString& text) {
    BindErrorLabel->setText(text);
    BindErrorLabel->show();
}

// ---- the unit list ----

void TFormScan::OnUnitListChanged(UnitInfoClass* unit) {
    UnitListData->UpdateListView(unit);
}

void TFormScan::OnCountChanged(int count) {
    try {
        CountLabel->setText(QStringLiteral("Nr of units: ") + QString::number(count));
        if (MainObject->WindowSize == 2)
            UnitListView->SetPointSize(12);
    } catch (...) {
        WriteLog(QStringLiteral("Unit Count Error"));
    }
}

void TFormScan::OnUnitListMenu(const QPoint& position) {
    UnitListMenu->popup(UnitListView->viewport()->mapToGlobal(position));
}

void TFormScan::OpenSelectedUnit() {
    const int row = UnitListView->SelectedRow();
    if (row < 0)
        return;
    // The row is looked up by its MAC, so a row whose unit has just gone opens nothing.
    UnitInfoClass* unit =
        MainObject->ConfigHandler().FindUnit(UnitListData->Text(row, UnitListModel::COLUMN_MAC));
    if (unit == nullptr)
        return;
    Q_EMIT openUnitRequested(unit, PasswordEdit->text());
}

void TFormScan::ScanForUnits() {
    DebugLog& log = DebugLog::instance();
    if (log.countdown() < DebugLog::START_COUNTDOWN)
        log.setCountdown(0);
    MainObject->ConfigHandler().ClearUnits();
    UnitListData->Clear();
    MainObject->SendDiscovery(PasswordEdit->text(), false);
}

// ---- remote and serial connect ----

void TFormScan::ForgetUnits() {
    UnitListData->Clear();
    UnitConfigHandlerClass& handler = MainObject->ConfigHandler();
    handler.ClearUnits();
    handler.ClearCurrentUnit();
}

void TFormScan::ConnectTo(const QString& host) {
    WriteLog(QStringLiteral("TCP Connect: ") + host);
    MainObject->Transport().Connect(host, StartOptions.TcpPortByHost.value(host, StartOptions.TcpPort));
}

void TFormScan::RemoteConnect() {
    const QString host = RemoteHostEdit->text().trimmed();
    WriteLog(QStringLiteral("Remote Connect: ") + host);
    CommunicationClass& transport = MainObject->Transport();
    const bool open = transport.IsRemoteConnectionOpen();
    if (open && UnitWindow != nullptr && UnitWindow->isVisible()) {
        WriteLog(QStringLiteral("Autoclose settings form"));
        UnitWindow->close();
    }
    ForgetUnits();
    if (open) {
        WriteLog(QStringLiteral("TCP Disconnect"));
        transport.Disconnect();
    } else {
        ConnectTo(host);
    }
}

void TFormScan::RemoteConnectToSelectedUnit() {
    const int row = UnitListView->SelectedRow();
    if (row < 0)
        return;
    const QString ip = UnitListData->Text(row, UnitListModel::COLUMN_IP);
    WriteLog(QStringLiteral("Remote Connect: ") + ip);
    ForgetUnits();
    ConnectTo(ip);
}

void TFormScan::OnTcpConnected() {
    RemoteConnectButton->setText(QStringLiteral("Disconnect"));
    MainObject->SendDiscovery(PasswordEdit->text(), true);
}

void TFormScan::OnTcpDisconnected() {
    RemoteConnectButton->setText(QStringLiteral("Remote Connect"));
}

void TFormScan::OnTcpError(int code, const QString& text) {
    ShowMessage(QStringLiteral("Socket Error # %1\n%2").arg(code).arg(text));
}

void TFormScan::SerialConnect() {
    const int index = ComPortBox->currentIndex();
    if (index < 0)
        return;
    const QRegularExpressionMatch match =
        QRegularExpression(QStringLiteral("^COM(\\d+)")).match(ComPortBox->itemText(index));
    if (!match.hasMatch())
        return;
    MainObject->ComPort = match.captured(1).toInt();
    MainObject->SaveSettings(MainObject->WindowSize);

    CommunicationClass& transport = MainObject->Transport();
    // A port that would not open has said why in a message; waiting for a device on it would
    // only add a misleading "No device detected".
    if (!transport.OpenSerialPath(ComPortBox->itemData(index).toString()))
        return;
    SerialDetection = SERIAL_DETECTION_SECONDS;
    transport.SendSerial(SERIAL_IDENTITY_REQUEST);

    const UnitInfoClass* current = MainObject->ConfigHandler().CurrentUnit();
    if (current != nullptr && current->SocketType == UnitInfoClass::SOCKET_SERIAL && UnitWindow != nullptr)
        UnitWindow->show();
}

void TFormScan::TimerTick() {
    DebugLog::instance().tick();
    if (SerialDetection <= 0)
        return;
    --SerialDetection;
    if (SerialDetection > 0)
        MainObject->Transport().SendSerial(SERIAL_IDENTITY_REQUEST);
    else
        ShowMessage(QStringLiteral("No device detected"));
}

// ---- hidden codes and other actions ----

void TFormScan::ShowHiddenCodeBox() {
    auto* box = new QInputDialog(this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setObjectName(QStringLiteral("HiddenCodeBox"));
    box->setWindowTitle(QStringLiteral("Password"));
    box->setLabelText(QStringLiteral("Enter Password"));
    box->setInputMode(QInputDialog::TextInput);
    connect(box, &QInputDialog::textValueSelected, this, &TFormScan::ApplyHiddenCode);
    box->open();
}

void TFormScan::ApplyHiddenCode(const QString& code) {
    if (code == CODE_MAC_MODE) {
        MacMode = true;
        MacModeLabel->show();
        Q_EMIT macModeEnabled();
    } else if (code == CODE_DEBUG_TO_FILE) {
        DebugMode = true;
        DebugLog::instance().setCountdown(DebugLog::DEBUG_COUNTDOWN);
        Q_EMIT debugModeEnabled();
        ShowMessage(QStringLiteral("Debug to file activated for 65535 seconds"));
    }
}

void TFormScan::SetCloudOnline(bool online) {
    CloudLabel->setVisible(online);
}

void TFormScan::ShowMessage(const QString& text) {
    // Not modal to the program: replies keep arriving and the timer keeps running behind it.
    auto* box = new QMessageBox(QMessageBox::Information, PROGRAM_NAME, text, QMessageBox::Ok, this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
    Q_EMIT messageShown(text);
}

bool TFormScan::eventFilter(QObject* watched, QEvent* event) {
    if (watched == PasswordEdit && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_F10 && key->modifiers().testFlag(Qt::ControlModifier)) {
            ShowHiddenCodeBox();
            return true;
        }
    } else if (watched == CountLabel && event->type() == QEvent::MouseButtonDblClick) {
        SpeedConfig = true;
        Q_EMIT speedConfigEnabled();
        ShowMessage(QStringLiteral("EPAN Speed Config Enabled"));
        return true;
    } else if (watched == CloudLabel && event->type() == QEvent::MouseButtonRelease) {
        ShowMessage(QStringLiteral("Right click on units to download manuals from Nebryn"));
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

void TFormScan::closeEvent(QCloseEvent* event) {
    MainObject->Transport().StopUdp();
    event->accept();
    Q_EMIT closed();
}
