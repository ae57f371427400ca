// A main window's worth of scan controls on the headless backend, with the scan modules
// wired to fake services: what the scanning tests and benchmarks run on.
#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "definitions/codec.h"
#include "app/main_window/main_window_controls.h"
#include "app/main_window/main_window_views.h"
#include "platform/forms/form.h"
#include "platform/forms/headless.h"
#include "scan/registry_related.h"
#include "scan/results_binding.h"
#include "scan/scan_driver.h"
#include "scan/scan_results.h"
#include "scan/scan_state.h"
#include "scan/threat_list.h"

namespace kx::scantest {

// The main window's own controls, without its handlers: what the scan, removal and report
// drive, under the names the program gives them.
using ScanTestForm = MainWindowControls;

// Settings in memory, and a record of what the driver handed on.
class RecordingHost : public ScanHost {
 public:
  std::map<std::string, std::string> settings;  // "Section/Key"
  std::vector<std::string> calls;

  std::string ReadSetting(const std::string& section, const std::string& key, const std::string& def) override {
    auto it = settings.find(section + "/" + key);
    return it == settings.end() ? def : it->second;
  }
  void WriteSetting(const std::string& section, const std::string& key, const std::string& value) override {
    settings[section + "/" + key] = value;
  }
  void HideDeleteFailed() override { calls.push_back("HideDeleteFailed"); }
  void ShowOnlySweepNowPanel() override { calls.push_back("ShowOnlySweepNowPanel"); }
  void ShowScanPanel() override { calls.push_back("ShowScanPanel"); }
  void ApplyTimerSettings(bool enable) override { calls.push_back(enable ? "Timers on" : "Timers off"); }
  void WriteScanReport() override { calls.push_back("WriteScanReport"); }
  void ShowResultsPanel() override { calls.push_back("ShowResultsPanel"); }
  void RunAutomaticDeletion() override { calls.push_back("RunAutomaticDeletion"); }
  void ShowStatusPanelValues() override { calls.push_back("ShowStatusPanelValues"); }
};

// The message table as tests see it: the key in brackets, so each text names its message.
inline std::string KeyAsMessage(const std::string& key) { return "[" + key + "]"; }

inline std::string EncodeFile(const std::vector<std::string>& lines) {
  std::string out;
  for (const std::string& l : lines) out += EncodeDefinitionLine(l) + "\r\n";
  return out;
}

// Everything the scan modules need, wired together over the given services.
struct ScanRig {
  ScanRig(FileSystem& files, Registry& registry, SystemInfo& system, Shell& shell, Clock& clock,
          std::string dataFolder)
      : form(backend),
        views(MainWindowViews::Of(form)),
        view(views.scan),
        state(view.progress, [this] { backend.DoEvents(); }, clock),
        binding(results, view.lists),
        threats(view.lists, ThreatListServices{files, shell, backend, KeyAsMessage, "Kestrix", dataFolder},
                state.counters, results),
        registryRoutines(registry),
        driver(view, ScanServices{files, system, clock, backend, KeyAsMessage, "Kestrix", dataFolder}, host, threats,
               state, registryRoutines) {
    // The phases as the host sees them, in order with the rest.
    driver.SetPhases({[this](long&) { host.calls.push_back("ScanCookies"); },
                      [this] { host.calls.push_back("ScanMemory"); }});
    form.Load();
  }

  ui::HeadlessBackend backend;
  ScanTestForm form;
  MainWindowViews views;
  ScanView view;
  ScanState state;
  ScanResults results;
  ResultsBinding binding;  // ticks set on the lists reach the results; nothing propagates them
  ThreatList threats;
  ModRegistryRelated registryRoutines;
  RecordingHost host;
  ScanDriver driver;

  ui::Control& Get(const std::string& name) { return form.Get(name); }
  // Rows of a list as "text|sub1|sub2|...#image", for whole-list comparisons.
  std::vector<std::string> Rows(const std::string& list) {
    std::vector<std::string> out;
    for (const ui::ListItem& r : form.Get(list).items()) {
      std::string s = r.text;
      for (const std::string& sub : r.subItems) s += "|" + sub;
      out.push_back(s + "#" + std::to_string(r.smallIcon));
    }
    return out;
  }
};

}  // namespace kx::scantest
