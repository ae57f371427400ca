// The memory phase on a real (Wine) system: 10,000 executable definition lines and a crowd
// of running sleeper processes, some of them named by the definitions and excluded. Times
// the phase as a scan runs it and as one memory-shield check runs it. Not a test: run it
// through scripts/bench-memory.sh.
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "../scan_support/must.h"
#include "core/paths.h"
#include "definitions/codec.h"
#include "bench_support.h"
#include "platform/win32/services_win32.h"
#include "scan/process_scanner.h"
#include "scan_support/scan_kit.h"

using namespace kx;
using kx::bench::PumpMessages;
using kx::bench::Seconds;

int main(int argc, char** argv) {
  const long lines = argc > 1 ? std::atol(argv[1]) : 10000;
  const int processes = argc > 2 ? std::atoi(argv[2]) : 60;
  const std::string sleeper = argc > 3 ? argv[3] : "kestrix_sleeper.exe";
  win32::Win32Platform p;
  PlaceholderCache folders(p.system);
  const std::string data = DataFolder(folders);
  (void)p.files.CreateFolder(data.substr(0, data.find_last_of('\\')));  // it may be there already
  (void)p.files.CreateFolder(data);  // it may be there already
  const std::string root = "C:\\MemoryBench";
  (void)p.files.CreateFolder(root);  // it may be there already

  // Every tenth process is named by a definition and excluded, so the phase follows a match
  // all the way (company name read, exclusion checked) without stopping anything.
  std::string defs, exclusions;
  std::vector<PROCESS_INFORMATION> started;
  for (int i = 0; i < processes; ++i) {
    const std::string name = "sleep" + std::to_string(i) + ".exe";
    const std::string path = root + "\\" + name;
    CopyFileA(sleeper.c_str(), path.c_str(), FALSE);
    if (i % 10 == 0) {
      defs += EncodeDefinitionLine(name + "=Bench Threat|" + root + "\\") + "\r\n";
      exclusions += name + "\r\n";
    }
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    std::string line = "\"" + path + "\"";
    if (CreateProcessA(path.c_str(), line.data(), nullptr, nullptr, FALSE, DETACHED_PROCESS, nullptr, nullptr, &si,
                       &pi))
      started.push_back(pi);
  }
  for (long i = static_cast<long>(processes / 10 + 1); i < lines; ++i)
    defs += EncodeDefinitionLine("prog" + std::to_string(i) + ".exe=Threat " + std::to_string(i) + "|[progfil]Vendor" +
                                 std::to_string(i % 500) + "\\") +
            "\r\n";
  test_support::Must(p.files.WriteFile(data + "\\ExeDefinition.dat", defs), "WriteFile");
  test_support::Must(p.files.WriteFile(data + "\\ENoSignature.dat", exclusions), "WriteFile");
  Sleep(1000);  // let the sleepers get going

  scantest::ScanRig rig(p.files, p.registry, p.system, p.shell, p.clock, data);
  rig.backend.onDoEvents = PumpMessages;
  rig.threats.LoadExclusions();
  rig.state.definitions = {0, 0, 0, lines, lines};
  ProcessScanner scanner(ProcessScanServices{p.processes, p.system, p.files, rig.backend, scantest::KeyAsMessage,
                                             "Kestrix", data},
                         rig.views.processes, rig.threats, rig.state);

  rig.Get("cmdScan").set_enabled(false);
  auto t0 = std::chrono::steady_clock::now();
  scanner.ScanMemory();
  const double phase = Seconds(t0);
  std::printf("memory phase: %ld definition lines, %s processes listed, %zu sleepers: %.3f s; "
              "items %ld, excluded rows %zu\n",
              lines, rig.Get("lblTotalNoOfRunningItems").caption().c_str(), started.size(), phase,
              rig.state.counters.memoryInspected, rig.Get("lvwSpywareFound").item_count());

  rig.Get("cmdScan").set_enabled(true);
  const int ticks = 10;
  double best = 1e9, total = 0;
  for (int i = 0; i < ticks; ++i) {
    auto t1 = std::chrono::steady_clock::now();
    scanner.ScanMemory();
    const double s = Seconds(t1);
    best = std::min(best, s);
    total += s;
  }
  {
    auto t2 = std::chrono::steady_clock::now();
    ProcessList list;
    const long n = scanner.GetProcessList(list);
    std::printf("process list alone: %ld processes in %.1f ms\n", n, Seconds(t2) * 1000);
  }
  std::printf("memory shield check: mean %.1f ms, best %.1f ms over %d checks\n", total / ticks * 1000, best * 1000,
              ticks);

  for (const auto& pi : started) {
    TerminateProcess(pi.hProcess, 0);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
  }
  return 0;
}
