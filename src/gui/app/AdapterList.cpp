#include "gui/app/AdapterList.h"

#include "core/app/DebugLog.h"

#include <QNetworkInterface>

namespace {

// "02-FC-00-00-00-01" from the first six bytes.
QString MacText(const QByteArray& bytes) {
    QStringList pairs;
    for (qsizetype i = 0; i < bytes.size() && i < 6; ++i)
        pairs.append(
            QStringLiteral("%1").arg(static_cast<quint8>(bytes.at(i)), 2, 16, QLatin1Char('0')).toUpper());
    return pairs.join(QLatin1Char('-'));
}

// "02:fc:00:00:00:01" as the system writes it; an all-zero address (loopback) counts as none.
QByteArray HardwareBytes(const QString& text) {
    QByteArray bytes = QByteArray::fromHex(text.toLatin1().replace(':', ""));
    if (bytes.count('\0') == bytes.size())
        bytes.clear();
    return bytes;
}

} // namespace

QList<SystemAdapter> ReadSystemAdapters() {
    QList<SystemAdapter> adapters;
    const QList<QNetworkInterface> interfaces = QNetworkInterface::allInterfaces();
    for (const QNetworkInterface& iface : interfaces) {
        SystemAdapter adapter;
        adapter.HardwareAddress = HardwareBytes(iface.hardwareAddress());
        for (const QNetworkAddressEntry& entry : iface.addressEntries()) {
            if (entry.ip().protocol() == QAbstractSocket::IPv4Protocol) {
                adapter.IP = entry.ip().toString();
                break;
            }
        }
        adapter.Description = iface.humanReadableName();
        adapter.IfType = static_cast<int>(iface.type());
        const auto flags = iface.flags();
        adapter.Operational =
            flags.testFlag(QNetworkInterface::IsUp) && flags.testFlag(QNetworkInterface::IsRunning) ? 1 : 2;
        adapters.append(adapter);
    }
    return adapters;
}

QList<AdapterObject> ExtractComputerMac(const QList<SystemAdapter>& adapters) {
    WriteLog(QStringLiteral("ExtractComputerMac() List:"));
    QList<AdapterObject> list;
    WriteLog(QStringLiteral("Adapterlist cleared"));
    WriteLog(QStringLiteral("Adapters found"));
    for (const SystemAdapter& adapter : adapters) {
        WriteLog(QStringLiteral("Adapter Count: ") + QString::number(list.size()));
        if (adapter.HardwareAddress.isEmpty())
            continue;
        WriteLog(QStringLiteral("Mac: ") + MacText(adapter.HardwareAddress) + QStringLiteral(". IP: ") +
                 adapter.IP + QStringLiteral(". Description: ") + adapter.Description +
                 QStringLiteral(". IF Type: ") + QString::number(adapter.IfType) +
                 QStringLiteral(". Operational: ") + QString::number(adapter.Operational));
        if (adapter.IP.isEmpty() || adapter.Description.isEmpty())
            continue;
        list.append(AdapterObject{adapter.IP, adapter.Description, static_cast<qint32>(list.size())});
    }
    return list;
}

QString AdapterEntryText(const AdapterObject& adapter) {
    return adapter.IP + QStringLiteral(" - ") + adapter.description;
}
