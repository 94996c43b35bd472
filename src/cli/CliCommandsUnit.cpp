// scan and command: finding units and the unit window's commands.
#include "cli/CliCommands.h"
#include "cli/CliRows.h"
#include "cli/CliSession.h"
#include "core/app/MainClass.h"
#include "core/protocol/UnitConfigHandlerClass.h"
#include "core/unit/UnitInfoClass.h"

#include <algorithm>

namespace {

struct CommandAction {
    const char* Name;
    int Arguments; // words after the action
    // The codes sent, in order ("Find New Repeater" sends two); empty for the actions below.
    QList<quint16> Codes;
};

const QList<CommandAction>& Actions() {
    using H = UnitConfigHandlerClass;
    static const QList<CommandAction> actions = {
        {"reboot", 0, {H::COMMAND_REBOOT}},
        {"network-reset", 0, {H::COMMAND_NETWORK_RESET}},
        {"factory-reset", 0, {H::COMMAND_FACTORY_RESET}},
        {"find-repeater", 0, {H::COMMAND_NETWORK_RESET, H::COMMAND_FIND_REPEATER}},
        {"toggle-output-1", 0, {H::COMMAND_TOGGLE_OUTPUT_1}},
        {"toggle-output-2", 0, {H::COMMAND_TOGGLE_OUTPUT_2}},
        {"contact-id-defaults", 0, {}},
        {"set-mac", 1, {}},
        {"ack-input", 1, {}},
    };
    return actions;
}

const CommandAction* FindAction(const QString& name) {
    for (const CommandAction& action : Actions())
        if (name == QLatin1String(action.Name))
            return &action;
    return nullptr;
}

QStringList ActionNames() {
    QStringList names;
    for (const CommandAction& action : Actions())
        names.append(QLatin1String(action.Name));
    return names;
}

// The acknowledge button of an input sends one character of code 0xFF.
const QString INPUT_ACK_TEXT = QString(QChar(0xFF));

// "Set To Default" fills the Contact ID editors; here they are printed, ready for `set`.
bool ContactIdDefaults(CliContext& context) {
    CliSession& session = *context.Session;
    UnitConfigHandlerClass& handler = session.Handler();
    // The button sits on a key of the "Custom" menu, so that menu has been read first.
    if (!session.ReadGroup(UnitConfigHandlerClass::GROUP_CUSTOM))
        return false;
    QList<KeyEditorText> texts;
    const QMetaObject::Connection connection =
        QObject::connect(&handler, &UnitConfigHandlerClass::editorTextsRequested,
                         [&texts](const QList<KeyEditorText>& given) { texts = given; });
    const bool ok = session.SendWrites([&handler] {
        return handler.PostCommand(UnitConfigHandlerClass::COMMAND_CONTACT_ID_DEFAULTS) ? 1 : -1;
    });
    QObject::disconnect(connection);
    if (!ok)
        return false;
    CliOutput output({QStringLiteral("Key"), QStringLiteral("Label"), QStringLiteral("New Value")});
    for (const KeyEditorText& text : texts) {
        const uint16_t slot = FindKeyIndex(text.KeyId);
        output.addRow({QString::number(text.KeyId),
                       slot == KEY_NOT_FOUND ? QString() : KeyDefinitionAt(slot).Label, text.Text});
    }
    context.Output = output;
    return true;
}

} // namespace

// ---- scan --------------------------------------------------------------------------------------

bool PrepareScan(CliContext& context) {
    if (!context.Args.isEmpty()) {
        context.UsageError = QStringLiteral("scan takes no arguments");
        return false;
    }
    return true;
}

bool ExecuteScan(CliContext& context) {
    CliSession& session = *context.Session;
    if (!session.Scan())
        return false;
    CliOutput output(ScanColumns());
    if (session.OverSerial()) {
        for (const CliSession::SerialDevice& device : session.SerialDevices())
            output.addRow({device.Mac, device.Path, QString(), QString()});
        context.Output = output;
        return true;
    }
    // The unit list is sorted by its first column, ignoring case.
    QList<QStringList> rows;
    for (const auto& unit : session.Handler().Units())
        rows.append(ScanRow(*unit));
    std::stable_sort(rows.begin(), rows.end(), [](const QStringList& a, const QStringList& b) {
        return a.first().compare(b.first(), Qt::CaseInsensitive) < 0;
    });
    for (const QStringList& row : rows)
        output.addRow(row);
    context.Output = output;
    return true;
}

// ---- command -----------------------------------------------------------------------------------

bool PrepareCommand(CliContext& context) {
    const QString usage = QStringLiteral("command needs one of: ") + ActionNames().join(QStringLiteral(", "));
    if (context.Args.isEmpty()) {
        context.UsageError = usage;
        return false;
    }
    const CommandAction* action = FindAction(context.Args.first());
    if (action == nullptr) {
        context.UsageError = QStringLiteral("unknown command action \"") + context.Args.first() +
                             QStringLiteral("\"; ") + usage;
        return false;
    }
    if (context.Args.size() != action->Arguments + 1) {
        context.UsageError =
            QLatin1String(action->Name) + (action->Arguments == 0 ? QStringLiteral(" takes no argument")
                                                                  : QStringLiteral(" takes one argument"));
        return false;
    }
    context.Action = context.Args.first();
    if (context.Action == QLatin1String("set-mac")) {
        // The unit takes the MAC as text; only a well-formed MAC may go, or it would take a
        // broken one and be unreachable under any MAC the tool can type.
        context.Value = NormalizeMacText(context.Args.at(1));
        if (context.Value.isEmpty()) {
            context.UsageError = QStringLiteral("set-mac needs a MAC address of six hexadecimal pairs, "
                                                "e.g. 02-3C-A7-00-01-09");
            return false;
        }
    } else if (context.Action == QLatin1String("ack-input")) {
        context.Value = context.Args.at(1);
        if (context.Value.isEmpty()) {
            context.UsageError = QStringLiteral("ack-input needs an input address");
            return false;
        }
    }
    return true;
}

bool ExecuteCommand(CliContext& context) {
    CliSession& session = *context.Session;
    UnitInfoClass* unit = session.OpenUnit(context.Mac);
    if (unit == nullptr)
        return false;
    UnitConfigHandlerClass& handler = session.Handler();
    const CommandAction* action = FindAction(context.Action);
    const QString mac = unit->Mac;

    bool ok = false;
    if (!action->Codes.isEmpty()) {
        ok = session.SendWrites([&handler, action] {
            for (const quint16 code : action->Codes)
                if (!handler.PostCommand(code))
                    return -1;
            return static_cast<int>(action->Codes.size());
        });
    } else if (context.Action == QLatin1String("contact-id-defaults")) {
        return ContactIdDefaults(context);
    } else if (context.Action == QLatin1String("set-mac")) {
        const QString newMac = context.Value;
        ok = session.SendWrites([&handler, newMac] {
            return handler.PostKeyString(UnitConfigHandlerClass::KEY_SET_MAC, newMac) ? 1 : -1;
        });
    } else if (context.Action == QLatin1String("ack-input")) {
        // The button is on the input's own page: the "Inputs" menu, then the input's "Edit".
        ok = session.ReadGroup(UnitConfigHandlerClass::GROUP_INPUTS) && session.ReadInput(context.Value) &&
             session.SendWrites([&handler] {
                 return handler.PostKeyString(UnitConfigHandlerClass::KEY_INPUT_ACK, INPUT_ACK_TEXT) ? 1 : -1;
             });
    }
    if (!ok)
        return false;
    CliOutput output({QStringLiteral("Mac"), QStringLiteral("Command"), QStringLiteral("Result")});
    QString what = context.Action;
    if (!context.Value.isEmpty())
        what += QLatin1Char(' ') + context.Value;
    output.addRow({mac, what, QStringLiteral("Acknowledged")});
    context.Output = output;
    return true;
}
