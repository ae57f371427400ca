// What the main window hands on to the subsystems built beside it, one small interface per
// feature. Every method does nothing by default, so a subsystem implements only its own
// part and a feature not built yet simply stays idle. The window owns the controls; each
// subsystem owns its work.
#pragma once

namespace kx {

class ScanFeature {
 public:
  virtual ~ScanFeature() = default;
  virtual void StartScan() {}   // cmdScanNow
  // The side bar's Start for a scheduled scan; autoDelete removes what it finds unasked.
  virtual void StartScheduledScan(bool autoDelete) {}
  virtual void PauseScan() {}   // cmdPause, lblPause
  virtual void StopScan() {}    // cmdStop, lblStop
  // Threat list and exclusions.
  virtual void LoadExclusions() {}        // start-up
  virtual void SelectAll() {}             // cmdSelectAll
  virtual void ExcludeSelected() {}       // cmdExclude
  virtual void QuarantineMenu(int index) {}  // mnuQuarItem: 0 View Quarantine, 1 View Exclusions
  virtual void FileProperties() {}        // mnuPopup "File Properties"
  // True while a scan runs: the protection timers stay stopped meanwhile.
  virtual bool Busy() const { return false; }
};

class RemovalFeature {
 public:
  virtual ~RemovalFeature() = default;
  virtual void DeleteSelected() {}  // Command4: asks first
  virtual void Remove() {}          // lblRemove: the run itself, unasked
  virtual void OpenRestore() {}     // Quarantine > Restore...
  virtual bool Busy() const { return false; }
};

class ReportFeature {
 public:
  virtual ~ReportFeature() = default;
  virtual void ShowReport() {}  // cmdLog, lblViewLogFile, File > View Log
  virtual void MakeReport() {}
};

class UpdateFeature {
 public:
  virtual ~UpdateFeature() = default;
  // cmdUpdate, cmdLiveUpdate, File > Run Live Update; false when it could not start now.
  virtual bool RunLiveUpdate() { return false; }
  virtual void AutoUpdateTick() {}  // timUpdate
  virtual void UndoLastUpdate() {}  // File > Undo last definitions update
  // Enables that menu item when there is a previous set to go back to.
  virtual void ShowUndoAvailable() {}
  // True while an update runs: no scan may start, it would read a set being replaced.
  virtual bool Busy() const { return false; }
};

class TrayFeature {
 public:
  virtual ~TrayFeature() = default;
  virtual void SendToTray() {}         // Command5, File > Minimize to Tray, Minimized = "Yes"
  virtual void RemoveTrayIcon() {}     // on every way out
  virtual void TrayIconMessage(int message) {}  // the main window's icon was used
};

class SubmissionFeature {
 public:
  virtual ~SubmissionFeature() = default;
  virtual void SendRunningPrograms() {}    // Results panel opened on an empty list
  virtual void SubmitFileName() {}         // cmdSubmit, Enter in txtFilename
  virtual void SendDataOptionChanged() {}  // chkSendData
};

class ShieldsFeature {
 public:
  virtual ~ShieldsFeature() = default;
  virtual void HomePageTick() {}  // tmrCheckHomePage
  virtual void MemoryTick() {}    // tmrMemoryInspected
};

class ScheduleFeature {
 public:
  virtual ~ScheduleFeature() = default;
  virtual void LoadSchedule() {}           // start-up: the schedule into its controls
  virtual void SchedulerTick() {}          // tmrScheduler
  virtual void ApplySchedule() {}          // CmdProceed "Apply"
  virtual void ResetSchedule() { ApplySchedule(); }  // cmdDefaultSetting "Reset", after its choices
  virtual void PaceSchedulerTimer() {}     // tmrScheduler about to be armed
  virtual void ScheduleOptionChanged() {}  // chkAutomaticScanYesOrNo, cmbDays, the pickers
};

// The features, bundled like Platform. An entry left null is taken by the program's own
// subsystem for it (App fills it in), or by the idle default where none is built yet.
struct Subsystems {
  ScanFeature* scan = nullptr;
  RemovalFeature* removal = nullptr;
  ReportFeature* report = nullptr;
  UpdateFeature* update = nullptr;
  TrayFeature* tray = nullptr;
  SubmissionFeature* submission = nullptr;
  ShieldsFeature* shields = nullptr;
  ScheduleFeature* schedule = nullptr;
};

}  // namespace kx
