#include "scan/registry_related.h"

#include <cstdlib>

#include "definitions/hive.h"
#include "core/text.h"

namespace kx {

std::string ModRegistryRelated::HiveName(int64_t hive) {
  switch (hive) {
    case -2147483648LL: return "HKEY_CLASSES_ROOT";
    case -2147483647LL: return "HKEY_CURRENT_USER";
    case -2147483646LL: return "HKEY_LOCAL_MACHINE";
    case -2147483645LL: return "HKEY_USERS";
    case -2147483643LL: return "HKEY_CURRENT_CONFIG";
    case -2147483642LL: return "HKEY_DYN_DATA";
    default: return "";
  }
}

bool ModRegistryRelated::RegistryKeyExists(int64_t hive, const std::string& key) {
  return registry_.OpenKey(ToHive(hive), key, REGA_ALL_0x3F) == RegStatus::Ok;
}

bool ModRegistryRelated::ReadRegistryValue(int64_t hive, const std::string& key, const std::string& valueName,
                                           std::string& value) {
  value.clear();
  if (registry_.OpenKey(ToHive(hive), key, REGA_ALL_0x3F) != RegStatus::Ok) return false;
  RegValue v;
  if (registry_.QueryValue(ToHive(hive), key, valueName, v) != RegStatus::Ok) return false;
  switch (v.type) {
    case REGT_SZ:
    case REGT_EXPAND_SZ:
      // The data length minus one character: the terminating NUL goes.
      value = v.data.empty() ? std::string() : v.data.substr(0, v.data.size() - 1);
      return true;
    case REGT_DWORD: {
      uint32_t n = 0;
      for (size_t i = 0; i < 4 && i < v.data.size(); ++i) n |= uint32_t(static_cast<unsigned char>(v.data[i])) << (8 * i);
      value = std::to_string(n);
      return true;
    }
    default:
      return false;
  }
}

namespace {
// A number as a numeric test of text accepts it: optional blanks and sign, digits, an
// optional fraction; the stored number is the whole part.
bool AsNumber(const std::string& s, uint32_t& out) {
  std::string t = Trim(s);
  if (t.empty() || t.find_first_not_of("0123456789+-.") != std::string::npos) return false;
  char* end = nullptr;
  double v = std::strtod(t.c_str(), &end);
  if (*end != '\0' || v < -2147483648.0 || v > 4294967295.0) return false;
  out = static_cast<uint32_t>(static_cast<int64_t>(v));
  return true;
}
}  // namespace

RegResult ModRegistryRelated::WriteRegistryValue(int64_t hive, const std::string& key, const std::string& valueName,
                                                 const std::string& value) {
  if (RegResult made = registry_.CreateKey(ToHive(hive), key); !made.ok()) return made;
  uint32_t n = 0;
  if (AsNumber(value, n)) return registry_.SetValue(ToHive(hive), key, valueName, RegValue::Dword(n));
  return registry_.SetValue(ToHive(hive), key, valueName, RegValue::String(Trim(value)));
}

}  // namespace kx
