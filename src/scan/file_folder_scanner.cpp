#include "definitions/records.h"
#include "scan/company_name.h"
#include "scan/scanners.h"
#include "core/paths.h"
#include "core/text.h"

namespace kx {


void FileFolderScanner::Progress(const std::string& item) {
  ScanState& s = ctx_.state;
  const DefinitionCounts& d = s.definitions;
  long done = s.counters.filesFoldersInspected;
  s.UpdateScanProgress(s.phaseCaption + "\r\n" + item, Percentage(done, d.file),
                       Percentage(double(done) + d.registry + d.cookie + d.exe, d.total));
}

void FileFolderScanner::ScanFileDefinitions() {
  ScanState& s = ctx_.state;
  Placeholders& places = ctx_.paths.placeholders();
  places.SystemDriveRoot();
  if (!ctx_.definitions.Present(DefinitionFile::File)) return;
  for (const std::string& line : ctx_.definitions.DecodedLines(DefinitionFile::File)) {
    if (s.stop) return;
    FileDefinition def = ReadFileDefinition(line, places);
    const std::string& path = def.path;
    s.counters.filesFoldersInspected += 1;
    Progress(def.fileName);
    if (s.stop) return;
    // A line that names no threat is no definition: it matches nothing. Nor does a path
    // without its folder (no "|", or a placeholder that expands to nothing), which would
    // otherwise test whatever folder the program was started from.
    if (!def.threatName.empty() && IsAbsolutePath(path) && ctx_.paths.FileExists(path) && !ctx_.threats.IsSafePath(path)) {
      if (ctx_.threats.IsExcluded(path)) {
        ctx_.threats.AddExcludedRow(path);
      } else if (LowerAnsi(Trim(GetCompanyName(ctx_.files, path))) != "microsoft corporation") {
        ctx_.threats.ReportThreat(KIND_FILE, def.threatName, path, def.type, FileRow{path, def.threatName});
      }
    }
    s.YieldToMessageLoop();
  }
}

void FileFolderScanner::ScanFolderDefinitions() {
  ScanState& s = ctx_.state;
  Placeholders& places = ctx_.paths.placeholders();
  places.SystemDriveRoot();
  if (!ctx_.definitions.Present(DefinitionFile::Directory)) return;
  for (const std::string& line : ctx_.definitions.DecodedLines(DefinitionFile::Directory)) {
    if (s.stop) return;
    FolderDefinition def = ReadFolderDefinition(line, places);
    if (!def.valid) {
      s.YieldToMessageLoop();
      continue;
    }
    const std::string& path = def.path;
    s.counters.filesFoldersInspected += 1;
    Progress(def.label);
    if (s.stop) return;
    if (!def.threatName.empty() && IsAbsolutePath(path) && ctx_.paths.FolderExists(path) && !ctx_.threats.IsSafePath(path)) {
      if (ctx_.threats.IsExcludedOrContaining(path)) {
        ctx_.threats.AddExcludedRow(path);
      } else {
        // Named as file rows are, so that a second folder of the threat is ticked with it.
        ctx_.threats.ReportThreat(KIND_FOLDER, def.threatName, path, def.type, FileRow{path, def.threatName});
      }
    }
    s.YieldToMessageLoop();
  }
}

}  // namespace kx
