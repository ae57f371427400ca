// The program's branding, read from its own version resource. Only the fetching of the raw
// bytes is Windows; their reading is localization/version_info (portable, fuzzed).
#pragma once

#include <optional>
#include <string>

#include "localization/languages.h"

namespace kx::win32 {

// The VS_VERSIONINFO block of a file as GetFileVersionInfoA returns it; nullopt when the
// file has none.
std::optional<std::string> ReadVersionResource(const std::string& path);
// The running executable's own block.
std::optional<std::string> ReadOwnVersionResource();
// Product name, company name and web site of the running executable; the built-in
// defaults for whatever the resource lacks.
Branding LoadBranding();

}  // namespace kx::win32
