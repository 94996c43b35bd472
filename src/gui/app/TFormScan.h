#pragma once

#include "core/transport/CommunicationClass.h"
#include "gui/app/AdapterList.h"

#include <QHash>
#include <QMainWindow>
#include <QPointer>
#include <QStringList>

class MainClass;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QTimer;
class UnitInfoClass;
class UnitListModel;
class UnitListTable;

// The main window: the technician finds units here and picks one. It lists the units that
// answered a discovery broadcast (or the one reached over TCP), opens a unit, connects to a host
// over TCP or to a device on a serial port, and chooses the adapter for broadcasts. Its
// constructor runs the program's start-up sequence.
//
// Windows created after it are joined through its signals and SetUnitWindow, so it needs none of
// their headers.
class TFormScan : public QMainWindow {
    Q_OBJECT
public:
    static constexpr int SERIAL_DETECTION_SECONDS = 10;

    struct Options {
        QString WorkDir;
        CommunicationClass::UdpSettings Udp;
        // Serial ports to offer besides the system's (pseudo-terminals are never listed by it).
        QStringList ExtraSerialPorts;
        // Adapters offered after the machine's own (the demo site's loopback adapter).
        QList<AdapterObject> ExtraAdapters;
        // The address taken as the machine's current local IP; empty: the system's.
        QString LocalIP;
        quint16 TcpPort = CommunicationClass::DEFAULT_TCP_PORT;
        // Hosts reached on another TCP port than TcpPort (simulated units on free ports).
        QHash<QString, quint16> TcpPortByHost;
        // A line shown above the unit list (what the demo site holds).
        QString Notice;
    };

    explicit TFormScan(const Options& options, QWidget* parent = nullptr);
    explicit TFormScan(QWidget* parent = nullptr) : TFormScan(Options{}, parent) {}
    ~TFormScan() override;

    MainClass& Main() { return *MainObject; }
    UnitListModel& UnitList() { return *UnitListData; }
    const QList<AdapterObject>& Adapters() const { return AdapterList; }

    // The unit window: closed by a remote connect or disconnect while it is open, shown again by
    // a serial connect while a serial device is the current unit.
    void SetUnitWindow(QWidget* window) { UnitWindow = window; }

    // "Scan for units".
    void ScanForUnits();
    // "Remote connect" (and Enter in "Remote host:"): connects to the typed host, or disconnects.
    void RemoteConnect();
    // "Remote Connect" of the pop-up: connects to the selected unit's IP.
    void RemoteConnectToSelectedUnit();
    // "Serial connect": opens the chosen port and asks for the device's identity for 10 seconds.
    void SerialConnect();
    // Opens the selected unit (double-click, Return, "Open Unit").
    void OpenSelectedUnit();
    // Ctrl+F10 in the password box: asks for a service code.
    void ShowHiddenCodeBox();
    // What a service code does; anything but the two codes does nothing.
    void ApplyHiddenCode(const QString& code);

    // One tick of the 1-second timer.
    void TimerTick();
    int SerialDetectionCountdown() const { return SerialDetection; }
    // A serial device identified itself: detection is over.
    void ClearSerialDetection() { SerialDetection = 0; }

    bool MacModeEnabled() const { return MacMode; }
    bool DebugModeEnabled() const { return DebugMode; }
    bool SpeedConfigEnabled() const { return SpeedConfig; }

    // The cloud client shows "Nebryn Cloud Online" once it is connected.
    void SetCloudOnline(bool online);

Q_SIGNALS:
    // Open this unit in the unit window with the password typed here.
    void openUnitRequested(UnitInfoClass* unit, const QString& password);
    // The MAC-setting item of the unit window's menu is enabled.
    void macModeEnabled();
    // Debug to file: the hidden items of the unit window and of the device list show.
    void debugModeEnabled();
    // The unit window's speed-configuration button shows.
    void speedConfigEnabled();
    // A message box was shown with this text.
    void messageShown(const QString& text);
    // The window closed: the program ends.
    void closed();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildWindow();
    void FillAdapterBox();
    void FillComPortBox();
    void ApplyScreenSize();
    void BindSelectedAdapter();
    void OnAdapterActivated(int index);
    void OnUnitListChanged(UnitInfoClass* unit);
    void OnCountChanged(int count);
    void OnUnitListMenu(const QPoint& position);
    void OnTcpConnected();
    void OnTcpDisconnected();
    void OnTcpError(int code, const QString& text);
    void OnUdpBindFailed(const QString& text);
    // Step 3 of a remote connect: no list, no units, no current unit.
    void ForgetUnits();
    void ConnectTo(const QString& host);
    void ShowMessage(const QString& text);

    Options StartOptions;
    MainClass* MainObject = nullptr;
    QTimer* Timer = nullptr;
    QList<AdapterObject> AdapterList;
    int SerialDetection = 0;
    bool MacMode = false;
    bool DebugMode = false;
    bool SpeedConfig = false;
    QPointer<QWidget> UnitWindow;

    QLineEdit* RemoteHostEdit = nullptr;
    QLineEdit* PasswordEdit = nullptr;
    QComboBox* ComPortBox = nullptr;
    QComboBox* AdapterBox = nullptr;
    QLabel* LocalIPLabel = nullptr;
    QPushButton* RemoteConnectButton = nullptr;
    QPushButton* ScanButton = nullptr;
    QPushButton* SerialConnectButton = nullptr;
    QPushButton* CloseButton = nullptr;
    QLabel* NoticeLabel = nullptr;
    QLabel* BindErrorLabel = nullptr;
    UnitListTable* UnitListView = nullptr;
    UnitListModel* UnitListData = nullptr;
    QLabel* CountLabel = nullptr;
    QLabel* MacModeLabel = nullptr;
    QLabel* CloudLabel = nullptr;
    QLabel* VersionLabel = nullptr;
    QMenu* UnitListMenu = nullptr;
};
