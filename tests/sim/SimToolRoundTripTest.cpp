#include "SimTestSupport.h"
#include "core/protocol/UnitConfigHandlerClass.h"
#include "core/radio/RadioPayloadsClass.h"
#include "core/transport/CommunicationClass.h"
#include "core/unit/InputObjectClass.h"
#include "core/unit/KeyObjectClass.h"
#include "core/unit/UnitInfoClass.h"
#include "sim/SimSite.h"
#include "support/TempHome.h"

#include <gtest/gtest.h>

namespace {

// The tool's own transport and config handler against the demo site on loopback: discovery by
// UDP broadcast, then requests by UDP and over a remote TCP connection, replies parsed into unit
// records as the windows would show them.
class SimToolRoundTripTest : public ::testing::Test {
protected:
    void SetUp() override {
        site.LoadDemo();
        site.RemoveSerialDevices();
        QString error;
        ASSERT_TRUE(site.Start(SimNetworkOptions::FreePorts(), &error)) << error.toStdString();

        CommunicationClass::UdpSettings settings;
        settings.LocalPort = 0;
        settings.RemotePort = site.UnitUdpPort();
        settings.BroadcastAddress = QStringLiteral("127.255.255.255");
        comm = std::make_unique<CommunicationClass>(settings);
        ASSERT_EQ(comm->Bind(CommunicationClass::AdapterChoice{QStringLiteral("lo"),
                                                               QStringLiteral("127.0.0.1"), 0}),
                  1);
        QObject::connect(&handler, &UnitConfigHandlerClass::sendPacket, comm.get(),
                         [this](const QByteArray& packet, quint8 socketType, const QString&) {
                             comm->SendConfigPacket(packet, socketType);
                         });
        QObject::connect(comm.get(), &CommunicationClass::configPacketReceived, &handler,
                         &UnitConfigHandlerClass::ParseConfig);
    }

    UnitInfoClass* Discover() {
        handler.SendDiscovery(QString());
        EXPECT_TRUE(WaitUntil([&] { return handler.Units().size() == 3; }));
        return handler.FindUnit(site.Unit(0).MacText());
    }

    TempHome home;
    SimSite site;
    std::unique_ptr<CommunicationClass> comm;
    UnitConfigHandlerClass handler;
};

TEST_F(SimToolRoundTripTest, ScanListsEveryUnitWithItsOwnAddressAndProduct) {
    ASSERT_NE(Discover(), nullptr);
    for (int k = 0; k < 3; ++k) {
        const UnitInfoClass* record = handler.FindUnit(site.Unit(k).MacText());
        ASSERT_NE(record, nullptr) << k;
        EXPECT_EQ(record->RemoteIP, site.UnitAddress(k).toString());
        ASSERT_NE(record->FindKey(105), nullptr);
        EXPECT_EQ(QString::fromLatin1(record->FindKey(105)->Data), site.Unit(k).ProductText());
    }
}

TEST_F(SimToolRoundTripTest, MenusInputsWritesAndTheEventLogOverUdp) {
    UnitInfoClass* unit = Discover();
    ASSERT_NE(unit, nullptr);
    handler.SetCurrentUnit(unit, QString());
    for (const quint16 group : {0xF000, 0xF001, 0xF002, 0xF004, 0xF005, 0xF007, 0xF009, 0xF010}) {
        int refreshes = 0;
        const auto connection =
            QObject::connect(&handler, &UnitConfigHandlerClass::settingsChanged, [&] { ++refreshes; });
        ASSERT_TRUE(handler.RequestKeyGroup(group));
        EXPECT_TRUE(WaitUntil([&] { return refreshes > 0; })) << group;
        QObject::disconnect(connection);
    }
    EXPECT_NE(unit->FindKey(4608), nullptr);
    EXPECT_EQ(unit->Inputs.size(), 8);
    EXPECT_TRUE(WaitUntil([&] {
        return unit->Inputs.size() == 8 &&
               unit->Inputs.at(7)->Text == QStringLiteral("Cold room temperature");
    }));

    int acks = 0;
    QObject::connect(&handler, &UnitConfigHandlerClass::writeAcknowledged, [&] { ++acks; });
    const KeyChangeResult result = handler.SendKeyChanges(
        unit->Mac, QString(), {KeyChange{101, QStringLiteral("Written by the tool"), 0, {}}});
    EXPECT_FALSE(result.Refusal.has_value());
    ASSERT_TRUE(WaitUntil([&] { return acks == 1; }));
    EXPECT_EQ(site.Unit(0).KeyValue(101), QByteArray("Written by the tool"));
    handler.RequestKeyGroup(0xF004);
    EXPECT_TRUE(WaitUntil([&] { return unit->FindKey(101)->Data == QByteArray("Written by the tool"); }));

    bool logReady = false;
    QObject::connect(&handler, &UnitConfigHandlerClass::eventLogReady, [&] { logReady = true; });
    handler.RequestShortKey(0x00DD, 0);
    ASSERT_TRUE(WaitUntil([&] { return logReady; }));
    EXPECT_EQ(unit->EventLog.size(), site.Unit(0).Logs.Events.size());
}

TEST_F(SimToolRoundTripTest, RemoteConnectPagesTheDeviceListAndArpTableOfTheRadioUnit) {
    bool connected = false;
    QObject::connect(comm.get(), &CommunicationClass::tcpConnected, [&] { connected = true; });
    comm->Connect(site.UnitAddress(1).toString(), site.UnitTcpPort(1));
    ASSERT_TRUE(WaitUntil([&] { return connected; }));
    handler.SendDiscovery(QString(), CommunicationClass::SOCKET_TCP);
    ASSERT_TRUE(WaitUntil([&] { return handler.Units().size() == 1; }));
    UnitInfoClass* unit = handler.FindUnit(site.Unit(1).MacText());
    ASSERT_NE(unit, nullptr);
    EXPECT_EQ(unit->SocketType, CommunicationClass::SOCKET_TCP);

    handler.SetCurrentUnit(unit, QString());
    handler.RequestShortKey(0x1023, 0);
    const qsizetype devices = site.Unit(1).Radio->Devices.size();
    EXPECT_TRUE(WaitUntil([&] { return unit->Devices.size() == devices; }))
        << unit->Devices.size() << " of " << devices;

    int arpRows = 0;
    QObject::connect(&handler.Radio(), &RadioPayloadsClass::arpRowAdded, [&] { ++arpRows; });
    handler.RequestShortKey(0x00E2, 0);
    const qsizetype arp = site.Unit(1).Logs.Arp.size();
    EXPECT_TRUE(WaitUntil([&] { return arpRows == arp; })) << arpRows << " of " << arp;
}

} // namespace
