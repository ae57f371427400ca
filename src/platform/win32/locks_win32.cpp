#include <windows.h>

#include "platform/win32/services_win32.h"

namespace kx::win32 {

namespace {

class MutexLock final : public InstanceLock {
 public:
  explicit MutexLock(HANDLE h) : h_(h) {}
  ~MutexLock() override { CloseHandle(h_); }

 private:
  HANDLE h_;
};

}  // namespace

std::unique_ptr<InstanceLock> Win32Locks::TryAcquire(const std::string& name) {
  HANDLE h = CreateMutexA(nullptr, FALSE, name.c_str());
  if (!h) return nullptr;
  if (GetLastError() == ERROR_ALREADY_EXISTS) {
    CloseHandle(h);
    return nullptr;
  }
  return std::make_unique<MutexLock>(h);
}

}  // namespace kx::win32
