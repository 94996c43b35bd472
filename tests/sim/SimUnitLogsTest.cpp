#include "sim/SimUnitLogs.h"

#include "core/protocol/ByteReader.h"
#include "core/unit/SaveDebugData.h"
#include "core/unit/StatusDecoders.h"
#include "core/unit/UnitInfoClass.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QByteArray Hex(const char* text) {
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

QByteArray U16(quint16 value) {
    QByteArray bytes(2, '\0');
    bytes[0] = char(value >> 8);
    bytes[1] = char(value);
    return bytes;
}

quint16 ReadU16(const QByteArray& bytes, qsizetype at) {
    return quint16((quint8(bytes[at]) << 8) | quint8(bytes[at + 1]));
}

// The value of a reply that holds exactly one entry of the given key.
QByteArray Value(const std::optional<QByteArray>& reply, quint16 key) {
    EXPECT_TRUE(reply.has_value());
    if (!reply || reply->size() < 4)
        return {};
    EXPECT_EQ(ReadU16(*reply, 0), key);
    EXPECT_EQ(ReadU16(*reply, 2), reply->size() - 4);
    return reply->mid(4);
}

// Follows the more flag and next position of a log download to its end.
QByteArray DownloadStream(const SimUnitLogs& logs, quint16 key, int maxReply, int* pages = nullptr,
                          QList<quint16>* positions = nullptr) {
    QByteArray stream;
    quint16 position = 0;
    int count = 0;
    for (; count < 10000; ++count) {
        const QByteArray page = Value(logs.AnswerRead(key, U16(position), maxReply), key);
        EXPECT_GE(page.size(), 3);
        if (page.size() < 3)
            break;
        EXPECT_LE(page.size() + 4, qMax(maxReply, 4 + 3 + SimUnitLogs::MIN_PAGE_BYTES));
        stream += page.mid(3);
        position = ReadU16(page, 1);
        if (positions != nullptr)
            positions->append(position);
        if (page.at(0) != 1)
            break;
    }
    if (pages != nullptr)
        *pages = count + 1;
    return stream;
}

SimEvent Event(quint16 code, const char* time, const QByteArray& info) {
    return {code, QDateTime::fromString(QString::fromLatin1(time), QStringLiteral("yyyy-MM-dd hh:mm:ss")),
            info};
}

} // namespace

TEST(SimUnitLogs, EventEntryIsCodeTimeLengthAndData) {
    EXPECT_EQ(EncodeEventEntry(Event(2028, "2017-06-05 14:03:07", "Out 1")),
              Hex("07EC 11 06 05 0E 03 07 05") + "Out 1");
    EXPECT_EQ(EncodeEventEntry(Event(1, "2105-12-31 23:59:59", {})), Hex("0001 69 0C 1F 17 3B 3B 00"));
    // The length byte caps the data at 255 bytes.
    EXPECT_EQ(EncodeEventEntry(Event(3, "2020-01-01 00:00:00", QByteArray(300, 'x'))).size(), 9 + 255);
}

TEST(SimUnitLogs, EventLogComesInTwoPagesWithMoreFlagAndNextPosition) {
    SimUnitLogs logs;
    for (int i = 0; i < 8; ++i)
        logs.AddEvent(quint16(2000 + i), QDateTime(QDate(2017, 6, 5), QTime(14, 3, i)), "Zone 1");
    const QByteArray all = logs.EventLogBytes();
    ASSERT_EQ(all.size(), 8 * 15);

    // Room for 64 log bytes per page.
    const int maxReply = 4 + 3 + 64;
    const QByteArray first =
        Value(logs.AnswerRead(SimUnitLogs::KEY_EVENT_LOG_PAGES, U16(0), maxReply), 0x00DD);
    EXPECT_EQ(first.left(3), Hex("01 0040"));
    EXPECT_EQ(first.mid(3), all.left(64));
    const QByteArray second =
        Value(logs.AnswerRead(SimUnitLogs::KEY_EVENT_LOG_PAGES, U16(64), maxReply), 0x00DD);
    EXPECT_EQ(second.left(3), Hex("00") + U16(quint16(all.size())));
    EXPECT_EQ(second.mid(3), all.mid(64));

    // Joined, the pages split back into the eight entries by their length bytes.
    const QByteArray joined = first.mid(3) + second.mid(3);
    int entries = 0;
    for (qsizetype at = 0; at + 9 <= joined.size(); at += 9 + quint8(joined[at + 8]))
        EXPECT_EQ(ReadU16(joined, at), 2000 + entries++);
    EXPECT_EQ(entries, 8);
}

TEST(SimUnitLogs, LogDownloadsPageToTheEndAtAnySize) {
    const SimUnitLogs logs = SimUnitLogs::Demo(7);
    for (const int maxReply : {0, 100, 700, 1400, 70000}) {
        int pages = 0;
        QList<quint16> positions;
        EXPECT_EQ(DownloadStream(logs, SimUnitLogs::KEY_EVENT_LOG_PAGES, maxReply, &pages, &positions),
                  logs.EventLogBytes())
            << maxReply;
        EXPECT_EQ(positions.last(), logs.EventLogBytes().size());
        EXPECT_EQ(DownloadStream(logs, SimUnitLogs::KEY_DEBUG_LOG_CHUNKS, maxReply), logs.DebugLog)
            << maxReply;
    }
    // Asking past the end gives an empty last page, not stale bytes.
    const QByteArray past =
        Value(logs.AnswerRead(SimUnitLogs::KEY_DEBUG_LOG_CHUNKS, Hex("FFFF"), 1400), 0x00DF);
    EXPECT_EQ(past, Hex("00") + U16(quint16(logs.DebugLog.size())));
    // A request value cut short asks for the start.
    EXPECT_EQ(logs.AnswerRead(SimUnitLogs::KEY_EVENT_LOG_PAGES, Hex("00"), 1400),
              logs.AnswerRead(SimUnitLogs::KEY_EVENT_LOG_PAGES, Hex("0000"), 1400));
}

TEST(SimUnitLogs, ArpTablePagesByRecordPositionAndEndsWithAnEmptyPage) {
    EXPECT_EQ(EncodeArpRecord(7, SimArpEntry{0xC0A80114, Hex("3C5A37010203"), 12}),
              Hex("0007 C0A80114 3C5A37010203 0C"));

    const SimUnitLogs logs = SimUnitLogs::Demo(3);
    ASSERT_GE(logs.Arp.size(), 30);
    for (const int maxReply : {0, 60, 1400}) {
        QList<quint16> seen;
        quint16 position = 0;
        for (int page = 0; page < 1000; ++page) {
            const QByteArray value =
                Value(logs.AnswerRead(SimUnitLogs::KEY_ARP_TABLE, U16(position), maxReply), 0x00E2);
            if (value.isEmpty())
                break;
            ASSERT_EQ(value.size() % 13, 0);
            for (qsizetype at = 0; at < value.size(); at += 13)
                seen << ReadU16(value, at);
            position = quint16(seen.last() + 1);
        }
        ASSERT_EQ(seen.size(), logs.Arp.size()) << maxReply;
        for (int i = 0; i < seen.size(); ++i)
            EXPECT_EQ(seen[i], i);
    }
    EXPECT_EQ(logs.KeyValue(SimUnitLogs::KEY_ARP_COUNT), U16(quint16(logs.Arp.size())));
}

TEST(SimUnitLogs, SocketKeysHoldTheirRecords) {
    SimUnitLogs logs;
    logs.IpSockets = {{502, 0x11, 0xC0A80121, 3, 1999, 4, 2500}, {0, 0, 0, 0, 0, 0, 0}};
    EXPECT_EQ(logs.KeyValue(SimUnitLogs::KEY_IP_SOCKETS),
              Hex("01F6 00 11 C0A80121 00000003 000007CF 00000004 000009C4") + QByteArray(24, '\0'));
    logs.GprsSockets = {{9999, 0, QStringLiteral("a;b.example"), 1, 2, 3, 4},
                        {123, 1, QStringLiteral("ntp"), 0, 0, 0, 0}};
    // The host text ends at ";", so one inside a host is left out.
    EXPECT_EQ(logs.KeyValue(SimUnitLogs::KEY_GPRS_SOCKETS),
              Hex("270F 00 00") + "ab.example;" + Hex("00000001 00000002 00000003 00000004") +
                  Hex("007B 00 01") + "ntp;" + QByteArray(16, '\0'));
}

TEST(SimUnitLogs, CountKeysAndOtherKeys) {
    SimUnitLogs logs = SimUnitLogs::Demo(1);
    EXPECT_EQ(logs.KeyValue(SimUnitLogs::KEY_EVENT_LOG), U16(quint16(logs.Events.size())));
    EXPECT_EQ(logs.KeyValue(SimUnitLogs::KEY_DEBUG_LOG), U16(quint16(logs.DebugLog.size())));
    EXPECT_FALSE(logs.KeyValue(221));
    EXPECT_FALSE(logs.AnswerRead(0x1023, {}, 1400));
    EXPECT_FALSE(logs.ApplyWrite(SimUnitLogs::KEY_EVENT_LOG, {}));
}

TEST(SimUnitLogs, DemoLooksLikeAMonthOfARealUnit) {
    const SimUnitLogs logs = SimUnitLogs::Demo(5);
    EXPECT_GE(logs.Events.size(), 200);
    for (qsizetype i = 1; i < logs.Events.size(); ++i)
        EXPECT_LE(logs.Events[i - 1].Time, logs.Events[i].Time) << i;
    EXPECT_EQ(logs.Events.first().Code, 1) << "starts with a system start";
    EXPECT_GT(logs.DebugLog.size(), 4000);
    EXPECT_TRUE(logs.DebugLog.endsWith("\n\r"));
    EXPECT_FALSE(logs.IpSockets.isEmpty());
    EXPECT_FALSE(logs.GprsSockets.isEmpty());
    EXPECT_GE(logs.Arp.size(), 30);

    const auto codes = [](const SimUnitLogs& l) {
        QList<quint16> list;
        for (const SimEvent& e : l.Events)
            list << e.Code;
        return list;
    };
    EXPECT_EQ(codes(SimUnitLogs::Demo(5)), codes(logs)) << "a seed gives the same history";
    EXPECT_NE(codes(SimUnitLogs::Demo(6)), codes(logs)) << "another seed another one";
}

TEST(SimUnitLogs, LogsKeepTheNewestWithinSixteenBitPositions) {
    SimUnitLogs logs;
    const QDateTime time(QDate(2024, 1, 1), QTime(0, 0));
    for (int i = 0; i < 400; ++i)
        logs.AddEvent(quint16(i), time, QByteArray(200, 'e'));
    EXPECT_LE(logs.EventLogBytes().size(), SimUnitLogs::MAX_LOG_BYTES);
    EXPECT_EQ(logs.Events.last().Code, 399);
    for (int i = 0; i < 2000; ++i)
        logs.AddDebugLine(time, QString(40, QLatin1Char('d')));
    EXPECT_LE(logs.DebugLog.size(), SimUnitLogs::MAX_LOG_BYTES);
    EXPECT_TRUE(logs.DebugLog.startsWith("[00:00:00.000] ")) << "whole lines are dropped";
}

TEST(SimUnitLogs, JsonRoundTripAndErrors) {
    const SimUnitLogs logs = SimUnitLogs::Demo(2);
    QString error;
    const std::optional<SimUnitLogs> loaded = SimUnitLogs::FromJson(logs.ToJson(), &error);
    ASSERT_TRUE(loaded) << error.toStdString();
    EXPECT_EQ(loaded->ToJson(), logs.ToJson());
    EXPECT_EQ(loaded->EventLogBytes(), logs.EventLogBytes());
    EXPECT_EQ(loaded->KeyValue(SimUnitLogs::KEY_IP_SOCKETS), logs.KeyValue(SimUnitLogs::KEY_IP_SOCKETS));

    for (const char* bad : {R"({"Events":[{"Code":1,"Time":"yesterday"}]})",
                            R"({"Events":[{"Code":70000,"Time":"2020-01-01 00:00:00"}]})",
                            R"({"IpSockets":[{"RemoteIp":"10.0.0"}]})",
                            R"({"Arp":[{"Ip":"10.0.0.1","Mac":"0011"}]})", R"({"GprsSockets":"x"})"}) {
        EXPECT_FALSE(SimUnitLogs::FromJson(QJsonDocument::fromJson(bad).object(), &error)) << bad;
        EXPECT_FALSE(error.isEmpty());
    }
}

// The tool's status decoders read what the simulator reports.
TEST(SimUnitLogs, CoreDecodersReadTheDemoLogsBack) {
    const SimUnitLogs logs = SimUnitLogs::Demo(9);
    const QByteArray stream = DownloadStream(logs, SimUnitLogs::KEY_EVENT_LOG_PAGES, 500);
    QList<QString> entries;
    for (qsizetype at = 0; at + 9 <= stream.size(); at += 9 + quint8(stream[at + 8]))
        entries << QString::fromLatin1(stream.mid(at, 9 + quint8(stream[at + 8])));
    ASSERT_EQ(entries.size(), logs.Events.size());
    for (qsizetype i = 0; i < entries.size(); ++i) {
        const EventLogEntry entry = DecodeEventLogEntry(entries[i]);
        EXPECT_TRUE(entry.Complete);
        EXPECT_EQ(entry.Code, logs.Events[i].Code);
        EXPECT_EQ(EventTimeStampText(entry),
                  logs.Events[i].Time.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")));
        EXPECT_EQ(entry.Data, QString::fromLatin1(logs.Events[i].Info));
        EXPECT_FALSE(EventCodeText(entry.Code).startsWith(QStringLiteral("Unknown"))) << entry.Code;
    }

    const QList<SocketRecord> ip = DecodeIpSockets(*logs.KeyValue(SimUnitLogs::KEY_IP_SOCKETS));
    ASSERT_EQ(ip.size(), logs.IpSockets.size());
    EXPECT_EQ(ip[0].Host, QStringLiteral("192.168.1.20"));
    EXPECT_EQ(ip[0].BytesSent, logs.IpSockets[0].BytesSent);
    const QList<SocketRecord> gprs = DecodeGprsSockets(*logs.KeyValue(SimUnitLogs::KEY_GPRS_SOCKETS));
    ASSERT_EQ(gprs.size(), logs.GprsSockets.size());
    EXPECT_EQ(gprs[1].Host, logs.GprsSockets[1].Host);
    EXPECT_EQ(gprs[1].PacketsReceived, logs.GprsSockets[1].PacketsReceived);

    const QByteArray arp = Value(logs.AnswerRead(SimUnitLogs::KEY_ARP_TABLE, U16(0), 1400), 0x00E2);
    ByteReader reader(arp);
    const std::optional<ArpRow> first = ReadArpRow(reader);
    ASSERT_TRUE(first);
    EXPECT_EQ(ArpRowTexts(*first), (QStringList{QStringLiteral("000"), QStringLiteral("192.168.1.1"),
                                                QString::fromLatin1(logs.Arp[0].Mac.toHex(':').toUpper()),
                                                QString::number(logs.Arp[0].Timeout)}));
}

TEST(SimUnitLogs, CoreDebugDownloadSavesTheDebugLogWithPlainLineEnds) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString previous = QDir::currentPath();
    QDir::setCurrent(folder.path());

    const SimUnitLogs logs = SimUnitLogs::Demo(4);
    UnitInfoClass unit(QStringLiteral("00-1A-2B-3C-4D-5E"));
    DebugDownloadClass download;
    QList<quint16> asked;
    QObject::connect(&download, &DebugDownloadClass::requestShortKey,
                     [&asked](quint16, quint16 position) { asked << position; });
    qint64 saved = -1;
    QObject::connect(&download, &DebugDownloadClass::debugDownloadFinished,
                     [&saved](const QString&, const QString&, qint64 bytes) { saved = bytes; });
    download.StartDebugDownload(unit);
    for (int chunk = 0; chunk < 1000 && saved < 0 && !asked.isEmpty(); ++chunk) {
        // A small reply size makes chunk boundaries fall between the LF and CR of a line end.
        const QByteArray value = Value(
            logs.AnswerRead(SimUnitLogs::KEY_DEBUG_LOG_CHUNKS, U16(asked.takeLast()), 4 + 3 + 41), 0x00DF);
        download.SaveDebugData(unit, int(value.size()), value);
    }
    QFile file(DebugDownloadClass::DebugFileName(unit.Mac));
    const bool opened = file.open(QIODevice::ReadOnly);
    const QByteArray text = file.readAll();
    QDir::setCurrent(previous);
    ASSERT_TRUE(opened);
    QByteArray expected = logs.DebugLog;
    expected.replace("\n\r", "\n");
    EXPECT_TRUE(text.endsWith(expected));
    EXPECT_EQ(saved, expected.size());
}
