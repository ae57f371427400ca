#include "report/scan_report.h"

#include "core/paths.h"
#include "definitions/codec.h"

namespace kx {
namespace {

constexpr const char* kCrLf = "\r\n";

// The text of a file the report copies; "" when there is no such file.
std::string ReadIfPresent(FileSystem& files, const std::string& path) {
  if (!FileExists(files, path)) return {};
  return files.ReadFile(path).value_or(std::string());
}

}  // namespace


ScanReport::ScanReport(ReportInputs inputs) : inputs_(std::move(inputs)) {
  inputs_.window.ReadLogFrom(inputs_.files, LogPath());
}

// Lines that are neither empty nor a single blank, in file order.
std::string ScanReport::ExclusionText() {
  std::string text;
  for (const std::string& line : SplitTextLines(ReadIfPresent(inputs_.files, inputs_.dataFolder + "\\ENoSignature.dat"))) {
    if (line.empty() || line == " ") continue;
    text += line;
    text += kCrLf;
  }
  return text;
}

// Every line, each followed by an empty one.
std::string ScanReport::QuarantineText() {
  std::string text;
  const std::string log = ReadIfPresent(inputs_.files, inputs_.dataFolder + "\\quarantine\\QuarantineLog.txt");
  for (const std::string& line : SplitTextLines(log)) {
    text += line;
    text += "\r\n\r\n";
  }
  return text;
}

std::string ScanReport::ReportText() {
  const std::string quarantine = QuarantineText();
  const std::string exclusions = ExclusionText();
  const ScanSummary scan = inputs_.scan ? inputs_.scan() : ScanSummary{};
  const std::vector<ThreatEntry>& threats = inputs_.results.threats();

  std::string out;
  size_t rowBytes = 0;
  for (const ThreatEntry& row : threats) rowBytes += row.name.size() + row.location.size() + 10;
  out.reserve(1024 + rowBytes + quarantine.size() + exclusions.size());
  // Each record is its text and a line end, so a text ending in CR LF leaves an empty line.
  auto record = [&out](const std::string& text) {
    out += text;
    out += kCrLf;
  };

  auto heading = [this](const char* key, const char* english) {
    std::string text = message_ ? message_(key) : std::string();
    return text.empty() ? std::string(english) : text;
  };
  record(kCrLf);
  record(std::string(19, ' ') + inputs_.productName + "v" + std::to_string(inputs_.majorVersion) + "." +
         std::to_string(inputs_.minorVersion) + "   " + heading("MSG_REPORT_TITLE", "Scan Report.") + kCrLf);
  record(kCrLf);
  record(std::string("-----------------------") + kCrLf);
  record(" " + heading("MSG_REPORT_STARTED", "Scan Started at  :") + " " + scan.started + kCrLf);
  record(" " + heading("MSG_REPORT_FINISHED", "Scan Finished at :") + " " + scan.finished + kCrLf);
  record(std::string("-----------------------") + kCrLf);
  for (int i = 0; i < 3; ++i) record(kCrLf);
  record(" 1)" + heading("MSG_REPORT_MEMORY", "Total Number of Cookies and Processes inspected:") + " " +
         scan.memoryInspected + kCrLf);
  record(" 2)" + heading("MSG_REPORT_REGISTRY", "Total Number of Registry entries inspected:") + " " +
         scan.registryInspected + kCrLf);
  record(" 3)" + heading("MSG_REPORT_FILES", "Total Number of Files/Folders inspected:") + " " +
         scan.filesInspected + kCrLf);
  record(kCrLf);
  record("[Threats Detected]\r\n\r\n");
  for (const ThreatEntry& row : threats) {
    record(row.name + kCrLf);
    record(row.location + "\r\n\r\n");
  }
  record("Total = " + std::to_string(threats.size()) + kCrLf);
  if (!exclusions.empty()) record("\r\n[Files Currently Excluded]\r\n\r\n" + exclusions + kCrLf);
  if (!quarantine.empty()) record("\r\n[Current Quarantine Log]\r\n\r\n" + quarantine + "\r\n\r\n");
  record(kCrLf);
  record("=====================End Of Report.");
  return out;
}

bool ScanReport::MakeReport() {
  const std::string path = LogPath();
  // The old log goes first: a report that cannot be written must not leave the last one
  // standing as if it were this scan's.
  const IoStatus removed = inputs_.files.DeleteFile(path);
  const bool gone = removed.ok() || removed.error == ERR_FILE_NOT_FOUND || removed.error == ERR_PATH_NOT_FOUND;
  const std::string text = ReportText();
  if (inputs_.files.WriteFile(path, text)) return true;
  // Whatever part of it reached the disk is no report.
  if (gone) (void)inputs_.files.DeleteFile(path);  // best effort; the failure is reported either way
  return false;
}

void ScanReport::ShowReport() {
  ui::Control* label = inputs_.controls.lblViewLogFile;
  if (label) label->set_enabled(false);
  FrmReport& window = inputs_.window;
  window.Show(true);
  // Hidden rather than closed, it would not read the log again next time.
  if (window.loaded()) window.Unload();
  if (label) label->set_enabled(true);
}

}  // namespace kx
