#include <windows.h>
#include <objbase.h>
#include <psapi.h>
#include <tlhelp32.h>
#include <wbemidl.h>

#include <cstring>

#include "platform/win32/module_path_win32.h"
#include "platform/win32/services_win32.h"

namespace kx::win32 {

namespace {

struct Proc {
  HANDLE h;
  Proc(DWORD access, uint32_t pid) : h(OpenProcess(access, FALSE, pid)) {}
  ~Proc() {
    if (h) CloseHandle(h);
  }
};

constexpr DWORD kQueryRead = PROCESS_QUERY_INFORMATION | PROCESS_VM_READ;

std::string Trim(const char* s) { return std::string(s, strnlen(s, MAX_PATH)); }

template <class T>
struct ComPtr {
  T* p = nullptr;
  ~ComPtr() {
    if (p) p->Release();
  }
  T** operator&() { return &p; }
  T* operator->() { return p; }
};

}  // namespace

std::vector<uint32_t> Win32Processes::EnumIds() {
  // Start with 128 ids and double while the answer fills the buffer.
  std::vector<DWORD> ids(128);
  for (;;) {
    DWORD bytes = 0;
    if (!EnumProcesses(ids.data(), static_cast<DWORD>(ids.size() * sizeof(DWORD)), &bytes)) return {};
    if (bytes < ids.size() * sizeof(DWORD) || ids.size() >= (1u << 20)) {
      ids.resize(bytes / sizeof(DWORD));
      return {ids.begin(), ids.end()};
    }
    ids.resize(ids.size() * 2);
  }
}

namespace {

// The name of a process's first module, through GetModuleFileNameExA or GetModuleBaseNameA.
template <typename NameOf>
std::optional<std::string> FirstModuleName(HANDLE process, NameOf nameOf) {
  HMODULE mods[50];
  DWORD needed = 0;
  if (!EnumProcessModules(process, mods, sizeof mods, &needed) || needed == 0) return std::nullopt;
  return ReadGrowingName([&](char* buf, uint32_t size) { return nameOf(process, mods[0], buf, size); });
}

}  // namespace

std::optional<std::string> Win32Processes::ModulePath(uint32_t pid) {
  Proc p(kQueryRead, pid);
  if (!p.h) return std::nullopt;
  return FirstModuleName(p.h, GetModuleFileNameExA);
}

std::optional<std::string> Win32Processes::ModuleBaseName(uint32_t pid) {
  Proc p(kQueryRead, pid);
  if (!p.h) return std::nullopt;
  return FirstModuleName(p.h, GetModuleBaseNameA);
}

namespace {

// QueryFullProcessImageNameA is Vista's; looked up so the program still loads on XP.
std::optional<std::string> ImageNameOf(uint32_t pid) {
  using QueryFn = BOOL(WINAPI*)(HANDLE, DWORD, LPSTR, PDWORD);
  static const auto query = reinterpret_cast<QueryFn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "QueryFullProcessImageNameA")));
  if (!query) return std::nullopt;
  constexpr DWORD kQueryLimited = 0x1000;  // PROCESS_QUERY_LIMITED_INFORMATION
  Proc p(kQueryLimited, pid);
  if (!p.h) return std::nullopt;
  return ReadGrowingName([&](char* buf, uint32_t size) -> uint32_t {
    DWORD n = size;
    if (!query(p.h, 0, buf, &n)) return GetLastError() == ERROR_INSUFFICIENT_BUFFER ? size : 0;
    return n;
  });
}

}  // namespace

std::optional<ProcessImage> Win32Processes::Image(uint32_t pid) {
  {
    Proc p(kQueryRead, pid);
    if (p.h) {
      auto path = FirstModuleName(p.h, GetModuleFileNameExA);
      auto base = path ? FirstModuleName(p.h, GetModuleBaseNameA) : std::nullopt;
      if (path && base) return ProcessImage{*base, *path};
    }
  }
  auto path = ImageNameOf(pid);
  if (!path || path->empty()) return std::nullopt;
  const size_t slash = path->find_last_of('\\');
  return ProcessImage{slash == std::string::npos ? *path : path->substr(slash + 1), *path};
}

bool Win32Processes::Terminate(uint32_t pid, uint32_t exitCode) {
  Proc p(PROCESS_TERMINATE | SYNCHRONIZE | PROCESS_QUERY_INFORMATION, pid);
  if (!p.h) return false;
  DWORD code = 0;
  // An ended process whose object lingers (someone holds a handle) is not terminated again.
  if (GetExitCodeProcess(p.h, &code) && code != STILL_ACTIVE) return false;
  return TerminateProcess(p.h, exitCode) != 0;
}

std::optional<uint32_t> Win32Processes::ExitCode(uint32_t pid) {
  Proc p(PROCESS_QUERY_INFORMATION, pid);
  if (!p.h) return std::nullopt;
  DWORD code = 0;
  if (!GetExitCodeProcess(p.h, &code) || code == STILL_ACTIVE) return std::nullopt;
  return code;
}

bool Win32Processes::WaitForExit(uint32_t pid, uint32_t milliseconds) {
  Proc p(SYNCHRONIZE, pid);
  if (!p.h) return GetLastError() == ERROR_INVALID_PARAMETER;  // no such process: it has ended
  return WaitForSingleObject(p.h, milliseconds) == WAIT_OBJECT_0;
}

bool Win32Processes::EnableDebugPrivilege() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) return false;
  TOKEN_PRIVILEGES tp{};
  bool ok = LookupPrivilegeValueA(nullptr, "SeDebugPrivilege", &tp.Privileges[0].Luid);
  if (ok) {
    tp.PrivilegeCount = 1;
    tp.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    // Succeeds without granting when the token lacks it; that shows only in the last error.
    ok = AdjustTokenPrivileges(token, FALSE, &tp, sizeof tp, nullptr, nullptr) &&
         GetLastError() == ERROR_SUCCESS;
  }
  CloseHandle(token);
  return ok;
}

void Win32Processes::DisableDebugPrivilege() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) return;
  TOKEN_PRIVILEGES tp{};
  if (LookupPrivilegeValueA(nullptr, "SeDebugPrivilege", &tp.Privileges[0].Luid)) {
    tp.PrivilegeCount = 1;
    tp.Privileges[0].Attributes = 0;
    AdjustTokenPrivileges(token, FALSE, &tp, sizeof tp, nullptr, nullptr);
  }
  CloseHandle(token);
}

std::vector<ProcessEntry> Win32Processes::Snapshot() {
  std::vector<ProcessEntry> out;
  HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snap == INVALID_HANDLE_VALUE) return out;
  PROCESSENTRY32 pe{};
  pe.dwSize = sizeof pe;
  for (BOOL more = Process32First(snap, &pe); more; more = Process32Next(snap, &pe))
    out.push_back({pe.th32ProcessID, Trim(pe.szExeFile)});
  CloseHandle(snap);
  return out;
}

std::optional<std::vector<std::string>> Win32Processes::WmiProcessNames() {
  // The calling thread may already be in an apartment of either kind; only undo our own.
  HRESULT init = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  bool mustUninit = SUCCEEDED(init);
  if (FAILED(init) && init != RPC_E_CHANGED_MODE) return std::nullopt;
  std::optional<std::vector<std::string>> result;
  {
    ComPtr<IWbemLocator> locator;
    ComPtr<IWbemServices> services;
    ComPtr<IEnumWbemClassObject> rows;
    BSTR ns = SysAllocString(L"root\\cimv2");
    BSTR lang = SysAllocString(L"WQL");
    BSTR query = SysAllocString(L"select * from Win32_Process");
    if (SUCCEEDED(CoCreateInstance(CLSID_WbemLocator, nullptr, CLSCTX_INPROC_SERVER, IID_IWbemLocator,
                                   reinterpret_cast<void**>(&locator))) &&
        SUCCEEDED(locator->ConnectServer(ns, nullptr, nullptr, nullptr, 0, nullptr, nullptr, &services))) {
      CoSetProxyBlanket(services.p, RPC_C_AUTHN_WINNT, RPC_C_AUTHZ_NONE, nullptr, RPC_C_AUTHN_LEVEL_CALL,
                        RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE);
      if (SUCCEEDED(services->ExecQuery(lang, query, WBEM_FLAG_FORWARD_ONLY | WBEM_FLAG_RETURN_IMMEDIATELY,
                                        nullptr, &rows))) {
        std::vector<std::string> names;
        for (int guard = 0; guard < 100000; ++guard) {
          IWbemClassObject* row = nullptr;
          ULONG got = 0;
          if (rows->Next(10000, 1, &row, &got) != WBEM_S_NO_ERROR || got == 0) break;
          VARIANT v;
          VariantInit(&v);
          if (SUCCEEDED(row->Get(L"Name", 0, &v, nullptr, nullptr)) && v.vt == VT_BSTR && v.bstrVal) {
            int n = WideCharToMultiByte(CP_ACP, 0, v.bstrVal, -1, nullptr, 0, nullptr, nullptr);
            if (n > 1) {
              std::string s(n - 1, '\0');
              WideCharToMultiByte(CP_ACP, 0, v.bstrVal, -1, s.data(), n, nullptr, nullptr);
              names.push_back(std::move(s));
            }
          }
          VariantClear(&v);
          row->Release();
        }
        result = std::move(names);
      }
    }
    SysFreeString(ns);
    SysFreeString(lang);
    SysFreeString(query);
  }
  if (mustUninit) CoUninitialize();
  return result;
}

uint32_t Win32Processes::CurrentId() { return GetCurrentProcessId(); }

}  // namespace kx::win32
