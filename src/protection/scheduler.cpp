#include "protection/scheduler.h"

#include <cctype>
#include <climits>
#include <cstdlib>

namespace kx {

std::string ScheduleTimeText(const std::optional<DateTime>& picker) {
  return picker ? FormatUsTime(*picker) : kScheduleNull;
}

std::string ScheduleDateText(const std::optional<DateTime>& picker) {
  return picker ? FormatUsDate(*picker) : kScheduleNull;
}

std::optional<DateTime> ParseScheduleValue(const std::string& text) {
  if (text == kScheduleNull) return std::nullopt;
  return ParseUsDateTime(text);
}

int ParseScheduleDay(const std::string& text) {
  size_t b = 0, e = text.size();
  while (b < e && text[b] == ' ') ++b;
  while (e > b && text[e - 1] == ' ') --e;
  const std::string t = text.substr(b, e - b);
  if (t.empty() || t.size() > 9) return -1;
  for (char c : t)
    if (!std::isdigit(static_cast<unsigned char>(c))) return -1;
  return static_cast<int>(std::strtol(t.c_str(), nullptr, 10));
}

bool ScheduleDue(const Schedule& s, const DateTime& now) {
  if (!s.time || now.hour != s.time->hour || now.minute != s.time->minute || now.second != s.time->second)
    return false;
  if (s.day >= 0 && s.day <= 6) {
    // Index 0 is Monday; DayOfWeek counts 1 Sunday .. 7 Saturday.
    return now.DayOfWeek() == (s.day + 1) % 7 + 1;
  }
  if (s.day == kScheduleDaily) return true;
  if (s.day == kScheduleOnDate)
    return s.date && s.date->year == now.year && s.date->month == now.month && s.date->day == now.day;
  return false;
}

Scheduler::Scheduler(SchedulerInputs inputs) : in_(std::move(inputs)) {}

void Scheduler::Reload() {
  schedule_.day = ParseScheduleDay(in_.readSetting("Day", "7"));
  schedule_.time = ParseScheduleValue(in_.readSetting("Time", kScheduleNull));
  schedule_.date = ParseScheduleValue(in_.readSetting("Date", kScheduleNull));
  // A schedule changed within a second is compared again in that second.
  comparedSecond_.reset();
  quietUntilMs_.reset();
  intervalMs_ = kNearIntervalMs;
}

bool Scheduler::NearScheduledTime(const DateTime& now) const {
  if (!schedule_.time || schedule_.day < 0 || schedule_.day > kScheduleOnDate) return false;
  const auto ofDay = [](const DateTime& t) { return (t.hour * 60 + t.minute) * 60 + t.second; };
  const int ahead = ((ofDay(*schedule_.time) - ofDay(now)) % 86400 + 86400) % 86400;
  return ahead <= kNearSeconds;
}

int Scheduler::PaceNow() {
  intervalMs_ = NearScheduledTime(in_.clock.Now()) ? kNearIntervalMs : kFarIntervalMs;
  return intervalMs_;
}

void Scheduler::Tick() {
  // Within a second already compared nothing can fall due, and reading the local time is
  // the dearest part of a tick: after a second boundary has been seen between two ticks,
  // the clock is not read again until shortly before the next one.
  const uint64_t ms = in_.clock.TickMs();
  if (quietUntilMs_ && ms < *quietUntilMs_) return;
  const DateTime now = in_.clock.Now();
  const int64_t second = now.SerialSeconds();
  const bool changed = comparedSecond_ != second;
  if (changed) {
    const bool nextSecond = comparedSecond_ && second == *comparedSecond_ + 1;
    if (nextSecond && lookedAtMs_ && ms - *lookedAtMs_ <= kBoundaryWindowMs)
      quietUntilMs_ = ms + 1000 - kBoundaryWindowMs - kDriftMarginMs;
    else
      quietUntilMs_.reset();  // where the boundary lies is not known: look at every tick
  }
  lookedAtMs_ = ms;
  if (!changed) return;
  comparedSecond_ = second;
  intervalMs_ = NearScheduledTime(now) ? kNearIntervalMs : kFarIntervalMs;
  if (!ScheduleDue(schedule_, now) || startedFor_ == second) return;
  startedFor_ = second;
  const std::optional<bool> ticked = in_.autoDeleteTicked ? in_.autoDeleteTicked() : std::nullopt;
  if (in_.startScan) in_.startScan(ticked.value_or(true));
}

}  // namespace kx
