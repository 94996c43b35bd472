#include "UnitWindowFixture.h"
#include "gui/unit/KeyEditors.h"

#include <QApplication>
#include <QDir>
#include <QEnterEvent>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>

namespace {

QRect RectIn(QWidget* widget, QWidget* window) {
    return QRect(widget->mapTo(window, QPoint(0, 0)), widget->size());
}

// On a laptop screen the whole working area fits: the three columns with the editors visible, the
// buttons under the settings list. UNITSCOPE_SCREENSHOT_DIR saves what the window shows.
TEST_F(UnitWindowTest, LaptopSizedWindowShowsValuesEditorsAndButtonsBelowTheList) {
    ASSERT_NE(OpenDemoUnit(0), nullptr);
    Window->resize(1040, 660);
    QApplication::processEvents();
    SettingsTreeWidget& list = Window->SettingsListView();
    QWidget* viewport = list.viewport();

    const QRect listRect = RectIn(&list, Window.get());
    for (const char* caption : {"Refresh", "Send New Settings", "Close"}) {
        QPushButton* button = Window->FindButton(QString::fromLatin1(caption));
        ASSERT_NE(button, nullptr);
        EXPECT_TRUE(button->isVisible()) << caption;
        EXPECT_GE(RectIn(button, Window.get()).top(), listRect.bottom()) << caption;
    }
    // The value column is wide enough for the longest value of the menu, and the editors stand fully
    // inside the list.
    EXPECT_FALSE(list.horizontalScrollBar()->isVisible());
    auto* gateway = qobject_cast<QLineEdit*>(list.RowEditor(Row("Gateway")));
    ASSERT_NE(gateway, nullptr);
    ASSERT_TRUE(gateway->isVisible());
    const QRect editorRect = RectIn(gateway, viewport);
    EXPECT_GE(editorRect.left(), list.header()->sectionPosition(SettingsTreeWidget::COLUMN_NEW_VALUE));
    EXPECT_LE(editorRect.right(), viewport->width());
    EXPECT_GE(editorRect.width(), 150);
    // Every row of the IP menu is in view without scrolling.
    EXPECT_FALSE(list.verticalScrollBar()->isVisible());

    const QString folder = qEnvironmentVariable("UNITSCOPE_SCREENSHOT_DIR");
    if (!folder.isEmpty()) {
        QDir().mkpath(folder);
        EXPECT_TRUE(Window->grab().save(QDir(folder).filePath(QStringLiteral("unit-settings.png"))));
    }
}

TEST_F(UnitWindowTest, MultiLineEditorGrowsUnderTheMouseAndItsRowFollows) {
    ASSERT_NE(OpenDemoUnit(0), nullptr);
    ChooseMenu(QStringLiteral("Alarm Server"), QStringLiteral("Server Host (IP)"));
    QApplication::processEvents();
    SettingsTreeWidget& list = Window->SettingsListView();
    auto* memo = qobject_cast<KeyMemoEdit*>(list.RowEditor(Row("Server Host (IP)")));
    ASSERT_NE(memo, nullptr);
    EXPECT_EQ(memo->toolTip(), QStringLiteral("Strings are separated by rows"));
    const int normal = memo->height();
    EXPECT_LT(normal, KeyMemoEdit::GROWN_HEIGHT);

    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QApplication::sendEvent(memo, &enter);
    QApplication::processEvents();
    EXPECT_EQ(memo->height(), KeyMemoEdit::GROWN_HEIGHT);
    EXPECT_GE(list.visualItemRect(Row("Server Host (IP)")).height(), KeyMemoEdit::GROWN_HEIGHT);
    // The rows below move down instead of being covered.
    EXPECT_GE(list.visualItemRect(Row("Server Host (GPRS)")).top(), RectIn(memo, list.viewport()).bottom());

    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(memo, &leave);
    QApplication::processEvents();
    EXPECT_EQ(memo->height(), normal);
    EXPECT_LT(list.visualItemRect(Row("Server Host (IP)")).height(), KeyMemoEdit::GROWN_HEIGHT);
}

// A unit whose owner text holds every byte value and a thousand line breaks.
class HostileValueTest : public UnitWindowTest {
protected:
    void AdjustSite(SimSite& site) override {
        QByteArray value;
        for (int i = 0; i < 1000; ++i)
            value += QByteArray(1, static_cast<char>(i & 0xFF)) + "\r\n";
        site.Unit(0).SetKey(101, value);
    }
};

TEST_F(HostileValueTest, AValueOfAnyBytesAndLengthIsShownInARowOfBoundedHeight) {
    ASSERT_NE(OpenDemoUnit(0), nullptr);
    ChooseMenu(QStringLiteral("System"), QStringLiteral("System Owner"));
    QApplication::processEvents();
    SettingsTreeWidget& list = Window->SettingsListView();
    QTreeWidgetItem* owner = Row("System Owner");
    EXPECT_EQ(owner->text(1).size(), 3000);
    EXPECT_EQ(owner->text(1).at(3), QChar(1));
    EXPECT_LT(list.visualItemRect(owner).height(), list.viewport()->height() / 2);
    // The keys after it still arrive and get their rows.
    EXPECT_TRUE(WaitUntil([&] { return Row("Contact (Name)") != nullptr; }));
}

} // namespace
