#include "gui/app/UnitListModel.h"

#include "core/protocol/ConfigEnvelopeClass.h"
#include "core/protocol/UnitConfigHandlerClass.h"
#include "core/unit/UnitInfoClass.h"

#include <QPersistentModelIndex>
#include <QSignalSpy>
#include <algorithm>
#include <gtest/gtest.h>
#include <random>

// Readable failure messages.
void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace {

using Rows = std::vector<UnitListModel::RowTexts>;

// What the list must show: one row per record in the handler's order, then a stable,
// case-insensitive ascending sort on the column. Written out here rather than borrowed from the
// model, so the model is held to the rule and not to itself.
Rows FullRebuild(const UnitConfigHandlerClass& handler, int column) {
    Rows rows;
    for (const auto& unit : handler.Units()) {
        const KeyObjectClass* product = unit->FindKey(105);
        const KeyObjectClass* owner = unit->FindKey(101);
        rows.push_back({unit->Mac, unit->RemoteIP, product ? QString::fromLatin1(product->Data) : QString(),
                        owner ? QString::fromLatin1(owner->Data) : QString()});
    }
    std::stable_sort(rows.begin(), rows.end(), [column](const auto& a, const auto& b) {
        return QString::compare(a[column], b[column], Qt::CaseInsensitive) < 0;
    });
    return rows;
}

Rows Shown(const UnitListModel& model) {
    Rows rows;
    for (int row = 0; row < model.rowCount(); ++row) {
        UnitListModel::RowTexts texts;
        for (int column = 0; column < UnitListModel::COLUMN_COUNT; ++column)
            texts[column] = model.data(model.index(row, column)).toString();
        rows.push_back(texts);
    }
    return rows;
}

QString MacOf(int n) {
    return QStringLiteral("00-1E-C0-%1-%2-%3")
        .arg((n >> 16) & 0xFF, 2, 16, QLatin1Char('0'))
        .arg((n >> 8) & 0xFF, 2, 16, QLatin1Char('0'))
        .arg(n & 0xFF, 2, 16, QLatin1Char('0'))
        .toUpper();
}

// A discovery reply; a product or owner of nullptr leaves that key out, as some units do.
QByteArray Reply(const QString& mac, const char* product, const char* owner) {
    QByteArray entries = ConfigEnvelopeClass::KeyEntry(1, QByteArray::fromHex("0A000001"));
    if (product != nullptr)
        entries += ConfigEnvelopeClass::KeyEntry(105, QByteArray(product));
    entries += ConfigEnvelopeClass::KeyEntry(112, QByteArray::fromHex("00000001"));
    if (owner != nullptr)
        entries += ConfigEnvelopeClass::KeyEntry(101, QByteArray(owner));
    ConfigEnvelopeClass envelope;
    return envelope.BuildPacket(mac, CONFIG_RESPONSE, QString(), entries, 0x10000);
}

// Counts what the view is told: a reply may insert, move or change one row, never reset or
// re-lay the whole list.
struct ModelWatch {
    explicit ModelWatch(UnitListModel& model)
        : Resets(&model, &QAbstractItemModel::modelReset),
          Layouts(&model, &QAbstractItemModel::layoutChanged),
          Changes(&model, &QAbstractItemModel::dataChanged) {}
    bool EveryChangeIsOneRow() const {
        for (const QList<QVariant>& change : Changes) {
            if (change.at(0).toModelIndex().row() != change.at(1).toModelIndex().row())
                return false;
        }
        return true;
    }
    QSignalSpy Resets;
    QSignalSpy Layouts;
    QSignalSpy Changes;
};

class UnitListModelTest : public ::testing::Test {
protected:
    void Answer(const QString& mac, const QString& ip, const char* product, const char* owner) {
        handler.ParseConfig(Reply(mac, product, owner), ip, 0);
    }
    UnitConfigHandlerClass handler;
    UnitListModel model{handler};
    // Joined as the main window joins them.
    QMetaObject::Connection link = QObject::connect(&handler, &UnitConfigHandlerClass::unitListChanged,
                                                    &model, &UnitListModel::UpdateListView);
};

TEST_F(UnitListModelTest, ScanOfManyUnitsInShuffledOrderShowsWhatAFullRebuildWould) {
    // Texts that differ only in case, repeat, or are missing, and IPs whose text order is not
    // their numeric order.
    const char* products[] = {"RDM22 v4.2.1", "rdm22 v4.2.1", "Q7 gateway v1.0", "Alarm box v2", nullptr};
    const char* owners[] = {"Shop on the corner", "shop ON the corner", "Bakery", "", nullptr, "bakery"};
    constexpr int UNITS = 400;
    std::mt19937 random(20240611);
    std::vector<int> order(UNITS);
    for (int i = 0; i < UNITS; ++i)
        order[i] = i;
    std::shuffle(order.begin(), order.end(), random);

    for (const int column : {UnitListModel::COLUMN_MAC, UnitListModel::COLUMN_IP,
                             UnitListModel::COLUMN_PRODUCT, UnitListModel::COLUMN_OWNER}) {
        handler.ClearUnits();
        ASSERT_EQ(model.rowCount(), 0);
        model.SortByColumn(column);
        ModelWatch watch(model);
        for (int k = 0; k < UNITS; ++k) {
            const int n = order[k];
            Answer(MacOf(n), QStringLiteral("10.0.%1.%2").arg(n % 3).arg(n % 120), products[n % 5],
                   owners[(n / 5) % 6]);
            if (k % 7 == 0) {
                // A unit that answered before answers again with other texts and from another IP,
                // which moves its row.
                const int again = order[k / 2];
                Answer(MacOf(again), QStringLiteral("10.1.%1.%2").arg(k % 4).arg(k),
                       products[(again + k) % 5], owners[(again + k) % 6]);
            }
            if (k % 23 == 0) {
                ASSERT_EQ(Shown(model), FullRebuild(handler, column))
                    << "column " << column << " after " << k;
            }
            if (k % 50 == 0) {
                // A damaged packet still names a unit, which the next reply lists, as a rebuild would.
                QByteArray damaged = Reply(MacOf(100000 + k), "Damaged v1", "x");
                damaged[damaged.size() - 2] = static_cast<char>(damaged.at(damaged.size() - 2) ^ 0x5A);
                handler.ParseConfig(damaged, QStringLiteral("10.9.9.%1").arg(k % 250), 0);
            }
        }
        // A damaged packet makes a record that the next reply of any unit lists, as a rebuild would.
        QByteArray damaged = Reply(MacOf(200000 + column), "Damaged v1", "x");
        damaged[damaged.size() - 2] = static_cast<char>(damaged.at(damaged.size() - 2) ^ 0x5A);
        handler.ParseConfig(damaged, QStringLiteral("10.9.9.9"), 0);
        Answer(MacOf(order[0]), QStringLiteral("10.0.0.1"), products[0], owners[0]);
        EXPECT_GE(model.RowOf(handler.FindUnit(MacOf(200000 + column))), 0);
        EXPECT_EQ(Shown(model), FullRebuild(handler, column)) << "column " << column;
        EXPECT_EQ(model.rowCount(), static_cast<int>(handler.Units().size()));
        EXPECT_EQ(watch.Resets.count(), 0);
        EXPECT_EQ(watch.Layouts.count(), 0);
        EXPECT_TRUE(watch.EveryChangeIsOneRow());

        // Sorting by another column afterwards gives what a rebuild sorted by it gives.
        const int other = (column + 2) % UnitListModel::COLUMN_COUNT;
        model.SortByColumn(other);
        EXPECT_EQ(Shown(model), FullRebuild(handler, other));
        model.SortByColumn(column);
        EXPECT_EQ(Shown(model), FullRebuild(handler, column));
    }
}

TEST_F(UnitListModelTest, SortingComparesTextWithoutCase) {
    Answer(MacOf(1), QStringLiteral("192.168.1.2"), "b product", "beta");
    Answer(MacOf(2), QStringLiteral("192.168.1.11"), "A product", "ALPHA2");
    Answer(MacOf(3), QStringLiteral("192.168.1.100"), "a product", "alpha");
    Answer(MacOf(4), QStringLiteral("192.168.1.100"), nullptr, nullptr);

    const auto column = [&](int c) {
        QStringList texts;
        for (int row = 0; row < model.rowCount(); ++row)
            texts.append(model.Text(row, c));
        return texts;
    };
    model.SortByColumn(UnitListModel::COLUMN_IP);
    EXPECT_EQ(column(UnitListModel::COLUMN_IP),
              QStringList({"192.168.1.100", "192.168.1.100", "192.168.1.11", "192.168.1.2"}));
    model.SortByColumn(UnitListModel::COLUMN_OWNER);
    EXPECT_EQ(column(UnitListModel::COLUMN_OWNER), QStringList({"", "alpha", "ALPHA2", "beta"}));
    // Equal texts keep the order in which the units first answered.
    model.SortByColumn(UnitListModel::COLUMN_PRODUCT);
    EXPECT_EQ(column(UnitListModel::COLUMN_MAC), QStringList({MacOf(4), MacOf(2), MacOf(3), MacOf(1)}));
}

TEST_F(UnitListModelTest, SelectionFollowsAUnitWhoseRowMovesAndClearingDropsEveryRow) {
    model.SortByColumn(UnitListModel::COLUMN_OWNER);
    Answer(MacOf(1), QStringLiteral("10.0.0.1"), "P v1", "Anna");
    Answer(MacOf(2), QStringLiteral("10.0.0.2"), "P v1", "Bert");
    Answer(MacOf(3), QStringLiteral("10.0.0.3"), "P v1", "Carl");
    const QPersistentModelIndex selected = model.index(0, UnitListModel::COLUMN_OWNER);
    ASSERT_EQ(model.Text(0, UnitListModel::COLUMN_MAC), MacOf(1));

    // The owner changes on the unit: its row moves to the end and the selection goes with it.
    Answer(MacOf(1), QStringLiteral("10.0.0.1"), "P v1", "Zoe");
    ASSERT_TRUE(selected.isValid());
    EXPECT_EQ(selected.row(), 2);
    EXPECT_EQ(selected.data().toString(), QStringLiteral("Zoe"));
    EXPECT_EQ(model.UnitAt(2), handler.FindUnit(MacOf(1)));
    EXPECT_EQ(model.RowOf(handler.FindUnit(MacOf(2))), 0);

    // The same reply again changes nothing at all.
    QSignalSpy changes(&model, &QAbstractItemModel::dataChanged);
    Answer(MacOf(1), QStringLiteral("10.0.0.1"), "P v1", "Zoe");
    EXPECT_EQ(changes.count(), 0);

    QSignalSpy counts(&model, &UnitListModel::countChanged);
    handler.ClearUnits();
    EXPECT_EQ(model.rowCount(), 0);
    EXPECT_EQ(model.UnitAt(0), nullptr);
    ASSERT_EQ(counts.count(), 1);
    EXPECT_EQ(counts.first().first().toInt(), 0);
    Answer(MacOf(7), QStringLiteral("10.0.0.7"), "P v1", "New");
    EXPECT_EQ(model.rowCount(), 1);
    EXPECT_EQ(model.UnitAt(0), handler.FindUnit(MacOf(7)));
}

} // namespace
