// Joins the scheduler to the main window: the Schedule page's controls edit and store the
// schedule, tmrScheduler ticks the scheduler, and a scheduled scan starts through the
// window's own Start action with the scan driver's auto-delete flag set around it.
#pragma once

#include <optional>

#include "app/subsystems.h"
#include "platform/datetime.h"
#include "protection/scheduler.h"

namespace kx {

class App;

class ScheduleWiring final : public ScheduleFeature {
 public:
  // scan: the program's own scan, whose driver carries the auto-delete flag; null when a
  // caller supplied another (the flag then has nowhere to go).
  explicit ScheduleWiring(App& app);

  void LoadSchedule() override;           // start-up
  void SchedulerTick() override;          // tmrScheduler
  void ApplySchedule() override;          // CmdProceed "Apply"
  void ResetSchedule() override;          // cmdDefaultSetting, Daily and off already chosen
  // Gives tmrScheduler the interval the clock calls for now: whenever it is armed, and
  // whenever the schedule is read again.
  void PaceSchedulerTimer() override;
  // The one event of chkAutomaticScanYesOrNo, cmbDays and both pickers: which of them
  // acted is told from what changed since the page was last seen.
  void ScheduleOptionChanged() override;

  Scheduler& scheduler() { return scheduler_; }

 private:
  // The page as last seen, to tell the controls' events apart.
  struct Page {
    int enabled = 0;
    std::optional<DateTime> date, time;
  };

  // False when the schedule was not stored (a message named the missing value).
  bool SaveSchedule();
  // The controls from the settings, Apply left disabled.
  void ReloadPage();
  void DaysChosen();
  void EnableBoxChanged();
  // The pickers as the chosen entry wants them.
  void PickersFor(int day);
  Page Seen() const;
  // tmrScheduler's interval as the last tick found it.
  void PaceTimer();

  App& app_;
  Scheduler scheduler_;
  bool loaded_ = false;
  bool changing_ = false;  // the page's own changes raise no events of their own
  Page seen_;
};

}  // namespace kx
