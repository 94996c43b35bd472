#include "sim/SimSite.h"

#include "SimTestSupport.h"
#include "sim/SimSerialDevice.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTcpServer>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

TEST(SimSiteTest, DemoSiteHoldsTheUnitsAndTheSerialDeviceATrainingNeeds) {
    SimSite site;
    site.LoadDemo();
    ASSERT_EQ(site.UnitCount(), 3);
    const int products[] = {1, 3, 4};
    const int inputs[] = {8, 3, 2};
    for (int k = 0; k < 3; ++k) {
        const SimUnit& unit = site.Unit(k);
        EXPECT_EQ(unit.ProductCode(), products[k]);
        EXPECT_EQ(unit.Inputs.size(), inputs[k]);
        EXPECT_EQ(unit.Password().isEmpty(), k != SimSite::DEMO_PASSWORD_UNIT);
        EXPECT_GE(unit.Logs.Events.size(), 200);
        EXPECT_GE(unit.Logs.DebugLog.size(), 2048);
        EXPECT_GE(unit.Logs.Arp.size(), 30);
        EXPECT_FALSE(unit.Logs.IpSockets.isEmpty());
        EXPECT_FALSE(unit.Logs.GprsSockets.isEmpty());
        EXPECT_EQ(unit.Radio.has_value(), products[k] == 3);
    }
    EXPECT_EQ(site.Unit(SimSite::DEMO_PASSWORD_UNIT).Password(), QLatin1String(SimSite::DEMO_PASSWORD));
    EXPECT_GE(site.Unit(1).Radio->Devices.size(), 12);
    EXPECT_EQ(site.Unit(1).Radio->Zones.size(), 4);
    EXPECT_EQ(site.UnitMacs().size(), 3);
    EXPECT_EQ(site.UnitMacs().removeDuplicates(), 0);
    ASSERT_EQ(site.SerialDeviceCount(), 1);
    EXPECT_EQ(site.SerialDevice(0)->HardwareType(), 5);
    EXPECT_EQ(site.FindUnit(site.Unit(1).MacText().toLower()), &site.Unit(1));
    EXPECT_EQ(site.FindUnit(QStringLiteral("00-00-00-00-00-00")), nullptr);
}

TEST(SimSiteTest, SiteFileRoundTripsThroughDisk) {
    SimSite site;
    site.LoadDemo();
    site.Unit(0).Misbehaviour.SetSettings([] {
        SimMisbehaviourSettings settings;
        settings.DropFraction = 0.25;
        return settings;
    }());
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("site.json"));
    QString error;
    ASSERT_TRUE(site.SaveFile(path, &error)) << error.toStdString();

    SimSite loaded;
    ASSERT_TRUE(loaded.LoadFile(path, &error)) << error.toStdString();
    EXPECT_EQ(loaded.ToJson(), site.ToJson());
    EXPECT_EQ(loaded.Unit(0).Misbehaviour.Settings().DropFraction, 0.25);
    EXPECT_EQ(loaded.Unit(2).Password(), QLatin1String(SimSite::DEMO_PASSWORD));
}

TEST(SimSiteTest, BadSiteFilesAreRefusedAndLeaveTheSiteAsItWas) {
    QTemporaryDir dir;
    const struct {
        const char* Name;
        QByteArray Text;
    } cases[] = {
        {"not JSON", "{ units"},
        {"not an object", "[1, 2]"},
        {"units not an array", R"({"Units": {}})"},
        {"bad unit", R"({"Units": [{"Mac": "nope"}]})"},
        {"same MAC twice", R"({"Units": [{"Demo": 1}, {"Demo": 1}]})"},
        {"bad serial device", R"({"SerialDevices": [{"Mac": 5}]})"},
    };
    SimSite site;
    site.LoadDemo();
    const QJsonObject before = site.ToJson();
    for (const auto& c : cases) {
        const QString path = dir.filePath(QStringLiteral("bad.json"));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(c.Text);
        file.close();
        QString error;
        EXPECT_FALSE(site.LoadFile(path, &error)) << c.Name;
        EXPECT_FALSE(error.isEmpty()) << c.Name;
        EXPECT_EQ(site.ToJson(), before) << c.Name;
    }
    QString error;
    EXPECT_FALSE(site.LoadFile(dir.filePath(QStringLiteral("missing.json")), &error));
    EXPECT_TRUE(error.contains(QStringLiteral("missing.json")));
}

TEST(SimSiteTest, StartsOnChosenPortsAndReportsWhereEachUnitIs) {
    SimSite site;
    site.LoadDemo();
    SimNetworkOptions options;
    options.FirstUnitAddress = QHostAddress(QStringLiteral("127.0.0.20"));
    options.UnitUdpPort = 0;
    options.TcpPort = 0;
    QString error;
    ASSERT_TRUE(site.Start(options, &error)) << error.toStdString();
    EXPECT_TRUE(site.IsRunning());
    EXPECT_NE(site.UnitUdpPort(), 0);
    for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(site.UnitAddress(k), QHostAddress(QStringLiteral("127.0.0.%1").arg(20 + k)));
        EXPECT_NE(site.UnitTcpPort(k), 0);
    }
    ASSERT_EQ(site.SerialDevicePaths().size(), 1);
    EXPECT_TRUE(QFile::exists(site.SerialDevicePaths()[0])) << site.SerialDevicePaths()[0].toStdString();
    site.Stop();
    EXPECT_FALSE(site.IsRunning());
    EXPECT_EQ(site.UnitTcpPort(0), 0);
}

TEST(SimSiteTest, OneGivenAddressPutsEveryUnitThereWithItsOwnTcpPort) {
    QTcpServer probe; // finds a free run of ports
    ASSERT_TRUE(probe.listen(QHostAddress(QStringLiteral("127.0.0.1")), 0));
    const quint16 base = probe.serverPort();
    probe.close();

    SimSite site;
    site.LoadDemo();
    site.RemoveSerialDevices();
    SimNetworkOptions options;
    options.FirstUnitAddress = QHostAddress(QStringLiteral("127.0.0.1"));
    options.SingleAddress = true;
    options.UnitUdpPort = 0;
    options.TcpPort = base;
    QString error;
    if (!site.Start(options, &error))
        GTEST_SKIP() << "ports taken meanwhile: " << error.toStdString();
    for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(site.UnitAddress(k), QHostAddress(QStringLiteral("127.0.0.1")));
        EXPECT_EQ(site.UnitTcpPort(k), base + k);
    }
}

TEST(SimSiteTest, AFailedStartSaysWhyAndLeavesNothingOpen) {
    QTcpServer squatter;
    ASSERT_TRUE(squatter.listen(QHostAddress(QStringLiteral("127.0.0.3")), 0));
    SimSite site;
    site.LoadDemo();
    SimNetworkOptions options;
    options.UnitUdpPort = 0;
    options.TcpPort = squatter.serverPort(); // unit 1 (127.0.0.3) cannot have it
    QString error;
    EXPECT_FALSE(site.Start(options, &error));
    EXPECT_TRUE(error.contains(QStringLiteral("127.0.0.3"))) << error.toStdString();
    EXPECT_FALSE(site.IsRunning());
    EXPECT_EQ(site.UnitUdpPort(), 0);
    EXPECT_TRUE(site.SerialDevicePaths().value(0).isEmpty() || !site.SerialDevice(0)->IsOpen());
}

} // namespace
