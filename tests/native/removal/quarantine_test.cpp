#include "removal/quarantine.h"

#include <gtest/gtest.h>

#include "fakes/fake_platform.h"

namespace kx {
namespace {

const std::string kData = "C:\\Data";
const std::string kQ = kData + "\\quarantine";

struct QuarantineTest : ::testing::Test {
  fakes::FakePlatform fp;
  int yields = 0;
  Quarantine q{QuarantineServices{fp.files, fp.com, fp.clock, kData, [this] { ++yields; }}};
  void SetUp() override {
    fp.files.AddFolder(kData);
    q.CreateFolder();
    q.logging = true;
  }
  std::string Stored(const std::string& name) { return fp.files.ReadFile(kQ + "\\" + name).value_or("<none>"); }
  std::string Log() { return fp.files.ReadFile(q.LogFile()).value_or(""); }
};

TEST_F(QuarantineTest, HiddenAndSystemFilesCountAsAbsent) {
  fp.files.AddFile("C:\\Bad\\hidden.exe", "h", FA_HIDDEN);
  fp.files.AddFile("C:\\Bad\\system.dll", "s", FA_SYSTEM);
  EXPECT_FALSE(q.QuarantineFile("C:\\Bad\\hidden.exe", "hidden.exe"));
  EXPECT_EQ(q.QuarantineDll("C:\\Bad\\system.dll"), -1);
  EXPECT_FALSE(q.QuarantineItem("C:\\Bad\\hidden.exe"));
  EXPECT_TRUE(fp.files.Exists("C:\\Bad\\hidden.exe"));
  EXPECT_TRUE(fp.files.Exists("C:\\Bad\\system.dll"));
  EXPECT_TRUE(fp.com.calls.empty());
  EXPECT_EQ(Log(), "");
}

TEST_F(QuarantineTest, ARetryOrTheSameFileAgainReusesItsCopyWhileAnotherGetsTheNextSlot) {
  fp.files.AddFile("C:\\A\\setup.exe", "first");
  EXPECT_TRUE(q.QuarantineFile("C:\\A\\setup.exe", "setup.exe"));
  fp.files.AddFile("C:\\A\\setup.exe", "first");  // back again, byte for byte
  EXPECT_TRUE(q.QuarantineFile("C:\\A\\setup.exe", "setup.exe"));
  fp.files.AddFile("C:\\B\\setup.exe", "other");
  EXPECT_TRUE(q.QuarantineItem("C:\\B\\setup.exe"));
  fp.files.AddFile("C:\\C\\SETUP.EXE", "third");
  EXPECT_TRUE(q.QuarantineItem("C:\\C\\SETUP.EXE"));
  fp.files.AddFile("C:\\D\\README", "no extension");
  fp.files.AddFile(kQ + "\\README", "an older one");
  EXPECT_TRUE(q.QuarantineItem("C:\\D\\README"));
  EXPECT_EQ(Stored("setup.exe"), "first");
  EXPECT_EQ(Stored("setup (2).exe"), "other");
  EXPECT_EQ(Stored("SETUP (3).EXE"), "third");
  EXPECT_EQ(Stored("README (2)"), "no extension");
  EXPECT_EQ(Stored("README"), "an older one");
  for (const char* p : {"C:\\A\\setup.exe", "C:\\B\\setup.exe", "C:\\C\\SETUP.EXE", "C:\\D\\README"})
    EXPECT_FALSE(fp.files.Exists(p)) << p;
  EXPECT_NE(Log().find(" - File: setup (2).exe\r\n - Location: C:\\B\\setup.exe\r\n"), std::string::npos);
}

TEST_F(QuarantineTest, AFolderIsCopiedWholeAndOnlyWhatWasCopiedGoes) {
  fp.files.AddFile("C:\\Bad\\Dir\\a.txt", "a");
  fp.files.AddFile("C:\\Bad\\Dir\\sub\\b.txt", "b", FA_READONLY | FA_HIDDEN);
  fp.files.AddFile("C:\\Bad\\Dir\\sub\\held.txt", "h");
  fp.files.SetInUse("C:\\Bad\\Dir\\sub\\held.txt");
  fp.files.AddFile(kQ + "\\Dir\\old.txt", "an earlier folder of that name");
  EXPECT_TRUE(q.QuarantineItem("C:\\Bad\\Dir"));
  EXPECT_EQ(Stored("Dir (2)\\a.txt"), "a");
  EXPECT_EQ(Stored("Dir (2)\\sub\\b.txt"), "b");
  EXPECT_EQ(Stored("Dir (2)\\sub\\held.txt"), "h");
  EXPECT_EQ(Stored("Dir\\old.txt"), "an earlier folder of that name");
  EXPECT_FALSE(fp.files.Exists("C:\\Bad\\Dir\\a.txt"));
  EXPECT_FALSE(fp.files.Exists("C:\\Bad\\Dir\\sub\\b.txt"));
  EXPECT_TRUE(fp.files.Exists("C:\\Bad\\Dir\\sub\\held.txt"));
  // Each file that went has its record, named by its place in the quarantine.
  const std::string stamp = "3/16/2006 10:15:02 AM";
  auto record = [&](const std::string& name, const std::string& path) {
    return stamp + " - File: " + name + "\r\n - Location: " + path + "\r\n\r\n\r\n";
  };
  EXPECT_EQ(Log(), record("Dir (2)\\a.txt", "C:\\Bad\\Dir\\a.txt") +
                       record("Dir (2)\\sub\\b.txt", "C:\\Bad\\Dir\\sub\\b.txt"));

  // Released and tried again: the copy made is recognised, no third slot. A trailing "\"
  // names the same folder.
  fp.files.SetInUse("C:\\Bad\\Dir\\sub\\held.txt", false);
  EXPECT_TRUE(q.QuarantineItem("C:\\Bad\\Dir\\"));
  EXPECT_FALSE(fp.files.Exists("C:\\Bad\\Dir"));
  EXPECT_FALSE(fp.files.Exists(kQ + "\\Dir (3)"));
  EXPECT_NE(Log().find(record("Dir (2)\\sub\\held.txt", "C:\\Bad\\Dir\\sub\\held.txt")), std::string::npos);
}

// A folder is deleted only against a copy of its own bytes, and only what lies in it goes:
// a link inside (or the threat folder itself being one) is removed, never followed.
TEST_F(QuarantineTest, AFolderGoesOnlyAgainstItsOwnCopyAndNeverThroughALink) {
  struct Case {
    const char* what;
    void (*plant)(fakes::FakeFileSystem&);
    const char* threat;
    std::vector<std::pair<std::string, std::string>> kept;  // path, bytes: untouched
    std::vector<std::string> gone;
    std::string record = "";  // what the log must say
  };
  const Case cases[] = {
      {"another folder of the same name, sizes alike, other bytes",
       [](fakes::FakeFileSystem& f) {
         f.AddFile(kQ + "\\EvilDir\\f.txt", "aaaa");
         f.AddFile("C:\\Two\\EvilDir\\f.txt", "bbbb");
       },
       "C:\\Two\\EvilDir",
       {{kQ + "\\EvilDir\\f.txt", "aaaa"}, {kQ + "\\EvilDir (2)\\f.txt", "bbbb"}},
       {"C:\\Two\\EvilDir"}},
      {"a link inside the threat folder",
       [](fakes::FakeFileSystem& f) {
         f.AddFile("C:\\Bad\\EvilDir\\a.txt", "a");
         f.AddFile("C:\\Users\\User\\Documents\\doc.txt", "mine");
         f.AddFolderLink("C:\\Bad\\EvilDir\\cache", "C:\\Users\\User\\Documents");
       },
       "C:\\Bad\\EvilDir",
       {{"C:\\Users\\User\\Documents\\doc.txt", "mine"}, {kQ + "\\EvilDir\\a.txt", "a"}},
       {"C:\\Bad\\EvilDir", kQ + "\\EvilDir\\cache"},
       " - File: cache\r\n - Location: C:\\Bad\\EvilDir\\cache\r\n"},
      {"the threat folder is itself a link",
       [](fakes::FakeFileSystem& f) {
         f.AddFile("C:\\Keep\\k.txt", "keep");
         f.AddFolderLink("C:\\Bad\\LinkDir", "C:\\Keep");
       },
       "C:\\Bad\\LinkDir\\",
       {{"C:\\Keep\\k.txt", "keep"}},
       {"C:\\Bad\\LinkDir", kQ + "\\LinkDir"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fp.files.Clear();
    fp.files.AddFolder(kQ);
    c.plant(fp.files);
    EXPECT_TRUE(q.QuarantineItem(c.threat));
    for (const auto& [path, bytes] : c.kept) EXPECT_EQ(fp.files.ReadFile(path).value_or("<none>"), bytes) << path;
    for (const std::string& path : c.gone) EXPECT_FALSE(fp.files.Exists(path)) << path;
    EXPECT_NE(Log().find(c.record), std::string::npos) << Log();
  }
}

TEST_F(QuarantineTest, ALibraryThatCannotBeCopiedIsUnregisteredButKept) {
  fp.files.AddFile("C:\\Bad\\hook.dll", "MZ");
  fp.com.AddLibrary("C:\\Bad\\hook.dll");
  fp.files.writeFailure = 112;
  EXPECT_EQ(q.QuarantineDll("C:\\Bad\\hook.dll"), 0);
  EXPECT_EQ(fp.com.calls, (std::vector<std::string>{"C:\\Bad\\hook.dll"}));
  EXPECT_TRUE(fp.files.Exists("C:\\Bad\\hook.dll"));
  fp.files.writeFailure = 0;
  // A library that can be copied but not deleted: no record either.
  fp.files.SetInUse("C:\\Bad\\hook.dll");
  EXPECT_EQ(q.QuarantineDll("C:\\Bad\\hook.dll"), 0);
  EXPECT_EQ(Stored("hook.dll"), "MZ");
  EXPECT_EQ(Log(), "");
  fp.files.SetInUse("C:\\Bad\\hook.dll", false);
  EXPECT_EQ(q.QuarantineDll("C:\\Bad\\hook.dll"), 1);
  EXPECT_EQ(Log(), "3/16/2006 10:15:02 AM - File: hook.dll\r\n - Location: C:\\Bad\\hook.dll\r\n\r\n\r\n");
  EXPECT_FALSE(fp.files.Exists(kQ + "\\hook (2).dll"));
}

TEST_F(QuarantineTest, LoggingOffStillBacksUpButWritesNothing) {
  q.logging = false;
  fp.files.AddFile("C:\\Bad\\x.bin", "x");
  EXPECT_TRUE(q.QuarantineItem("C:\\Bad\\x.bin"));
  q.WriteQuarantineRegistryRecord("HKEY_CURRENT_USER\\Software\\X", "V");
  EXPECT_EQ(Stored("x.bin"), "x");
  EXPECT_FALSE(fp.files.Exists(q.LogFile()));
  EXPECT_GT(yields, 0);
}

}  // namespace
}  // namespace kx
