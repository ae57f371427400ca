// A main window stand-in for the shields: its three protection timers, the options in a
// map, and ApplyTimerSettings as the settings describe it.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/forms/headless.h"
#include "protection/shield_host.h"

namespace kx::shieldtest {

class TestHost : public ShieldHost {
 public:
  explicit TestHost(ui::Backend& backend) : window("FrmMain", backend) {
    window.Add(ui::ControlType::Timer, "tmrCheckHomePage").set_interval(5000);
    window.Add(ui::ControlType::Timer, "tmrMemoryInspected").set_interval(10000);
    window.Add(ui::ControlType::Timer, "tmrScheduler").set_interval(10);
    window.Load();
  }
  std::string ReadSetting(const std::string& section, const std::string& key, const std::string& def) override {
    EXPECT_EQ(section, "OptionAndSettings") << key;
    return settings.count(key) ? settings[key] : def;
  }
  void WriteSetting(const std::string& section, const std::string& key, const std::string& value) override {
    EXPECT_EQ(section, "OptionAndSettings") << key;
    settings[key] = value;
  }
  void ApplyTimerSettings(bool enable) override {
    applied.push_back(enable);
    auto on = [&](const char* key, const char* def) {
      return enable && ReadSetting(kShieldSection, key, def) == "True";
    };
    Timer("tmrScheduler").set_enabled(on("chkAutomaticScanYesOrNo", "False"));
    Timer("tmrCheckHomePage").set_enabled(on("optIEHomePageSheildOn", "True"));
    Timer("tmrMemoryInspected").set_enabled(on("optMemorySheildOn", "True"));
  }
  ui::Control* CheckHomePageTimer() override { return &Timer("tmrCheckHomePage"); }
  void MemoryShieldTick() override {
    ++memoryTicks;
    if (onMemoryTick) onMemoryTick();
  }
  bool ProgramEnding() const override { return ending; }

  ui::Control& Timer(const char* name) { return window.Get(name); }
  bool AnyTimerRunning() {
    for (const char* t : {"tmrCheckHomePage", "tmrMemoryInspected", "tmrScheduler"})
      if (Timer(t).enabled()) return true;
    return false;
  }
  std::string Stored(const std::string& key) { return settings.count(key) ? settings[key] : "<absent>"; }

  ui::Form window;
  std::map<std::string, std::string> settings;  // section OptionAndSettings
  std::vector<bool> applied;
  int memoryTicks = 0;
  std::function<void()> onMemoryTick;
  bool ending = false;
};

}  // namespace kx::shieldtest
