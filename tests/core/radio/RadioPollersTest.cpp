#include "RadioTestBytes.h"
#include "core/radio/RadioPayloadsClass.h"
#include "core/unit/UnitInfoClass.h"
#include "support/TempHome.h"

#include <algorithm>
#include <functional>
#include <gtest/gtest.h>

namespace {

QString S(const char* text) {
    return QString::fromUtf8(text);
}

struct Fixture {
    LogCapture Log;
    UnitInfoClass Unit{S("00-1E-C0-00-00-01")};
    RadioPayloadsClass Radio;
    RadioRecorder Recorded{Radio};

    Fixture() {
        Radio.SetCurrentUnitSource([this]() { return &Unit; });
    }

    // Runs ticks 1..count and gives the ticks at which the key was asked for.
    QList<int> PollTicks(quint16 key, int count, const std::function<void(int tick)>& between = {}) {
        QList<int> ticks;
        for (int tick = 1; tick <= count; ++tick) {
            const qsizetype before = Recorded.KeyStrings.size();
            Radio.Tick();
            for (qsizetype i = before; i < Recorded.KeyStrings.size(); ++i)
                if (Recorded.KeyStrings[i].first == key) {
                    EXPECT_TRUE(Recorded.KeyStrings[i].second.isEmpty());
                    ticks.append(tick);
                }
            if (between)
                between(tick);
        }
        return ticks;
    }
};

const QByteArray ONE_NEIGHBOR =
    Bytes().u16(0).u16(0x1A2B).hex("00124B0001020304").u8(1).u8(1).u8(1).u8(1).Data;
const QByteArray ONE_ROUTE = Bytes().u16(0).u16(0x1A2B).u16(0x1A2B).u8(1).Data;

} // namespace

TEST(RadioPollers, NothingIsAskedBeforeAStart) {
    Fixture f;
    f.PollTicks(0x1049, 30);
    EXPECT_TRUE(f.Recorded.KeyStrings.isEmpty());
}

// First poll two ticks after the start, then every four (neighbors, routes) or three (test
// results) ticks, until five, five or three polls in a row went unanswered.
TEST(RadioPollers, UnansweredPollsStopAfterTheirLimit) {
    Fixture f;
    f.Radio.StartRequestingNeighbors(S("ALL"));
    f.Radio.StartRequestingRoutes(S("ALL"));
    f.Radio.StartRequestingTestResults();
    const QList<int> neighbors = f.PollTicks(0x1049, 40);
    EXPECT_EQ(neighbors, (QList<int>{2, 6, 10, 14, 18}));
    // Every tick runs the three pollers in order, so the keys interleave; count them per key.
    EXPECT_EQ(std::count_if(f.Recorded.KeyStrings.begin(), f.Recorded.KeyStrings.end(),
                            [](const auto& r) { return r.first == 0x104C; }),
              5);
    EXPECT_EQ(std::count_if(f.Recorded.KeyStrings.begin(), f.Recorded.KeyStrings.end(),
                            [](const auto& r) { return r.first == 0x104D; }),
              3);
    EXPECT_EQ(f.Log.count(S("Requesting Neighbors")), 5);
    for (int n = 1; n <= 5; ++n)
        EXPECT_TRUE(f.Log.contains(S("Requesting Routes: ") + QString::number(n))) << n;
    EXPECT_FALSE(f.Log.contains(S("Requesting Routes: 6")));
    for (int n = 1; n <= 3; ++n)
        EXPECT_TRUE(f.Log.contains(S("Requesting Testresults: ") + QString::number(n))) << n;
    EXPECT_FALSE(f.Log.contains(S("Requesting Testresults: 4")));
    EXPECT_EQ(f.Radio.NeighborsPoll().Countdown, 0);
    EXPECT_EQ(f.Radio.TestResultsPoll().Countdown, 0);
}

TEST(RadioPollers, TestResultPollTicks) {
    Fixture f;
    f.Radio.StartRequestingTestResults();
    EXPECT_EQ(f.PollTicks(0x104D, 20), (QList<int>{2, 5, 8}));
}

TEST(RadioPollers, RoutePollTicks) {
    Fixture f;
    f.Radio.StartRequestingRoutes(S("GATEWAY"));
    EXPECT_EQ(f.PollTicks(0x104C, 40), (QList<int>{2, 6, 10, 14, 18}));
}

TEST(RadioPollers, AnswersKeepThePollGoing) {
    Fixture f;
    f.Radio.StartRequestingNeighbors(S("ALL"));
    f.Radio.StartRequestingRoutes(S("ALL"));
    // Every poll gets its answer: polling goes on past five polls.
    const QList<int> ticks = f.PollTicks(0x1049, 42, [&](int) {
        if (f.Radio.NeighborsPoll().Retries > 0)
            f.Radio.ParseNeighbors(f.Unit, static_cast<int>(ONE_NEIGHBOR.size()), ONE_NEIGHBOR);
    });
    EXPECT_EQ(ticks, (QList<int>{2, 6, 10, 14, 18, 22, 26, 30, 34, 38, 42}));
    EXPECT_EQ(f.Radio.NeighborsPoll().Retries, 0);
    // The routes were never answered and stopped on their own.
    EXPECT_EQ(f.Radio.RoutesPoll().Countdown, 0);
    EXPECT_EQ(f.Radio.RoutesPoll().Retries, 6);

    // An empty reply is not an answer.
    Fixture g;
    g.Radio.StartRequestingNeighbors(S("ALL"));
    const QList<int> empty =
        g.PollTicks(0x1049, 30, [&](int) { g.Radio.ParseNeighbors(g.Unit, 0, QByteArray()); });
    EXPECT_EQ(empty.size(), 5);

    // A route answer resets the route count.
    Fixture h;
    h.Radio.StartRequestingRoutes(S("ALL"));
    h.PollTicks(0x104C, 6);
    EXPECT_EQ(h.Radio.RoutesPoll().Retries, 2);
    h.Radio.ParseRoutes(h.Unit, static_cast<int>(ONE_ROUTE.size()), ONE_ROUTE);
    EXPECT_EQ(h.Radio.RoutesPoll().Retries, 0);
}

TEST(RadioPollers, TestResults) {
    const QByteArray running = Bytes().u16(20).u16(10).u16(0x1A2B).u16(4).Data;
    const QByteArray done = Bytes().u16(0).u16(10).u16(0x1A2B).u16(9).Data;

    Fixture f;
    f.Radio.StartRequestingTestResults();
    f.PollTicks(0x104D, 5);
    EXPECT_EQ(f.Radio.TestResultsPoll().Retries, 2);
    f.Radio.ParseTestResults(f.Unit, 8, running);
    EXPECT_EQ(f.Radio.TestResultsPoll().Retries, 0);
    EXPECT_GT(f.Radio.TestResultsPoll().Countdown, 0);

    // A finished test stops the polling at once.
    f.Radio.ParseTestResults(f.Unit, 8, done);
    EXPECT_EQ(f.Radio.TestResultsPoll().Countdown, 0);
    EXPECT_TRUE(f.PollTicks(0x104D, 20).isEmpty());

    // Starting again restarts the count.
    f.Radio.StartRequestingTestResults();
    EXPECT_EQ(f.PollTicks(0x104D, 20), (QList<int>{2, 5, 8}));
    EXPECT_TRUE(f.Log.contains(S("Start requesting test results")));
}

TEST(RadioPollers, StartClearsTheSelectedEntries) {
    struct Case {
        const char* Node;
        int NeighborsLeft; // of (0000,0000) (0000,00A3) (1A2B,00A3) (00A3,1A2B)
        int RoutesLeft;    // of owners 0000, 00A3, 1A2B
    };
    const Case cases[] = {{"ALL", 0, 0}, {"GATEWAY", 3, 2}, {"00A3", 2, 2}, {"00a3", 4, 3}, {"1A2B", 3, 2}};
    for (const Case& c : cases) {
        Fixture f;
        f.Unit.FindOrAddNeighbor(0x0000, 0x0000);
        f.Unit.FindOrAddNeighbor(0x0000, 0x00A3);
        f.Unit.FindOrAddNeighbor(0x1A2B, 0x00A3);
        f.Unit.FindOrAddNeighbor(0x00A3, 0x1A2B);
        f.Unit.FindOrAddRoute(0x0000, 0x1A2B, 0x1A2B);
        f.Unit.FindOrAddRoute(0x00A3, 0x0000, 0x0000);
        f.Unit.FindOrAddRoute(0x1A2B, 0x0000, 0x00A3);
        f.Radio.StartRequestingNeighbors(S(c.Node));
        f.Radio.StartRequestingRoutes(S(c.Node));
        EXPECT_EQ(f.Unit.Neighbors.size(), c.NeighborsLeft) << c.Node;
        EXPECT_EQ(f.Unit.Routes.size(), c.RoutesLeft) << c.Node;
        EXPECT_TRUE(f.Log.contains(S("Start requesting Neighbors")));
        EXPECT_TRUE(f.Log.contains(S("Start requesting Routes")));
    }

    // Without a current unit the poll still starts.
    RadioPayloadsClass radio;
    radio.StartRequestingNeighbors(S("ALL"));
    EXPECT_EQ(radio.NeighborsPoll().Countdown, RadioPayloadsClass::POLL_START_COUNTDOWN);
}
