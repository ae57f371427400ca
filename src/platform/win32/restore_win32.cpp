#include <windows.h>

#include <cstddef>
#include <cstring>

#include "platform/win32/services_win32.h"

namespace kx::win32 {

namespace {

// The records of srclient.dll (srrestoreptapi.h), declared here: the library is looked up at
// run time, so systems without System Restore still start.
#pragma pack(push, 1)
struct RestorePointInfoA {
  DWORD dwEventType;
  DWORD dwRestorePtType;
  INT64 llSequenceNumber;
  CHAR szDescription[64];
};
// Packed as srrestoreptapi.h packs it: the sequence number sits at offset 4, not 8.
struct StateMgrStatus {
  DWORD nStatus;
  INT64 llSequenceNumber;
};
#pragma pack(pop)
static_assert(sizeof(RestorePointInfoA) == 80 && offsetof(RestorePointInfoA, llSequenceNumber) == 8);
static_assert(sizeof(StateMgrStatus) == 12 && offsetof(StateMgrStatus, llSequenceNumber) == 4);
using SetRestorePointA = BOOL(WINAPI*)(RestorePointInfoA*, StateMgrStatus*);

constexpr DWORD kBeginSystemChange = 100;
constexpr DWORD kEndSystemChange = 101;

struct Library {
  HMODULE h = LoadLibraryA("srclient.dll");
  ~Library() {
    if (h) FreeLibrary(h);
  }
  SetRestorePointA Entry() const {
    return h ? reinterpret_cast<SetRestorePointA>(reinterpret_cast<void*>(GetProcAddress(h, "SRSetRestorePointA")))
             : nullptr;
  }
};

}  // namespace

bool Win32SystemRestore::Available() {
  Library lib;
  return lib.Entry() != nullptr;
}

std::optional<int64_t> Win32SystemRestore::Begin(const std::string& description, uint32_t restorePointType) {
  Library lib;
  SetRestorePointA call = lib.Entry();
  if (!call) return std::nullopt;
  RestorePointInfoA info{};
  info.dwEventType = kBeginSystemChange;
  info.dwRestorePtType = restorePointType;
  info.llSequenceNumber = 0;
  strncpy(info.szDescription, description.c_str(), sizeof info.szDescription - 1);
  StateMgrStatus status{};
  if (!call(&info, &status)) return std::nullopt;
  return status.llSequenceNumber;
}

bool Win32SystemRestore::End(int64_t sequence) {
  Library lib;
  SetRestorePointA call = lib.Entry();
  if (!call) return false;
  RestorePointInfoA info{};
  info.dwEventType = kEndSystemChange;
  info.dwRestorePtType = 0;
  info.llSequenceNumber = sequence;
  StateMgrStatus status{};
  return call(&info, &status) != 0;
}

}  // namespace kx::win32
