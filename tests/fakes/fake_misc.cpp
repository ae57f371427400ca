#include "fakes/fake_misc.h"

#include "fakes/fake_util.h"

namespace kx::fakes {

std::optional<int64_t> FakeSystemRestore::Begin(const std::string& description, uint32_t type) {
  if (!available || failBegin) return std::nullopt;
  points.push_back({description.substr(0, 64), type, nextSequence, false});
  return nextSequence++;
}

bool FakeSystemRestore::End(int64_t sequence) {
  if (!available) return false;
  for (auto& p : points) {
    if (p.sequence == sequence && !p.ended) {
      p.ended = true;
      return true;
    }
  }
  return false;
}

void FakeCom::AddLibrary(const std::string& path, bool unregisters) { libraries[Upper(path)] = unregisters; }

bool FakeCom::Unregister(const std::string& dllPath) {
  calls.push_back(dllPath);
  auto it = libraries.find(Upper(dllPath));
  return it != libraries.end() && it->second;
}

bool FakeShell::Open(const std::string& fileOrAddress) {
  opened.push_back(fileOrAddress);
  return succeed;
}

bool FakeShell::Start(const std::string& program, const std::string& arguments) {
  started.emplace_back(program, arguments);
  return succeed;
}

bool FakeShell::SetClipboardText(const std::string& text) {
  if (!succeed) return false;
  clipboard = text;
  return true;
}

namespace {

class FakeLock final : public InstanceLock {
 public:
  FakeLock(std::shared_ptr<std::set<std::string>> held, std::string name)
      : held_(std::move(held)), name_(std::move(name)) {}
  ~FakeLock() override { held_->erase(name_); }

 private:
  std::shared_ptr<std::set<std::string>> held_;
  std::string name_;
};

}  // namespace

std::unique_ptr<InstanceLock> FakeLocks::TryAcquire(const std::string& name) {
  // Mutex names are case-sensitive on Windows.
  if (!held_->insert(name).second) return nullptr;
  return std::make_unique<FakeLock>(held_, name);
}

void FakeClock::Advance(uint64_t ms) {
  tick += ms;
  pendingMs_ += ms;
  if (pendingMs_ >= 1000) {
    now = DateTime::FromSerialSeconds(now.SerialSeconds() + static_cast<int64_t>(pendingMs_ / 1000));
    pendingMs_ %= 1000;
  }
}

}  // namespace kx::fakes
