// The removal run: the Delete command's confirmation, then two passes over the ticked rows
// of the three deletion queues (files and folders, registry entries, cookies), the first
// backing up, logging and deleting, the second retrying what is left and listing the files
// that resisted in the "Delete Failed" window. A System Restore point covers the run where
// Windows offers one, and the registry entries about to go are exported to a .reg file.
#pragma once

#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/forms/form.h"
#include "platform/log.h"
#include "platform/services.h"
#include "removal/frm_delete.h"
#include "removal/quarantine.h"
#include "removal/removal_plan.h"
#include "scan/process_scanner.h"
#include "removal/registry_deletion.h"
#include "scan/registry_related.h"
#include "scan/scan_results.h"

namespace kx {

struct RemovalControls {
  ui::Control* lvwPicRemoveListOfSpywareFoundAndToBeRemoved = nullptr;  // held only; its rows are the results'
  ui::Control* pgbDeleteSpywaresFound = nullptr;
  ui::Control* lblDeletingPercentageCompleted = nullptr;
  ui::Control* lblDeletingCaption = nullptr;
  ui::Control *lblSweepNow = nullptr, *lblOptions = nullptr, *lblResult = nullptr, *lblExit = nullptr,
              *lblRemove = nullptr;
  ui::Control *lblRemovePicSoftwareFound = nullptr, *lbltracesFound = nullptr, *lblSoftwareFound = nullptr;
  ui::Control* chkSendData = nullptr;
  // Held disabled for the run, so that its rows cannot change under it.
  ui::Control *cmdScanNow = nullptr, *cmdSelectAll = nullptr, *cmdExclude = nullptr, *Command4 = nullptr;
  ui::Control* lblRemovalSummary = nullptr;  // what the last run removed, what failed, where the copies are

};

// What the run asks of the main window and of the subsystems beside it.
class RemovalHost {
 public:
  virtual ~RemovalHost() = default;
  virtual bool AutomaticDeletion() const = 0;  // a scheduled scan asked for it
  virtual void ShowResultsPanel() = 0;         // the results panel alone
  virtual void ApplyTimerSettings(bool enable) = 0;
  virtual std::string ReadSetting(const std::string& section, const std::string& key, const std::string& def) = 0;
  virtual void WriteSetting(const std::string& section, const std::string& key, const std::string& value) = 0;
  virtual void SendData() = 0;  // the anonymous data submission
  virtual void ShowStatusPanelValues() = 0;
  virtual void HandleWindowMessages() = 0;  // one turn of the message loop
};

struct RemovalServices {
  Platform platform;  // references, copied
  ui::Backend& ui;
  std::function<std::string(const std::string&)> message;  // the message table
  std::string productName;
  std::string dataFolder;  // no trailing "\"
  Log* log = nullptr;
};

class RemovalRun {
 public:
  RemovalRun(RemovalServices services, RemovalControls controls, ScanResults& results, RemovalHost& host,
             FrmDelete& failures, ProcessScanner& processes);

  void Command4_Click();   // Delete
  void lblRemove_Click();  // the run itself; the side bar's "Remove" starts it unasked
  void RemovalPass();
  // -1 not present, 2 its process could not be stopped, 1 quarantined and deleted, 0 otherwise.
  int RemoveExecutable(const std::string& path);

  // Writes the planned registry entries, as they are now, to a .reg file in the quarantine
  // and marks those it holds exactly; only they are deleted. False when there was something
  // to export and it could not be written.
  bool ExportRegistry();

  bool IsSystemRestoreAvailable();
  bool StartRestorePoint(const std::string& description, uint32_t restorePointType);
  bool EndRestorePoint();

  bool Busy() const { return running_; }
  Quarantine& quarantine() { return quarantine_; }
  // What the last run planned, and what became of each of its queue rows.
  const RemovalPlan& lastPlan() const { return plan_; }
  const std::vector<RowOutcome>& lastOutcomes() const { return outcomes_; }
  // The .reg file the last run wrote, "" when it had nothing to export.
  const std::string& lastRegistryExport() const { return lastExport_; }
  // The fixed pause at the start of a run, in message-loop turns.
  int pauseTurns = 20001;

 private:
  std::string Msg(const std::string& key) const;
  void Turn() { host_.HandleWindowMessages(); }
  void SetStatus(const std::string& text);
  void SetCaption(const std::string& text);
  void ShowBar(bool visible);
  void HoldControls(bool hold);
  void Progress(size_t row, size_t rows, int barValue);
  void FilesPass(bool second, long& failures);
  void RegistryPass(bool second, long& failures);
  void CookiesPass(bool second, long& failures);
  // A row that was not removed: listed in "Delete Failed", unticked with its threat row so
  // both stay for another attempt, and not counted as removed.
  void Failed(ResultList queue, size_t row, const std::string& shown, const std::string& threat,
              const std::string& location, const std::string& cause, long& failures);
  void RecordOutcomes();
  bool StillThere(const std::string& path);
  bool StillThere(const RemovalPlan::Registry& entry);
  void AddToRemovedTotal();
  void ShowSummary();

  RemovalServices s_;
  RemovalControls c_;
  ScanResults& results_;
  RemovalHost& host_;
  FrmDelete& failures_;
  ProcessScanner& processes_;
  Quarantine quarantine_;
  RegistryDeletion registry_;
  int64_t restoreSequence_ = 0;
  bool running_ = false;
  RemovalPlan plan_;
  std::vector<RowOutcome> failed_;   // this run's, in the order the passes met them
  std::vector<RowOutcome> outcomes_; // every planned queue row, files, registry, cookies
  std::set<size_t> keptThreats_;     // threat entries of rows that were not removed
  std::vector<std::pair<ui::Control*, bool>> held_;  // controls disabled for the run, as they were
  std::string lastExport_;
};

}  // namespace kx
