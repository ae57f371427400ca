// What one removal run removes, fixed from the ticked rows of the scan's results when the run
// starts, and what became of each planned row.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "scan/scan_results.h"

namespace kx {

struct RemovalPlan {
  struct File {
    size_t row;
    std::string path, threat;
  };
  struct Registry {
    size_t row;
    int64_t hive = 0;
    std::string key, value, threat;
    bool backedUp = false;  // held exactly by the .reg export
  };
  struct Cookie {
    size_t row;
    std::string path;
  };
  std::vector<File> files;
  std::vector<Registry> registry;
  std::vector<Cookie> cookies;
  size_t fileRows = 0, registryRows = 0, cookieRows = 0;  // the queues' lengths, for the progress
  std::vector<size_t> threatRows;                         // the threat entries ticked

  // Rows ticked later are not in it; the results' rows are copied, not referred to.
  static RemovalPlan FromTicked(const ScanResults& results);
};

// One planned queue row after the run: removed, or still there and why.
struct RowOutcome {
  ResultList list = ResultList::Files;
  size_t row = 0;        // its position when the run started
  std::string location;  // as "Delete Failed" lists it
  bool removed = true;
  std::string cause;     // empty when removed
};

}  // namespace kx
