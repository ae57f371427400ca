// A removal run on a real (Wine) system: 1,000 files in 50 folders, 1,000 registry values
// and 200 cookie files, queued as a scan queues them and all ticked; then the registry
// export, the first pass (back up, log, delete) and the second pass (retry, list) are timed
// apart, and the fixed pause at the start of a run on its own. Prints the figures and
// whether everything went. Not a test: run it through scripts/bench-removal.sh.
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench_support.h"
#include "core/paths.h"
#include "platform/win32/services_win32.h"
#include "removal/removal_run.h"
#include "scan_support/scan_kit.h"

using namespace kx;
using kx::bench::PumpMessages;
using kx::bench::Seconds;

namespace {

class Host : public RemovalHost {
 public:
  bool AutomaticDeletion() const override { return true; }
  void ShowResultsPanel() override {}
  void ApplyTimerSettings(bool) override {}
  std::string ReadSetting(const std::string&, const std::string&, const std::string& def) override { return def; }
  void WriteSetting(const std::string&, const std::string&, const std::string&) override {}
  void SendData() override {}
  void ShowStatusPanelValues() override {}
  void HandleWindowMessages() override { PumpMessages(); }
};

}  // namespace

int main(int argc, char** argv) {
  const long folders = 50, perFolder = 20, values = argc > 1 ? std::atol(argv[1]) : 1000, cookies = 200;
  win32::Win32Platform p;
  PlaceholderCache places(p.system);
  const std::string data = DataFolder(places);
  const std::string root = p.system.WindowsDirectory().substr(0, 2) + "\\KestrixRemovalBench";
  p.files.CreateFolder(data);
  p.files.DeleteFolder(data + "\\quarantine", true);
  p.files.CreateFolder(root);

  scantest::ScanRig rig(p.files, p.registry, p.system, p.shell, p.clock, data);
  rig.backend.onDoEvents = PumpMessages;
  const std::string payload(1024, 'x');
  auto t0 = std::chrono::steady_clock::now();
  for (long f = 0; f < folders; ++f) {
    const std::string dir = root + "\\vendor" + std::to_string(f);
    p.files.CreateFolder(dir);
    for (long i = 0; i < perFolder; ++i) {
      const std::string path = dir + "\\file" + std::to_string(i) + ".dat";
      p.files.WriteFile(path, payload);
      const std::string threat = "Threat " + std::to_string(f);
      rig.threats.ReportThreat(KIND_FILE, threat, path, "", FileRow{path, threat});
    }
  }
  for (long v = 0; v < values; ++v) {
    const std::string key = "Software\\KestrixRemovalBench\\key" + std::to_string(v / 20);
    p.registry.CreateKey(Hive::CurrentUser, key);
    p.registry.SetValue(Hive::CurrentUser, key, "value" + std::to_string(v), RegValue::String("data"));
    rig.threats.ReportThreat(KIND_REGISTRY, "Registry threat", "HKEY_CURRENT_USER\\" + key, "",
                             RegistryRow{-2147483647, key, "value" + std::to_string(v), "Registry threat"});
  }
  const std::string cookieDir = root + "\\Cookies";
  p.files.CreateFolder(cookieDir);
  for (long c = 0; c < cookies; ++c) {
    const std::string path = cookieDir + "\\user@site" + std::to_string(c) + "[1].txt";
    p.files.WriteFile(path, "id\n1\nsite" + std::to_string(c) + ".example/\n");
    rig.threats.ReportThreat(KIND_COOKIE, "Cookie: " + FileNameOfPath(path), path, "", CookieRow{path});
  }
  rig.threats.cmdSelectAll_Click();
  std::printf("planted %ld files in %ld folders, %ld registry values, %ld cookies (%.1f s)\n", folders * perFolder,
              folders, values, cookies, Seconds(t0));
  std::fflush(stdout);

  Host host;
  FrmDelete failed(rig.backend, p.shell);
  ProcessScanner processes({p.processes, p.system, p.files, rig.backend, scantest::KeyAsMessage, "Kestrix", data},
                           rig.views.processes, rig.threats, rig.state);
  RemovalRun run({p.platform(), rig.backend, scantest::KeyAsMessage, "Kestrix", data}, rig.views.removal,
                 rig.results, host, failed, processes);

  auto pause = std::chrono::steady_clock::now();
  for (int i = 0; i < run.pauseTurns; ++i) PumpMessages();
  const double pauseS = Seconds(pause);
  run.quarantine().CreateFolder();
  auto e = std::chrono::steady_clock::now();
  const bool exported = run.ExportRegistry();
  const double exportS = Seconds(e);
  run.quarantine().logging = true;
  auto a = std::chrono::steady_clock::now();
  run.RemovalPass();
  const double first = Seconds(a);
  run.quarantine().logging = false;
  auto b = std::chrono::steady_clock::now();
  run.RemovalPass();
  const double second = Seconds(b);

  long left = 0;
  for (long f = 0; f < folders; ++f)
    for (long i = 0; i < perFolder; ++i)
      if (p.files.Attributes(root + "\\vendor" + std::to_string(f) + "\\file" + std::to_string(i) + ".dat")) ++left;
  for (long c = 0; c < cookies; ++c)
    if (p.files.Attributes(cookieDir + "\\user@site" + std::to_string(c) + "[1].txt")) ++left;
  std::vector<std::string> names;
  p.registry.EnumValues(Hive::CurrentUser, "Software\\KestrixRemovalBench\\key0", names);
  left += static_cast<long>(names.size());

  std::printf("fixed pause (%d turns):  %6.2f s\n", run.pauseTurns, pauseS);
  std::printf("registry export:         %6.2f s  %s\n", exportS,
              exported ? run.lastRegistryExport().c_str() : "FAILED");
  std::printf("first pass:              %6.2f s\n", first);
  std::printf("second pass:             %6.2f s\n", second);
  std::printf("run without the pause:   %6.2f s  (target under 10 s)\n", exportS + first + second);
  std::printf("%s (%ld left, %zu listed as failed)\n", left == 0 ? "everything removed" : "SOME LEFT", left,
              failed.Get("lstProblem").item_count());
  p.registry.DeleteTree(Hive::CurrentUser, "Software\\KestrixRemovalBench");
  p.files.DeleteFolder(root, true);
  return left == 0 ? 0 : 1;
}
