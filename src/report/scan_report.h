// The scan report: the log a scan leaves in the data folder (Scan_Log.txt), and showing it
// in the report window.
#pragma once

#include <functional>
#include <string>
#include <utility>

#include "platform/forms/form.h"
#include "platform/services.h"
#include "report/frm_report.h"
#include "scan/scan_results.h"
#include "scan/scan_state.h"

namespace kx {

// The label the report disables while it shows.
struct ReportControls {
  ui::Control* lblViewLogFile = nullptr;

};

struct ReportInputs {
  FileSystem& files;
  std::string productName;
  int majorVersion = 0;
  int minorVersion = 0;
  std::string dataFolder;  // no trailing "\"
  // The last scan's times and inspected counts, as the scan driver wrote them down.
  std::function<ScanSummary()> scan;
  ReportControls controls;
  const ScanResults& results;  // the threat entries are reported
  FrmReport& window;
};

class ScanReport {
 public:
  explicit ScanReport(ReportInputs inputs);

  // Replaces the log with a report of the scan as the main window shows it now. False when
  // the log could not be written; then no log is left at all.
  bool MakeReport();
  // Opens the report window modally; "Show Report" stays disabled while it is open.
  void ShowReport();

  // The report's bytes, as MakeReport writes them.
  std::string ReportText();
  // The headings of the report in the user's language, by message key; a key it answers with
  // "" (or no function) keeps the English heading. The rows are data and stay as they are.
  void set_messages(std::function<std::string(const char* key)> message) { message_ = std::move(message); }
  std::string LogPath() const { return inputs_.dataFolder + "\\Scan_Log.txt"; }

 private:
  std::string ExclusionText();
  std::string QuarantineText();

  ReportInputs inputs_;
  std::function<std::string(const char* key)> message_;
};

}  // namespace kx
