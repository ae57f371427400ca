// The definition scanners that test the machine for known files, folders and registry
// entries, each reporting its finds into the threat list.
#pragma once

#include <set>
#include <string>
#include <utility>

#include "definitions/definition_files.h"
#include "platform/services.h"
#include "scan/registry_related.h"
#include "scan/scan_paths.h"
#include "scan/scan_state.h"
#include "scan/threat_list.h"

namespace kx {

// What one scan's scanners share.
struct ScanContext {
  FileSystem& files;
  DefinitionStore& definitions;
  ScanPaths& paths;  // for this scan only
  ScanState& state;
  ThreatList& threats;
};

class FileFolderScanner {
 public:
  explicit FileFolderScanner(ScanContext& ctx) : ctx_(ctx) {}
  void ScanFileDefinitions();
  void ScanFolderDefinitions();

 private:
  void Progress(const std::string& item);
  ScanContext& ctx_;
};

class RegistryScanner {
 public:
  // cacheKeys: remember for the scan which keys cannot be opened, so the values of a
  // missing key are not asked for one by one.
  RegistryScanner(ScanContext& ctx, ModRegistryRelated& registry, bool cacheKeys)
      : ctx_(ctx), registry_(registry), cacheKeys_(cacheKeys) {}
  void ScanRegistryDefinitions();

 private:
  bool KeyOpens(int64_t hive, const std::string& key);
  ScanContext& ctx_;
  ModRegistryRelated& registry_;
  bool cacheKeys_;
  std::set<std::pair<int64_t, std::string>> failedKeys_;
};

}  // namespace kx
