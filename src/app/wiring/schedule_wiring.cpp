#include "app/wiring/schedule_wiring.h"

#include "app/app.h"
#include "app/main_window/frm_main.h"
#include "app/settings.h"

namespace kx {

namespace {

constexpr const char* kAutoDelSection = "Settings";

// Sets a flag for the length of a scope.
class Holding {
 public:
  explicit Holding(bool& flag) : flag_(flag), was_(flag) { flag_ = true; }
  ~Holding() { flag_ = was_; }
  Holding(const Holding&) = delete;
  Holding& operator=(const Holding&) = delete;

 private:
  bool& flag_;
  bool was_;
};

}  // namespace

ScheduleWiring::ScheduleWiring(App& app)
    : app_(app),
      scheduler_(SchedulerInputs{
          [&app](const std::string& key, const std::string& def) {
            return app.settings().ReadSetting(kScheduleSection, key, def);
          },
          app.platform().clock,
          [&app](bool autoDelete) {
            // Not over an update replacing the definition set.
            if (app.subsystems().update->Busy()) {
              app.log().Write("scheduled scan: not started, Live Update runs");
              return;
            }
            app.log().Write("scheduled scan: starting");
            app.subsystems().scan->StartScheduledScan(autoDelete);
          },
          [&app]() -> std::optional<bool> {
            const ui::Control* box = app.main().Find("chkAutoDel");
            if (!box) return std::nullopt;
            return box->value() == 1;
          }}) {}

void ScheduleWiring::SchedulerTick() {
  scheduler_.Tick();
  PaceTimer();
}

void ScheduleWiring::PaceTimer() { app_.main().Get("tmrScheduler").set_interval(scheduler_.intervalMs()); }

void ScheduleWiring::PaceSchedulerTimer() { app_.main().Get("tmrScheduler").set_interval(scheduler_.PaceNow()); }

void ScheduleWiring::LoadSchedule() {
  ReloadPage();
  loaded_ = true;
}

ScheduleWiring::Page ScheduleWiring::Seen() const {
  FrmMain& main = app_.main();
  return {main.Get("chkAutomaticScanYesOrNo").value(), main.Get("dtpScheduleDate").date(),
          main.Get("dtpScheduleTime").date()};
}

void ScheduleWiring::PickersFor(int day) {
  FrmMain& main = app_.main();
  ui::Control& date = main.Get("dtpScheduleDate");
  ui::Control& time = main.Get("dtpScheduleTime");
  if (day >= 0 && day <= kScheduleDaily) {
    date.set_date(std::nullopt);
    date.set_enabled(false);
    time.set_enabled(true);
  } else if (day == kScheduleOnDate) {
    date.set_enabled(true);
    time.set_enabled(true);
  } else if (day == kScheduleNever) {
    for (ui::Control* picker : {&date, &time}) {
      picker->set_date(std::nullopt);
      picker->set_enabled(false);
    }
  }
}

void ScheduleWiring::ReloadPage() {
  Holding hold(changing_);
  FrmMain& main = app_.main();
  Settings& s = app_.settings();
  ui::Control& days = main.Get("cmbDays");
  const int day = ParseScheduleDay(s.ReadSetting(kScheduleSection, "Day", "7"));
  days.set_list_index(day >= 0 && day < static_cast<int>(days.list().size()) ? day : -1);
  main.Get("dtpScheduleTime").set_date(ParseScheduleValue(s.ReadSetting(kScheduleSection, "Time", kScheduleNull)));
  main.Get("dtpScheduleDate").set_date(ParseScheduleValue(s.ReadSetting(kScheduleSection, "Date", kScheduleNull)));
  if (auto v = ParseSettingInt(s.ReadSetting(kAutoDelSection, "chkAutoDel", "0")); v && (*v == 0 || *v == 1))
    main.Get("chkAutoDel").set_value(*v);

  PickersFor(days.list_index());
  const bool on = ParseSettingInt(s.ReadSetting(kScheduleSection, "chkAutomaticScanYesOrNo", "0")).value_or(0) != 0;
  if (!on)
    for (const char* name : {"cmbDays", "dtpScheduleDate", "dtpScheduleTime"}) main.Get(name).set_enabled(false);
  main.Get("CmdProceed").set_enabled(false);
  scheduler_.Reload();
  PaceSchedulerTimer();
  seen_ = Seen();
}

void ScheduleWiring::ScheduleOptionChanged() {
  if (!loaded_ || changing_) return;
  Holding hold(changing_);
  const Page now = Seen();
  if (now.enabled != seen_.enabled)
    EnableBoxChanged();
  else if (now.date != seen_.date || now.time != seen_.time)
    app_.main().Get("CmdProceed").set_enabled(true);
  else  // the day list raises its event even when the same entry is chosen again
    DaysChosen();
  seen_ = Seen();
}

void ScheduleWiring::DaysChosen() {
  FrmMain& main = app_.main();
  PickersFor(main.Get("cmbDays").list_index());
  main.Get("CmdProceed").set_enabled(true);
}

void ScheduleWiring::EnableBoxChanged() {
  FrmMain& main = app_.main();
  const bool on = main.Get("chkAutomaticScanYesOrNo").value() == 1;
  main.Get("tmrScheduler").set_enabled(on);
  main.Get("cmbDays").set_enabled(on);
  if (on) {
    // Every entry gets its pickers back, "Date & Time" included: unticking disabled them.
    PickersFor(main.Get("cmbDays").list_index());
  } else {
    main.Get("dtpScheduleDate").set_enabled(false);
    main.Get("dtpScheduleTime").set_enabled(false);
  }
  main.Get("CmdProceed").set_enabled(true);
  scheduler_.Reload();
  PaceSchedulerTimer();
}

void ScheduleWiring::ApplySchedule() {
  if (!SaveSchedule()) return;
  ReloadPage();
}

void ScheduleWiring::ResetSchedule() {
  if (!SaveSchedule()) return;
  // Apply with scheduling off keeps the stored day, and the page is reloaded from the
  // store: the day Reset chose must be stored for the page, and the next start, to show it.
  app_.settings().WriteSetting(kScheduleSection, "Day", std::to_string(app_.main().Get("cmbDays").list_index()));
  ReloadPage();
}

bool ScheduleWiring::SaveSchedule() {
  FrmMain& main = app_.main();
  Settings& s = app_.settings();
  const int day = main.Get("cmbDays").list_index();
  const std::optional<DateTime>& date = main.Get("dtpScheduleDate").date();
  const std::optional<DateTime>& time = main.Get("dtpScheduleTime").date();
  const int enabled = main.Get("chkAutomaticScanYesOrNo").value();
  // "Date & Time" is checked even with scheduling off, as it always was; the day and the
  // time only when they are about to be stored, since the page disables them when off.
  const char* missing = nullptr;
  if (day == kScheduleOnDate && !date)
    missing = "MSG_DATE";
  else if (day == kScheduleOnDate && !time)
    missing = "MSG_TIME";
  else if (enabled == 1 && day < 0)
    missing = "MSG_DAY";
  else if (enabled == 1 && day != kScheduleNever && !time)
    missing = "MSG_TIME";
  if (missing) {
    app_.ui().MsgBox(app_.Message(missing), ui::MB_ICON_INFORMATION,
                     app_.info().branding.productName);
    // The page stays as the user left it, Apply enabled, so the value can still be picked.
    return false;
  }
  s.WriteSetting(kScheduleSection, "chkAutomaticScanYesOrNo", std::to_string(enabled));
  if (ParseSettingInt(s.ReadSetting(kScheduleSection, "chkAutomaticScanYesOrNo", "0")) != 1) {
    main.Get("tmrScheduler").set_enabled(false);
    return true;
  }
  s.WriteSetting(kScheduleSection, "Day", std::to_string(day));
  // Only "Never!" comes here without a time; it needs none, and the stored one is kept.
  if (time) s.WriteSetting(kScheduleSection, "Time", ScheduleTimeText(time));
  s.WriteSetting(kScheduleSection, "Date", ScheduleDateText(date));
  main.Get("tmrScheduler").set_enabled(true);
  return true;
}

}  // namespace kx
