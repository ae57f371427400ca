// Scheduled scans through the real main window on fakes: the Schedule page stores the
// schedule, tmrScheduler (driven by the headless clock) compares it with the fake wall clock,
// and the scan feature is asked to start.
#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <sstream>
#include <vector>

#include "app/app.h"
#include "app/main_window/frm_main.h"
#include "app/wiring/scan_wiring.h"
#include "app/wiring/schedule_wiring.h"
#include "fakes/fake_platform.h"
#include "platform/forms/headless.h"
#include "scan_support/scan_kit.h"

namespace kx {
namespace {

constexpr const char* kUser = "Software\\Kestrix Labs\\Kestrix\\";

// A scan that only counts how often it was started.
struct CountingScan : ScanFeature {
  int starts = 0;
  void StartScheduledScan(bool) override { ++starts; }
};

// A program that has run before; `scan` null runs the program's own scan.
struct Rig {
  fakes::FakePlatform fake;
  Platform platform = fake.platform();
  ui::HeadlessBackend ui;
  std::string data = fake.system.SpecialFolder(26) + "\\DideZuvurudARA";
  std::unique_ptr<App> app;

  Rig() {
    Put("Settings", "Language", "English");
    Put("Settings", "showHelp", "0");
    fake.registry.PutString(Hive::LocalMachine, "SOFTWARE\\Kestrix Labs\\Kestrix\\Settings", "FirstTime", "Yes");
    Put("OptionAndSettings", "chkScanCookies", "0");
    Put("OptionAndSettings", "chkSweepMemory", "0");
    fake.files.AddFolder(data);
    fake.files.AddFile(data + "\\FileDefinition.dat", scantest::EncodeFile({"sched.exe=Sched Threat|[windir]"}));
    for (const char* f : {"RegistryDefinition.dat", "ExeDefinition.dat", "BlockedCookies.dat", "DirectoryDefinition.dat"})
      fake.files.AddFile(data + "\\" + f, scantest::EncodeFile({"x"}));
  }
  void Put(const std::string& section, const std::string& key, const std::string& value) {
    fake.registry.PutString(Hive::CurrentUser, kUser + section, key, value);
  }
  std::string Stored(const std::string& section, const std::string& key) {
    auto v = fake.registry.Get(Hive::CurrentUser, kUser + section, key);
    return v ? v->AsString().value_or("?") : "<none>";
  }
  void Start(ScanFeature* scan = nullptr) {
    Subsystems given;
    given.scan = scan;
    app = std::make_unique<App>(platform, ui, AppInfo{}, given);
    app->Start();
    ui.Advance(400);
  }
  FrmMain& main() { return app->main(); }
  ui::Control& C(const char* name) { return main().Get(name); }
  // The wall clock set to a moment, then the timers run for ms with the tick count.
  void At(DateTime now, int64_t ms) {
    fake.clock.now = now;
    for (int64_t done = 0; done < ms; done += 10) {
      fake.clock.tick += 10;
      ui.Advance(10);
    }
  }
};

const DateTime kMonday{2026, 12, 7, 14, 30, 0};  // 12/7/2026 was a Monday

// The page as a user sets it: the box ticked, an entry chosen, the pickers set, Apply.
void SetSchedule(Rig& r, int day, std::optional<DateTime> date, std::optional<DateTime> time) {
  if (r.C("chkAutomaticScanYesOrNo").value() == 0) r.C("chkAutomaticScanYesOrNo").Click();
  r.C("cmbDays").set_list_index(day);
  if (date) r.C("dtpScheduleDate").set_date(date);
  r.C("dtpScheduleTime").set_date(time);
  r.C("CmdProceed").Click();
}

TEST(ScheduledScan, DailyStartsOneScanInItsSecondAndDeletesWithoutAskingOnlyThen) {
  Rig r;
  const std::string threat = "C:\\Windows\\sched.exe";
  r.fake.files.AddFile(threat, "MZ");
  r.Start();
  r.C("chkAutoDel").Click();
  SetSchedule(r, 7, std::nullopt, DateTime{2026, 12, 1, 14, 30, 0});
  ASSERT_TRUE(r.C("tmrScheduler").enabled());
  auto& scan = static_cast<ScanWiring&>(*r.app->subsystems().scan);

  r.At({2026, 12, 7, 14, 29, 59}, 1000);
  EXPECT_TRUE(r.fake.files.Exists(threat)) << "a second early";

  // The scan runs inside one tick; the flag holds during it and is gone after. An
  // unexpected question would fail the test in the headless backend.
  bool flagDuringScan = false;
  r.ui.onDoEvents = [&] { flagDuringScan = flagDuringScan || (scan.scanning() && scan.scanning()->driver.autoDeleting()); };
  r.At(kMonday, 10);
  EXPECT_FALSE(r.fake.files.Exists(threat)) << "removed after the scheduled scan";
  EXPECT_TRUE(flagDuringScan);
  EXPECT_FALSE(scan.scanning()->driver.autoDeleting());
  EXPECT_TRUE(r.C("tmrScheduler").enabled()) << "re-armed after the scan";

  // The rest of that second, and the next seconds, start nothing more.
  r.fake.files.AddFile(threat, "MZ");
  r.At(kMonday, 980);
  r.At({2026, 12, 7, 14, 30, 1}, 1000);
  EXPECT_TRUE(r.fake.files.Exists(threat));

  // A scan the user starts finds it but removes nothing.
  r.C("cmdScanNow").Click();
  EXPECT_EQ(r.C("lvwPicRemoveListOfSpywareFoundAndToBeRemoved").item_count(), 1u);
  EXPECT_TRUE(r.fake.files.Exists(threat));
  EXPECT_TRUE(r.ui.msgboxes().empty());

  // The next day at the same time it runs again; without the box ticked it only finds.
  r.C("chkAutoDel").Click();
  EXPECT_EQ(r.Stored("Settings", "chkAutoDel"), "0");
  r.At({2026, 12, 8, 14, 30, 0}, 1000);
  EXPECT_EQ(r.Stored("Settings", "lblLastScan").find("12/8/2026"), 0u) << r.Stored("Settings", "lblLastScan");
  EXPECT_TRUE(r.fake.files.Exists(threat));
  EXPECT_FALSE(scan.scanning()->driver.autoDeleting());
}

// Each case a schedule as stored, the program started on it in German (so no day name is
// English), the clock at one moment.
TEST(ScheduledScan, WhatFiresAndWhatNeverDoes) {
  std::ifstream in(std::string(KESTRIX_SOURCE_DIR) + "/packaging/Localization.txt", std::ios::binary);
  std::ostringstream shipped;
  shipped << in.rdbuf();
  struct Case {
    const char* what;
    const char* day;
    const char* time;
    const char* date;
    DateTime now;
    int starts;
  };
  const Case cases[] = {
      {"daily", "7", "2:30:00 PM", "Null", kMonday, 1},
      {"daily, a 24-hour time", "7", "14:30:00", "Null", kMonday, 1},
      {"daily, another second", "7", "2:30:01 PM", "Null", kMonday, 0},
      {"Monday on a Monday", "0", "2:30:00 PM", "Null", kMonday, 1},
      {"Monday on a Tuesday", "0", "2:30:00 PM", "Null", {2026, 12, 8, 14, 30, 0}, 0},
      {"Sunday on a Sunday", "6", "2:30:00 PM", "Null", {2026, 12, 13, 14, 30, 0}, 1},
      {"Saturday on a Sunday", "5", "2:30:00 PM", "Null", {2026, 12, 13, 14, 30, 0}, 0},
      {"the date, that day", "8", "2:30:00 PM", "12/7/2026", kMonday, 1},
      {"the date in the past", "8", "2:30:00 PM", "12/6/2026", kMonday, 0},
      {"the date without a date", "8", "2:30:00 PM", "Null", kMonday, 0},
      {"never", "9", "2:30:00 PM", "12/7/2026", kMonday, 0},
      {"a day out of the list", "12", "2:30:00 PM", "Null", kMonday, 0},
      {"a damaged day", "x", "2:30:00 PM", "Null", kMonday, 0},
      {"no time", "7", "Null", "Null", kMonday, 0},
      {"a damaged time", "7", "25:30:00", "Null", {2026, 12, 7, 1, 30, 0}, 0},
      {"a time that is text", "7", "half past two", "Null", kMonday, 0},
      {"a damaged date", "8", "2:30:00 PM", "7/12/2026x", kMonday, 0},
      {"a day-first date", "8", "2:30:00 PM", "31/12/2026", {2026, 12, 31, 14, 30, 0}, 0},
  };
  for (const Case& c : cases) {
    Rig r;
    r.fake.files.AddFile(r.fake.system.ProgramFolder() + "\\Localization.txt", shipped.str());
    r.Put("Settings", "Language", "Deutsch");
    r.Put("OptionAndSettings", "chkAutomaticScanYesOrNo", "1");
    r.Put("OptionAndSettings", "Day", c.day);
    r.Put("OptionAndSettings", "Time", c.time);
    r.Put("OptionAndSettings", "Date", c.date);
    CountingScan scan;
    r.Start(&scan);
    ASSERT_TRUE(r.C("tmrScheduler").enabled()) << c.what;
    ASSERT_EQ(r.C("TabStrip1").tabs()[2], "Zeitplan") << c.what;
    // The second before and the whole second: a hundred ticks each.
    r.At(DateTime::FromSerialSeconds(c.now.SerialSeconds() - 1), 1000);
    EXPECT_EQ(scan.starts, 0) << c.what;
    r.At(c.now, 1000);
    EXPECT_EQ(scan.starts, c.starts) << c.what;
    EXPECT_TRUE(r.ui.msgboxes().empty()) << c.what;
  }
}

TEST(ScheduledScan, ThePageStoresWhatReadsBackAndAsksForTheDate) {
  Rig r;
  CountingScan scan;
  r.Start(&scan);
  ui::Control &days = r.C("cmbDays"), &date = r.C("dtpScheduleDate"), &time = r.C("dtpScheduleTime");
  ui::Control& apply = r.C("CmdProceed");
  EXPECT_EQ(days.list_index(), 7) << "Daily when nothing is stored";
  EXPECT_FALSE(days.enabled());

  // Ticking enables the list and the timer; "Daily" wants only a time.
  r.C("chkAutomaticScanYesOrNo").Click();
  EXPECT_TRUE(days.enabled());
  EXPECT_TRUE(r.C("tmrScheduler").enabled());
  EXPECT_FALSE(date.enabled());
  EXPECT_TRUE(time.enabled());
  EXPECT_TRUE(apply.enabled());

  // "Date & Time" with an empty picker: the message, nothing stored, the page kept.
  days.set_list_index(8);
  time.set_date(DateTime{1899, 12, 30, 0, 0, 0});
  r.ui.ExpectMsgBox(ui::MsgResult::Ok, "Please select the date that you want to scan.");
  apply.Click();
  ASSERT_EQ(r.ui.msgboxes().size(), 1u);
  EXPECT_EQ(r.ui.msgboxes()[0].style, static_cast<uint32_t>(ui::MB_ICON_INFORMATION));
  EXPECT_EQ(r.ui.msgboxes()[0].title, "Kestrix");
  EXPECT_EQ(r.Stored("OptionAndSettings", "Day"), "<none>");
  EXPECT_EQ(days.list_index(), 8);
  EXPECT_TRUE(apply.enabled());

  // Midnight on a date: stored in the US general format, read back to the same moment.
  date.set_date(DateTime{2026, 12, 24, 9, 0, 0});
  apply.Click();
  EXPECT_EQ(r.Stored("OptionAndSettings", "chkAutomaticScanYesOrNo"), "1");
  EXPECT_EQ(r.Stored("OptionAndSettings", "Day"), "8");
  EXPECT_EQ(r.Stored("OptionAndSettings", "Date"), "12/24/2026");
  EXPECT_EQ(r.Stored("OptionAndSettings", "Time"), "12:00:00 AM");
  EXPECT_FALSE(apply.enabled());
  ASSERT_TRUE(date.date() && time.date());
  EXPECT_EQ(date.date()->DateOnly(), (DateTime{2026, 12, 24}));
  EXPECT_EQ(time.date()->hour * 3600 + time.date()->minute * 60 + time.date()->second, 0);
  r.At({2026, 12, 24, 0, 0, 0}, 1000);
  EXPECT_EQ(scan.starts, 1);

  // Unticked and back with "Date & Time": its pickers come back with it.
  r.C("chkAutomaticScanYesOrNo").Click();
  EXPECT_FALSE(days.enabled() || date.enabled() || r.C("tmrScheduler").enabled());
  r.C("chkAutomaticScanYesOrNo").Click();
  EXPECT_TRUE(date.enabled() && time.enabled());

  // "Never!" empties both pickers; an afternoon time is stored with its PM.
  days.set_list_index(9);
  EXPECT_FALSE(date.date() || time.date());
  EXPECT_FALSE(date.enabled() || time.enabled());
  days.set_list_index(3);
  time.set_date(DateTime{2026, 12, 24, 23, 5, 9});
  apply.Click();
  EXPECT_EQ(r.Stored("OptionAndSettings", "Day"), "3");
  EXPECT_EQ(r.Stored("OptionAndSettings", "Time"), "11:05:09 PM");
  EXPECT_EQ(r.Stored("OptionAndSettings", "Date"), "Null");

  // Unticked and applied: only the box is stored, and the timer stops.
  r.C("chkAutomaticScanYesOrNo").Click();
  apply.Click();
  EXPECT_EQ(r.Stored("OptionAndSettings", "chkAutomaticScanYesOrNo"), "0");
  EXPECT_EQ(r.Stored("OptionAndSettings", "Day"), "3");
  EXPECT_FALSE(r.C("tmrScheduler").enabled());
  EXPECT_EQ(r.ui.msgboxes().size(), 1u);
}


// Reset shows the page's defaults, Daily with scheduling off, whatever day was stored, and
// stores them so the page and the store agree.
TEST(ScheduledScan, ResetShowsDailyWithSchedulingOffWhateverDayWasStored) {
  for (const char* stored : {"0", "1", "2", "3", "4", "5", "6", "7", "8", "9", "12", "x"}) {
    Rig r;
    r.Put("OptionAndSettings", "chkAutomaticScanYesOrNo", "1");
    r.Put("OptionAndSettings", "Day", stored);
    r.Put("OptionAndSettings", "Time", "2:30:00 PM");
    r.Put("OptionAndSettings", "Date", std::string(stored) == "8" ? "12/24/2026" : "Null");
    CountingScan scan;
    r.Start(&scan);
    r.C("cmdDefaultSetting").Click();
    EXPECT_EQ(r.C("cmbDays").list_index(), 7) << stored;
    EXPECT_EQ(r.C("chkAutomaticScanYesOrNo").value(), 0) << stored;
    EXPECT_FALSE(r.C("dtpScheduleDate").date()) << stored;
    for (const char* off : {"cmbDays", "dtpScheduleDate", "dtpScheduleTime", "CmdProceed", "tmrScheduler"})
      EXPECT_FALSE(r.C(off).enabled()) << stored << " " << off;
    EXPECT_EQ(r.Stored("OptionAndSettings", "chkAutomaticScanYesOrNo"), "0") << stored;
    EXPECT_EQ(r.Stored("OptionAndSettings", "Day"), "7") << stored;
    EXPECT_EQ(r.Stored("OptionAndSettings", "Time"), "2:30:00 PM") << stored;
    EXPECT_TRUE(r.ui.msgboxes().empty()) << stored;
  }
}

// tmrScheduler stopped from well before the scheduled time (the window shown normally, or a
// scan running) and armed again just before or just after the scheduled second begins: the
// scan starts once, in that second.
TEST(ScheduledScan, ReArmedAroundItsSecondTheTimerStillStartsTheScanOnceInIt) {
  enum Arm { Minimise, Maximise, ScanEnds };
  struct Case {
    const char* what;
    Arm arm;
    DateTime second;
    int ms;  // into that second
  };
  const DateTime before{2026, 12, 7, 14, 29, 59};
  const Case cases[] = {
      {"minimised just before", Minimise, before, 950},
      {"minimised just after", Minimise, kMonday, 300},
      {"minimised at the end of it", Minimise, kMonday, 980},
      {"maximised just before", Maximise, before, 950},
      {"maximised just after", Maximise, kMonday, 300},
      {"a scan ends just before", ScanEnds, before, 950},
      {"a scan ends just after", ScanEnds, kMonday, 300},
      {"a scan ends at the end of it", ScanEnds, kMonday, 980},
  };
  struct Starts : ScanFeature {
    fakes::FakeClock* clock = nullptr;
    std::vector<DateTime> at;
    void StartScheduledScan(bool) override { at.push_back(clock->now); }
  };
  for (const Case& c : cases) {
    Rig r;
    r.Put("OptionAndSettings", "chkAutomaticScanYesOrNo", "1");
    r.Put("OptionAndSettings", "Day", "7");
    r.Put("OptionAndSettings", "Time", "2:30:00 PM");
    Starts scan;
    scan.clock = &r.fake.clock;
    r.Start(&scan);
    FrmMain& main = r.main();
    const auto resize = [&](ui::WindowState state) {
      main.BackendResized(main.width(), main.height(), main.scale_width(), main.scale_height(), state);
    };
    r.At({2026, 12, 7, 14, 29, 40}, 1000);
    ASSERT_TRUE(r.C("tmrScheduler").enabled()) << c.what;
    if (c.arm == ScanEnds)
      main.ApplyTimerSettings(false);
    else
      resize(ui::WindowState::Normal);
    ASSERT_FALSE(r.C("tmrScheduler").enabled()) << c.what;
    r.At(c.second, c.ms);
    if (c.arm == ScanEnds)
      main.ApplyTimerSettings(true);
    else
      resize(c.arm == Minimise ? ui::WindowState::Minimized : ui::WindowState::Maximized);
    ASSERT_TRUE(r.C("tmrScheduler").enabled()) << c.what;
    r.At(c.second, 1000 - c.ms);
    if (c.second == before) r.At(kMonday, 1000);
    r.At({2026, 12, 7, 14, 30, 1}, 2000);
    ASSERT_EQ(scan.at.size(), 1u) << c.what;
    EXPECT_EQ(scan.at[0], kMonday) << c.what;
  }
}

// Apply refuses a schedule with a value missing, says which, and stores nothing; "Null" is
// never stored as the time.
TEST(ScheduledScan, ApplyNamesTheMissingValueAndStoresNothing) {
  const char* kDate = "Please select the date that you want to scan.";
  const char* kTime = "Please select the time that you want to scan.";
  const char* kDay = "Please select the day that you want to scan.";
  struct Case {
    const char* what;
    const char* storedDay;
    std::function<void(Rig&)> page;
    const char* message;  // null: none, and the schedule is stored
    const char* day;      // stored afterwards
    const char* time;
  };
  const auto days = [](std::vector<int> chosen) {
    return [chosen](Rig& r) {
      for (int d : chosen) r.C("cmbDays").set_list_index(d);
    };
  };
  const Case cases[] = {
      {"Never!, then Daily", "3", days({9, 7}), kTime, "3", "9:15:00 AM"},
      {"Never!, then Wednesday", "3", days({9, 2}), kTime, "3", "9:15:00 AM"},
      {"a weekday, its time cleared", "3",
       [](Rig& r) { r.C("dtpScheduleTime").set_date(std::nullopt); }, kTime, "3", "9:15:00 AM"},
      {"Date & Time without a date", "3", days({8}), kDate, "3", "9:15:00 AM"},
      {"Date & Time with a date but no time", "3",
       [](Rig& r) {
         r.C("cmbDays").set_list_index(8);
         r.C("dtpScheduleDate").set_date(DateTime{2026, 12, 24});
         r.C("dtpScheduleTime").set_date(std::nullopt);
       },
       kTime, "3", "9:15:00 AM"},
      {"no day chosen", "x", [](Rig& r) { r.C("dtpScheduleTime").set_date(DateTime{2026, 12, 1, 10, 0, 0}); }, kDay,
       "x", "9:15:00 AM"},
      {"Never! needs no time and keeps the stored one", "3", days({9}), nullptr, "9", "9:15:00 AM"},
      {"scheduling turned off with the time empty", "3",
       [](Rig& r) {
         r.C("cmbDays").set_list_index(9);
         r.C("cmbDays").set_list_index(7);
         r.C("chkAutomaticScanYesOrNo").Click();
       },
       nullptr, "3", "9:15:00 AM"},
  };
  for (const Case& c : cases) {
    Rig r;
    r.Put("OptionAndSettings", "chkAutomaticScanYesOrNo", "1");
    r.Put("OptionAndSettings", "Day", c.storedDay);
    r.Put("OptionAndSettings", "Time", "9:15:00 AM");
    r.Put("OptionAndSettings", "Date", "Null");
    CountingScan scan;
    r.Start(&scan);
    c.page(r);
    if (c.message) r.ui.ExpectMsgBox(ui::MsgResult::Ok);
    r.C("CmdProceed").Click();
    if (c.message) {
      ASSERT_EQ(r.ui.msgboxes().size(), 1u) << c.what;
      EXPECT_EQ(r.ui.msgboxes()[0].text, c.message) << c.what;
      EXPECT_EQ(r.ui.msgboxes()[0].style, static_cast<uint32_t>(ui::MB_ICON_INFORMATION)) << c.what;
      EXPECT_EQ(r.ui.msgboxes()[0].title, "Kestrix") << c.what;
      EXPECT_TRUE(r.C("CmdProceed").enabled()) << c.what << ": the page stays as it was";
      EXPECT_EQ(r.Stored("OptionAndSettings", "chkAutomaticScanYesOrNo"), "1") << c.what;
    } else {
      EXPECT_TRUE(r.ui.msgboxes().empty()) << c.what;
      EXPECT_FALSE(r.C("CmdProceed").enabled()) << c.what;
    }
    EXPECT_EQ(r.Stored("OptionAndSettings", "Day"), c.day) << c.what;
    EXPECT_EQ(r.Stored("OptionAndSettings", "Time"), c.time) << c.what;
    EXPECT_EQ(r.Stored("OptionAndSettings", "Date"), "Null") << c.what;
  }
}

}  // namespace
}  // namespace kx
