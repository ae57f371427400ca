// The lists a scan fills: the live list, the threat list and the deletion queues, with
// the safe list and the user's exclusions that every find is tested against, and the
// user's commands on the threat list.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/forms/form.h"
#include "platform/services.h"
#include "scan/scan_state.h"

namespace kx {

// Row images: what kind of find a row is.
enum ThreatKind { KIND_COOKIE = 1, KIND_REGISTRY = 2, KIND_FILE = 3, KIND_FOLDER = 4, KIND_EXCLUDED = 5 };

struct ThreatListControls {
  ui::Control* lvwSpywareFound = nullptr;
  ui::Control* lvwPicRemoveListOfSpywareFoundAndToBeRemoved = nullptr;
  ui::Control* lvwFilesToBeDeleted = nullptr;
  ui::Control* lvwRegistryToBeDeleted = nullptr;
  ui::Control* lvwCookiesToDelete = nullptr;
  ui::Control* lbltracesFound = nullptr;
  ui::Control* lblDeletingCaption = nullptr;

  static ThreatListControls FromForm(ui::Form& form);
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
  ThreatList(ThreatListControls lists, ThreatListServices services, ScanCounters& counters);

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
  void ReportThreat(int kind, const std::string& threatName, const std::string& location,
                    const std::string& type, ui::Control& queue, ui::ListItem queueRow);
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
  static void RemoveCheckedRows(ui::Control& list);
  void PropagateCheck(size_t threatRow);
  void cmdSelectAll_Click();
  void cmdExclude_Click();
  void ViewQuarantine();   // mnuQuarItem(0)
  void ViewExclusions();   // mnuQuarItem(1)

  const ThreatListControls& controls() const { return lists_; }

 private:
  std::string ExclusionFile() const { return services_.dataFolder + "\\ENoSignature.dat"; }
  std::string Msg(const std::string& key) const { return services_.message ? services_.message(key) : key; }

  ThreatListControls lists_;
  ThreatListServices services_;
  ScanCounters& counters_;
  std::string exclusions_;
  std::vector<std::string> exclusionElements_;  // exclusions_ split on "|", lower case
  std::vector<std::string> safe_;               // normalised, empty ones dropped
};

}  // namespace kx
