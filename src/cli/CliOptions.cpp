#include "cli/CliOptions.h"

#include <QCommandLineParser>
#include <QHostAddress>
#include <cmath>

namespace {

constexpr double MAX_TIMEOUT_SECONDS = 3600.0;

bool ParsePort(const QString& text, quint16 minimum, quint16& port) {
    bool ok = false;
    const uint value = text.toUInt(&ok, 10);
    if (!ok || value < minimum || value > 65535)
        return false;
    port = static_cast<quint16>(value);
    return true;
}

bool IsIPv4(const QString& text) {
    QHostAddress address;
    return address.setAddress(text) && address.protocol() == QAbstractSocket::IPv4Protocol;
}

// "host", "host:port", "[v6]:port" or "[v6]".
bool ParseHostPort(const QString& text, QString& host, quint16& port) {
    QString portText;
    if (text.startsWith(QLatin1Char('['))) {
        const qsizetype close = text.indexOf(QLatin1Char(']'));
        if (close < 0)
            return false;
        host = text.mid(1, close - 1);
        const QString rest = text.mid(close + 1);
        if (!rest.isEmpty()) {
            if (!rest.startsWith(QLatin1Char(':')))
                return false;
            portText = rest.mid(1);
        }
    } else if (text.count(QLatin1Char(':')) == 1) {
        const qsizetype colon = text.indexOf(QLatin1Char(':'));
        host = text.left(colon);
        portText = text.mid(colon + 1);
    } else {
        host = text; // a bare IPv6 address or a host name
    }
    if (host.isEmpty())
        return false;
    return portText.isNull() || ParsePort(portText, 1, port);
}

CliParseResult Failed(const QString& message) {
    CliParseResult result;
    result.Result = CliParseResult::Error;
    result.Message = message;
    return result;
}

} // namespace

QString NormalizeMacText(const QString& text) {
    if (text.size() != 17)
        return QString();
    QString mac;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (i % 3 == 2) {
            if (c != QLatin1Char('-') && c != QLatin1Char(':'))
                return QString();
            mac += QLatin1Char('-');
        } else {
            const QChar upper = c.toUpper();
            const bool hex = (c >= QLatin1Char('0') && c <= QLatin1Char('9')) ||
                             (upper >= QLatin1Char('A') && upper <= QLatin1Char('F'));
            if (!hex)
                return QString();
            mac += upper;
        }
    }
    return mac;
}

QString CliUsageText() {
    return QStringLiteral(
        "Usage: unitscope-cli [options] COMMAND [MAC] [ARGUMENTS]\n"
        "\n"
        "Talks to alarm transmission units over UDP broadcast (the default) or over TCP (--tcp).\n"
        "MAC is the unit's MAC address, e.g. 02-3C-A7-00-01-01; with --tcp it may be left out.\n"
        "\n"
        "Commands:\n"
        "  scan                          list the units that answer a discovery\n"
        "  read MAC MENU                 keys of a menu: IP, GPRS, \"Alarm Server\", Nebryn, System,\n"
        "                                Inputs, \"SMS Backup\", SMS, Logs, Custom, or a group id (0xF000)\n"
        "  read MAC input ADDRESS        keys of one input\n"
        "  set MAC KEY=VALUE ...         change keys (KEY: key id or English label; input keys as\n"
        "                                INPUT/ADDRESS/KEY=VALUE; \\n separates lines), then read back\n"
        "  command MAC ACTION            reboot, network-reset, factory-reset, find-repeater,\n"
        "                                toggle-output-1, toggle-output-2, contact-id-defaults,\n"
        "                                set-mac NEWMAC, ack-input ADDRESS\n"
        "  eventlog MAC                  the unit's event log\n"
        "  debuglog MAC                  download the unit's debug log into UnitDebug_MAC.log\n"
        "  sockets MAC ip|gprs           IP or GPRS sockets\n"
        "  arp MAC                       ARP table\n"
        "  devices MAC                   wireless devices\n"
        "  zones MAC                     zones\n"
        "  neighbors MAC [NWK|gateway|all]  neighbor tables (default all)\n"
        "  routes MAC [NWK|gateway|all]     route tables (default all)\n"
        "\n"
        "Options:\n"
        "  --tcp HOST[:PORT]       one unit over TCP (port 9095 by default)\n"
        "  --adapter IP            local adapter for UDP (default: the current local IP)\n"
        "  --udp-local-port N      local UDP port (default 67; below 1024 needs privilege)\n"
        "  --udp-remote-port N     the units' UDP port (default 68)\n"
        "  --broadcast ADDR        broadcast address (default 255.255.255.255)\n"
        "  --serial-port PATH      a serial device (scan only), repeatable\n"
        "  --password TEXT         unit password\n"
        "  --timeout SECONDS       how long to wait for an answer (default 3)\n"
        "  --work-dir DIR          folder for downloads (default ~/Documents/Unitscope)\n"
        "  --json                  print one JSON document instead of a table\n"
        "  --debug-log             write the debug log for the whole run (and echo it to stderr)\n"
        "  -h, --help              this text\n"
        "\n"
        "Exit status: 0 success, 1 the unit did not answer in time (or could not be reached),\n"
        "2 bad usage or a refused value.\n");
}

CliParseResult ParseCliArguments(const QStringList& arguments) {
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, QString());
    const QCommandLineOption tcp(QStringLiteral("tcp"), QString(), QStringLiteral("HOST[:PORT]"));
    const QCommandLineOption adapter(QStringLiteral("adapter"), QString(), QStringLiteral("IP"));
    const QCommandLineOption localPort(QStringLiteral("udp-local-port"), QString(), QStringLiteral("N"));
    const QCommandLineOption remotePort(QStringLiteral("udp-remote-port"), QString(), QStringLiteral("N"));
    const QCommandLineOption broadcast(QStringLiteral("broadcast"), QString(), QStringLiteral("ADDR"));
    const QCommandLineOption serial(QStringLiteral("serial-port"), QString(), QStringLiteral("PATH"));
    const QCommandLineOption password(QStringLiteral("password"), QString(), QStringLiteral("TEXT"));
    const QCommandLineOption timeout(QStringLiteral("timeout"), QString(), QStringLiteral("SECONDS"));
    const QCommandLineOption workDir(QStringLiteral("work-dir"), QString(), QStringLiteral("DIR"));
    const QCommandLineOption json(QStringLiteral("json"), QString());
    const QCommandLineOption debugLog(QStringLiteral("debug-log"), QString());
    parser.addOptions({help, tcp, adapter, localPort, remotePort, broadcast, serial, password, timeout,
                       workDir, json, debugLog});
    if (!parser.parse(arguments))
        return Failed(parser.errorText());
    if (parser.isSet(help)) {
        CliParseResult result;
        result.Result = CliParseResult::Help;
        return result;
    }

    CliOptions options;
    if (parser.isSet(tcp)) {
        options.UseTcp = true;
        if (!ParseHostPort(parser.value(tcp), options.TcpHost, options.TcpPort))
            return Failed(QStringLiteral("--tcp needs HOST or HOST:PORT with a port from 1 to 65535"));
    }
    if (parser.isSet(adapter)) {
        options.Adapter = parser.value(adapter);
        if (!IsIPv4(options.Adapter))
            return Failed(QStringLiteral("--adapter needs the IPv4 address of a local adapter"));
    }
    if (parser.isSet(localPort) && !ParsePort(parser.value(localPort), 0, options.Udp.LocalPort))
        return Failed(QStringLiteral("--udp-local-port needs a port number from 0 to 65535"));
    if (parser.isSet(remotePort) && !ParsePort(parser.value(remotePort), 1, options.Udp.RemotePort))
        return Failed(QStringLiteral("--udp-remote-port needs a port number from 1 to 65535"));
    if (parser.isSet(broadcast)) {
        options.Udp.BroadcastAddress = parser.value(broadcast);
        if (!IsIPv4(options.Udp.BroadcastAddress))
            return Failed(QStringLiteral("--broadcast needs an IPv4 address"));
    }
    options.SerialPorts = parser.values(serial);
    options.Password = parser.value(password);
    if (parser.isSet(timeout)) {
        bool ok = false;
        const double seconds = parser.value(timeout).toDouble(&ok);
        if (!ok || !std::isfinite(seconds) || seconds <= 0 || seconds > MAX_TIMEOUT_SECONDS)
            return Failed(QStringLiteral("--timeout needs a number of seconds above 0 and up to 3600"));
        options.TimeoutMs = std::max(1, static_cast<int>(std::lround(seconds * 1000)));
    }
    options.WorkDir = parser.value(workDir);
    options.Json = parser.isSet(json);
    options.DebugLog = parser.isSet(debugLog);
    if (options.UseTcp && !options.SerialPorts.isEmpty())
        return Failed(QStringLiteral("--tcp and --serial-port cannot be used together"));

    const QStringList positional = parser.positionalArguments();
    if (positional.isEmpty())
        return Failed(QStringLiteral("no command given"));
    options.Command = positional.first();
    options.Arguments = positional.mid(1);

    CliParseResult result;
    result.Result = CliParseResult::Run;
    result.Options = options;
    return result;
}
