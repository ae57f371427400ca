// The scan benchmark on a real (Wine) system: the generated machine (files, folders,
// registry), a cookies folder of IE cookie files and a crowd of running sleepers, some named
// by the executable definitions. Times whole Quick Scans with all four phases, as the
// program runs them: the real cookie and memory phases of one `Scanning`, cached paths and
// throttled yields. Then one scan with every placeholder looked up anew and a yield after
// every item. Prints each phase's time (best and mean) and whether every scan found exactly
// what was planted, and the same. Not a test: run it through scripts/bench-scan.sh.
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "../scan_support/must.h"
#include "bench_support.h"
#include "definitions/records.h"
#include "platform/win32/services_win32.h"
#include "scan/cookie_scanner.h"
#include "scan/scanning.h"
#include "scan_support/cookie_machine.h"
#include "scan_support/scan_kit.h"
#include "scan_support/scan_machine.h"

using namespace kx;
using kx::bench::PumpMessages;
using kx::bench::Seconds;
using Steady = std::chrono::steady_clock;

namespace {

size_t PeakWorkingSetMb() {
  PROCESS_MEMORY_COUNTERS pmc{};
  pmc.cb = sizeof pmc;
  GetProcessMemoryInfo(GetCurrentProcess(), &pmc, sizeof pmc);
  return pmc.PeakWorkingSetSize / (1024 * 1024);
}

// The phases in the order the driver runs them; each starts when the driver asks for its
// caption, and the safety list is read before the first.
const char* const kPhaseKeys[] = {"MSG_COOKIES", "MSG_MEMORY", "MSG_REGISTRY", "MSG_SPYWARE"};
const char* const kPhaseNames[] = {"safe list", "cookies", "memory", "registry", "files"};
constexpr int kPhases = 5;

struct WholeScanRig {
  WholeScanRig(Platform& platform, const std::string& data, Steady::time_point* marks)
      : form(backend), scanning(MainWindowViews::Of(form).scan, platform, backend, host, Setup(data, marks)) {
    form.Load();
  }

  static ScanningSetup Setup(const std::string& data, Steady::time_point* marks) {
    ScanningSetup s;
    s.message = [marks](const std::string& key) {
      for (int i = 0; i < 4; ++i)
        if (key == kPhaseKeys[i] && marks[i + 1] == Steady::time_point{}) marks[i + 1] = Steady::now();
      return scantest::KeyAsMessage(key);
    };
    s.productName = "Kestrix";
    s.dataFolder = data;
    return s;
  }

  ui::HeadlessBackend backend;
  scantest::ScanTestForm form;
  scantest::RecordingHost host;  // the cookie and memory phases are the Scanning's own
  Scanning scanning;

  std::vector<std::string> Rows(const std::string& list) {
    std::vector<std::string> out;
    for (const ui::ListItem& r : form.Get(list).items()) {
      std::string s = r.text;
      for (const std::string& sub : r.subItems) s += "|" + sub;
      out.push_back(s + "#" + std::to_string(r.smallIcon));
    }
    // Processes are listed in whatever order the system gives them.
    std::sort(out.begin(), out.end());
    return out;
  }
};

struct Result {
  double total = 0;
  double phase[kPhases] = {};
  std::vector<std::vector<std::string>> lists;
  ScanCounters counters;
  int yields = 0;
  std::string status, running;
};

// The sleepers: started detached under their planted names, restarted when a scan stopped
// them, ended at the close.
class Sleepers {
 public:
  explicit Sleepers(std::string source) : source_(std::move(source)) {}
  ~Sleepers() {
    for (Proc& p : procs_) End(p);
  }

  bool Plant(const std::string& path, bool threat) {
    if (!CopyFileA(source_.c_str(), path.c_str(), FALSE)) return false;
    procs_.push_back({path, threat, {}});
    return true;
  }
  // Starts every sleeper that is not running; the number running afterwards.
  int StartMissing() {
    int running = 0;
    for (Proc& p : procs_) {
      if (p.pi.hProcess && WaitForSingleObject(p.pi.hProcess, 0) == WAIT_TIMEOUT) {
        ++running;
        continue;
      }
      End(p);
      STARTUPINFOA si{};
      si.cb = sizeof si;
      std::string line = "\"" + p.path + "\"";
      if (CreateProcessA(p.path.c_str(), line.data(), nullptr, nullptr, FALSE, DETACHED_PROCESS, nullptr, nullptr,
                         &si, &p.pi))
        ++running;
    }
    return running;
  }
  // Whether exactly the threats have ended (waiting a little for a termination to land).
  bool OnlyThreatsEnded() const {
    for (const Proc& p : procs_) {
      const bool ended = p.pi.hProcess && WaitForSingleObject(p.pi.hProcess, p.threat ? 5000 : 0) == WAIT_OBJECT_0;
      if (ended != p.threat) return false;
    }
    return true;
  }
  size_t size() const { return procs_.size(); }

 private:
  struct Proc {
    std::string path;
    bool threat;
    PROCESS_INFORMATION pi;
  };
  static void End(Proc& p) {
    if (!p.pi.hProcess) return;
    TerminateProcess(p.pi.hProcess, 0);
    WaitForSingleObject(p.pi.hProcess, 5000);
    CloseHandle(p.pi.hThread);
    CloseHandle(p.pi.hProcess);
    p.pi = {};
  }
  std::string source_;
  std::vector<Proc> procs_;
};

Result Scan(Platform& platform, const std::string& data, const DefinitionCounts& counts, bool cached) {
  Steady::time_point marks[kPhases] = {};
  WholeScanRig rig(platform, data, marks);
  Scanning& s = rig.scanning;
  s.state.definitions = counts;
  s.driver.options.cachePaths = cached;
  s.state.yield.intervalMs = cached ? 10 : 0;
  rig.backend.onDoEvents = PumpMessages;
  rig.form.Get("optScanOnlyKnownSoftwares").set_value(1);
  s.threats.LoadExclusions();
  const Steady::time_point t0 = Steady::now();
  marks[0] = t0;
  s.cmdScanNow_Click();
  const Steady::time_point end = Steady::now();
  Result r;
  r.total = std::chrono::duration<double>(end - t0).count();
  for (int i = 0; i < kPhases; ++i) {
    Steady::time_point next = end;
    for (int j = i + 1; j < kPhases; ++j)
      if (marks[j] != Steady::time_point{}) {
        next = marks[j];
        break;
      }
    if (marks[i] != Steady::time_point{}) r.phase[i] = std::chrono::duration<double>(next - marks[i]).count();
  }
  for (const char* l : {"lvwSpywareFound", "lvwPicRemoveListOfSpywareFoundAndToBeRemoved", "lvwFilesToBeDeleted",
                        "lvwRegistryToBeDeleted", "lvwCookiesToDelete", "lvwFileNotFounds"})
    r.lists.push_back(rig.Rows(l));
  for (const char* l : {"lbltracesFound", "lblFilesFolderInspected", "lblRegistryInspected", "lblSoftwareFound"})
    r.lists.push_back({rig.form.Get(l).caption()});
  r.counters = s.state.counters;
  r.yields = rig.backend.do_events_count();
  r.status = rig.form.Get("lblStatus").caption();
  r.running = rig.form.Get("lblTotalNoOfRunningItems").caption();
  return r;
}

long CountPrefixed(const std::vector<std::string>& rows, const std::string& prefix) {
  return std::count_if(rows.begin(), rows.end(), [&](const std::string& r) { return r.rfind(prefix, 0) == 0; });
}

}  // namespace

int main(int argc, char** argv) {
  long lines = 100000;
  int processes = 60, runs = 5;
  std::string sleeper = "kestrix_sleeper.exe";
  bool literal = true;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--cached-only") literal = false;
    else if (a == "--runs" && i + 1 < argc) runs = std::max(1, std::atoi(argv[++i]));
    else if (a == "--processes" && i + 1 < argc) processes = std::max(5, std::atoi(argv[++i]));
    else if (a == "--sleeper" && i + 1 < argc) sleeper = argv[++i];
    else lines = std::atol(a.c_str());
  }
  win32::Win32Platform p;
  Platform platform = p.platform();
  PlaceholderCache folders(p.system);
  const std::string data = DataFolder(folders);
  const std::string cookies = p.system.SpecialFolder(kCsidlCookies);
  if (cookies.empty()) {
    std::printf("the system names no cookies folder\n");
    return 1;
  }

  scanbench::MachineSpec spec;
  spec.definitionLines = lines;
  auto b0 = Steady::now();
  scanbench::Machine m = scanbench::BuildScanMachine(p.files, p.registry, p.system, data, spec);
  // The cookie machine's blocked list takes the place of the generated one.
  scanbench::CookieMachine cm = scanbench::BuildCookieMachine(p.files, cookies, data, 5000, 2000);
  m.counts.cookie = cm.blockedEntries;
  m.counts.total = m.counts.file + m.counts.registry + m.counts.exe + m.counts.cookie;

  // Five sleepers where executable definitions put them (three of those excluded by name),
  // the rest in a folder no definition names.
  const std::string exeFolder = ExpandDefinitionPath("[progfil]\\" + spec.tag + "Exe", folders);
  const std::string idleFolder = "C:\\BenchIdle";
  scanbench::CreateFolders(p.files, exeFolder);
  scanbench::CreateFolders(p.files, idleFolder);
  Sleepers sleepers(sleeper);
  std::string exclusions = p.files.ReadFile(data + "\\ENoSignature.dat").value_or("");
  long threats = 0, excluded = 0;
  bool planted = true;
  for (int i = 0; i < processes; ++i) {
    if (i < 5) {
      const std::string name = spec.tag + scanbench::detail::Num("p%05ld.exe", i * std::max(1L, m.counts.exe / 5));
      const bool threat = i < 2;
      planted &= sleepers.Plant(exeFolder + "\\" + name, threat);
      if (threat) {
        ++threats;
      } else {
        exclusions += name + "\r\n";
        ++excluded;
      }
    } else {
      planted &= sleepers.Plant(idleFolder + "\\" + scanbench::detail::Num("idle%02ld.exe", i), false);
    }
  }
  test_support::Must(p.files.WriteFile(data + "\\ENoSignature.dat", exclusions), "WriteFile");
  std::printf("machine: %ld definition lines (%ld executable, %ld blocked cookies), %ld files, %ld folders, "
              "%ld registry entries, %ld cookie files (%ld blocked), %zu sleepers (%ld named, %ld of them excluded) "
              "planted (%.1f s)\n",
              lines, m.counts.exe, m.counts.cookie, m.plantedFiles, m.plantedFolders, m.plantedRegistry,
              cm.cookieFiles, cm.blockedCookies, sleepers.size(), threats + excluded, excluded, Seconds(b0));
  std::printf("data folder: %s\ncookies folder: %s\n", data.c_str(), cookies.c_str());
  if (!planted) {
    std::printf("could not copy the sleeper %s\n", sleeper.c_str());
    return 1;
  }
  std::fflush(stdout);

  // What every scan must find of the cookie and memory phases' plants.
  auto expected = [&](const Result& r) {
    return static_cast<long>(r.lists[4].size()) == cm.blockedCookies &&
           CountPrefixed(r.lists[0], "Detected in the memory : ") == threats &&
           CountPrefixed(r.lists[0], "EXCLUDED: " + UpperAnsi(spec.tag) + "P") == excluded &&
           CountPrefixed(r.lists[0], "Cookie Found: ") == cm.blockedCookies && r.status == "[MSG_SCAN_COMPLETED]";
  };

  bool ok = true;
  std::vector<Result> results;
  std::printf("%-10s %8s", "run", "total");
  for (const char* n : kPhaseNames) std::printf(" %10s", n);
  std::printf("   (seconds)\n");
  for (int run = 1; run <= runs; ++run) {
    const int running = sleepers.StartMissing();
    Sleep(500);  // let the restarted ones get going
    Result r = Scan(platform, data, m.counts, true);
    const bool right = expected(r) && sleepers.OnlyThreatsEnded() && running == static_cast<int>(sleepers.size());
    ok &= right;
    std::printf("cached %-3d %8.3f", run, r.total);
    for (int i = 0; i < kPhases; ++i) std::printf(" %10.3f", r.phase[i]);
    std::printf("   processes %s, threats %ld, yields %d, %s\n", r.running.c_str(), r.counters.threatsFound, r.yields,
                right ? "finds as planted" : "FINDS DIFFER");
    std::fflush(stdout);
    results.push_back(std::move(r));
  }
  // The first scan reads what planting left cold; the later ones are the repeatable figure.
  auto summary = [&](size_t from, const char* label) {
    double best[kPhases + 1], sum[kPhases + 1] = {};
    std::fill(std::begin(best), std::end(best), 1e9);
    for (size_t k = from; k < results.size(); ++k) {
      const Result& r = results[k];
      for (int i = 0; i <= kPhases; ++i) {
        const double s = i == 0 ? r.total : r.phase[i - 1];
        best[i] = std::min(best[i], s);
        sum[i] += s;
      }
    }
    const double n = static_cast<double>(results.size() - from);
    std::printf("best %-5s %8.3f", label, best[0]);
    for (int i = 1; i <= kPhases; ++i) std::printf(" %10.3f", best[i]);
    std::printf("\nmean %-5s %8.3f", label, sum[0] / n);
    for (int i = 1; i <= kPhases; ++i) std::printf(" %10.3f", sum[i] / n);
    std::printf("\n");
    return best[0];
  };
  double bestTotal = summary(0, "all");
  if (results.size() > 2) bestTotal = summary(1, "2..");
  const Result& first = results.front();
  std::printf("peak working set %zu MB; threats %ld, cookies/processes %ld, files/folders %ld, registry %ld\n",
              PeakWorkingSetMb(), first.counters.threatsFound, first.counters.memoryInspected,
              first.counters.filesFoldersInspected, first.counters.registryInspected);
  std::printf("rows: live %zu, threats %zu, files queue %zu, registry queue %zu, cookies queue %zu\n",
              first.lists[0].size(), first.lists[1].size(), first.lists[2].size(), first.lists[3].size(),
              first.lists[4].size());
  bool same = true;
  for (const Result& r : results) same &= r.lists == first.lists && r.counters == first.counters;
  std::printf("cached runs identical: %s\n", same ? "yes" : "NO");
  ok &= same;
  std::fflush(stdout);

  if (literal) {
    sleepers.StartMissing();
    Sleep(500);
    Result slow = Scan(platform, data, m.counts, false);
    const bool right = expected(slow) && sleepers.OnlyThreatsEnded();
    std::printf("literal    %8.3f", slow.total);
    for (int i = 0; i < kPhases; ++i) std::printf(" %10.3f", slow.phase[i]);
    std::printf("   yields %d, peak working set %zu MB\n", slow.yields, PeakWorkingSetMb());
    const bool sameAsCached = slow.lists == first.lists && slow.counters == first.counters;
    std::printf("speed-up: %.1fx\nidentical results: %s\n", slow.total / bestTotal,
                sameAsCached && right ? "yes" : "NO");
    ok &= sameAsCached && right;
  }
  return ok ? 0 : 1;
}
