#include "removal/restore.h"

#include <functional>
#include <map>

#include <gtest/gtest.h>

#include "fakes/fake_platform.h"
#include "removal/quarantine.h"
#include "removal/registry_export.h"

namespace kx {
namespace {

const std::string kData = "C:\\Data";
const std::string kQ = kData + "\\quarantine";
constexpr Hive HKCU = Hive::CurrentUser, HKLM = Hive::LocalMachine;
const int64_t kHklm = -2147483646LL, kHkcu = -2147483647LL;

// What Windows keeps for a value: its type and its raw bytes.
struct Stored {
  Hive hive;
  std::string key, name;
  RegValue value;
};

const std::vector<Stored> kValues = {
    {HKLM, "SOFTWARE\\BadVendor", "", RegValue::String("default text")},
    {HKLM, "SOFTWARE\\BadVendor", "Path", RegValue::String("C:\\Program Files\\\"Bad\"\\")},
    {HKLM, "SOFTWARE\\BadVendor", "Count", RegValue::Dword(0xDEADBEEF)},
    {HKLM, "SOFTWARE\\BadVendor", "Blob", RegValue{REGT_BINARY, std::string("\x00\xff\x10\x0d\x0a", 5)}},
    {HKLM, "SOFTWARE\\BadVendor", "Expand", RegValue::String("%TEMP%\\x", REGT_EXPAND_SZ)},
    {HKLM, "SOFTWARE\\BadVendor", "Multi", RegValue{REGT_MULTI_SZ, std::string("a\0bc\0\0", 6)}},
    {HKLM, "SOFTWARE\\BadVendor\\Sub", "Lines", RegValue{REGT_SZ, std::string("one\r\ntwo\0", 9)}},
    // A long binary wraps over continuation lines in the export.
    {HKLM, "SOFTWARE\\BadVendor\\Sub", "Long", RegValue{REGT_BINARY, std::string(100, '\x5a')}},
    {HKCU, "Software\\Microsoft\\Windows\\CurrentVersion\\Run", "BadRun", RegValue::String("C:\\bad\\run.exe")},
};

struct RestoreFixture {
  fakes::FakePlatform fp;
  std::vector<std::string> excluded;
  Quarantine q{QuarantineServices{fp.files, fp.com, fp.clock, kData, nullptr}};
  Restore restore{RestoreServices{fp.files, fp.registry, fp.clock, kData,
                                  [this](const std::string& s) {
                                    excluded.push_back(s);
                                    return true;
                                  },
                                  nullptr}};

  RestoreFixture() {
    fp.files.AddFolder(kData);
    q.CreateFolder();
  }

  // One removal run as the removal run makes it: export, then files with their records.
  void Run(const DateTime& when, const std::vector<std::string>& paths, bool registry) {
    fp.clock.now = when;
    q.BeginRun();
    q.logging = true;
    if (registry) {
      RegistryExport exp(fp.registry);
      exp.Add(kHklm, "SOFTWARE\\BadVendor", std::nullopt);
      exp.Add(kHkcu, "Software\\Microsoft\\Windows\\CurrentVersion\\Run", std::string("BadRun"));
      const auto file = exp.WriteTo(fp.files, kQ, when);
      ASSERT_TRUE(file);
      q.NoteRegistryExport(*file);
      q.WriteQuarantineRegistryRecord("HKEY_LOCAL_MACHINE\\SOFTWARE\\BadVendor", "");
      ASSERT_TRUE(fp.registry.DeleteTree(HKLM, "SOFTWARE\\BadVendor").ok());
      q.WriteQuarantineRegistryRecord("HKEY_LOCAL_MACHINE\\SOFTWARE\\BadVendor", "All Values");
      ASSERT_TRUE(fp.registry.DeleteValue(HKCU, kValues.back().key, "BadRun").ok());
      q.WriteQuarantineRegistryRecord("HKEY_CURRENT_USER\\" + kValues.back().key, "BadRun");
    }
    for (const auto& p : paths) ASSERT_TRUE(q.QuarantineItem(p)) << p;
    q.logging = false;
    q.EndRun();
  }

  const RestoreItem* Find(RestoreItem::Kind kind, const std::string& original) {
    for (const RestoreRun& r : runs)
      for (const RestoreItem& i : r.items)
        if (i.kind == kind && (original.empty() || i.original == original)) return &i;
    return nullptr;
  }

  // Every file of the quarantine but the log and the index, which restores append to.
  std::map<std::string, std::string> Snapshot(const std::string& folder = kQ) {
    std::map<std::string, std::string> out;
    for (const FileEntry& e : fp.files.Find(folder + "\\*")) {
      const std::string p = folder + "\\" + e.name;
      if (e.attributes & FA_DIRECTORY) {
        for (auto& kv : Snapshot(p)) out.insert(kv);
      } else if (e.name != "QuarantineLog.txt" && e.name != "RunIndex.txt") {
        out[p] = fp.files.ReadFile(p).value_or("<unreadable>");
      }
    }
    return out;
  }

  std::vector<RestoreRun> runs;
};

const DateTime kFirst{2026, 12, 1, 9, 0, 0}, kSecond{2026, 12, 8, 17, 30, 5};

using Expected = std::map<std::string, RestoreStatus>;  // by the outcome's path or value location

// Every exported value, as the Restore window names it, with one status; some set apart.
Expected Values(RestoreStatus all, const std::map<std::string, RestoreStatus>& apart = {}) {
  Expected e;
  for (const Stored& s : kValues) {
    const std::string where =
        std::string(HiveName(s.hive)) + "\\" + s.key + "\\" + (s.name.empty() ? "(Default)" : s.name);
    e[where] = all;
  }
  for (const auto& [where, status] : apart) e[where] = status;
  return e;
}

const std::string kRun = "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";

struct Case {
  const char* name;
  std::function<void(RestoreFixture&)> after;  // what changed on the machine since the removal
  RestoreItem::Kind kind;
  std::string original;  // the item restored; "" the first of its kind
  bool exclude;
  Expected expected;
  std::string cause;  // part of the cause of what was not restored
  std::function<void(RestoreFixture&)> check;
  std::vector<std::string> exclusions;
};

TEST(RestoreTest, EachItemComesBackOrSaysWhyAndTheQuarantineKeepsItsCopies) {
  using K = RestoreItem::Kind;
  using S = RestoreStatus;
  const std::string bad = "C:\\Prog\\Bad\\bad.exe";
  const std::vector<Case> cases = {
      {"a file comes back with its bytes and is excluded when asked", nullptr, K::File, bad, true,
       {{bad, S::Restored}}, "",
       [&](RestoreFixture& f) { EXPECT_EQ(f.fp.files.ReadFile(bad), std::string("MZ\x90\x00 bad", 7)); }, {bad}},
      {"not excluded unless asked", nullptr, K::File, bad, false, {{bad, S::Restored}}, "", nullptr, {}},
      {"a file in the way stays as it is", [&](RestoreFixture& f) { f.fp.files.AddFile(bad, "the user's new file"); },
       K::File, bad, true, {{bad, S::InTheWay}}, "a file is in the way",
       [&](RestoreFixture& f) { EXPECT_EQ(f.fp.files.ReadFile(bad), "the user's new file"); }, {}},
      {"missing folders are made again", [](RestoreFixture& f) { ASSERT_TRUE(f.fp.files.DeleteFolder("C:\\Prog", true).ok()); },
       K::File, bad, false, {{bad, S::Restored}}, "", nullptr, {}},
      {"a folder that cannot be made: a file holds its name",
       [](RestoreFixture& f) {
         ASSERT_TRUE(f.fp.files.DeleteFolder("C:\\Prog\\Bad", true).ok());
         f.fp.files.AddFile("C:\\Prog\\Bad", "a file now");
       },
       K::File, bad, true, {{bad, S::Failed}}, "the folder C:\\Prog\\Bad cannot be created",
       [](RestoreFixture& f) { EXPECT_EQ(f.fp.files.ReadFile("C:\\Prog\\Bad"), "a file now"); }, {}},
      {"a folder comes back file by file, one in the way",
       [](RestoreFixture& f) { f.fp.files.AddFile("C:\\Prog\\Toolbar\\sub\\b.txt", "new b"); }, K::Folder,
       "C:\\Prog\\Toolbar", true,
       {{"C:\\Prog\\Toolbar\\a.txt", S::Restored}, {"C:\\Prog\\Toolbar\\sub\\b.txt", S::InTheWay}}, "in the way",
       [](RestoreFixture& f) {
         EXPECT_EQ(f.fp.files.ReadFile("C:\\Prog\\Toolbar\\a.txt"), "a");
         EXPECT_EQ(f.fp.files.ReadFile("C:\\Prog\\Toolbar\\sub\\b.txt"), "new b");
       },
       {}},  // not all of it came back: not excluded
      {"the registry export: every value with its type and data, excluded as the scan names them", nullptr,
       K::RegistryExport, "", true, Values(S::Restored), "",
       [](RestoreFixture& f) {
         for (const Stored& s : kValues) {
           const auto v = f.fp.registry.Get(s.hive, s.key, s.name);
           ASSERT_TRUE(v) << s.key << "\\" << s.name;
           EXPECT_EQ(v->type, s.value.type) << s.name;
           EXPECT_EQ(v->data, s.value.data) << s.name;
         }
       },
       {"HKEY_LOCAL_MACHINE\\SOFTWARE\\BadVendor", kRun + "BadRun"}},
      {"a key that cannot be written fails value by value, the rest comes back",
       [](RestoreFixture& f) {
         f.fp.registry.AddKey(HKCU, "Software\\Microsoft\\Windows\\CurrentVersion\\Run");
         f.fp.registry.Restrict(HKCU, "Software\\Microsoft\\Windows\\CurrentVersion\\Run", REGA_READ);
       },
       K::RegistryExport, "", true, Values(S::Restored, {{kRun + "\\BadRun", S::Failed}}), "error 5",
       [](RestoreFixture& f) {
         EXPECT_FALSE(f.fp.registry.Get(HKCU, kValues.back().key, "BadRun"));
         EXPECT_TRUE(f.fp.registry.Get(HKLM, "SOFTWARE\\BadVendor", "Count"));
       },
       {}},
      {"keys below one that forbids new keys",
       [](RestoreFixture& f) { f.fp.registry.Restrict(HKLM, "SOFTWARE", REGA_READ); }, K::RegistryExport, "", false,
       Values(S::Failed, {{kRun + "\\BadRun", S::Restored}}), "the key cannot be written (error 5)",
       [](RestoreFixture& f) { EXPECT_FALSE(f.fp.registry.HasKey(HKLM, "SOFTWARE\\BadVendor")); }, {}},
      {"a value set again since is in the way",
       [](RestoreFixture& f) {
         f.fp.registry.PutString(HKCU, "Software\\Microsoft\\Windows\\CurrentVersion\\Run", "BadRun", "other");
       },
       K::RegistryExport, "", true, Values(S::Restored, {{kRun + "\\BadRun", S::InTheWay}}), "in the way",
       [](RestoreFixture& f) {
         EXPECT_EQ(f.fp.registry.Get(HKCU, kValues.back().key, "BadRun")->AsString(), "other");
       },
       {}},
      {"an old quarantine without runs, by its log records", nullptr, K::File, "C:\\Old\\old.dll", true,
       {{"C:\\Old\\old.dll", S::Restored}}, "",
       [](RestoreFixture& f) { EXPECT_EQ(f.fp.files.ReadFile("C:\\Old\\old.dll"), "old bytes"); },
       {"C:\\Old\\old.dll"}},
  };

  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RestoreFixture f;
    // From before runs were recorded: a copy and the log's record of it, nothing else.
    f.fp.files.AddFile(kQ + "\\old.dll", "old bytes");
    f.fp.files.AddFile(kQ + "\\QuarantineLog.txt",
                       "3/16/2006 10:15:02 AM - File: old.dll\r\n - Location: C:\\Old\\old.dll\r\n\r\n\r\n"
                       // Edited by hand to point outside the quarantine: never listed.
                       "3/16/2006 10:15:02 AM - File: ..\\Windows\\win.ini\r\n - Location: C:\\x.ini\r\n\r\n\r\n");
    f.fp.files.AddFile("C:\\Windows\\win.ini", "[windows]");
    for (const Stored& s : kValues) f.fp.registry.Put(s.hive, s.key, s.name, s.value);
    f.fp.files.AddFile("C:\\Prog\\Toolbar\\a.txt", "a");
    f.fp.files.AddFile("C:\\Prog\\Toolbar\\sub\\b.txt", "b");
    f.Run(kFirst, {"C:\\Prog\\Toolbar"}, false);
    f.fp.files.AddFile(bad, std::string("MZ\x90\x00 bad", 7));
    f.Run(kSecond, {bad}, true);
    ASSERT_FALSE(f.fp.files.Exists(bad));
    ASSERT_FALSE(f.fp.registry.HasKey(HKLM, "SOFTWARE\\BadVendor"));
    if (c.after) c.after(f);

    f.runs = f.restore.List();
    // Newest run first; the quarantine from before runs last, as one group.
    ASSERT_EQ(f.runs.size(), 3u);
    EXPECT_EQ(f.runs[0].time, "12/8/2026 5:30:05 PM");
    EXPECT_EQ(f.runs[0].items.size(), 2u);  // the export and bad.exe
    EXPECT_EQ(f.runs[1].time, "12/1/2026 9:00:00 AM");
    EXPECT_FALSE(f.runs[2].grouped);
    ASSERT_EQ(f.runs[2].items.size(), 1u);
    EXPECT_EQ(f.runs[2].items[0].original, "C:\\Old\\old.dll");

    const RestoreItem* item = f.Find(c.kind, c.original);
    ASSERT_NE(item, nullptr);
    const auto before = f.Snapshot();
    const size_t logBefore = f.fp.files.ReadFile(kQ + "\\QuarantineLog.txt")->size();
    const auto outcomes = f.restore.RestoreItems({item}, c.exclude);
    ASSERT_EQ(outcomes.size(), 1u);
    Expected got;
    for (const RestoreOutcome& o : outcomes[0].outcomes) {
      got[o.what] = o.status;
      if (o.status != S::Restored) EXPECT_NE(o.cause.find(c.cause), std::string::npos) << o.what << ": " << o.cause;
    }
    EXPECT_EQ(got, c.expected);
    EXPECT_EQ(f.Snapshot(), before) << "the quarantine changed";
    EXPECT_EQ(f.excluded, c.exclusions);
    // One log record per outcome, after what was there.
    const std::string log = f.fp.files.ReadFile(kQ + "\\QuarantineLog.txt")->substr(logBefore);
    size_t records = 0;
    for (size_t at = log.find(" - Restore: "); at != std::string::npos; at = log.find(" - Restore: ", at + 1))
      ++records;
    EXPECT_EQ(records, c.expected.size());
    EXPECT_EQ(f.fp.files.ReadFile("C:\\Windows\\win.ini"), "[windows]");
    if (c.check) c.check(f);
  }
}

// Delete discards exactly the chosen copies, after which they are no longer listed; an item
// naming a place outside the quarantine (a hand-edited log) is refused and that place kept.
TEST(RestoreTest, DeleteDiscardsOnlyTheChosenCopiesInsideTheQuarantine) {
  RestoreFixture f;
  f.fp.files.AddFile("C:\\Prog\\Bad\\bad.exe", "bad");
  f.fp.files.AddFile("C:\\Prog\\Toolbar\\a.txt", "a");
  f.fp.files.AddFile("C:\\Prog\\keep.dll", "keep");
  f.fp.files.AddFile("C:\\Windows\\win.ini", "[windows]");
  for (const Stored& s : kValues) f.fp.registry.Put(s.hive, s.key, s.name, s.value);
  f.Run(kFirst, {"C:\\Prog\\Bad\\bad.exe", "C:\\Prog\\Toolbar", "C:\\Prog\\keep.dll"}, true);
  f.runs = f.restore.List();
  const RestoreItem* file = f.Find(RestoreItem::Kind::File, "C:\\Prog\\Bad\\bad.exe");
  const RestoreItem* folder = f.Find(RestoreItem::Kind::Folder, "C:\\Prog\\Toolbar");
  const RestoreItem* exported = f.Find(RestoreItem::Kind::RegistryExport, "");
  ASSERT_TRUE(file && folder && exported);
  const RestoreItem outside{RestoreItem::Kind::File, "..\\..\\Windows\\win.ini", "C:\\x.ini", {}, {}};
  const RestoreItem outsideFolder{RestoreItem::Kind::Folder, "..", "C:\\Prog", {}, {}};

  const auto outcomes = f.restore.DeleteCopies({file, folder, exported, &outside, &outsideFolder});
  ASSERT_EQ(outcomes.size(), 5u);
  for (size_t i = 0; i < 3; ++i) EXPECT_TRUE(outcomes[i].AllRestored()) << i;
  for (size_t i = 3; i < 5; ++i) EXPECT_EQ(outcomes[i].outcomes.at(0).status, RestoreStatus::Failed) << i;
  EXPECT_FALSE(f.fp.files.Exists(kQ + "\\bad.exe"));
  EXPECT_FALSE(f.fp.files.Exists(kQ + "\\Toolbar"));
  EXPECT_TRUE(f.fp.files.Find(kQ + "\\*.reg").empty());
  EXPECT_EQ(f.fp.files.ReadFile(kQ + "\\keep.dll"), "keep");
  EXPECT_EQ(f.fp.files.ReadFile("C:\\Windows\\win.ini"), "[windows]");
  EXPECT_TRUE(f.fp.files.FolderExists(kData));
  // What is left is listed; what went is not.
  f.runs = f.restore.List();
  ASSERT_EQ(f.runs.size(), 1u);
  ASSERT_EQ(f.runs[0].items.size(), 1u);
  EXPECT_EQ(f.runs[0].items[0].original, "C:\\Prog\\keep.dll");
}

}  // namespace
}  // namespace kx
