#pragma once

#include "core/unit/StatusDecoders.h"

#include <QDialog>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

class MainClass;
class QLabel;
class QMenu;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;
class UnitConfigHandlerClass;
class UnitInfoClass;

// The shared list window ("Info"): one report list with a title, a "Count: " label and the buttons
// "Close", "Refresh", "Visualize Network" and "Radio Tree". The unit window's "Logs" menu opens it
// for the status tables of the open unit: IP and GPRS sockets, the event log and the ARP table.
// The device and zone lists of the wireless network use the same window in modes 0 and 1.
//
// The window remembers which unit its rows belong to (ListMac): answers that arrive for another
// unit, or for a view the user has left, never reach it.
class TFormInfoList : public QDialog {
    Q_OBJECT
public:
    enum ListMode : int {
        LIST_NONE = -1, // nothing opened yet
        LIST_DEVICES = 0,
        LIST_ZONES = 1,
        LIST_IP_SOCKETS = 2,
        LIST_GPRS_SOCKETS = 3,
        LIST_EVENT_LOG = 4,
        LIST_ARP_TABLE = 5,
    };

    static constexpr int KEY_IP_SOCKETS = 224;
    static constexpr int KEY_GPRS_SOCKETS = 252;

    explicit TFormInfoList(MainClass& main, QWidget* parent = nullptr);
    ~TFormInfoList() override;

    // --- status views of the config handler's current unit; each logs its click handler's name ---
    // The sockets the unit reported with its "Logs" menu (keys 224 and 252); nothing is requested.
    void ShowIpSockets();
    void ShowGprsSockets();
    // Empties the unit's event log, opens the "Logbook" view and asks the unit for its log; the rows
    // follow when the last page has arrived.
    void ShowEventLog();
    // Renders the unit's EventLog into the "Logbook" view and shows the window.
    void ShowEventLog(const UnitInfoClass& unit);
    // Opens the "ARP Table" view and asks for the first page; rows arrive one by one (AddArpRow).
    void ShowArpTable();
    // One ARP record of the unit with that MAC; dropped unless this window is showing that unit's
    // ARP table.
    void AddArpRow(const QString& mac, const ArpRow& row);
    // Opens the view of a status mode (LIST_IP_SOCKETS ... LIST_ARP_TABLE) for the current unit
    // without asking the unit for anything, for a caller that sends the event-log or ARP request
    // itself right after (the settings view's buttons). Other modes are ignored.
    void OpenStatusView(int mode);
    // Appends a header to "UnitDebug_" + MAC + ".log" and downloads the unit's debug log into it;
    // the user is told how many bytes were saved when the last chunk has arrived.
    void DownloadDebugLog();

    // --- "Save to file" ---
    // Asks for a file (default name and filter of the view) and exports the rows to it.
    void SaveToFile();
    // Exports the rows, in display order, to the file (replacing it); false after telling the user.
    bool SaveListToFile(const QString& path);
    QString DefaultFileName() const;
    QString FileFilter() const;

    // --- state, for the unit window and for tests ---
    int Mode() const { return ListModeValue; }
    // MAC of the unit whose rows the list holds.
    const QString& ListMac() const { return ListUnitMac; }
    int SortColumn() const { return SortColumnValue; }
    QTreeWidget* List() const { return ListView; }
    QLabel* TitleLabel() const { return Title; }
    QLabel* CountLabel() const { return Count; }
    QMenu* PopupMenu() const { return CurrentMenu; }
    QPushButton* RefreshButton() const { return Refresh; }
    QPushButton* VisualizeButton() const { return Visualize; }
    QPushButton* RadioTreeButton() const { return RadioTree; }
    QPushButton* CloseButton() const { return CloseBtn; }
    // The cells of every row in display order.
    QList<QStringList> RowTexts() const;
    // Makes the column the sort column and sorts, as a click on its header does.
    void SortByColumn(int column);

    // Dialogs, replaceable so tests can answer them. ChooseSaveFile gets the proposed path (work
    // folder and default name) and the filter and returns the chosen path, empty when cancelled.
    std::function<QString(QWidget* parent, const QString& proposedPath, const QString& filter)>
        ChooseSaveFile;
    std::function<void(QWidget* parent, const QString& text)> ShowMessage;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    UnitConfigHandlerClass* Handler() const;
    void ConnectHandler();
    // The current unit; clickName, when given, is logged first as the click handler's name.
    UnitInfoClass* CurrentUnitFor(const char* clickName);
    // The common opening of every view: rows and columns emptied, mode, columns, title, count label,
    // popup menu, buttons; then the window is shown. columnMargin is subtracted from the even share
    // of the list width each column gets.
    void OpenListMode(int mode, const QString& title, const QStringList& columns, QMenu* menu,
                      int columnMargin);
    void ShowSockets(int mode, int key, const char* clickName);
    UnitInfoClass* OpenEventLogView(const char* clickName);
    UnitInfoClass* OpenArpView(const char* clickName);
    void OnEventLogReady();
    void OnDebugDownloadFinished(const QString& message);
    void ClearRows();
    void AddRow(const QStringList& cells);
    void AddRows(const QList<QStringList>& rows);
    bool RowLess(const QTreeWidgetItem* a, const QTreeWidgetItem* b) const;
    void SortRows();
    void UpdateCountLabel();
    void SetColumnWidths(int margin);
    void RefreshClicked();
    void ShowPopup(const QPoint& position);

    MainClass& Main;
    bool HandlerConnected = false;
    int ListModeValue = LIST_NONE;
    int SortColumnValue = 0;
    QString ListUnitMac;

    QLabel* Title = nullptr;
    QTreeWidget* ListView = nullptr;
    QLabel* Count = nullptr;
    QPushButton* Refresh = nullptr;
    QPushButton* Visualize = nullptr;
    QPushButton* RadioTree = nullptr;
    QPushButton* CloseBtn = nullptr;
    QMenu* DefaultMenu = nullptr; // "Save to file" of a list
    QMenu* LogMenu = nullptr;     // "Save to file" of a log
    QMenu* CurrentMenu = nullptr;
};
