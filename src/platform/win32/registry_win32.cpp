#include <windows.h>

#include "platform/win32/services_win32.h"

namespace kx::win32 {

namespace {

HKEY Root(Hive h) { return reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(static_cast<uint32_t>(h))); }

RegResult ResultOf(LONG rc) { return RegResult::OfCode(static_cast<uint32_t>(rc)); }
RegStatus StatusOf(LONG rc) { return ResultOf(rc).status; }

struct Key {
  HKEY h = nullptr;
  ~Key() {
    if (h) RegCloseKey(h);
  }
};

LONG Open(Hive hive, const std::string& path, REGSAM access, Key& key) {
  return RegOpenKeyExA(Root(hive), path.c_str(), 0, access, &key.h);
}

// Windows asks for the right to create subkeys on the parent of the first missing key;
// Wine does not, so it is asked here. ERROR_SUCCESS when the key exists or may be made.
LONG MayCreate(Hive hive, std::string path) {
  while (!path.empty() && path.back() == '\\') path.pop_back();
  Key existing;
  if (Open(hive, path, KEY_QUERY_VALUE, existing) == ERROR_SUCCESS) return ERROR_SUCCESS;
  while (!path.empty()) {
    size_t slash = path.find_last_of('\\');
    path = slash == std::string::npos ? std::string() : path.substr(0, slash);
    Key parent;
    LONG rc = Open(hive, path, KEY_CREATE_SUB_KEY, parent);
    if (rc != ERROR_FILE_NOT_FOUND) return rc;
  }
  return ERROR_SUCCESS;
}

// Depth first: RegDeleteTree is missing before Vista.
LONG DeleteBelow(HKEY parent, const std::string& name) {
  HKEY h = nullptr;
  LONG rc = RegOpenKeyExA(parent, name.c_str(), 0, KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE | DELETE, &h);
  if (rc != ERROR_SUCCESS) return rc;
  for (;;) {
    char sub[256];
    DWORD len = sizeof sub;
    // Always the first subkey: the list shrinks as they go.
    LONG e = RegEnumKeyExA(h, 0, sub, &len, nullptr, nullptr, nullptr, nullptr);
    if (e == ERROR_NO_MORE_ITEMS) break;
    if (e != ERROR_SUCCESS) {
      RegCloseKey(h);
      return e;
    }
    e = DeleteBelow(h, std::string(sub, len));
    if (e != ERROR_SUCCESS) {
      RegCloseKey(h);
      return e;
    }
  }
  RegCloseKey(h);
  return RegDeleteKeyA(parent, name.c_str());
}

// Lists the names of a key's subkeys or values, asking for the right the listing needs.
template <typename Next>
RegStatus EnumNames(Hive hive, const std::string& path, REGSAM access, Next next, std::vector<std::string>& out) {
  Key k;
  if (LONG rc = Open(hive, path, access, k); rc != ERROR_SUCCESS) return StatusOf(rc);
  std::vector<std::string> names;
  std::string name(16384, '\0');  // the longest value name; key names stop at 255
  for (DWORD i = 0;; ++i) {
    DWORD len = static_cast<DWORD>(name.size());
    LONG rc = next(k.h, i, name.data(), &len);
    if (rc == ERROR_NO_MORE_ITEMS) break;
    if (rc != ERROR_SUCCESS) return StatusOf(rc);
    names.emplace_back(name.data(), len);
  }
  out = std::move(names);
  return RegStatus::Ok;
}

}  // namespace

RegStatus Win32Registry::OpenKey(Hive hive, const std::string& path, uint32_t access) {
  Key k;
  return StatusOf(Open(hive, path, access, k));
}

RegStatus Win32Registry::QueryValue(Hive hive, const std::string& path, const std::string& name,
                                    RegValue& out) {
  Key k;
  if (LONG rc = Open(hive, path, KEY_QUERY_VALUE, k); rc != ERROR_SUCCESS) return StatusOf(rc);
  DWORD type = 0, size = 0;
  LONG rc = RegQueryValueExA(k.h, name.c_str(), nullptr, &type, nullptr, &size);
  std::string data;
  // The value may grow between the two calls; ask again until it fits.
  for (int attempt = 0; rc == ERROR_SUCCESS || rc == ERROR_MORE_DATA; ++attempt) {
    if (attempt > 4) return RegStatus::Failed;
    data.resize(size);
    DWORD got = size;
    rc = RegQueryValueExA(k.h, name.c_str(), nullptr, &type,
                          reinterpret_cast<BYTE*>(data.data()), &got);
    if (rc == ERROR_SUCCESS) {
      data.resize(got);
      out.type = type;
      out.data = std::move(data);
      return RegStatus::Ok;
    }
    if (rc == ERROR_MORE_DATA) size = got + 64;
  }
  return StatusOf(rc);
}

RegResult Win32Registry::SetValue(Hive hive, const std::string& path, const std::string& name,
                                  const RegValue& value) {
  Key k;
  if (LONG rc = Open(hive, path, KEY_SET_VALUE, k); rc != ERROR_SUCCESS) return ResultOf(rc);
  return ResultOf(RegSetValueExA(k.h, name.c_str(), 0, value.type,
                                 reinterpret_cast<const BYTE*>(value.data.data()),
                                 static_cast<DWORD>(value.data.size())));
}

RegResult Win32Registry::CreateKey(Hive hive, const std::string& path) {
  if (LONG rc = MayCreate(hive, path); rc != ERROR_SUCCESS) return ResultOf(rc);
  Key k;
  return ResultOf(RegCreateKeyExA(Root(hive), path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                  KEY_QUERY_VALUE, nullptr, &k.h, nullptr));
}

RegResult Win32Registry::DeleteValue(Hive hive, const std::string& path, const std::string& name) {
  Key k;
  if (LONG rc = Open(hive, path, KEY_SET_VALUE, k); rc != ERROR_SUCCESS) return ResultOf(rc);
  return ResultOf(RegDeleteValueA(k.h, name.c_str()));
}

RegResult Win32Registry::DeleteTree(Hive hive, const std::string& path) {
  std::string p = path;
  while (!p.empty() && p.back() == '\\') p.pop_back();
  size_t slash = p.find_last_of('\\');
  if (p.empty()) return {RegStatus::Failed, ERROR_INVALID_PARAMETER};
  if (slash == std::string::npos) return ResultOf(DeleteBelow(Root(hive), p));
  Key parent;
  if (LONG rc = Open(hive, p.substr(0, slash), KEY_ENUMERATE_SUB_KEYS, parent); rc != ERROR_SUCCESS)
    return ResultOf(rc);
  return ResultOf(DeleteBelow(parent.h, p.substr(slash + 1)));
}

RegStatus Win32Registry::EnumSubkeys(Hive hive, const std::string& path, std::vector<std::string>& out) {
  return EnumNames(hive, path, KEY_ENUMERATE_SUB_KEYS,
                   [](HKEY h, DWORD i, char* name, DWORD* len) {
                     return RegEnumKeyExA(h, i, name, len, nullptr, nullptr, nullptr, nullptr);
                   },
                   out);
}

RegStatus Win32Registry::EnumValues(Hive hive, const std::string& path, std::vector<std::string>& out) {
  return EnumNames(hive, path, KEY_QUERY_VALUE,
                   [](HKEY h, DWORD i, char* name, DWORD* len) {
                     return RegEnumValueA(h, i, name, len, nullptr, nullptr, nullptr, nullptr);
                   },
                   out);
}

}  // namespace kx::win32
