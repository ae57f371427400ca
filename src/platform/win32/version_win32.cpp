#include <windows.h>

#include "platform/win32/version_win32.h"

#include "localization/version_info.h"

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
  char buf[MAX_PATH + 1] = {};
  const DWORD n = GetModuleFileNameA(nullptr, buf, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return std::nullopt;
  return ReadVersionResource(std::string(buf, n));
}

Branding LoadBranding() {
  Branding branding;
  if (auto bytes = ReadOwnVersionResource())
    if (auto info = ParseVersionInfo(*bytes)) branding = BrandingFromVersionInfo(*info, branding);
  return branding;
}

}  // namespace kx::win32
