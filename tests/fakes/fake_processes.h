// A process table the test fills. Terminating a process ends it (it leaves the table and
// keeps its exit code); processes can be made unopenable (system processes, other users)
// or unkillable.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/services.h"

namespace kx::fakes {

class FakeProcesses final : public Processes {
 public:
  FakeProcesses();

  std::vector<uint32_t> EnumIds() override;
  std::optional<std::string> ModulePath(uint32_t pid) override;
  std::optional<std::string> ModuleBaseName(uint32_t pid) override;
  std::optional<ProcessImage> Image(uint32_t pid) override;
  bool Terminate(uint32_t pid, uint32_t exitCode) override;
  std::optional<uint32_t> ExitCode(uint32_t pid) override;
  bool WaitForExit(uint32_t pid, uint32_t milliseconds) override;
  bool EnableDebugPrivilege() override;
  void DisableDebugPrivilege() override { debugPrivilegeHeld = false; }
  std::vector<ProcessEntry> Snapshot() override;
  std::optional<std::vector<std::string>> WmiProcessNames() override;
  uint32_t CurrentId() override { return selfId; }

  // Starts a process of that executable (full path); its id, or `pid` when given.
  uint32_t Add(const std::string& path, uint32_t pid = 0);
  void Exit(uint32_t pid, uint32_t exitCode);  // ends by itself
  bool IsRunning(uint32_t pid) const { return running_.count(pid) != 0; }
  void Clear();  // no process at all, not even this one

  struct Proc {
    std::string path;
    bool openable = true;  // false: OpenProcess is refused, modules unreadable
    // false: the modules cannot be read (a 64-bit process seen from a 32-bit one), only
    // the image name the system keeps
    bool modulesReadable = true;
    bool killable = true;
  };
  Proc* Get(uint32_t pid);

  uint32_t selfId = 4242;
  bool debugPrivilege = true;       // EnableDebugPrivilege succeeds
  bool wmiAvailable = true;
  bool snapshotFullPaths = false;   // the Windows 95 toolhelp gives full paths
  std::vector<std::pair<uint32_t, uint32_t>> terminations;  // (pid, exit code) that succeeded
  int debugPrivilegeRequests = 0;
  bool debugPrivilegeHeld = false;  // enabled and not yet disabled

 private:
  std::map<uint32_t, Proc> running_;
  std::map<uint32_t, uint32_t> ended_;
  uint32_t nextId_ = 5000;
};

}  // namespace kx::fakes
