#include "scan/scanning.h"

namespace kx {

Scanning::Scanning(ScanView view, Platform& platform, ui::Backend& ui, ScanHost& host, ScanningSetup setup)
    : view(view),
      state(view.progress, [&ui] { ui.DoEvents(); }, platform.clock),
      binding(results, view.lists),
      threats(view.lists,
              ThreatListServices{platform.files, platform.shell, ui, setup.message, setup.productName, setup.dataFolder},
              state.counters, results),
      registry(platform.registry),
      processes(ProcessScanServices{platform.processes, platform.system, platform.files, ui, setup.message,
                                    setup.productName, setup.dataFolder, setup.log},
                ProcessScanControls{view.lblTotalNoOfRunningItems, view.cmdScan}, threats, state),
      cookies(CookieScanServices{platform.files, platform.system, setup.dataFolder, setup.log},
              view.cmdScan, threats, state),
      driver(view,
             ScanServices{platform.files, platform.system, platform.clock, ui, setup.message, setup.productName,
                          setup.dataFolder, setup.log},
             host, threats, state, registry) {
  binding.onThreatTicked = [this](size_t row) { threats.PropagateCheck(row); };
  driver.SetPhases({[this](long& cookieFiles) { cookies.ScanCookies(cookieFiles); },
                    [this] { processes.ScanMemory(); }});
}

void Scanning::mnuQuarItem_Click(int index) {
  if (index == 0) threats.ViewQuarantine();
  if (index == 1) threats.ViewExclusions();
}

}  // namespace kx
