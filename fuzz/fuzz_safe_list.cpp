// Safety.dat as it is loaded before a scan: bytes split into lines, decoded, turned into
// safe-list entries.
#include <cstddef>
#include <cstdint>
#include <string>

#include "core/paths.h"
#include "definitions/codec.h"
#include "definitions/definition_files.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  std::array<std::string, kx::kPlaceholderCount> folders;
  for (size_t i = 0; i < kx::kPlaceholderCount; ++i) folders[i] = "C:\\Folder" + std::to_string(i) + "\\";
  kx::PlaceholderCache p(folders, "C:\\");
  std::vector<std::string> lines = kx::SplitTextLines(bytes);
  for (std::string& line : lines) line = kx::DecodeDefinitionLine(line);
  std::vector<std::string> list = kx::SafeListFromLines(lines, p);
  if (!list.empty() && !list.back().empty()) __builtin_trap();  // always ends with one empty element
  return 0;
}
