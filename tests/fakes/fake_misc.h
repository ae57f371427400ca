// The small services: System Restore, COM unregistration, the shell, named locks, clock.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/services.h"

namespace kx::fakes {

class FakeSystemRestore final : public SystemRestore {
 public:
  bool Available() override { return available; }
  std::optional<int64_t> Begin(const std::string& description, uint32_t restorePointType = 6) override;
  bool End(int64_t sequence) override;

  bool available = true;
  bool failBegin = false;
  struct Point {
    std::string description;  // as the record holds it: at most 64 characters
    uint32_t type = 0;
    int64_t sequence = 0;
    bool ended = false;
  };
  std::vector<Point> points;
  int64_t nextSequence = 101;
};

class FakeCom final : public Com {
 public:
  bool Unregister(const std::string& dllPath) override;

  // A library that can be loaded, and whether its DllUnregisterServer succeeds.
  void AddLibrary(const std::string& path, bool unregisters = true);
  std::map<std::string, bool> libraries;  // by upper-case path
  std::vector<std::string> calls;         // every path asked for
};

class FakeShell final : public Shell {
 public:
  bool Open(const std::string& fileOrAddress) override;
  bool Start(const std::string& program, const std::string& arguments) override;
  bool SetClipboardText(const std::string& text) override;
  std::optional<std::string> ClipboardText() override { return clipboard; }

  bool succeed = true;
  std::vector<std::string> opened;
  std::vector<std::pair<std::string, std::string>> started;  // (program, arguments)
  std::optional<std::string> clipboard;
};

class FakeLocks final : public Locks {
 public:
  std::unique_ptr<InstanceLock> TryAcquire(const std::string& name) override;
  bool IsHeld(const std::string& name) const { return held_->count(name) != 0; }

 private:
  // Shared with the locks handed out, so a lock may outlive this object safely.
  std::shared_ptr<std::set<std::string>> held_ = std::make_shared<std::set<std::string>>();
};

class FakeClock final : public Clock {
 public:
  DateTime Now() override { return now; }
  int64_t UnixSeconds() override { return now.SerialSeconds() - DateTime{1970, 1, 1}.SerialSeconds() - utcOffsetSeconds; }
  uint64_t TickMs() override { return tick; }
  // Moves both the tick count and the wall clock on.
  void Advance(uint64_t ms);

  DateTime now{2006, 3, 16, 10, 15, 2};
  uint64_t tick = 1000000;
  int64_t utcOffsetSeconds = 0;  // local time minus UTC

 private:
  uint64_t pendingMs_ = 0;
};

}  // namespace kx::fakes
