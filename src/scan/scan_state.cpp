#include "scan/scan_state.h"

#include <cfenv>
#include <cmath>

#include "scan/status_filter.h"

namespace kx {


int Percentage(double part, double whole) {
  if (whole == 0) return -1;
  double v = part / whole * 100.0;
  if (!std::isfinite(v)) return -1;
  return static_cast<int>(std::nearbyint(v));  // default mode: nearest, halves to even
}

namespace {
void SetCaption(ui::Control* c, const std::string& text) {
  if (c) c->set_caption(text);
}
}  // namespace

void ScanState::UpdateScanProgress(const std::string& status, int phasePercent, int overallPercent) {
  counters.progressCalls += 1;
  if (counters.progressCalls <= 99) return;
  FreezeRedraw(true);
  SetCounterCaptions();
  SetCaption(controls_.lblStatus, FilterStatusWords(status));
  if (phasePercent >= 0 && controls_.pb1) controls_.pb1->set_value(phasePercent);
  if (overallPercent >= 0 && controls_.pb2) controls_.pb2->set_value(overallPercent);
  FreezeRedraw(false);
  counters.progressCalls = 0;
}

void ScanState::SetCounterCaptions() {
  Show(controls_.lblMemoryInspected, shown_.memory, std::to_string(counters.memoryInspected));
  Show(controls_.lblRegistryInspected, shown_.registry, std::to_string(counters.registryInspected));
  Show(controls_.lblFilesFolderInspected, shown_.files, std::to_string(counters.filesFoldersInspected));
  SetCaption(controls_.lblSoftwareFound, std::to_string(counters.threatsFound));
  SetCaption(controls_.lblRemovePicSoftwareFound, std::to_string(counters.threatsFound));
}

void ScanState::ShowCounters() {
  // A counter still at 0 leaves its label alone: it reads "0" from the start of the scan,
  // or says that its phase was not selected.
  auto show = [](ui::Control* c, long n) {
    if (c && n != 0) c->set_caption(std::to_string(n));
  };
  auto inspected = [](ui::Control* c, std::string& shown, long n) {
    if (n != 0) Show(c, shown, std::to_string(n));
  };
  FreezeRedraw(true);
  inspected(controls_.lblMemoryInspected, shown_.memory, counters.memoryInspected);
  inspected(controls_.lblRegistryInspected, shown_.registry, counters.registryInspected);
  inspected(controls_.lblFilesFolderInspected, shown_.files, counters.filesFoldersInspected);
  show(controls_.lblSoftwareFound, counters.threatsFound);
  show(controls_.lblRemovePicSoftwareFound, counters.threatsFound);
  FreezeRedraw(false);
}

void ScanState::YieldToMessageLoop() {
  if (!doEvents_) return;
  if (yield.intervalMs != 0) {
    uint64_t now = clock_.TickMs();
    if (yieldedOnce_ && now - lastYieldMs_ < yield.intervalMs) return;
    yieldedOnce_ = true;
    lastYieldMs_ = now;
  }
  ++yields_;
  doEvents_();
}

void ScanState::Show(ui::Control* label, std::string& shown, const std::string& text) {
  shown = text;
  if (label) label->set_caption(text);
}

void ScanState::ShowMemoryInspected(const std::string& text) {
  Show(controls_.lblMemoryInspected, shown_.memory, text);
}

void ScanState::ShowRegistryInspected(const std::string& text) {
  Show(controls_.lblRegistryInspected, shown_.registry, text);
}

void ScanState::Reset() {
  counters = {};
  shown_ = {};
  stop = false;
  yieldedOnce_ = false;
  yields_ = 0;
}

void ScanState::FreezeRedraw(bool frozen) {
  if (controls_.form) controls_.form->FreezeRedraw(frozen);
}

}  // namespace kx
