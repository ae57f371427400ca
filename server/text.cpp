#include "text.h"

#include <sys/stat.h>

#include <fstream>
#include <sstream>

#include <cctype>
#include <algorithm>
#include <cstdio>
#include <ctime>

namespace kxs {

std::string EncodeLine(std::string_view plain) {
  std::string out(plain.size(), '\0');
  for (size_t i = 0; i < plain.size(); ++i) {
    int c = static_cast<unsigned char>(plain[i]) + 64;
    if (c > 255) c -= 255;
    out[i] = static_cast<char>(c);
  }
  return out;
}

std::string DecodeLine(std::string_view encoded) {
  std::string out(encoded.size(), '\0');
  for (size_t i = 0; i < encoded.size(); ++i) {
    int c = static_cast<unsigned char>(encoded[i]) - 64;
    if (c < 0) c += 255;
    out[i] = static_cast<char>(c);
  }
  return out;
}

std::string EncodeBody(std::string_view plain) {
  std::string out = EncodeLine(plain);
  for (size_t i = 0; i < plain.size(); ++i)
    if (plain[i] == '|' || plain[i] == '=') out[i] = plain[i];
  return out;
}

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

bool EqualNoCase(std::string_view a, std::string_view b) { return a.size() == b.size() && Lower(a) == Lower(b); }

std::string Trim(std::string_view s) {
  size_t b = 0, e = s.size();
  while (b < e && (s[b] == ' ' || s[b] == '\t')) ++b;
  while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t')) --e;
  return std::string(s.substr(b, e - b));
}

namespace {

// Days since 1/1/1970 of a proleptic Gregorian date (H. Hinnant's algorithm).
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void CivilFromDays(int64_t z, int64_t& y, unsigned& m, unsigned& d) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  d = doy - (153 * mp + 2) / 5 + 1;
  m = mp < 10 ? mp + 3 : mp - 9;
  y = static_cast<int64_t>(yoe) + era * 400 + (m <= 2);
}

unsigned DaysInMonth(int64_t y, unsigned m) {
  static const unsigned days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
  return m == 2 && leap ? 29 : days[m - 1];
}

// Reads 1 to max_digits decimal digits.
bool Number(std::string_view s, size_t& i, size_t max_digits, int64_t& out) {
  size_t start = i;
  out = 0;
  while (i < s.size() && i - start < max_digits && std::isdigit(static_cast<unsigned char>(s[i])))
    out = out * 10 + (s[i++] - '0');
  return i > start;
}

}  // namespace

std::optional<Seconds> ParseDate(std::string_view text) {
  const std::string s = Trim(text);
  size_t i = 0;
  int64_t mo, d, y, h = 0, mi = 0, se = 0;
  if (!Number(s, i, 2, mo) || i >= s.size() || s[i++] != '/') return std::nullopt;
  if (!Number(s, i, 2, d) || i >= s.size() || s[i++] != '/') return std::nullopt;
  const size_t year_start = i;
  if (!Number(s, i, 4, y) || i - year_start != 4) return std::nullopt;
  if (mo < 1 || mo > 12 || y < 1000 || d < 1 || d > DaysInMonth(y, static_cast<unsigned>(mo))) return std::nullopt;
  if (i < s.size()) {
    if (s[i] != ' ') return std::nullopt;
    while (i < s.size() && s[i] == ' ') ++i;
    if (!Number(s, i, 2, h) || i >= s.size() || s[i++] != ':' || !Number(s, i, 2, mi)) return std::nullopt;
    if (i < s.size() && s[i] == ':' && (++i, !Number(s, i, 2, se))) return std::nullopt;
    while (i < s.size() && s[i] == ' ') ++i;
    const std::string suffix = Lower(s.substr(i));
    if (suffix == "am" || suffix == "pm") {
      if (h < 1 || h > 12) return std::nullopt;
      h = (h % 12) + (suffix == "pm" ? 12 : 0);
    } else if (!suffix.empty() || h > 23) {
      return std::nullopt;
    }
    if (mi > 59 || se > 59) return std::nullopt;
  }
  return DaysFromCivil(y, static_cast<unsigned>(mo), static_cast<unsigned>(d)) * 86400 + h * 3600 + mi * 60 + se;
}

std::string FormatDate(Seconds t) {
  int64_t days = t >= 0 ? t / 86400 : -((-t + 86399) / 86400);
  int64_t rest = t - days * 86400;
  int64_t y;
  unsigned m, d;
  CivilFromDays(days, y, m, d);
  std::string out = std::to_string(m) + "/" + std::to_string(d) + "/" + std::to_string(y);
  if (rest == 0) return out;
  const int64_t h = rest / 3600, mi = rest / 60 % 60, se = rest % 60;
  char buf[32];
  std::snprintf(buf, sizeof buf, " %d:%02d:%02d %s", static_cast<int>(h % 12 == 0 ? 12 : h % 12),
                static_cast<int>(mi), static_cast<int>(se), h < 12 ? "AM" : "PM");
  return out + buf;
}

Seconds NowLocal() {
  const std::time_t now = std::time(nullptr);
  std::tm tm{};
  localtime_r(&now, &tm);
  return DaysFromCivil(tm.tm_year + 1900, static_cast<unsigned>(tm.tm_mon + 1), static_cast<unsigned>(tm.tm_mday)) *
             86400 + tm.tm_hour * 3600 + tm.tm_min * 60 + std::min(tm.tm_sec, 59);
}

bool ReadRegularFile(const std::string& path, std::string& out) {
  struct stat st{};
  if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  std::ifstream f(path, std::ios::binary);
  if (!f) return false;
  std::ostringstream s;
  s << f.rdbuf();
  out = s.str();
  return true;
}

}  // namespace kxs
