#include "scan/process_scanner.h"

#include <cstdlib>
#include <optional>

#include "core/paths.h"
#include "core/text.h"
#include "definitions/codec.h"
#include "definitions/definition_files.h"
#include "definitions/records.h"
#include "scan/company_name.h"

namespace kx {

namespace {

constexpr const char* kCompanion = "Quorvane.exe";
constexpr const char* kMicrosoft = "Microsoft Corporation";

bool IsMicrosoft(const std::string& company) { return EqualsNoCase(Trim(company), kMicrosoft); }

std::string CutAtNul(std::string s) {
  if (size_t nul = s.find('\0'); nul != std::string::npos) s.resize(nul);
  return s;
}

// A name as the kill rules compare it: 16 characters or more keep their first 15 (the
// length the old process lists cut names to), shorter ones lose their extension.
std::string ReducedName(const std::string& name) {
  if (name.size() >= 16) return name.substr(0, 15);
  if (size_t dot = name.find('.'); dot != std::string::npos) return name.substr(0, dot);
  return name;
}

}  // namespace


ProcessScanner::ProcessScanner(ProcessScanServices services, ProcessScanControls controls, ThreatList& threats,
                               ScanState& state)
    : services_(std::move(services)), controls_(controls), threats_(threats), state_(state) {}

void ProcessScanner::ScanMemory() {
  switch (services_.system.Version().platformId) {
    case 1: ScanModuleList95(); break;
    case 2: ScanProcessList(); break;
    default: break;
  }
}

bool ProcessScanner::StopRequested() const {
  // The Stop flag belongs to a scan: one cancelled earlier must not blind the shield.
  return ScanRunning() && state_.stop;
}

void ProcessScanner::SetRunningItems(const std::string& text) {
  if (controls_.lblTotalNoOfRunningItems) controls_.lblTotalNoOfRunningItems->set_caption(text);
}

void ProcessScanner::Progress(const std::string& lastExeName, long base) {
  const DefinitionCounts& d = state_.definitions;
  state_.UpdateScanProgress(state_.phaseCaption + "\r\n" + lastExeName, Percentage(state_.counters.memoryInspected, d.exe),
                            Percentage(state_.counters.memoryInspected + base, d.total));
}

bool ProcessScanner::ExecutableListHolds(const std::string& path) const {
  // The list's entries lie between bars and a path holds no bar, so looking the path up
  // among the entries finds exactly what searching the list for "|" path "|" finds.
  return exeCache_.entries.count(path) != 0;
}

std::string ProcessScanner::BuildExecutableList(std::string& lastExeName) {
  DefinitionStore store(services_.files, services_.dataFolder);
  if (!store.Present(DefinitionFile::Exe)) return "";
  std::optional<std::string> bytes = services_.files.ReadFile(store.PathOf(DefinitionFile::Exe));
  if (!bytes) return "";
  // A shield check between scans reads the file and, when it is what the last run read,
  // takes that run's list: expanding ten thousand lines every few seconds would cost more
  // than the rest of the check. A scan always reads and counts every line.
  const bool scanning = ScanRunning();
  if (!scanning && exeCache_.valid && exeCache_.bytes == *bytes) {
    lastExeName = exeCache_.lastExeName;
    return exeCache_.list;
  }
  exeCache_.valid = false;
  PlaceholderCache placeholders(services_.system);
  std::string list = "|";
  for (const std::string& raw : SplitTextLines(*bytes)) {
    if (StopRequested()) return "";
    const std::string line = DecodeDefinitionLine(raw);
    ExeDefinition exe = ReadExeDefinition(line, placeholders);
    if (exe.valid) {
      list += exe.path;
      list += '|';
      lastExeName = exe.exeName;
    }
    if (scanning) {
      state_.counters.memoryInspected += 1;
      Progress(lastExeName, state_.definitions.cookie);
    }
    state_.YieldToMessageLoop();
  }
  list = UpperAnsi(list);
  exeCache_ = {true, std::move(*bytes), list, lastExeName, {}};
  std::string_view all = exeCache_.list;
  for (size_t at = 1, bar; (bar = all.find('|', at)) != std::string_view::npos; at = bar + 1)
    exeCache_.entries.insert(all.substr(at, bar - at));
  return list;
}

void ProcessScanner::ScanProcessList() {
  std::string lastExeName;
  const std::string list = BuildExecutableList(lastExeName);

  ProcessList processes;
  const long count = GetProcessList(processes);
  SetRunningItems(std::to_string(count));
  if (count >= 0) ForgetEnded(processes.ids);
  for (long i = 0; i < count; ++i) {
    state_.counters.memoryInspected += 1;
    if (ScanRunning()) Progress(lastExeName, state_.definitions.exe);
    if (StopRequested()) return;
    ExamineProcess(processes.ids[i], processes.paths[i], list);
    state_.YieldToMessageLoop();
  }
}

void ProcessScanner::ExamineProcess(uint32_t pid, const std::string& imagePath, const std::string& list) {
  if (imagePath.empty()) return;  // could not be opened
  const std::string path = MatchedPath(imagePath);
  const std::string fileName = FileNameOfPath(path);
  if (list.empty() || !ExecutableListHolds(path)) return;
  // The file the process runs from: a 64-bit one's System32 is not ours.
  const std::optional<std::string> image = services_.files.ReadImageFile(path);
  const std::string company = image ? GetCompanyName(*image) : std::string();
  if (IsMicrosoft(company)) return;
  if (!image && InWindowsFolder(path)) {
    LogLeftRunning(pid, path, "its file cannot be read");
    return;
  }
  if (threats_.IsExcluded(fileName)) {
    const bool first = excludedRowed_.insert({pid, fileName}).second;
    if (first || ScanRunning()) threats_.AddExcludedRow(fileName);
    return;
  }
  if (EqualsNoCase(Trim(fileName), kCompanion)) return;
  if (ReportMemoryThreat({fileName, company, path, pid})) state_.counters.threatsFound += 1;
}

bool ProcessScanner::InWindowsFolder(const std::string& path) {
  std::string p = UpperAnsi(Trim(path));
  for (const char* prefix : {"\\\\?\\", "\\??\\"})
    if (p.rfind(prefix, 0) == 0) p.erase(0, 4);
  if (p.rfind("\\SYSTEMROOT\\", 0) == 0) return true;
  const std::string system = UpperAnsi(services_.system.SystemDirectory());
  const size_t cut = system.find_last_of('\\');
  for (const std::string& folder : {UpperAnsi(services_.system.WindowsDirectory()), system,
                                    cut == std::string::npos ? std::string() : system.substr(0, cut)}) {
    if (folder.size() < 3) continue;  // unknown, or a bare drive
    if (p.size() > folder.size() && p.compare(0, folder.size(), folder) == 0 && p[folder.size()] == '\\') return true;
  }
  return false;
}

bool ProcessScanner::SystemOwned(const std::string& path) {
  if (!InWindowsFolder(path)) return false;
  const std::optional<std::string> image = services_.files.ReadImageFile(path);
  return !image || IsMicrosoft(GetCompanyName(*image));
}

void ProcessScanner::LogLeftRunning(uint32_t pid, const std::string& path, const char* why) {
  if (!services_.log || !leftRunningLogged_.insert({pid, UpperAnsi(path)}).second) return;
  services_.log->Write("memory: " + path + " (process " + std::to_string(pid) +
                       ") lies in the Windows folder and " + why + "; left running");
}

void ProcessScanner::ForgetEnded(const std::vector<uint32_t>& running) {
  const std::set<uint32_t> alive(running.begin(), running.end());
  for (auto* notes : {&excludedRowed_, &leftRunningLogged_})
    std::erase_if(*notes, [&](const auto& note) { return !alive.count(note.first); });
}

std::string ProcessScanner::MatchedPath(const std::string& imagePath) {
  // The definitions' list is upper case: so is the system folder put in by the mapping.
  return UpperAnsi(MapSystem32Path(UpperAnsi(Trim(imagePath))));
}

bool ProcessScanner::ReportMemoryThreat(const MemoryThreat& threat) {
  if (ScanRunning()) {
    // The process that matched, not whichever runs first under that name.
    const bool stopped = threat.pid != 0 ? StopProcess(threat.pid) : KillProcessByName(threat.fileName, threat.path);
    threats_.AddLiveRow(stopped ? "Detected in the memory : " + threat.fileName + " was stopped from running."
                                : Msg("MSG_NOTSTOPPED") + " " + threat.fileName,
                        KIND_FILE);
    return stopped;
  }
  if (prompt_) prompt_->AskAboutThreat(threat);
  return true;
}

bool ProcessScanner::StopProcess(uint32_t pid) {
  for (int attempt = 0; attempt < 11; ++attempt) {
    if (KillProcessById(pid, 0)) return true;
    if (services_.processes.WaitForExit(pid, 1)) return true;
  }
  return false;
}

bool ProcessScanner::KillProcessByName(const std::string& fileName, const std::string& threatPath) {
  std::string bare = ReplaceAllIgnoringCase(fileName, ".exe", "");
  if (bare.size() >= 7) bare.resize(6);
  const std::string shortName = UpperAnsi(bare) + "~1";
  const std::string wanted = Trim(ReducedName(fileName));
  const std::string threat = threatPath.empty() ? "" : MatchedPath(threatPath);

  ProcessList processes;
  const long count = GetProcessList(processes);
  bool allStopped = true;
  for (long i = 0; i < count; ++i) {
    const std::string name = ReducedName(FileNameOfPath(CutAtNul(processes.names[i])));
    const bool candidate = EqualsNoCase(name, wanted) || EqualsNoCase(name, shortName);
    if (!candidate) {
      state_.YieldToMessageLoop();
      continue;
    }
    const std::string& path = processes.paths[i];
    // The name rules only find candidates: a process whose path is known to be another
    // program's is never stopped for a threat of the same name.
    if (!threat.empty() && !path.empty() && MatchedPath(path) != threat) {
      if (services_.log) services_.log->Write("memory: " + path + " shares the name of " + threat + "; left running");
      continue;
    }
    // Left running, and so not stopped: the removal then keeps its file too.
    if (!path.empty() && SystemOwned(MatchedPath(path))) {
      LogLeftRunning(processes.ids[i], MatchedPath(path), "its file cannot be read or is Microsoft's");
      allStopped = false;
      continue;
    }
    // One instance that will not stop leaves the others no safer.
    if (!StopProcess(processes.ids[i])) allStopped = false;
  }
  return allStopped;
}

bool ProcessScanner::KillProcessById(uint32_t pid, uint32_t exitCode) {
  Processes& p = services_.processes;
  const bool nt = !services_.system.Version().IsWin9x();
  // Without the debug privilege (a standard user) a process of one's own can still be
  // stopped; only another user's or a protected one needs it.
  const bool privileged = nt && p.EnableDebugPrivilege();
  const bool ok = p.Terminate(pid, exitCode);
  if (privileged) p.DisableDebugPrivilege();
  return ok;
}

void ProcessScanner::KillProcess95(uint32_t pid) {
  constexpr uint32_t kStillActive = 259;  // the exit code a running process reports
  services_.processes.Terminate(pid, services_.processes.ExitCode(pid).value_or(kStillActive));
}

long ProcessScanner::GetProcessList(ProcessList& out) {
  out = {};
  const std::vector<uint32_t> ids = services_.processes.EnumIds();
  if (ids.empty()) return -1;  // there is always at least this program
  for (uint32_t pid : ids) {
    std::string name, path;
    if (pid == 0) {
      name = "System Idle Process";
    } else if (pid == 2) {
      name = "System";
    } else if (auto image = services_.processes.Image(pid)) {
      name = CutAtNul(image->baseName);
      path = CutAtNul(image->path);
    }
    if (name.empty()) continue;
    out.names.push_back(std::move(name));
    out.ids.push_back(pid);
    out.paths.push_back(std::move(path));
  }
  return static_cast<long>(out.names.size());
}

std::string ProcessScanner::GetProcessName(uint32_t pid) {
  if (pid == 0) return "System Idle Process";
  if (pid == 2) return "System";
  auto image = services_.processes.Image(pid);
  return image ? CutAtNul(image->baseName) : std::string();
}

std::string ProcessScanner::MapSystem32Path(const std::string& path) {
  const std::string upper = UpperAnsi(Trim(path));
  const size_t at = upper.rfind("SYSTEM32\\");
  if (at == std::string::npos) return path;
  return services_.system.SystemDirectory() + "\\" + upper.substr(at + 9);
}

std::string ProcessScanner::GetRunningProgramList() {
  static const char* const kSkipped[] = {"System",       "System Idle Process", "winlogon.exe", "services.exe",
                                         "svchost.exe",  "explorer.exe",        "firefox.exe",  "iexplore.exe"};
  auto names = services_.processes.WmiProcessNames();
  if (!names) return "";
  std::string out;
  for (const std::string& name : *names) {
    bool skip = false;
    for (const char* s : kSkipped) skip = skip || name == s;
    if (skip) continue;
    if (!out.empty()) out += '|';
    out += EncodeDefinitionLine(name);
  }
  return out;
}

// ---------------------------------------------------------------- the Windows 95 family

void ProcessScanner::ScanModuleList95() {
  if (Trim(list95_).empty()) {
    list95_.clear();
    DefinitionStore store(services_.files, services_.dataFolder);
    if (!store.Present(DefinitionFile::Exe)) return;
    for (const std::string& raw : store.RawLines(DefinitionFile::Exe)) {
      if (StopRequested()) {
        list95_.clear();
        return;
      }
      const std::string line = DecodeDefinitionLine(raw);
      list95_ += line + "\r\n";
      state_.counters.memoryInspected += 1;
      if (ScanRunning())
        state_.UpdateScanProgress(state_.phaseCaption + "\r\n" + line,
                                  Percentage(state_.counters.memoryInspected, state_.definitions.exe), -1);
      state_.YieldToMessageLoop();
    }
  } else {
    long lines = 0;
    for (size_t at = list95_.find("\r\n"); at != std::string::npos; at = list95_.find("\r\n", at + 2)) ++lines;
    state_.counters.memoryInspected += lines;
  }
  const std::string upper = UpperAnsi(list95_);

  const std::vector<ProcessEntry> snapshot = services_.processes.Snapshot();
  std::vector<uint32_t> running;
  for (const ProcessEntry& entry : snapshot) running.push_back(entry.pid);
  ForgetEnded(running);
  for (const ProcessEntry& entry : snapshot) {
    const long shown = controls_.lblTotalNoOfRunningItems
                           ? std::strtol(controls_.lblTotalNoOfRunningItems->caption().c_str(), nullptr, 10)
                           : 0;
    SetRunningItems(std::to_string(shown + 1));
    const std::string name = UpperAnsi(Trim(FileNameOfPath(CutAtNul(entry.exeFile))));
    if (!name.empty()) Examine95(entry.pid, name, upper);
    state_.YieldToMessageLoop();
  }
}

void ProcessScanner::Examine95(uint32_t pid, const std::string& name, const std::string& upperList) {
  const size_t at = upperList.find(name);
  if (at == std::string::npos) return;
  size_t end = upperList.find("\r\n", at);
  if (end == std::string::npos) end = upperList.size();
  if (!EqualsNoCase(Trim(std::string_view(upperList).substr(at, end - at)), name)) return;
  if (IsMicrosoft(GetCompanyName(services_.files, name))) return;
  if (threats_.IsExcluded(name)) {
    const bool first = excludedRowed_.insert({pid, name}).second;
    if (first || ScanRunning()) threats_.AddExcludedRow(name);
    return;
  }
  if (ScanRunning()) {
    threats_.AddLiveRow("Detected in the memory : " + name + " and was stopped being from ruuning.", KIND_FILE);
    KillProcess95(pid);
    state_.counters.threatsFound += 1;
    return;
  }
  const std::string text = Msg("MSG_FOUND1") + name + Msg("MSG_FOUND2") + name + Msg("MSG_FOUND3");
  if (services_.ui.MsgBox(text, ui::MB_YES_NO | ui::MB_ICON_QUESTION, services_.productName + "  - Alert") == ui::MsgResult::Yes) {
    KillProcess95(pid);
    state_.counters.threatsFound += 1;
  } else {
    threats_.AddExclusion(name);
  }
}

}  // namespace kx
