// The scan's part of the program's subsystems: the main window's scan, threat-list and
// quarantine-menu commands go to one Scanning built on first use; every other subsystem
// is answered by the stand-ins until its part of the program replaces them.
#pragma once

#include <memory>

#include "app/subsystems.h"
#include "app/subsystems_pending.h"
#include "scan/scanning.h"

namespace kx {

class App;

class ScanSubsystems final : public Subsystems, private ScanHost {
 public:
  // The app is given after it exists: it takes its subsystems when it is made.
  void Attach(App& app) { app_ = &app; }

  void StartScan() override;
  void PauseScan() override;
  void StopScan() override;
  void LoadExclusions() override;
  void SelectAll() override;
  void ExcludeSelected() override;
  void QuarantineMenu(int index) override;

  void FileProperties() override { pending_.FileProperties(); }
  void DeleteSelected() override { pending_.DeleteSelected(); }
  void ShowReport() override { pending_.ShowReport(); }
  void MakeReport() override { pending_.MakeReport(); }
  void RunLiveUpdate() override { pending_.RunLiveUpdate(); }
  void AutoUpdateTick() override { pending_.AutoUpdateTick(); }
  void SendToTray() override { pending_.SendToTray(); }
  void RemoveTrayIcon() override { pending_.RemoveTrayIcon(); }
  void TrayMouseMove(int x) override { pending_.TrayMouseMove(x); }
  void SendRunningPrograms() override { pending_.SendRunningPrograms(); }
  void SubmitFileName() override { pending_.SubmitFileName(); }
  void SendDataOptionChanged() override { pending_.SendDataOptionChanged(); }
  void HomePageTick() override { pending_.HomePageTick(); }
  void MemoryTick() override { pending_.MemoryTick(); }
  void LoadSchedule() override { pending_.LoadSchedule(); }
  void SchedulerTick() override { pending_.SchedulerTick(); }
  void ApplySchedule() override { pending_.ApplySchedule(); }
  void ScheduleOptionChanged() override { pending_.ScheduleOptionChanged(); }

  Scanning* scanning() { return scanning_.get(); }

 private:
  Scanning& Get();

  // ScanHost
  std::string ReadSetting(const std::string& section, const std::string& key, const std::string& def) override;
  void WriteSetting(const std::string& section, const std::string& key, const std::string& value) override;
  void HideDeleteFailed() override;
  void ShowOnlySweepNowPanel() override;
  void ApplyTimerSettings(bool enable) override;
  void WriteScanReport() override;
  void ShowResultsPanel() override;
  void RunAutomaticDeletion() override;
  void ShowStatusPanelValues() override;

  App* app_ = nullptr;
  PendingSubsystems pending_;
  std::unique_ptr<Scanning> scanning_;
};

}  // namespace kx
