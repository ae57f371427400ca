// A local date and time, written and read in the United States general format
// ("3/16/2006 10:15:02 AM"; midnight is written without the time), whatever the locale.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace kx {

struct DateTime {
  int year = 1899, month = 12, day = 30;  // the classic zero date
  int hour = 0, minute = 0, second = 0;

  bool HasTime() const { return hour || minute || second; }
  int DayOfWeek() const;  // 1 Sunday .. 7 Saturday
  int64_t SerialSeconds() const;  // seconds since 12/30/1899, for comparisons
  static DateTime FromSerialSeconds(int64_t s);
  DateTime DateOnly() const { return {year, month, day, 0, 0, 0}; }

  friend bool operator==(const DateTime&, const DateTime&) = default;
  friend auto operator<=>(const DateTime& a, const DateTime& b) { return a.SerialSeconds() <=> b.SerialSeconds(); }
};

std::string FormatUsDateTime(const DateTime& t);  // "3/16/2006 10:15:02 AM", "3/16/2006"
std::string FormatUsDate(const DateTime& t);      // "3/16/2006"
std::string FormatUsTime(const DateTime& t);      // "10:15:02 AM"
// Accepts what FormatUsDateTime writes, a date alone, or a time alone (on the zero date).
std::optional<DateTime> ParseUsDateTime(const std::string& text);

}  // namespace kx
