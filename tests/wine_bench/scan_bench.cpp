// The scan benchmark on a real (Wine) system: builds the generated machine in the running
// prefix, then times a Quick Scan from Start to "Scanning complete." with the cached paths
// and throttled yields, and again with every placeholder looked up anew, one directory
// search per line and a yield after every item. Prints the figures and whether both scans
// found exactly the same. Not a test: run it through scripts/bench-scan.sh.
#include <windows.h>
#include <psapi.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <tuple>
#include <vector>

#include "bench_support.h"
#include "platform/win32/services_win32.h"
#include "scan_support/scan_kit.h"
#include "scan_support/scan_machine.h"

using namespace kx;
using kx::bench::PumpMessages;
using kx::bench::Seconds;

namespace {

size_t PeakWorkingSetMb() {
  PROCESS_MEMORY_COUNTERS pmc{};
  pmc.cb = sizeof pmc;
  GetProcessMemoryInfo(GetCurrentProcess(), &pmc, sizeof pmc);
  return pmc.PeakWorkingSetSize / (1024 * 1024);
}

struct Result {
  double seconds = 0;
  std::vector<std::vector<std::string>> lists;
  ScanCounters counters;
  int yields = 0;
  std::string status;
};

Result Scan(win32::Win32Platform& p, const std::string& data, const scanbench::Machine& m, bool cached) {
  scantest::ScanRig rig(p.files, p.registry, p.system, p.shell, p.clock, data);
  rig.state.definitions = m.counts;
  rig.driver.options.cachePaths = cached;
  rig.state.yield.intervalMs = cached ? 10 : 0;
  rig.backend.onDoEvents = PumpMessages;
  rig.Get("optQuickScan").set_value(1);
  rig.threats.LoadExclusions();
  auto t0 = std::chrono::steady_clock::now();
  rig.driver.StartScan();
  Result r;
  r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  for (const char* l : {"lvwSpywareFound", "lvwPicRemoveListOfSpywareFoundAndToBeRemoved", "lvwFilesToBeDeleted",
                        "lvwRegistryToBeDeleted", "lvwCookiesToDelete", "lvwFileNotFounds"})
    r.lists.push_back(rig.Rows(l));
  for (const char* l : {"lbltracesFound", "lblFilesFolderInspected", "lblRegistryInspected", "lblSoftwareFound"})
    r.lists.push_back({rig.Get(l).caption()});
  r.counters = rig.state.counters;
  r.yields = rig.backend.do_events_count();
  r.status = rig.Get("lblStatus").caption();
  return r;
}

}  // namespace

int main(int argc, char** argv) {
  long lines = argc > 1 ? std::atol(argv[1]) : 100000;
  bool literal = !(argc > 2 && std::string(argv[2]) == "--cached-only");
  win32::Win32Platform p;
  PlaceholderCache folders(p.system);
  std::string data = DataFolder(folders);

  scanbench::MachineSpec spec;
  spec.definitionLines = lines;
  auto b0 = std::chrono::steady_clock::now();
  scanbench::Machine m = scanbench::BuildScanMachine(p.files, p.registry, p.system, data, spec);
  double build = std::chrono::duration<double>(std::chrono::steady_clock::now() - b0).count();
  std::printf("machine: %ld definition lines, %ld files, %ld folders, %ld registry entries planted (%.1f s)\n", lines,
              m.plantedFiles, m.plantedFolders, m.plantedRegistry, build);
  std::printf("data folder: %s\n", data.c_str());
  std::fflush(stdout);

  Result fast = Scan(p, data, m, true);
  size_t peakFast = PeakWorkingSetMb();
  std::printf("quick scan, cached:  %8.2f s  peak working set %zu MB  yields %d  threats %ld  files/folders %ld  "
              "registry %ld  status \"%s\"\n",
              fast.seconds, peakFast, fast.yields, fast.counters.threatsFound, fast.counters.filesFoldersInspected,
              fast.counters.registryInspected, fast.status.c_str());
  std::printf("rows: live %zu, threats %zu, files queue %zu, registry queue %zu\n", fast.lists[0].size(),
              fast.lists[1].size(), fast.lists[2].size(), fast.lists[3].size());
  std::fflush(stdout);
  if (!literal) return 0;

  Result slow = Scan(p, data, m, false);
  std::printf("quick scan, literal: %8.2f s  peak working set %zu MB  yields %d\n", slow.seconds, PeakWorkingSetMb(),
              slow.yields);
  bool same = fast.lists == slow.lists && fast.counters == slow.counters;
  std::printf("speed-up: %.1fx\nidentical results: %s\n", slow.seconds / fast.seconds, same ? "yes" : "NO");
  return same ? 0 : 1;
}
