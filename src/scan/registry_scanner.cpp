#include "scan/definition_input.h"
#include "scan/scanners.h"

namespace kx {

using scan_input::Split;
using scan_input::Trim;

bool RegistryScanner::KeyOpens(int64_t hive, const std::string& key) {
  if (!cacheKeys_) return registry_.RegistryKeyExists(hive, key);
  auto k = std::make_pair(hive, UpperAscii(key));
  auto it = keys_.find(k);
  if (it != keys_.end()) return it->second;
  bool opens = registry_.RegistryKeyExists(hive, key);
  keys_.emplace(std::move(k), opens);
  return opens;
}

void RegistryScanner::ScanRegistryDefinitions() {
  ScanState& s = ctx_.state;
  ThreatList& t = ctx_.threats;
  ctx_.paths.SystemDriveRoot();
  auto lines = scan_input::ReadDecodedLines(ctx_.files, ctx_.paths, ctx_.dataFolder + "\\RegistryDefinition.dat");
  if (!lines) return;
  ui::Control* queue = t.controls().lvwRegistryToBeDeleted;
  for (const std::string& line : *lines) {
    s.YieldToMessageLoop();
    if (s.stop) break;
    scan_input::RegistryRecord r = scan_input::ParseRegistryLine(line);
    // Without "=" or without its three fields a line is no definition and matches nothing.
    if (!r.valid) continue;
    std::vector<std::string> loc = Split(ctx_.paths.ExpandDefinitionField(r.location), '^');
    if (loc.size() < 3) continue;
    const std::string& code = loc[0];
    const std::string& keyPath = loc[1];
    std::string valueName = loc[2];
    if (Trim(code).empty()) continue;
    scan_input::HiveCode hive = scan_input::HiveFromCode(code);
    if (hive.handle == -1) continue;

    s.counters.registryInspected += 1;
    const DefinitionCounts& d = s.definitions;
    long done = s.counters.registryInspected;
    s.UpdateScanProgress(s.phaseCaption + "\r\n" + LowerAscii(keyPath + "\\" + valueName), Percentage(done, d.registry),
                         Percentage(double(done) + d.cookie + d.exe, d.total));

    const std::string keyLocation = hive.name + "\\" + keyPath;
    std::string threatName = r.threatPart, type;
    if (size_t bar = r.threatPart.find('|'); bar != std::string::npos) {
      threatName = r.threatPart.substr(0, bar);
      type = r.threatPart.substr(bar + 1);
    }
    const bool isValue = !valueName.empty();
    std::string full;
    if (isValue) {
      valueName = ReplaceAll(valueName, "\\\\", "\\");
      if (cacheKeys_ && !KeyOpens(hive.handle, keyPath)) continue;
      std::string data;
      if (!registry_.ReadRegistryValue(hive.handle, keyPath, valueName, data)) continue;
      full = keyLocation + valueName;
    } else {
      if (!KeyOpens(hive.handle, Trim(keyPath))) continue;
      full = keyLocation;
    }
    if (t.IsSafePath(full)) continue;
    if (t.IsExcluded(full) || t.IsExcluded(keyLocation)) {
      t.AddExcludedRow(full);
      continue;
    }
    if (queue) {
      ui::ListItem row;
      row.text = std::to_string(hive.handle);
      row.SetSubItem(1, keyPath);
      row.SetSubItem(2, isValue ? valueName : "");
      row.SetSubItem(3, threatName);
      queue->AddItem(std::move(row));
    }
    t.AddTrace();
    if (t.IsListed(threatName)) continue;
    if (Trim(threatName).empty()) {
      if (isValue) continue;  // queued, not listed
      t.AddLiveRow("RegKey " + keyPath + " - Found", 0);
      t.AddThreatRow(keyPath, KIND_REGISTRY, full, "");
    } else {
      t.AddLiveRow(threatName + " - Found", KIND_REGISTRY);
      t.AddThreatRow(threatName, KIND_REGISTRY, full, type);
    }
    s.counters.threatsFound += 1;
  }
}

}  // namespace kx
