#include "gui/status/TFormInfoList.h"

#include "StatusTestSession.h"
#include "core/protocol/ConfigEnvelopeClass.h"
#include "core/radio/RadioPayloadsClass.h"
#include "core/unit/CsvReadBack.h"
#include "core/unit/SaveDebugData.h"
#include "core/unit/StatusDecoders.h"

#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QRegularExpression>
#include <QTreeWidget>
#include <algorithm>
#include <gtest/gtest.h>

namespace {

QString S(const char* text) {
    return QString::fromUtf8(text);
}

QString Pos3(int n) {
    return QStringLiteral("%1").arg(n, 3, 10, QLatin1Char('0'));
}

QString Dotted(quint32 ip) {
    return QStringLiteral("%1.%2.%3.%4")
        .arg(ip >> 24)
        .arg((ip >> 16) & 0xFF)
        .arg((ip >> 8) & 0xFF)
        .arg(ip & 0xFF);
}

QString Data(quint32 bytes, quint32 packets) {
    return QString::number(bytes / 1000) + S(" kb (") + QString::number(packets) + S(" packets)");
}

QString Port(quint16 port, quint8 protocol) {
    return QString::number(port) + (protocol == 0 ? S(":TCP") : S(":UDP"));
}

QStringList Captions(const TFormInfoList& form) {
    QStringList captions;
    for (int c = 0; c < form.List()->columnCount(); ++c)
        captions.append(form.List()->headerItem()->text(c));
    return captions;
}

QString ReadText(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : S("<missing>");
}

// The window with its dialogs answered by the test.
struct Form {
    explicit Form(StatusTestSession& session) : Window(*session.Main) {
        Window.ChooseSaveFile = [this](QWidget*, const QString& proposed, const QString& filter) {
            Proposed = proposed;
            Filter = filter;
            return Answer.isEmpty() ? proposed : Answer;
        };
        Window.ShowMessage = [this](QWidget*, const QString& text) { Messages.append(text); };
    }
    TFormInfoList Window;
    QString Proposed;
    QString Filter;
    QString Answer; // empty: take the proposed path
    QStringList Messages;
};

// Events with cells that would shift the columns of a naive CSV file.
const QByteArray HOSTILE_INFO[] = {
    QByteArray("Owner; \"Bob\""),
    QByteArray("two\nlines"),
    QByteArray(";;;"),
};

// The rows the logbook shows for the simulator's events, in their order.
QList<QStringList> ExpectedRows(const QList<SimEvent>& events) {
    QList<QStringList> rows;
    for (const SimEvent& event : events)
        rows.append({event.Time.toString(S("yyyy-MM-dd hh:mm:ss")), EventCodeText(event.Code),
                     QString::fromLatin1(event.Info)});
    return rows;
}

TEST(TFormInfoList, EventLogViewShowsTheDecodedRowsOfTheUnitsLog) {
    StatusTestSession session;
    SimUnitLogs& logs = session.DemoSite().Unit(0).Logs;
    // The rows are kept sorted by their time stamp; the demo log is in time order already.
    ASSERT_TRUE(std::is_sorted(logs.Events.begin(), logs.Events.end(),
                               [](const SimEvent& a, const SimEvent& b) { return a.Time < b.Time; }));
    QString error;
    ASSERT_TRUE(session.Open(0, &error)) << error.toStdString();

    LogCapture log;
    Form form(session);
    form.Window.ShowEventLog();
    EXPECT_TRUE(log.contains(S("OnDownloadLogClick()")));
    EXPECT_TRUE(form.Window.isVisible());
    EXPECT_EQ(form.Window.windowTitle(), S("Info"));
    EXPECT_EQ(form.Window.Mode(), TFormInfoList::LIST_EVENT_LOG);
    EXPECT_EQ(form.Window.TitleLabel()->text(), S("Logbook"));
    EXPECT_EQ(Captions(form.Window), (QStringList{S("Timestamp"), S("Event"), S("Info")}));
    EXPECT_EQ(form.Window.CountLabel()->text(), S("Count: 0"));
    EXPECT_FALSE(form.Window.RefreshButton()->isVisible());
    EXPECT_FALSE(form.Window.VisualizeButton()->isVisible());
    EXPECT_FALSE(form.Window.RadioTreeButton()->isVisible());

    const qsizetype demoCount = logs.Events.size();
    const QString count = S("Count: ") + QString::number(demoCount);
    ASSERT_TRUE(WaitUntil([&] { return form.Window.CountLabel()->text() == count; }))
        << form.Window.CountLabel()->text().toStdString();
    EXPECT_EQ(form.Window.RowTexts(), ExpectedRows(logs.Events));
    // The log came in more than one page, and the unit record holds every entry.
    EXPECT_GE(log.lines().filter(S("bytes of log")).size(), 2);
    EXPECT_EQ(session.Unit->EventLog.size(), demoCount);

    if (const QByteArray folder = qgetenv("UNITSCOPE_SCREENSHOT_DIR"); !folder.isEmpty()) {
        form.Window.resize(900, 520);
        form.Window.List()->scrollToBottom();
        form.Window.grab().save(QString::fromLocal8Bit(folder) + S("/event-log.png"));
    }

    // The unit logs events with texts that would shift the columns of a naive CSV file. Asking
    // again shows the whole new log, once.
    QDateTime last = logs.Events.last().Time;
    for (const QByteArray& info : HOSTILE_INFO) {
        last = last.addSecs(7);
        logs.AddEvent(2007, last, info);
    }
    form.Window.ShowEventLog();
    const QString newCount = S("Count: ") + QString::number(logs.Events.size());
    ASSERT_TRUE(WaitUntil([&] { return form.Window.CountLabel()->text() == newCount; }))
        << form.Window.CountLabel()->text().toStdString();
    const QList<QStringList> rows = form.Window.RowTexts();
    EXPECT_EQ(rows, ExpectedRows(logs.Events));
    EXPECT_EQ(rows.last(),
              (QStringList{last.toString(S("yyyy-MM-dd hh:mm:ss")), S("Radio alarm"), S(";;;")}));
    EXPECT_EQ(log.lines().filter(S("Logitem. Event: ")).size(), demoCount + logs.Events.size());

    // "Save to file" proposes MAC_Log.csv in the work folder and replaces what is there.
    const QString mac = session.Unit->Mac;
    const QString path = session.WorkFolder() + S("/") + mac + S("_Log.csv");
    {
        QFile old(path);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("rows of an older export\n");
    }
    ASSERT_EQ(form.Window.PopupMenu()->actions().size(), 1);
    EXPECT_EQ(form.Window.PopupMenu()->actions().at(0)->text(), S("Save to file"));
    form.Window.PopupMenu()->actions().at(0)->trigger();
    EXPECT_EQ(form.Proposed, path);
    EXPECT_EQ(form.Filter, S("Logfiles (*.csv)"));
    EXPECT_TRUE(form.Messages.isEmpty()) << form.Messages.join(S("|")).toStdString();

    const QString text = ReadText(path);
    EXPECT_FALSE(text.contains(S("older export")));
    const QStringList head = text.split(QLatin1Char('\n')).mid(0, 10);
    const quint32 uptime = static_cast<quint32>(session.Unit->FindKey(117)->Value);
    EXPECT_EQ(head.mid(0, 4), (QStringList{S("**********************"), S("List file for MAC: ") + mac,
                                           S("Device firmware: ") + session.Site.Unit(0).ProductText(),
                                           S("Time since start: %1 Days. %2 Hours. %3 Mins. %4 Secs.")
                                               .arg(uptime / 86400)
                                               .arg(uptime % 86400 / 3600)
                                               .arg(uptime % 3600 / 60)
                                               .arg(uptime % 60)}));
    EXPECT_TRUE(QRegularExpression(S("^File saved: \\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d$"))
                    .match(head.at(4))
                    .hasMatch())
        << head.at(4).toStdString();
    EXPECT_EQ(head.mid(5, 5), (QStringList{S("**********************"), QString(), QString(), QString(),
                                           S("Timestamp;Event;Info;")}));
    // Read back as a spreadsheet would, every row has its three cells, hostile ones included.
    const QString body = text.section(S("Timestamp;Event;Info;\n"), 1);
    const QList<QStringList> records = ReadCsvRecords(body);
    EXPECT_EQ(records, rows);
    EXPECT_TRUE(body.contains(S(";\"Owner; \"\"Bob\"\"\"\n")));
}

TEST(TFormInfoList, SocketViewsListTheSocketsOfTheLogsMenuWithTheirCount) {
    StatusTestSession session;
    SimUnitLogs& logs = session.DemoSite().Unit(0).Logs;
    logs.IpSockets = {
        {502, 0x11, 0xC0A80114, 7, 1999, 3, 1000},
        {0, 0, 0, 0, 0, 0, 0}, // a free record is still listed
        {9095, 0, 0x0A000001, 123456, 4000000000u, 1, 999},
    };
    logs.GprsSockets = {
        {4000, 0, S("alarm.example.net"), 5, 12000, 6, 13000},
        {4001, 1, S("10.1.2.3"), 0, 0, 1, 1},
    };
    QString error;
    ASSERT_TRUE(session.Open(0, &error)) << error.toStdString();
    ASSERT_TRUE(session.Handler().RequestKeyGroup(UnitConfigHandlerClass::GROUP_LOGS));
    ASSERT_TRUE(WaitUntil([&] {
        return session.Unit->FindKey(TFormInfoList::KEY_IP_SOCKETS) != nullptr &&
               session.Unit->FindKey(TFormInfoList::KEY_GPRS_SOCKETS) != nullptr;
    }));

    LogCapture log;
    Form form(session);
    form.Window.ShowIpSockets();
    EXPECT_TRUE(log.contains(S("OnSocketsClick()")));
    EXPECT_EQ(form.Window.Mode(), TFormInfoList::LIST_IP_SOCKETS);
    EXPECT_EQ(form.Window.TitleLabel()->text(), S("Sockets"));
    EXPECT_EQ(Captions(form.Window),
              (QStringList{S("Pos"), S("IP"), S("Port"), S("Data Received"), S("Data Sent")}));
    EXPECT_EQ(form.Window.CountLabel()->text(), S("Count: 3"));
    EXPECT_EQ(
        form.Window.RowTexts(),
        (QList<QStringList>{
            {S("001"), S("192.168.1.20"), S("502:UDP"), S("1 kb (7 packets)"), S("1 kb (3 packets)")},
            {S("002"), S("0.0.0.0"), S("0:TCP"), S("0 kb (0 packets)"), S("0 kb (0 packets)")},
            {S("003"), S("10.0.0.1"), S("9095:TCP"), S("4000000 kb (123456 packets)"), S("0 kb (1 packets)")},
        }));

    form.Window.ShowGprsSockets();
    EXPECT_TRUE(log.contains(S("OnGPRSSocketsClick()")));
    EXPECT_EQ(form.Window.Mode(), TFormInfoList::LIST_GPRS_SOCKETS);
    EXPECT_EQ(form.Window.TitleLabel()->text(), S("Sockets"));
    EXPECT_EQ(form.Window.CountLabel()->text(), S("Count: 2"));
    QList<QStringList> expected;
    for (int i = 0; i < logs.GprsSockets.size(); ++i) {
        const SimGprsSocket& s = logs.GprsSockets.at(i);
        expected.append({Pos3(i + 1), s.Host, Port(s.LocalPort, s.Protocol),
                         Data(s.BytesReceived, s.PacketsReceived), Data(s.BytesSent, s.PacketsSent)});
    }
    EXPECT_EQ(form.Window.RowTexts(), expected);
    if (const QByteArray folder = qgetenv("UNITSCOPE_SCREENSHOT_DIR"); !folder.isEmpty())
        form.Window.grab().save(QString::fromLocal8Bit(folder) + S("/gprs-sockets.png"));

    // Lists other than the log are saved as MAC_List.csv with their own filter.
    form.Window.SaveToFile();
    EXPECT_EQ(form.Proposed, session.WorkFolder() + S("/") + session.Unit->Mac + S("_List.csv"));
    EXPECT_EQ(form.Filter, S("Listfiles (*.csv)"));
    const QString text = ReadText(form.Proposed);
    EXPECT_TRUE(text.endsWith(S("\nPos;IP;Port;Data Received;Data Sent;\n"
                                "001;alarm.example.net;4000:TCP;12 kb (5 packets);13 kb (6 packets)\n"
                                "002;10.1.2.3;4001:UDP;0 kb (0 packets);0 kb (1 packets)\n")))
        << text.toStdString();
}

TEST(TFormInfoList, ArpTableFillsPageByPageAndSortsByTheClickedColumn) {
    StatusTestSession session;
    const QList<SimArpEntry> arp = session.DemoSite().Unit(0).Logs.Arp;
    ASSERT_GE(arp.size(), 20);
    QString error;
    ASSERT_TRUE(session.Open(0, &error)) << error.toStdString();

    LogCapture log;
    Form form(session);
    form.Window.ShowArpTable();
    EXPECT_TRUE(log.contains(S("OnARPTableClick()")));
    EXPECT_EQ(form.Window.TitleLabel()->text(), S("ARP Table"));
    EXPECT_EQ(Captions(form.Window), (QStringList{S("Pos"), S("IP"), S("Mac"), S("Timeout")}));
    const QString count = S("Count: ") + QString::number(arp.size());
    ASSERT_TRUE(WaitUntil([&] { return form.Window.CountLabel()->text() == count; }))
        << form.Window.CountLabel()->text().toStdString();
    // The paging ran to the empty page after the last record.
    ASSERT_TRUE(WaitUntil([&] { return log.lines().filter(S("ParseArpTable. KeyLen: 0.")).size() == 1; }));
    const QList<QStringList> rows = form.Window.RowTexts();
    if (const QByteArray folder = qgetenv("UNITSCOPE_SCREENSHOT_DIR"); !folder.isEmpty())
        form.Window.grab().save(QString::fromLocal8Bit(folder) + S("/arp-table.png"));
    ASSERT_EQ(rows.size(), arp.size());
    for (int i = 0; i < arp.size(); ++i) {
        const SimArpEntry& entry = arp.at(i);
        QStringList macParts;
        for (const char byte : entry.Mac)
            macParts.append(QStringLiteral("%1").arg(quint8(byte), 2, 16, QLatin1Char('0')).toUpper());
        ASSERT_EQ(rows.at(i), (QStringList{Pos3(i), Dotted(entry.Ip), macParts.join(QLatin1Char(':')),
                                           QString::number(entry.Timeout)}))
            << i;
    }

    // "Timeout" sorts as numbers (2 before 10), "IP" as text (.100 before .11).
    form.Window.SortByColumn(3);
    QList<int> timeouts;
    for (const QStringList& row : form.Window.RowTexts())
        timeouts.append(row.at(3).toInt());
    EXPECT_TRUE(std::is_sorted(timeouts.begin(), timeouts.end()));
    EXPECT_NE(timeouts.first(), timeouts.last());
    form.Window.List()->header()->sectionClicked(1);
    EXPECT_EQ(form.Window.SortColumn(), 1);
    QStringList ips;
    for (const QStringList& row : form.Window.RowTexts())
        ips.append(row.at(1));
    EXPECT_TRUE(std::is_sorted(ips.begin(), ips.end(), [](const QString& a, const QString& b) {
        return a.compare(b, Qt::CaseInsensitive) < 0;
    }));

    // Opening the view again starts empty and sorted by the first column.
    form.Window.ShowArpTable();
    EXPECT_EQ(form.Window.SortColumn(), 0);
    ASSERT_TRUE(WaitUntil([&] { return form.Window.CountLabel()->text() == count; }));
    EXPECT_EQ(form.Window.RowTexts(), rows);
}

TEST(TFormInfoList, ArpAnswersAfterCloseOrForAnotherUnitAddNoRows) {
    StatusTestSession session;
    QString error;
    ASSERT_TRUE(session.Open(0, &error)) << error.toStdString();
    LogCapture log;
    Form form(session);

    // Closed before the answer: the paging still runs to its end, no row appears.
    form.Window.ShowArpTable();
    form.Window.close();
    ASSERT_TRUE(WaitUntil([&] { return log.lines().filter(S("ParseArpTable. KeyLen: 0.")).size() == 1; }));
    EXPECT_EQ(form.Window.List()->topLevelItemCount(), 0);
    EXPECT_EQ(form.Window.CountLabel()->text(), S("Count: 0"));

    // Open for this unit: a record of another unit is not shown.
    form.Window.ShowArpTable();
    ASSERT_TRUE(WaitUntil([&] { return log.lines().filter(S("ParseArpTable. KeyLen: 0.")).size() == 2; }));
    const QList<QStringList> before = form.Window.RowTexts();
    ASSERT_FALSE(before.isEmpty());
    UnitInfoClass* other = session.Handler().FindOrCreateUnit(S("02-00-00-00-00-99"), S("127.0.0.99"));
    ArpRow foreign;
    foreign.Pos = 0;
    foreign.IP = {10, 9, 9, 9};
    session.Handler().Radio().ParseArpTable(*other, 13, QByteArray::fromHex("0000 0A090909 AABBCCDDEEFF 05"));
    EXPECT_EQ(form.Window.RowTexts(), before);
    // Nor is anything while the window shows another view of the same unit.
    form.Window.ShowIpSockets();
    session.Handler().Radio().ParseArpTable(*session.Unit, 13,
                                            QByteArray::fromHex("0000 0A090909 AABBCCDDEEFF 05"));
    EXPECT_EQ(form.Window.Mode(), TFormInfoList::LIST_IP_SOCKETS);
    for (const QStringList& row : form.Window.RowTexts())
        EXPECT_NE(row.at(1), S("10.9.9.9"));
}

TEST(TFormInfoList, ViewsOpenedForACallerThatSendsTheRequestsItself) {
    StatusTestSession session;
    const SimUnitLogs& logs = session.DemoSite().Unit(0).Logs;
    QString error;
    ASSERT_TRUE(session.Open(0, &error)) << error.toStdString();
    UnitConfigHandlerClass& handler = session.Handler();
    LogCapture log;
    Form form(session);

    form.Window.OpenStatusView(TFormInfoList::LIST_EVENT_LOG);
    EXPECT_EQ(form.Window.TitleLabel()->text(), S("Logbook"));
    ASSERT_TRUE(handler.RequestShortKey(UnitConfigHandlerClass::KEY_EVENT_LOG, 0));
    const QString events = S("Count: ") + QString::number(logs.Events.size());
    ASSERT_TRUE(WaitUntil([&] { return form.Window.CountLabel()->text() == events; }));
    EXPECT_EQ(form.Window.RowTexts(), ExpectedRows(logs.Events));

    form.Window.OpenStatusView(TFormInfoList::LIST_ARP_TABLE);
    EXPECT_EQ(form.Window.TitleLabel()->text(), S("ARP Table"));
    EXPECT_EQ(form.Window.List()->topLevelItemCount(), 0);
    ASSERT_TRUE(handler.RequestShortKey(UnitConfigHandlerClass::KEY_ARP_TABLE, 0));
    const QString arp = S("Count: ") + QString::number(logs.Arp.size());
    ASSERT_TRUE(WaitUntil([&] { return form.Window.CountLabel()->text() == arp; }));

    ASSERT_TRUE(handler.RequestKeyGroup(UnitConfigHandlerClass::GROUP_LOGS));
    ASSERT_TRUE(WaitUntil([&] { return session.Unit->FindKey(TFormInfoList::KEY_GPRS_SOCKETS) != nullptr; }));
    form.Window.OpenStatusView(TFormInfoList::LIST_GPRS_SOCKETS);
    EXPECT_EQ(form.Window.Mode(), TFormInfoList::LIST_GPRS_SOCKETS);
    EXPECT_EQ(form.Window.CountLabel()->text(), S("Count: ") + QString::number(logs.GprsSockets.size()));
    EXPECT_EQ(form.Window.RowTexts().first().at(1), logs.GprsSockets.first().Host);

    // The caller logs its own click handler names; the window sent nothing of its own.
    EXPECT_TRUE(log.lines().filter(S("Click()")).isEmpty());
    EXPECT_EQ(log.lines().filter(S("ParseArpTable. KeyLen: 0.")).size(), 1);
}

// Event-log pages fed straight into the handler, as a unit would send them.
struct CraftedLog {
    explicit CraftedLog(StatusTestSession& session) : Session(session) {}
    void Page(const QString& mac, int more, int next, const QByteArray& bytes) {
        QByteArray value;
        value.append(char(more)).append(char(next >> 8)).append(char(next));
        value.append(bytes);
        const QByteArray packet = Envelope.BuildPacket(mac, CONFIG_RESPONSE, QString(),
                                                       ConfigEnvelopeClass::KeyEntry(0x00DD, value), 70000);
        ASSERT_FALSE(packet.isEmpty());
        Session.Handler().ParseConfig(packet, S("127.0.0.9"), CommunicationClass::SOCKET_UDP);
    }
    StatusTestSession& Session;
    ConfigEnvelopeClass Envelope;
};

TEST(TFormInfoList, HostileOrEmptyEventLogsNeverShowRowsOfAnotherUnit) {
    StatusTestSession session;
    QString error;
    ASSERT_TRUE(session.StartServices(&error)) << error.toStdString();
    UnitConfigHandlerClass& handler = session.Handler();
    const QString macA = S("02-00-00-00-00-0A");
    const QString macB = S("02-00-00-00-00-0B");
    UnitInfoClass* a = handler.FindOrCreateUnit(macA, S("127.0.0.9"));
    UnitInfoClass* b = handler.FindOrCreateUnit(macB, S("127.0.0.9"));
    handler.SetCurrentUnit(a, QString());
    CraftedLog crafted(session);
    Form form(session);

    // An empty log.
    form.Window.ShowEventLog();
    crafted.Page(macA, 0, 0, QByteArray());
    EXPECT_EQ(form.Window.CountLabel()->text(), S("Count: 0"));
    EXPECT_EQ(form.Window.List()->topLevelItemCount(), 0);

    // Entries cut short, unknown codes, impossible dates, the longest data: shown as they are.
    const QByteArray longData(255, '\xFF');
    const QByteArray hostile = QByteArray::fromHex("0003 FF 63 00 19 3B 3B 00") + // code 3, year 255
                               QByteArray::fromHex("07EC 11 06 05 0E 03 07 FF") + longData + // 255 data bytes
                               QByteArray::fromHex("0001 11 06 05 0E 03 08 20") +
                               "only a little"; // cut short
    form.Window.ShowEventLog();
    crafted.Page(macA, 0, 0, hostile);
    EXPECT_EQ(form.Window.CountLabel()->text(), S("Count: 3"));
    const QList<QStringList> rows = form.Window.RowTexts();
    ASSERT_EQ(rows.size(), 3);
    EXPECT_EQ(rows.at(0),
              (QStringList{S("2017-06-05 14:03:07"), S("Siren deactivate"), QString::fromLatin1(longData)}));
    EXPECT_EQ(rows.at(1).at(1), S("System start"));
    EXPECT_EQ(rows.at(1).at(2), S("only a little"));
    EXPECT_EQ(rows.at(2).at(0), S("2255-99-00 25:59:59"));
    EXPECT_EQ(rows.at(2).at(1), S("Unknown: 3"));

    // A download broken off after its first page leaves bytes behind; the next download starts
    // clean instead of shifting every entry by them.
    form.Window.ShowEventLog();
    crafted.Page(macA, 1, 9, QByteArray::fromHex("0001 11 06 05 0E")); // no last page follows
    form.Window.ShowEventLog();
    crafted.Page(macA, 0, 0, QByteArray::fromHex("0014 11 06 05 0E 03 07 02") + "In");
    EXPECT_EQ(form.Window.RowTexts(),
              (QList<QStringList>{{S("2017-06-05 14:03:07"), S("Input alarm"), S("In")}}));

    // Another unit became the current one while A's logbook is shown: its log stays out of it.
    handler.SetCurrentUnit(b, QString());
    crafted.Page(macB, 0, 0, QByteArray::fromHex("0015 11 06 05 0E 03 07 00"));
    EXPECT_EQ(b->EventLog.size(), 1);
    EXPECT_EQ(form.Window.ListMac(), macA);
    EXPECT_EQ(form.Window.RowTexts(),
              (QList<QStringList>{{S("2017-06-05 14:03:07"), S("Input alarm"), S("In")}}));

    // Unit records destroyed by a new scan: the rows stay readable and saving still works.
    handler.ClearUnits();
    form.Answer = session.WorkFolder() + S("/after-scan.csv");
    form.Window.SaveToFile();
    const QString text = ReadText(form.Answer);
    EXPECT_TRUE(
        text.contains(S("List file for MAC: ") + macA + S("\nDevice firmware: \nTime since start: \n")));
    EXPECT_TRUE(text.endsWith(S("Timestamp;Event;Info;\n2017-06-05 14:03:07;Input alarm;In\n")));

    // No unit open: nothing is requested and the view is not opened.
    form.Window.close();
    form.Window.ShowArpTable();
    EXPECT_FALSE(form.Window.isVisible());
}

TEST(TFormInfoList, SaveThatCannotReplaceTheFileTellsTheUser) {
    StatusTestSession session;
    QString error;
    ASSERT_TRUE(session.Open(0, &error)) << error.toStdString();
    Form form(session);
    form.Window.ShowIpSockets();
    form.Answer = session.WorkFolder() + S("/busy.csv");
    ASSERT_TRUE(QDir().mkpath(form.Answer + S("/inside")));
    form.Window.SaveToFile();
    EXPECT_EQ(form.Messages, QStringList{S("Unable to save file")});
}

TEST(TFormInfoList, DebugLogDownloadAppendsToTheUnitsFileAndTellsTheUserTheCount) {
    StatusTestSession session;
    QByteArray& debug = session.DemoSite().Unit(0).Logs.DebugLog;
    debug += "tail line\n\rwith LF CR\n\r";
    QString error;
    ASSERT_TRUE(session.Open(0, &error)) << error.toStdString();
    const QString mac = session.Unit->Mac;
    const QString path = session.WorkFolder() + S("/UnitDebug_") + mac + S(".log");

    LogCapture log;
    Form form(session);
    for (int round = 1; round <= 2; ++round) {
        form.Messages.clear();
        form.Window.DownloadDebugLog();
        ASSERT_TRUE(WaitUntil([&] { return !form.Messages.isEmpty(); }));
        const qint64 saved = session.Handler().DebugDownload().DebugBytesSaved();
        EXPECT_EQ(form.Messages,
                  QStringList{QString::number(saved) + S(" bytes of debugdata saved to file: UnitDebug_") +
                              mac + S(".log")});
        const QByteArray expected = QByteArray(debug).replace("\n\r", "\n");
        EXPECT_EQ(saved, expected.size());
        const QString text = ReadText(path);
        // Each download adds its own header; the file is only appended to.
        EXPECT_EQ(text.count(S("\nDebug downloaded: ")), round);
        EXPECT_TRUE(text.contains(S("\nDevice firmware: ") + session.Site.Unit(0).ProductText() +
                                  S("\n**********************\n") + QString::fromLatin1(expected)));
        EXPECT_TRUE(text.endsWith(S("tail line\nwith LF CR\n")));
    }
    EXPECT_EQ(log.count(S("OnDownloadDebugClick()")), 2);
}

} // namespace
