#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <functional>
#include <memory>

class QFile;

// Records every request a simulated peer received and every reply it sent, so a test can assert
// on the exact bytes the tool put on the wire. In process the records stay in memory; the
// executable can also append them to a JSON-lines file.
struct SimRecord {
    enum Direction { Received, Sent };
    Direction Dir = Received;
    QString Peer;    // unit MAC text or serial device path
    QString Carrier; // "udp", "tcp" or "serial"
    QString Remote;  // the workstation's address and port ("127.0.0.1:40000"), or the pty path
    QByteArray Bytes;
    qint64 TimeMs = 0; // milliseconds since the epoch
};

class SimRecorder {
public:
    SimRecorder();
    ~SimRecorder();
    SimRecorder(const SimRecorder&) = delete;
    SimRecorder& operator=(const SimRecorder&) = delete;

    void record(SimRecord::Direction direction, const QString& peer, const QString& carrier,
                const QString& remote, const QByteArray& bytes);

    // Keeps records in memory (on by default); tests read them with records().
    void setKeepInMemory(bool keep) { KeepInMemory = keep; }
    // Appends one JSON object per line: {"t":..., "dir":"rx"|"tx", "peer":..., "carrier":..., "remote":...,
    // "hex":...}
    bool openFile(const QString& path, QString* error = nullptr);

    const QList<SimRecord>& records() const { return Records; }
    QList<SimRecord> received(const QString& peer = QString()) const;
    QList<SimRecord> sent(const QString& peer = QString()) const;
    void clear() { Records.clear(); }

    // Called for every record, after it is stored (tests wait on it).
    std::function<void(const SimRecord&)> OnRecord;

private:
    QList<SimRecord> filtered(SimRecord::Direction direction, const QString& peer) const;
    bool KeepInMemory = true;
    QList<SimRecord> Records;
    std::unique_ptr<QFile> File;
};
