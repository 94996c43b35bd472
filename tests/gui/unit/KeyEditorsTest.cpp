#include "gui/unit/KeyEditors.h"

#include "core/protocol/KeyChangeEncoder.h"
#include "core/unit/KeyDefinitionTable.h"
#include "core/unit/UnitInfoClass.h"
#include "support/TempHome.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>

namespace {

int TypeOf(int keyId) {
    return KeyDefinitionAt(FindKeyIndex(keyId)).Type;
}

// One key of a bare unit record with its editor, made and filled as the settings list does.
struct KeyWithEditor {
    explicit KeyWithEditor(int keyId) : Unit(QStringLiteral("02-3C-A7-00-00-01")) {
        Unit.SetKeyValue(keyId, 0);
        Type = TypeOf(keyId);
        Editor.reset(KeyEditors::CreateEditor(*Unit.FindKey(keyId), Type, 26, nullptr));
        KeyEditors::FillItems(Editor.get(), *Unit.FindKey(keyId), Type, true);
    }
    template <typename T> T* As() { return qobject_cast<T*>(Editor.get()); }
    std::optional<QString> Change() {
        QString value;
        if (!KeyEditors::ReadChange(Editor.get(), Type, value))
            return std::nullopt;
        return value;
    }
    // The bytes the encoder makes of what the editor hands over.
    QByteArray Encoded() {
        QByteArray bytes;
        QString reason;
        EXPECT_TRUE(KeyChangeEncoder::EncodeValue(Type, Change().value_or(QString()), bytes, reason))
            << reason.toStdString();
        return bytes;
    }
    UnitInfoClass Unit;
    int Type = 0;
    std::unique_ptr<QWidget> Editor;
};

TEST(KeyEditorsTest, EveryBaseKindGetsItsEditorAndStatusKeysNoneButTheActionKeys) {
    LogCapture log;
    const struct {
        int Key;
        const char* Class;
    } cases[] = {{22, "QLineEdit"},    {42, "QLineEdit"},    {4, "QComboBox"},      {8, "QComboBox"},
                 {21, "QComboBox"},    {4865, "QComboBox"},  {1, "QLineEdit"},      {44, "QLineEdit"},
                 {40, "KeyMemoEdit"},  {220, "QPushButton"}, {4128, "QPushButton"}, {4354, "QProgressBar"},
                 {105, "QPushButton"}, {150, "QPushButton"}};
    for (const auto& c : cases) {
        KeyWithEditor key(c.Key);
        ASSERT_NE(key.Editor, nullptr) << c.Key;
        EXPECT_STREQ(key.Editor->metaObject()->className(), c.Class) << c.Key;
        EXPECT_GE(key.Editor->minimumWidth(), KeyEditors::EDITOR_WIDTH);
        EXPECT_FALSE(key.Change().has_value()) << "a new editor of key " << c.Key << " holds a change";
    }
    EXPECT_FALSE(KeyEditors::HasEditor(5, TypeOf(5)));
    EXPECT_FALSE(KeyEditors::HasEditor(117, TypeOf(117)));
    EXPECT_TRUE(KeyEditors::HasEditor(4373, TypeOf(4373)));
    EXPECT_TRUE(log.lines()
                    .filter(QStringLiteral("Component Created: Use DHCP. Type: 1. ComponentPointer: "))
                    .size() == 1);

    // Editable suggestion lists keep the options as suggestions; choice lists are not editable.
    KeyWithEditor baud(4865);
    EXPECT_TRUE(baud.As<QComboBox>()->isEditable());
    EXPECT_EQ(baud.As<QComboBox>()->itemText(5), QStringLiteral("9600"));
    KeyWithEditor duration(44);
    EXPECT_EQ(duration.Editor->toolTip(), QStringLiteral("Hours:Minutes:Seconds (HH:MM:SS). Max 18 Hours."));
    KeyWithEditor offset(4097);
    EXPECT_EQ(offset.Editor->toolTip(), QStringLiteral("8 is usually the standard for ContactID"));
}

TEST(KeyEditorsTest, ChangeRulesHandOverTheValueTheEncoderExpects) {
    KeyWithEditor yesNo(4);
    yesNo.As<QComboBox>()->setCurrentIndex(0);
    EXPECT_FALSE(yesNo.Change().has_value()) << "the blank item is no change";
    yesNo.As<QComboBox>()->setCurrentIndex(1);
    EXPECT_EQ(yesNo.Change(), QStringLiteral("No"));
    EXPECT_EQ(yesNo.Encoded(), QByteArray::fromHex("00"));

    KeyWithEditor choice(24);
    choice.As<QComboBox>()->setCurrentIndex(2); // "CHAP", option 1
    EXPECT_EQ(choice.Change(), QStringLiteral("1"));

    KeyWithEditor suggestion(21);
    suggestion.As<QComboBox>()->setCurrentIndex(0);
    EXPECT_FALSE(suggestion.Change().has_value());
    suggestion.As<QComboBox>()->setEditText(QStringLiteral("internet.example"));
    EXPECT_EQ(suggestion.Change(), QStringLiteral("internet.example"));

    KeyWithEditor ip(1);
    auto* ipEdit = ip.As<QLineEdit>();
    EXPECT_EQ(ipEdit->displayText(), QLatin1String(KeyEditors::IPV4_EMPTY_TEXT));
    QTest::keyClicks(ipEdit, QStringLiteral("192.168.1.20"));
    EXPECT_EQ(ip.Encoded(), QByteArray::fromHex("C0A80114"));

    KeyWithEditor duration(44);
    QTest::keyClicks(duration.As<QLineEdit>(), QStringLiteral("013005"));
    EXPECT_EQ(duration.Change(), QStringLiteral("01:30:05"));
    EXPECT_EQ(duration.Encoded(), QByteArray::fromHex("151D"));

    KeyWithEditor lines(40);
    lines.As<QPlainTextEdit>()->setPlainText(QStringLiteral("a.example:9000\nb.example:9000"));
    EXPECT_EQ(lines.Change(), QStringLiteral("a.example:9000\r\nb.example:9000"));

    KeyWithEditor number(42);
    number.As<QLineEdit>()->setText(QStringLiteral("9001"));
    EXPECT_EQ(number.Encoded(), QByteArray::fromHex("2329"));

    // After sending, every editor is back to its empty state.
    for (KeyWithEditor* key : {&yesNo, &choice, &suggestion, &ip, &duration, &lines, &number}) {
        KeyEditors::Reset(key->Editor.get(), key->Type);
        EXPECT_FALSE(key->Change().has_value()) << "key of type " << key->Type;
    }
    EXPECT_EQ(ipEdit->displayText(), QLatin1String(KeyEditors::IPV4_EMPTY_TEXT));
}

TEST(KeyEditorsTest, LevelBarPositionAndColour) {
    const struct {
        int Value;
        int Position;
    } positions[] = {{0xC5, 58}, {0, 100}, {0xE2, 100}, {0x9C, 0}, {0x9D, 1}, {0xB5, 35}, {-59, 58}};
    for (const auto& p : positions)
        EXPECT_EQ(KeyEditors::LevelBarPosition(p.Value), p.Position) << p.Value;

    UnitInfoClass unit(QStringLiteral("00 12 4B 00 01 A2 C3 D4"));
    EXPECT_EQ(KeyEditors::LevelBarColour(58, unit), QColor(0x6F, 0xDD, 0x00));
    EXPECT_EQ(KeyEditors::LevelBarColour(34, unit), QColor(0xFF, 0xD9, 0x00));
    EXPECT_EQ(KeyEditors::LevelBarColour(19, unit), QColor(0xFF, 0x00, 0x00));
    // Not heard for 71 s: without a poll time a device is expected every 70 s, so the level is stale.
    unit.SetKeyValue(4364, 71000);
    EXPECT_EQ(KeyEditors::LevelBarColour(58, unit), QColor(0x80, 0x80, 0x80));
    // A detector polled every 5 minutes is late only after 7 minutes.
    unit.SetKeyValue(4355, 5);
    EXPECT_EQ(KeyEditors::LevelBarColour(58, unit), QColor(0x6F, 0xDD, 0x00));
    // Radio testers (hardware 3 and 4) report every 70 s whatever their poll time.
    unit.SetKeyData(4353, QByteArray::fromHex("00030100110605"));
    EXPECT_EQ(KeyEditors::LevelBarColour(58, unit), QColor(0x80, 0x80, 0x80));

    unit.SetKeyValue(4354, 0xC5);
    std::unique_ptr<QWidget> bar(KeyEditors::CreateEditor(*unit.FindKey(4354), TypeOf(4354), 26, nullptr));
    KeyEditors::SetLevelBar(bar.get(), *unit.FindKey(4354));
    EXPECT_EQ(qobject_cast<QProgressBar*>(bar.get())->value(), 58);
}

} // namespace
