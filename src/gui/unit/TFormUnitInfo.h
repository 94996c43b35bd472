#pragma once

#include <QMainWindow>
#include <QString>
#include <memory>

class MainClass;
class QAction;
class QActionGroup;
class QGroupBox;
class QListWidget;
class QMenu;
class QPushButton;
class QTimer;
class QTreeWidgetItem;
class SettingsTreeWidget;
class UnitConfigHandlerClass;
class UnitInfoClass;
class UnitWindowDialogs;
class VisualsClass;

// The unit window: the menu list and the settings list of the open unit, the buttons that refresh
// and send settings, and the unit commands (reboot, network reset, factory reset, MAC change). One
// instance lives as long as the program; opening another unit reuses it.
class TFormUnitInfo : public QMainWindow {
    Q_OBJECT
public:
    static constexpr int REFRESH_SECONDS = 10;
    static constexpr int SERIAL_REFRESH_SECONDS = 4;
    static constexpr int WINDOW_NORMAL = 0;
    static constexpr int WINDOW_MAXIMIZED = 2;

    explicit TFormUnitInfo(MainClass& main, QWidget* parent = nullptr);
    ~TFormUnitInfo() override;

    // Opens a unit reached over the network with the password typed in the main window: it becomes
    // the current unit, its IP menu is requested and the window is shown.
    void OpenUnit(UnitInfoClass* unit, const QString& password);
    // Opens a device on the serial line (its protocol has made it the current unit).
    void OpenSerialDevice(UnitInfoClass* unit);

    // Hidden service modes of the main window.
    void SetMacSettingMode(bool enabled);
    void SetEpanIdButtonVisible(bool visible);
    void SetDebugTextItemVisible(bool visible);

    // The boxes that ask the user; nullptr restores the ordinary ones. Not owned.
    void SetDialogs(UnitWindowDialogs* dialogs);

    VisualsClass& Visuals() { return *View; }
    QListWidget& MenuListView() { return *MenuList; }
    SettingsTreeWidget& SettingsListView() { return *SettingsList; }
    QString SettingsCaption() const;
    // A menu item or button by its caption (nullptr when there is none).
    QAction* FindAction(const QString& text) const;
    QPushButton* FindButton(const QString& text) const;

    QString UnitMac;
    QString UnitPassword;
    int RefreshCountdown = 0;

    // --- what the buttons and menu items do ---
    void OnRefreshClick();
    void OnSendNewSettingsClick();
    void OnSetEpanIdClick();
    void OnRebootClick();
    void OnResetNetworkClick();
    void OnFactoryResetClick();
    void OnSetMacClick();
    void OnSendSerialDebugTextClick();
    void OnAutoRefreshClick();
    void OnManualRefreshClick();
    void OnFullScreenClick();
    void OnNormalScreenClick();
    // One tick of the window's 1-second timer (automatic refresh).
    void RefreshTimerTick();

Q_SIGNALS:
    // A status button of the "Logs" menu: the list window opens in that mode (2-5).
    void statusViewRequested(int mode);
    void liveDebugRequested();
    // The window closed: the list window of the status views closes with it.
    void unitWindowClosed();

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void BuildWindow();
    void BuildMenus();
    void ConnectHandler();
    void ApplyLayout(bool showMenuList);
    void ResetForOpening();
    void StoreWindowState();
    void SendCommand(const QString& question, quint16 code);
    void CopyValueOfRow(QTreeWidgetItem* row);
    UnitWindowDialogs& Dialogs() const;

    MainClass& Main;
    UnitConfigHandlerClass& Handler;
    std::unique_ptr<UnitWindowDialogs> DefaultDialogs;
    UnitWindowDialogs* ActiveDialogs = nullptr;

    QWidget* Parking = nullptr;
    QGroupBox* MenuFrame = nullptr;
    QGroupBox* InfoFrame = nullptr;
    QListWidget* MenuList = nullptr;
    SettingsTreeWidget* SettingsList = nullptr;
    VisualsClass* View = nullptr;
    QPushButton* RefreshButton = nullptr;
    QPushButton* SendButton = nullptr;
    QPushButton* CloseButton = nullptr;
    QPushButton* EpanIdButton = nullptr;

    QMenu* RefreshMenu = nullptr;
    QAction* RebootAction = nullptr;
    QAction* ResetNetworkAction = nullptr;
    QAction* FactoryResetAction = nullptr;
    QAction* SetMacAction = nullptr;
    QAction* LiveDebugAction = nullptr;
    QAction* DebugTextAction = nullptr;
    QAction* AutoRefreshAction = nullptr;
    QAction* ManualRefreshAction = nullptr;

    QTimer* RefreshTimer = nullptr;
    bool MacSettingMode = false;
    bool DebugTextMode = false;
    bool MenuListShown = true;
};
