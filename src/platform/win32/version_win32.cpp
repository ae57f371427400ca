#include <windows.h>

#include "platform/win32/version_win32.h"

#include <vector>

namespace kx::win32 {

std::string OwnModulePath() {
  std::vector<char> buf(MAX_PATH);
  for (;;) {
    const DWORD n = GetModuleFileNameA(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
    if (n == 0) return {};
    if (n < buf.size()) return std::string(buf.data(), n);
    if (buf.size() >= 32768) return {};  // longer than any Windows path
    buf.resize(buf.size() * 2);
  }
}

std::optional<std::string> ReadVersionResource(const std::string& path) {
  DWORD handle = 0;
  const DWORD size = GetFileVersionInfoSizeA(path.c_str(), &handle);
  if (size == 0) return std::nullopt;
  std::string bytes(size, '\0');
  if (!GetFileVersionInfoA(path.c_str(), 0, size, bytes.data())) return std::nullopt;
  return bytes;
}

std::optional<std::string> ReadOwnVersionResource() {
  const std::string path = OwnModulePath();
  if (path.empty()) return std::nullopt;
  return ReadVersionResource(path);
}

}  // namespace kx::win32
