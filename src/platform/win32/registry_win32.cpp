#include <windows.h>

#include <algorithm>
#include <cstring>
#include <vector>

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

namespace kx::win32 {

namespace {

// NtQueryKey(KeyNameInformation): the key's name in the kernel's namespace, which shows
// where WOW64 redirection really put it. Missing on the Windows 95 family.
using NtQueryKeyFn = LONG(WINAPI*)(HANDLE key, int infoClass, void* info, ULONG length, ULONG* resultLength);
constexpr int kKeyNameInformation = 3;
constexpr LONG kBufferTooSmall = static_cast<LONG>(0xC0000023L);
constexpr LONG kBufferOverflow = static_cast<LONG>(0x80000005L);

NtQueryKeyFn NtQueryKeyEntry() {
  static NtQueryKeyFn fn = [] {
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll ? reinterpret_cast<NtQueryKeyFn>(reinterpret_cast<void*>(GetProcAddress(ntdll, "NtQueryKey")))
                 : nullptr;
  }();
  return fn;
}

std::optional<std::string> NativeName(HKEY key) {
  NtQueryKeyFn query = NtQueryKeyEntry();
  if (!query) return std::nullopt;
  std::vector<char> buf(512);
  for (int attempt = 0; attempt < 4; ++attempt) {
    ULONG need = 0;
    LONG st = query(key, kKeyNameInformation, buf.data(), static_cast<ULONG>(buf.size()), &need);
    if (st == kBufferTooSmall || st == kBufferOverflow) {
      if (need <= buf.size() || need > 1u << 20) return std::nullopt;
      buf.resize(need);
      continue;
    }
    if (st < 0 || buf.size() < sizeof(ULONG)) return std::nullopt;
    ULONG bytes = 0;
    memcpy(&bytes, buf.data(), sizeof bytes);
    if (bytes > buf.size() - sizeof(ULONG)) return std::nullopt;
    const auto* wide = reinterpret_cast<const WCHAR*>(buf.data() + sizeof(ULONG));
    int chars = static_cast<int>(bytes / sizeof(WCHAR));
    if (chars == 0) return std::string();
    int n = WideCharToMultiByte(CP_ACP, 0, wide, chars, nullptr, 0, nullptr, nullptr);
    if (n <= 0) return std::nullopt;
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_ACP, 0, wide, chars, out.data(), n, nullptr, nullptr);
    return out;
  }
  return std::nullopt;
}

bool StartsWithNoCase(const std::string& s, const std::string& prefix) {
  return s.size() >= prefix.size() && CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, s.data(),
                                                     static_cast<int>(prefix.size()), prefix.data(),
                                                     static_cast<int>(prefix.size())) == CSTR_EQUAL;
}

// What follows prefix when s starts with it and goes on with a separator or ends there.
std::optional<std::string> Below(const std::string& s, const std::string& prefix) {
  if (!StartsWithNoCase(s, prefix)) return std::nullopt;
  std::string rest = s.substr(prefix.size());
  if (!rest.empty() && rest[0] != '\\') return std::nullopt;
  return rest;
}

// The kernel's name of the current user's hive, "\REGISTRY\USER\S-1-5-21-...". Asked of a
// key every profile has, since HKCU itself opens as the predefined handle, which has no name.
std::optional<std::string> CurrentUserHive() {
  Key software;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, "Software", 0, KEY_QUERY_VALUE, &software.h) != ERROR_SUCCESS)
    return std::nullopt;
  auto native = NativeName(software.h);
  if (!native || !Below(*native, "\\REGISTRY\\USER")) return std::nullopt;
  size_t end = native->find('\\', strlen("\\REGISTRY\\USER\\"));
  if (end == std::string::npos) return std::nullopt;
  return native->substr(0, end);
}

// The kernel's name in regedit's terms. The current user's hive keeps its usual name, and
// so does its classes hive, which the system mounts at HKCU\Software\Classes.
std::optional<std::string> RegeditName(const std::string& native) {
  if (auto rest = Below(native, "\\REGISTRY\\MACHINE")) return "HKEY_LOCAL_MACHINE" + *rest;
  if (!Below(native, "\\REGISTRY\\USER")) return std::nullopt;
  if (auto user = CurrentUserHive()) {
    if (auto rest = Below(native, *user)) return "HKEY_CURRENT_USER" + *rest;
    if (auto rest = Below(native, *user + "_Classes")) return "HKEY_CURRENT_USER\\Software\\Classes" + *rest;
  }
  return "HKEY_USERS" + native.substr(strlen("\\REGISTRY\\USER"));
}

}  // namespace

std::optional<std::string> Win32Registry::RealKeyName(Hive hive, const std::string& path) {
  Key k;
  if (Open(hive, path, KEY_QUERY_VALUE, k) != ERROR_SUCCESS) return std::nullopt;
  if (auto native = NativeName(k.h))
    if (auto name = RegeditName(*native)) return name;
  // No kernel name (the Windows 95 family) or one outside the hives: no redirection either.
  return Registry::RealKeyName(hive, path);
}

}  // namespace kx::win32

namespace kx::win32 {

namespace {

// Registry keys nest at most this deep; a deeper walk is a loop through a link.
constexpr int kMaxDepth = 512;

// The text as the ANSI calls pass it on; nullopt when the code page has no reading of it.
std::optional<std::wstring> WideOf(const std::string& ansi) {
  if (ansi.empty()) return std::wstring();
  int n = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, ansi.data(), static_cast<int>(ansi.size()), nullptr, 0);
  if (n <= 0) return std::nullopt;
  std::wstring wide(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, ansi.data(), static_cast<int>(ansi.size()), wide.data(), n);
  return wide;
}

// Whether the ANSI calls give these characters back unchanged. Best-fit look-alikes
// ("a" for U+0101) are changes too.
bool InCodePage(const WCHAR* text, size_t chars) {
  if (chars == 0) return true;
  // A UTF-8 code page holds every character but a broken surrogate pair, and refuses to
  // report a default character.
  if (GetACP() == CP_UTF8)
    return WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, text, static_cast<int>(chars), nullptr, 0, nullptr,
                               nullptr) > 0;
  BOOL usedDefault = FALSE;
  int n = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text, static_cast<int>(chars), nullptr, 0, nullptr,
                              &usedDefault);
  return n > 0 && !usedDefault;
}

bool IsString(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ; }

bool NameExact(const WCHAR* name, DWORD chars) {
  // A NUL inside the name: no ANSI call can ask for it.
  return std::find(name, name + chars, L'\0') == name + chars && InCodePage(name, chars);
}

// The value's data as stored: other types pass through the ANSI calls untouched.
bool DataExact(HKEY key, const WCHAR* name) {
  DWORD type = 0, size = 0;
  LONG rc = RegQueryValueExW(key, name, nullptr, &type, nullptr, &size);
  if (rc != ERROR_SUCCESS) return false;
  if (!IsString(type)) return true;
  std::vector<BYTE> data;
  for (int attempt = 0;; ++attempt) {
    if (attempt > 4) return false;
    data.resize(size + 1);  // never empty, so the data is asked for
    DWORD got = size;
    rc = RegQueryValueExW(key, name, nullptr, &type, data.data(), &got);
    if (rc == ERROR_SUCCESS) {
      data.resize(got);
      break;
    }
    if (rc != ERROR_MORE_DATA) return false;
    size = got + 64;
  }
  if (!IsString(type)) return true;
  // Half a character at the end, which the ANSI call drops.
  if (data.size() % sizeof(WCHAR)) return false;
  std::wstring text(data.size() / sizeof(WCHAR), L'\0');
  if (!text.empty()) std::memcpy(text.data(), data.data(), data.size());
  return InCodePage(text.data(), text.size());
}

// Every value and subkey below the open key, through the wide calls. `name` is a buffer
// of the longest value name, shared down the walk.
bool SubtreeExact(HKEY key, int depth, std::vector<WCHAR>& name) {
  for (DWORD i = 0;; ++i) {
    DWORD len = static_cast<DWORD>(name.size());
    LONG rc = RegEnumValueW(key, i, name.data(), &len, nullptr, nullptr, nullptr, nullptr);
    if (rc == ERROR_NO_MORE_ITEMS) break;
    if (rc != ERROR_SUCCESS || !NameExact(name.data(), len) || !DataExact(key, name.data())) return false;
  }
  for (DWORD i = 0;; ++i) {
    WCHAR sub[256];
    DWORD len = 256;
    LONG rc = RegEnumKeyExW(key, i, sub, &len, nullptr, nullptr, nullptr, nullptr);
    if (rc == ERROR_NO_MORE_ITEMS) break;
    if (rc != ERROR_SUCCESS || !NameExact(sub, len) || depth >= kMaxDepth) return false;
    Key k;
    if (RegOpenKeyExW(key, sub, 0, KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS, &k.h) != ERROR_SUCCESS) return false;
    if (!SubtreeExact(k.h, depth + 1, name)) return false;
  }
  return true;
}

}  // namespace

RegStatus Win32Registry::ReadsExactly(Hive hive, const std::string& path, const std::optional<std::string>& value,
                                      bool& exact) {
  auto widePath = WideOf(path);
  auto wideName = value ? WideOf(*value) : std::optional<std::wstring>(std::wstring());
  // Bytes the code page does not define: whatever the ANSI calls reach by them, they are
  // not its name.
  if (!widePath || !wideName) return Registry::ReadsExactly(hive, path, value, exact);
  Key k;
  const REGSAM access = value ? KEY_QUERY_VALUE : KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS;
  if (LONG rc = RegOpenKeyExW(Root(hive), widePath->c_str(), 0, access, &k.h); rc != ERROR_SUCCESS)
    return StatusOf(rc);
  if (value) {
    if (LONG rc = RegQueryValueExW(k.h, wideName->c_str(), nullptr, nullptr, nullptr, nullptr); rc != ERROR_SUCCESS)
      return StatusOf(rc);
    exact = DataExact(k.h, wideName->c_str());
    return RegStatus::Ok;
  }
  std::vector<WCHAR> name(16384);  // the longest value name
  exact = SubtreeExact(k.h, 0, name);
  return RegStatus::Ok;
}

}  // namespace kx::win32
