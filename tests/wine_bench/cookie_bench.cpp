// The cookie phase on a real (Wine) system: plants Internet Explorer cookie files in the
// running prefix's cookies folder and BlockedCookies.dat in the data folder, then times the
// phase on the Win32 services with throttled yields, as a scan runs it. Prints the figures
// and whether the finds are the planted ones. Not a test: run it through
// scripts/bench-cookies.sh.
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "core/paths.h"
#include "bench_support.h"
#include "platform/win32/services_win32.h"
#include "scan/cookie_scanner.h"
#include "scan_support/cookie_machine.h"
#include "scan_support/scan_kit.h"

using namespace kx;
using kx::bench::PumpMessages;
using kx::bench::Seconds;

int main(int argc, char** argv) {
  long cookies = argc > 1 ? std::atol(argv[1]) : 5000;
  long entries = argc > 2 ? std::atol(argv[2]) : 2000;
  win32::Win32Platform p;
  PlaceholderCache folders(p.system);
  const std::string data = DataFolder(folders);
  const std::string folder = p.system.SpecialFolder(kCsidlCookies);
  if (folder.empty()) {
    std::printf("the system names no cookies folder\n");
    return 1;
  }
  auto b0 = std::chrono::steady_clock::now();
  scanbench::CookieMachine m = scanbench::BuildCookieMachine(p.files, folder, data, cookies, entries);
  std::printf("cookies folder: %s\nplanted: %ld cookie files (index.dat too), %ld blocked entries (%.1f s)\n",
              folder.c_str(), m.cookieFiles, m.blockedEntries, Seconds(b0));
  std::fflush(stdout);

  int status = 0;
  for (int run = 1; run <= 2; ++run) {  // the second with the files in the system's cache
    scantest::ScanRig rig(p.files, p.registry, p.system, p.shell, p.clock, data);
    rig.backend.onDoEvents = PumpMessages;
    rig.Get("cmdScan").set_enabled(false);
    rig.state.phaseCaption = "Inspecting Cookies: ";
    rig.threats.LoadExclusions();
    CookieScanner scanner({p.files, p.system, data}, &rig.Get("cmdScan"), rig.threats, rig.state);
    long files = 0;
    auto t0 = std::chrono::steady_clock::now();
    scanner.ScanCookies(files);
    double s = Seconds(t0);
    bool right = files == m.cookieFiles && rig.state.counters.threatsFound == m.blockedCookies &&
                 rig.Rows("lvwCookiesToDelete").size() == static_cast<size_t>(m.blockedCookies) &&
                 rig.state.counters.memoryInspected == m.blockedEntries;
    std::printf("cookie phase, run %d: %6.2f s  files %ld  threats %ld  inspected %ld  yields %d  %s\n", run, s,
                files, rig.state.counters.threatsFound, rig.state.counters.memoryInspected,
                rig.backend.do_events_count(), right ? "finds as planted" : "FINDS DIFFER");
    std::fflush(stdout);
    if (!right) status = 1;
  }
  return status;
}
