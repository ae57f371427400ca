// Stand-ins for the subsystems not built yet: each does nothing until its part of the
// program replaces it.
#pragma once

#include "app/subsystems.h"

namespace kx {

class PendingSubsystems final : public Subsystems {
 public:
  void StartScan() override {}
  void PauseScan() override {}
  void StopScan() override {}
  void LoadExclusions() override {}
  void SelectAll() override {}
  void ExcludeSelected() override {}
  void QuarantineMenu(int) override {}
  void FileProperties() override {}
  void DeleteSelected() override {}
  void ShowReport() override {}
  void MakeReport() override {}
  void RunLiveUpdate() override {}
  void AutoUpdateTick() override {}
  void SendToTray() override {}
  void RemoveTrayIcon() override {}
  void TrayMouseMove(int) override {}
  void SendRunningPrograms() override {}
  void SubmitFileName() override {}
  void SendDataOptionChanged() override {}
  void HomePageTick() override {}
  void MemoryTick() override {}
  void LoadSchedule() override {}
  void SchedulerTick() override {}
  void ApplySchedule() override {}
  void ScheduleOptionChanged() override {}
};

}  // namespace kx
