// The raw bytes of a version resource. Their reading is
// core/version_info (portable, fuzzed): the program and its tests share that one path.
#pragma once

#include <optional>
#include <string>

namespace kx::win32 {

// The VS_VERSIONINFO block of a file as GetFileVersionInfoA returns it; nullopt when the
// file has none.
std::optional<std::string> ReadVersionResource(const std::string& path);
// The running executable's own block.
std::optional<std::string> ReadOwnVersionResource();

}  // namespace kx::win32
