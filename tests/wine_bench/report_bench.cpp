// The scan report on a real (Wine) system: a results list of 10,000 threats, a few hundred
// exclusions and a long quarantine log, written to the data folder and read into the real
// report window. Prints the figures and whether the log and the window hold what they should.
// Not a test: run it through scripts/bench-report.sh.
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench_support.h"
#include "core/paths.h"
#include "platform/forms/headless.h"
#include "platform/win32/services_win32.h"
#include "platform/win32/ui_win32.h"
#include "app/main_window/main_window_controls.h"
#include "app/main_window/main_window_views.h"
#include "report/scan_report.h"

using namespace kx;
using kx::bench::PumpMessages;
using kx::bench::Seconds;

namespace {

using MainStandIn = MainWindowControls;

}  // namespace

int main(int argc, char** argv) {
  const long threats = argc > 1 ? std::atol(argv[1]) : 10000;
  const long exclusions = argc > 2 ? std::atol(argv[2]) : 300;
  const long quarantined = argc > 3 ? std::atol(argv[3]) : 2000;
  win32::Win32Platform p;
  PlaceholderCache folders(p.system);
  const std::string data = DataFolder(folders);
  p.files.CreateFolder(data);
  p.files.CreateFolder(data + "\\quarantine");

  std::string excl, quarantine;
  for (long i = 0; i < exclusions; ++i) excl += "C:\\Program Files\\Allowed " + std::to_string(i) + "\\tool.exe\r\n";
  for (long i = 0; i < quarantined; ++i)
    quarantine += "3/16/2006 9:01:02 AM - File: bad" + std::to_string(i) + ".dll\r\n - Location: C:\\WINDOWS\\system32\\bad" +
                  std::to_string(i) + ".dll\r\n\r\n\r\n";
  p.files.WriteFile(data + "\\ENoSignature.dat", excl);
  p.files.WriteFile(data + "\\quarantine\\QuarantineLog.txt", quarantine);

  ui::HeadlessBackend headless;  // the report reads the labels, not their window
  MainStandIn main(headless);
  ScanResults results;
  for (long i = 0; i < threats; ++i)
    results.Add(ThreatEntry{"Threat number " + std::to_string(i), KIND_REGISTRY,
                            "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Run\\Threat" +
                                std::to_string(i),
                            "Registry Value"});

  win32::Win32Backend backend;
  FrmReport window(backend, "Kestrix");
  ScanReport report({p.files, "Kestrix", 1, 0, data,
                     [] { return ScanSummary{"3/16/2006 10:15:02 AM", "3/16/2006 10:17:40 AM", "152", "48211", "20417"}; },
                     MainWindowViews::Of(main).report, results, window});

  int status = 0;
  for (int run = 1; run <= 3; ++run) {
    auto t0 = std::chrono::steady_clock::now();
    const bool ok = report.MakeReport();
    const double write = Seconds(t0);
    const std::string written = p.files.ReadFile(report.LogPath()).value_or("");
    const bool right = ok && written == report.ReportText() &&
                       written.find("\r\nTotal = " + std::to_string(threats) + "\r\n") != std::string::npos;

    t0 = std::chrono::steady_clock::now();
    window.Load();
    PumpMessages();
    const double load = Seconds(t0);
    HWND edit = static_cast<HWND>(window.Get("txtReport").native);
    const size_t expected = FrmReport::TextOfLog(written).size();
    const bool shown = edit && static_cast<size_t>(GetWindowTextLengthA(edit)) == expected;
    window.Unload();
    PumpMessages();

    std::printf("run %d: %ld threats, log %zu bytes: MakeReport %.3f s %s; window load %.3f s (%zu characters) %s\n",
                run, threats, written.size(), write, right ? "log as expected" : "LOG DIFFERS", load, expected,
                shown ? "text shown" : "TEXT DIFFERS");
    std::fflush(stdout);
    if (!right || !shown) status = 1;
  }
  DeleteFileA(report.LogPath().c_str());
  return status;
}
