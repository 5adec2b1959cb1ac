#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/clock.h"
#include "support/test_clock.h"

namespace orvet {
namespace {

// One step of a timer scenario: an operation at a moment of the test clock.
struct Step {
    enum Op { Advance, SetInterval, Enable, Disable, Pause } op;
    int value;
};

struct TimerCase {
    std::string name;
    int initialInterval;
    bool initiallyEnabled;
    std::vector<Step> steps;
    std::vector<std::int64_t> expectedTicks;  // clock times at which the handler ran
};

void PrintTo(const TimerCase& c, std::ostream* os) {
    *os << c.name;
}

class TimerSemantics : public ::testing::TestWithParam<TimerCase> {};

TEST_P(TimerSemantics, TicksAtExpectedTimes) {
    const TimerCase& c = GetParam();
    TestClock clock;
    std::vector<std::int64_t> ticks;
    {
        Timer timer(clock, c.initialInterval, c.initiallyEnabled);
        timer.setOnTimer([&] { ticks.push_back(clock.nowMs()); });
        for (const Step& step : c.steps) {
            switch (step.op) {
                case Step::Advance:
                    clock.advance(step.value);
                    break;
                case Step::SetInterval:
                    timer.setInterval(step.value);
                    break;
                case Step::Enable:
                    timer.setEnabled(true);
                    break;
                case Step::Disable:
                    timer.setEnabled(false);
                    break;
                case Step::Pause:
                    clock.pause(step.value);
                    break;
            }
        }
    }
    EXPECT_EQ(ticks, c.expectedTicks);
    EXPECT_EQ(clock.activeTimers(), 0) << "a destroyed timer must leave the clock";
}

using S = Step;
INSTANTIATE_TEST_SUITE_P(
    Cases, TimerSemantics,
    ::testing::Values(
        TimerCase{"RepeatsAtInterval", 100, true, {{S::Advance, 350}}, {100, 200, 300}},
        TimerCase{"SameIntervalDoesNotRestart",
                  100,
                  true,
                  {{S::Advance, 60}, {S::SetInterval, 100}, {S::Advance, 60}},
                  {100}},
        TimerCase{"DifferentIntervalRestartsFromNow",
                  100,
                  true,
                  {{S::Advance, 60}, {S::SetInterval, 50}, {S::Advance, 120}},
                  {110, 160}},
        TimerCase{"IntervalZeroStops",
                  100,
                  true,
                  {{S::Advance, 150}, {S::SetInterval, 0}, {S::Advance, 500}},
                  {100}},
        TimerCase{
            "PositiveIntervalAfterZeroStartsAgain",
            100,
            true,
            {{S::SetInterval, 0}, {S::Advance, 500}, {S::SetInterval, 100}, {S::Advance, 100}},
            {600}},
        TimerCase{"DisabledNeverTicks", 100, false, {{S::Advance, 1000}}, {}},
        TimerCase{"EnablingEnabledDoesNotRestart",
                  100,
                  true,
                  {{S::Advance, 70}, {S::Enable, 0}, {S::Advance, 40}},
                  {100}},
        TimerCase{"DisableThenEnableRestarts",
                  100,
                  true,
                  {{S::Advance, 70}, {S::Disable, 0}, {S::Enable, 0}, {S::Advance, 120}},
                  {170}},
        TimerCase{"DisableStops",
                  100,
                  true,
                  {{S::Advance, 250}, {S::Disable, 0}, {S::Advance, 500}},
                  {100, 200}},
        TimerCase{"NewIntervalWhileDisabledTakesEffectOnEnable",
                  100,
                  false,
                  {{S::SetInterval, 30}, {S::Advance, 100}, {S::Enable, 0}, {S::Advance, 65}},
                  {130, 160}},
        TimerCase{"PauseFiresNothingThenOverdueTickOnce",
                  100,
                  true,
                  {{S::Advance, 50}, {S::Pause, 500}, {S::Advance, 0}, {S::Advance, 100}},
                  {550, 650}}),
    [](const ::testing::TestParamInfo<TimerCase>& param) { return param.param.name; });

TEST(TestClock, FiresDueTicksInTimeOrderThenStartOrder) {
    TestClock clock;
    std::vector<std::string> log;
    Timer slow(clock, 30);
    Timer fast(clock, 20);
    Timer alsoThirty(clock, 30);
    slow.setOnTimer([&] { log.push_back("slow@" + std::to_string(clock.nowMs())); });
    fast.setOnTimer([&] { log.push_back("fast@" + std::to_string(clock.nowMs())); });
    alsoThirty.setOnTimer([&] { log.push_back("also@" + std::to_string(clock.nowMs())); });
    clock.advance(60);
    EXPECT_EQ(log, (std::vector<std::string>{"fast@20", "slow@30", "also@30", "fast@40", "slow@60",
                                             "also@60", "fast@60"}));
    EXPECT_EQ(clock.nowMs(), 60);
}

TEST(TestClock, HandlerMayRetimeAndStopTimers) {
    TestClock clock;
    std::vector<std::int64_t> first;
    std::vector<std::int64_t> second;
    Timer a(clock, 100);
    Timer b(clock, 150);
    // The first tick of `a` stops `b` and shortens `a` itself: both changes apply at once.
    a.setOnTimer([&] {
        first.push_back(clock.nowMs());
        b.setEnabled(false);
        a.setInterval(10);
    });
    b.setOnTimer([&] { second.push_back(clock.nowMs()); });
    clock.advance(125);
    EXPECT_EQ(first, (std::vector<std::int64_t>{100, 110, 120}));
    EXPECT_TRUE(second.empty());
}

TEST(TestClock, HandlerMayDisableItself) {
    TestClock clock;
    int ticks = 0;
    Timer oneShot(clock, 100);
    oneShot.setOnTimer([&] {
        ++ticks;
        oneShot.setEnabled(false);
    });
    clock.advance(1000);
    EXPECT_EQ(ticks, 1);
    EXPECT_FALSE(oneShot.running());
}

TEST(TestClock, PauseInsideAHandlerNeverTurnsTimeBack) {
    TestClock clock;
    std::vector<std::int64_t> ticks;
    Timer pausing(clock, 100);
    pausing.setOnTimer([&] {
        ticks.push_back(clock.nowMs());
        if (ticks.size() == 1)
            clock.pause(500);
    });
    clock.advance(150);
    EXPECT_EQ(clock.nowMs(), 600);
    clock.advance(100);
    // The tick due at 200 fell into the pause: it fires once, late, when time moves again,
    // and the count restarts from there.
    EXPECT_EQ(ticks, (std::vector<std::int64_t>{100, 600, 700}));
}

TEST(TestClock, PausesAreRecordedAndMoveTime) {
    TestClock clock;
    clock.pause(500);
    clock.pause(500);
    EXPECT_EQ(clock.pauses(), (std::vector<int>{500, 500}));
    EXPECT_EQ(clock.nowMs(), 1000);
    EXPECT_THROW(clock.advance(-1), std::invalid_argument);
}

}  // namespace
}  // namespace orvet
