// Joins the removal run to the main window: the Delete command and the side bar's "Remove"
// start it, and its questions about the window, the settings and the other subsystems come
// back here. Built when first needed, over the scan's lists and process scanner.
#pragma once

#include <memory>

#include "app/subsystems.h"
#include "removal/removal_run.h"

namespace kx {

class App;
class ScanWiring;

class RemovalWiring final : public RemovalFeature, private RemovalHost {
 public:
  RemovalWiring(App& app, ScanWiring& scan) : app_(app), scan_(scan) {}

  void DeleteSelected() override;  // Command4
  void Remove() override;          // lblRemove
  void OpenRestore() override;     // Quarantine > Restore...
  bool Busy() const override { return run_ && run_->Busy(); }

  RemovalRun& run() { return Get(); }

 private:
  RemovalRun& Get();

  // RemovalHost
  bool AutomaticDeletion() const override;
  void ShowResultsPanel() override;
  void ApplyTimerSettings(bool enable) override;
  std::string ReadSetting(const std::string& section, const std::string& key, const std::string& def) override;
  void WriteSetting(const std::string& section, const std::string& key, const std::string& value) override;
  void SendData() override;
  void ShowStatusPanelValues() override;
  void HandleWindowMessages() override;

  App& app_;
  ScanWiring& scan_;
  std::unique_ptr<RemovalRun> run_;
};

}  // namespace kx
