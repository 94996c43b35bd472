#include "core/unit/KeyDefinitionTable.h"

#include <gtest/gtest.h>

TEST(KeyDefinitionTable, LooksUpKeysBySlotIdAndLabel) {
    EXPECT_EQ(FindKeyIndex(1), 0);
    EXPECT_EQ(FindKeyIndex(117), 64);
    EXPECT_EQ(KeyDefinitionAt(64).Label, QStringLiteral("System Uptime"));
    EXPECT_EQ(KeyDefinitionAt(64).Type, 108);
    EXPECT_EQ(FindKeyIndex(12), KEY_NOT_FOUND);
    EXPECT_EQ(FindKeyIndex(0x1003), FindKeyIndexByLabel(QStringLiteral("Contact ID Default Codes")));
    EXPECT_EQ(FindKeyIndex(4951), 253);
    EXPECT_EQ(KeyDefinitionAt(254).Id, 0);

    EXPECT_EQ(FindKeyIndexByLabel(QStringLiteral("Gateway")), FindKeyIndex(3));
    EXPECT_EQ(FindKeyIndexByLabel(QStringLiteral("gateway")), KEY_NOT_FOUND);
    EXPECT_EQ(FindKeyIndexByLabel(QString()), KEY_NOT_FOUND);
}

TEST(KeyDefinitionTable, RowsAreCompleteAndUnique) {
    int rows = 0;
    for (int slot = 0; slot < KEY_TABLE_SLOTS; ++slot) {
        const KeyDefinition& key = KeyDefinitionAt(slot);
        if (key.Id == 0)
            continue;
        ++rows;
        EXPECT_EQ(FindKeyIndex(key.Id), slot) << key.Id;
        EXPECT_FALSE(key.Label.isEmpty()) << key.Id;
        const int base = KeyBaseKindOf(key.Type);
        EXPECT_TRUE(base >= 0 && base <= 11) << key.Id;
    }
    EXPECT_EQ(rows, 254);
    // The Contact ID event keys share one Swedish label but not their English ones.
    for (int id = 4608; id <= 4635; ++id) {
        const KeyDefinition& key = KeyDefinitionAt(FindKeyIndex(id));
        EXPECT_EQ(key.LabelSwedish, QStringLiteral("Ändra Contact ID händelser"));
        EXPECT_EQ(FindKeyIndexByLabel(key.Label), FindKeyIndex(id));
    }
    EXPECT_EQ(KeyDefinitionAt(FindKeyIndex(2)).LabelSwedish, QStringLiteral("Subnät Mask"));
}

TEST(KeyDefinitionTable, OptionTexts) {
    struct Case {
        int Key;
        int Index;
        const char* Text;
    } cases[] = {
        {153, 2, "Balanced"},
        {5, 0, ""},
        {8, 0, "-12"},
        {8, 12, "0"},
        {8, 13, "+1"},
        {8, 24, "+12"},
        {8, 25, ""},
        {4133, 1, "11"},
        {4133, 16, "26"},
        {4356, 0, "10"},
        {4134, 20, "20"},
        {152, 17, "Fire Forced"},
        {4096, 5, "ContactID Microsec"},
        {4402, 3, "Pulse Count"},
        {8, -1, ""},
        {8, 50, ""},
        {8, 1000, ""},
        {0, 0, ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(GetKeyOptionText(c.Key, c.Index), QString::fromUtf8(c.Text)) << c.Key << "/" << c.Index;
    EXPECT_EQ(KeyOptionCount(8), 25);
    EXPECT_EQ(KeyOptionCount(21), 6);
    EXPECT_EQ(KeyOptionCount(5), 0);

    int lists = 0;
    for (int slot = 0; slot < KEY_OPTION_LIST_SLOTS; ++slot)
        lists += KeyOptionListAt(slot).KeyId != 0;
    EXPECT_EQ(lists, 27);
}

TEST(KeyDefinitionTable, MenusByKeyRange) {
    EXPECT_EQ(KeyMenuOfKey(1), MENU_IP);
    EXPECT_EQ(KeyMenuOfKey(118), MENU_SYSTEM);
    EXPECT_EQ(KeyMenuOfKey(168), MENU_INPUTS);
    EXPECT_EQ(KeyMenuOfKey(210), MENU_NONE);
    EXPECT_EQ(KeyMenuOfKey(4351), MENU_CUSTOM);
    EXPECT_EQ(KeyMenuRangeOf(MENU_LOGS).GroupId, 0xF009);
    EXPECT_EQ(KeyMenuRangeOf(MENU_CUSTOM).GroupId, 0xF010);
    EXPECT_EQ(KeyMenuByName(QStringLiteral("Alarm Server")), MENU_ALARMSERVER);
    EXPECT_EQ(KeyMenuByName(QStringLiteral("ip")), MENU_NONE);
    EXPECT_TRUE(IsStatusKeyType(100));
    EXPECT_FALSE(IsStatusKeyType(11));
    EXPECT_EQ(KeyBaseKindOf(110), KEY_KIND_SIGNAL_LEVEL);
}
