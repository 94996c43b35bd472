// The unit window's buttons and commands: refresh, send new settings, the unit commands with their
// confirmations, the serial texts and the automatic refresh.
#include "core/app/DebugLog.h"
#include "core/app/MainClass.h"
#include "core/protocol/UnitConfigHandlerClass.h"
#include "core/unit/KeyDefinitionTable.h"
#include "core/unit/UnitInfoClass.h"
#include "gui/unit/SettingsTreeWidget.h"
#include "gui/unit/TFormUnitInfo.h"
#include "gui/unit/UnitWindowDialogs.h"
#include "gui/unit/VisualsClass.h"

#include <QAction>
#include <QPointer>

namespace {

constexpr int MAC_TEXT_LENGTH = 17;
constexpr int KEY_RADIO_STATUS = 4365;
constexpr int RADIO_STATUS_RUNNING = 10;

QByteArray Bytes(std::initializer_list<int> values) {
    QByteArray bytes;
    for (const int value : values)
        bytes.append(static_cast<char>(value));
    return bytes;
}

QString RefusalText(const KeyChangeRefusal& refusal) {
    if (refusal.KeyId == 0)
        return QStringLiteral("Nothing was sent: ") + refusal.Reason + QStringLiteral(".");
    const uint16_t slot = FindKeyIndex(refusal.KeyId);
    const QString label = slot == KEY_NOT_FOUND ? QString() : KeyDefinitionAt(slot).Label;
    return QStringLiteral("Nothing was sent. The new value \"") + refusal.ValueText +
           QStringLiteral("\" of \"") + label + QStringLiteral("\" (key ") + QString::number(refusal.KeyId) +
           QStringLiteral(") ") + refusal.Reason +
           QStringLiteral(".\nEvery new value is kept, so it can be corrected and sent again.");
}

} // namespace

void TFormUnitInfo::OnRefreshClick() {
    Visuals().MenuListViewClick();
}

void TFormUnitInfo::OnSendNewSettingsClick() {
    QList<QPointer<QWidget>> editors;
    QList<KeyChange> changes;
    if (const UnitInfoClass* unit = Handler.FindUnit(UnitMac))
        changes = Visuals().CollectKeyChanges(*unit, &editors);
    const KeyChangeResult result = Handler.SendKeyChanges(UnitMac, UnitPassword, changes);
    if (!result.Ok()) {
        // Nothing went out: the editors stay as the user left them, and the user learns which
        // value the unit would not have understood.
        Dialogs().ShowMessage(this, RefusalText(*result.Refusal));
        return;
    }
    VisualsClass::ResetEditors(editors);
    Visuals().MenuListViewClick();
}

void TFormUnitInfo::OnSetEpanIdClick() {
    Main.Transport().SendSerial(
        Bytes({0x10, 0x07, 0x08, 0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88}));
}

void TFormUnitInfo::SendCommand(const QString& question, quint16 code) {
    if (Dialogs().Confirm(this, question))
        Handler.PostCommand(code);
}

void TFormUnitInfo::OnRebootClick() {
    SendCommand(QStringLiteral("Reboot unit?"), UnitConfigHandlerClass::COMMAND_REBOOT);
}

void TFormUnitInfo::OnResetNetworkClick() {
    SendCommand(
        QStringLiteral("Do you want to erase current network status?\nA network join is required after "
                       "this command."),
        UnitConfigHandlerClass::COMMAND_NETWORK_RESET);
}

void TFormUnitInfo::OnFactoryResetClick() {
    SendCommand(QStringLiteral("Warning!!!\nDo you want to erase ALL settings?"),
                UnitConfigHandlerClass::COMMAND_FACTORY_RESET);
}

void TFormUnitInfo::OnSetMacClick() {
    const std::optional<QString> text = Dialogs().AskText(
        this, QStringLiteral("New Mac"), QStringLiteral("Enter MAC-address"), QStringLiteral("02-3C-A7-"));
    // Six pairs and five dashes; anything else is not a MAC address and is dropped without a word.
    if (text.has_value() && text->size() == MAC_TEXT_LENGTH)
        Handler.PostKeyString(UnitConfigHandlerClass::KEY_SET_MAC, *text);
}

void TFormUnitInfo::OnSendSerialDebugTextClick() {
    const std::optional<QString> text = Dialogs().AskText(
        this, QStringLiteral("Free debugtext"), QStringLiteral("Enter debugtext"), QStringLiteral(">"));
    if (!text.has_value() || text->isEmpty())
        return;
    Main.Transport().SendSerial(text->toLatin1() + QByteArray(1, '\r'));
}

void TFormUnitInfo::OnAutoRefreshClick() {
    AutoRefreshAction->setChecked(true);
    ManualRefreshAction->setChecked(false);
    RefreshCountdown = REFRESH_SECONDS;
}

void TFormUnitInfo::OnManualRefreshClick() {
    ManualRefreshAction->setChecked(true);
    AutoRefreshAction->setChecked(false);
    RefreshCountdown = 0;
}

void TFormUnitInfo::RefreshTimerTick() {
    if (RefreshCountdown <= 0)
        return;
    if (--RefreshCountdown > 0)
        return;
    WriteLog(QStringLiteral("RefreshTimer == 0"));
    UnitInfoClass* unit = Handler.CurrentUnit();
    if (unit == nullptr)
        return;
    if (unit->SocketType == UnitInfoClass::SOCKET_SERIAL) {
        RefreshCountdown = SERIAL_REFRESH_SECONDS;
        const KeyObjectClass* radioStatus = unit->FindKey(KEY_RADIO_STATUS);
        const bool running = radioStatus != nullptr && radioStatus->Value >= RADIO_STATUS_RUNNING;
        Main.Transport().SendSerial(running ? Bytes({0x13, 0x01, 0x00, 0x00})
                                            : Bytes({0x11, 0x0C, 0x00, 0x00}));
        return;
    }
    RefreshCountdown = REFRESH_SECONDS;
    // Only the request: the list is reprinted when the answer arrives.
    const KeyMenu menu = KeyMenuByName(Visuals().SelectedMenuCaption());
    Handler.RequestKeyGroup(menu == MENU_NONE ? UnitConfigHandlerClass::GROUP_IP
                                              : KeyMenuRangeOf(menu).GroupId);
}

void TFormUnitInfo::CopyValueOfRow(QTreeWidgetItem* row) {
    // Group rows have no value to copy.
    if (row == nullptr || row->parent() == nullptr)
        return;
    Visuals().CopyValueToEditor(row->text(SettingsTreeWidget::COLUMN_CAPTION),
                                row->text(SettingsTreeWidget::COLUMN_VALUE));
}
