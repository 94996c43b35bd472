// The status views and the radio lists: each asks for its list the way its window does and
// follows the pages to the end.
#include "cli/CliCommands.h"
#include "cli/CliRows.h"
#include "cli/CliSession.h"
#include "core/app/MainClass.h"
#include "core/protocol/UnitConfigHandlerClass.h"
#include "core/radio/RadioPayloadsClass.h"
#include "core/unit/SaveDebugData.h"
#include "core/unit/StatusDecoders.h"
#include "core/unit/UnitInfoClass.h"

#include <QDir>

namespace {

using H = UnitConfigHandlerClass;

// Commands of the device list's "Radio Network" menu.
constexpr quint16 KEY_GET_NEIGHBORS = 0x1048;
constexpr quint16 KEY_GET_ROUTES = 0x104B;
const QString GATEWAY_ADDRESS = QStringLiteral("0000000000000000");
const QString ALL_NODES_ADDRESS = QStringLiteral("FFFFFFFFFFFFFFFF");
constexpr quint16 KEY_IP_SOCKETS = 224;
constexpr quint16 KEY_GPRS_SOCKETS = 252;

CliOutput Table(const QStringList& columns, const QList<QStringList>& rows) {
    CliOutput output(columns);
    for (const QStringList& row : rows)
        output.addRow(row);
    return output;
}

bool ReadDevices(CliSession& session) {
    H& handler = session.Handler();
    return session.ReadList(H::KEY_IEEE_UNITS,
                            [&handler] { return handler.RequestShortKey(H::KEY_IEEE_UNITS, 0); });
}

// The neighbor and route commands of the device list: the command to the radio, then the
// handler's poller collects the tables. The gateway and "all" are in the menu; a repeater is the
// selected row, so the device list is loaded first as it is in the window.
struct RadioTable {
    quint16 CommandKey;
    quint16 ReplyKey;
    void (RadioPayloadsClass::*Start)(const QString& node);
    const RadioPayloadsClass::PollState& (RadioPayloadsClass::*Poll)() const;
    void (RadioPayloadsClass::*Changed)(const QString& mac);
};

bool ReadRadioTable(CliContext& context, const RadioTable& table, UnitInfoClass*& unitOut) {
    CliSession& session = *context.Session;
    UnitInfoClass* unit = session.OpenUnit(context.Mac);
    if (unit == nullptr || !ReadDevices(session))
        return false;
    unitOut = unit;

    QString address = ALL_NODES_ADDRESS;
    QString node = QStringLiteral("ALL");
    if (context.Action == QLatin1String("GATEWAY")) {
        address = GATEWAY_ADDRESS;
        node = context.Action;
    } else if (context.Action != QLatin1String("ALL")) {
        const IEEEObjectClass* device = unit->FindUnitIEEE(context.Action);
        if (device == nullptr) {
            session.Fail(
                CLI_EXIT_USAGE,
                QStringLiteral("The unit %1 has no device with NWK %2.").arg(unit->Mac, context.Action));
            return false;
        }
        address = device->Address;
        node = context.Action;
    }

    H& handler = session.Handler();
    RadioPayloadsClass& radio = handler.Radio();
    bool tableSeen = false;
    const QMetaObject::Connection seen =
        QObject::connect(&radio, table.Changed, [&tableSeen, unit](const QString& mac) {
            if (mac == unit->Mac)
                tableSeen = true;
        });
    const quint16 commandKey = table.CommandKey;
    bool ok = session.SendWrites(
        [&handler, commandKey, address] { return handler.PostKeyString(commandKey, address) ? 1 : -1; });
    if (ok) {
        (radio.*table.Start)(node);
        session.SetNoAnswerText(
            QStringLiteral("The unit %1 stopped answering the table polls.").arg(unit->Mac));
        // The poller stops after five polls in a row brought nothing. A unit hands over what its
        // radio gathered and then answers empty, so an empty answer after a table ends it sooner.
        const quint16 replyKey = table.ReplyKey;
        ok = session.WaitUntil([&] {
            return (radio.*table.Poll)().Countdown <= 0 ||
                   (tableSeen && session.LastEntryLength(replyKey) == 0);
        });
    }
    QObject::disconnect(seen);
    return ok;
}

} // namespace

bool PrepareNoArguments(CliContext& context) {
    if (!context.Args.isEmpty()) {
        context.UsageError = context.Options->Command + QStringLiteral(" takes no arguments after the MAC");
        return false;
    }
    return true;
}

// ---- status views ------------------------------------------------------------------------------

bool ExecuteEventLog(CliContext& context) {
    CliSession& session = *context.Session;
    UnitInfoClass* unit = session.OpenUnit(context.Mac);
    if (unit == nullptr)
        return false;
    H& handler = session.Handler();
    unit->EventLog.clear();
    if (!session.ReadList(H::KEY_EVENT_LOG,
                          [&handler] { return handler.RequestShortKey(H::KEY_EVENT_LOG, 0); }))
        return false;
    QList<QStringList> rows;
    for (const QString& entry : unit->EventLog)
        rows.append(EventLogRowTexts(entry));
    context.Output = Table(EventLogColumns(), rows);
    return true;
}

bool ExecuteDebugLog(CliContext& context) {
    CliSession& session = *context.Session;
    UnitInfoClass* unit = session.OpenUnit(context.Mac);
    if (unit == nullptr)
        return false;
    DebugDownloadClass& download = session.Handler().DebugDownload();
    QString fileName;
    qint64 bytes = -1;
    const QMetaObject::Connection finished =
        QObject::connect(&download, &DebugDownloadClass::debugDownloadFinished,
                         [&fileName, &bytes](const QString&, const QString& file, qint64 saved) {
                             fileName = file;
                             bytes = saved;
                         });
    const bool ok = session.ReadList(H::KEY_DEBUG_LOG, [&download, unit] {
        download.StartDebugDownload(*unit);
        return true;
    });
    QObject::disconnect(finished);
    if (!ok)
        return false;
    if (fileName.isEmpty()) {
        // The last chunk was too short to say whether more would follow.
        fileName = DebugDownloadClass::DebugFileName(unit->Mac);
        bytes = download.DebugBytesSaved();
    }
    const QString path = QDir(session.Main().WorkFolder()).absoluteFilePath(fileName);
    context.Output =
        Table({QStringLiteral("File"), QStringLiteral("Bytes")}, {{path, QString::number(bytes)}});
    return true;
}

bool PrepareSockets(CliContext& context) {
    if (context.Args.size() != 1 ||
        (context.Args.first() != QLatin1String("ip") && context.Args.first() != QLatin1String("gprs"))) {
        context.UsageError = QStringLiteral("sockets needs ip or gprs");
        return false;
    }
    context.Action = context.Args.first();
    return true;
}

bool ExecuteSockets(CliContext& context) {
    CliSession& session = *context.Session;
    UnitInfoClass* unit = session.OpenUnit(context.Mac);
    // The socket views show the value that came with the "Logs" menu.
    if (unit == nullptr || !session.ReadGroup(H::GROUP_LOGS))
        return false;
    const bool ip = context.Action == QLatin1String("ip");
    const KeyObjectClass* key = unit->FindKey(ip ? KEY_IP_SOCKETS : KEY_GPRS_SOCKETS);
    const QByteArray value = key != nullptr ? key->Data : QByteArray();
    const QList<SocketRecord> records = ip ? DecodeIpSockets(value) : DecodeGprsSockets(value);
    QList<QStringList> rows;
    for (qsizetype i = 0; i < records.size(); ++i)
        rows.append(SocketRowTexts(records[i], static_cast<int>(i + 1)));
    context.Output = Table(SocketColumns(), rows);
    return true;
}

bool ExecuteArp(CliContext& context) {
    CliSession& session = *context.Session;
    UnitInfoClass* unit = session.OpenUnit(context.Mac);
    if (unit == nullptr)
        return false;
    H& handler = session.Handler();
    QList<QStringList> rows;
    const QString mac = unit->Mac;
    const QMetaObject::Connection added =
        QObject::connect(&handler.Radio(), &RadioPayloadsClass::arpRowAdded,
                         [&rows, mac](const QString& from, const ArpRow& row) {
                             if (from == mac)
                                 rows.append(ArpRowTexts(row));
                         });
    const bool ok = session.ReadList(H::KEY_ARP_TABLE,
                                     [&handler] { return handler.RequestShortKey(H::KEY_ARP_TABLE, 0); });
    QObject::disconnect(added);
    if (!ok)
        return false;
    context.Output = Table(ArpColumns(), rows);
    return true;
}

// ---- radio lists -------------------------------------------------------------------------------

bool ExecuteDevices(CliContext& context) {
    CliSession& session = *context.Session;
    UnitInfoClass* unit = session.OpenUnit(context.Mac);
    if (unit == nullptr || !ReadDevices(session))
        return false;
    context.Output = Table(DeviceColumns(), DeviceRows(*unit));
    return true;
}

bool ExecuteZones(CliContext& context) {
    CliSession& session = *context.Session;
    UnitInfoClass* unit = session.OpenUnit(context.Mac);
    if (unit == nullptr)
        return false;
    H& handler = session.Handler();
    if (!session.ReadList(H::KEY_ZONES, [&handler] { return handler.RequestShortKey(H::KEY_ZONES, 0); }))
        return false;
    context.Output = Table(ZoneColumns(), ZoneRows(*unit));
    return true;
}

bool PrepareRadioNode(CliContext& context) {
    const QString usage =
        context.Options->Command + QStringLiteral(" takes all, gateway or a device's NWK (four "
                                                  "hexadecimal digits)");
    if (context.Args.size() > 1) {
        context.UsageError = usage;
        return false;
    }
    const QString node = context.Args.isEmpty() ? QStringLiteral("ALL") : context.Args.first().toUpper();
    NodeSelection selection;
    if (node != QLatin1String("GATEWAY") && !ParseNodeSelection(node, selection)) {
        context.UsageError = usage;
        return false;
    }
    context.Action = node;
    return true;
}

bool ExecuteNeighbors(CliContext& context) {
    const RadioTable table{KEY_GET_NEIGHBORS, H::KEY_NEIGHBORS, &RadioPayloadsClass::StartRequestingNeighbors,
                           &RadioPayloadsClass::NeighborsPoll, &RadioPayloadsClass::neighborsChanged};
    UnitInfoClass* unit = nullptr;
    if (!ReadRadioTable(context, table, unit))
        return false;
    context.Output = Table(NeighborColumns(), NeighborRows(*unit));
    return true;
}

bool ExecuteRoutes(CliContext& context) {
    const RadioTable table{KEY_GET_ROUTES, H::KEY_ROUTES, &RadioPayloadsClass::StartRequestingRoutes,
                           &RadioPayloadsClass::RoutesPoll, &RadioPayloadsClass::routesChanged};
    UnitInfoClass* unit = nullptr;
    if (!ReadRadioTable(context, table, unit))
        return false;
    context.Output = Table(RouteColumns(), RouteRows(*unit));
    return true;
}
