#include "protection/memory_shield.h"

#include <chrono>
#include <thread>

#include "core/text.h"
#include "scan/scan_driver.h"

namespace kx {

MemoryShield::MemoryShield(MemoryShieldServices services, ShieldHost& host, ProcessScanner& scanner,
                           ThreatList& threats, FrmSpywareFoundAlert& alert, ShieldGate& gate)
    : services_(std::move(services)), host_(host), scanner_(scanner), threats_(threats), alert_(alert), gate_(gate) {
  alert_.onStop = [this] { Stop(); };
  alert_.onAllow = [this] { Allow(); };
}

void MemoryShield::Tick() {
  if (gate_.busy() || host_.ProgramEnding()) return;
  if (!SettingAsBoolean(host_.ReadSetting(kShieldSection, "optMemorySheildOn", "True"))) return;
  ShieldGate::Hold hold(gate_);
  host_.ApplyTimerSettings(false);
  scanner_.ScanMemory();
  if (!host_.ProgramEnding()) host_.ApplyTimerSettings(true);
}

void MemoryShield::AskAboutThreat(const MemoryThreat& threat) {
  // The rest of an interrupted check goes unasked.
  if (host_.ProgramEnding()) return;
  threat_ = threat;
  const std::string company = Trim(threat.company).empty()
                                  ? (services_.message ? services_.message("MSG_NOCOMPANY") : std::string()) + " " +
                                        threat.fileName
                                  : UpperAnsi(threat.company);
  alert_.Get("lblAlertCompanyName").set_caption(company);
  alert_.Get("lblAlertFileName").set_caption(UpperAnsi(threat.fileName));
  alert_.ClearAnswer();
  alert_.Show();
  ui::Backend& ui = alert_.backend();
  // Closed by its close box or with the program, the alert counts as answered: the check
  // goes on without acting, and the next one asks again.
  while (!alert_.answered() && alert_.visible() && !host_.ProgramEnding()) {
    ui.DoEvents();
    // The user takes seconds to answer; spinning through the message loop meanwhile
    // would hold a whole processor.
    if (!alert_.answered() && alert_.visible()) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

void MemoryShield::Stop() {
  const std::string fileName = Trim(alert_.Get("lblAlertFileName").caption());
  if (!scanner_.KillProcessByName(fileName, threat_.path))
    alert_.backend().MsgBox(UpperAnsi(fileName) +
                                " could not be stopped.  You should try again after saving your work and closing "
                                "any open applications.",
                            ui::MB_ICON_INFORMATION, services_.productName);
}

void MemoryShield::Allow() {
  // A failed append is not reported: the name stays unexcluded and the next check asks again.
  threats_.AddExclusion(alert_.Get("lblAlertFileName").caption());
}

}  // namespace kx
