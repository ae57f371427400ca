#include "app/wiring/shields_wiring.h"

#include "app/app.h"
#include "app/main_window/frm_main.h"
#include "app/wiring/scan_wiring.h"
#include "protection/frm_home_page_changed_alert.h"
#include "protection/frm_spyware_found_alert.h"

namespace kx {

ShieldsWiring::~ShieldsWiring() {
  if (memory_ && scan_.scanning()) scan_.scanning()->processes.SetPrompt(nullptr);
}

void ShieldsWiring::Build() {
  if (memory_) return;
  Scanning& scanning = scan_.modules();
  MemoryShieldServices services{app_.Messages(),
                                app_.info().branding.productName};
  ShieldHost& host = *this;
  memory_ = std::make_unique<MemoryShield>(std::move(services), host, scanning.processes, scanning.threats,
                                           app_.spywareFoundAlert(), gate_);
  scanning.processes.SetPrompt(memory_.get());
  homePage_ = std::make_unique<HomePageShield>(app_.platform().registry, app_.info().branding.productName, host,
                                               app_.homePageChangedAlert(), gate_);
}

void ShieldsWiring::HomePageTick() {
  Build();
  homePage_->Tick();
}

void ShieldsWiring::MemoryTick() {
  Build();
  memory_->Tick();
}

std::string ShieldsWiring::ReadSetting(const std::string& section, const std::string& key, const std::string& def) {
  return app_.settings().ReadSetting(section, key, def);
}
void ShieldsWiring::WriteSetting(const std::string& section, const std::string& key, const std::string& value) {
  app_.settings().WriteSetting(section, key, value);
}
void ShieldsWiring::ApplyTimerSettings(bool enable) { app_.main().ApplyTimerSettings(enable); }
ui::Control* ShieldsWiring::CheckHomePageTimer() { return app_.main().Find("tmrCheckHomePage"); }
void ShieldsWiring::MemoryShieldTick() { MemoryTick(); }
bool ShieldsWiring::ProgramEnding() const { return app_.ended(); }

}  // namespace kx
