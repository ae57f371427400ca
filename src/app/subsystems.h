// What the main window hands on to the subsystems built beside it: the scan driver, the
// threat list and exclusions, removal, the report, Live Update, the tray, data submission,
// the shields and the scheduler. The window owns the controls; each of these owns its work.
// PendingSubsystems (subsystems_pending.cpp) answers for the ones not built yet.
#pragma once

namespace kx {

class Subsystems {
 public:
  virtual ~Subsystems() = default;

  // Scan driver.
  virtual void StartScan() = 0;   // cmdScanNow
  virtual void PauseScan() = 0;   // cmdPause, lblPause
  virtual void StopScan() = 0;    // cmdStop, lblStop

  // Threat list and exclusions.
  virtual void LoadExclusions() = 0;    // start-up
  virtual void SelectAll() = 0;         // cmdSelectAll
  virtual void ExcludeSelected() = 0;   // cmdExclude
  virtual void QuarantineMenu(int index) = 0;  // mnuQuarItem: 0 View Quarantine, 1 View Exclusions
  virtual void FileProperties() = 0;    // mnuPopup "File Properties"

  // Removal run.
  virtual void DeleteSelected() = 0;    // Command4, lblRemove

  // Scan report.
  virtual void ShowReport() = 0;        // cmdLog, lblViewLogFile, File > View Log
  virtual void MakeReport() = 0;

  // Live Update.
  virtual void RunLiveUpdate() = 0;     // cmdUpdate, cmdLiveUpdate, File > Run Live Update
  virtual void AutoUpdateTick() = 0;    // timUpdate

  // Tray.
  virtual void SendToTray() = 0;        // Command5, File > Minimize to Tray, Minimized = "Yes"
  virtual void RemoveTrayIcon() = 0;    // before the main window unloads
  virtual void TrayMouseMove(int x) = 0;  // the main window's mouse moves carry tray messages

  // Data submission.
  virtual void SendRunningPrograms() = 0;  // Results panel opened on an empty list
  virtual void SubmitFileName() = 0;       // cmdSubmit, Enter in txtFilename
  virtual void SendDataOptionChanged() = 0;  // chkSendData

  // Shields.
  virtual void HomePageTick() = 0;      // tmrCheckHomePage
  virtual void MemoryTick() = 0;        // tmrMemoryInspected

  // Scheduler.
  virtual void LoadSchedule() = 0;      // start-up: the schedule into its controls
  virtual void SchedulerTick() = 0;     // tmrScheduler
  virtual void ApplySchedule() = 0;     // CmdProceed "Apply"
  virtual void ScheduleOptionChanged() = 0;  // chkAutomaticScanYesOrNo, cmbDays, the pickers
};

}  // namespace kx
