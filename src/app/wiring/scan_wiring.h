// Joins the scan to the main window: the window's scan, threat-list and quarantine-menu
// commands go to one Scanning, built when first needed, and the scan's questions about
// the window and the other subsystems come back here.
#pragma once

#include <memory>

#include "app/subsystems.h"
#include "scan/scanning.h"

namespace kx {

class App;

class ScanWiring final : public ScanFeature, private ScanHost {
 public:
  explicit ScanWiring(App& app) : app_(app) {}

  void StartScan() override;
  void StartScheduledScan(bool autoDelete) override;
  void PauseScan() override;
  void StopScan() override;
  void LoadExclusions() override;
  void SelectAll() override;
  void ExcludeSelected() override;
  void QuarantineMenu(int index) override;
  bool Busy() const override { return scanning_ && scanning_->driver.Running(); }

  Scanning* scanning() { return scanning_.get(); }
  // The scan's modules, built when first needed.
  Scanning& modules() { return Get(); }

 private:
  Scanning& Get();
  void Start(bool autoDelete);

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

  App& app_;
  std::unique_ptr<Scanning> scanning_;
};

}  // namespace kx
