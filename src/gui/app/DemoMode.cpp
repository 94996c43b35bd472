#include "gui/app/DemoMode.h"

#include "sim/SimSerialDevice.h"
#include "sim/SimSite.h"

#include <QStringList>

const QString DemoMode::ADAPTER_IP = QStringLiteral("127.0.0.1");
const QString DemoMode::BROADCAST_ADDRESS = QStringLiteral("127.255.255.255");
const QString DemoMode::ADAPTER_DESCRIPTION = QStringLiteral("Demo site (loopback)");

namespace {

SimNetworkOptions LoopbackOptions(quint16 tcpPort) {
    SimNetworkOptions options;
    options.FirstUnitAddress = QHostAddress(QStringLiteral("127.0.0.2"));
    options.ListenAddress = QHostAddress::AnyIPv4;
    options.UnitUdpPort = 0;     // a free port, handed to the tool below
    options.WorkstationPort = 0; // answer the port the request came from
    options.BroadcastAddress = QHostAddress(DemoMode::BROADCAST_ADDRESS);
    options.TcpPort = tcpPort;
    return options;
}

} // namespace

bool DemoMode::StartSite(SimSite& site, QString* error) {
    if (site.Start(LoopbackOptions(CommunicationClass::DEFAULT_TCP_PORT), nullptr))
        return true;
    // Another program holds 9095 on one of the addresses: every unit gets a free port instead.
    return site.Start(LoopbackOptions(0), error);
}

TFormScan::Options DemoMode::ToolOptions(const SimSite& site, TFormScan::Options options) {
    options.Udp.LocalPort = 0;
    options.Udp.RemotePort = site.UnitUdpPort();
    options.Udp.BroadcastAddress = BROADCAST_ADDRESS;
    options.LocalIP = ADAPTER_IP;
    options.ExtraAdapters.append(AdapterObject{ADAPTER_IP, ADAPTER_DESCRIPTION, -1});
    for (int i = 0; i < site.UnitCount(); ++i) {
        const quint16 port = site.UnitTcpPort(i);
        if (port != options.TcpPort)
            options.TcpPortByHost.insert(site.UnitAddress(i).toString(), port);
    }
    options.ExtraSerialPorts.append(site.SerialDevicePaths());
    if (options.Notice.isEmpty())
        options.Notice = Notice(site);
    return options;
}

QString DemoMode::Notice(const SimSite& site) {
    QString text = QStringLiteral("Demo site: %1 simulated units").arg(site.UnitCount());
    if (site.UnitCount() > 0) {
        text += QStringLiteral(" (%1 to %2)")
                    .arg(site.UnitAddress(0).toString(), site.UnitAddress(site.UnitCount() - 1).toString());
    }
    text += QStringLiteral(" and %1 serial device%2.")
                .arg(site.SerialDeviceCount())
                .arg(site.SerialDeviceCount() == 1 ? QString() : QStringLiteral("s"));
    QStringList passwords;
    for (int i = 0; i < site.UnitCount(); ++i) {
        const QString password = site.Unit(i).Password();
        if (!password.isEmpty())
            passwords.append(
                QStringLiteral("%1 uses the unit password %2").arg(site.UnitAddress(i).toString(), password));
    }
    if (!passwords.isEmpty())
        text += QLatin1Char(' ') + passwords.join(QStringLiteral("; ")) + QLatin1Char('.');
    return text;
}
