#include "core/unit/SaveDebugData.h"

#include "core/unit/UnitInfoClass.h"
#include "support/TempHome.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QString S(const char* text) {
    return QString::fromUtf8(text);
}

const char* const MAC = "00-1E-C0-12-34-56";

// The debug file lands in the working folder; each test gets a fresh one.
struct Fixture {
    QTemporaryDir Dir;
    QString SavedCurrent = QDir::currentPath();
    LogCapture Log;
    UnitInfoClass Unit{S(MAC)};
    DebugDownloadClass Download;
    QList<std::pair<quint16, quint16>> Requests;
    QStringList Messages;

    Fixture() {
        QDir::setCurrent(Dir.path());
        QObject::connect(&Download, &DebugDownloadClass::requestShortKey,
                         [this](quint16 key, quint16 position) {
                             Requests.append({key, position});
                         });
        QObject::connect(
            &Download, &DebugDownloadClass::debugDownloadFinished,
            [this](const QString& message, const QString&, qint64) { Messages.append(message); });
    }
    ~Fixture() { QDir::setCurrent(SavedCurrent); }

    void Chunk(int more, int next, const QByteArray& text) {
        QByteArray value;
        value.append(static_cast<char>(more))
            .append(static_cast<char>(next >> 8))
            .append(static_cast<char>(next));
        value.append(text);
        Download.SaveDebugData(Unit, static_cast<int>(value.size()), value);
    }
    QByteArray File() const {
        QFile file(Dir.filePath(S("UnitDebug_00-1E-C0-12-34-56.log")));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }
};

} // namespace

TEST(SaveDebugData, DownloadInChunks) {
    Fixture f;
    f.Unit.SetKeyData(105, QByteArray("Q7-GW 3.1.4"));
    f.Download.StartDebugDownload(f.Unit);
    EXPECT_EQ(f.Requests, (QList<std::pair<quint16, quint16>>{{0x00DF, 0}}));
    const QRegularExpression header(
        S("^\n\n\\*{22}\nDebug downloaded: \\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\n"
          "Device firmware: Q7-GW 3.1.4\n\\*{22}\n$"));
    EXPECT_TRUE(header.match(QString::fromUtf8(f.File())).hasMatch()) << f.File().toStdString();

    f.Chunk(1, 0x0040, "line one\n\rline two\n\r\n");
    EXPECT_EQ(f.Requests.last(), (std::pair<quint16, quint16>{0x00DF, 64}));
    // The chunk ended between LF and CR: the CR at the start of the next one goes too.
    f.Chunk(0, 0, "\rlast\r\n\r");
    ASSERT_EQ(f.Requests.size(), 2);

    const QByteArray body = f.File().mid(f.File().indexOf("*\n", 30) + 2);
    EXPECT_EQ(body, QByteArray("line one\nline two\n\nlast\r\n"));
    EXPECT_EQ(f.Download.DebugBytesSaved(), body.size());
    EXPECT_TRUE(f.Log.contains(S("Debugdata saved. Length: 21")));
    EXPECT_TRUE(f.Log.contains(S("Debugdata saved. Length: 8")));
    EXPECT_TRUE(f.Log.contains(S("DebugData End. Length: 25. Filename: UnitDebug_00-1E-C0-12-34-56.log")));
    EXPECT_EQ(f.Messages,
              QStringList{S("25 bytes of debugdata saved to file: UnitDebug_00-1E-C0-12-34-56.log")});
}

TEST(SaveDebugData, EachDownloadAppendsWithItsOwnHeader) {
    Fixture f;
    f.Download.StartDebugDownload(f.Unit);
    f.Chunk(0, 0, "first");
    f.Download.StartDebugDownload(f.Unit);
    EXPECT_EQ(f.Download.DebugBytesSaved(), 0);
    f.Chunk(0, 0, "second");
    const QByteArray file = f.File();
    EXPECT_EQ(file.count("Debug downloaded: "), 2);
    EXPECT_EQ(file.count("Device firmware: \n"), 2); // no "Product Info" reported: empty
    EXPECT_LT(file.indexOf("first"), file.indexOf("second"));
    EXPECT_EQ(f.Messages.last(), S("6 bytes of debugdata saved to file: UnitDebug_00-1E-C0-12-34-56.log"));
}

TEST(SaveDebugData, ChunkWithoutItsHeaderEndsTheDownload) {
    for (int size : {0, 1, 2}) {
        Fixture f;
        f.Download.StartDebugDownload(f.Unit);
        const QByteArray value = QByteArray::fromHex("010040").left(size);
        // The stated length may say more than arrived; only the received bytes count.
        f.Download.SaveDebugData(f.Unit, 3, value);
        EXPECT_EQ(f.Requests.size(), 1) << size; // only the first request of the start
        EXPECT_EQ(f.Messages.size(), 1) << size;
        EXPECT_TRUE(f.Log.contains(S("Debugdata chunk too short. Length: ") + QString::number(size)));
    }
}

TEST(SaveDebugData, UnwritableFileLosesTheChunkButTheDownloadGoesOn) {
    Fixture f;
    // A folder in the file's place: opening it for appending fails whoever runs the test.
    ASSERT_TRUE(QDir(f.Dir.path()).mkdir(S("UnitDebug_00-1E-C0-12-34-56.log")));
    f.Chunk(1, 0x0100, "lost");
    EXPECT_TRUE(f.Log.contains(S("Unable to write debugdata to file: UnitDebug_00-1E-C0-12-34-56.log")));
    EXPECT_EQ(f.Requests.last(), (std::pair<quint16, quint16>{0x00DF, 256}));
    EXPECT_EQ(f.Download.DebugBytesSaved(), 0);
}
