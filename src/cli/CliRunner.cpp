#include "cli/CliRunner.h"

#include "cli/CliCommands.h"
#include "cli/CliSession.h"
#include "core/app/DebugLog.h"

#include <QIODevice>

const QList<CliCommand>& CliCommandTable() {
    static const QList<CliCommand> commands = {
        {"scan", false, PrepareScan, ExecuteScan},
        {"read", true, PrepareRead, ExecuteRead},
        {"set", true, PrepareSet, ExecuteSet},
        {"command", true, PrepareCommand, ExecuteCommand},
        {"eventlog", true, PrepareNoArguments, ExecuteEventLog},
        {"debuglog", true, PrepareNoArguments, ExecuteDebugLog},
        {"sockets", true, PrepareSockets, ExecuteSockets},
        {"arp", true, PrepareNoArguments, ExecuteArp},
        {"devices", true, PrepareNoArguments, ExecuteDevices},
        {"zones", true, PrepareNoArguments, ExecuteZones},
        {"neighbors", true, PrepareRadioNode, ExecuteNeighbors},
        {"routes", true, PrepareRadioNode, ExecuteRoutes},
    };
    return commands;
}

void CliRunner::PrintError(const QString& text) {
    Err.write((QStringLiteral("unitscope-cli: ") + text + QLatin1Char('\n')).toUtf8());
}

void CliRunner::Interrupt() {
    InterruptRequested = true;
    if (Running != nullptr)
        Running->Interrupt();
}

int CliRunner::Run(const QStringList& arguments) {
    const CliParseResult parsed = ParseCliArguments(arguments);
    if (parsed.Result == CliParseResult::Help) {
        Out.write(CliUsageText().toUtf8());
        return CLI_EXIT_OK;
    }
    if (parsed.Result == CliParseResult::Error) {
        PrintError(parsed.Message + QStringLiteral(" (see --help)"));
        return CLI_EXIT_USAGE;
    }
    const CliOptions& options = parsed.Options;

    const CliCommand* command = nullptr;
    for (const CliCommand& candidate : CliCommandTable())
        if (options.Command == QLatin1String(candidate.Name))
            command = &candidate;
    if (command == nullptr) {
        PrintError(QStringLiteral("unknown command \"") + options.Command +
                   QStringLiteral("\" (see --help)"));
        return CLI_EXIT_USAGE;
    }

    CliContext context;
    context.Options = &options;
    context.Args = options.Arguments;
    if (command->TakesMac) {
        const QString mac = context.Args.isEmpty() ? QString() : NormalizeMacText(context.Args.first());
        if (!mac.isEmpty()) {
            context.Mac = mac;
            context.Args.removeFirst();
        } else if (!options.UseTcp) {
            PrintError(options.Command +
                       QStringLiteral(" needs the unit's MAC address, e.g. 02-3C-A7-00-01-01 ") +
                       QStringLiteral("(it may be left out only with --tcp)"));
            return CLI_EXIT_USAGE;
        }
    }
    if (!command->Prepare(context)) {
        PrintError(context.UsageError);
        return CLI_EXIT_USAGE;
    }

    // --debug-log: the log for the whole run, and every line on stderr as it is written.
    if (options.DebugLog) {
        DebugLog::instance().setObserver([this](const QString& line) {
            Err.write((QStringLiteral("log: ") + line + QLatin1Char('\n')).toUtf8());
        });
    }
    int status = CLI_EXIT_OK;
    {
        CliSession session(options);
        context.Session = &session;
        Running = &session;
        if (InterruptRequested)
            session.Interrupt();
        const bool ok = session.Open() && command->Execute(context);
        if (!ok || session.Failed()) {
            status = session.Failed() ? session.ExitCode() : CLI_EXIT_NO_ANSWER;
            PrintError(session.Failed() ? session.ErrorText()
                                        : QStringLiteral("The command did not complete."));
        } else if (context.Output) {
            Out.write(options.Json ? context.Output->toJson() : context.Output->toText());
        }
        Running = nullptr;
    }
    if (options.DebugLog)
        DebugLog::instance().setObserver(nullptr);
    return status;
}
