// One scan from the Start button to the Results panel: prepares the window, empties the
// lists, checks the definitions, runs the phases in their fixed order, records the times
// and re-arms the timers. Also Pause and Stop, which reach the running scan through the
// message loop.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/forms/form.h"
#include "platform/log.h"
#include "platform/services.h"
#include "scan/registry_related.h"
#include "scan/scan_state.h"
#include "scan/threat_list.h"

namespace kx {

// The main window's controls the driver works with, found once when the window is built.
struct ScanView {
  ui::Form* form = nullptr;
  ProgressControls progress;
  ThreatListControls lists;
  ui::Control *tmrScroll = nullptr, *shpCircle = nullptr;
  ui::Control *cmdRemove = nullptr, *cmdResults = nullptr, *cmdSettings = nullptr;
  ui::Control *cmdScanNow = nullptr, *cmdScan = nullptr, *cmdStop = nullptr, *cmdPause = nullptr;
  ui::Control *cmdLog = nullptr, *cmdUpdate = nullptr, *cmdStatus = nullptr;
  ui::Control *lblPercentageCompleted = nullptr, *lblTotalNoOfRunningItems = nullptr, *lblDefVersion = nullptr;
  ui::Control *lvwFileNotFounds = nullptr;
  ui::Control *optScanAllSelectedHardDrive = nullptr, *chkMakeLog = nullptr;
  ui::Control *pbgMain = nullptr;
  ui::Control *Label4 = nullptr, *Label5 = nullptr;
  ui::Control *lblPause = nullptr, *lblStop = nullptr, *lblStart = nullptr;
  // A removal run's line about its outcome; it speaks of finds a new scan replaces.
  ui::Control* lblRemovalSummary = nullptr;
};

// What the driver asks of the main window and of the other subsystems around a scan.
class ScanHost {
 public:
  virtual ~ScanHost() = default;
  virtual std::string ReadSetting(const std::string& section, const std::string& key, const std::string& def) = 0;
  virtual void WriteSetting(const std::string& section, const std::string& key, const std::string& value) = 0;
  virtual void HideDeleteFailed() {}
  virtual void ShowOnlySweepNowPanel() {}
  virtual void ShowScanPanel() {}
  virtual void ApplyTimerSettings(bool enable) {}
  virtual void WriteScanReport() {}
  virtual void ShowResultsPanel() {}
  // Hands the checked rows to the removal run (the Delete command) after a scheduled
  // scan that deletes on its own.
  virtual void RunAutomaticDeletion() {}
  virtual void ShowStatusPanelValues() {}
};

struct ScanServices {
  FileSystem& files;
  SystemInfo& system;
  Clock& clock;
  ui::Backend& ui;
  std::function<std::string(const std::string&)> message;
  std::string productName;
  std::string dataFolder;  // no trailing "\"
  Log* log = nullptr;      // where a failing step of the scan is reported
};

struct ScanOptions {
  // Placeholder folders, directory listings and unopenable keys remembered for the scan.
  bool cachePaths = true;
};

// The phases run by scanners of their own (the cookie phase counts its files into the
// number given).
struct ScanPhases {
  std::function<void(long& cookieFiles)> cookies;
  std::function<void()> memory;
};

class ScanDriver {
 public:
  ScanDriver(ScanView view, ScanServices services, ScanHost& host, ThreatList& threats, ScanState& state,
             ModRegistryRelated& registry);

  // cmdScanNow; a scheduled scan may ask to delete what it finds without asking.
  void StartScan(bool autoDelete = false);
  void SetPhases(ScanPhases phases) { phases_ = std::move(phases); }
  bool CheckDefinitionsPresent();
  void DeleteDefinitionFiles();

  void cmdScanNow_Click() { StartScan(false); }
  void lblStart_Click();
  void cmdPause_Click();
  void lblPause_Click();
  void cmdStop_Click();
  void lblStop_Click();

  // True only during a scan started to delete on its own.
  bool autoDeleting() const { return autoDelete_; }
  long cookieFiles() const { return cookieFiles_; }
  ScanOptions options;
  const std::string& scanStartTime() const { return startTime_; }
  const std::string& scanEndTime() const { return endTime_; }
  ScanSummary Summary() const;
  bool Running() const { return view_.cmdScan && !view_.cmdScan->enabled(); }

 private:
  // False when the scan was refused (definitions missing).
  bool RunScanPhases();
  void Frozen(const std::function<void()>& changes);
  // A step that goes on whatever happens to it; what it throws is logged with its line.
  template <typename F>
  void Step(F&& f, const char* function = __builtin_FUNCTION(), int line = __builtin_LINE()) {
    GuardedStepHere(services_.log, std::forward<F>(f), function, line);
  }
  std::string Msg(const std::string& key) const { return services_.message ? services_.message(key) : key; }
  void PlaceCircleBeside(ui::Control* label);

  ScanView view_;
  ScanServices services_;
  ScanHost& host_;
  ThreatList& threats_;
  ScanState& state_;
  ModRegistryRelated& registry_;
  std::string startTime_, endTime_;
  ScanPhases phases_;
  bool autoDelete_ = false;
  long cookieFiles_ = 0;
};

// A setting read as a Boolean: "True"/"False" in any case, or a number (non-zero true).
bool SettingAsBoolean(const std::string& value);
long SettingAsNumber(const std::string& value);

}  // namespace kx
