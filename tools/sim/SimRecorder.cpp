#include "sim/SimRecorder.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

SimRecorder::SimRecorder() = default;
SimRecorder::~SimRecorder() = default;

bool SimRecorder::openFile(const QString& path, QString* error) {
    auto file = std::make_unique<QFile>(path);
    if (!file->open(QIODevice::WriteOnly | QIODevice::Append)) {
        if (error != nullptr)
            *error = QStringLiteral("Cannot open the record file %1: %2").arg(path, file->errorString());
        return false;
    }
    File = std::move(file);
    return true;
}

void SimRecorder::record(SimRecord::Direction direction, const QString& peer, const QString& carrier,
                         const QString& remote, const QByteArray& bytes) {
    SimRecord entry{direction, peer, carrier, remote, bytes, QDateTime::currentMSecsSinceEpoch()};
    if (File) {
        const QJsonObject line{
            {QStringLiteral("t"), static_cast<double>(entry.TimeMs)},
            {QStringLiteral("dir"),
             direction == SimRecord::Received ? QStringLiteral("rx") : QStringLiteral("tx")},
            {QStringLiteral("peer"), peer},
            {QStringLiteral("carrier"), carrier},
            {QStringLiteral("remote"), remote},
            {QStringLiteral("hex"), QString::fromLatin1(bytes.toHex(' ').toUpper())},
        };
        File->write(QJsonDocument(line).toJson(QJsonDocument::Compact) + '\n');
        File->flush();
    }
    if (KeepInMemory)
        Records.append(entry);
    if (OnRecord)
        OnRecord(entry);
}

QList<SimRecord> SimRecorder::filtered(SimRecord::Direction direction, const QString& peer) const {
    QList<SimRecord> result;
    for (const SimRecord& entry : Records) {
        if (entry.Dir == direction && (peer.isEmpty() || entry.Peer == peer))
            result.append(entry);
    }
    return result;
}

QList<SimRecord> SimRecorder::received(const QString& peer) const {
    return filtered(SimRecord::Received, peer);
}

QList<SimRecord> SimRecorder::sent(const QString& peer) const {
    return filtered(SimRecord::Sent, peer);
}
