// The program's version resource (VS_VERSIONINFO) read from its raw bytes, as
// GetFileVersionInfo hands them over. Portable, so it runs under the fuzzer: every length
// in the block is checked against the bytes actually there.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/branding.h"

namespace kx {

struct VersionInfo {
  // VS_FIXEDFILEINFO, when the block carries a valid one.
  bool hasFixed = false;
  uint16_t fileMajor = 0, fileMinor = 0, fileBuild = 0, fileRevision = 0;
  uint16_t productMajor = 0, productMinor = 0, productBuild = 0, productRevision = 0;
  // StringFileInfo values, ANSI (Windows-1252), in resource order; the first string table
  // comes first, later tables only add names the first lacks.
  std::vector<std::pair<std::string, std::string>> strings;

  // The value by name, ignoring case; nullopt when absent.
  std::optional<std::string> String(const std::string& name) const;
};

// nullopt when the bytes do not start with a VS_VERSION_INFO block.
std::optional<VersionInfo> ParseVersionInfo(const std::string& bytes);

// ProductName, CompanyName, Comments (the vendor's web site) and LegalCopyright over the defaults; an
// absent or empty value keeps the default.
Branding BrandingFromVersionInfo(const VersionInfo& info, Branding defaults);

}  // namespace kx
