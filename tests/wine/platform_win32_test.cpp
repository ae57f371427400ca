// Windows-only behaviour of the win32 services, beyond what the fakes share.
#include <windows.h>

#include <algorithm>
#include <cstring>

#include <gtest/gtest.h>

#include "platform/win32/module_path_win32.h"
#include "platform/win32/services_win32.h"

namespace kx::win32 {
namespace {

std::string TempFolder(const char* tag) {
  char tmp[MAX_PATH + 1] = {};
  GetTempPathA(MAX_PATH, tmp);
  std::string p = std::string(tmp) + "kxw" + std::to_string(GetCurrentProcessId()) + tag;
  CreateDirectoryA(p.c_str(), nullptr);
  return p;
}

TEST(Win32Files, HiddenFilesCanBeRewrittenButNotCopiedOnto) {
  Win32FileSystem fs;
  std::string dir = TempFolder("h");
  std::string hidden = dir + "\\h.txt", src = dir + "\\s.txt";
  ASSERT_TRUE(fs.WriteFile(hidden, "old"));
  ASSERT_TRUE(fs.SetAttributes(hidden, FA_HIDDEN));
  ASSERT_TRUE(fs.WriteFile(hidden, "new"));  // CREATE_ALWAYS would refuse this
  EXPECT_EQ(fs.ReadFile(hidden), "new");
  EXPECT_TRUE(fs.Attributes(hidden).value_or(0) & FA_HIDDEN);
  ASSERT_TRUE(fs.WriteFile(src, "src"));
  EXPECT_FALSE(fs.CopyFile(src, hidden, false));
  EXPECT_EQ(fs.ReadFile(hidden), "new");
  EXPECT_TRUE(fs.DeleteFolder(dir, true));
}

TEST(Win32Files, ReadsAFileAnotherHandleHasOpenForWriting) {
  Win32FileSystem fs;
  std::string dir = TempFolder("r");
  std::string path = dir + "\\open.log";
  HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  DWORD wrote = 0;
  WriteFile(h, "busy", 4, &wrote, nullptr);
  EXPECT_EQ(fs.ReadFile(path), "busy");
  CloseHandle(h);
  EXPECT_TRUE(fs.DeleteFolder(dir, true));
}

TEST(Win32Names, ALongNameIsReadWholeWhicheverWayTheApiCutsIt) {
  const std::string name = "C:\\" + std::string(700, 'n') + ".exe";
  for (bool xpStyle : {false, true}) {
    int calls = 0;
    auto got = ReadGrowingName([&](char* buf, uint32_t size) -> uint32_t {
      ++calls;
      // XP fills the buffer without a NUL and returns its size; later systems cut one
      // short to end it with a NUL.
      uint32_t n = static_cast<uint32_t>(std::min<size_t>(name.size(), xpStyle ? size : size - 1));
      memcpy(buf, name.data(), n);
      if (n < size) buf[n] = '\0';
      return n;
    });
    EXPECT_EQ(got, name) << xpStyle;
    EXPECT_GT(calls, 1);
  }
  EXPECT_FALSE(ReadGrowingName([](char*, uint32_t) -> uint32_t { return 0; }));
  char exe[MAX_PATH + 1] = {};
  GetModuleFileNameA(nullptr, exe, MAX_PATH);
  EXPECT_EQ(OwnModulePath(), exe);
}

TEST(Win32Registry, DeleteTreeRemovesManySubkeysDepthFirst) {
  Win32Registry reg;
  std::string root = "Software\\KestrixWine\\tree" + std::to_string(GetCurrentProcessId());
  for (int i = 0; i < 40; ++i)
    ASSERT_EQ(reg.CreateKey(Hive::CurrentUser, root + "\\k" + std::to_string(i) + "\\deeper\\deepest"), RegStatus::Ok);
  ASSERT_EQ(reg.SetValue(Hive::CurrentUser, root + "\\k3\\deeper", "v", RegValue::Dword(1)), RegStatus::Ok);
  EXPECT_EQ(reg.DeleteTree(Hive::CurrentUser, root + "\\"), RegStatus::Ok);
  EXPECT_EQ(reg.OpenKey(Hive::CurrentUser, root, REGA_READ), RegStatus::NotFound);
  EXPECT_EQ(reg.DeleteTree(Hive::CurrentUser, ""), RegStatus::Failed);  // never a whole hive
}

TEST(Win32Registry, ClassesRootIsReadable) {
  Win32Registry reg;
  EXPECT_EQ(reg.OpenKey(Hive::ClassesRoot, "", REGA_READ), RegStatus::Ok);
  std::vector<std::string> keys;
  ASSERT_EQ(reg.EnumSubkeys(Hive::LocalMachine, "Software", keys), RegStatus::Ok);
  EXPECT_FALSE(keys.empty());
}

TEST(Win32Processes, ModuleNamesOfAllProcessesThatCanBeOpened) {
  Win32Processes p;
  auto ids = p.EnumIds();
  ASSERT_FALSE(ids.empty());
  int named = 0;
  for (uint32_t id : ids)
    if (auto base = p.ModuleBaseName(id)) named += !base->empty();
  EXPECT_GT(named, 0);
  EXPECT_TRUE(p.EnableDebugPrivilege());  // Wine's user is an administrator
}

TEST(Win32Com, UnregisterNeedsTheEntryPoint) {
  Win32Com com;
  char sys[MAX_PATH] = {};
  GetSystemDirectoryA(sys, MAX_PATH);
  // A real library without "DllUnregisterServer".
  EXPECT_FALSE(com.Unregister(std::string(sys) + "\\kernel32.dll"));
}

}  // namespace
}  // namespace kx::win32
