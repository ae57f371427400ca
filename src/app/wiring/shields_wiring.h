// Joins the two shields to the main window: its timers tick them, the settings and the
// protection timers answer their questions, and the memory shield's alert becomes the
// scan's prompt for threats found between scans. Built at the first tick.
#pragma once

#include <memory>

#include "app/subsystems.h"
#include "protection/home_page_shield.h"
#include "protection/memory_shield.h"
#include "protection/shield_host.h"

namespace kx {

class App;
class ScanWiring;

class ShieldsWiring final : public ShieldsFeature, private ShieldHost {
 public:
  ShieldsWiring(App& app, ScanWiring& scan) : app_(app), scan_(scan) {}
  ~ShieldsWiring() override;

  void HomePageTick() override;  // tmrCheckHomePage
  void MemoryTick() override;    // tmrMemoryInspected

 private:
  void Build();

  // ShieldHost
  std::string ReadSetting(const std::string& section, const std::string& key, const std::string& def) override;
  void WriteSetting(const std::string& section, const std::string& key, const std::string& value) override;
  void ApplyTimerSettings(bool enable) override;
  ui::Control* CheckHomePageTimer() override;
  void MemoryShieldTick() override;
  bool ProgramEnding() const override;

  App& app_;
  ScanWiring& scan_;
  ShieldGate gate_;
  std::unique_ptr<MemoryShield> memory_;
  std::unique_ptr<HomePageShield> homePage_;
};

}  // namespace kx
