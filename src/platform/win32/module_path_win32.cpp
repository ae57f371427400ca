#include <windows.h>

#include "platform/win32/module_path_win32.h"

#include <vector>

namespace kx::win32 {

std::optional<std::string> ReadGrowingName(const std::function<uint32_t(char*, uint32_t)>& read) {
  std::vector<char> buf(MAX_PATH + 1);
  for (;;) {
    const uint32_t size = static_cast<uint32_t>(buf.size());
    const uint32_t n = read(buf.data(), size);
    if (n == 0) return std::nullopt;
    // XP returns the size without a NUL when cut; later systems size - 1.
    if (n + 1 < size) return std::string(buf.data(), n);
    if (size > 32768) return std::nullopt;  // longer than any Windows path
    buf.resize(buf.size() * 2);
  }
}

std::string OwnModulePath() {
  return ReadGrowingName([](char* buf, uint32_t size) { return GetModuleFileNameA(nullptr, buf, size); })
      .value_or(std::string());
}

}  // namespace kx::win32
