// The scanning routines on the real Windows services.
#include <windows.h>

#include <gtest/gtest.h>

#include "platform/win32/services_win32.h"
#include "scan/company_name.h"
#include "scan/registry_related.h"
#include "scan_support/scan_kit.h"
#include "scan_support/scan_machine.h"

namespace kx {
namespace {

const int64_t kCurrentUser = -2147483647LL;

TEST(ScanWin32, RegistryRoutinesOnTheRealRegistry) {
  win32::Win32Registry reg;
  std::vector<std::pair<std::string, std::string>> records;
  ModRegistryRelated r(reg, [&](const std::string& k, const std::string& v) { records.push_back({k, v}); });
  const std::string key = "Software\\KestrixScanTest";
  reg.DeleteTree(Hive::CurrentUser, key);
  EXPECT_FALSE(r.RegistryKeyExists(kCurrentUser, key));
  r.WriteRegistryValue(kCurrentUser, key, "Text", "  some text  ");
  r.WriteRegistryValue(kCurrentUser, key, "Number", "42");
  reg.SetValue(Hive::CurrentUser, key, "Expand", RegValue::String("%TEMP%\\x", REGT_EXPAND_SZ));
  reg.SetValue(Hive::CurrentUser, key, "Binary", RegValue{REGT_BINARY, "\x01\x02"});
  reg.SetValue(Hive::CurrentUser, key, "Multi", RegValue{REGT_MULTI_SZ, std::string("a\0b\0\0", 5)});
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

  r.DeleteRegistryValue(kCurrentUser, key, "Text");
  r.DeleteRegistryValue(kCurrentUser, key, "Never There");  // recorded whatever the outcome
  EXPECT_FALSE(r.ReadRegistryValue(kCurrentUser, key, "Text", v));
  EXPECT_TRUE(r.DeleteRegistryKey(kCurrentUser, key));
  EXPECT_FALSE(r.RegistryKeyExists(kCurrentUser, key));
  EXPECT_FALSE(r.DeleteRegistryKey(kCurrentUser, key));  // failure records nothing
  EXPECT_EQ(records, (std::vector<std::pair<std::string, std::string>>{
                         {"HKEY_CURRENT_USER\\Software\\KestrixScanTest", "Text"},
                         {"HKEY_CURRENT_USER\\Software\\KestrixScanTest", "Never There"},
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

}  // namespace
}  // namespace kx
