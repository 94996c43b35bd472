#include "gui/app/AdapterList.h"

#include "support/TempHome.h"

#include <gtest/gtest.h>

namespace {

// Which adapters the "Local IP:" box offers, and the lines that say why.
TEST(AdapterListTest, OnlyAdaptersWithAPhysicalAddressAnIpAndADescriptionAreOffered) {
    LogCapture log;
    const QByteArray mac = QByteArray::fromHex("02FC0000A001");
    const QList<SystemAdapter> system = {
        {QByteArray(), QStringLiteral("127.0.0.1"), QStringLiteral("lo"), 24, 1}, // no physical address
        {mac, QStringLiteral("192.0.2.2"), QStringLiteral("eth0"), 6, 1},         // kept, entry 0
        {QByteArray::fromHex("0A0B0C0D0E0F"), QString(), QStringLiteral("wlan0"), 71, 2},       // no IP
        {QByteArray::fromHex("0A0B0C0D0E10"), QStringLiteral("198.51.100.7"), QString(), 6, 1}, // no name
        {QByteArray::fromHex("0a0b0c0d0e11"), QStringLiteral("203.0.113.9"), QStringLiteral("usb0"), 6,
         2}, // entry 1
    };
    const QList<AdapterObject> adapters = ExtractComputerMac(system);

    ASSERT_EQ(adapters.size(), 2);
    EXPECT_EQ(adapters[0].IP, QStringLiteral("192.0.2.2"));
    EXPECT_EQ(adapters[0].description, QStringLiteral("eth0"));
    EXPECT_EQ(adapters[0].index, 0);
    EXPECT_EQ(adapters[1].index, 1);
    EXPECT_EQ(AdapterEntryText(adapters[1]), QStringLiteral("203.0.113.9 - usb0"));

    EXPECT_EQ(log.lines().mid(0, 4), QStringList({"ExtractComputerMac() List:", "Adapterlist cleared",
                                                  "Adapters found", "Adapter Count: 0"}));
    EXPECT_TRUE(log.contains(QStringLiteral(
        "Mac: 02-FC-00-00-A0-01. IP: 192.0.2.2. Description: eth0. IF Type: 6. Operational: 1")));
    EXPECT_TRUE(log.contains(
        QStringLiteral("Mac: 0A-0B-0C-0D-0E-0F. IP: . Description: wlan0. IF Type: 71. Operational: 2")));
    // The count is of adapters kept so far, written before each adapter is looked at.
    EXPECT_EQ(log.count(QStringLiteral("Adapter Count: 1")), 3);
    EXPECT_EQ(log.count(QStringLiteral("Adapter Count: 0")), 2);
    EXPECT_FALSE(log.lines().join('\n').contains(QStringLiteral("Description: lo")));
}

} // namespace
