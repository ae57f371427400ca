// The scanning routines on the real Windows services.
#include <windows.h>

#include <gtest/gtest.h>

#include "../scan_support/must.h"
#include "platform/win32/services_win32.h"
#include "scan/company_name.h"
#include "scan/registry_related.h"
#include "removal/registry_deletion.h"
#include "scan_support/scan_kit.h"
#include "scan_support/scan_machine.h"

namespace kx {
namespace {

const int64_t kCurrentUser = -2147483647LL;

TEST(ScanWin32, RegistryRoutinesOnTheRealRegistry) {
  win32::Win32Registry reg;
  std::vector<std::pair<std::string, std::string>> records;
  ModRegistryRelated r(reg);
  RegistryDeletion del(reg, [&](const std::string& k, const std::string& v) { records.push_back({k, v}); });
  const std::string key = "Software\\KestrixScanTest";
  (void)reg.DeleteTree(Hive::CurrentUser, key);  // it may not be there yet
  EXPECT_FALSE(r.RegistryKeyExists(kCurrentUser, key));
  ASSERT_TRUE(r.WriteRegistryValue(kCurrentUser, key, "Text", "  some text  ").ok());
  ASSERT_TRUE(r.WriteRegistryValue(kCurrentUser, key, "Number", "42").ok());
  test_support::Must(reg.SetValue(Hive::CurrentUser, key, "Expand", RegValue::String("%TEMP%\\x", REGT_EXPAND_SZ)), "SetValue");
  test_support::Must(reg.SetValue(Hive::CurrentUser, key, "Binary", RegValue{REGT_BINARY, "\x01\x02"}), "SetValue");
  test_support::Must(reg.SetValue(Hive::CurrentUser, key, "Multi", RegValue{REGT_MULTI_SZ, std::string("a\0b\0\0", 5)}), "SetValue");
  EXPECT_TRUE(r.RegistryKeyExists(kCurrentUser, key));

  std::string v = "stale";
  EXPECT_TRUE(r.ReadRegistryValue(kCurrentUser, key, "Text", v));
  EXPECT_EQ(v, "some text");
  EXPECT_TRUE(r.ReadRegistryValue(kCurrentUser, key, "Number", v));
  EXPECT_EQ(v, "42");
  EXPECT_TRUE(r.ReadRegistryValue(kCurrentUser, key, "Expand", v));
  EXPECT_EQ(v, "%TEMP%\\x");
  EXPECT_FALSE(r.ReadRegistryValue(kCurrentUser, key, "Binary", v));
  EXPECT_EQ(v, "");
  EXPECT_FALSE(r.ReadRegistryValue(kCurrentUser, key, "Multi", v));
  EXPECT_FALSE(r.ReadRegistryValue(kCurrentUser, key, "Missing", v));
  EXPECT_FALSE(r.ReadRegistryValue(kCurrentUser, key + "\\Missing", "Text", v));

  EXPECT_TRUE(del.DeleteRegistryValue(kCurrentUser, key, "Text"));
  EXPECT_FALSE(del.DeleteRegistryValue(kCurrentUser, key, "Never There"));  // nothing deleted, nothing recorded
  EXPECT_FALSE(r.ReadRegistryValue(kCurrentUser, key, "Text", v));
  EXPECT_TRUE(del.DeleteRegistryKey(kCurrentUser, key));
  EXPECT_FALSE(r.RegistryKeyExists(kCurrentUser, key));
  EXPECT_FALSE(del.DeleteRegistryKey(kCurrentUser, key));  // failure records nothing
  EXPECT_EQ(records, (std::vector<std::pair<std::string, std::string>>{
                         {"HKEY_CURRENT_USER\\Software\\KestrixScanTest", "Text"},
                         {"HKEY_CURRENT_USER\\Software\\KestrixScanTest", "All Values"}}));
}

TEST(ScanWin32, CompanyNameOfASystemLibrary) {
  win32::Win32FileSystem files;
  win32::Win32SystemInfo system;
  std::string company = GetCompanyName(files, system.SystemDirectory() + "\\kernel32.dll");
  EXPECT_FALSE(company.empty());
  // What the version service says must be what the raw search finds.
  std::string path = system.SystemDirectory() + "\\kernel32.dll";
  DWORD ignored = 0, size = GetFileVersionInfoSizeA(path.c_str(), &ignored);
  ASSERT_GT(size, 0u);
  std::vector<char> info(size);
  ASSERT_TRUE(GetFileVersionInfoA(path.c_str(), 0, size, info.data()));
  struct Lang {
    WORD lang, codepage;
  }* langs = nullptr;
  UINT len = 0;
  ASSERT_TRUE(VerQueryValueA(info.data(), "\\VarFileInfo\\Translation", reinterpret_cast<void**>(&langs), &len));
  char query[64];
  snprintf(query, sizeof query, "\\StringFileInfo\\%04x%04x\\CompanyName", langs[0].lang, langs[0].codepage);
  char* value = nullptr;
  ASSERT_TRUE(VerQueryValueA(info.data(), query, reinterpret_cast<void**>(&value), &len));
  EXPECT_EQ(company, std::string(value));
  EXPECT_EQ(GetCompanyName(files, system.SystemDirectory() + "\\no such file.dll"), "");
}

// The listing shortcut against the real file system: both scans find exactly the same.
TEST(ScanWin32, CachedAndLiteralScansAgreeOnARealSystem) {
  win32::Win32Platform p;
  PlaceholderCache folders(p.system);
  std::string data = DataFolder(folders);
  scanbench::MachineSpec spec;
  spec.definitionLines = 2500;
  spec.plantedFiles = 100;
  spec.plantedFolders = 20;
  spec.plantedRegistry = 40;
  spec.decoysPerFolder = 3;
  spec.tag = "WineId";
  scanbench::Machine m = scanbench::BuildScanMachine(p.files, p.registry, p.system, data, spec);
  auto scan = [&](bool cached) {
    scantest::ScanRig rig(p.files, p.registry, p.system, p.shell, p.clock, data);
    rig.state.definitions = m.counts;
    rig.driver.options.cachePaths = cached;
    rig.state.yield.intervalMs = cached ? 10 : 0;
    rig.threats.LoadExclusions();
    rig.driver.StartScan();
    std::vector<std::vector<std::string>> lists;
    for (const char* l : {"lvwSpywareFound", "lvwPicRemoveListOfSpywareFoundAndToBeRemoved", "lvwFilesToBeDeleted",
                          "lvwRegistryToBeDeleted"})
      lists.push_back(rig.Rows(l));
    lists.push_back({rig.Get("lbltracesFound").caption(), std::to_string(rig.state.counters.threatsFound),
                     std::to_string(rig.state.counters.filesFoldersInspected),
                     std::to_string(rig.state.counters.registryInspected)});
    return lists;
  };
  auto cached = scan(true);
  auto literal = scan(false);
  EXPECT_EQ(cached, literal);
  EXPECT_GT(cached[2].size(), 40u);
  EXPECT_GT(cached[3].size(), 10u);
}

// Names the listing shortcut cannot answer for itself: an 8.3 short folder name, a path past
// MAX_PATH whose folder still lists, and definitions without a folder, which must not test
// the current folder. Both scans must agree, and the folderless lines match nothing.
TEST(ScanWin32, CachedAndLiteralScansAgreeOnNamesTheListingCannotAnswer) {
  win32::Win32Platform p;
  PlaceholderCache folders(p.system);
  const std::string data = DataFolder(folders);
  const std::string odd = SpecialFolderPath(p.system, 26) + "KxOdd";
  CreateDirectoryA(data.c_str(), nullptr);
  ASSERT_TRUE(CreateDirectoryA(odd.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);

  auto plant = [](const std::string& path) {
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    EXPECT_NE(h, INVALID_HANDLE_VALUE) << path;
    CloseHandle(h);
  };
  // The system finds a folder by its short name; a file's listed name is its long one, so
  // a short file name is no match by the plain-file rule, cached or not.
  plant(odd + "\\EvilCompanyToolbar.exe");
  CreateDirectoryA((odd + "\\EvilCompanyFolder").c_str(), nullptr);
  char shortPath[MAX_PATH] = {};
  ASSERT_GT(GetShortPathNameA((odd + "\\EvilCompanyToolbar.exe").c_str(), shortPath, MAX_PATH), 0u);
  const std::string shortName = FileNameOfPath(shortPath);
  ASSERT_GT(GetShortPathNameA((odd + "\\EvilCompanyFolder").c_str(), shortPath, MAX_PATH), 0u);
  const std::string shortFolder = FileNameOfPath(shortPath);
  ASSERT_NE(shortFolder.find('~'), std::string::npos) << shortPath;

  // A folder whose own path lists (under MAX_PATH) holding a file whose path does not.
  std::string deep = odd;
  while (deep.size() < 235) deep += "\\" + std::string(40, 'd');
  auto wide = [](const std::string& path) { return L"\\\\?\\" + std::wstring(path.begin(), path.end()); };
  for (size_t at = deep.find('\\', odd.size()); at != std::string::npos; at = deep.find('\\', at + 1))
    CreateDirectoryW(wide(deep.substr(0, deep.find('\\', at + 1))).c_str(), nullptr);
  const std::string longName = std::string(40, 'L') + ".exe";
  ASSERT_GE(deep.size() + 1 + longName.size(), 260u);
  HANDLE h = CreateFileW(wide(deep + "\\" + longName).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  CloseHandle(h);

  // Folderless lines: a file of that name in the current folder, and at the drive root
  // where "[recycle]" (a virtual folder, so "") would point.
  char cwd[MAX_PATH] = {};
  GetCurrentDirectoryA(MAX_PATH, cwd);
  ASSERT_TRUE(SetCurrentDirectoryA(odd.c_str()));
  plant(odd + "\\bare.exe");
  const std::string recycled = p.system.SystemDirectory().substr(0, 3) + "kxrecycled.exe";
  plant(recycled);

  auto put = [&](const char* name, const std::vector<std::string>& lines) {
    ASSERT_TRUE(p.files.WriteFile(data + "\\" + name, scantest::EncodeFile(lines)));
  };
  put("FileDefinition.dat", {shortName + "=Short|[appdata]KxOdd", longName + "=Long|" + deep, "bare.exe=Bare",
                             "kxrecycled.exe=Recycled|[recycle]"});
  put("DirectoryDefinition.dat", {"Folder=ShortFolder|[appdata]KxOdd\\" + shortFolder});
  for (const char* f : {"RegistryDefinition.dat", "ExeDefinition.dat", "BlockedCookies.dat"}) put(f, {"x"});
  (void)p.files.DeleteFile(data + "\\Safety.dat");  // it may not be there
  (void)p.files.DeleteFile(data + "\\ENoSignature.dat");  // it may not be there

  auto scan = [&](bool cached) {
    scantest::ScanRig rig(p.files, p.registry, p.system, p.shell, p.clock, data);
    rig.driver.options.cachePaths = cached;
    rig.state.yield.intervalMs = 0;
    rig.threats.LoadExclusions();
    rig.driver.StartScan();
    return rig.Rows("lvwFilesToBeDeleted");
  };
  const auto cached = scan(true);
  const auto literal = scan(false);
  SetCurrentDirectoryA(cwd);
  DeleteFileA(recycled.c_str());
  EXPECT_EQ(cached, literal);
  // Only the short folder name is found: the ANSI calls cannot reach the long path, and
  // nothing is found without a folder.
  ASSERT_EQ(literal.size(), 1u);
  EXPECT_NE(literal[0].find(shortFolder), std::string::npos);
}

}  // namespace
}  // namespace kx
