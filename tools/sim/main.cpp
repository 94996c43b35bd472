#include "core/app/DebugLog.h"
// unitscope-sim: runs a site of simulated units and serial devices for the tool to talk to.

#include "core/app/UnixSignalWatcher.h"
#include "sim/SimSerialDevice.h"
#include "sim/SimSite.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTextStream>

namespace {

QTextStream& Out() {
    static QTextStream stream(stdout);
    return stream;
}

QTextStream& Err() {
    static QTextStream stream(stderr);
    return stream;
}

bool ParsePort(const QCommandLineParser& parser, const QString& name, quint16& port) {
    if (!parser.isSet(name))
        return true;
    bool ok = false;
    const uint value = parser.value(name).toUInt(&ok);
    if (!ok || value > 65535) {
        Err() << "unitscope-sim: --" << name << " needs a port number from 0 to 65535" << Qt::endl;
        return false;
    }
    port = static_cast<quint16>(value);
    return true;
}

bool ParseAddress(const QCommandLineParser& parser, const QString& name, QHostAddress& address) {
    if (!parser.isSet(name))
        return true;
    const QHostAddress parsed(parser.value(name));
    if (parsed.protocol() != QAbstractSocket::IPv4Protocol) {
        Err() << "unitscope-sim: --" << name << " needs an IPv4 address" << Qt::endl;
        return false;
    }
    address = parsed;
    return true;
}

void PrintSite(const SimSite& site) {
    for (int i = 0; i < site.UnitCount(); ++i) {
        const SimUnit& unit = site.Unit(i);
        const QString password = unit.Password().isEmpty() ? QStringLiteral("none") : unit.Password();
        Out() << "unit " << i + 1 << ": " << unit.MacText() << "  product " << unit.ProductCode() << " ("
              << unit.ProductText() << ")  IP " << site.UnitAddress(i).toString() << "  UDP "
              << site.UnitUdpPort() << "  TCP " << site.UnitTcpPort(i) << "  password " << password << '\n';
    }
    for (int i = 0; i < site.SerialDeviceCount(); ++i) {
        const SimSerialDevice* device = site.SerialDevice(i);
        Out() << "serial device " << i + 1 << ": " << device->MacText() << "  hardware "
              << device->HardwareType() << "  port " << device->PortPath() << '\n';
    }
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("unitscope-sim"));
    // The core's envelope code writes the tool's debug log; a simulator must not leave one behind.
    DebugLog::instance().setCountdown(0);

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral(
            "Simulated network units and serial devices for Unitscope.\n"
            "Without --site it runs the demo site: a product-1 unit, a product-3 unit with a wireless\n"
            "network, a product-4 unit with the password 1234, and a serial device of hardware 5.\n"
            "Unit k (from 0) listens on 127.0.0.(k+2) unless --bind or --first-ip says otherwise.\n"
            "Ports below 1024 need privilege (setcap cap_net_bind_service=+ep, or run in a network\n"
            "namespace); use --unit-port, --workstation-port and --tcp-port for unprivileged runs.\n\n"
            "--misbehave takes a comma-separated list of key=value (applies to every unit):\n") +
        SimMisbehaviourSettings::OptionHelp());
    parser.addHelpOption();
    const QList<QCommandLineOption> options = {
        {QStringLiteral("site"), QStringLiteral("Run the site described by this JSON file."),
         QStringLiteral("file")},
        {QStringLiteral("save-site"),
         QStringLiteral("Write the site (the demo site without --site) as JSON and exit."),
         QStringLiteral("file")},
        {QStringLiteral("record"),
         QStringLiteral("Append every request and reply to this file, one JSON object a line."),
         QStringLiteral("file")},
        {QStringLiteral("bind"),
         QStringLiteral(
             "Put every unit on this one address (e.g. a network namespace's address); unit k then "
             "listens for TCP on the TCP port + k."),
         QStringLiteral("ip")},
        {QStringLiteral("first-ip"),
         QStringLiteral("Address of the first unit; the next units count up from it "
                        "(default 127.0.0.2)."),
         QStringLiteral("ip")},
        {QStringLiteral("listen"),
         QStringLiteral("Address on which the units hear broadcasts (default 0.0.0.0)."),
         QStringLiteral("ip")},
        {QStringLiteral("unit-port"), QStringLiteral("UDP port of the units (default 68; 0: a free port)."),
         QStringLiteral("port")},
        {QStringLiteral("workstation-port"),
         QStringLiteral("UDP port replies are sent to (default 67; 0: the port the request came from)."),
         QStringLiteral("port")},
        {QStringLiteral("broadcast-replies"),
         QStringLiteral("Answer UDP requests by broadcast instead of unicast.")},
        {QStringLiteral("broadcast-address"),
         QStringLiteral("Where broadcast replies go (default 255.255.255.255; 127.255.255.255 on loopback)."),
         QStringLiteral("ip")},
        {QStringLiteral("tcp-port"), QStringLiteral("TCP port of each unit (default 9095; 0: a free port)."),
         QStringLiteral("port")},
        {QStringLiteral("no-udp"), QStringLiteral("Do not open the UDP sockets.")},
        {QStringLiteral("no-tcp"), QStringLiteral("Do not open the TCP servers.")},
        {QStringLiteral("no-serial"), QStringLiteral("Do not open the serial devices' pseudo-terminals.")},
        {QStringLiteral("max-reply-bytes"),
         QStringLiteral("Largest reply packet; longer answers are split (default 1400)."),
         QStringLiteral("bytes")},
        {QStringLiteral("misbehave"), QStringLiteral("Misbehave on purpose (see above)."),
         QStringLiteral("list")},
        {QStringLiteral("verbose"), QStringLiteral("Print every request and reply in hexadecimal.")},
    };
    parser.addOptions(options);
    parser.process(app);

    SimSite site;
    QString error;
    if (parser.isSet(QStringLiteral("site"))) {
        if (!site.LoadFile(parser.value(QStringLiteral("site")), &error)) {
            Err() << "unitscope-sim: " << error << Qt::endl;
            return 2;
        }
    } else {
        site.LoadDemo();
    }
    if (parser.isSet(QStringLiteral("max-reply-bytes"))) {
        bool ok = false;
        const int bytes = parser.value(QStringLiteral("max-reply-bytes")).toInt(&ok);
        if (!ok || bytes < SimUnit::MIN_MAX_REPLY_BYTES || bytes > 65535) {
            Err() << "unitscope-sim: --max-reply-bytes needs a number from " << SimUnit::MIN_MAX_REPLY_BYTES
                  << " to 65535" << Qt::endl;
            return 2;
        }
        site.SetMaxReplyBytesForAll(bytes);
    }
    if (parser.isSet(QStringLiteral("misbehave"))) {
        SimMisbehaviourSettings settings;
        if (!settings.ApplyOptionText(parser.value(QStringLiteral("misbehave")), &error)) {
            Err() << "unitscope-sim: " << error << Qt::endl;
            return 2;
        }
        site.SetMisbehaviourForAll(settings);
    }
    if (parser.isSet(QStringLiteral("save-site"))) {
        if (!site.SaveFile(parser.value(QStringLiteral("save-site")), &error)) {
            Err() << "unitscope-sim: " << error << Qt::endl;
            return 1;
        }
        return 0;
    }

    SimNetworkOptions network;
    if (!ParseAddress(parser, QStringLiteral("first-ip"), network.FirstUnitAddress) ||
        !ParseAddress(parser, QStringLiteral("listen"), network.ListenAddress) ||
        !ParseAddress(parser, QStringLiteral("broadcast-address"), network.BroadcastAddress) ||
        !ParsePort(parser, QStringLiteral("unit-port"), network.UnitUdpPort) ||
        !ParsePort(parser, QStringLiteral("workstation-port"), network.WorkstationPort) ||
        !ParsePort(parser, QStringLiteral("tcp-port"), network.TcpPort))
        return 2;
    if (parser.isSet(QStringLiteral("bind"))) {
        if (!ParseAddress(parser, QStringLiteral("bind"), network.FirstUnitAddress))
            return 2;
        network.SingleAddress = true;
    }
    network.ReplyByBroadcast = parser.isSet(QStringLiteral("broadcast-replies"));
    network.EnableUdp = !parser.isSet(QStringLiteral("no-udp"));
    network.EnableTcp = !parser.isSet(QStringLiteral("no-tcp"));

    // A long run must not grow in memory: records go to the file only.
    site.Recorder().setKeepInMemory(false);
    if (parser.isSet(QStringLiteral("record")) &&
        !site.Recorder().openFile(parser.value(QStringLiteral("record")), &error)) {
        Err() << "unitscope-sim: " << error << Qt::endl;
        return 1;
    }
    if (parser.isSet(QStringLiteral("verbose"))) {
        site.Recorder().OnRecord = [](const SimRecord& record) {
            Out() << (record.Dir == SimRecord::Received ? "RX " : "TX ") << record.Carrier << ' '
                  << record.Peer << ' ' << record.Remote << ": " << record.Bytes.toHex(' ').toUpper()
                  << Qt::endl;
        };
    }
    if (parser.isSet(QStringLiteral("no-serial")))
        site.RemoveSerialDevices();

    const bool started =
        (network.EnableUdp || network.EnableTcp) ? site.Start(network, &error) : site.StartSerialOnly(&error);
    if (!started) {
        Err() << "unitscope-sim: " << error << Qt::endl;
        return 1;
    }
    PrintSite(site);
    Out() << "Ready. Ctrl+C stops." << Qt::endl;

    UnixSignalWatcher watcher;
    QObject::connect(&watcher, &UnixSignalWatcher::terminationRequested, &app,
                     [](int) { QCoreApplication::quit(); });
    const int result = QCoreApplication::exec();
    site.Stop();
    Out() << "Stopped." << Qt::endl;
    return result;
}
