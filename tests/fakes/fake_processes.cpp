#include "fakes/fake_processes.h"

namespace kx::fakes {

namespace {

std::string BaseName(const std::string& path) {
  size_t slash = path.find_last_of("\\/");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

FakeProcesses::FakeProcesses() { Add("C:\\Program Files\\Kestrix\\Kestrix.exe", selfId); }

void FakeProcesses::Clear() {
  running_.clear();
  ended_.clear();
}

uint32_t FakeProcesses::Add(const std::string& path, uint32_t pid) {
  if (pid == 0) {
    while (running_.count(nextId_) || ended_.count(nextId_)) nextId_ += 4;
    pid = nextId_;
    nextId_ += 4;
  }
  ended_.erase(pid);
  running_[pid] = Proc{path};
  return pid;
}

FakeProcesses::Proc* FakeProcesses::Get(uint32_t pid) {
  auto it = running_.find(pid);
  return it == running_.end() ? nullptr : &it->second;
}

void FakeProcesses::Exit(uint32_t pid, uint32_t exitCode) {
  if (running_.erase(pid)) ended_[pid] = exitCode;
}

std::vector<uint32_t> FakeProcesses::EnumIds() {
  std::vector<uint32_t> ids;
  for (const auto& [pid, p] : running_) ids.push_back(pid);
  return ids;
}

std::optional<std::string> FakeProcesses::ModulePath(uint32_t pid) {
  Proc* p = Get(pid);
  if (!p || !p->openable || !p->modulesReadable) return std::nullopt;
  return p->path;
}

std::optional<std::string> FakeProcesses::ModuleBaseName(uint32_t pid) {
  Proc* p = Get(pid);
  if (!p || !p->openable || !p->modulesReadable) return std::nullopt;
  return BaseName(p->path);
}

std::optional<ProcessImage> FakeProcesses::Image(uint32_t pid) {
  Proc* p = Get(pid);
  if (!p || !p->openable) return std::nullopt;
  return ProcessImage{BaseName(p->path), p->path};
}

bool FakeProcesses::Terminate(uint32_t pid, uint32_t exitCode) {
  Proc* p = Get(pid);
  if (!p || !p->openable || !p->killable) return false;
  terminations.emplace_back(pid, exitCode);
  Exit(pid, exitCode);
  return true;
}

std::optional<uint32_t> FakeProcesses::ExitCode(uint32_t pid) {
  auto it = ended_.find(pid);
  if (it == ended_.end()) return std::nullopt;
  return it->second;
}

bool FakeProcesses::WaitForExit(uint32_t pid, uint32_t) { return !IsRunning(pid); }

bool FakeProcesses::EnableDebugPrivilege() {
  ++debugPrivilegeRequests;
  debugPrivilegeHeld = debugPrivilege;
  return debugPrivilege;
}

std::vector<ProcessEntry> FakeProcesses::Snapshot() {
  std::vector<ProcessEntry> out;
  for (const auto& [pid, p] : running_) out.push_back({pid, snapshotFullPaths ? p.path : BaseName(p.path)});
  return out;
}

std::optional<std::vector<std::string>> FakeProcesses::WmiProcessNames() {
  if (!wmiAvailable) return std::nullopt;
  std::vector<std::string> names;
  for (const auto& [pid, p] : running_) names.push_back(BaseName(p.path));
  return names;
}

}  // namespace kx::fakes
