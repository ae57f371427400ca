#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>

#include "app/app.h"
#include "core/version_info.h"
#include "platform/win32/module_path_win32.h"
#include "platform/win32/version_win32.h"

namespace kx::win32 {
namespace {

std::string ModuleFolder() {
  char buf[MAX_PATH] = {};
  std::string path(buf, GetModuleFileNameA(nullptr, buf, MAX_PATH));
  return path.substr(0, path.find_last_of('\\'));
}

// Windows' own reading of one string: the first translation's table, as VerQueryValue
// callers do.
std::optional<std::string> VerQueryString(std::string& block, const std::string& name) {
  void* p = nullptr;
  UINT len = 0;
  if (!VerQueryValueA(block.data(), "\\VarFileInfo\\Translation", &p, &len) || len < 4) return std::nullopt;
  const auto* t = static_cast<const WORD*>(p);
  char sub[128];
  std::snprintf(sub, sizeof sub, "\\StringFileInfo\\%04x%04x\\%s", t[0], t[1], name.c_str());
  if (!VerQueryValueA(block.data(), sub, &p, &len)) return std::nullopt;
  return std::string(static_cast<const char*>(p), len ? strnlen(static_cast<const char*>(p), len) : 0);
}

// The parser must read what Windows reads, name by name.
void ExpectSameAsVerQueryValue(const std::string& path) {
  auto bytes = ReadVersionResource(path);
  ASSERT_TRUE(bytes) << path;
  auto info = ParseVersionInfo(*bytes);
  ASSERT_TRUE(info) << path;
  std::string block = *bytes;
  int compared = 0;
  for (const char* name : {"Comments", "CompanyName", "FileDescription", "FileVersion", "InternalName",
                           "LegalCopyright", "OriginalFilename", "ProductName", "ProductVersion"}) {
    auto windows = VerQueryString(block, name);
    if (!windows) continue;
    EXPECT_EQ(info->String(name), *windows) << path << " " << name;
    ++compared;
  }
  EXPECT_GE(compared, 3) << path;

  void* p = nullptr;
  UINT len = 0;
  ASSERT_TRUE(VerQueryValueA(block.data(), "\\", &p, &len));
  const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(p);
  ASSERT_TRUE(info->hasFixed);
  EXPECT_EQ(info->fileMajor, HIWORD(fixed->dwFileVersionMS));
  EXPECT_EQ(info->fileMinor, LOWORD(fixed->dwFileVersionMS));
  EXPECT_EQ(info->fileBuild, HIWORD(fixed->dwFileVersionLS));
  EXPECT_EQ(info->productMajor, HIWORD(fixed->dwProductVersionMS));
}

TEST(VersionResource, KestrixBrandingComesFromItsOwnResource) {
  const std::string exe = ModuleFolder() + "\\..\\Kestrix.exe";
  ASSERT_NE(GetFileAttributesA(exe.c_str()), INVALID_FILE_ATTRIBUTES) << exe << " is built with the tests";
  ExpectSameAsVerQueryValue(exe);
  auto info = ParseVersionInfo(*ReadVersionResource(exe));
  Branding b = BrandingFromVersionInfo(*info, Branding{"x", "y", "z", 21, true, true, "c"});
  EXPECT_EQ(b.productName, "Kestrix");
  EXPECT_EQ(b.companyName, "Kestrix Labs");
  EXPECT_EQ(b.website, "http://www.kestrix.example");
  EXPECT_EQ(b.copyright, "Copyright (C) 2026 Kestrix Labs");
  EXPECT_EQ(info->fileMajor, 1);
  EXPECT_EQ(info->fileMinor, 0);
}

TEST(VersionResource, SystemLibrariesReadAsWindowsReadsThem) {
  char sys[MAX_PATH] = {};
  ASSERT_GT(GetSystemDirectoryA(sys, MAX_PATH), 0u);
  for (const char* dll : {"\\kernel32.dll", "\\comctl32.dll", "\\shell32.dll"})
    ExpectSameAsVerQueryValue(std::string(sys) + dll);
}

TEST(VersionResource, AFileWithoutOneGivesTheDefaults) {
  EXPECT_FALSE(ReadVersionResource(ModuleFolder() + "\\no such file.exe"));
  // The test program carries no version resource of its own.
  EXPECT_FALSE(ReadOwnVersionResource());
  const Branding b = AppInfoFromVersionResource(ReadOwnVersionResource(), OwnModulePath()).branding;
  EXPECT_EQ(b.productName, Branding{}.productName);
  EXPECT_EQ(b.companyName, Branding{}.companyName);
  EXPECT_EQ(b.website, Branding{}.website);
}

}  // namespace
}  // namespace kx::win32
