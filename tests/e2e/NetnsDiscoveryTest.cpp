// Discovery on real ports and real broadcasts, where they cannot disturb anything: two network
// namespaces joined by a veth pair, the simulated units in one answering by broadcast from UDP
// port 68 to port 67, unitscope-cli in the other with its default ports. Needs root (creating
// namespaces); skips otherwise. Addresses exist only inside the namespaces.
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

const QString WORKSTATION_IP = QStringLiteral("10.231.77.1");
const QString UNIT_IP = QStringLiteral("10.231.77.2");

struct ProcessRun {
    int ExitCode = -1;
    QByteArray Out;
    QByteArray Err;
};

ProcessRun RunProgram(const QString& program, const QStringList& arguments,
                      const QProcessEnvironment& env = {}, int timeoutMs = 30000) {
    QProcess process;
    if (!env.isEmpty())
        process.setProcessEnvironment(env);
    process.start(program, arguments);
    ProcessRun run;
    if (!process.waitForStarted(10000))
        return run;
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished();
        return run;
    }
    run.ExitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.Out = process.readAllStandardOutput();
    run.Err = process.readAllStandardError();
    return run;
}

ProcessRun Ip(const QStringList& arguments) {
    return RunProgram(QStringLiteral("ip"), arguments, {}, 10000);
}

// Two namespaces and the veth pair between them; everything is removed again when it goes,
// whatever happened in between (deleting a namespace deletes its end of the pair too).
class NamespacePair {
public:
    NamespacePair() {
        const QString id = QString::number(::getpid());
        Workstation = QStringLiteral("us-ws-") + id;
        Units = QStringLiteral("us-unit-") + id;
        WorkstationLink = QStringLiteral("usw") + id;
        UnitLink = QStringLiteral("usu") + id;
    }
    ~NamespacePair() {
        for (const QString& name : Created)
            Ip({QStringLiteral("netns"), QStringLiteral("del"), name});
    }
    NamespacePair(const NamespacePair&) = delete;
    NamespacePair& operator=(const NamespacePair&) = delete;

    // False with the failing step's message in *error.
    bool Create(QString* error) {
        for (const QString& name : {Workstation, Units}) {
            if (!Step({QStringLiteral("netns"), QStringLiteral("add"), name}, error))
                return false;
            Created.append(name);
        }
        const QStringList steps[] = {
            {QStringLiteral("link"), QStringLiteral("add"), WorkstationLink, QStringLiteral("netns"),
             Workstation, QStringLiteral("type"), QStringLiteral("veth"), QStringLiteral("peer"),
             QStringLiteral("name"), UnitLink, QStringLiteral("netns"), Units},
            {QStringLiteral("-n"), Workstation, QStringLiteral("addr"), QStringLiteral("add"),
             WORKSTATION_IP + QStringLiteral("/24"), QStringLiteral("brd"), QStringLiteral("+"),
             QStringLiteral("dev"), WorkstationLink},
            {QStringLiteral("-n"), Units, QStringLiteral("addr"), QStringLiteral("add"),
             UNIT_IP + QStringLiteral("/24"), QStringLiteral("brd"), QStringLiteral("+"),
             QStringLiteral("dev"), UnitLink},
            {QStringLiteral("-n"), Workstation, QStringLiteral("link"), QStringLiteral("set"),
             WorkstationLink, QStringLiteral("up")},
            {QStringLiteral("-n"), Units, QStringLiteral("link"), QStringLiteral("set"), UnitLink,
             QStringLiteral("up")},
            {QStringLiteral("-n"), Workstation, QStringLiteral("link"), QStringLiteral("set"),
             QStringLiteral("lo"), QStringLiteral("up")},
            {QStringLiteral("-n"), Units, QStringLiteral("link"), QStringLiteral("set"), QStringLiteral("lo"),
             QStringLiteral("up")},
        };
        for (const QStringList& step : steps)
            if (!Step(step, error))
                return false;
        return true;
    }

    QString Workstation;
    QString Units;

private:
    static bool Step(const QStringList& arguments, QString* error) {
        const ProcessRun run = Ip(arguments);
        if (run.ExitCode == 0)
            return true;
        *error = QStringLiteral("ip ") + arguments.join(QLatin1Char(' ')) + QStringLiteral(": ") +
                 QString::fromLocal8Bit(run.Err).trimmed();
        return false;
    }

    QString WorkstationLink;
    QString UnitLink;
    QStringList Created;
};

// The simulator inside a namespace, stopped when this goes.
class SimInNamespace {
public:
    ~SimInNamespace() {
        if (Process.state() != QProcess::NotRunning) {
            Process.terminate();
            if (!Process.waitForFinished(5000)) {
                Process.kill();
                Process.waitForFinished();
            }
        }
    }
    bool Start(const QString& ns, const QString& recordPath, QString* error) {
        Process.setProcessChannelMode(QProcess::MergedChannels);
        Process.start(QStringLiteral("ip"),
                      {QStringLiteral("netns"), QStringLiteral("exec"), ns,
                       QStringLiteral(UNITSCOPE_BINARY_DIR "/tools/sim/unitscope-sim"),
                       QStringLiteral("--bind"), UNIT_IP, QStringLiteral("--broadcast-replies"),
                       QStringLiteral("--no-tcp"), QStringLiteral("--no-serial"), QStringLiteral("--record"),
                       recordPath});
        QByteArray output;
        while (!output.contains("Ready.")) {
            if (!Process.waitForReadyRead(10000)) {
                *error = QStringLiteral("unitscope-sim did not start: ") + QString::fromLocal8Bit(output);
                return false;
            }
            output += Process.readAll();
        }
        return true;
    }

private:
    QProcess Process;
};

} // namespace

TEST(NetnsDiscovery, UnitsAnsweringByBroadcastAreFoundAndReadOnTheRealPorts) {
    if (::geteuid() != 0)
        GTEST_SKIP()
            << "needs root to create network namespaces (ip netns add); run the tests as root to include it";
    NamespacePair namespaces;
    QString error;
    if (!namespaces.Create(&error))
        GTEST_SKIP() << "network namespaces are not available here: " << error.toStdString();

    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    const QString record = home.path() + QStringLiteral("/sim-record.jsonl");
    SimInNamespace sim;
    ASSERT_TRUE(sim.Start(namespaces.Units, record, &error)) << error.toStdString();

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), home.path());
    env.insert(QStringLiteral("XDG_DATA_HOME"), home.path() + QStringLiteral("/.local/share"));
    auto cli = [&](const QStringList& command) {
        // Default ports (67 local, 68 remote) and the default broadcast address 255.255.255.255.
        return RunProgram(QStringLiteral("ip"),
                          QStringList{QStringLiteral("netns"), QStringLiteral("exec"), namespaces.Workstation,
                                      QStringLiteral(UNITSCOPE_BINARY_DIR "/src/cli/unitscope-cli"),
                                      QStringLiteral("--adapter"), WORKSTATION_IP,
                                      QStringLiteral("--timeout"), QStringLiteral("2"),
                                      QStringLiteral("--json"), QStringLiteral("--work-dir"),
                                      home.path() + QStringLiteral("/work")} +
                              command,
                          env);
    };

    const ProcessRun scan = cli({QStringLiteral("scan")});
    ASSERT_EQ(scan.ExitCode, 0) << scan.Err.constData();
    const QJsonArray units = QJsonDocument::fromJson(scan.Out).array();
    ASSERT_EQ(units.size(), 3) << scan.Out.constData();
    for (const QJsonValue& unit : units)
        EXPECT_EQ(unit.toObject().value(QStringLiteral("IP")).toString(), UNIT_IP);
    const QString mac = units.first().toObject().value(QStringLiteral("Mac")).toString();

    const ProcessRun reading = cli({QStringLiteral("read"), mac, QStringLiteral("IP")});
    ASSERT_EQ(reading.ExitCode, 0) << reading.Err.constData();
    bool macRow = false;
    for (const QJsonValue& row : QJsonDocument::fromJson(reading.Out).array())
        macRow |= row.toObject().value(QStringLiteral("Key")).toString() == QLatin1String("5") &&
                  row.toObject().value(QStringLiteral("Value")).toString() == mac;
    EXPECT_TRUE(macRow) << reading.Out.constData();

    // Every reply went out as a broadcast to the workstation port: the tool heard them on its
    // wildcard listener, not as unicasts to its adapter address.
    QFile file(record);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    int replies = 0;
    for (const QByteArray& line : file.readAll().split('\n')) {
        const QJsonObject entry = QJsonDocument::fromJson(line).object();
        if (entry.value(QStringLiteral("dir")).toString() != QLatin1String("tx"))
            continue;
        ++replies;
        EXPECT_EQ(entry.value(QStringLiteral("remote")).toString(), QStringLiteral("255.255.255.255:67"));
    }
    EXPECT_GE(replies, 4); // three discovery replies and at least one menu reply
}
