#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

class UnitInfoClass;

// Download of a unit's own debug log into "UnitDebug_" + MAC + ".log" in the working folder. The
// unit sends the log in chunks; each chunk says whether another one follows and where it starts.
// The file is only ever appended to, so earlier downloads stay above the new header.
class DebugDownloadClass : public QObject {
    Q_OBJECT
public:
    static constexpr quint16 KEY_DEBUG_LOG = 0x00DF;
    static constexpr int KEY_PRODUCT_INFO = 105;
    // Chunk layout: more flag, next position (2 bytes), then the text.
    static constexpr int CHUNK_HEADER_SIZE = 3;

    explicit DebugDownloadClass(QObject* parent = nullptr) : QObject(parent) {}

    // "UnitDebug_" + MAC + ".log", relative to the working folder.
    static QString DebugFileName(const QString& mac);

    // Resets the byte count, appends the download header (time and the unit's "Product Info") to the
    // unit's debug file and asks for the first chunk.
    void StartDebugDownload(const UnitInfoClass& unit);

    // One chunk (a key 0xDF entry of the unit's reply): appends its text to the file, dropping a CR
    // that directly follows an LF, then asks for the next chunk or reports the end.
    void SaveDebugData(const UnitInfoClass& unit, int length, const QByteArray& value);

    // Characters written to the file since the download started.
    qint64 DebugBytesSaved() const { return BytesSaved; }

Q_SIGNALS:
    void requestShortKey(quint16 key, quint16 position);
    // The last chunk arrived; message is what the user is shown.
    void debugDownloadFinished(const QString& message, const QString& fileName, qint64 bytesSaved);

private:
    bool Append(const QString& fileName, const QString& text);
    void Finish(const QString& fileName);

    qint64 BytesSaved = 0;
    // The unit ends lines with LF CR; a chunk may end between the two.
    bool LastWrittenWasLf = false;
};
