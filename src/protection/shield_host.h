// What the two shields ask of the window that runs them: the stored options, the
// protection timers and the other shield's tick. The main window's wiring answers.
#pragma once

#include <string>

#include "platform/forms/form.h"

namespace kx {

class ShieldHost {
 public:
  virtual ~ShieldHost() = default;
  virtual std::string ReadSetting(const std::string& section, const std::string& key, const std::string& def) = 0;
  virtual void WriteSetting(const std::string& section, const std::string& key, const std::string& value) = 0;
  // Stops the protection timers (false) or re-arms them from the settings (true).
  virtual void ApplyTimerSettings(bool enable) = 0;
  // The main window's tmrCheckHomePage; null when there is none.
  virtual ui::Control* CheckHomePageTimer() = 0;
  // One memory shield tick: the home page shield runs one on every third of its ticks.
  virtual void MemoryShieldTick() = 0;
  // The program is ending: a waiting alert gives up, and nothing is re-armed afterwards.
  virtual bool ProgramEnding() const { return false; }
};

// One shield check at a time, shared by both shields. An alert runs a nested message loop;
// a tick that starts inside it (a timer re-armed meanwhile, say by a resize of the main
// window) returns at once, so alerts never overlap.
class ShieldGate {
 public:
  bool busy() const { return busy_; }

  class Hold {
   public:
    explicit Hold(ShieldGate& gate) : gate_(gate) { gate_.busy_ = true; }
    ~Hold() { gate_.busy_ = false; }
    Hold(const Hold&) = delete;
    Hold& operator=(const Hold&) = delete;

   private:
    ShieldGate& gate_;
  };

 private:
  bool busy_ = false;
};

inline constexpr const char* kShieldSection = "OptionAndSettings";

}  // namespace kx
