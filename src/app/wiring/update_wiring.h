// Joins Live Update to the main window: the Live Update buttons, the File menu entry and the
// automatic update timer run one update at a time, never while a scan or a removal runs, and
// no scan starts while it runs; the progress window shows it and the notice tells how it
// ended, a failure as a failure.
#pragma once

#include <memory>

#include "app/subsystems.h"
#include "core/servers.h"
#include "core/web_fetch.h"
#include "definitions/live_update.h"
#include "definitions/update_merge.h"

namespace kx {

class App;
class FrmDownload;

class UpdateWiring final : public UpdateFeature, private LiveUpdateHost, private UpdateMergeHost {
 public:
  explicit UpdateWiring(App& app);
  ~UpdateWiring() override;

  bool RunLiveUpdate() override;   // the Live Update command
  void AutoUpdateTick() override;  // timUpdate, every second
  void UndoLastUpdate() override;
  void ShowUndoAvailable() override;
  bool Busy() const override { return running_; }

  bool Running() const { return running_; }
  int idleSeconds() const { return idle_; }

  // The addresses Shift shows, one per line.
  std::string AddressList() const;

 private:
  void cmdUpdate_Click();
  UpdateResult Run();
  void Notice(const std::string& text);
  PackageOutcome ApplyPackage(const std::string& package, const std::string& asked, const DateTime& local);

  // LiveUpdateHost
  void SetStatus(const std::string& text) override;
  void SetDefinitionsVersion(const std::string& text) override;
  void HandleWindowMessages() override;
  void CurrentDateAnswered(const std::string& text) override;
  // UpdateMergeHost
  void PumpMessages() override { HandleWindowMessages(); }

  App& app_;
  FrmDownload& download_;
  int idle_ = 0;
  bool running_ = false;
};

}  // namespace kx
