// The platform services on the real Windows APIs. Only platform/win32 includes windows.h;
// this header does not.
#pragma once

#include "platform/services.h"

namespace kx::win32 {

class Win32Clock final : public Clock {
 public:
  DateTime Now() override;
  uint64_t TickMs() override;
};

}  // namespace kx::win32
