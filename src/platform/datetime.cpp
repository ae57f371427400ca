#include "platform/datetime.h"

#include <cctype>
#include <cstdio>

namespace kx {
namespace {

// Days from 1970-01-01 for a proleptic Gregorian date (Howard Hinnant's algorithm).
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void CivilFromDays(int64_t z, int& y, int& m, int& d) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  y = static_cast<int>(static_cast<int64_t>(yoe) + era * 400 + (m <= 2));
}

const int64_t kZeroDay = DaysFromCivil(1899, 12, 30);

bool ValidDate(int y, int m, int d) {
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (y < 100 || y > 9999 || m < 1 || m > 12 || d < 1) return false;
  const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
  return d <= kDays[m - 1] + (m == 2 && leap ? 1 : 0);
}

// Reads an unsigned number at p; false when none.
bool ReadNumber(const std::string& s, size_t& p, int& out, size_t maxDigits = 4) {
  size_t start = p;
  int v = 0;
  while (p < s.size() && std::isdigit(static_cast<unsigned char>(s[p])) && p - start < maxDigits) {
    v = v * 10 + (s[p] - '0');
    ++p;
  }
  if (p == start) return false;
  out = v;
  return true;
}

void SkipSpaces(const std::string& s, size_t& p) {
  while (p < s.size() && s[p] == ' ') ++p;
}

bool ParseTime(const std::string& s, size_t& p, DateTime& t) {
  int h = 0, mi = 0, se = 0;
  if (!ReadNumber(s, p, h, 2) || p >= s.size() || s[p] != ':') return false;
  ++p;
  if (!ReadNumber(s, p, mi, 2)) return false;
  if (p < s.size() && s[p] == ':') {
    ++p;
    if (!ReadNumber(s, p, se, 2)) return false;
  }
  SkipSpaces(s, p);
  if (p + 1 < s.size() + 1 && p < s.size()) {
    const char a = static_cast<char>(std::toupper(static_cast<unsigned char>(s[p])));
    if ((a == 'A' || a == 'P') && p + 1 < s.size() &&
        std::toupper(static_cast<unsigned char>(s[p + 1])) == 'M') {
      if (h < 1 || h > 12) return false;
      if (a == 'A' && h == 12) h = 0;
      if (a == 'P' && h != 12) h += 12;
      p += 2;
    }
  }
  if (h > 23 || mi > 59 || se > 59) return false;
  t.hour = h;
  t.minute = mi;
  t.second = se;
  return true;
}

}  // namespace

int DateTime::DayOfWeek() const {
  const int64_t days = DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day));
  // 1970-01-01 was a Thursday (5 in 1 = Sunday numbering).
  int64_t w = (days + 4) % 7;
  if (w < 0) w += 7;
  return static_cast<int>(w) + 1;
}

int64_t DateTime::SerialSeconds() const {
  const int64_t days = DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) - kZeroDay;
  return days * 86400 + hour * 3600 + minute * 60 + second;
}

DateTime DateTime::FromSerialSeconds(int64_t s) {
  int64_t days = s / 86400;
  int64_t rest = s % 86400;
  if (rest < 0) {
    rest += 86400;
    --days;
  }
  DateTime t;
  CivilFromDays(days + kZeroDay, t.year, t.month, t.day);
  t.hour = static_cast<int>(rest / 3600);
  t.minute = static_cast<int>(rest / 60 % 60);
  t.second = static_cast<int>(rest % 60);
  return t;
}

std::string FormatUsDate(const DateTime& t) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%d/%d/%d", t.month, t.day, t.year);
  return buf;
}

std::string FormatUsTime(const DateTime& t) {
  const int h12 = t.hour % 12 == 0 ? 12 : t.hour % 12;
  char buf[32];
  std::snprintf(buf, sizeof buf, "%d:%02d:%02d %s", h12, t.minute, t.second, t.hour < 12 ? "AM" : "PM");
  return buf;
}

std::string FormatUsDateTime(const DateTime& t) {
  if (!t.HasTime()) return FormatUsDate(t);
  return FormatUsDate(t) + " " + FormatUsTime(t);
}

std::optional<DateTime> ParseUsDateTime(const std::string& text) {
  size_t p = 0;
  SkipSpaces(text, p);
  DateTime t;
  const size_t save = p;
  int m = 0, d = 0, y = 0;
  if (ReadNumber(text, p, m, 2) && p < text.size() && text[p] == '/') {
    ++p;
    if (!ReadNumber(text, p, d, 2) || p >= text.size() || text[p] != '/') return std::nullopt;
    ++p;
    if (!ReadNumber(text, p, y, 4)) return std::nullopt;
    if (!ValidDate(y, m, d)) return std::nullopt;
    t.year = y;
    t.month = m;
    t.day = d;
    SkipSpaces(text, p);
    if (p < text.size() && !ParseTime(text, p, t)) return std::nullopt;
  } else {
    p = save;
    if (!ParseTime(text, p, t)) return std::nullopt;
  }
  SkipSpaces(text, p);
  if (p != text.size()) return std::nullopt;
  return t;
}

}  // namespace kx
