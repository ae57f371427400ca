#include "platform/services.h"

namespace kx {

RegResult::RegResult(RegStatus s) : status(s) {
  switch (s) {
    case RegStatus::Ok: error = ERR_SUCCESS; break;
    case RegStatus::NotFound: error = ERR_FILE_NOT_FOUND; break;
    case RegStatus::AccessDenied: error = ERR_ACCESS_DENIED; break;
    case RegStatus::Failed: error = ERR_INVALID_PARAMETER; break;
  }
}

RegResult RegResult::OfCode(uint32_t code) {
  switch (code) {
    case ERR_SUCCESS: return {RegStatus::Ok, code};
    case ERR_FILE_NOT_FOUND:
    case ERR_PATH_NOT_FOUND: return {RegStatus::NotFound, code};
    case ERR_ACCESS_DENIED: return {RegStatus::AccessDenied, code};
    default: return {RegStatus::Failed, code};
  }
}

RegValue RegValue::String(const std::string& s, uint32_t type) {
  RegValue v;
  v.type = type;
  v.data = s;
  v.data.push_back('\0');
  return v;
}

RegValue RegValue::Dword(uint32_t x) {
  RegValue v;
  v.type = REGT_DWORD;
  for (int i = 0; i < 4; ++i) v.data.push_back(static_cast<char>((x >> (8 * i)) & 0xFF));
  return v;
}

std::optional<std::string> RegValue::AsString() const {
  if (type != REGT_SZ && type != REGT_EXPAND_SZ) return std::nullopt;
  // Stored strings need not end with a NUL (any program may write one without it).
  return data.substr(0, data.find('\0'));
}

std::optional<uint32_t> RegValue::AsDword() const {
  if (type != REGT_DWORD || data.size() != 4) return std::nullopt;
  uint32_t x = 0;
  for (int i = 3; i >= 0; --i) x = (x << 8) | static_cast<unsigned char>(data[i]);
  return x;
}

const char* HiveName(Hive hive) {
  switch (hive) {
    case Hive::ClassesRoot: return "HKEY_CLASSES_ROOT";
    case Hive::CurrentUser: return "HKEY_CURRENT_USER";
    case Hive::LocalMachine: return "HKEY_LOCAL_MACHINE";
    case Hive::Users: return "HKEY_USERS";
    case Hive::CurrentConfig: return "HKEY_CURRENT_CONFIG";
  }
  return "";
}

std::optional<std::string> Registry::RealKeyName(Hive hive, const std::string& path) {
  if (OpenKey(hive, path, REGA_QUERY_VALUE) != RegStatus::Ok) return std::nullopt;
  std::string name = HiveName(hive);
  // Written as regedit writes it: no doubled, leading or trailing separators.
  for (size_t i = 0; i < path.size();) {
    size_t end = path.find('\\', i);
    if (end == std::string::npos) end = path.size();
    if (end > i) {
      name += '\\';
      name.append(path, i, end - i);
    }
    i = end + 1;
  }
  return name;
}

RegStatus Registry::ReadsExactly(Hive hive, const std::string& path, const std::optional<std::string>& value,
                                 bool& exact) {
  RegStatus s = OpenKey(hive, path, REGA_QUERY_VALUE);
  RegValue ignored;
  if (s == RegStatus::Ok && value) s = QueryValue(hive, path, *value, ignored);
  if (s == RegStatus::Ok) exact = false;
  return s;
}

}  // namespace kx
