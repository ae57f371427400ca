// Repeats the process check of the memory scan in the background. Each threat found that
// is neither from Microsoft nor excluded goes to the user in the memory alert: STOP ends
// the process, ALLOW excludes its file name for good.
#pragma once

#include <functional>
#include <string>

#include "protection/frm_spyware_found_alert.h"
#include "protection/shield_host.h"
#include "scan/process_scanner.h"
#include "scan/threat_list.h"

namespace kx {

struct MemoryShieldServices {
  std::function<std::string(const std::string&)> message;  // the message table
  std::string productName;
};

class MemoryShield final : public MemoryThreatPrompt {
 public:
  // Takes the alert's buttons. Whoever joins the two makes the shield the scanner's prompt
  // (ProcessScanner::SetPrompt), and takes it back before the shield goes.
  MemoryShield(MemoryShieldServices services, ShieldHost& host, ProcessScanner& scanner, ThreatList& threats,
               FrmSpywareFoundAlert& alert, ShieldGate& gate);
  MemoryShield(const MemoryShield&) = delete;
  MemoryShield& operator=(const MemoryShield&) = delete;

  // tmrMemoryInspected, and every third home page shield tick.
  void Tick();
  // Fills the alert, shows it without blocking and yields until it is answered or closed.
  void AskAboutThreat(const MemoryThreat& threat) override;

 private:
  void Stop();   // cmdYes "STOP"
  void Allow();  // cmdNO "ALLOW"

  MemoryShieldServices services_;
  ShieldHost& host_;
  ProcessScanner& scanner_;
  ThreatList& threats_;
  FrmSpywareFoundAlert& alert_;
  ShieldGate& gate_;
  MemoryThreat threat_;  // the one the alert shows
};

}  // namespace kx
