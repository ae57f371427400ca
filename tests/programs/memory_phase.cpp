// The memory phase as a scan runs it, in a process of its own, so that a test can run it
// under another reported Windows version (Wine's per-program "Version" setting). Scans with
// the definitions of the data folder given, then prints what the scan saw and did:
//   platform <id>
//   inspected <memory items inspected>
//   threats <threats found>
//   running <lblTotalNoOfRunningItems>
//   row <text>#<image>        (each row of the live list)
#include <windows.h>

#include <cstdio>
#include <string>

#include "platform/win32/services_win32.h"
#include "scan/process_scanner.h"
#include "scan_support/scan_kit.h"

using namespace kx;

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: kestrix_memory_phase <data folder>\n");
    return 2;
  }
  const std::string data = argv[1];
  win32::Win32Platform p;
  scantest::ScanRig rig(p.files, p.registry, p.system, p.shell, p.clock, data);
  rig.threats.LoadExclusions();
  rig.state.phaseCaption = "[MSG_MEMORY]: ";
  ProcessScanner scanner(ProcessScanServices{p.processes, p.system, p.files, rig.backend, scantest::KeyAsMessage,
                                             "Kestrix", data},
                         rig.views.processes, rig.threats, rig.state);
  rig.Get("cmdScan").set_enabled(false);  // a scan is running
  scanner.ScanMemory();

  std::printf("platform %u\n", static_cast<unsigned>(p.system.Version().platformId));
  std::printf("inspected %ld\nthreats %ld\n", rig.state.counters.memoryInspected, rig.state.counters.threatsFound);
  std::printf("running %s\n", rig.Get("lblTotalNoOfRunningItems").caption().c_str());
  for (const std::string& row : rig.Rows("lvwSpywareFound")) std::printf("row %s\n", row.c_str());
  return 0;
}
