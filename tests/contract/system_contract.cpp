#include <gtest/gtest.h>

#include <cstdlib>

#include "contract/contract_env.h"

namespace kx::contract {
namespace {

std::string Up(std::string s) {
  for (char& c : s) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
  return s;
}

TEST(SystemContract, FoldersAreRealPathsWithoutTrailingBackslash) {
  auto env = MakeEnv();
  SystemInfo& sys = env->system();
  FileSystem& fs = env->files();
  std::string win = sys.WindowsDirectory(), system = sys.SystemDirectory();
  ASSERT_GE(win.size(), 4u);
  EXPECT_EQ(win.substr(1, 2), ":\\");
  EXPECT_NE(win.back(), '\\');
  EXPECT_TRUE(fs.FolderExists(win));
  EXPECT_EQ(Up(system).rfind(Up(win) + "\\", 0), 0u) << system;
  EXPECT_TRUE(fs.FolderExists(system));

  for (int csidl : {26 /*appdata*/, 36 /*windows*/, 37 /*system*/, 38 /*program files*/, 11 /*start menu*/}) {
    std::string p = sys.SpecialFolder(csidl);
    ASSERT_FALSE(p.empty()) << csidl;
    EXPECT_NE(p.back(), '\\') << csidl;
    EXPECT_TRUE(fs.FolderExists(p)) << csidl << " " << p;
  }
  EXPECT_EQ(Up(sys.SpecialFolder(36)), Up(win));
  EXPECT_EQ(sys.SpecialFolder(10), "");  // the Recycle Bin is virtual
  EXPECT_EQ(sys.SpecialFolder(0x7FFF), "");
  std::string prog = sys.ProgramFolder();
  EXPECT_TRUE(fs.FolderExists(prog)) << prog;
  EXPECT_FALSE(sys.UserName().empty());
  // An NT system has profiles: the user's and the all-users one, which holds the common
  // Start Menu.
  const std::string all = sys.AllUsersProfile();
  ASSERT_FALSE(all.empty());
  EXPECT_NE(all.back(), '\\');
  EXPECT_TRUE(fs.FolderExists(all)) << all;
  EXPECT_EQ(Up(sys.SpecialFolder(22)).rfind(Up(all) + "\\", 0), 0u) << sys.SpecialFolder(22);
  EXPECT_TRUE(fs.FolderExists(sys.SpecialFolder(40)));
}

TEST(SystemContract, SystemDriveIsAReadyFixedDriveOfAnNtSystem) {
  auto env = MakeEnv();
  SystemInfo& sys = env->system();
  std::string root = Up(sys.WindowsDirectory().substr(0, 3));
  bool found = false;
  for (const auto& d : sys.Drives()) {
    EXPECT_EQ(d.root.size(), 3u);
    if (Up(d.root) == root) {
      found = true;
      EXPECT_EQ(d.type, DriveType::Fixed);
      EXPECT_TRUE(d.ready);
    }
  }
  EXPECT_TRUE(found) << root;
  OsVersion v = sys.Version();
  EXPECT_EQ(v.platformId, 2u);
  EXPECT_FALSE(v.IsWin9x());
  EXPECT_GE(v.major, 5u);
}

TEST(ClockContract, TicksNeverGoBackAndTheDateIsPlausible) {
  auto env = MakeEnv();
  Clock& c = env->clock();
  uint64_t a = c.TickMs(), b = c.TickMs();
  EXPECT_LE(a, b);
  DateTime t = c.Now();
  EXPECT_GE(t.year, 2000);
  EXPECT_TRUE(t.month >= 1 && t.month <= 12 && t.day >= 1 && t.day <= 31);
  EXPECT_TRUE(t.hour < 24 && t.minute < 60 && t.second < 60);
  // UTC and the local time differ by the zone's offset, at most 14 hours.
  const int64_t localAsUtc = t.SerialSeconds() - DateTime{1970, 1, 1}.SerialSeconds();
  EXPECT_LE(std::llabs(c.UnixSeconds() - localAsUtc), 14 * 3600 + 60);
}

TEST(LocksContract, ANamedLockIsHeldOnceUntilReleased) {
  auto env = MakeEnv();
  Locks& locks = env->locks();
  std::string name = "KestrixContractLock" + std::to_string(env->processes().CurrentId());
  auto first = locks.TryAcquire(name);
  ASSERT_TRUE(first);
  EXPECT_FALSE(locks.TryAcquire(name));
  auto other = locks.TryAcquire(name + "2");
  EXPECT_TRUE(other);
  first.reset();
  EXPECT_TRUE(locks.TryAcquire(name));
}

TEST(ComContract, AFileThatIsNoLibraryDoesNotUnregister) {
  auto env = MakeEnv();
  std::string dir = env->ScratchFolder();
  ASSERT_TRUE(env->files().WriteFile(dir + "\\fake.dll", "not a library"));
  EXPECT_FALSE(env->com().Unregister(dir + "\\fake.dll"));
  EXPECT_FALSE(env->com().Unregister(dir + "\\missing.dll"));
}

TEST(RestoreContract, BeginGivesASequenceOnlyWhereAvailable) {
  auto env = MakeEnv();
  SystemRestore& r = env->restore();
  if (!r.Available()) {
    EXPECT_FALSE(r.Begin("Kestrix Restore Point", 6));
    return;
  }
  auto seq = r.Begin("Kestrix Restore Point", 6);
  if (seq) {
    EXPECT_TRUE(r.End(*seq));
  }
}

TEST(ShellContract, ClipboardTextRoundTrips) {
  auto env = MakeEnv();
  std::string text = "C:\\a.exe\r\nC:\\b.dll\r\n";
  ASSERT_TRUE(env->shell().SetClipboardText(text));
  EXPECT_EQ(env->shell().ClipboardText(), text);
}

}  // namespace
}  // namespace kx::contract
