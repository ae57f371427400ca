// The placeholder expander and the file helpers on Windows' own folders.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>

#include "core/paths.h"
#include "platform/win32/services_win32.h"

namespace kx {
namespace {

std::string Lower(std::string s) { return LowerAnsi(s); }

TEST(WinePaths, ExpandsToTheShellsFolders) {
  win32::Win32SystemInfo system;
  PathExpander expander(system);
  char windir[MAX_PATH] = {};
  ASSERT_GT(GetWindowsDirectoryA(windir, MAX_PATH), 0u);
  EXPECT_EQ(Lower(expander.Expanded("[WinDir]")), Lower(std::string(windir) + "\\"));
  char sysdir[MAX_PATH] = {};
  ASSERT_GT(GetSystemDirectoryA(sysdir, MAX_PATH), 0u);
  EXPECT_EQ(Lower(SystemDirectory(system)), Lower(sysdir));
  EXPECT_EQ(Lower(expander.Expanded("[system]")), Lower(std::string(sysdir) + "\\"));
  EXPECT_EQ(expander.Expanded("[recycle]x.dat"), "x.dat");

  std::string root = expander.SystemDriveRoot();
  ASSERT_EQ(root.size(), 3u);
  EXPECT_EQ(root.substr(1), ":\\");
  EXPECT_EQ(Lower(root), Lower(std::string(windir).substr(0, 3)));

  std::string appdata = expander.Expanded("[appdata]");
  ASSERT_FALSE(appdata.empty());
  EXPECT_EQ(appdata.back(), '\\');
  EXPECT_EQ(DataFolder(expander), appdata + "DideZuvurudARA");
  EXPECT_NE(Lower(appdata).find("roaming"), std::string::npos);  // never the local one

  std::string user = expander.Expanded("[user]");
  ASSERT_FALSE(user.empty());
  EXPECT_EQ(user.back(), '\\');
  EXPECT_EQ(Lower(user).find("\\start menu"), std::string::npos);
  EXPECT_EQ(Lower(expander.Expanded("[strtmnu]")).rfind(Lower(user), 0), 0u);
  // The profiles Windows itself names (Wine reports Windows 7, whose Start Menu lies deep
  // in AppData).
  char env[MAX_PATH] = {};
  ASSERT_GT(GetEnvironmentVariableA("USERPROFILE", env, MAX_PATH), 0u);
  EXPECT_EQ(Lower(user), Lower(std::string(env) + "\\"));
  ASSERT_GT(GetEnvironmentVariableA("ALLUSERSPROFILE", env, MAX_PATH), 0u);
  EXPECT_EQ(Lower(expander.Expanded("[alluser]")), Lower(std::string(env) + "\\"));
}

TEST(WinePaths, CacheMatchesLiveLookups) {
  win32::Win32SystemInfo system;
  PathExpander live(system);
  PlaceholderCache cache(system);
  for (const PlaceholderRow& row : kPlaceholderTable) {
    std::string text = std::string(row.token) + "x";
    EXPECT_EQ(cache.Expanded(text), live.Expanded(text)) << row.token;
  }
  EXPECT_EQ(cache.SystemDriveRoot(), live.SystemDriveRoot());
}

TEST(WinePaths, FileExistsSkipsHiddenAndWildcards) {
  win32::Win32FileSystem files;
  char tmp[MAX_PATH] = {};
  ASSERT_GT(GetTempPathA(MAX_PATH, tmp), 0u);
  std::string dir = std::string(tmp) + "kx_paths_test";
  CreateDirectoryA(dir.c_str(), nullptr);
  std::string plain = dir + "\\Plain.exe", hidden = dir + "\\hidden.exe";
  ASSERT_TRUE(files.WriteFile(plain, "x"));
  ASSERT_TRUE(files.WriteFile(hidden, "x"));
  ASSERT_TRUE(SetFileAttributesA(hidden.c_str(), FILE_ATTRIBUTE_HIDDEN));
  EXPECT_TRUE(FileExists(files, dir + "\\PLAIN.exe"));
  EXPECT_FALSE(FileExists(files, hidden));
  EXPECT_FALSE(FileExists(files, dir + "\\*.exe"));
  EXPECT_FALSE(FileExists(files, dir));
  EXPECT_TRUE(FolderExists(files, dir));
  EXPECT_FALSE(FolderExists(files, plain));
  SetFileAttributesA(hidden.c_str(), FILE_ATTRIBUTE_NORMAL);
  DeleteFileA(hidden.c_str());
  DeleteFileA(plain.c_str());
  RemoveDirectoryA(dir.c_str());
}

TEST(WinePaths, SetRegistryValueOnARealKey) {
  win32::Win32Registry registry;
  const std::string key = "Software\\Kestrix Labs\\PathsTest";
  ASSERT_EQ(registry.CreateKey(Hive::CurrentUser, key), RegStatus::Ok);
  EXPECT_EQ(SetRegistryValue(registry, Hive::CurrentUser, key, "Start Page", REGT_SZ, "about:blank"), RegStatus::Ok);
  EXPECT_EQ(SetRegistryValue(registry, Hive::CurrentUser, key, "N", REGT_DWORD, 5u), RegStatus::Ok);
  RegValue v;
  ASSERT_EQ(registry.QueryValue(Hive::CurrentUser, key, "Start Page", v), RegStatus::Ok);
  EXPECT_EQ(v.AsString(), "about:blank");
  ASSERT_EQ(registry.QueryValue(Hive::CurrentUser, key, "N", v), RegStatus::Ok);
  EXPECT_EQ(v.AsDword(), 5u);
  (void)registry.DeleteTree(Hive::CurrentUser, key);  // it may not be there yet
}

// Figures, not a check: run with --gtest_also_run_disabled_tests.
TEST(WinePaths, DISABLED_ExpansionCost) {
  win32::Win32SystemInfo system;
  PathExpander live(system);
  const std::string all = [] {
    std::string t;
    for (const PlaceholderRow& row : kPlaceholderTable) t += row.token;
    return t;
  }();
  auto time = [](auto&& f, int n) {
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < n; ++i) f();
    return std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count() / n;
  };
  double one = time([&] { live.Expanded("[progfil]BonziTrack"); }, 200);
  double every = time([&] { live.Expanded(all); }, 50);
  double build = time([&] { PlaceholderCache c(system); }, 50);
  PlaceholderCache cache(system);
  double cached = time([&] { cache.Expanded(all); }, 2000);
  std::printf("uncached, one token: %.1f us\nuncached, all 30 tokens: %.1f us\n"
              "building the cache: %.1f us\ncached, all 30 tokens: %.2f us\n",
              one, every, build, cached);
  EXPECT_EQ(cache.Expanded(all), live.Expanded(all));
}

}  // namespace
}  // namespace kx
