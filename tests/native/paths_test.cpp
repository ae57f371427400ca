#include <gtest/gtest.h>

#include "core/paths.h"
#include "fakes/fake_platform.h"

namespace kx {
namespace {

// Counts the shell folder lookups, the cost that the cache exists to save.
class CountingSystem final : public SystemInfo {
 public:
  explicit CountingSystem(SystemInfo& inner) : inner_(inner) {}
  std::string SpecialFolder(int csidl) override { ++lookups; return inner_.SpecialFolder(csidl); }
  std::string WindowsDirectory() override { return inner_.WindowsDirectory(); }
  std::string SystemDirectory() override { return inner_.SystemDirectory(); }
  std::vector<DriveInfo> Drives() override { return inner_.Drives(); }
  OsVersion Version() override { return inner_.Version(); }
  std::string ProgramFolder() override { return inner_.ProgramFolder(); }
  std::string UserName() override { return inner_.UserName(); }
  std::string AllUsersProfile() override { ++lookups; return inner_.AllUsersProfile(); }
  int lookups = 0;

 private:
  SystemInfo& inner_;
};

class PathExpansion : public ::testing::Test {
 protected:
  fakes::FakeSystemInfo system;
  PathExpander expander{system};
};

TEST_F(PathExpansion, SpecialFoldersEndWithOneBackslash) {
  EXPECT_EQ(SpecialFolderPath(system, CSIDL_WINDOWS), "C:\\Windows\\");
  EXPECT_EQ(SpecialFolderPath(system, CSIDL_BITBUCKET), "");
  EXPECT_EQ(SpecialFolderPath(system, 9999), "");
  system.SetFolder(CSIDL_FONTS, std::string("C:\\F\0junk", 9));
  EXPECT_EQ(SpecialFolderPath(system, CSIDL_FONTS), "C:\\F\\");
  EXPECT_EQ(SystemDirectory(system), "C:\\Windows\\system32");
}

TEST_F(PathExpansion, DriveRootComesFromTheProgramsFolder) {
  EXPECT_EQ(SystemDriveRoot(system), "C:\\");
  system.SetFolder(CSIDL_PROGRAMS, "D:\\Menu\\Programs");
  EXPECT_EQ(expander.SystemDriveRoot(), "D:\\");
  system.SetFolder(CSIDL_PROGRAMS, "E:");
  EXPECT_EQ(SystemDriveRoot(system), "E:\\");
  system.SetFolder(CSIDL_PROGRAMS, "");
  EXPECT_EQ(SystemDriveRoot(system), "");
}

TEST_F(PathExpansion, TokensAndTheirCaseRules) {
  EXPECT_EQ(expander.Expanded("[recycle]x.dat"), "x.dat");
  EXPECT_EQ(expander.Expanded("[Windir]a"), "C:\\Windows\\a");
  EXPECT_EQ(expander.Expanded("[WINDIR]a"), "C:\\Windows\\a");
  EXPECT_EQ(expander.Expanded("[USER]a"), "[USER]a");
  // Vista's layout: the profiles as the system reports them, not the Start Menu's parent.
  EXPECT_EQ(expander.Expanded("[user]a"), "C:\\Users\\User\\a");
  EXPECT_EQ(expander.Expanded("[alluser]"), "C:\\ProgramData\\");
  EXPECT_EQ(expander.Expanded("no token [drive] here"), "no token [drive] here");
  EXPECT_EQ(expander.Expanded("[system]|[system]"), "C:\\Windows\\system32\\|C:\\Windows\\system32\\");
  EXPECT_EQ(expander.Expanded("[desktop]"), "C:\\Users\\Public\\Desktop\\");  // all users'
  EXPECT_EQ(expander.Expanded("[comdesk]"), "C:\\Users\\User\\Desktop\\");   // the user's
  EXPECT_EQ(expander.Expanded("[comprogfil]"), "C:\\Program Files\\Common Files\\");
  EXPECT_EQ(expander.Expanded("[progfil]"), "C:\\Program Files\\");
  EXPECT_EQ(expander.Expanded("[appdata]"), "C:\\Users\\User\\AppData\\Roaming\\");
  std::string inOut = "[fonts]f.ttf";
  EXPECT_EQ(expander.ExpandPathPlaceholders(inOut), "C:\\Windows\\Fonts\\f.ttf");
  EXPECT_EQ(inOut, "C:\\Windows\\Fonts\\f.ttf");
  EXPECT_EQ(DataFolder(expander), "C:\\Users\\User\\AppData\\Roaming\\DideZuvurudARA");
}

TEST_F(PathExpansion, ProfileFoldersComeFromTheSystemElseFromTheStartMenu) {
  system.UseXpLayout("Ann");
  EXPECT_EQ(expander.Expanded("[user]"), "C:\\Documents and Settings\\Ann\\");
  EXPECT_EQ(expander.Expanded("[alluser]"), "C:\\Documents and Settings\\All Users\\");
  // A localized XP: its Start Menu is no "Start Menu", the profile is still the profile.
  system.SetFolder(CSIDL_STARTMENU, "C:\\Documents and Settings\\Ann\\Startmen\xfc");
  EXPECT_EQ(expander.Expanded("[user]"), "C:\\Documents and Settings\\Ann\\");
  // Without profiles (the Windows 95 family) every "Start Menu" is cut from the Start Menu.
  system.SetFolder(CSIDL_PROFILE, "");
  system.allUsersProfile = "";
  system.SetFolder(CSIDL_STARTMENU, "C:\\start menu\\x\\START MENU");
  EXPECT_EQ(expander.Expanded("[user]"), "C:\\x\\");
  system.SetFolder(CSIDL_COMMON_STARTMENU, "C:\\WINDOWS\\All Users\\Start Menu");
  EXPECT_EQ(expander.Expanded("[alluser]"), "C:\\WINDOWS\\All Users\\");
  EXPECT_EQ(expander.Expanded("[strtmnu]"), "C:\\start menu\\x\\START MENU\\");
}

TEST_F(PathExpansion, EarlierRowsWinAndFolderTextIsExpandedByLaterRows) {
  // "[progfil]" is row 19 and "[comprogfil]" row 20: the longer token is not protected.
  EXPECT_EQ(expander.Expanded("[comprogfil]"), "C:\\Program Files\\Common Files\\");
  system.SetFolder(CSIDL_APPDATA, "C:\\odd[windir]");
  EXPECT_EQ(expander.Expanded("[appdata]"), "C:\\oddC:\\Windows\\\\");
  system.SetFolder(CSIDL_WINDOWS, "C:\\w[appdata]");
  EXPECT_EQ(expander.Expanded("[windir]"), "C:\\w[appdata]\\");
}

TEST_F(PathExpansion, CacheGivesTheUncachedResultsWithOneLookupPerRow) {
  CountingSystem counting(system);
  PathExpander live(counting);
  const std::vector<std::string> texts = {
      "[startsp]a", "[APPDATA]b", "[recycle]", "[comstar][comapp][desktop][comdocs][comfav]",
      "[comprog][comstam][comtemp][cookies][comdesk][favorit][fonts][history][netcach]",
      "[progs][progfil][comprogfil][personl][recent][sendto][startup][strtmnu][system]",
      "[templat][windir][user][alluser][USER][Alluser]", "", "plain", "[drive]x"};
  counting.lookups = 0;
  PlaceholderCache cache(counting);
  // One a row, the two profile rows one more each, and the drive root.
  EXPECT_EQ(counting.lookups, static_cast<int>(kPlaceholderCount) + 3);
  counting.lookups = 0;
  for (const std::string& t : texts) EXPECT_EQ(cache.Expanded(t), live.Expanded(t)) << t;
  EXPECT_EQ(cache.SystemDriveRoot(), live.SystemDriveRoot());
  EXPECT_GT(counting.lookups, 0);
  int liveLookups = counting.lookups;
  for (const std::string& t : texts) cache.Expanded(t);
  EXPECT_EQ(counting.lookups, liveLookups);  // the cache asks nothing more
  counting.lookups = 0;
  live.Expanded("plain text");
  EXPECT_EQ(counting.lookups, 0);  // only tokens present are looked up
}

TEST(PathHelpers, FileNamesAndExtensions) {
  EXPECT_EQ(FileNameOfPath("C:\\dir\\a.exe"), "a.exe");
  EXPECT_EQ(FileNameOfPath("a.exe"), "a.exe");
  EXPECT_EQ(FileNameOfPath("C:\\dir\\"), "");
  EXPECT_EQ(FileNameOfPathCutAtNul(std::string("a.exe\0rest", 10)), "a.exe");
  EXPECT_EQ(FileNameOfPathCutAtNul(std::string("C:\\a.exe\0r", 10)), std::string("a.exe\0r", 7));
  EXPECT_EQ(FileExtensionOfPath("C:\\a.b\\file"), "");
  EXPECT_EQ(FileExtensionOfPath("C:\\dir\\File.EXE "), "exe");
  EXPECT_EQ(FileExtensionOfPath("C:file"), "");
  EXPECT_EQ(FileExtensionOfPath(""), "");
  EXPECT_EQ(FileExtensionOfPath("x.tar.GZ"), "gz");
  EXPECT_EQ(FileExtensionOfPath("noext"), "");
  EXPECT_EQ(FileExtensionOfPath("a.\xC9T\xC9"), "\xE9t\xE9");
  EXPECT_EQ(CollapseDoubleBackslashes("a\\\\b\\\\\\c"), "a\\b\\\\c");
  EXPECT_EQ(ReplaceAllIgnoringCase("aXbxc", "x", "yy"), "ayybyyc");
  EXPECT_EQ(UpperAnsi("ab\xE9\xFF\x9A\xF7"), "AB\xC9\x9F\x8A\xF7");
}

TEST(PathHelpers, FileExistsSeesOnlyPlainFilesByTheirOwnName) {
  fakes::FakeFileSystem files;
  files.AddFile("C:\\dir\\Plain.exe");
  files.AddFile("C:\\dir\\hidden.exe", "", FA_HIDDEN);
  files.AddFile("C:\\dir\\sys.dll", "", FA_SYSTEM);
  files.AddFolder("C:\\dir\\sub");
  EXPECT_TRUE(FileExists(files, "C:\\dir\\plain.EXE"));
  EXPECT_FALSE(FileExists(files, "C:\\dir\\hidden.exe"));
  EXPECT_FALSE(FileExists(files, "C:\\dir\\sys.dll"));
  EXPECT_FALSE(FileExists(files, "C:\\dir\\*.exe"));
  EXPECT_FALSE(FileExists(files, "C:\\dir\\Plain.ex?"));
  EXPECT_FALSE(FileExists(files, "C:\\dir\\sub"));
  EXPECT_FALSE(FileExists(files, "C:\\dir\\missing.exe"));
  EXPECT_FALSE(FileExists(files, ""));
  EXPECT_TRUE(FolderExists(files, "C:\\dir\\sub"));
  EXPECT_FALSE(FolderExists(files, "C:\\dir\\Plain.exe"));
}

TEST(PathHelpers, SetRegistryValueWritesStringsAndNumbers) {
  fakes::FakeRegistry registry;
  const std::string key = "Software\\Microsoft\\Internet Explorer\\Main";
  EXPECT_NE(SetRegistryValue(registry, Hive::CurrentUser, key, "Start Page", REGT_SZ, "x"), RegStatus::Ok);
  registry.AddKey(Hive::CurrentUser, key);
  EXPECT_EQ(SetRegistryValue(registry, Hive::CurrentUser, key, "Start Page", REGT_SZ, "http://a.example/"),
            RegStatus::Ok);
  RegValue v;
  ASSERT_EQ(registry.QueryValue(Hive::CurrentUser, key, "Start Page", v), RegStatus::Ok);
  EXPECT_EQ(v.type, REGT_SZ);
  EXPECT_EQ(v.data, std::string("http://a.example/\0", 18));

  EXPECT_EQ(SetRegistryValue(registry, Hive::CurrentUser, key, "N", REGT_DWORD, " -2 "), RegStatus::Ok);
  ASSERT_EQ(registry.QueryValue(Hive::CurrentUser, key, "N", v), RegStatus::Ok);
  EXPECT_EQ(v.AsDword(), 0xFFFFFFFEu);
  EXPECT_EQ(SetRegistryValue(registry, Hive::CurrentUser, key, "M", REGT_DWORD, 7u), RegStatus::Ok);
  ASSERT_EQ(registry.QueryValue(Hive::CurrentUser, key, "M", v), RegStatus::Ok);
  EXPECT_EQ(v.data, std::string("\x07\0\0\0", 4));

  EXPECT_EQ(SetRegistryValue(registry, Hive::CurrentUser, key, "B", REGT_DWORD, "12abc"), RegStatus::Failed);
  EXPECT_EQ(SetRegistryValue(registry, Hive::CurrentUser, key, "B", REGT_BINARY, "zz"), RegStatus::Ok);
  EXPECT_NE(registry.QueryValue(Hive::CurrentUser, key, "B", v), RegStatus::Ok);
}

}  // namespace
}  // namespace kx
