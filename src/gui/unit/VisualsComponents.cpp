// The editors of the settings list: placing them in their rows, the action buttons, copying a value
// into an editor and collecting the new values for "Send New Settings".
#include "core/app/DebugLog.h"
#include "core/protocol/UnitConfigHandlerClass.h"
#include "core/unit/KeyDefinitionTable.h"
#include "core/unit/SaveDebugData.h"
#include "core/unit/UnitInfoClass.h"
#include "gui/unit/KeyEditors.h"
#include "gui/unit/KeyLookup.h"
#include "gui/unit/SettingsTreeWidget.h"
#include "gui/unit/VisualsClass.h"

#include <QHash>
#include <QListWidget>
#include <QPushButton>
#include <exception>

namespace {

constexpr int KEY_PRODUCT_INFO = 105;
constexpr int KEY_NEBRYN_INFORMATION = 118;
constexpr int KEY_INPUT_ADDRESS = 150;
constexpr int KEY_ACKNOWLEDGE = 168;
constexpr int KEY_EVENT_LOG = 220;
constexpr int KEY_DEBUG_LOG = 222;
constexpr int KEY_IP_SOCKETS = 224;
constexpr int KEY_ARP_TABLE = 225;
constexpr int KEY_GPRS_SOCKETS = 252;
constexpr int KEY_CONTACT_ID_DEFAULTS = 4099;
constexpr int KEY_IEEE_UNITS = 4128;
constexpr int KEY_ZONES = 4153;
constexpr int KEY_STORED_RADIO_FIRMWARE = 4164;
constexpr int KEY_PARENT_MAC = 4373;
constexpr int KEY_OUTPUT_1_STATUS = 4413;
constexpr int KEY_OUTPUT_2_STATUS = 4414;

// The acknowledgement an input takes: one character with the code 0xFF.
const QChar INPUT_ACK_CHARACTER(0xFF);

using KeyLookup::SlotOfKey;
using KeyLookup::SlotOfLabel;
using KeyLookup::TypeCodeOf;

QString ButtonCaption(const KeyObjectClass& key) {
    switch (key.Id) {
    case KEY_PRODUCT_INFO:
    case KEY_STORED_RADIO_FIRMWARE:
        return QStringLiteral("Update Firmware");
    case KEY_NEBRYN_INFORMATION: {
        const int value = KeyEditors::KeyNumber(key);
        if (value == 1)
            return QStringLiteral("Show Info");
        if (value == 2)
            return QStringLiteral("Update Firmware");
        return QString();
    }
    case KEY_INPUT_ADDRESS:
        return QStringLiteral("Edit");
    case KEY_ACKNOWLEDGE:
        return QStringLiteral("Send Ack");
    case KEY_EVENT_LOG:
        return QStringLiteral("Download Log");
    case KEY_DEBUG_LOG:
        return QStringLiteral("Download Debug");
    case KEY_IP_SOCKETS:
    case KEY_GPRS_SOCKETS:
        return QStringLiteral("Show Sockets");
    case KEY_ARP_TABLE:
        return QStringLiteral("Show ARP Table");
    case KEY_CONTACT_ID_DEFAULTS:
        return QStringLiteral("Set To Default");
    case KEY_IEEE_UNITS:
        return QStringLiteral("Show Units");
    case KEY_ZONES:
        return QStringLiteral("Show Zones");
    case KEY_PARENT_MAC:
        return QStringLiteral("Find New Repeater");
    case KEY_OUTPUT_1_STATUS:
    case KEY_OUTPUT_2_STATUS:
        return QStringLiteral("Toggle");
    default:
        return QString();
    }
}

// Buttons whose work belongs to another window; until it is there they say why they do nothing.
QString UnavailableReason(int keyId) {
    switch (keyId) {
    case KEY_PRODUCT_INFO:
    case KEY_STORED_RADIO_FIRMWARE:
        return QStringLiteral("Firmware upload is not available in this version");
    case KEY_NEBRYN_INFORMATION:
        return QStringLiteral("The cloud is not connected");
    case KEY_IEEE_UNITS:
    case KEY_ZONES:
        return QStringLiteral("The device and zone lists are not available in this version");
    default:
        return QString();
    }
}

} // namespace

// ---- placing editors --------------------------------------------------------------------------------

KeyObjectClass* VisualsClass::RowKey(QTreeWidgetItem* row, bool overview, bool verbose) const {
    UnitInfoClass* unit = Unit();
    const QString caption = row->text(SettingsTreeWidget::COLUMN_CAPTION);
    KeyObjectClass* key = nullptr;
    if (overview) {
        key = unit->FindInputKey(KEY_INPUT_ADDRESS, caption);
    } else {
        const uint16_t slot = SlotOfLabel(caption);
        if (slot != KEY_NOT_FOUND) {
            const int id = KeyDefinitionAt(slot).Id;
            // Outside the overview an input's address row has no button: it is the input itself.
            if (id == KEY_INPUT_ADDRESS)
                return nullptr;
            if (InputDetail) {
                WriteLog(QStringLiteral("Search for component with address: ") + QString::number(id) +
                         QStringLiteral(". Adr: ") + InputAddress);
                key = unit->FindInputKey(id, InputAddress);
            } else {
                key = unit->FindKey(id);
            }
        }
    }
    if (key == nullptr && verbose)
        WriteLog(QStringLiteral("Unable to find component: ") + caption);
    return key;
}

void VisualsClass::UpdateComponents(bool verbose) {
    if (Unit() == nullptr)
        return;
    try {
        const bool overview = InInputOverview();
        for (QTreeWidgetItem* row : SettingsListView.Rows()) {
            KeyObjectClass* key = RowKey(row, overview, verbose);
            if (key != nullptr)
                PlaceEditor(*key, TypeCodeOf(key->Id), row, verbose);
        }
    } catch (const std::exception&) {
        WriteLog(QStringLiteral("Unable to update components. Listview not ready?"));
    }
}

void VisualsClass::PlaceEditor(KeyObjectClass& key, int typeCode, QTreeWidgetItem* row, bool verbose) {
    if (typeCode < 0 || !KeyEditors::HasEditor(key.Id, typeCode))
        return;
    QWidget* editor = EnsureEditor(key);
    if (editor == nullptr) {
        if (verbose)
            WriteLog(QStringLiteral("Unknown Component (") + row->text(SettingsTreeWidget::COLUMN_CAPTION) +
                     QStringLiteral("): ") + QString::number(typeCode));
        return;
    }
    SettingsListView.BindEditor(row, editor);
    KeyEditors::FillItems(editor, key, typeCode, verbose);
    if (auto* button = qobject_cast<QPushButton*>(editor))
        SetupButton(button, key);
    else if (KeyBaseKindOf(typeCode) == KEY_KIND_SIGNAL_LEVEL)
        KeyEditors::SetLevelBar(editor, key);
}

QWidget* VisualsClass::EnsureEditor(KeyObjectClass& key) {
    if (auto* editor = qobject_cast<QWidget*>(key.Editor.data()))
        return editor;
    const int typeCode = TypeCodeOf(key.Id);
    if (typeCode < 0 || !KeyEditors::HasEditor(key.Id, typeCode))
        return nullptr;
    QWidget* editor = KeyEditors::CreateEditor(key, typeCode, MemoHeight, SettingsListView.Parking());
    if (editor == nullptr)
        return nullptr;
    key.Editor = editor;
    AllEditors.append(editor);
    if (auto* memo = qobject_cast<KeyMemoEdit*>(editor))
        connect(memo, &KeyMemoEdit::heightChanged, &SettingsListView, &SettingsTreeWidget::RelayoutRows);
    if (auto* button = qobject_cast<QPushButton*>(editor))
        connect(button, &QPushButton::clicked, this, [this, button]() { OnActionClick(button); });
    return editor;
}

void VisualsClass::HideComponents(UnitInfoClass* unit) {
    if (unit == nullptr)
        return;
    for (KeyObjectClass* key : unit->Keys)
        if (auto* editor = qobject_cast<QWidget*>(key->Editor.data()))
            SettingsListView.Park(editor);
}

void VisualsClass::RemoveEditors(UnitInfoClass* unit) {
    if (unit == nullptr)
        return;
    for (KeyObjectClass* key : unit->Keys) {
        if (auto* editor = qobject_cast<QWidget*>(key->Editor.data())) {
            SettingsListView.Park(editor);
            delete editor;
        }
    }
    AllEditors.removeAll(nullptr);
}

void VisualsClass::DeleteAllEditors() {
    for (const QPointer<QWidget>& editor : AllEditors) {
        if (editor != nullptr) {
            SettingsListView.Park(editor);
            delete editor.data();
        }
    }
    AllEditors.clear();
}

void VisualsClass::SetEditorTexts(const QList<KeyEditorText>& texts) {
    UnitInfoClass* unit = Unit();
    if (unit == nullptr)
        return;
    for (const KeyEditorText& text : texts) {
        KeyObjectClass* key = unit->FindKey(text.KeyId);
        if (key == nullptr)
            continue;
        QWidget* editor = EnsureEditor(*key);
        KeyEditors::SetEditorText(editor, QString());
        KeyEditors::SetEditorText(editor, text.Text);
    }
}

// ---- action buttons ---------------------------------------------------------------------------------

void VisualsClass::SetActionAvailable(int keyId, bool available) {
    if (available)
        AvailableActions.insert(keyId);
    else
        AvailableActions.remove(keyId);
    UpdateComponents(false);
}

void VisualsClass::SetupButton(QPushButton* button, const KeyObjectClass& key) {
    const QString caption = ButtonCaption(key);
    if (button->text() != caption)
        button->setText(caption);
    const QString reason = UnavailableReason(key.Id);
    const bool enabled = !caption.isEmpty() && (reason.isEmpty() || AvailableActions.contains(key.Id));
    if (button->isEnabled() != enabled)
        button->setEnabled(enabled);
    const QString tip = enabled ? QString() : reason;
    if (button->toolTip() != tip)
        button->setToolTip(tip);
}

void VisualsClass::OnActionClick(QPushButton* button) {
    UnitInfoClass* unit = Unit();
    if (unit == nullptr)
        return;
    const int keyId = button->property(KeyEditors::PROPERTY_KEY_ID).toInt();
    switch (keyId) {
    case KEY_INPUT_ADDRESS:
        OnInputNrClick(button);
        break;
    case KEY_ACKNOWLEDGE:
        WriteLog(QStringLiteral("OnAckInputClick()"));
        Handler.PostKeyString(KEY_ACKNOWLEDGE, QString(INPUT_ACK_CHARACTER));
        break;
    case KEY_EVENT_LOG:
        OnDownloadLogClick();
        break;
    case KEY_DEBUG_LOG:
        OnDownloadDebugClick();
        break;
    case KEY_IP_SOCKETS:
        OnSocketsClick();
        break;
    case KEY_GPRS_SOCKETS:
        OnGPRSSocketsClick();
        break;
    case KEY_ARP_TABLE:
        OnARPTableClick();
        break;
    case KEY_CONTACT_ID_DEFAULTS:
        WriteLog(QStringLiteral("OnContactIDDefaultClick()"));
        Handler.PostCommand(UnitConfigHandlerClass::COMMAND_CONTACT_ID_DEFAULTS);
        break;
    case KEY_PARENT_MAC:
        WriteLog(QStringLiteral("OnFindNewRepeaterClick()"));
        Handler.PostCommand(UnitConfigHandlerClass::COMMAND_NETWORK_RESET);
        Handler.PostCommand(UnitConfigHandlerClass::COMMAND_FIND_REPEATER);
        break;
    case KEY_OUTPUT_1_STATUS:
        WriteLog(QStringLiteral("OnToggleOut1Click()"));
        Handler.PostCommand(UnitConfigHandlerClass::COMMAND_TOGGLE_OUTPUT_1);
        break;
    case KEY_OUTPUT_2_STATUS:
        WriteLog(QStringLiteral("OnToggleOut2Click()"));
        Handler.PostCommand(UnitConfigHandlerClass::COMMAND_TOGGLE_OUTPUT_2);
        break;
    default:
        if (AvailableActions.contains(keyId))
            Q_EMIT actionRequested(keyId);
        break;
    }
}

void VisualsClass::OnSocketsClick() {
    WriteLog(QStringLiteral("OnSocketsClick()"));
    Q_EMIT statusViewRequested(MODE_IP_SOCKETS);
}

void VisualsClass::OnGPRSSocketsClick() {
    WriteLog(QStringLiteral("OnGPRSSocketsClick()"));
    Q_EMIT statusViewRequested(MODE_GPRS_SOCKETS);
}

void VisualsClass::OnDownloadLogClick() {
    WriteLog(QStringLiteral("OnDownloadLogClick()"));
    Unit()->EventLog.clear();
    Q_EMIT statusViewRequested(MODE_EVENT_LOG);
    if (Unit() != nullptr)
        Handler.RequestShortKey(UnitConfigHandlerClass::KEY_EVENT_LOG, 0);
}

void VisualsClass::OnARPTableClick() {
    WriteLog(QStringLiteral("OnARPTableClick()"));
    Q_EMIT statusViewRequested(MODE_ARP_TABLE);
    if (Unit() != nullptr)
        Handler.RequestShortKey(UnitConfigHandlerClass::KEY_ARP_TABLE, 0);
}

void VisualsClass::OnDownloadDebugClick() {
    WriteLog(QStringLiteral("OnDownloadDebugClick()"));
    Handler.DebugDownload().StartDebugDownload(*Unit());
}

// ---- copy value and change collection ---------------------------------------------------------------

void VisualsClass::CopyValueToEditor(const QString& caption, const QString& valueText) {
    UnitInfoClass* unit = Unit();
    const uint16_t slot = SlotOfLabel(caption);
    WriteLog(QStringLiteral("Copy Key (") + QString::number(slot) + QStringLiteral("): ") + caption +
             QStringLiteral(". Value: ") + valueText);
    if (unit == nullptr || slot == KEY_NOT_FOUND || InInputOverview())
        return;
    const KeyDefinition& definition = KeyDefinitionAt(slot);
    KeyObjectClass* key =
        InputDetail ? unit->FindInputKey(definition.Id, InputAddress) : unit->FindKey(definition.Id);
    if (key == nullptr)
        return;
    QWidget* editor = qobject_cast<QWidget*>(key->Editor.data());
    if (editor == nullptr)
        return;
    if (definition.Type == KEY_KIND_TEXT || definition.Type == KEY_KIND_NUMBER) {
        WriteLog(QStringLiteral("Existing TEdit: ") + KeyEditors::EditorText(editor));
        KeyEditors::SetEditorText(editor, valueText);
    } else if (definition.Type == KEY_KIND_TEXTLINES) {
        WriteLog(QStringLiteral("Existing TMemo: ") + KeyEditors::EditorText(editor));
        KeyEditors::SetEditorText(editor, valueText);
    }
    UpdateComponents(false);
}

QList<KeyChange> VisualsClass::CollectKeyChanges(const UnitInfoClass& unit,
                                                 QList<QPointer<QWidget>>* editors) const {
    QList<KeyChange> changes;
    for (const KeyObjectClass* key : unit.Keys) {
        const uint16_t slot = SlotOfKey(key->Id);
        if (slot == KEY_NOT_FOUND)
            continue;
        auto* editor = qobject_cast<QWidget*>(key->Editor.data());
        const int typeCode = KeyDefinitionAt(slot).Type;
        QString value;
        if (!KeyEditors::ReadChange(editor, typeCode, value))
            continue;
        KeyChange change;
        change.KeyId = static_cast<quint16>(key->Id);
        change.ValueText = value;
        change.RawType = typeCode;
        // Input keys go to the input their editor was made for; the unit needs its selector first.
        if (UnitInfoClass::IsInputKey(key->Id) && key->Id != KEY_INPUT_ADDRESS)
            change.InputAddress = editor->property(KeyEditors::PROPERTY_INPUT_ADDRESS).toString();
        changes.append(change);
        if (editors != nullptr)
            editors->append(editor);
    }
    return changes;
}

void VisualsClass::ResetEditors(const QList<QPointer<QWidget>>& editors) {
    for (const QPointer<QWidget>& editor : editors) {
        if (editor == nullptr)
            continue;
        const int keyId = editor->property(KeyEditors::PROPERTY_KEY_ID).toInt();
        KeyEditors::Reset(editor, TypeCodeOf(keyId));
    }
}
