#pragma once

#include "core/protocol/KeyChangeEncoder.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QString>

class InputObjectClass;
class KeyObjectClass;
class QListWidget;
class QPushButton;
class QTreeWidgetItem;
class QWidget;
class SettingsTreeWidget;
class UnitConfigHandlerClass;
class UnitInfoClass;
struct KeyEditorText;

// Builds and refreshes the two lists of the unit window from the unit model: the menu list (which
// menus a product gets) and the settings list of the chosen menu (one row per key with its value
// text and an editor for a new value). It also knows the action buttons of the settings list and
// collects the new values for "Send New Settings".
//
// It reads the unit through the config handler's current unit every time, never through a pointer
// of its own, so a unit list that was cleared meanwhile cannot leave it with a dangling record.
class VisualsClass : public QObject {
    Q_OBJECT
public:
    // Views of the shared list window the status buttons of the "Logs" menu open.
    static constexpr int MODE_IP_SOCKETS = 2;
    static constexpr int MODE_GPRS_SOCKETS = 3;
    static constexpr int MODE_EVENT_LOG = 4;
    static constexpr int MODE_ARP_TABLE = 5;

    VisualsClass(UnitConfigHandlerClass& handler, QListWidget& menuList, SettingsTreeWidget& settingsList,
                 QObject* parent = nullptr);
    ~VisualsClass() override;

    // --- state ---
    QString InputAddress;
    int MemoHeight = 26;
    bool InputDetail = false;
    int SelectedMenuIndex = 0;
    int PrintedMenuIndex = 0;

    // --- the lists ---
    void BuildMenuList();
    void MenuListViewClick();
    void UpdateSettingsList(int specificKey);
    void BuildSettingsListView(const QString& caption, int specificKey);
    QTreeWidgetItem* PrintKeyText(KeyObjectClass& key);
    void PrintInputInfo(InputObjectClass& input);
    void OnInputNrClick(QPushButton* button);
    void UpdateComponents(bool verbose);
    void HideComponents(UnitInfoClass* unit);
    void RefreshAfterResponse();
    void CopyValueToEditor(const QString& caption, const QString& valueText);
    // Empties both lists (opening a unit, or the unit list was cleared).
    void ResetLists();
    QString SelectedMenuCaption() const;

    // --- editors ---
    // The key's editor, made (parked, not shown) when the key has none yet; nullptr for keys
    // that show no editor.
    QWidget* EnsureEditor(KeyObjectClass& key);
    // Deletes the editors of a unit's keys (the main window opens another unit afresh).
    void RemoveEditors(UnitInfoClass* unit);
    // Deletes every editor made so far (the unit records are about to go).
    void DeleteAllEditors();
    // Puts texts into key editors (the Contact ID defaults).
    void SetEditorTexts(const QList<KeyEditorText>& texts);

    // --- "Send New Settings" ---
    // The new values of the unit's keys by the change rules, in `Keys` order; editors lists the
    // editor of each change so it can be reset once the values were sent.
    QList<KeyChange> CollectKeyChanges(const UnitInfoClass& unit, QList<QPointer<QWidget>>* editors) const;
    static void ResetEditors(const QList<QPointer<QWidget>>& editors);

    // Action buttons whose work another window does (firmware, cloud, radio lists) stay disabled
    // until that window declares itself here; a click then emits actionRequested.
    void SetActionAvailable(int keyId, bool available);

Q_SIGNALS:
    void settingsCaptionChanged(const QString& caption);
    // The window lays itself out for the product (the menu list is hidden for serial devices).
    void layoutRequested(bool showMenuList);
    // A status button of the "Logs" menu: open the list window in that mode.
    void statusViewRequested(int mode);
    void actionRequested(int keyId);

private:
    UnitInfoClass* Unit() const;
    bool InInputOverview() const;
    void ClearSettingsList();
    void PlaceEditor(KeyObjectClass& key, int typeCode, QTreeWidgetItem* row, bool verbose);
    void SetupButton(QPushButton* button, const KeyObjectClass& key);
    void OnActionClick(QPushButton* button);
    void OnSocketsClick();
    void OnGPRSSocketsClick();
    void OnDownloadLogClick();
    void OnARPTableClick();
    void OnDownloadDebugClick();
    void PrintInputRow(InputObjectClass& input);
    void PaintRow(QTreeWidgetItem* row, const KeyObjectClass& key);
    KeyObjectClass* RowKey(QTreeWidgetItem* row, bool overview, bool verbose) const;

    UnitConfigHandlerClass& Handler;
    QListWidget& MenuListView;
    SettingsTreeWidget& SettingsListView;
    QSet<int> AvailableActions;
    QList<QPointer<QWidget>> AllEditors;
    QString PrintedUnitMac;
};

// Whether a unit's "Required version of Unitscope" (b0.b1.b2) is newer than this program.
bool RequiresNewerProgram(const KeyObjectClass& key);
