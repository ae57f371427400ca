#include "scan/scanning.h"

namespace kx {

Scanning::Scanning(ui::Form& mainWindow, Platform& platform, ui::Backend& ui, ScanHost& host, ScanningSetup setup)
    : view(ScanView::FromForm(mainWindow)),
      state(view.progress, [&ui] { ui.DoEvents(); }, platform.clock),
      threats(view.lists,
              ThreatListServices{platform.files, platform.shell, ui, setup.message, setup.productName, setup.dataFolder},
              state.counters),
      registry(platform.registry, setup.writeQuarantineRegistryRecord),
      processes(ProcessScanServices{platform.processes, platform.system, platform.files, ui, setup.message,
                                    setup.productName, setup.dataFolder, setup.log},
                ProcessScanControls::FromForm(mainWindow), threats, state),
      driver(view,
             ScanServices{platform.files, platform.system, platform.clock, ui, setup.message, setup.productName,
                          setup.dataFolder, setup.log},
             host, threats, state, registry) {}

void Scanning::mnuQuarItem_Click(int index) {
  if (index == 0) threats.ViewQuarantine();
  if (index == 1) threats.ViewExclusions();
}

}  // namespace kx
