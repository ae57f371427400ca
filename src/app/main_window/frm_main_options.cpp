// The main window's options: stored at once when changed, read back at start-up.
#include "app/main_window/frm_main.h"

#include "app/app.h"
#include "app/main_window/frm_main_parts.h"
#include "app/startup_files.h"

#include <stdexcept>
#include <utility>
#include <vector>

namespace kx {

using ui::Control;
using ui::ControlType;
using namespace frm_main;

// ------------------------------------------------------------------ options

namespace {

// Where each option is stored and what it is before anything was: a check box as "0" or
// "1", an option button as "True" or "False". The control and its value share one name.
struct OptionBinding {
  const char* control;
  const char* section;
  const char* def;
};

constexpr OptionBinding kOptionBindings[] = {
    {"optIEHomePageSheildOn", kOptions, "True"},
    {"optIEHomePageSheildOff", kOptions, "False"},
    {"optAlwaysnotifybeforerestoring", kOptions, "True"},
    {"optRestoredefaultwithoutnotification", kOptions, "False"},
    {"optMemorySheildOn", kOptions, "True"},
    {"optMemorySheildOff", kOptions, "False"},
    {"optScanAllSelectedHardDrive", kOptions, "True"},
    {"optScanOnlyKnownSoftwares", kOptions, "False"},
    {"chkMakeLog", kOptions, "1"},
    {"chkSweepMemory", kOptions, "1"},
    {"chkScanRegistry", kOptions, "1"},
    {"chkScanCookies", kOptions, "1"},
    {"chkSendData", kOptions, "1"},
    {"chkRunAtStartup", kOptions, "0"},
    {"chkAutomaticScanYesOrNo", kOptions, "0"},
    {"chkAutomaticUpdate", kOptions, "1"},
    {"chkAutoDel", kSettings, "0"},
};

const OptionBinding& BindingOf(const std::string& control) {
  for (const OptionBinding& b : kOptionBindings)
    if (control == b.control) return b;
  throw std::out_of_range("no stored option " + control);
}

}  // namespace

void FrmMain::LoadOption(const char* name) {
  const OptionBinding& b = BindingOf(name);
  Control& c = Get(name);
  const std::string stored = app_.settings().ReadSetting(b.section, b.control, b.def);
  // Text that does not convert leaves the control as it is.
  if (c.type() == ControlType::OptionButton) {
    if (auto v = ParseSettingBool(stored)) c.set_value(*v ? 1 : 0);
  } else if (auto v = ParseSettingInt(stored); v && (*v == 0 || *v == 1)) {
    c.set_value(*v);
  }
}

void FrmMain::StoreOption(const char* name) {
  const OptionBinding& b = BindingOf(name);
  Control& c = Get(name);
  app_.settings().WriteSetting(b.section, b.control, c.type() == ControlType::OptionButton
                                                         ? std::string(BoolText(c.value() == 1))
                                                         : std::to_string(c.value()));
}

void FrmMain::chkAutoProtect_Click() {
  const bool on = Get("chkAutoProtect").value() == 1;
  app_.settings().WriteSetting(kOptions, "optMemorySheildOn", BoolText(on));
  app_.settings().WriteSetting(kOptions, "optMemorySheildOff", BoolText(!on));
  SetTimer("tmrMemoryInspected", on);
}

void FrmMain::chkHomePage_Click() {
  const bool on = Get("chkHomePage").value() == 1;
  app_.settings().WriteSetting(kOptions, "optIEHomePageSheildOn", BoolText(on));
  app_.settings().WriteSetting(kOptions, "optIEHomePageSheildOff", BoolText(!on));
  SetTimer("tmrCheckHomePage", on);
  Get("optAlwaysnotifybeforerestoring").set_enabled(on);
  Get("optRestoredefaultwithoutnotification").set_enabled(on);
}

void FrmMain::optIEHomePageSheild_Click(bool on) {
  StoreOption("optIEHomePageSheildOn");
  StoreOption("optIEHomePageSheildOff");
  SetTimer("tmrCheckHomePage", on);
  Get("optAlwaysnotifybeforerestoring").set_enabled(on);
  Get("optRestoredefaultwithoutnotification").set_enabled(on);
}

void FrmMain::optMemorySheild_Click(bool on) {
  StoreOption("optMemorySheildOn");
  StoreOption("optMemorySheildOff");
  SetTimer("tmrMemoryInspected", on);
}

void FrmMain::optRestoreMode_Click() {
  for (const char* name : {"optAlwaysnotifybeforerestoring", "optRestoredefaultwithoutnotification"})
    StoreOption(name);
}

void FrmMain::optScanType_Click(bool all) {
  for (const char* name : {"optScanOnlyKnownSoftwares", "optScanAllSelectedHardDrive"}) StoreOption(name);
  Get("lvwHardDrives").set_visible(all);
}

void FrmMain::lvwHardDrives_ItemCheck(size_t) {
  for (const auto& item : Get("lvwHardDrives").items())
    app_.settings().WriteSetting(kDrives, item.text, BoolText(item.checked));
}

void FrmMain::cmdDefaultSetting_Click() {
  Get("cmbDays").set_list_index(7);
  Get("chkAutomaticScanYesOrNo").set_value(0);
  app_.subsystems().schedule->ResetSchedule();
}

void FrmMain::chkRunAtStartup_Click() {
  Platform& p = app_.platform();
  const OsVersion os = p.system.Version();
  Settings& s = app_.settings();
  StoreOption("chkRunAtStartup");
  if (puttingRunAtStartupBack_) return;
  const std::string& product = app_.info().branding.productName;
  const bool on = ParseSettingInt(s.ReadSetting(kOptions, "chkRunAtStartup", "1")) == 1;
  // Under UAC a standard user cannot write the machine's Run key, but the user's own Run key
  // needs no rights and starts the program at this user's logon.
  const bool uac = os.platformId == 2 && os.major > 5;
  const Hive hive = uac ? Hive::CurrentUser : Hive::LocalMachine;
  if (!on) {
    const RegResult gone = p.registry.DeleteValue(hive, kRunKey, product);
    if (gone == RegStatus::Ok || gone == RegStatus::NotFound) return;
    // Left unticked, the option would deny a start that still happens.
    app_.log().Write(std::string("Run at Startup: the ") + (uac ? "user's" : "machine's") + " Run value could not be removed");
    PutRunAtStartupBack(1);
    return;
  }
  const std::string exe = p.system.ProgramFolder() + "\\" + app_.info().exeName;
  const RegValue command = RegValue::String(uac ? "\"" + exe + ".exe\"" : exe);
  const bool set = p.registry.CreateKey(hive, kRunKey) == RegStatus::Ok &&
                   p.registry.SetValue(hive, kRunKey, product, command) == RegStatus::Ok;
  if (set) return;
  // Left ticked, the option would claim a start that will not happen.
  app_.log().Write(std::string("Run at Startup: the ") + (uac ? "user's" : "machine's") + " Run key could not be written");
  PutRunAtStartupBack(0);
}

void FrmMain::PutRunAtStartupBack(int value) {
  puttingRunAtStartupBack_ = true;
  Get("chkRunAtStartup").set_value(value);  // clicks, and the click stores it
  puttingRunAtStartupBack_ = false;
  StoreOption("chkRunAtStartup");
}

void FrmMain::LoadSettingsIntoWindow() {
  Settings& s = app_.settings();
  Step([&] { s.WriteSetting(kOptions, "SHOW", "True"); });
  Step([&] {
    LoadOption("optIEHomePageSheildOn");
    Get("chkHomePage").set_value(Get("optIEHomePageSheildOn").value() == 1 ? 1 : 0);
  });
  Step([&] {
    LoadOption("chkMakeLog");
    LoadOption("optIEHomePageSheildOff");
    LoadOption("optAlwaysnotifybeforerestoring");
    LoadOption("optRestoredefaultwithoutnotification");
  });
  Step([&] {
    LoadOption("optMemorySheildOn");
    Get("chkAutoProtect").set_value(Get("optMemorySheildOn").value() == 1 ? 1 : 0);
    LoadOption("optMemorySheildOff");
  });
  Step([&] {
    LoadOption("chkSweepMemory");
    LoadOption("chkScanRegistry");
  });
  Step([&] {
    // Every start begins in Quick Scan, whatever was stored.
    LoadOption("optScanAllSelectedHardDrive");
    Get("optScanOnlyKnownSoftwares").set_value(1);
  });
  Step([&] { LoadOption("chkRunAtStartup"); });
  Step([&] {
    LoadOption("chkSweepMemory");
    LoadOption("chkScanRegistry");
    LoadOption("chkScanCookies");
    LoadOption("chkSendData");
  });
  Step([&] { ShowLastUpdate(); });
  Step([&] {
    LoadOption("chkAutomaticScanYesOrNo");
    auto stored = ParseSettingInt(s.ReadSetting(kOptions, "chkAutomaticScanYesOrNo", "0"));
    if (!stored) return;
    const bool on = *stored != 0;
    for (const char* name : {"dtpScheduleDate", "dtpScheduleTime", "cmbDays", "tmrScheduler"})
      Get(name).set_enabled(on);
  });
  Step([&] { LoadOption("chkAutomaticUpdate"); });
  Step([&] {
    // Read every drive first: ticking one rewrites them all.
    Control& drives = Get("lvwHardDrives");
    std::vector<std::optional<bool>> ticks;
    for (const auto& item : drives.items()) ticks.push_back(ParseSettingBool(s.ReadSetting(kDrives, item.text, "True")));
    for (size_t i = 0; i < ticks.size() && i < drives.item_count(); ++i)
      if (ticks[i] && drives.item(i).checked != *ticks[i]) drives.SetItemChecked(i, *ticks[i]);
  });
  Step([&] {
    // Widths the user dragged come back. Every stored one at 1400 is what the window saved
    // before anyone dragged: the columns go on following the list.
    Control& list = Get("lvwPicRemoveListOfSpywareFoundAndToBeRemoved");
    std::vector<std::pair<size_t, int>> dragged;
    bool untouched = true;
    for (size_t n = 1; n <= list.columns().size(); ++n) {
      auto width = ParseSettingInt(s.ReadSetting(kSettings, "FoundCol2" + std::to_string(n), ""));
      if (!width || *width < 0) continue;
      dragged.emplace_back(n, *width);
      untouched = untouched && *width == 1400;
    }
    if (dragged.empty() || untouched) return;
    list.set_fill_column(0);
    for (auto [n, width] : dragged) list.set_column_width(n, width);
  });
  Step([&] {
    if (s.ReadSetting(kSettings, "Max", "0") == "1") set_window_state(ui::WindowState::Maximized);
  });
  Step([&] { backend().SetMousePointer(ui::POINTER_DEFAULT); });
}

void FrmMain::ApplyTimerSettings(bool enable) {
  // A scan or a removal keeps the protection timers stopped until it ends and re-arms
  // them itself; a resize in between must not start the shields inside its loop.
  const Subsystems& sub = app_.subsystems();
  if (enable && (sub.scan->Busy() || sub.removal->Busy())) return;
  if (!enable) {
    for (const char* name : {"tmrCheckHomePage", "tmrMemoryInspected", "tmrScheduler"}) SetTimer(name, false);
    return;
  }
  Settings& s = app_.settings();
  if (auto v = ParseSettingInt(s.ReadSetting(kOptions, "chkAutomaticScanYesOrNo", "0"))) {
    if (*v != 0) sub.schedule->PaceSchedulerTimer();
    SetTimer("tmrScheduler", *v != 0);
  }
  if (auto v = ParseSettingBool(s.ReadSetting(kOptions, "optIEHomePageSheildOn", "True")))
    SetTimer("tmrCheckHomePage", *v);
  if (auto v = ParseSettingBool(s.ReadSetting(kOptions, "optMemorySheildOn", "True")))
    SetTimer("tmrMemoryInspected", *v);
}

void FrmMain::SetTimer(const char* name, bool running) { Get(name).set_enabled(running); }

std::string FrmMain::Message(const char* key) const {
  return app_.Message(key);
}

}  // namespace kx
