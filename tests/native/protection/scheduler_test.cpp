// The scheduler on a clock that runs like the real one: the tick count and the wall clock
// move together, timer ticks come at uneven intervals (10 to 16 ms, as Windows delivers
// them) and the second boundary falls anywhere between two ticks.
#include "protection/scheduler.h"

#include <gtest/gtest.h>

#include <map>
#include <vector>

#include "fakes/fake_misc.h"

namespace kx {
namespace {

struct Ticking {
  fakes::FakeClock clock;
  std::map<std::string, std::string> stored{{"Day", "7"}, {"Time", "2:30:00 PM"}, {"Date", "Null"}};
  std::vector<DateTime> startedAt;
  std::vector<bool> flagAtStart;
  Scheduler scheduler{SchedulerInputs{
      [this](const std::string& key, const std::string& def) {
        auto it = stored.find(key);
        return it == stored.end() ? def : it->second;
      },
      clock,
      [this](bool autoDelete) {
        startedAt.push_back(clock.now);
        flagAtStart.push_back(autoDelete);
      },
      [] { return std::optional<bool>(true); }}};

  // Ticks for the given span of wall-clock time, in steps of 10 to 16 ms.
  void For(int64_t ms) {
    static const uint64_t steps[] = {10, 16, 15, 10, 11, 16, 13};
    for (size_t i = 0; ms > 0; ++i) {
      const uint64_t step = steps[i % 7];
      clock.Advance(step);
      ms -= static_cast<int64_t>(step);
      scheduler.Tick();
    }
  }
};

TEST(Scheduler, FiresOnceInTheScheduledSecondWhateverThePhaseOfTheTicks) {
  for (uint64_t phase : {0, 3, 7, 500, 993, 999}) {
    Ticking r;
    r.clock.now = {2026, 12, 7, 14, 29, 50};
    r.clock.Advance(phase);  // the boundaries now fall between ticks at this offset
    r.scheduler.Reload();
    r.For(20000);
    ASSERT_EQ(r.startedAt.size(), 1u) << "phase " << phase;
    EXPECT_EQ(r.startedAt[0], (DateTime{2026, 12, 7, 14, 30, 0})) << "phase " << phase;
    EXPECT_TRUE(r.flagAtStart[0]);
  }
}

TEST(Scheduler, AClockSetBackOverTheScheduledSecondStartsNoSecondScanButTheNextDayDoes) {
  Ticking r;
  r.clock.now = {2026, 10, 25, 14, 29, 58};
  r.scheduler.Reload();
  r.For(4000);
  ASSERT_EQ(r.startedAt.size(), 1u);
  // Set back a minute, as a user or a time server might.
  r.clock.now = {2026, 10, 25, 14, 29, 30};
  r.For(60000);
  EXPECT_EQ(r.startedAt.size(), 1u);
  r.clock.now = {2026, 10, 26, 14, 29, 59};
  r.For(3000);
  ASSERT_EQ(r.startedAt.size(), 2u);
  EXPECT_EQ(r.startedAt[1], (DateTime{2026, 10, 26, 14, 30, 0}));
}

TEST(Scheduler, AScheduleAppliedWithinItsOwnSecondStillFiresThen) {
  Ticking r;
  r.stored["Time"] = "Null";
  r.clock.now = {2026, 12, 7, 14, 29, 58};
  r.scheduler.Reload();
  r.For(2300);  // into 14:30:00, where the ticks rest until the next boundary
  ASSERT_TRUE(r.startedAt.empty());
  r.stored["Time"] = "2:30:00 PM";
  r.scheduler.Reload();
  r.For(20);
  ASSERT_EQ(r.startedAt.size(), 1u);
  EXPECT_EQ(r.startedAt[0], (DateTime{2026, 12, 7, 14, 30, 0}));
}

// The timer paced as the scheduler asks, each tick late by what a busy message loop adds:
// still exactly one start, in its second, yet far fewer wake-ups than a tick every 10 ms.
TEST(Scheduler, PacedByItsOwnIntervalItStillFiresInItsSecondAndOtherwiseRests) {
  static const uint64_t late[] = {0, 16, 900, 5, 400, 700, 12};
  for (uint64_t phase = 0; phase < 1000; phase += 37) {
    Ticking r;
    r.clock.now = {2026, 12, 7, 13, 45, 0};
    r.clock.Advance(phase);
    r.scheduler.Reload();
    int ticks = 0;
    for (size_t i = 0; r.clock.now < DateTime{2026, 12, 7, 14, 45, 0}; ++i, ++ticks) {
      r.clock.Advance(static_cast<uint64_t>(r.scheduler.intervalMs()) + late[(i + phase) % 7]);
      r.scheduler.Tick();
    }
    ASSERT_EQ(r.startedAt.size(), 1u) << "phase " << phase;
    EXPECT_EQ(r.startedAt[0], (DateTime{2026, 12, 7, 14, 30, 0})) << "phase " << phase;
    EXPECT_LT(ticks, 4000) << "an hour at 10 ms would be 360,000 ticks";
  }
}

}  // namespace
}  // namespace kx
