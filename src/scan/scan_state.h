// The state every scanner shares during a scan: counters, the Stop flag, the phase
// caption, the throttled progress display and the yield to the message loop.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform/forms/form.h"
#include "platform/services.h"

namespace kx {

struct ScanCounters {
  long memoryInspected = 0;
  long registryInspected = 0;
  long filesFoldersInspected = 0;
  long threatsFound = 0;
  long progressCalls = 0;

  friend bool operator==(const ScanCounters&, const ScanCounters&) = default;
};

// Line counts of the definition files, made at start-up; the progress bars divide by them.
struct DefinitionCounts {
  long file = 0;      // FileDefinition.dat + DirectoryDefinition.dat
  long registry = 0;
  long cookie = 0;
  long exe = 0;
  long total = 0;     // all five files
};

// Rounds halves to even; -1 (leave the bar alone) when the divisor is 0.
int Percentage(double part, double whole);

// The controls the progress display writes to. Any may be null (not shown).
struct ProgressControls {
  ui::Form* form = nullptr;  // for freezing its redraw
  ui::Control* lblMemoryInspected = nullptr;
  ui::Control* lblRegistryInspected = nullptr;
  ui::Control* lblFilesFolderInspected = nullptr;
  ui::Control* lblSoftwareFound = nullptr;
  ui::Control* lblStatus = nullptr;
  ui::Control* lblRemovePicSoftwareFound = nullptr;
  ui::Control* pb1 = nullptr;
  ui::Control* pb2 = nullptr;

};

// How the scan gives the message loop its turn. intervalMs 0 yields after every item;
// otherwise at most once per interval, which keeps Pause and Stop responsive at a
// fraction of the cost.
struct YieldPolicy {
  uint32_t intervalMs = 10;
};

// The last scan as its report tells it: its times and the inspected counts as shown.
struct ScanSummary {
  std::string started, finished;
  std::string memoryInspected, registryInspected, filesInspected;
};

class ScanState {
 public:
  ScanState(ProgressControls controls, std::function<void()> doEvents, Clock& clock)
      : controls_(controls), doEvents_(std::move(doEvents)), clock_(clock) {}

  ScanCounters counters;
  bool stop = false;
  std::string phaseCaption;
  DefinitionCounts definitions;
  YieldPolicy yield;

  // Shows the counters and the status on every hundredth call only.
  void UpdateScanProgress(const std::string& status, int phasePercent, int overallPercent);
  // The counter labels from the counters now, whatever the progress calls last showed.
  void ShowCounters();
  // The message loop's turn (Pause and Stop act here).
  void YieldToMessageLoop();
  // Starts a scan: counters zero, Stop clear.
  void Reset();

  // The inspected counts as the scan panel shows them: a number, or the not-selected message.
  struct Inspected {
    std::string memory = "0", registry = "0", files = "0";
  };
  const Inspected& inspectedShown() const { return shown_; }
  void ShowMemoryInspected(const std::string& text);
  void ShowRegistryInspected(const std::string& text);

  void FreezeRedraw(bool frozen);
  const ProgressControls& controls() const { return controls_; }
  uint64_t yieldCount() const { return yields_; }

 private:
  void SetCounterCaptions();
  static void Show(ui::Control* label, std::string& shown, const std::string& text);
  ProgressControls controls_;
  Inspected shown_;
  std::function<void()> doEvents_;
  Clock& clock_;
  uint64_t lastYieldMs_ = 0;
  bool yieldedOnce_ = false;
  uint64_t yields_ = 0;
};

}  // namespace kx
