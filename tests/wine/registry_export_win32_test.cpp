// The registry backup put back by the system's own regedit, started as a double-click
// would start it: the 64-bit one on 64-bit Windows, while this program is 32-bit.
#include <windows.h>

#include <cctype>

#include <gtest/gtest.h>

#include "platform/win32/services_win32.h"
#include "removal/registry_export.h"

namespace kx::win32 {
namespace {

const int64_t kUser = -2147483647LL, kMachine = -2147483646LL;
constexpr Hive HKCU = Hive::CurrentUser, HKLM = Hive::LocalMachine;

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

bool IsWow64(HANDLE process) {
  BOOL wow = FALSE;
  return IsWow64Process(process, &wow) && wow;
}

// Runs "regedit /s file" and waits for it; whether that regedit was a 64-bit program.
bool ImportWithRegedit(const std::string& file, bool& regedit64) {
  char windows[MAX_PATH + 1] = {};
  GetWindowsDirectoryA(windows, MAX_PATH);
  std::string exe = std::string(windows) + "\\regedit.exe";
  std::string line = "\"" + exe + "\" /s \"" + file + "\"";
  STARTUPINFOA si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  // Windows starts its 64-bit regedit from there whatever the caller; Wine picks a builtin
  // program's bitness from the caller's unless file redirection is off.
  PVOID redirection = nullptr;
  BOOL redirectionOff = Wow64DisableWow64FsRedirection(&redirection);
  BOOL started = CreateProcessA(exe.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi);
  if (redirectionOff) Wow64RevertWow64FsRedirection(redirection);
  if (!started) return false;
  regedit64 = !IsWow64(pi.hProcess);
  bool ended = WaitForSingleObject(pi.hProcess, 120000) == WAIT_OBJECT_0;
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return ended;
}

std::string TempPath() {
  char tmp[MAX_PATH + 1] = {};
  GetTempPathA(MAX_PATH, tmp);
  return tmp;
}

RegValue Raw(uint32_t type, const std::string& bytes) { return RegValue{type, bytes}; }

struct Expected {
  Hive hive;
  std::string key, name;
  RegValue value;
};

// Sets a value through the wide call: data as given, without adding a NUL.
bool SetWide(const std::string& path, const wchar_t* name, DWORD type, const std::wstring& data) {
  HKEY h = nullptr;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &h, nullptr) !=
      ERROR_SUCCESS)
    return false;
  LONG rc = RegSetValueExW(h, name, 0, type, reinterpret_cast<const BYTE*>(data.data()),
                           static_cast<DWORD>(data.size() * sizeof(wchar_t)));
  RegCloseKey(h);
  return rc == ERROR_SUCCESS;
}

struct Win32RegistryExport : ::testing::Test {
  // Also before: an earlier run with the same process id may have left its keys.
  void SetUp() override { TearDown(); }
  void TearDown() override {
    // The system's own tree deletion reaches names the ANSI calls cannot give.
    RegDeleteTreeA(HKEY_CURRENT_USER, top.c_str());
    (void)p.registry.DeleteTree(HKLM, machine);  // it may not be there yet
    RegDeleteKeyExA(HKEY_LOCAL_MACHINE, machine.c_str(), KEY_WOW64_64KEY, 0);
    (void)p.files.DeleteFolder(folder, true);  // it may not be there yet
  }
  Win32Platform p;
  const std::string tag = std::to_string(GetCurrentProcessId());
  const std::string top = "Software\\KestrixTest" + tag, key = top + "\\Export", run = top + "\\Run";
  const std::string machine = "Software\\KestrixTest" + tag;
  const std::string folder = TempPath() + "kxreg" + tag;
};

TEST_F(Win32RegistryExport, RegeditPutsBackEveryValueKeyAndMachineKeyWhereTheyWere) {
  ASSERT_TRUE(IsWow64(GetCurrentProcess())) << "not a 32-bit program on 64-bit Windows";
  Registry& reg = p.registry;
  std::string binary;
  for (int i = 0; i < 90; ++i) binary += static_cast<char>(i * 7);

  const std::vector<Expected> values = {
      {HKCU, key, "", RegValue::String("the default")},
      {HKCU, key, "Path", RegValue::String("C:\\Program Files\\\"Quoted\"\\x.exe")},
      {HKCU, key, "Lines", Raw(REGT_SZ, std::string("one\r\ntwo\0", 9))},
      {HKCU, key, "Caf\xe9", RegValue::String("na\xefve \xa9")},
      {HKCU, key, "Expand", RegValue::String("%SystemRoot%\\system32\\x.dll", REGT_EXPAND_SZ)},
      {HKCU, key, "Dword", RegValue::Dword(0xDEADBEEF)},
      {HKCU, key, "Binary", Raw(REGT_BINARY, binary)},
      {HKCU, key, "Multi", Raw(REGT_MULTI_SZ, std::string("first\0second one\0\0", 19))},
      {HKCU, key, "TwoNuls", Raw(REGT_SZ, std::string("abc\0\0", 5))},
      {HKCU, key + "\\Sub", "Inner", RegValue::String("below")},
      {HKCU, run, "Evil", RegValue::String("C:\\evil.exe /run")},
      {HKLM, machine, "Machine", RegValue::String("wide")},
  };
  ASSERT_EQ(reg.CreateKey(HKCU, key + "\\Sub\\Empty"), RegStatus::Ok);
  ASSERT_EQ(reg.CreateKey(HKCU, run), RegStatus::Ok);
  ASSERT_EQ(reg.CreateKey(HKLM, machine), RegStatus::Ok);
  for (const auto& v : values) ASSERT_EQ(reg.SetValue(v.hive, v.key, v.name, v.value), RegStatus::Ok) << v.name;
  ASSERT_EQ(reg.SetValue(HKCU, run, "Kept", RegValue::String("stays")), RegStatus::Ok);

  // The 32-bit view of HKLM\Software lives below Wow6432Node, where a 64-bit regedit must
  // be told to write.
  auto machineName = reg.RealKeyName(HKLM, machine);
  ASSERT_TRUE(machineName);
  EXPECT_EQ(Lower(*machineName), Lower("HKEY_LOCAL_MACHINE\\Software\\Wow6432Node\\KestrixTest" + tag));

  RegistryExport exp(reg);
  exp.Add(kUser, key, std::nullopt);
  exp.Add(kUser, run, "Evil");
  exp.Add(kMachine, machine, std::nullopt);
  CreateDirectoryA(folder.c_str(), nullptr);
  auto file = exp.WriteTo(p.files, folder, DateTime{2026, 12, 9, 3, 15, 10});
  ASSERT_TRUE(file);
  EXPECT_EQ(*file, folder + "\\Registry 2026-12-09 03.15.10.reg");

  ASSERT_EQ(reg.DeleteTree(HKCU, key), RegStatus::Ok);
  ASSERT_EQ(reg.DeleteValue(HKCU, run, "Evil"), RegStatus::Ok);
  ASSERT_EQ(reg.DeleteTree(HKLM, machine), RegStatus::Ok);

  bool regedit64 = false;
  ASSERT_TRUE(ImportWithRegedit(*file, regedit64));
  EXPECT_TRUE(regedit64);

  for (const auto& v : values) {
    RegValue got;
    ASSERT_EQ(reg.QueryValue(v.hive, v.key, v.name, got), RegStatus::Ok) << v.key << " " << v.name;
    EXPECT_EQ(got.type, v.value.type) << v.name;
    EXPECT_EQ(got.data, v.value.data) << v.name;
  }
  EXPECT_EQ(reg.OpenKey(HKCU, key + "\\Sub\\Empty", REGA_READ), RegStatus::Ok);
  std::vector<std::string> runValues;
  ASSERT_EQ(reg.EnumValues(HKCU, run, runValues), RegStatus::Ok);
  EXPECT_EQ(runValues.size(), 2u);
  // Nothing landed in the 64-bit view, where a plain HKLM\Software name would have put it.
  HKEY h = nullptr;
  EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, machine.c_str(), 0, KEY_READ | KEY_WOW64_64KEY, &h),
            ERROR_FILE_NOT_FOUND);
  if (h) RegCloseKey(h);
}

// A key holding what the ANSI calls would read as "?" is reported and stays out of the
// file whole; what can be written exactly still goes in.
TEST_F(Win32RegistryExport, WhatTheCodePageLacksIsReportedAndLeftOut) {
  Registry& reg = p.registry;
  const std::string wideName = key + "\\Name", wideData = key + "\\Data";
  ASSERT_TRUE(SetWide(wideName, L"\x4e2d", REG_SZ, std::wstring(L"x\0", 2)));
  ASSERT_TRUE(SetWide(wideName, L"Beside", REG_SZ, std::wstring(L"kept out\0", 9)));
  ASSERT_TRUE(SetWide(wideData, L"Text", REG_SZ, std::wstring(L"\x4e2d\0", 2)));
  ASSERT_TRUE(SetWide(wideData, L"Plain", REG_SZ, std::wstring(L"caf\xe9\0", 5)));

  const std::vector<std::pair<RegistryExportItem, bool>> items = {
      {{kUser, wideName, std::nullopt}, false},
      {{kUser, wideData, std::nullopt}, false},
      {{kUser, wideData, "Text"}, false},
      {{kUser, wideData, "Plain"}, true},
  };
  RegistryExport exp(reg);
  for (const auto& [item, exact] : items) {
    exp.Add(item);
    EXPECT_EQ(exp.Exact(item), exact) << item.key << " " << item.value.value_or("(key)");
  }
  CreateDirectoryA(folder.c_str(), nullptr);
  auto file = exp.WriteTo(p.files, folder, DateTime{2026, 12, 9, 3, 15, 10});
  ASSERT_TRUE(file);
  auto text = p.files.ReadFile(*file);
  ASSERT_TRUE(text);
  EXPECT_EQ(Lower(*text), Lower("REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\" + wideData +
                                "]\r\n\"Plain\"=\"caf\xe9\"\r\n\r\n"));
}

}  // namespace
}  // namespace kx::win32
