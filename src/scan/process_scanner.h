// The memory phase: running processes against the executable definitions. During a scan a
// threat is stopped and listed; outside one (the memory shield) the user is asked. Also the
// process operations other parts of the program share: stopping a threat by name, the
// process list and the running program names sent with the anonymous data.
#pragma once

#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <string_view>
#include <unordered_set>
#include <utility>
#include <vector>

#include "platform/forms/form.h"
#include "platform/log.h"
#include "platform/services.h"
#include "scan/scan_state.h"
#include "scan/threat_list.h"

namespace kx {

// One matched process.
struct MemoryThreat {
  std::string fileName;  // upper case, as matched
  std::string company;   // from the file's version resource; may be empty
  std::string path;      // the executable's full path, upper case (the definition's)
  uint32_t pid = 0;
};

// Outside a scan a threat goes to the user. Implemented by the memory shield's alert.
class MemoryThreatPrompt {
 public:
  virtual ~MemoryThreatPrompt() = default;
  // Shows the alert for the threat and returns once it was answered (or closed).
  virtual void AskAboutThreat(const MemoryThreat& threat) = 0;
};

struct ProcessScanServices {
  Processes& processes;
  SystemInfo& system;
  FileSystem& files;
  ui::Backend& ui;
  std::function<std::string(const std::string&)> message;  // the message table
  std::string productName;
  std::string dataFolder;  // no trailing "\"
  Log* log = nullptr;
};

// The main window's controls the phase touches; any may be null.
struct ProcessScanControls {
  ui::Control* lblTotalNoOfRunningItems = nullptr;
  ui::Control* cmdScan = nullptr;  // disabled while a scan runs

};

// The running processes as GetProcessList gives them (the arrays run from 0 here).
struct ProcessList {
  std::vector<std::string> names;  // base names
  std::vector<uint32_t> ids;
  std::vector<std::string> paths;  // full image path read with the name ("" when unknown)
};

class ProcessScanner {
 public:
  ProcessScanner(ProcessScanServices services, ProcessScanControls controls, ThreatList& threats, ScanState& state);

  // Outside a scan the threats go to this prompt; without one they are only counted.
  void SetPrompt(MemoryThreatPrompt* prompt) { prompt_ = prompt; }

  // The platform switch: toolhelp on the Windows 95 family, the process API on NT.
  void ScanMemory();
  void ScanProcessList();
  void ScanModuleList95();
  // During a scan: stops the threat and lists what came of it. False when it could not be
  // stopped: then it is not counted among the threats found, which the removal adds to the
  // removed total. Outside a scan it goes to the prompt, and counts.
  bool ReportMemoryThreat(const MemoryThreat& threat);

  // Stops a threat's processes, found by file name (with the short-name and 15-character
  // rules). A process whose full path can be read and is not threatPath is never touched;
  // an empty threatPath leaves the name rules alone to decide. Nor is one whose image lies
  // in the Windows folder unless its file can be read and is not Microsoft's. True when
  // every such process stopped, or when none runs.
  bool KillProcessByName(const std::string& fileName, const std::string& threatPath = "");
  bool KillProcessById(uint32_t pid, uint32_t exitCode);
  void KillProcess95(uint32_t pid);

  // -1 when the system cannot list processes.
  long GetProcessList(ProcessList& out);
  std::string GetProcessName(uint32_t pid);
  std::string MapSystem32Path(const std::string& path);
  // The encoded running program names for the anonymous data ("" when none).
  std::string GetRunningProgramList();

  bool ScanRunning() const { return controls_.cmdScan && !controls_.cmdScan->enabled(); }

 private:
  bool StopRequested() const;
  void SetRunningItems(const std::string& text);
  void Progress(const std::string& lastExeName, long base);
  // "|PATH|PATH|...|", upper case; "" without the file or when stopped while reading.
  std::string BuildExecutableList(std::string& lastExeName);
  bool ExecutableListHolds(const std::string& path) const;
  void ExamineProcess(uint32_t pid, const std::string& imagePath, const std::string& list);
  void Examine95(uint32_t pid, const std::string& name, const std::string& upperList);
  // A process path as the executable list holds paths: trimmed, upper case, system folder mapped.
  std::string MatchedPath(const std::string& imagePath);
  // The one process, with the retries a dying process may need.
  bool StopProcess(uint32_t pid);
  // Below the Windows folder (windir, the system folder, SysWOW64): a 32-bit view of those
  // folders is not the system's, so what cannot be read there may well be the system's own.
  bool InWindowsFolder(const std::string& path);
  // An image in the Windows folder that cannot be read, or is Microsoft's: never stopped.
  bool SystemOwned(const std::string& path);
  void LogLeftRunning(uint32_t pid, const std::string& path, const char* why);
  // The once-per-process notes kept between checks, for processes that still run.
  void ForgetEnded(const std::vector<uint32_t>& running);
  std::string Msg(const std::string& key) const { return services_.message ? services_.message(key) : key; }

  ProcessScanServices services_;
  ProcessScanControls controls_;
  ThreatList& threats_;
  ScanState& state_;
  MemoryThreatPrompt* prompt_ = nullptr;
  std::string list95_;  // the toolhelp variant's executable list, kept while not blank
  // Processes (id, file name or path) already given an "EXCLUDED: " row or a log line.
  // Between scans the shield rows each excluded process once, not on every check; a scan
  // empties the lists and rows every one again.
  std::set<std::pair<uint32_t, std::string>> excludedRowed_, leftRunningLogged_;
  struct ExeListCache {
    bool valid = false;
    std::string bytes;  // ExeDefinition.dat as read
    std::string list;
    std::string lastExeName;
    std::unordered_set<std::string_view> entries;  // into list
  } exeCache_;
};

}  // namespace kx
