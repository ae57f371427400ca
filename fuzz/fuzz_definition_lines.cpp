// Every definition format's reader over arbitrary file bytes: lines split, decoded and read
// as each format in turn, with folders that themselves hold tokens.
#include <cstddef>
#include <cstdint>
#include <string>

#include "core/paths.h"
#include "definitions/codec.h"
#include "definitions/records.h"

namespace {

kx::PlaceholderCache& Folders() {
  static kx::PlaceholderCache cache = [] {
    std::array<std::string, kx::kPlaceholderCount> folders;
    for (size_t i = 0; i < kx::kPlaceholderCount; ++i)
      folders[i] = i % 3 == 2 ? "" : "C:\\F" + std::to_string(i) + "\\[windir]\\";
    return kx::PlaceholderCache(folders, "C:\\");
  }();
  return cache;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  kx::PlaceholderCache& p = Folders();
  std::vector<std::string> lines = kx::SplitTextLines(bytes);
  for (std::string& line : lines) {
    // Both as stored (encoded) and as plain text, so plain seeds reach the field logic.
    for (const std::string& text : {kx::DecodeDefinitionLine(line), line}) {
      kx::ReadFileDefinition(text, p);
      kx::ReadFolderDefinition(text, p);
      kx::RegistryDefinition r = kx::ReadRegistryDefinition(text, p);
      if (r.valid) (void)r.FullLocation();
      kx::ReadExeDefinition(text, p);
      kx::SafetyEntryOfLine(text, p);
    }
    if (kx::EncodeDefinitionLine(kx::DecodeDefinitionLine(line)).size() != line.size()) __builtin_trap();
  }
  kx::BlockedCookieList(lines);
  kx::ExclusionLines(bytes);
  return 0;
}
