#include "definitions/hive.h"

#include <cmath>

namespace kx {

namespace {

// Val(): skips spaces, tabs and line feeds anywhere, then takes the longest leading
// decimal number (sign, digits, fraction, exponent). No number at all gives 0.
double ValOf(std::string_view text) {
  std::string s;
  for (char c : text)
    if (c != ' ' && c != '\t' && c != '\n') s += c;
  size_t i = 0;
  bool negative = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
  double value = 0;
  bool digits = false;
  for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) {
    value = value * 10 + (s[i] - '0');
    digits = true;
    if (value > 1e18) return 1e18;  // far outside every code; stops the growth
  }
  if (i < s.size() && s[i] == '.') {
    double scale = 0.1;
    for (++i; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i, scale /= 10) {
      value += (s[i] - '0') * scale;
      digits = true;
    }
  }
  if (digits && i < s.size() && (s[i] == 'e' || s[i] == 'E' || s[i] == 'd' || s[i] == 'D')) {
    size_t j = i + 1;
    bool negExp = false;
    if (j < s.size() && (s[j] == '+' || s[j] == '-')) negExp = s[j++] == '-';
    int exponent = 0;
    bool expDigits = false;
    for (; j < s.size() && s[j] >= '0' && s[j] <= '9'; ++j) {
      if (exponent < 1000) exponent = exponent * 10 + (s[j] - '0');
      expDigits = true;
    }
    if (expDigits) value *= std::pow(10.0, negExp ? -exponent : exponent);
  }
  return negative ? -value : value;
}

}  // namespace

HiveCode HiveFromCode(std::string_view codeText) {
  double code = ValOf(codeText);
  if (code == 0) return {static_cast<int32_t>(0x80000000u), "HKEY_CLASSES_ROOT"};
  if (code == 1) return {static_cast<int32_t>(0x80000001u), "HKEY_CURRENT_USER"};
  if (code == 2) return {static_cast<int32_t>(0x80000002u), "HKEY_LOCAL_MACHINE"};
  if (code == 3) return {static_cast<int32_t>(0x80000003u), "HKEY_USERS"};
  if (code == 4) return {static_cast<int32_t>(0x80000005u), "HKEY_CURRENT_CONFIG"};
  if (code == 5) return {static_cast<int32_t>(0x80000006u), "HKEY_DYN_DATA"};
  return {};
}

std::optional<Hive> HiveOfHandle(int32_t handle) {
  switch (static_cast<uint32_t>(handle)) {
    case 0x80000000u: return Hive::ClassesRoot;
    case 0x80000001u: return Hive::CurrentUser;
    case 0x80000002u: return Hive::LocalMachine;
    case 0x80000003u: return Hive::Users;
    case 0x80000005u: return Hive::CurrentConfig;
    default: return std::nullopt;
  }
}

}  // namespace kx
