#include "app/wiring/scan_wiring.h"

#include "app/app.h"
#include "app/main_window/frm_main.h"
#include "app/main_window/main_window_views.h"

namespace kx {

Scanning& ScanWiring::Get() {
  if (!scanning_) {
    FrmMain& main = app_.main();
    ScanningSetup setup;
    setup.message = app_.Messages();
    setup.productName = app_.info().branding.productName;
    setup.dataFolder = app_.DataFolder();
    setup.log = &app_.log();
    ScanHost& host = *this;
    scanning_ = std::make_unique<Scanning>(app_.views().scan, app_.platform(), app_.ui(), host, std::move(setup));
    Scanning* s = scanning_.get();
    // The labels ask their own questions and disable themselves, not the buttons.
    main.Get("lblPause").onClick = [s] { s->lblPause_Click(); };
    main.Get("lblStop").onClick = [s] { s->lblStop_Click(); };
  }
  return *scanning_;
}

void ScanWiring::StartScan() { Start(false); }

void ScanWiring::StartScheduledScan(bool autoDelete) {
  // As the side bar's Start: nothing unless Start may be pressed, and on the Scan panel.
  if (!app_.views().scan.cmdScanNow->enabled()) return;
  app_.main().ShowScanPanel();
  Start(autoDelete);
}

void ScanWiring::Start(bool autoDelete) {
  // A scan empties the lists a removal run is working through; it waits for the run. Nor
  // may it read the definition set while an update replaces it.
  if (app_.subsystems().removal->Busy() || app_.subsystems().update->Busy()) return;
  Scanning& s = Get();
  FrmMain& main = app_.main();
  s.state.definitions = {main.fileCount(), main.registryCount(), main.cookieCount(), main.exeCount(),
                         main.definitionsCount()};
  s.driver.StartScan(autoDelete);
}

void ScanWiring::PauseScan() { Get().cmdPause_Click(); }
void ScanWiring::StopScan() { Get().cmdStop_Click(); }
void ScanWiring::LoadExclusions() { Get().threats.LoadExclusions(); }
void ScanWiring::SelectAll() {
  if (!app_.subsystems().removal->Busy()) Get().cmdSelectAll_Click();
}
void ScanWiring::ExcludeSelected() {
  if (!app_.subsystems().removal->Busy()) Get().cmdExclude_Click();
}
void ScanWiring::QuarantineMenu(int index) { Get().mnuQuarItem_Click(index); }

std::string ScanWiring::ReadSetting(const std::string& section, const std::string& key, const std::string& def) {
  return app_.settings().ReadSetting(section, key, def);
}
void ScanWiring::WriteSetting(const std::string& section, const std::string& key, const std::string& value) {
  app_.settings().WriteSetting(section, key, value);
}
void ScanWiring::HideDeleteFailed() { app_.deleteFailed().Hide(); }
void ScanWiring::ShowOnlySweepNowPanel() { app_.main().ShowPanels(false, false, false, true); }
void ScanWiring::ApplyTimerSettings(bool enable) { app_.main().ApplyTimerSettings(enable); }
void ScanWiring::WriteScanReport() { app_.subsystems().report->MakeReport(); }
void ScanWiring::ShowResultsPanel() { app_.main().Get("cmdRemove").Click(); }
void ScanWiring::RunAutomaticDeletion() { app_.subsystems().removal->DeleteSelected(); }
void ScanWiring::ShowStatusPanelValues() { app_.main().ShowStatusPanelValues(); }

}  // namespace kx
