#include "removal/removal_run.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "core/paths.h"
#include "fakes/fake_platform.h"
#include "scan_support/scan_kit.h"

namespace kx {
namespace {

const std::string kData = "C:\\Users\\User\\AppData\\Roaming\\DideZuvurudARA";
const std::string kQ = kData + "\\quarantine";
const std::string kStamp = "3/16/2006 10:15:02 AM";  // the fake clock's time, US general date
constexpr int64_t kUser = -2147483647;                // HKEY_CURRENT_USER

std::string FileRecord(const std::string& name, const std::string& path) {
  return kStamp + " - File: " + name + "\r\n - Location: " + path + "\r\n\r\n\r\n";
}
std::string KeyRecord(const std::string& key, const std::string& value) {
  return kStamp + " - Key: " + key + "\r\nValue: " + value + "\r\n\r\n\r\n";
}

class Host : public RemovalHost {
 public:
  explicit Host(ui::Backend& ui) : ui_(ui) {}
  bool automatic = false;
  std::map<std::string, std::string> settings;
  std::vector<std::string> calls;

  bool AutomaticDeletion() const override { return automatic; }
  void ShowResultsPanel() override { calls.push_back("results"); }
  void ApplyTimerSettings(bool enable) override { calls.push_back(enable ? "timers on" : "timers off"); }
  std::string ReadSetting(const std::string& s, const std::string& k, const std::string& def) override {
    auto it = settings.find(s + "/" + k);
    return it == settings.end() ? def : it->second;
  }
  void WriteSetting(const std::string& s, const std::string& k, const std::string& v) override {
    settings[s + "/" + k] = v;
  }
  void SendData() override { calls.push_back("send"); }
  void ShowStatusPanelValues() override { calls.push_back("status"); }
  void HandleWindowMessages() override {
    ui_.DoEvents();
    if (onTurn) onTurn();
  }
  std::function<void()> onTurn;  // what the user does while the run yields

 private:
  ui::Backend& ui_;
};

struct RemovalTest : ::testing::Test {
  fakes::FakePlatform fp;
  scantest::ScanRig rig{fp.files, fp.registry, fp.system, fp.shell, fp.clock, kData};
  ProcessScanner processes{ProcessScanServices{fp.processes, fp.system, fp.files, rig.backend, scantest::KeyAsMessage,
                                               "Kestrix", kData},
                           rig.views.processes, rig.threats, rig.state};
  Host host{rig.backend};
  FrmDelete failed{rig.backend, fp.shell};
  std::map<std::string, std::string> texts;  // messages a test gives a text of its own
  RemovalRun run{RemovalServices{fp.platform(), rig.backend,
                                 [this](const std::string& key) {
                                   auto it = texts.find(key);
                                   return it == texts.end() ? scantest::KeyAsMessage(key) : it->second;
                                 },
                                 "Kestrix", kData},
                 rig.views.removal, rig.results, host, failed, processes};

  void SetUp() override {
    rig.state.yield.intervalMs = 0;
    run.pauseTurns = 5;
    fp.files.AddFolder(kData);
  }
  void File(const std::string& threat, const std::string& path, const std::string& bytes = "x") {
    if (!bytes.empty()) fp.files.AddFile(path, bytes);
    rig.threats.ReportThreat(KIND_FILE, threat, path, "", FileRow{path, threat});
  }
  void Reg(const std::string& threat, const std::string& key, const std::string& value) {
    rig.threats.ReportThreat(KIND_REGISTRY, threat, "HKEY_CURRENT_USER\\" + key, "",
                             RegistryRow{kUser, key, value, threat});
  }
  void Cookie(const std::string& path) {
    fp.files.AddFile(path, "cookie");
    rig.threats.ReportThreat(KIND_COOKIE, "Cookie:" + FileNameOfPath(path), path, "", CookieRow{path});
  }
  std::string Stored(const std::string& name) { return fp.files.ReadFile(kQ + "\\" + name).value_or("<none>"); }
  std::string Log() { return fp.files.ReadFile(kQ + "\\QuarantineLog.txt").value_or(""); }
  std::vector<std::string> Problems() {
    std::vector<std::string> out;
    for (const auto& r : failed.Get("lstProblem").items()) out.push_back(r.text);
    return out;
  }
};

TEST_F(RemovalTest, DeleteBacksUpLogsAndRemovesEveryTickedThreat) {
  File("Bad Ini", "C:\\Bad1\\config.ini", "one");
  File("Bad Ini", "C:\\Bad2\\config.ini", "two");  // same name, different file: its own slot
  File("Bar", "C:\\Program Files\\Bar\\TOOLBAR.Dll", "MZdll");
  fp.com.AddLibrary("C:\\Program Files\\Bar\\TOOLBAR.Dll");
  File("Bad Exe", "C:\\Bad1\\bad.exe", "MZexe");
  const uint32_t pid = fp.processes.Add("C:\\Bad1\\bad.exe");
  const uint32_t namesake = fp.processes.Add("C:\\Tools\\bad.exe");  // same name, not the threat
  fp.files.AddFile("C:\\Program Files\\BadDir\\a.txt", "a");
  fp.files.AddFile("C:\\Program Files\\BadDir\\sub\\b.txt", "bb", FA_READONLY);
  File("Bad Dir", "C:\\Program Files\\BadDir", "");
  fp.registry.PutString(Hive::CurrentUser, "Software\\Run", "Bad", "x");
  fp.registry.PutString(Hive::CurrentUser, "Software\\BadKey", "", "default");
  fp.registry.PutString(Hive::CurrentUser, "Software\\BadKey\\Sub", "S", "s");
  Reg("Bad Run", "Software\\Run", "Bad");
  Reg("Bad Key", "Software\\BadKey", "");
  Cookie("C:\\Users\\User\\Cookies\\user@bad[1].txt");
  rig.threats.cmdSelectAll_Click();
  rig.Get("lblRemovePicSoftwareFound").set_caption("7");
  rig.Get("lbltracesFound").set_caption("9");
  rig.Get("lblSoftwareFound").set_caption("7");
  rig.Get("chkSendData").set_value(1);
  host.settings["Settings/lblDefRemoved"] = "3";

  rig.backend.ExpectMsgBox(ui::MsgResult::Yes, "[MSG_CONFIRM1]\r\n\r\n[MSG_CONFIRM2]\r\n\r\n" + kQ +
                                                   "\r\n\r\n[MSG_CONFIRM3]\r\n\r\n[MSG_CONFIRM4]");
  run.Command4_Click();
  ASSERT_EQ(rig.backend.pending_msgboxes(), 0u);
  EXPECT_EQ(rig.backend.msgboxes().at(0).title, "[MSG_REALLY]");

  for (const char* gone : {"C:\\Bad1\\config.ini", "C:\\Bad2\\config.ini", "C:\\Program Files\\Bar\\TOOLBAR.Dll",
                           "C:\\Bad1\\bad.exe", "C:\\Program Files\\BadDir", "C:\\Users\\User\\Cookies\\user@bad[1].txt"})
    EXPECT_FALSE(fp.files.Exists(gone)) << gone;
  EXPECT_EQ(Stored("config.ini"), "one");
  EXPECT_EQ(Stored("config (2).ini"), "two");
  EXPECT_EQ(Stored("TOOLBAR.Dll"), "MZdll");
  EXPECT_EQ(Stored("bad.exe"), "MZexe");
  EXPECT_EQ(Stored("BadDir\\a.txt"), "a");
  EXPECT_EQ(Stored("BadDir\\sub\\b.txt"), "bb");
  EXPECT_EQ(Stored("user@bad[1].txt"), "cookie");
  EXPECT_FALSE(fp.processes.IsRunning(pid));
  EXPECT_TRUE(fp.processes.IsRunning(namesake));
  EXPECT_FALSE(fp.com.calls.empty());
  EXPECT_FALSE(fp.registry.Get(Hive::CurrentUser, "Software\\Run", "Bad"));
  EXPECT_FALSE(fp.registry.HasKey(Hive::CurrentUser, "Software\\BadKey"));
  // What went from the registry is in the run's .reg file, the whole key with its subkey.
  EXPECT_EQ(run.lastRegistryExport(), kQ + "\\Registry 2006-03-16 10.15.02.reg");
  EXPECT_EQ(fp.files.ReadFile(run.lastRegistryExport()).value_or(""),
            "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\BadKey]\r\n@=\"default\"\r\n\r\n"
            "[HKEY_CURRENT_USER\\Software\\BadKey\\Sub]\r\n\"S\"=\"s\"\r\n\r\n"
            "[HKEY_CURRENT_USER\\Software\\Run]\r\n\"Bad\"=\"x\"\r\n\r\n");

  // First pass only; a folder's files each; the key's default value, then the key.
  EXPECT_EQ(Log(), FileRecord("config.ini", "C:\\Bad1\\config.ini") +
                       FileRecord("config (2).ini", "C:\\Bad2\\config.ini") +
                       FileRecord("TOOLBAR.Dll", "C:\\Program Files\\Bar\\TOOLBAR.Dll") +
                       FileRecord("bad.exe", "C:\\Bad1\\bad.exe") +
                       FileRecord("BadDir\\a.txt", "C:\\Program Files\\BadDir\\a.txt") +
                       FileRecord("BadDir\\sub\\b.txt", "C:\\Program Files\\BadDir\\sub\\b.txt") +
                       KeyRecord("HKEY_CURRENT_USER\\Software\\Run", "Bad") +
                       KeyRecord("HKEY_CURRENT_USER\\Software\\BadKey", "") +
                       KeyRecord("HKEY_CURRENT_USER\\Software\\BadKey", "All Values") +
                       FileRecord("user@bad[1].txt", "C:\\Users\\User\\Cookies\\user@bad[1].txt"));

  EXPECT_EQ(rig.Get("lvwPicRemoveListOfSpywareFoundAndToBeRemoved").item_count(), 0u);
  EXPECT_EQ(rig.Get("lvwFilesToBeDeleted").item_count(), 0u);
  EXPECT_EQ(rig.Get("lvwRegistryToBeDeleted").item_count(), 0u);
  EXPECT_EQ(rig.Get("lvwCookiesToDelete").item_count(), 1u);  // the cookie queue keeps its rows
  EXPECT_EQ(host.settings["Settings/lblDefRemoved"], "26");
  EXPECT_EQ(host.calls, (std::vector<std::string>{"results", "timers off", "timers on", "send", "status"}));
  ASSERT_EQ(fp.restore.points.size(), 1u);
  EXPECT_EQ(fp.restore.points[0].description, "Kestrix Restore Point " + kStamp);
  EXPECT_EQ(fp.restore.points[0].type, 6u);
  EXPECT_TRUE(fp.restore.points[0].ended);
  EXPECT_FALSE(failed.visible());
  EXPECT_EQ(rig.Get("lblDeletingPercentageCompleted").caption(), "100% [MSG_COMPLETE]");
  EXPECT_FALSE(rig.Get("pgbDeleteSpywaresFound").visible());
  EXPECT_TRUE(rig.Get("lblRemove").enabled());
}

TEST_F(RemovalTest, NothingIsDeletedWithoutABackupAndWhatStaysIsListed) {
  File("Locked", "C:\\Bad\\locked.dat", "held");
  fp.files.SetInUse("C:\\Bad\\locked.dat");  // readable, so backed up, but not deletable
  File("Stuck Exe", "C:\\Bad\\stuck.exe", "MZ");
  fp.processes.Get(fp.processes.Add("C:\\Bad\\stuck.exe"))->killable = false;
  File("Plain", "C:\\Bad\\plain.txt", "p");
  File("Untouched", "C:\\Bad\\keep.txt", "k");
  fp.registry.PutString(Hive::CurrentUser, "Software\\Guarded", "V", "x");
  fp.registry.Restrict(Hive::CurrentUser, "Software\\Guarded", REGA_READ);
  Reg("Guarded", "Software\\Guarded", "V");
  rig.threats.cmdSelectAll_Click();
  auto& results = rig.Get("lvwPicRemoveListOfSpywareFoundAndToBeRemoved");
  const size_t untouched = *results.FindItem("Untouched");
  results.SetItemChecked(untouched, false);
  rig.threats.PropagateCheck(untouched);
  fp.restore.failBegin = true;  // no restore point: the run goes on

  run.lblRemove_Click();  // the side bar's entry asks nothing
  EXPECT_TRUE(rig.backend.msgboxes().empty());

  EXPECT_EQ(Problems(), (std::vector<std::string>{"C:\\Bad\\locked.dat", "C:\\Bad\\stuck.exe",
                                                  "HKEY_CURRENT_USER\\Software\\Guarded\\V"}));
  EXPECT_TRUE(failed.visible());
  // One outcome per planned row, the unticked one has none.
  std::vector<std::string> outcomes;
  for (const RowOutcome& o : run.lastOutcomes())
    outcomes.push_back(o.location + (o.removed ? " removed" : " stays: " + o.cause));
  EXPECT_EQ(outcomes, (std::vector<std::string>{"C:\\Bad\\locked.dat stays: still there after the second pass",
                                                "C:\\Bad\\stuck.exe stays: its process could not be stopped",
                                                "C:\\Bad\\plain.txt removed",
                                                "HKEY_CURRENT_USER\\Software\\Guarded\\V stays: still there after the second pass"}));
  EXPECT_EQ(Stored("locked.dat"), "held");
  EXPECT_EQ(Stored("stuck.exe"), "<none>");  // its process never stopped: not touched
  EXPECT_FALSE(fp.files.Exists("C:\\Bad\\plain.txt"));
  EXPECT_TRUE(fp.files.Exists("C:\\Bad\\keep.txt"));
  EXPECT_EQ(Stored("keep.txt"), "<none>");
  EXPECT_TRUE(fp.registry.Get(Hive::CurrentUser, "Software\\Guarded", "V"));
  // Records for what was backed up and gone (or backed up and locked), none for the
  // registry value that stayed.
  EXPECT_EQ(Log(), FileRecord("locked.dat", "C:\\Bad\\locked.dat") + FileRecord("plain.txt", "C:\\Bad\\plain.txt"));
  // The failures' rows stay, unticked, for another attempt; so does the unticked one.
  std::vector<std::string> left;
  for (const auto& r : results.items()) left.push_back(r.text + (r.checked ? "+" : ""));
  EXPECT_EQ(left, (std::vector<std::string>{"Locked", "Stuck Exe", "Untouched", "Guarded"}));

  failed.Get("Command2").Click();
  EXPECT_EQ(fp.shell.ClipboardText(),
            "C:\\Bad\\locked.dat\r\nC:\\Bad\\stuck.exe\r\nHKEY_CURRENT_USER\\Software\\Guarded\\V\r\n");
  failed.Get("Command1").Click();
  EXPECT_FALSE(failed.visible());
}

TEST_F(RemovalTest, AFullDiskKeepsEveryOriginal) {
  File("A", "C:\\Bad\\a.txt", "a");
  fp.files.AddFile("C:\\Bad\\Dir\\f.txt", "f");
  File("Dir", "C:\\Bad\\Dir", "");
  Cookie("C:\\Users\\User\\Cookies\\user@ads[2].txt");
  fp.registry.PutString(Hive::CurrentUser, "Software\\Run", "Ads", "x");
  Reg("Ads Run", "Software\\Run", "Ads");
  rig.threats.cmdSelectAll_Click();
  fp.files.writeFailure = 112;  // ERROR_DISK_FULL: no copy, no log record, no .reg file
  run.lblRemove_Click();
  fp.files.writeFailure = 0;
  EXPECT_EQ(fp.files.ReadFile("C:\\Bad\\a.txt"), "a");
  EXPECT_EQ(fp.files.ReadFile("C:\\Bad\\Dir\\f.txt"), "f");
  EXPECT_TRUE(fp.files.Exists("C:\\Users\\User\\Cookies\\user@ads[2].txt"));
  EXPECT_EQ(Problems(), (std::vector<std::string>{"C:\\Bad\\a.txt", "C:\\Bad\\Dir", "HKEY_CURRENT_USER\\Software\\Run\\Ads",
                                                  "C:\\Users\\User\\Cookies\\user@ads[2].txt"}));
  EXPECT_EQ(Log(), "");
  // Not exported, so not deleted, and its row stays for another run.
  EXPECT_TRUE(fp.registry.Get(Hive::CurrentUser, "Software\\Run", "Ads"));
  EXPECT_TRUE(rig.Get("lvwPicRemoveListOfSpywareFoundAndToBeRemoved").FindItem("Ads Run"));
  EXPECT_EQ(run.lastRegistryExport(), "");
  // No part copy left to pass for a backup.
  EXPECT_FALSE(fp.files.Exists(kQ + "\\a.txt"));
  EXPECT_FALSE(fp.files.Exists(kQ + "\\Dir"));
}

// Rows ticked while the run yields, and a second Delete, change nothing of it: it removes
// what was ticked when it began, holds the lists and the scan commands until it ends, and
// keeps its own failure list.
TEST_F(RemovalTest, WhatARunRemovesIsFixedWhenItBegins) {
  File("Ticked", "C:\\Bad\\ticked.txt", "t");
  File("Locked", "C:\\Bad\\locked.txt", "l");
  fp.files.SetInUse("C:\\Bad\\locked.txt");
  File("Later", "C:\\Bad\\later.txt", "later");
  fp.registry.PutString(Hive::CurrentUser, "Software\\Late", "V", "x");
  Reg("Late Reg", "Software\\Late", "V");
  auto& results = rig.Get("lvwPicRemoveListOfSpywareFoundAndToBeRemoved");
  for (size_t row : {0u, 1u}) {
    results.SetItemChecked(row, true);
    rig.threats.PropagateCheck(row);
  }
  const char* held[] = {"lvwPicRemoveListOfSpywareFoundAndToBeRemoved", "cmdSelectAll", "cmdExclude", "Command4",
                        "cmdScanNow", "lblSweepNow"};
  for (const char* name : held) rig.Get(name).set_enabled(true);
  std::vector<std::string> enabledDuringRun;
  host.onTurn = [&] {
    if (!run.Busy()) return;
    for (const char* name : held)
      if (rig.Get(name).enabled()) enabledDuringRun.push_back(name);
    rig.threats.cmdSelectAll_Click();
    run.Command4_Click();
  };
  rig.backend.ExpectMsgBox(ui::MsgResult::Yes);
  run.Command4_Click();
  host.onTurn = nullptr;

  EXPECT_FALSE(fp.files.Exists("C:\\Bad\\ticked.txt"));
  EXPECT_EQ(fp.files.ReadFile("C:\\Bad\\later.txt"), "later");
  EXPECT_TRUE(fp.registry.Get(Hive::CurrentUser, "Software\\Late", "V"));
  EXPECT_EQ(run.lastRegistryExport(), "");
  EXPECT_EQ(Problems(), (std::vector<std::string>{"C:\\Bad\\locked.txt"}));
  EXPECT_EQ(rig.backend.msgboxes().size(), 1u);  // the second Delete asked nothing
  EXPECT_EQ(enabledDuringRun, std::vector<std::string>{});
  for (const char* name : held) EXPECT_TRUE(rig.Get(name).enabled()) << name;
  std::vector<std::string> left;
  for (const auto& r : results.items()) left.push_back(r.text);
  EXPECT_EQ(left, (std::vector<std::string>{"Locked", "Later", "Late Reg"}));
  EXPECT_EQ(rig.Get("lvwFilesToBeDeleted").item_count(), 2u);
  EXPECT_EQ(rig.Get("lvwRegistryToBeDeleted").item_count(), 1u);
}

// Reads the registry through another, running a step before each value is read: what the
// user does while the run exports the registry.
class ReadHook final : public Registry {
 public:
  explicit ReadHook(Registry& r) : r_(r) {}
  std::function<void()> onRead;

  RegStatus OpenKey(Hive h, const std::string& p, uint32_t a) override { return r_.OpenKey(h, p, a); }
  RegStatus QueryValue(Hive h, const std::string& p, const std::string& n, RegValue& out) override {
    if (onRead) onRead();
    return r_.QueryValue(h, p, n, out);
  }
  RegResult SetValue(Hive h, const std::string& p, const std::string& n, const RegValue& v) override {
    return r_.SetValue(h, p, n, v);
  }
  RegResult CreateKey(Hive h, const std::string& p) override { return r_.CreateKey(h, p); }
  RegResult DeleteValue(Hive h, const std::string& p, const std::string& n) override { return r_.DeleteValue(h, p, n); }
  RegResult DeleteTree(Hive h, const std::string& p) override { return r_.DeleteTree(h, p); }
  RegStatus EnumSubkeys(Hive h, const std::string& p, std::vector<std::string>& out) override {
    return r_.EnumSubkeys(h, p, out);
  }
  RegStatus EnumValues(Hive h, const std::string& p, std::vector<std::string>& out) override {
    return r_.EnumValues(h, p, out);
  }
  std::optional<std::string> RealKeyName(Hive h, const std::string& p) override { return r_.RealKeyName(h, p); }
  RegStatus ReadsExactly(Hive h, const std::string& p, const std::optional<std::string>& v, bool& exact) override {
    return r_.ReadsExactly(h, p, v, exact);
  }

 private:
  Registry& r_;
};

TEST_F(RemovalTest, RowsTickedWhileTheRegistryIsExportedAreNeitherExportedNorDeleted) {
  fp.registry.PutString(Hive::CurrentUser, "Software\\Run", "Planned", "p");
  fp.registry.PutString(Hive::CurrentUser, "Software\\Run", "Late", "l");
  Reg("Planned Run", "Software\\Run", "Planned");
  Reg("Late Run", "Software\\Run", "Late");
  File("Late File", "C:\\Bad\\late.txt", "late");
  rig.Get("lvwPicRemoveListOfSpywareFoundAndToBeRemoved").SetItemChecked(0, true);
  rig.threats.PropagateCheck(0);

  ReadHook hooked(fp.registry);
  Platform platform = fp.platform();
  Platform withHook{hooked,         platform.files, platform.system,     platform.processes,
                    platform.web,   platform.restore, platform.com,     platform.shell,
                    platform.locks, platform.clock, platform.signatures, platform.notifyArea};
  RemovalRun hookedRun{RemovalServices{withHook, rig.backend, scantest::KeyAsMessage, "Kestrix", kData},
                       rig.views.removal, rig.results, host, failed, processes};
  int readsDuringRun = 0;
  hooked.onRead = [&] {
    if (!hookedRun.Busy()) return;
    ++readsDuringRun;
    rig.threats.cmdSelectAll_Click();
  };
  hookedRun.lblRemove_Click();

  ASSERT_GT(readsDuringRun, 0);
  const std::string exported = fp.files.ReadFile(hookedRun.lastRegistryExport()).value_or("");
  EXPECT_NE(exported.find("\"Planned\"=\"p\""), std::string::npos) << exported;
  EXPECT_EQ(exported.find("Late"), std::string::npos) << exported;
  EXPECT_FALSE(fp.registry.Get(Hive::CurrentUser, "Software\\Run", "Planned"));
  EXPECT_TRUE(fp.registry.Get(Hive::CurrentUser, "Software\\Run", "Late"));
  EXPECT_EQ(fp.files.ReadFile("C:\\Bad\\late.txt"), "late");
  EXPECT_EQ(Log(), KeyRecord("HKEY_CURRENT_USER\\Software\\Run", "Planned"));
  EXPECT_EQ(Problems(), std::vector<std::string>{});
  // The late rows stay, ticked, for the next run.
  std::vector<std::string> left;
  for (const ThreatEntry& t : rig.results.threats()) left.push_back(t.name + (t.checked ? "+" : ""));
  EXPECT_EQ(left, (std::vector<std::string>{"Late Run+", "Late File+"}));
}

// After Select All and Delete every queue row is either removed, with its copy and record,
// or listed in "Delete Failed" with its rows kept; only what went counts as removed.
TEST_F(RemovalTest, EveryTickedRowIsRemovedOrListedAsFailed) {
  fp.files.AddFile("C:\\Bad\\Trail\\x.txt", "x");
  File("Trailing", "C:\\Bad\\Trail\\", "");                     // folder definitions end in "\"
  fp.files.AddFile("C:\\Bad\\Held\\h.txt", "h");
  fp.files.SetInUse("C:\\Bad\\Held\\h.txt");
  File("Held Folder", "C:\\Bad\\Held", "");                     // copied, but cannot all go
  File("Late Exe", "C:\\Bad\\late.exe", "MZ");                  // its process stops on the retry only
  const uint32_t pid = fp.processes.Add("C:\\Bad\\late.exe");
  fp.processes.Get(pid)->killable = false;
  fp.registry.PutUnicode(Hive::CurrentUser, "Software\\Uni", "\xE4\xB8\xAD", REGT_SZ, "x");  // U+4E2D
  fp.registry.PutString(Hive::CurrentUser, "Software\\Uni", "Plain", "p");
  Reg("Unicode Key", "Software\\Uni", "");                      // a .reg file could not hold it
  fp.registry.PutString(Hive::CurrentUser, "Software\\Run", "Ads", "a");
  Reg("Run Ads", "Software\\Run", "Ads");
  rig.threats.cmdSelectAll_Click();
  for (const char* count : {"lblRemovePicSoftwareFound", "lbltracesFound", "lblSoftwareFound"})
    rig.Get(count).set_caption("5");
  texts["MSG_REMOVAL_SUMMARY_FAILED"] = "%1 gone, %2 failed (%2); copies: %3";
  host.onTurn = [&] {
    if (!run.quarantine().logging && fp.processes.Get(pid)) fp.processes.Get(pid)->killable = true;
  };
  run.lblRemove_Click();
  host.onTurn = nullptr;

  struct Outcome {
    const char* shown;  // the path, or the full key
    bool removed;
    const char* record;  // in the log when removed
  };
  const Outcome outcomes[] = {
      {"C:\\Bad\\Trail", true, " - File: Trail\\x.txt\r\n - Location: C:\\Bad\\Trail\\x.txt\r\n"},
      {"C:\\Bad\\Held", false, nullptr},
      {"C:\\Bad\\late.exe", true, " - File: late.exe\r\n - Location: C:\\Bad\\late.exe\r\n"},
      {"HKEY_CURRENT_USER\\Software\\Uni", false, nullptr},
      {"HKEY_CURRENT_USER\\Software\\Run\\Ads", true, " - Key: HKEY_CURRENT_USER\\Software\\Run\r\nValue: Ads\r\n"},
  };
  const std::vector<std::string> problems = Problems();
  for (const Outcome& o : outcomes) {
    SCOPED_TRACE(o.shown);
    const bool listed = std::find(problems.begin(), problems.end(), o.shown) != problems.end();
    EXPECT_EQ(listed, !o.removed);
    if (o.record) EXPECT_NE(Log().find(o.record), std::string::npos) << Log();
  }
  EXPECT_EQ(problems.size(), 2u);
  EXPECT_FALSE(fp.files.Exists("C:\\Bad\\Trail"));
  EXPECT_TRUE(fp.files.Exists("C:\\Bad\\Held\\h.txt"));
  EXPECT_EQ(fp.registry.Get(Hive::CurrentUser, "Software\\Uni", "Plain").value_or(RegValue{}).AsString(), "p");
  EXPECT_EQ(fp.files.ReadFile(run.lastRegistryExport()).value_or("").find("Uni"), std::string::npos);
  // Their threat rows stay; 15 shown, less two queue rows and two threats counted twice.
  std::vector<std::string> left;
  for (const auto& r : rig.Get("lvwPicRemoveListOfSpywareFoundAndToBeRemoved").items()) left.push_back(r.text);
  EXPECT_EQ(left, (std::vector<std::string>{"Held Folder", "Unicode Key"}));
  EXPECT_EQ(host.settings["Settings/lblDefRemoved"], "9");
  // The panel says what became of the five and shows what is left: two traces, two threats.
  EXPECT_EQ(rig.Get("lblRemovalSummary").caption(), "3 gone, 2 failed (2); copies: " + kQ);
  EXPECT_EQ(rig.Get("lbltracesFound").caption(), "2");
  EXPECT_EQ(rig.Get("lblRemovePicSoftwareFound").caption(), "2");
}

TEST_F(RemovalTest, DeleteAsksOnlyWhenItShould) {
  File("A", "C:\\Bad\\a.txt", "a");
  // Nothing ticked.
  rig.backend.ExpectMsgBox(ui::MsgResult::Ok, "[MSG_SELECTED]");
  run.Command4_Click();
  host.automatic = true;
  run.Command4_Click();  // silent
  EXPECT_EQ(rig.backend.msgboxes().size(), 1u);
  EXPECT_TRUE(host.calls.empty());

  // Windows 2000 has no System Restore: the text ends with the folder; "No" does nothing.
  host.automatic = false;
  rig.threats.cmdSelectAll_Click();
  fp.system.version = OsVersion{2, 5, 0};
  rig.backend.ExpectMsgBox(ui::MsgResult::No);
  run.Command4_Click();
  ASSERT_EQ(rig.backend.msgboxes().size(), 2u);
  const std::string text = rig.backend.msgboxes()[1].text;
  EXPECT_EQ(text.substr(text.size() - kQ.size() - 4), "\r\n\r\n" + kQ);
  EXPECT_TRUE(fp.files.Exists("C:\\Bad\\a.txt"));

  // A scheduled scan's deletion goes ahead unasked, and without a restore point here.
  host.automatic = true;
  run.Command4_Click();
  EXPECT_EQ(rig.backend.msgboxes().size(), 2u);
  EXPECT_FALSE(fp.files.Exists("C:\\Bad\\a.txt"));
  EXPECT_TRUE(fp.restore.points.empty());
}

TEST(SystemRestoreRule, MeXpAndLaterOnly) {
  struct Case {
    OsVersion v;
    bool available;
  } cases[] = {{{1, 4, 90}, true}, {{1, 4, 10}, false}, {{2, 5, 0}, false}, {{2, 5, 1}, true},
               {{2, 5, 2}, false}, {{2, 6, 0}, true}, {{2, 10, 0}, true}, {{2, 4, 0}, false}};
  for (const Case& c : cases) {
    fakes::FakePlatform fp;
    fp.system.version = c.v;
    scantest::ScanRig rig{fp.files, fp.registry, fp.system, fp.shell, fp.clock, kData};
    ProcessScanner processes{ProcessScanServices{fp.processes, fp.system, fp.files, rig.backend,
                                                 scantest::KeyAsMessage, "Kestrix", kData},
                             rig.views.processes, rig.threats, rig.state};
    Host host{rig.backend};
    FrmDelete failed{rig.backend, fp.shell};
    RemovalRun run{RemovalServices{fp.platform(), rig.backend, scantest::KeyAsMessage, "Kestrix", kData},
                   rig.views.removal, rig.results, host, failed, processes};
    EXPECT_EQ(run.IsSystemRestoreAvailable(), c.available) << c.v.platformId << "." << c.v.major << "." << c.v.minor;
    if (c.available) {
      EXPECT_TRUE(run.StartRestorePoint("one", 6));
      EXPECT_FALSE(run.StartRestorePoint("two", 6));  // the first is still open
      EXPECT_TRUE(run.EndRestorePoint());
      EXPECT_TRUE(run.StartRestorePoint("three", 6));
    }
  }
}

}  // namespace
}  // namespace kx
