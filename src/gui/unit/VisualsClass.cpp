#include "gui/unit/VisualsClass.h"

#include "core/app/AppVersion.h"
#include "core/app/DebugLog.h"
#include "core/protocol/UnitConfigHandlerClass.h"
#include "core/unit/FormatKeyValue.h"
#include "core/unit/KeyDefinitionTable.h"
#include "core/unit/UnitInfoClass.h"
#include "gui/unit/KeyEditors.h"
#include "gui/unit/KeyLookup.h"
#include "gui/unit/SettingsTreeWidget.h"

#include <QHeaderView>
#include <QListWidget>
#include <QPushButton>
#include <exception>

namespace {

constexpr int KEY_PRODUCT_INFO = 105;
constexpr int KEY_REQUIRED_VERSION = 109;
constexpr int KEY_HARDWARE_INFO = 112;
constexpr int KEY_NEBRYN_INFORMATION = 118;
constexpr int KEY_Q7_MODE = 4132;

// Building log texts costs more than printing a row; skip it while nothing is written.
bool LogActive() {
    return DebugLog::instance().countdown() > 0;
}

// Menus offered to every product but the serial devices. "Nebryn" and "SMS Backup" are known menus
// that no product offers.
const KeyMenu PRODUCT_MENUS[] = {MENU_IP,     MENU_GPRS, MENU_ALARMSERVER, MENU_SYSTEM,
                                 MENU_INPUTS, MENU_SMS,  MENU_LOGS,        MENU_CUSTOM};

QString MenuConstantName(KeyMenu menu) {
    static const char* const NAMES[MENU_COUNT] = {
        "MENU_IP",     "MENU_GPRS",      "MENU_ALARMSERVER", "MENU_NEBRYN", "MENU_SYSTEM",
        "MENU_INPUTS", "MENU_SMSBACKUP", "MENU_SMS",         "MENU_LOGS",   "MENU_CUSTOM"};
    if (menu < 0 || menu >= MENU_COUNT)
        return QStringLiteral("DEFAULT");
    return QString::fromLatin1(NAMES[menu]);
}

QString KeyLabel(int keyId) {
    const uint16_t slot = KeyLookup::SlotOfKey(keyId);
    return slot == KEY_NOT_FOUND ? QString() : KeyDefinitionAt(slot).Label;
}

QString NumberOrBytesText(const KeyObjectClass& key) {
    return key.Data.isEmpty() ? QString::number(key.Value) : BytesToHexText(key.Data);
}

} // namespace

// ---- helpers used by the window and the tests ----------------------------------------------------

bool RequiresNewerProgram(const KeyObjectClass& key) {
    // "v2.0.16" -> 2, 0, 16; compared with the unit's b0.b1.b2 from the left.
    const QStringList own = PROGRAM_VERSION.mid(1).split(QLatin1Char('.'));
    for (int i = 0; i < 3; ++i) {
        const int ownNumber = i < own.size() ? own.at(i).toInt() : 0;
        const int unitNumber = key.ByteAt(i);
        if (unitNumber < 0)
            return false; // a short value says nothing about a newer version
        WriteLog(QStringLiteral("IP_Version[") + QString::number(i) + QStringLiteral("]: ") +
                 QString::number(ownNumber) + QStringLiteral(". KeyItem->ValString[") + QString::number(i) +
                 QStringLiteral("]: ") + QString::number(unitNumber));
        if (unitNumber != ownNumber)
            return unitNumber > ownNumber;
    }
    return false;
}

// ---- VisualsClass ---------------------------------------------------------------------------------

VisualsClass::VisualsClass(UnitConfigHandlerClass& handler, QListWidget& menuList,
                           SettingsTreeWidget& settingsList, QObject* parent)
    : QObject(parent), Handler(handler), MenuListView(menuList), SettingsListView(settingsList) {}

VisualsClass::~VisualsClass() = default;

UnitInfoClass* VisualsClass::Unit() const {
    return Handler.CurrentUnit();
}

QString VisualsClass::SelectedMenuCaption() const {
    const QListWidgetItem* item = MenuListView.item(SelectedMenuIndex);
    return item != nullptr ? item->text() : QString();
}

bool VisualsClass::InInputOverview() const {
    return !InputDetail && SelectedMenuCaption() == QLatin1String(KeyMenuRangeOf(MENU_INPUTS).Name);
}

void VisualsClass::ClearSettingsList() {
    SettingsListView.ClearRows();
}

void VisualsClass::ResetLists() {
    MenuListView.clear();
    ClearSettingsList();
    SelectedMenuIndex = 0;
    InputDetail = false;
    InputAddress.clear();
}

void VisualsClass::BuildMenuList() {
    UnitInfoClass* unit = Unit();
    if (unit == nullptr)
        return;
    const QSignalBlocker blocker(&MenuListView);
    MenuListView.clear();
    if (unit->SocketType == UnitInfoClass::SOCKET_SERIAL)
        unit->ProductCode = UnitInfoClass::PRODUCT_Q7_DEVICE;
    QString productText;
    if (const KeyObjectClass* product = unit->FindKey(KEY_PRODUCT_INFO))
        productText = product->DataText();
    if (const KeyObjectClass* hardware = unit->FindKey(KEY_HARDWARE_INFO)) {
        if (hardware->HasBytes(2))
            unit->ProductCode = hardware->ByteAt(0) * 256 + hardware->ByteAt(1);
    }

    const bool device = unit->ProductCode == UnitInfoClass::PRODUCT_Q7_DEVICE;
    Q_EMIT layoutRequested(!device);

    if (device) {
        WriteLog(QStringLiteral("Building Menu: PRODUCT_Q7_DEVICE. ProductName: ") + productText);
        MenuListView.addItem(QString::fromLatin1(KeyMenuRangeOf(MENU_CUSTOM).Name));
    } else {
        WriteLog((unit->ProductCode == UnitInfoClass::PRODUCT_RDM22SMS
                      ? QStringLiteral("Building Menu: PRODUCT_RDM22SMS. ProductName: ")
                      : QStringLiteral("Building Menu: Default. ProductName: ")) +
                 productText);
        for (const KeyMenu menu : PRODUCT_MENUS)
            MenuListView.addItem(QString::fromLatin1(KeyMenuRangeOf(menu).Name));
    }
    // The list is rebuilt on every layout change; the user's choice stays marked.
    if (SelectedMenuIndex >= 0 && SelectedMenuIndex < MenuListView.count())
        MenuListView.setCurrentRow(SelectedMenuIndex);
}

void VisualsClass::MenuListViewClick() {
    const int row = MenuListView.currentRow();
    SelectedMenuIndex =
        row >= 0 && MenuListView.currentItem() != nullptr && MenuListView.currentItem()->isSelected() ? row
                                                                                                      : 0;
    WriteLog(QStringLiteral("MenuListViewClick(). SelectedMenuIndex: ") + QString::number(SelectedMenuIndex));
    InputDetail = false;
    UnitInfoClass* unit = Unit();
    if (unit == nullptr)
        return;
    HideComponents(unit);
    const QString caption = SelectedMenuCaption();
    Q_EMIT settingsCaptionChanged(caption + QStringLiteral(" Settings for: ") + unit->Mac);
    UpdateSettingsList(0);
    const KeyMenu menu = KeyMenuByName(caption);
    Handler.RequestKeyGroup(menu == MENU_NONE ? UnitConfigHandlerClass::GROUP_IP
                                              : KeyMenuRangeOf(menu).GroupId);
}

void VisualsClass::UpdateSettingsList(int specificKey) {
    try {
        if (Unit() == nullptr)
            return;
        const QString caption = SelectedMenuCaption();
        const bool inputs = caption == QLatin1String(KeyMenuRangeOf(MENU_INPUTS).Name);
        // Rows of another unit must never stay: a reprint updates in place only for the same unit.
        if (PrintedMenuIndex != SelectedMenuIndex || inputs || PrintedUnitMac != Unit()->Mac) {
            PrintedMenuIndex = SelectedMenuIndex;
            PrintedUnitMac = Unit()->Mac;
            ClearSettingsList();
        }
        if (specificKey == 0)
            WriteLog(QStringLiteral("Print All Keys. Menu (") + QString::number(SelectedMenuIndex) +
                     QStringLiteral("): ") + caption);
        else
            WriteLog(QStringLiteral("Print Specific Key. Menu (") + QString::number(SelectedMenuIndex) +
                     QStringLiteral("): ") + caption + QStringLiteral(". Key: ") +
                     QString::number(specificKey));
        BuildSettingsListView(caption, specificKey);
        WriteLog(QStringLiteral("Keys printed"));
        // Qt places cell widgets itself, so the editors are placed right away instead of after a
        // short delay.
        UpdateComponents(false);
    } catch (const std::exception&) {
        WriteLog(QStringLiteral("UpdateSettingsList() Error"));
    }
}

void VisualsClass::BuildSettingsListView(const QString& caption, int specificKey) {
    UnitInfoClass* unit = Unit();
    if (unit == nullptr)
        return;
    const KeyMenu menu = KeyMenuByName(caption);
    WriteLog(QStringLiteral("Building SettingsListView: ") + MenuConstantName(menu));
    SettingsListView.headerItem()->setText(SettingsTreeWidget::COLUMN_CAPTION, QStringLiteral("Key"));

    if (menu == MENU_INPUTS) {
        WriteLog(QStringLiteral("Building SettingsListView: MENU_INPUTS. Nr of inputs: ") +
                 QString::number(unit->Inputs.size()));
        SettingsListView.headerItem()->setText(SettingsTreeWidget::COLUMN_CAPTION, QStringLiteral("Inputs"));
        for (InputObjectClass* input : unit->Inputs)
            if (!input->Address.isEmpty())
                PrintInputRow(*input);
        return;
    }

    if (specificKey != 0) {
        if (KeyObjectClass* key = unit->FindKey(specificKey)) {
            PrintKeyText(*key);
            return;
        }
    }
    int first = 1;
    int last = 19;
    if (menu != MENU_NONE) {
        first = KeyMenuRangeOf(menu).FirstKey;
        last = KeyMenuRangeOf(menu).LastKey;
    }
    for (KeyObjectClass* key : unit->Keys)
        if (key->Id >= first && key->Id <= last)
            PrintKeyText(*key);
}

QTreeWidgetItem* VisualsClass::PrintKeyText(KeyObjectClass& key) {
    const uint16_t slot = KeyLookup::SlotOfKey(key.Id);
    if (LogActive())
        WriteLog(QStringLiteral("Print KeyText (") + QString::number(key.Id) + QStringLiteral("): ") +
                 KeyLabel(key.Id) + QStringLiteral(". Var: ") + NumberOrBytesText(key));
    if (slot == KEY_NOT_FOUND) {
        // Unknown rows are found again by their caption too, so a reprint does not pile them up.
        const QString caption =
            QStringLiteral("Unknown Key (") + QString::number(key.Id) + QStringLiteral(")");
        QTreeWidgetItem* row = SettingsListView.FindRow(caption);
        if (row == nullptr)
            row = SettingsListView.AddRow(SettingsTreeWidget::GROUP_UNKNOWN, caption);
        SettingsListView.SetCellText(row, SettingsTreeWidget::COLUMN_VALUE, FormatKeyValue(key, key.Unit));
        WriteLog(QStringLiteral("Printing Unknown Key: ") + QString::number(key.Id) +
                 QStringLiteral(". Length: ") + QString::number(key.Data.size()));
        return nullptr;
    }
    const KeyDefinition& definition = KeyDefinitionAt(slot);
    QTreeWidgetItem* row = SettingsListView.FindRow(definition.Label);
    if (row == nullptr)
        row = SettingsListView.AddRow(IsStatusKeyType(definition.Type) ? SettingsTreeWidget::GROUP_STATUS
                                                                       : SettingsTreeWidget::GROUP_SETTINGS,
                                      definition.Label);
    SettingsListView.SetCellText(row, SettingsTreeWidget::COLUMN_VALUE, FormatKeyValue(key, key.Unit));
    PaintRow(row, key);
    return row;
}

void VisualsClass::PaintRow(QTreeWidgetItem* row, const KeyObjectClass& key) {
    bool red = false;
    if (key.Id == KEY_REQUIRED_VERSION)
        red = RequiresNewerProgram(key);
    else if (key.Id == KEY_Q7_MODE || key.Id == KEY_NEBRYN_INFORMATION)
        red = KeyEditors::KeyNumber(key) == 1;
    SettingsTreeWidget::SetRowRed(row, red);
}

void VisualsClass::PrintInputRow(InputObjectClass& input) {
    WriteLog(QStringLiteral("Adding InputItem: ") + input.Address);
    QTreeWidgetItem* row = SettingsListView.FindRow(input.Address);
    if (row == nullptr)
        row = SettingsListView.AddRow(SettingsTreeWidget::GROUP_STATUS, input.Address);
    SettingsListView.SetCellText(row, SettingsTreeWidget::COLUMN_VALUE, InputStatusText(input.Status));
}

void VisualsClass::PrintInputInfo(InputObjectClass& input) {
    UnitInfoClass* unit = Unit();
    if (unit == nullptr)
        return;
    HideComponents(unit);
    SettingsListView.headerItem()->setText(SettingsTreeWidget::COLUMN_CAPTION, QStringLiteral("Key"));
    ClearSettingsList();
    InputAddress = input.Address;
    WriteLog(QStringLiteral("PrintInputInfo: ") + input.Address);
    for (KeyObjectClass* key : unit->Keys) {
        if (!UnitInfoClass::IsInputKey(key->Id) || key->DataText() != input.Address)
            continue;
        const uint16_t slot = KeyLookup::SlotOfKey(key->Id);
        if (slot == KEY_NOT_FOUND)
            continue;
        const KeyDefinition& definition = KeyDefinitionAt(slot);
        try {
            QTreeWidgetItem* row = SettingsListView.FindRow(definition.Label);
            if (row == nullptr)
                row = SettingsListView.AddRow(IsStatusKeyType(definition.Type)
                                                  ? SettingsTreeWidget::GROUP_STATUS
                                                  : SettingsTreeWidget::GROUP_SETTINGS,
                                              definition.Label);
            QString value;
            switch (key->Id) {
            case 150:
                value = input.Address;
                break;
            case 151:
                value = input.Text;
                break;
            case 152:
                value = GetKeyOptionText(152, input.Type);
                break;
            case 153:
                value = GetKeyOptionText(153, input.Balance);
                break;
            case 154:
                value = QString::number(input.MaxTemp);
                break;
            case 155:
                value = QString::number(input.MinTemp);
                break;
            case 156:
                value = QString::number(input.Delay);
                break;
            case 157:
                value = InputStatusText(input.Status);
                break;
            case 158:
                value = QString::number(input.Analog);
                break;
            case 159:
                value = input.Info;
                break;
            case 168:
                value = QStringLiteral(" ");
                break;
            default:
                break;
            }
            SettingsListView.SetCellText(row, SettingsTreeWidget::COLUMN_VALUE, value);
            SettingsListView.SetCellText(row, SettingsTreeWidget::COLUMN_NEW_VALUE, QStringLiteral(" "));
        } catch (const std::exception&) {
            WriteLog(QStringLiteral("PrintInputInfo error. Key: ") + definition.Label);
        }
    }
}

void VisualsClass::OnInputNrClick(QPushButton* button) {
    UnitInfoClass* unit = Unit();
    if (unit == nullptr || button == nullptr)
        return;
    const QString address = button->property(KeyEditors::PROPERTY_INPUT_ADDRESS).toString();
    WriteLog(QStringLiteral("OnInputNrClick(). Address: ") + address);
    InputObjectClass* input = unit->FindInput(address);
    if (input == nullptr)
        return;
    Handler.SetCurrentInput(unit, input);
    InputDetail = true;
    Handler.RequestInput(address);
    // The request may have been answered and the unit list changed while it was sent.
    if (Unit() != unit)
        return;
    PrintInputInfo(*input);
    UpdateComponents(false);
}

void VisualsClass::RefreshAfterResponse() {
    if (!InputDetail) {
        UpdateSettingsList(0);
        return;
    }
    InputObjectClass* input = Handler.CurrentInput();
    if (input == nullptr || Handler.CurrentInputUnit() != Unit())
        return;
    WriteLog(QStringLiteral("LastParsedInput: ") + input->Address + QStringLiteral(". Print Inputs"));
    PrintInputInfo(*input);
    UpdateComponents(false);
}
