#include <windows.h>

#include "platform/win32/version_win32.h"

#include "platform/win32/module_path_win32.h"

namespace kx::win32 {

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
