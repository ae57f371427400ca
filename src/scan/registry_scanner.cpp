#include "definitions/records.h"
#include "scan/scanners.h"
#include "core/paths.h"
#include "core/text.h"

namespace kx {


namespace {

// Safety.dat names a value as key "\" value, the definition's own location joins them
// without a separator: either form makes the value safe.
bool SafeLocation(const ThreatList& t, const RegistryDefinition& def) {
  if (t.IsSafePath(def.FullLocation())) return true;
  return !def.IsKey() && t.IsSafePath(CollapseDoubleBackslashes(def.KeyLocation() + "\\" + def.valueName));
}

}  // namespace

bool RegistryScanner::KeyOpens(int64_t hive, const std::string& key) {
  if (!cacheKeys_) return registry_.RegistryKeyExists(hive, key);
  // Only failures are remembered: a key that opened may be gone by its next line.
  auto k = std::make_pair(hive, UpperAnsi(key));
  if (failedKeys_.count(k)) return false;
  const bool opens = registry_.RegistryKeyExists(hive, key);
  if (!opens) failedKeys_.insert(std::move(k));
  return opens;
}

void RegistryScanner::ScanRegistryDefinitions() {
  ScanState& s = ctx_.state;
  ThreatList& t = ctx_.threats;
  Placeholders& places = ctx_.paths.placeholders();
  places.SystemDriveRoot();
  if (!ctx_.definitions.Present(DefinitionFile::Registry)) return;
  for (const std::string& line : ctx_.definitions.DecodedLines(DefinitionFile::Registry)) {
    s.YieldToMessageLoop();
    if (s.stop) break;
    // Without "=", without its three fields or without a valid hive a line is no
    // definition: neither counted nor tested.
    RegistryDefinition def = ReadRegistryDefinition(line, places);
    if (!def.valid) continue;

    s.counters.registryInspected += 1;
    const DefinitionCounts& d = s.definitions;
    long done = s.counters.registryInspected;
    s.UpdateScanProgress(s.phaseCaption + "\r\n" + LowerAnsi(def.keyPath + "\\" + def.valueName),
                         Percentage(done, d.registry), Percentage(double(done) + d.cookie + d.exe, d.total));

    const int64_t hive = def.hive.handle;
    if (def.IsKey()) {
      if (!KeyOpens(hive, Trim(def.keyPath))) continue;
    } else {
      if (cacheKeys_ && !KeyOpens(hive, def.keyPath)) continue;
      std::string data;
      if (!registry_.ReadRegistryValue(hive, def.keyPath, def.valueName, data)) continue;
    }
    const std::string full = def.FullLocation();
    if (SafeLocation(t, def)) continue;
    if (t.IsExcluded(full) || t.IsExcluded(def.KeyLocation())) {
      t.AddExcludedRow(full);
      continue;
    }
    t.results().Add(RegistryRow{hive, def.keyPath, def.valueName, def.threatName});
    t.AddTrace();
    if (t.IsListed(def.threatName)) continue;
    if (Trim(def.threatName).empty()) {
      // Listed under its key path, as a nameless key is: a queue row no threat row ticks
      // would stay behind after Select All and Delete.
      if (!def.IsKey() && t.HasThreatRow(def.keyPath, KIND_REGISTRY)) continue;
      t.AddLiveRow((def.IsKey() ? "RegKey " + def.keyPath : "RegValue " + full) + " - Found", 0);
      t.AddThreatRow(def.keyPath, KIND_REGISTRY, full, "");
    } else {
      t.AddLiveRow(def.threatName + " - Found", KIND_REGISTRY);
      t.AddThreatRow(def.threatName, KIND_REGISTRY, full, def.type);
    }
    s.counters.threatsFound += 1;
  }
}

}  // namespace kx
