// Hive codes of the registry-based definition formats: "2" is HKEY_LOCAL_MACHINE.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/services.h"

namespace kx {

struct HiveCode {
  int32_t handle = -1;  // the predefined key handle as a signed number, -1 when invalid
  std::string name;     // "HKEY_LOCAL_MACHINE", "" when invalid

  bool valid() const { return handle != -1; }
};

// Codes 0 to 5; any other number is invalid, and a text that is not a number reads as 0.
// The number is read the way the classic Val() reads it: blanks anywhere are skipped and
// the leading numeric part counts, so "2abc" is 2 and "2.5" is invalid.
HiveCode HiveFromCode(std::string_view codeText);

// The registry service's hive for a handle; none for HKEY_DYN_DATA, which exists only on
// the Windows 95 family, and for anything invalid.
std::optional<Hive> HiveOfHandle(int32_t handle);

}  // namespace kx
