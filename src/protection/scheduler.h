// Scheduled scans: a scan that starts by itself on a weekday, every day or once on a date,
// at a time of day, optionally followed by removal without asking. The schedule is read
// from the settings when it changes, not on every tick of the 10 ms timer that drives it.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "platform/datetime.h"
#include "platform/services.h"

namespace kx {

// The entries of the day list, by index: 0 Monday .. 6 Sunday, then these.
inline constexpr int kScheduleDaily = 7;
inline constexpr int kScheduleOnDate = 8;
inline constexpr int kScheduleNever = 9;

inline constexpr const char* kScheduleSection = "OptionAndSettings";
inline constexpr const char* kScheduleNull = "Null";

struct Schedule {
  int day = kScheduleDaily;            // the day list's index; anything outside 0..8 never fires
  std::optional<DateTime> time;        // only its time of day counts; none never fires
  std::optional<DateTime> date;        // only its date counts, for kScheduleOnDate
};

// The stored forms of the pickers' values, in the US general format: "2:30:00 PM" for the
// time picker, "12/9/2026" for the date picker, "Null" for an empty one.
std::string ScheduleTimeText(const std::optional<DateTime>& picker);
std::string ScheduleDateText(const std::optional<DateTime>& picker);
// A stored value back; nullopt for "Null" and for text that is no date or time.
std::optional<DateTime> ParseScheduleValue(const std::string& text);
// "Day" as stored; -1 (never fires) when it is not a whole number.
int ParseScheduleDay(const std::string& text);

// True when the schedule falls on this second of local time. Weekdays are compared as
// numbers, so the system's language for day names plays no part.
bool ScheduleDue(const Schedule& schedule, const DateTime& now);

struct SchedulerInputs {
  // A value of the schedule's settings section.
  std::function<std::string(const std::string& key, const std::string& def)> readSetting;
  Clock& clock;
  // The scan's start: does nothing unless a scan may start; returns when the scan has
  // ended. autoDelete: remove what it finds without asking, for this scan only.
  std::function<void(bool autoDelete)> startScan;
  // The "delete automatically" box: nullopt when it cannot be read.
  std::function<std::optional<bool>()> autoDeleteTicked;
};

class Scheduler {
 public:
  explicit Scheduler(SchedulerInputs inputs);

  // Reads "Day", "Time" and "Date" again: at start-up and whenever the page changes them.
  void Reload();
  // One timer tick: starts the scan when the schedule falls on the current second, at most
  // once for that second; the auto-delete flag is set only around that scan.
  void Tick();

  const Schedule& schedule() const { return schedule_; }

  // How often the timer needs to tick: every 10 ms from a few seconds before the scheduled
  // time of day, once a second otherwise. A tick a second cannot step over the near
  // stretch, so a scan still starts in its own second, while the idle program wakes a
  // hundredth as often. 10 ms again after a reload, until the next tick has looked.
  int intervalMs() const { return intervalMs_; }
  // The interval for a timer armed now, from the clock: a timer stopped a while (window
  // shown, scan running) may come back inside the near stretch, where the last tick's
  // answer would step over the scheduled second.
  int PaceNow();
  static constexpr int kNearIntervalMs = 10, kFarIntervalMs = 1000;

 private:
  SchedulerInputs in_;
  Schedule schedule_;
  // The clock's second last compared: the 10 ms timer sees each second about a hundred
  // times, and the answer cannot change within it unless the schedule does.
  std::optional<int64_t> comparedSecond_;
  // Two looks at the clock at most this far apart that saw the second change place the
  // boundary; the tick count and the wall clock may drift apart by the margin (the tick
  // count moves in steps of up to 16 ms on Windows).
  static constexpr uint64_t kBoundaryWindowMs = 50, kDriftMarginMs = 100;
  std::optional<uint64_t> lookedAtMs_, quietUntilMs_;
  // The local date and time a scan last started for, so a scan that ends within its
  // second, or a clock set back over it, does not start another.
  std::optional<int64_t> startedFor_;
  int intervalMs_ = kNearIntervalMs;
  // Seconds before the scheduled time from which the timer ticks fast.
  static constexpr int kNearSeconds = 3;
  bool NearScheduledTime(const DateTime& now) const;
};

}  // namespace kx
