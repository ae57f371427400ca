// The fakes' own test knobs, which program tests rely on beyond the shared contract.
#include <gtest/gtest.h>

#include "fakes/fake_platform.h"
#include "fakes/fake_util.h"

namespace kx::fakes {
namespace {

TEST(FakeWildcards, FollowFindFirstFileRules) {
  EXPECT_TRUE(WildcardMatch("*.*", "noext"));
  EXPECT_TRUE(WildcardMatch("abc.*", "abc"));
  EXPECT_TRUE(WildcardMatch("*.", "noext"));
  EXPECT_FALSE(WildcardMatch("*.", "a.b"));
  EXPECT_TRUE(WildcardMatch("A?C.TXT", "abc.txt"));
  EXPECT_FALSE(WildcardMatch("a?c.txt", "ac.txt"));
  EXPECT_TRUE(WildcardMatch("*cook*.txt", "user@cookie[1].txt"));
  EXPECT_FALSE(WildcardMatch("*.exe", "x.exe.txt"));
  EXPECT_TRUE(EqualNoCase("\xE9t\xE9", "\xC9T\xC9"));  // Windows-1252 letters
}

TEST(FakePlatformSetup, PlantsTheLayoutFoldersAndFilesWithParents) {
  FakePlatform fp;
  EXPECT_TRUE(fp.files.FolderExists(fp.system.SpecialFolder(CSIDL_APPDATA)));
  EXPECT_TRUE(fp.files.FolderExists("c:\\windows\\SYSTEM32"));
  fp.files.AddFile("D:\\deep\\er\\x.exe", "MZ", FA_HIDDEN);
  EXPECT_TRUE(fp.files.FolderExists("D:\\deep\\er"));
  EXPECT_TRUE(fp.files.ListPlainFiles("D:\\deep\\er\\x.exe").empty());
  EXPECT_TRUE(fp.files.Exists("d:\\DEEP\\er\\X.EXE"));

  fp.system.UseXpLayout("Ann");
  fp.PlantSystemFolders();
  EXPECT_EQ(fp.system.SpecialFolder(CSIDL_STARTMENU), "C:\\Documents and Settings\\Ann\\Start Menu");
  EXPECT_TRUE(fp.files.FolderExists("C:\\Documents and Settings\\Ann\\Application Data"));
  EXPECT_FALSE(fp.system.Version().IsVistaOrLater());
}

TEST(FakeFiles, AFileInUseResistsDeletionAndWritingButCanBeRead) {
  FakeFileSystem fs;
  fs.AddFile("C:\\a\\busy.dll", "x");
  fs.SetInUse("C:\\a\\busy.dll");
  EXPECT_FALSE(fs.DeleteFile("C:\\a\\busy.dll"));
  EXPECT_FALSE(fs.WriteFile("C:\\a\\busy.dll", "y"));
  EXPECT_FALSE(fs.DeleteFolder("C:\\a", true));
  EXPECT_EQ(fs.ReadFile("C:\\a\\busy.dll"), "x");
  fs.SetInUse("C:\\a\\busy.dll", false);
  EXPECT_TRUE(fs.DeleteFolder("C:\\a", true));
}

TEST(FakeRegistrySetup, RestrictionsStopWritesAndNewSubkeys) {
  FakeRegistry reg;
  reg.PutString(Hive::LocalMachine, "Software\\Run", "app", "c:\\app.exe");
  reg.Restrict(Hive::LocalMachine, "Software\\Run", REGA_READ);
  EXPECT_EQ(reg.CreateKey(Hive::LocalMachine, "Software\\Run\\sub"), RegStatus::AccessDenied);
  EXPECT_FALSE(reg.HasKey(Hive::LocalMachine, "Software\\Run\\sub"));
  EXPECT_EQ(reg.DeleteTree(Hive::LocalMachine, "Software\\Run"), RegStatus::AccessDenied);
  EXPECT_EQ(reg.Get(Hive::LocalMachine, "SOFTWARE\\run", "APP")->AsString(), "c:\\app.exe");
  EXPECT_EQ(reg.OpenKey(Hive::CurrentUser, "Software\\Run", REGA_READ), RegStatus::NotFound);  // hives apart
}

TEST(FakeProcessTable, UnopenableAndUnkillableProcesses) {
  FakeProcesses p;
  uint32_t sys = p.Add("C:\\Windows\\system32\\csrss.exe");
  uint32_t stubborn = p.Add("C:\\x\\stubborn.exe");
  p.Get(sys)->openable = false;
  p.Get(stubborn)->killable = false;
  EXPECT_FALSE(p.ModulePath(sys));
  EXPECT_FALSE(p.Terminate(sys, 0));
  EXPECT_EQ(p.ModuleBaseName(stubborn), "stubborn.exe");
  EXPECT_FALSE(p.Terminate(stubborn, 0));
  EXPECT_TRUE(p.IsRunning(stubborn));
  EXPECT_TRUE(p.terminations.empty());
  p.snapshotFullPaths = true;
  bool full = false;
  for (const auto& e : p.Snapshot()) full |= e.exeFile == "C:\\x\\stubborn.exe";
  EXPECT_TRUE(full);
  p.wmiAvailable = false;
  EXPECT_FALSE(p.WmiProcessNames());
}

TEST(FakeWebScript, ConnectionDropsAfterSomeBlocksAndRequestsAreLogged) {
  FakeWeb web;
  web.responses["http://h/x"] = FakeWeb::Response{std::string(1000, 'x'), 200, false, 2};
  WebResult r = web.Get("http://h/x", {}, [](size_t) { return true; });
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.body.size(), 512u);
  EXPECT_EQ(web.yields, 2);
  EXPECT_FALSE(web.Get("http://h/unscripted", {}, nullptr).ok);
  EXPECT_EQ(web.requests, (std::vector<std::string>{"http://h/x", "http://h/unscripted"}));
}

TEST(FakeSmallServices, RestoreClockAndLocks) {
  FakeSystemRestore r;
  auto seq = r.Begin(std::string(80, 'd'), 6);
  ASSERT_TRUE(seq);
  EXPECT_EQ(r.points[0].description.size(), 64u);
  EXPECT_TRUE(r.End(*seq));
  EXPECT_FALSE(r.End(*seq));  // once
  r.available = false;
  EXPECT_FALSE(r.Begin("x", 6));

  FakeClock c;
  DateTime before = c.Now();
  c.Advance(600);
  EXPECT_EQ(c.Now(), before);
  c.Advance(600);
  EXPECT_EQ(c.Now().SerialSeconds(), before.SerialSeconds() + 1);
  EXPECT_EQ(c.TickMs(), 1001200u);

  std::unique_ptr<InstanceLock> lock;
  {
    FakeLocks locks;
    lock = locks.TryAcquire("Kestrix");
    EXPECT_TRUE(locks.IsHeld("Kestrix"));
    EXPECT_TRUE(locks.TryAcquire("kestrix"));  // names are case-sensitive
  }
  lock.reset();  // outliving its FakeLocks is safe
}

}  // namespace
}  // namespace kx::fakes
