#include "app/wiring/removal_wiring.h"

#include "app/app.h"
#include "app/main_window/frm_main.h"
#include "app/main_window/main_window_views.h"
#include "app/wiring/scan_wiring.h"

namespace kx {

RemovalRun& RemovalWiring::Get() {
  if (run_) return *run_;
  RemovalServices services{app_.platform(),
                           app_.ui(),
                           app_.Messages(),
                           app_.info().branding.productName,
                           app_.DataFolder(),
                           &app_.log()};
  RemovalHost& host = *this;
  Scanning& scan = scan_.modules();
  run_ = std::make_unique<RemovalRun>(std::move(services), app_.views().removal, scan.results, host,
                                      app_.deleteFailed(), scan.processes);
  return *run_;
}

void RemovalWiring::DeleteSelected() { Get().Command4_Click(); }
void RemovalWiring::Remove() { Get().lblRemove_Click(); }

void RemovalWiring::OpenRestore() {
  Platform& p = app_.platform();
  Scanning* scan = &scan_.modules();
  app_.restoreWindow().Open({p.files, p.registry, p.clock, app_.DataFolder(),
                             [scan](const std::string& place) { return scan->threats.AddExclusion(place); },
                             &app_.log()});
}

bool RemovalWiring::AutomaticDeletion() const {
  Scanning* s = scan_.scanning();
  return s && s->driver.autoDeleting();
}
void RemovalWiring::ShowResultsPanel() { app_.main().ShowPanels(false, false, true, false); }
void RemovalWiring::ApplyTimerSettings(bool enable) { app_.main().ApplyTimerSettings(enable); }
std::string RemovalWiring::ReadSetting(const std::string& section, const std::string& key, const std::string& def) {
  return app_.settings().ReadSetting(section, key, def);
}
void RemovalWiring::WriteSetting(const std::string& section, const std::string& key, const std::string& value) {
  app_.settings().WriteSetting(section, key, value);
}
void RemovalWiring::SendData() { app_.subsystems().submission->SendRunningPrograms(); }
void RemovalWiring::ShowStatusPanelValues() { app_.main().ShowStatusPanelValues(); }
void RemovalWiring::HandleWindowMessages() { app_.ui().DoEvents(); }

}  // namespace kx
