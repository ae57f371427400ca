// A main window stand-in for the shields: its three protection timers, the options in a
// map, and ApplyTimerSettings as the settings describe it.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "platform/forms/headless.h"
#include "protection/shield_host.h"

namespace kx::shieldtest {

class TestHost : public ShieldHost {
 public:
  explicit TestHost(ui::Backend& backend) : window("FrmMain", backend) {
    for (auto [name, ms] : {std::pair{"tmrCheckHomePage", 5000}, {"tmrMemoryInspected", 10000}, {"tmrScheduler", 10}}) {
      auto& t = window.Add(ui::ControlType::Timer, name);
      t.set_interval(ms);
    }
    window.Load();
  }

  std::string ReadSetting(const std::string& section, const std::string& key, const std::string& def) override {
    auto it = settings.find(section + "\\" + key);
    return it == settings.end() ? def : it->second;
  }
  void WriteSetting(const std::string& section, const std::string& key, const std::string& value) override {
    settings[section + "\\" + key] = value;
    writes.push_back(key + "=" + value);
  }
  void ApplyTimerSettings(bool enable) override {
    applied.push_back(enable);
    auto on = [&](const char* key, const char* def) {
      const std::string v = ReadSetting("OptionAndSettings", key, def);
      return v == "True" || v == "1";
    };
    Timer("tmrScheduler").set_enabled(enable && on("chkAutomaticScanYesOrNo", "0"));
    Timer("tmrCheckHomePage").set_enabled(enable && on("optIEHomePageSheildOn", "True"));
    Timer("tmrMemoryInspected").set_enabled(enable && on("optMemorySheildOn", "True"));
  }
  ui::Control* CheckHomePageTimer() override { return &Timer("tmrCheckHomePage"); }
  void MemoryShieldTick() override {
    ++memoryTicks;
    if (onMemoryTick) onMemoryTick();
  }
  bool ProgramEnding() const override { return ending; }

  ui::Control& Timer(const char* name) { return window.Get(name); }
  bool AnyProtectionTimerRunning() {
    return Timer("tmrCheckHomePage").enabled() || Timer("tmrMemoryInspected").enabled() ||
           Timer("tmrScheduler").enabled();
  }
  void Option(const std::string& key, const std::string& value) { settings["OptionAndSettings\\" + key] = value; }
  std::string Stored(const std::string& key) { return ReadSetting("OptionAndSettings", key, "<absent>"); }

  ui::Form window;
  std::map<std::string, std::string> settings;
  std::vector<std::string> writes;
  std::vector<bool> applied;
  int memoryTicks = 0;
  std::function<void()> onMemoryTick;
  bool ending = false;
};

}  // namespace kx::shieldtest
