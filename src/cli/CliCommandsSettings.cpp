// read and set: the settings view of the unit window.
#include "cli/CliCommands.h"
#include "cli/CliRows.h"
#include "cli/CliSession.h"
#include "core/protocol/UnitConfigHandlerClass.h"
#include "core/unit/UnitInfoClass.h"

#include <QHash>
#include <algorithm>

namespace {

QStringList MenuNames() {
    QStringList names;
    for (int menu = 0; menu < MENU_COUNT; ++menu)
        names.append(QLatin1String(KeyMenuRangeOf(static_cast<KeyMenu>(menu)).Name));
    return names;
}

// A menu by its name (ignoring case) or by its group id ("0xF000" or "61440").
KeyMenu ParseMenu(const QString& text) {
    bool isNumber = false;
    const uint group = text.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)
                           ? text.mid(2).toUInt(&isNumber, 16)
                           : text.toUInt(&isNumber, 10);
    for (int i = 0; i < MENU_COUNT; ++i) {
        const KeyMenuRange& range = KeyMenuRangeOf(static_cast<KeyMenu>(i));
        if (isNumber ? group == range.GroupId
                     : text.compare(QLatin1String(range.Name), Qt::CaseInsensitive) == 0)
            return range.Menu;
    }
    return MENU_NONE;
}

QString KeyName(quint16 keyId) {
    const uint16_t slot = FindKeyIndex(keyId);
    return slot == KEY_NOT_FOUND ? QString() : KeyDefinitionAt(slot).Label;
}

// Reads what the settings list shows for these menus and inputs. An input's keys are reached
// from the "Inputs" menu with the input's "Edit" button; with `editInputs` false only the menu is
// read again, as after "Send New Settings" (its reply carries every input's keys).
bool ReadMenusAndInputs(CliSession& session, const QList<KeyMenu>& menus, const QStringList& inputs,
                        bool editInputs) {
    for (const KeyMenu menu : menus)
        if (!session.ReadGroup(KeyMenuRangeOf(menu).GroupId))
            return false;
    if (inputs.isEmpty())
        return true;
    if (!session.ReadGroup(UnitConfigHandlerClass::GROUP_INPUTS))
        return false;
    if (editInputs)
        for (const QString& address : inputs)
            if (!session.ReadInput(address))
                return false;
    return true;
}

// The key record a change goes to; nullptr when the unit has not reported it.
const KeyObjectClass* RecordOf(const UnitInfoClass& unit, const KeyChange& change) {
    if (change.InputAddress.isEmpty())
        return unit.FindKey(change.KeyId);
    if (unit.FindInput(change.InputAddress) == nullptr)
        return nullptr;
    return unit.FindInputKey(change.KeyId, change.InputAddress);
}

} // namespace

// ---- read --------------------------------------------------------------------------------------

bool PrepareRead(CliContext& context) {
    const QString usage = QStringLiteral("read needs a menu (") + MenuNames().join(QStringLiteral(", ")) +
                          QStringLiteral(", or a group id such as 0xF000) or \"input ADDRESS\"");
    if (context.Args.isEmpty()) {
        context.UsageError = usage;
        return false;
    }
    if (context.Args.first().compare(QLatin1String("input"), Qt::CaseInsensitive) == 0) {
        if (context.Args.size() != 2 || context.Args.at(1).isEmpty()) {
            context.UsageError = QStringLiteral("read input needs one input address");
            return false;
        }
        context.InputAddress = context.Args.at(1);
        return true;
    }
    // "Alarm Server" may come as one argument or as two words.
    context.Menu = ParseMenu(context.Args.join(QLatin1Char(' ')));
    if (context.Menu == MENU_NONE) {
        context.UsageError = QStringLiteral("unknown menu \"") + context.Args.join(QLatin1Char(' ')) +
                             QStringLiteral("\"; ") + usage;
        return false;
    }
    return true;
}

bool ExecuteRead(CliContext& context) {
    CliSession& session = *context.Session;
    UnitInfoClass* unit = session.OpenUnit(context.Mac);
    if (unit == nullptr)
        return false;

    if (!context.InputAddress.isEmpty()) {
        if (!ReadMenusAndInputs(session, {}, {context.InputAddress}, true))
            return false;
        const InputObjectClass* input = unit->FindInput(context.InputAddress);
        if (input == nullptr) {
            session.Fail(CLI_EXIT_USAGE,
                         QStringLiteral("The unit %1 has no input %2.").arg(unit->Mac, context.InputAddress));
            return false;
        }
        CliOutput output(KeyColumns());
        for (const QStringList& row : InputDetailRows(*unit, *input))
            output.addRow(row);
        context.Output = output;
        return true;
    }

    if (!session.ReadGroup(KeyMenuRangeOf(context.Menu).GroupId))
        return false;
    if (context.Menu == MENU_INPUTS) {
        CliOutput output(InputColumns());
        for (const QStringList& row : InputRows(*unit))
            output.addRow(row);
        context.Output = output;
        return true;
    }
    CliOutput output(KeyColumns());
    for (const QStringList& row : MenuKeyRows(*unit, context.Menu))
        output.addRow(row);
    context.Output = output;
    return true;
}

// ---- set ---------------------------------------------------------------------------------------

bool PrepareSet(CliContext& context) {
    if (context.Args.isEmpty()) {
        context.UsageError = QStringLiteral("set needs at least one KEY=VALUE");
        return false;
    }
    for (const QString& argument : context.Args) {
        CliKeyArgument key;
        CliKeyProblem problem;
        if (!ParseKeyArgument(argument, key, problem)) {
            context.UsageError =
                problem.IsRefusal ? problem.Text + QStringLiteral(" Nothing was sent.") : problem.Text;
            return false;
        }
        // Each key has one editor in the settings list.
        for (const CliKeyArgument& earlier : context.Keys) {
            if (earlier.Change.KeyId == key.Change.KeyId &&
                earlier.Change.InputAddress == key.Change.InputAddress) {
                context.UsageError = QStringLiteral("key ") + QString::number(key.Change.KeyId) +
                                     QStringLiteral(" is given twice");
                return false;
            }
        }
        if (!key.IsInput && KeyMenuOfKey(key.Change.KeyId) == MENU_NONE) {
            context.UsageError = QStringLiteral("key ") + QString::number(key.Change.KeyId) +
                                 QStringLiteral(" (") + key.Label +
                                 QStringLiteral(") is in no menu, so the settings list never offers it");
            return false;
        }
        context.Keys.append(key);
    }
    return true;
}

bool ExecuteSet(CliContext& context) {
    CliSession& session = *context.Session;
    UnitInfoClass* unit = session.OpenUnit(context.Mac);
    if (unit == nullptr)
        return false;

    QList<KeyMenu> menus;
    QStringList inputs;
    for (const CliKeyArgument& key : context.Keys) {
        if (key.IsInput) {
            if (!inputs.contains(key.Change.InputAddress))
                inputs.append(key.Change.InputAddress);
        } else if (!menus.contains(KeyMenuOfKey(key.Change.KeyId))) {
            menus.append(KeyMenuOfKey(key.Change.KeyId));
        }
    }
    // The settings list offers a key only once its menu (or its input) has been read, and
    // "Send New Settings" walks the keys the unit reported, in their order.
    if (!ReadMenusAndInputs(session, menus, inputs, true))
        return false;
    QHash<const KeyObjectClass*, qsizetype> position;
    qsizetype index = 0;
    for (const KeyObjectClass* record : unit->Keys)
        position.insert(record, index++);
    QList<QPair<qsizetype, KeyChange>> ordered;
    for (const CliKeyArgument& key : context.Keys) {
        const KeyObjectClass* record = RecordOf(*unit, key.Change);
        if (record == nullptr) {
            QString what = QStringLiteral("key ") + QString::number(key.Change.KeyId) + QStringLiteral(" (") +
                           key.Label + QLatin1Char(')');
            if (key.IsInput)
                what += QStringLiteral(" of input ") + key.Change.InputAddress;
            session.Fail(
                CLI_EXIT_USAGE,
                QStringLiteral("The unit %1 did not report %2. Nothing was sent.").arg(unit->Mac, what));
            return false;
        }
        ordered.append({position.value(record), key.Change});
    }
    std::stable_sort(ordered.begin(), ordered.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    QList<KeyChange> changes;
    for (const auto& entry : ordered)
        changes.append(entry.second);

    UnitConfigHandlerClass& handler = session.Handler();
    const QString mac = unit->Mac;
    const QString password = context.Options->Password;
    const bool sent = session.SendWrites([&] {
        const KeyChangeResult result = handler.SendKeyChanges(mac, password, changes);
        if (!result.Ok()) {
            const KeyChangeRefusal& refusal = *result.Refusal;
            session.Fail(CLI_EXIT_USAGE,
                         (refusal.KeyId == 0 ? refusal.Reason + QLatin1Char('.')
                                             : RefusalText(refusal.KeyId, KeyName(refusal.KeyId),
                                                           refusal.ValueText, refusal.Reason)) +
                             QStringLiteral(" Nothing was sent."));
            return -1;
        }
        return static_cast<int>(result.Packets.size());
    });
    if (!sent)
        return false;

    // The unit window asks for the menu again after sending; so do we, and print what came back.
    if (!ReadMenusAndInputs(session, menus, inputs, false))
        return false;
    CliOutput output(KeyColumns());
    for (const KeyMenu menu : menus)
        for (const QStringList& row : MenuKeyRows(*unit, menu))
            output.addRow(row);
    for (const QString& address : inputs)
        if (const InputObjectClass* input = unit->FindInput(address))
            for (const QStringList& row : InputDetailRows(*unit, *input))
                output.addRow(row);
    context.Output = output;
    return true;
}
