// The version resource is read from the program's own file, which anyone can patch.
#include <cstddef>
#include <cstdint>
#include <string>

#include "localization/languages.h"
#include "core/version_info.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  auto info = kx::ParseVersionInfo(bytes);
  if (!info) return 0;
  size_t total = 0;
  for (const auto& [k, v] : info->strings) total += k.size() + v.size();
  if (total > size) __builtin_trap();  // every character came from two bytes of input
  (void)kx::BrandingFromVersionInfo(*info, kx::Branding{});
  return 0;
}
