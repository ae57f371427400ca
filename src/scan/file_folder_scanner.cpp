#include "scan/company_name.h"
#include "scan/definition_input.h"
#include "scan/scanners.h"

namespace kx {

using scan_input::Trim;

std::string FileFolderScanner::ExpandedFolder(const std::string& folder) {
  return ReplaceAll(ctx_.paths.ExpandDefinitionField(folder), "\\\\", "\\");
}

void FileFolderScanner::Progress(const std::string& item) {
  ScanState& s = ctx_.state;
  const DefinitionCounts& d = s.definitions;
  long done = s.counters.filesFoldersInspected;
  s.UpdateScanProgress(s.phaseCaption + "\r\n" + item, Percentage(done, d.file),
                       Percentage(double(done) + d.registry + d.cookie + d.exe, d.total));
}

void FileFolderScanner::ScanFileDefinitions() {
  ScanState& s = ctx_.state;
  const std::string drive = ctx_.paths.SystemDriveRoot();
  (void)drive;  // taken once; the expansion of each line uses it
  auto lines = scan_input::ReadDecodedLines(ctx_.files, ctx_.paths, ctx_.dataFolder + "\\FileDefinition.dat");
  if (!lines) return;
  for (const std::string& line : *lines) {
    if (s.stop) return;
    scan_input::NameFolderRecord r = scan_input::ParseNameFolderLine(line);
    std::string fileName = Trim(r.name);
    std::string path = r.hasFolder
                           ? ReplaceAll(ExpandedFolder(r.folder) + "\\" + fileName, "\\\\", "\\")
                           : fileName;
    s.counters.filesFoldersInspected += 1;
    Progress(fileName);
    if (s.stop) return;
    // A name part without "=" names no threat: not a definition, it matches nothing.
    if (r.hasThreatName && ctx_.paths.FileExists(path) && !ctx_.threats.IsSafePath(path)) {
      if (ctx_.threats.IsExcluded(path)) {
        ctx_.threats.AddExcludedRow(path);
      } else if (LowerAscii(Trim(GetCompanyName(ctx_.files, path))) != "microsoft corporation") {
        ui::ListItem row;
        row.text = path;
        row.SetSubItem(1, r.threatName);
        ctx_.threats.ReportThreat(KIND_FILE, r.threatName, path, r.type, *ctx_.threats.controls().lvwFilesToBeDeleted,
                                  std::move(row));
      }
    }
    s.YieldToMessageLoop();
  }
}

void FileFolderScanner::ScanFolderDefinitions() {
  ScanState& s = ctx_.state;
  auto lines = scan_input::ReadDecodedLines(ctx_.files, ctx_.paths, ctx_.dataFolder + "\\DirectoryDefinition.dat");
  if (!lines) return;
  for (const std::string& line : *lines) {
    if (s.stop) return;
    scan_input::NameFolderRecord r = scan_input::ParseNameFolderLine(line);
    if (!r.hasFolder || r.folder.empty()) {
      s.YieldToMessageLoop();
      continue;
    }
    std::string path = ExpandedFolder(r.folder);
    s.counters.filesFoldersInspected += 1;
    std::string label = r.name;
    for (const char* cut : {"\r\n", "\r", "\n", "\t"}) label = ReplaceAll(label, cut, "");
    Progress(label);
    if (s.stop) return;
    if (r.hasThreatName && ctx_.paths.FolderExists(path) && !ctx_.threats.IsSafePath(path)) {
      if (ctx_.threats.IsExcludedOrContaining(path)) {
        ctx_.threats.AddExcludedRow(path);
      } else {
        ui::ListItem row;
        row.text = path;
        ctx_.threats.ReportThreat(KIND_FOLDER, r.threatName, path, r.type,
                                  *ctx_.threats.controls().lvwFilesToBeDeleted, std::move(row));
      }
    }
    s.YieldToMessageLoop();
  }
}

}  // namespace kx
