#include "core/unit/CsvExport.h"

#include "CsvReadBack.h"
#include "core/unit/UnitInfoClass.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QString S(const char* text) {
    return QString::fromUtf8(text);
}

const QDateTime SAVED(QDate(2024, 3, 9), QTime(7, 5, 2));

CsvListHeader Header() {
    CsvListHeader header;
    header.Mac = S("00-1E-C0-12-34-56");
    header.ProductInfo = S("RDM22 v3.1.4");
    header.UptimeSeconds = 90061;
    header.Saved = SAVED;
    return header;
}

TEST(CsvExport, FieldsWithSeparatorQuoteOrLineBreakAreQuotedOthersStayAsTheyAre) {
    const struct {
        const char* In;
        const char* Out;
    } cases[] = {
        {"", ""},
        {" ", " "},
        {"Kitchen 1", "Kitchen 1"},
        {"  padded, with comma  ", "  padded, with comma  "},
        {"a;b", "\"a;b\""},
        {";", "\";\""},
        {"say \"hi\"", "\"say \"\"hi\"\"\""},
        {"\"", "\"\"\"\""},
        {"two\nlines", "\"two\nlines\""},
        {"cr\rhere", "\"cr\rhere\""},
        {"all;\"\r\n", "\"all;\"\"\r\n\""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CsvField(S(c.In)), S(c.Out)) << c.In;
}

TEST(CsvExport, HostileCellsReadBackAsTheSameColumns) {
    const QStringList captions = {S("Timestamp"), S("Event"), S("Info")};
    const QList<QStringList> rows = {
        {S("2017-06-05 14:03:07"), S("Input alarm"), S("Owner; \"Bob\"\nsecond line")},
        {S("2017-06-05 14:03:08"), S("Unknown: 3"), S(";;;")},
        {S("2017-06-05 14:03:09"), S("System start"), QString()},
        {S("2017-06-05 14:03:10"), S("SMS sent"), S("\"")},
    };
    const QString text = CsvCaptionLine(captions) + S("\n") + CsvRowLine(rows[0]) + S("\n") +
                         CsvRowLine(rows[1]) + S("\n") + CsvRowLine(rows[2]) + S("\n") + CsvRowLine(rows[3]) +
                         S("\n");
    const QList<QStringList> records = ReadCsvRecords(text);
    ASSERT_EQ(records.size(), 5);
    // The caption line ends with ";", so a reader sees one empty column after the last caption.
    EXPECT_EQ(records[0], captions + QStringList{QString()});
    for (int i = 0; i < rows.size(); ++i)
        EXPECT_EQ(records[i + 1], rows[i]) << i;
}

TEST(CsvExport, CaptionLineEndsWithSeparatorRowLineDoesNot) {
    EXPECT_EQ(CsvCaptionLine({S("Pos"), S("IP"), S("Mac"), S("Timeout")}), S("Pos;IP;Mac;Timeout;"));
    EXPECT_EQ(CsvRowLine({S("001"), S("10.0.0.1"), S("00:1A:2B:3C:4D:5E"), S("120")}),
              S("001;10.0.0.1;00:1A:2B:3C:4D:5E;120"));
    EXPECT_EQ(CsvRowLine({S("only")}), S("only"));
    EXPECT_EQ(CsvRowLine({}), QString());
}

TEST(CsvExport, UptimeSplitsIntoDaysHoursMinutesSeconds) {
    const struct {
        quint32 Seconds;
        const char* Text;
    } cases[] = {
        {0, "0 Days. 0 Hours. 0 Mins. 0 Secs."},     {59, "0 Days. 0 Hours. 0 Mins. 59 Secs."},
        {3600, "0 Days. 1 Hours. 0 Mins. 0 Secs."},  {86399, "0 Days. 23 Hours. 59 Mins. 59 Secs."},
        {90061, "1 Days. 1 Hours. 1 Mins. 1 Secs."}, {0xFFFFFFFFu, "49710 Days. 6 Hours. 28 Mins. 15 Secs."},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CsvUptimeText(c.Seconds), S(c.Text)) << c.Seconds;
}

TEST(CsvExport, HeaderBlockNamesUnitFirmwareUptimeAndTime) {
    EXPECT_EQ(CsvHeaderBlock(Header()), S("**********************\n"
                                          "List file for MAC: 00-1E-C0-12-34-56\n"
                                          "Device firmware: RDM22 v3.1.4\n"
                                          "Time since start: 1 Days. 1 Hours. 1 Mins. 1 Secs.\n"
                                          "File saved: 2024-03-09 07:05:02\n"
                                          "**********************\n\n"));
    CsvListHeader missing;
    missing.Mac = S("00-1E-C0-12-34-56");
    missing.Saved = SAVED;
    EXPECT_EQ(CsvHeaderBlock(missing), S("**********************\n"
                                         "List file for MAC: 00-1E-C0-12-34-56\n"
                                         "Device firmware: \n"
                                         "Time since start: \n"
                                         "File saved: 2024-03-09 07:05:02\n"
                                         "**********************\n\n"));
}

TEST(CsvExport, HeaderValuesComeFromTheUnitRecord) {
    UnitInfoClass unit(S("00-1E-C0-12-34-56"));
    CsvListHeader none = CsvHeaderForUnit(unit.Mac, &unit, SAVED);
    EXPECT_EQ(none.Mac, unit.Mac);
    EXPECT_TRUE(none.ProductInfo.isEmpty());
    EXPECT_FALSE(none.UptimeSeconds.has_value());

    unit.SetKeyData(105, QByteArray("RDM22 \xE9", 7));
    unit.SetKeyValue(117, -1); // 0xFFFFFFFF as the unit sent it
    const CsvListHeader header = CsvHeaderForUnit(unit.Mac, &unit, SAVED);
    EXPECT_EQ(header.ProductInfo, QString::fromLatin1("RDM22 \xE9"));
    ASSERT_TRUE(header.UptimeSeconds.has_value());
    EXPECT_EQ(*header.UptimeSeconds, 0xFFFFFFFFu);
    EXPECT_EQ(header.Saved, SAVED);

    const CsvListHeader gone = CsvHeaderForUnit(S("AA-BB-CC-DD-EE-FF"), nullptr, SAVED);
    EXPECT_EQ(gone.Mac, S("AA-BB-CC-DD-EE-FF"));
    EXPECT_FALSE(gone.UptimeSeconds.has_value());
}

TEST(CsvExport, DefaultFileNames) {
    const QString mac = S("00-1E-C0-12-34-56");
    EXPECT_EQ(CsvEventLogFileName(mac), S("00-1E-C0-12-34-56_Log.csv"));
    EXPECT_EQ(CsvListFileName(mac), S("00-1E-C0-12-34-56_List.csv"));
    EXPECT_EQ(CsvDeviceListFileName(mac, SAVED), S("00-1E-C0-12-34-56_IEEE_Units_20240309_070502.csv"));
}

struct FileFixture {
    QTemporaryDir Dir;
    QString Path = Dir.filePath(QStringLiteral("list.csv"));
    const QStringList Captions = {S("Pos"), S("IP")};

    QByteArray Read() const {
        QFile file(Path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }
    void Put(const QByteArray& bytes) const {
        QFile file(Path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
    }
};

TEST(CsvExport, NewFileHoldsHeaderBlockTwoLineEndsCaptionsAndRows) {
    FileFixture f;
    CsvListHeader header = Header();
    header.ProductInfo = S("Caf\u00e9"); // written as UTF-8
    ASSERT_EQ(
        WriteCsvList(f.Path, header, f.Captions, {{S("001"), S("a;b")}, {S("002"), S("x")}}, false, true),
        CsvWriteResult::Ok);
    EXPECT_EQ(f.Read(), QByteArray("**********************\n"
                                   "List file for MAC: 00-1E-C0-12-34-56\n"
                                   "Device firmware: Caf\xC3\xA9\n"
                                   "Time since start: 1 Days. 1 Hours. 1 Mins. 1 Secs.\n"
                                   "File saved: 2024-03-09 07:05:02\n"
                                   "**********************\n\n"
                                   "\n\n"
                                   "Pos;IP;\n"
                                   "001;\"a;b\"\n"
                                   "002;x\n"));
}

TEST(CsvExport, ReplacingDropsTheOldFileAppendingKeepsIt) {
    FileFixture f;
    f.Put("old contents\n");
    ASSERT_EQ(WriteCsvList(f.Path, Header(), f.Captions, {{S("001"), S("x")}}, true, true),
              CsvWriteResult::Ok);
    EXPECT_TRUE(f.Read().startsWith("**********************\nList file for MAC: "));
    EXPECT_FALSE(f.Read().contains("old contents"));

    // Appending to a file that holds something adds captions and rows, no second header block.
    const QByteArray before = f.Read();
    ASSERT_EQ(WriteCsvList(f.Path, Header(), f.Captions, {{S("002"), S("y")}}, true, false),
              CsvWriteResult::Ok);
    EXPECT_EQ(f.Read(), before + "Pos;IP;\n002;y\n");

    // Writing without append or replace truncates.
    ASSERT_EQ(WriteCsvList(f.Path, Header(), f.Captions, {}, false, false), CsvWriteResult::Ok);
    EXPECT_TRUE(f.Read().endsWith("**********************\n\n\n\nPos;IP;\n"));
}

TEST(CsvExport, FileThatCannotBeReplacedOrWrittenIsReported) {
    FileFixture f;
    // A folder of that name with something in it cannot be deleted as a file.
    ASSERT_TRUE(QDir(f.Dir.path()).mkpath(QStringLiteral("list.csv/inside")));
    EXPECT_EQ(WriteCsvList(f.Path, Header(), f.Captions, {}, false, true), CsvWriteResult::CannotReplace);
    EXPECT_TRUE(QFileInfo(f.Path).isDir());

    EXPECT_EQ(WriteCsvList(f.Dir.filePath(QStringLiteral("no/such/folder.csv")), Header(), f.Captions, {},
                           false, true),
              CsvWriteResult::CannotWrite);
}

} // namespace
