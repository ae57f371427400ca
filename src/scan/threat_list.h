// How a scan's finds enter its results (the live list, the threat entries and the deletion
// queues), with the safe list and the user's exclusions that every find is tested against,
// and the user's commands on the threat entries.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/forms/form.h"
#include "platform/services.h"
#include "scan/scan_results.h"
#include "scan/scan_state.h"

namespace kx {

// The list views that show the results, and the labels the commands change.
struct ThreatListControls {
  ui::Control* lvwSpywareFound = nullptr;
  ui::Control* lvwPicRemoveListOfSpywareFoundAndToBeRemoved = nullptr;
  ui::Control* lvwFilesToBeDeleted = nullptr;
  ui::Control* lvwRegistryToBeDeleted = nullptr;
  ui::Control* lvwCookiesToDelete = nullptr;
  ui::Control* lbltracesFound = nullptr;
  ui::Control* lblDeletingCaption = nullptr;

};

// What the commands need beyond the lists.
struct ThreatListServices {
  FileSystem& files;
  Shell& shell;
  ui::Backend& ui;
  std::function<std::string(const std::string&)> message;  // the message table
  std::string productName;
  std::string dataFolder;  // no trailing "\"
};

class ThreatList {
 public:
  ThreatList(ThreatListControls lists, ThreatListServices services, ScanCounters& counters, ScanResults& results);

  // Exclusions (ENoSignature.dat).
  void LoadExclusions();
  // False when the exclusion file could not take it.
  bool AddExclusion(const std::string& text);
  bool IsExcluded(const std::string& item) const;
  bool IsExcludedOrContaining(const std::string& folderPath) const;
  const std::string& exclusionText() const { return exclusions_; }

  // The safe list (loaded before every scan).
  void SetSafeList(std::vector<std::string> entries);
  bool IsSafePath(const std::string& path) const;

  // Reporting. The caller has checked that the item exists, is not safe and not excluded.
  template <class QueueRow>  // FileRow, RegistryRow or CookieRow
  void ReportThreat(int kind, const std::string& threatName, const std::string& location,
                    const std::string& type, QueueRow queueRow) {
    results_.Add(std::move(queueRow));
    ReportFound(kind, threatName, location, type);
  }
  void AddExcludedRow(const std::string& location);
  // The pieces ReportThreat is made of, for scanners with their own rules.
  void AddTrace();
  bool IsListed(const std::string& threatName) const;
  // A threat list row of this text (case ignored) and kind.
  bool HasThreatRow(const std::string& text, int kind) const;
  void AddLiveRow(const std::string& text, int image);
  void AddThreatRow(const std::string& text, int image, const std::string& location, const std::string& type);

  // Every list emptied for a new scan.
  void ClearAll();

  // User commands.
  // Copies a threat entry's tick to the queue rows of that threat.
  void PropagateCheck(size_t threatRow);
  void cmdSelectAll_Click();
  void cmdExclude_Click();
  void ViewQuarantine();   // mnuQuarItem(0)
  void ViewExclusions();   // mnuQuarItem(1)

  ScanResults& results() { return results_; }
  const ScanResults& results() const { return results_; }

 private:
  void ReportFound(int kind, const std::string& threatName, const std::string& location, const std::string& type);
  std::string ExclusionFile() const { return services_.dataFolder + "\\ENoSignature.dat"; }
  std::string Msg(const std::string& key) const { return services_.message ? services_.message(key) : key; }

  ThreatListControls lists_;
  ThreatListServices services_;
  ScanCounters& counters_;
  ScanResults& results_;
  std::string exclusions_;
  std::vector<std::string> exclusionElements_;  // exclusions_ split on "|", lower case
  std::vector<std::string> safe_;               // normalised, empty ones dropped
};

}  // namespace kx
