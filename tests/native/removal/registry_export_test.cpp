#include "removal/registry_export.h"

#include <functional>

#include <gtest/gtest.h>

#include "fakes/fake_files.h"
#include "fakes/fake_registry.h"

namespace kx {
namespace {

const int64_t kUser = -2147483647LL, kMachine = -2147483646LL;
constexpr Hive HKCU = Hive::CurrentUser, HKLM = Hive::LocalMachine;

RegValue Raw(uint32_t type, const std::string& bytes) { return RegValue{type, bytes}; }

struct RegistryExportTest : ::testing::Test {
  fakes::FakeRegistry reg;
  RegistryExport exp{reg};
};

TEST_F(RegistryExportTest, EachTypeIsWrittenInRegeditsForm) {
  const std::string k = "Software\\Types";
  reg.PutString(HKCU, k, "", "default");
  reg.PutString(HKCU, k, "Path", "C:\\Program Files\\\"x\"");
  reg.PutString(HKCU, k, "Name \"q\" \\", "v");
  reg.Put(HKCU, k, "NoNul", Raw(REGT_SZ, "abc"));
  reg.Put(HKCU, k, "TwoNuls", Raw(REGT_SZ, std::string("abc\0\0", 5)));
  reg.Put(HKCU, k, "NoBytes", Raw(REGT_SZ, ""));
  reg.Put(HKCU, k, "Lines", Raw(REGT_SZ, std::string("a\r\nb\0", 5)));
  reg.Put(HKCU, k, "Expand", RegValue::String("%A%", REGT_EXPAND_SZ));
  reg.PutDword(HKCU, k, "Dword", 123456);
  reg.Put(HKCU, k, "ShortDword", Raw(REGT_DWORD, std::string("\x01\x02\x03", 3)));
  reg.Put(HKCU, k, "Binary", Raw(REGT_BINARY, std::string("\x00\xff\x10", 3)));
  reg.Put(HKCU, k, "Empty", Raw(REGT_BINARY, ""));
  reg.Put(HKCU, k, "Multi", Raw(REGT_MULTI_SZ, std::string("a\0bc\0\0", 6)));
  reg.Put(HKCU, k, "Qword", Raw(11, "\x01\x02\x03\x04\x05\x06\x07\x08"));
  reg.Put(HKCU, k, "None", Raw(REGT_NONE, std::string("\0", 1)));
  exp.Add(kUser, k, std::nullopt);
  EXPECT_EQ(exp.Text(),
            "REGEDIT4\r\n"
            "\r\n"
            "[HKEY_CURRENT_USER\\Software\\Types]\r\n"
            "@=\"default\"\r\n"
            "\"Path\"=\"C:\\\\Program Files\\\\\\\"x\\\"\"\r\n"
            "\"Name \\\"q\\\" \\\\\"=\"v\"\r\n"
            "\"NoNul\"=\"abc\"\r\n"
            "\"TwoNuls\"=hex(1):61,62,63,00,00\r\n"
            "\"NoBytes\"=\"\"\r\n"
            "\"Lines\"=hex(1):61,0d,0a,62,00\r\n"
            "\"Expand\"=hex(2):25,41,25,00\r\n"
            "\"Dword\"=dword:0001e240\r\n"
            "\"ShortDword\"=hex(4):01,02,03\r\n"
            "\"Binary\"=hex:00,ff,10\r\n"
            "\"Empty\"=hex:\r\n"
            "\"Multi\"=hex(7):61,00,62,63,00,00\r\n"
            "\"Qword\"=hex(b):01,02,03,04,05,06,07,08\r\n"
            "\"None\"=hex(0):00\r\n"
            "\r\n");
}

TEST_F(RegistryExportTest, LongHexDataWrapsAsRegeditWrapsIt) {
  std::string bytes;
  for (int i = 0; i < 60; ++i) bytes += static_cast<char>(i);
  // 20 bytes fit after `"ShellState"=hex:`, 22 after `"Data"=hex:`, 24 after `@=hex:`,
  // then 25 on each continuation line.
  EXPECT_EQ(RegeditValueLines("ShellState", Raw(REGT_BINARY, bytes.substr(0, 28))),
            "\"ShellState\"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,\\\r\n"
            "  14,15,16,17,18,19,1a,1b\r\n");
  EXPECT_EQ(RegeditValueLines("Data", Raw(REGT_BINARY, bytes)),
            "\"Data\"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,15,\\\r\n"
            "  16,17,18,19,1a,1b,1c,1d,1e,1f,20,21,22,23,24,25,26,27,28,29,2a,2b,2c,2d,2e,\\\r\n"
            "  2f,30,31,32,33,34,35,36,37,38,39,3a,3b\r\n");
  EXPECT_EQ(RegeditValueLines("", Raw(REGT_BINARY, bytes.substr(0, 24))),
            "@=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,15,16,17\r\n");
  // Exactly full: no continuation after the last byte.
  EXPECT_EQ(RegeditValueLines("", Raw(REGT_BINARY, bytes.substr(0, 25))),
            "@=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,15,16,17,\\\r\n"
            "  18\r\n");
}

TEST_F(RegistryExportTest, SubtreesComeParentFirstAndEveryEntryOnce) {
  reg.PutString(HKLM, "Software\\Evil", "Main", "1");
  reg.PutString(HKLM, "Software\\Evil\\b\\Deep", "D", "2");
  reg.AddKey(HKLM, "Software\\Evil\\a");  // empty: still recreated
  reg.PutString(HKLM, "Software\\Evil\\a", "", "in a");
  reg.PutString(HKLM, "Software\\Evil2", "x", "3");
  reg.PutString(HKLM, "Software\\Evil2", "y", "not exported");
  reg.AddKey(HKLM, "Software\\Evil\\c");
  reg.PutString(HKCU, "Software\\Run", "Evil", "C:\\e.exe");

  exp.Add(kMachine, "Software\\Evil2", "x");
  exp.Add(kMachine, "Software\\Evil\\a", "");         // inside a key exported whole
  exp.Add(kMachine, "Software\\Evil", std::nullopt);
  exp.Add(kMachine, " software\\EVIL\\ ", std::nullopt);  // the same key again
  exp.Add(kMachine, "Software\\Evil2", "X");          // the same value again
  exp.Add(kUser, "Software\\Run", "Evil");
  exp.Add(kMachine, "Software\\Gone", std::nullopt);  // missing: left out
  exp.Add(kMachine, "Software\\Evil2", "nope");
  exp.Add(kUser, "Software\\Gone", "v");
  exp.Add(-2147483642LL, "Software\\Evil", std::nullopt);  // HKEY_DYN_DATA: nothing here
  EXPECT_EQ(exp.Text(),
            "REGEDIT4\r\n\r\n"
            "[HKEY_CURRENT_USER\\Software\\Run]\r\n"
            "\"Evil\"=\"C:\\\\e.exe\"\r\n\r\n"
            "[HKEY_LOCAL_MACHINE\\Software\\Evil]\r\n"
            "\"Main\"=\"1\"\r\n\r\n"
            "[HKEY_LOCAL_MACHINE\\Software\\Evil\\a]\r\n"
            "@=\"in a\"\r\n\r\n"
            "[HKEY_LOCAL_MACHINE\\Software\\Evil\\b]\r\n\r\n"
            "[HKEY_LOCAL_MACHINE\\Software\\Evil\\b\\Deep]\r\n"
            "\"D\"=\"2\"\r\n\r\n"
            "[HKEY_LOCAL_MACHINE\\Software\\Evil\\c]\r\n\r\n"
            "[HKEY_LOCAL_MACHINE\\Software\\Evil2]\r\n"
            "\"x\"=\"3\"\r\n\r\n");
}

// Deleting an item the file holds differently, or not at all, would lose it; such an item
// stays out of the file whole, and the caller is told.
TEST_F(RegistryExportTest, ItemsTheFileCannotHoldExactlyAreLeftOutWhole) {
  const std::string zhong = "\xe4\xb8\xad";  // U+4E2D, which Windows-1252 lacks
  const std::string a = "Software\\A";
  struct Row {
    const char* label;
    std::function<void(fakes::FakeRegistry&)> setUp;
    std::vector<std::pair<RegistryExportItem, bool>> items;  // and whether each is exact
    std::string sections;                                    // what follows "REGEDIT4\r\n\r\n"
  };
  const std::vector<Row> rows = {
      {"plain key with its subtree",
       [&](fakes::FakeRegistry& r) {
         r.PutString(HKCU, a, "Caf\xe9", "na\xefve");
         r.PutDword(HKCU, a + "\\Sub", "d", 2);
       },
       {{{kUser, a, std::nullopt}, true}},
       "[HKEY_CURRENT_USER\\Software\\A]\r\n\"Caf\xe9\"=\"na\xefve\"\r\n\r\n"
       "[HKEY_CURRENT_USER\\Software\\A\\Sub]\r\n\"d\"=dword:00000002\r\n\r\n"},
      {"value name outside the code page",
       [&](fakes::FakeRegistry& r) {
         r.PutString(HKCU, a, "plain", "1");
         r.PutUnicode(HKCU, a, zhong, REGT_SZ, "x");
       },
       {{{kUser, a, std::nullopt}, false}},
       ""},
      {"string outside the code page, beside one inside",
       [&](fakes::FakeRegistry& r) {
         r.PutUnicode(HKCU, a, "v", REGT_SZ, "x" + zhong);
         r.PutString(HKCU, a, "w", "plain");
       },
       {{{kUser, a, std::nullopt}, false}, {{kUser, a, "v"}, false}, {{kUser, a, "W"}, true}},
       "[HKEY_CURRENT_USER\\Software\\A]\r\n\"W\"=\"plain\"\r\n\r\n"},
      {"key name outside the code page, two keys down",
       [&](fakes::FakeRegistry& r) {
         r.PutString(HKCU, a, "top", "1");
         r.PutUnicode(HKCU, a + "\\b\\" + zhong, "v", REGT_SZ, "x");
       },
       {{{kUser, a, std::nullopt}, false}},
       ""},
      {"value names with line breaks",
       [&](fakes::FakeRegistry& r) {
         r.PutString(HKCU, a, "two\r\nlines", "x");
         r.PutString(HKCU, a + "\\Sub", "line\nfeed", "x");
         r.PutString(HKCU, a + "\\Sub", "ok", "1");
       },
       {{{kUser, a, std::nullopt}, false},
        {{kUser, a + "\\Sub", std::nullopt}, false},
        {{kUser, a, "two\r\nlines"}, false},
        {{kUser, a + "\\Sub", "ok"}, true}},
       "[HKEY_CURRENT_USER\\Software\\A\\Sub]\r\n\"ok\"=\"1\"\r\n\r\n"},
      {"key name with a line break",
       [&](fakes::FakeRegistry& r) { r.PutString(HKCU, a + "\\bad\rname", "v", "x"); },
       {{{kUser, a, std::nullopt}, false}, {{kUser, a + "\\bad\rname", "v"}, false}},
       ""},
      {"subkey that cannot be listed",
       [&](fakes::FakeRegistry& r) {
         r.PutString(HKCU, a + "\\Locked\\Inner", "v", "x");
         r.Restrict(HKCU, a + "\\Locked", REGA_QUERY_VALUE);
       },
       {{{kUser, a, std::nullopt}, false}},
       ""},
      {"nothing there to lose",
       [&](fakes::FakeRegistry& r) { r.AddKey(HKCU, a); },
       {{{kUser, "Software\\Gone", std::nullopt}, true}, {{kUser, a, "none"}, true}},
       ""},
      {"no hive or no key",
       [&](fakes::FakeRegistry& r) { r.PutString(HKCU, "", "root", "x"); },
       {{{-2147483642LL, a, std::nullopt}, false}, {{kUser, "", "root"}, false}, {{kUser, "\\", std::nullopt}, false}},
       ""},
  };
  for (const Row& row : rows) {
    fakes::FakeRegistry r;
    row.setUp(r);
    RegistryExport e(r);
    for (const auto& [item, exact] : row.items) {
      e.Add(item);
      EXPECT_EQ(e.Exact(item), exact) << row.label << ": " << item.key << " " << item.value.value_or("(key)");
    }
    EXPECT_EQ(e.Text(), row.sections.empty() ? "" : "REGEDIT4\r\n\r\n" + row.sections) << row.label;
  }
}

TEST_F(RegistryExportTest, WritesOneFileNamedAfterTheRunAndNothingWhenNothingExists) {
  fakes::FakeFileSystem files;
  files.AddFolder("C:\\Data\\quarantine");
  const DateTime run{2026, 12, 9, 3, 15, 10};
  exp.Add(kUser, "Software\\Gone", std::nullopt);
  EXPECT_EQ(exp.Text(), "");
  EXPECT_EQ(exp.WriteTo(files, "C:\\Data\\quarantine", run), std::nullopt);
  EXPECT_TRUE(files.Find("C:\\Data\\quarantine\\*.*").empty());

  reg.PutDword(HKCU, "Software\\Here", "v", 1);
  exp.Add(kUser, "Software\\Here", "v");
  const std::string text = "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Here]\r\n\"v\"=dword:00000001\r\n\r\n";
  EXPECT_EQ(exp.WriteTo(files, "C:\\Data\\quarantine\\", run), "C:\\Data\\quarantine\\Registry 2026-12-09 03.15.10.reg");
  EXPECT_EQ(files.ReadFile("C:\\Data\\quarantine\\Registry 2026-12-09 03.15.10.reg"), text);
  // A second run in the same second keeps the first file.
  EXPECT_EQ(exp.WriteTo(files, "C:\\Data\\quarantine", run), "C:\\Data\\quarantine\\Registry 2026-12-09 03.15.10 (2).reg");
  EXPECT_EQ(exp.WriteTo(files, "C:\\Data\\quarantine", run), "C:\\Data\\quarantine\\Registry 2026-12-09 03.15.10 (3).reg");
  EXPECT_EQ(files.ReadFile("C:\\Data\\quarantine\\Registry 2026-12-09 03.15.10 (2).reg"), text);
  EXPECT_EQ(exp.WriteTo(files, "C:\\Data\\missing", run), std::nullopt);
}

}  // namespace
}  // namespace kx
