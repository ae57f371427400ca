#include <algorithm>

#include <gtest/gtest.h>

#include "contract/contract_env.h"

namespace kx::contract {
namespace {

class FilesContract : public ::testing::Test {
 protected:
  void SetUp() override {
    env = MakeEnv();
    dir = env->ScratchFolder();
    ASSERT_TRUE(fs().FolderExists(dir));
  }
  FileSystem& fs() { return env->files(); }
  std::string P(const std::string& name) { return dir + "\\" + name; }
  void Plant(const std::string& name, const std::string& bytes, uint32_t attrs = 0) {
    ASSERT_TRUE(fs().WriteFile(P(name), bytes)) << name;
    if (attrs) {
      ASSERT_TRUE(fs().SetAttributes(P(name), attrs)) << name;
    }
  }
  std::vector<std::string> Sorted(std::vector<std::string> v) {
    std::sort(v.begin(), v.end());
    return v;
  }
  std::vector<std::string> FoundNames(const std::string& pattern) {
    std::vector<std::string> names;
    for (const auto& e : fs().Find(pattern)) names.push_back(e.name);
    return Sorted(names);
  }

  std::unique_ptr<Env> env;
  std::string dir;
};

TEST_F(FilesContract, ReadsBackExactBytesAndAppends) {
  std::string bytes("a\0b\r\nc\xff", 7);
  Plant("data.bin", bytes);
  EXPECT_EQ(fs().ReadFile(P("data.bin")), bytes);
  ASSERT_TRUE(fs().AppendFile(P("data.bin"), "tail"));
  EXPECT_EQ(fs().ReadFile(P("data.bin")), bytes + "tail");
  ASSERT_TRUE(fs().WriteFile(P("data.bin"), "new"));  // whole: truncates
  EXPECT_EQ(fs().ReadFile(P("data.bin")), "new");
  ASSERT_TRUE(fs().AppendFile(P("fresh.log"), "x"));  // created when missing
  EXPECT_EQ(fs().ReadFile(P("fresh.log")), "x");
  EXPECT_FALSE(fs().ReadFile(P("missing.txt")));
  EXPECT_FALSE(fs().ReadFile(dir));  // a folder is not a file
  // The file a process runs from reads alike, with the system folder's redirection off.
  EXPECT_EQ(fs().ReadImageFile(P("data.bin")), "new");
  EXPECT_FALSE(fs().ReadImageFile(P("missing.txt")));
  EXPECT_FALSE(fs().ReadImageFile(dir));
  EXPECT_FALSE(fs().WriteFile(P("nofolder\\x.txt"), "x"));
}

TEST_F(FilesContract, NamesCompareWithoutCaseAndKeepTheirStoredCase) {
  Plant("Mixed.TXT", "m");
  EXPECT_TRUE(fs().Attributes(P("mIXED.txt")));
  EXPECT_EQ(fs().ReadFile(P("MIXED.TXT")), "m");
  EXPECT_EQ(FoundNames(P("mixed.txt")), std::vector<std::string>{"Mixed.TXT"});
  EXPECT_EQ(fs().ListPlainFiles(P("MIXED.txt")), std::vector<std::string>{"Mixed.TXT"});
  std::string upperDir = dir;
  std::transform(upperDir.begin(), upperDir.end(), upperDir.begin(), ::toupper);
  EXPECT_TRUE(fs().FolderExists(upperDir));
}

TEST_F(FilesContract, PlainListingLeavesOutHiddenSystemAndFolders) {
  Plant("plain.txt", "p");
  Plant("readonly.txt", "r", FA_READONLY);
  Plant("hidden.txt", "h", FA_HIDDEN);
  Plant("system.txt", "s", FA_SYSTEM);
  ASSERT_TRUE(fs().CreateFolder(P("folder.txt")));

  EXPECT_EQ(Sorted(fs().ListPlainFiles(P("*.*"))), (std::vector<std::string>{"plain.txt", "readonly.txt"}));
  EXPECT_EQ(Sorted(fs().ListPlainFiles(dir + "\\")), (std::vector<std::string>{"plain.txt", "readonly.txt"}));
  EXPECT_TRUE(fs().ListPlainFiles(P("hidden.txt")).empty());
  EXPECT_TRUE(fs().ListPlainFiles(P("system.txt")).empty());
  EXPECT_TRUE(fs().ListPlainFiles(P("folder.txt")).empty());
  // Find itself sees everything, with the attributes.
  EXPECT_EQ(FoundNames(P("*")), (std::vector<std::string>{"folder.txt", "hidden.txt", "plain.txt",
                                                          "readonly.txt", "system.txt"}));
  for (const auto& e : fs().Find(P("*"))) {
    if (e.name == "hidden.txt") {
      EXPECT_TRUE(e.attributes & FA_HIDDEN);
    }
    if (e.name == "system.txt") {
      EXPECT_TRUE(e.attributes & FA_SYSTEM);
    }
    if (e.name == "folder.txt") {
      EXPECT_TRUE(e.attributes & FA_DIRECTORY);
    }
    if (e.name == "plain.txt") {
      EXPECT_FALSE(e.attributes & (FA_HIDDEN | FA_SYSTEM | FA_DIRECTORY | FA_READONLY));
      EXPECT_EQ(e.size, 1u);
    }
  }
  ASSERT_TRUE(fs().SetAttributes(P("hidden.txt"), FA_NORMAL));  // visible again
  EXPECT_EQ(fs().ListPlainFiles(P("hidden.txt")), std::vector<std::string>{"hidden.txt"});
}

TEST_F(FilesContract, WildcardsMatchLikeFindFirstFileAndNeverExist) {
  Plant("a.txt", "1");
  Plant("ab.txt", "2");
  Plant("noext", "3");
  Plant("b.dat", "4");
  EXPECT_EQ(FoundNames(P("*.*")), (std::vector<std::string>{"a.txt", "ab.txt", "b.dat", "noext"}));
  EXPECT_EQ(FoundNames(P("?.txt")), std::vector<std::string>{"a.txt"});
  EXPECT_EQ(FoundNames(P("*.TXT")), (std::vector<std::string>{"a.txt", "ab.txt"}));
  EXPECT_EQ(FoundNames(P("a*")), (std::vector<std::string>{"a.txt", "ab.txt"}));
  EXPECT_EQ(FoundNames(P("no*")), std::vector<std::string>{"noext"});
  EXPECT_TRUE(FoundNames(P("*.exe")).empty());
  EXPECT_TRUE(fs().Find(P("missing\\*.*")).empty());

  EXPECT_FALSE(fs().Attributes(P("*.txt")));
  EXPECT_FALSE(fs().Attributes(P("?.txt")));
  EXPECT_FALSE(fs().Attributes(P("a.tx?")));
  EXPECT_FALSE(fs().FolderExists(dir.substr(0, dir.size() - 1) + "?"));
  EXPECT_FALSE(fs().ReadFile(P("a.tx?")));
}

TEST_F(FilesContract, CopyRespectsFailIfExistsAndReadOnlyTargets) {
  Plant("src.txt", "source");
  EXPECT_TRUE(fs().CopyFile(P("src.txt"), P("dst.txt"), true));
  EXPECT_EQ(fs().ReadFile(P("dst.txt")), "source");

  Plant("old.txt", "old");
  EXPECT_FALSE(fs().CopyFile(P("src.txt"), P("old.txt"), true));
  EXPECT_EQ(fs().ReadFile(P("old.txt")), "old");
  EXPECT_TRUE(fs().CopyFile(P("src.txt"), P("OLD.txt"), false));
  EXPECT_EQ(fs().ReadFile(P("old.txt")), "source");

  Plant("locked.txt", "keep", FA_READONLY);
  EXPECT_FALSE(fs().CopyFile(P("src.txt"), P("locked.txt"), false));
  EXPECT_EQ(fs().ReadFile(P("locked.txt")), "keep");

  EXPECT_FALSE(fs().CopyFile(P("missing.txt"), P("x.txt"), false));
  EXPECT_FALSE(fs().Attributes(P("x.txt")));
  EXPECT_FALSE(fs().CopyFile(P("src.txt"), P("nofolder\\x.txt"), false));
}

// The last-write time tells a user's edited copy from a fresh one: a copy carries its
// source's time, whether it is new or replaces a file.
TEST_F(FilesContract, ACopyKeepsItsSourcesLastWriteTime) {
  Plant("src.txt", "source");
  Plant("old.txt", "old");
  auto lastWrite = [&](const char* name) {
    const auto found = fs().Find(P(name));
    return found.size() == 1 ? found[0].lastWrite : 0;
  };
  const uint64_t source = lastWrite("src.txt");
  EXPECT_NE(source, 0u);
  ASSERT_TRUE(fs().CopyFile(P("src.txt"), P("new.txt"), true));
  ASSERT_TRUE(fs().CopyFile(P("src.txt"), P("old.txt"), false));
  EXPECT_EQ(lastWrite("new.txt"), source);
  EXPECT_EQ(lastWrite("old.txt"), source);
}

TEST_F(FilesContract, DeleteAndMoveFiles) {
  Plant("plain.txt", "p");
  Plant("hidden.txt", "h", FA_HIDDEN);
  Plant("ro.txt", "r", FA_READONLY);
  EXPECT_TRUE(fs().DeleteFile(P("PLAIN.TXT")));
  EXPECT_FALSE(fs().Attributes(P("plain.txt")));
  EXPECT_FALSE(fs().DeleteFile(P("plain.txt")));
  EXPECT_TRUE(fs().DeleteFile(P("hidden.txt")));  // hidden is no protection
  EXPECT_FALSE(fs().DeleteFile(P("ro.txt")));
  EXPECT_EQ(fs().ReadFile(P("ro.txt")), "r");
  ASSERT_TRUE(fs().SetAttributes(P("ro.txt"), FA_NORMAL));
  EXPECT_TRUE(fs().DeleteFile(P("ro.txt")));

  Plant("a.txt", "a");
  Plant("b.txt", "b");
  EXPECT_FALSE(fs().MoveFile(P("a.txt"), P("b.txt")));  // never replaces
  EXPECT_TRUE(fs().MoveFile(P("a.txt"), P("c.txt")));
  EXPECT_FALSE(fs().Attributes(P("a.txt")));
  EXPECT_EQ(fs().ReadFile(P("c.txt")), "a");
}

TEST_F(FilesContract, CreateFolderMakesOneLevel) {
  EXPECT_TRUE(fs().CreateFolder(P("one")));
  EXPECT_TRUE(fs().CreateFolder(P("ONE")));  // already there
  EXPECT_TRUE(fs().FolderExists(P("one")));
  EXPECT_TRUE(fs().FolderExists(P("one\\")));
  EXPECT_FALSE(fs().CreateFolder(P("two\\three")));
  EXPECT_FALSE(fs().FolderExists(P("two")));
  Plant("file", "x");
  EXPECT_FALSE(fs().FolderExists(P("file")));
  EXPECT_TRUE(fs().Attributes(P("one")).value_or(0) & FA_DIRECTORY);
}

TEST_F(FilesContract, CopyFolderCopiesTheWholeTreeAndMerges) {
  ASSERT_TRUE(fs().CreateFolder(P("src")));
  ASSERT_TRUE(fs().CreateFolder(P("src\\sub")));
  Plant("src\\a.txt", "a");
  Plant("src\\h.txt", "h", FA_HIDDEN);
  Plant("src\\sub\\deep.txt", "deep");

  EXPECT_TRUE(fs().CopyFolder(P("src"), P("copy"), true));
  EXPECT_EQ(fs().ReadFile(P("copy\\a.txt")), "a");
  EXPECT_EQ(fs().ReadFile(P("copy\\h.txt")), "h");
  EXPECT_EQ(fs().ReadFile(P("copy\\sub\\deep.txt")), "deep");
  EXPECT_EQ(fs().ReadFile(P("src\\a.txt")), "a");  // the source stays

  // Onto an existing folder: merged, same names replaced only with overwrite.
  ASSERT_TRUE(fs().WriteFile(P("src\\a.txt"), "a2"));
  Plant("copy\\own.txt", "own");
  EXPECT_FALSE(fs().CopyFolder(P("src"), P("copy"), false));
  EXPECT_EQ(fs().ReadFile(P("copy\\a.txt")), "a");
  EXPECT_TRUE(fs().CopyFolder(P("src\\"), P("copy\\"), true));
  EXPECT_EQ(fs().ReadFile(P("copy\\a.txt")), "a2");
  EXPECT_EQ(fs().ReadFile(P("copy\\own.txt")), "own");

  EXPECT_FALSE(fs().CopyFolder(P("missing"), P("copy2"), true));
  EXPECT_FALSE(fs().FolderExists(P("copy2")));
  EXPECT_FALSE(fs().CopyFolder(P("src"), P("src\\sub\\inside"), true));
}

TEST_F(FilesContract, DeleteFolderNeedsForceForReadOnlyContent) {
  ASSERT_TRUE(fs().CreateFolder(P("tree")));
  ASSERT_TRUE(fs().CreateFolder(P("tree\\sub")));
  Plant("tree\\a.txt", "a");
  Plant("tree\\h.txt", "h", FA_HIDDEN | FA_SYSTEM);
  Plant("tree\\sub\\ro.txt", "r", FA_READONLY);

  EXPECT_FALSE(fs().DeleteFolder(P("tree"), false));
  EXPECT_EQ(fs().ReadFile(P("tree\\sub\\ro.txt")), "r");
  EXPECT_TRUE(fs().DeleteFolder(P("tree\\"), true));
  EXPECT_FALSE(fs().FolderExists(P("tree")));
  EXPECT_FALSE(fs().DeleteFolder(P("tree"), true));
  Plant("file.txt", "x");
  EXPECT_FALSE(fs().DeleteFolder(P("file.txt"), true));
  EXPECT_TRUE(fs().Attributes(P("file.txt")));
}

// The codes are Windows' own (GetLastError), so a caller can act on the cause.
TEST_F(FilesContract, FailuresCarryTheSystemErrorCode) {
  Plant("plain.txt", "plain");
  Plant("hidden.txt", "hidden", FA_HIDDEN);
  Plant("ro.txt", "ro", FA_READONLY);
  ASSERT_TRUE(fs().CreateFolder(P("sub")));

  EXPECT_EQ(fs().DeleteFile(P("missing.txt")).error, ERR_FILE_NOT_FOUND);
  EXPECT_EQ(fs().DeleteFile(P("nofolder\\x.txt")).error, ERR_PATH_NOT_FOUND);
  EXPECT_EQ(fs().WriteFile(P("nofolder\\x.txt"), "x").error, ERR_PATH_NOT_FOUND);
  EXPECT_EQ(fs().SetAttributes(P("missing.txt"), FA_HIDDEN).error, ERR_FILE_NOT_FOUND);
  EXPECT_EQ(fs().CreateFolder(P("nofolder\\sub")).error, ERR_PATH_NOT_FOUND);
  EXPECT_EQ(fs().CreateFolder(P("plain.txt")).error, ERR_ALREADY_EXISTS);
  EXPECT_EQ(fs().DeleteFile(P("*.txt")).error, ERR_INVALID_NAME);
  EXPECT_EQ(fs().WriteFile(P("?.txt"), "x").error, ERR_INVALID_NAME);

  // Read-only resists deletion and writing; hidden resists only being copied onto.
  EXPECT_EQ(fs().DeleteFile(P("ro.txt")).error, ERR_ACCESS_DENIED);
  EXPECT_EQ(fs().WriteFile(P("ro.txt"), "new").error, ERR_ACCESS_DENIED);
  EXPECT_EQ(fs().AppendFile(P("ro.txt"), "more").error, ERR_ACCESS_DENIED);
  EXPECT_EQ(fs().ReadFile(P("ro.txt")), "ro");
  EXPECT_EQ(fs().CopyFile(P("plain.txt"), P("ro.txt"), false).error, ERR_ACCESS_DENIED);
  EXPECT_EQ(fs().CopyFile(P("plain.txt"), P("hidden.txt"), false).error, ERR_ACCESS_DENIED);
  EXPECT_EQ(fs().ReadFile(P("hidden.txt")), "hidden");
  EXPECT_EQ(fs().CopyFile(P("plain.txt"), P("hidden.txt"), true).error, ERR_FILE_EXISTS);
  EXPECT_EQ(fs().CopyFile(P("missing.txt"), P("hidden.txt"), false).error, ERR_FILE_NOT_FOUND);
  EXPECT_EQ(fs().DeleteFile(P("sub")).error, ERR_ACCESS_DENIED);  // a folder is no file

  EXPECT_EQ(fs().MoveFile(P("plain.txt"), P("hidden.txt")).error, ERR_ALREADY_EXISTS);
  EXPECT_EQ(fs().MoveFile(P("missing.txt"), P("new.txt")).error, ERR_FILE_NOT_FOUND);
  EXPECT_EQ(fs().DeleteFolder(P("missing"), true).error, ERR_FILE_NOT_FOUND);
  EXPECT_EQ(fs().DeleteFolder(P("plain.txt"), true).error, ERR_DIRECTORY);
  EXPECT_EQ(fs().ReadFile(P("plain.txt")), "plain");
  EXPECT_TRUE(fs().DeleteFile(P("hidden.txt")).ok());
}

TEST_F(FilesContract, AFileHeldOpenIsReadAndCopiedButNotDeletedMovedOrWritten) {
  Plant("held.log", "busy");
  Plant("target.txt", "target");
  ASSERT_TRUE(fs().CreateFolder(P("tree")));
  Plant("tree\\held.dll", "dll");
  {
    auto hold = env->HoldOpen(P("held.log"));
    auto holdInTree = env->HoldOpen(P("tree\\held.dll"));
    ASSERT_TRUE(hold && holdInTree) << "cannot hold a file open";
    EXPECT_EQ(fs().DeleteFile(P("held.log")).error, ERR_SHARING_VIOLATION);
    EXPECT_EQ(fs().MoveFile(P("held.log"), P("moved.log")).error, ERR_SHARING_VIOLATION);
    EXPECT_EQ(fs().MoveFile(P("held.log"), P("target.txt"), true).error, ERR_SHARING_VIOLATION);
    EXPECT_EQ(fs().WriteFile(P("held.log"), "new").error, ERR_SHARING_VIOLATION);
    EXPECT_EQ(fs().AppendFile(P("held.log"), "more").error, ERR_SHARING_VIOLATION);
    EXPECT_EQ(fs().CopyFile(P("target.txt"), P("held.log"), false).error, ERR_SHARING_VIOLATION);
    EXPECT_EQ(fs().ReadFile(P("held.log")), "busy");
    EXPECT_TRUE(fs().CopyFile(P("held.log"), P("copy.log"), true).ok());
    EXPECT_EQ(fs().ReadFile(P("copy.log")), "busy");
    EXPECT_TRUE(fs().SetAttributes(P("held.log"), FA_ARCHIVE).ok());
    // The folder loses what it can; the held file and so the folder stay.
    Plant("tree\\free.txt", "free");
    EXPECT_EQ(fs().DeleteFolder(P("tree"), true).error, ERR_SHARING_VIOLATION);
    EXPECT_EQ(fs().ReadFile(P("tree\\held.dll")), "dll");
    EXPECT_FALSE(fs().Attributes(P("tree\\free.txt")));
  }
  EXPECT_TRUE(fs().DeleteFile(P("held.log")).ok());
  EXPECT_TRUE(fs().DeleteFolder(P("tree"), false).ok());
}

TEST_F(FilesContract, MoveWithReplaceSwapsTheTargetInOneStep) {
  Plant("new.dat", "new");
  Plant("old.dat", "old");
  EXPECT_TRUE(fs().MoveFile(P("new.dat"), P("OLD.dat"), true).ok());
  EXPECT_EQ(fs().ReadFile(P("old.dat")), "new");
  EXPECT_FALSE(fs().Attributes(P("new.dat")));

  Plant("new.dat", "newer");
  Plant("hidden.dat", "hidden", FA_HIDDEN);
  EXPECT_TRUE(fs().MoveFile(P("new.dat"), P("hidden.dat"), true).ok());  // unlike a copy
  EXPECT_EQ(fs().ReadFile(P("hidden.dat")), "newer");

  // A read-only target and a missing source both leave every file as it was.
  Plant("new.dat", "newest");
  Plant("ro.dat", "ro", FA_READONLY);
  EXPECT_EQ(fs().MoveFile(P("new.dat"), P("ro.dat"), true).error, ERR_ACCESS_DENIED);
  EXPECT_EQ(fs().ReadFile(P("ro.dat")), "ro");
  EXPECT_EQ(fs().ReadFile(P("new.dat")), "newest");
  EXPECT_EQ(fs().MoveFile(P("gone.dat"), P("old.dat"), true).error, ERR_FILE_NOT_FOUND);
  EXPECT_EQ(fs().ReadFile(P("old.dat")), "new");
  EXPECT_TRUE(fs().MoveFile(P("new.dat"), P("fresh.dat"), true).ok());  // nothing to replace
  EXPECT_EQ(fs().ReadFile(P("fresh.dat")), "newest");
}

TEST_F(FilesContract, DosWildcardsStarDotAndNameDotStar) {
  for (const char* name : {"abc", "abc.txt", "abcd.txt", "abc.def.ghi", "noext", "x.abc"}) Plant(name, "x");
  ASSERT_TRUE(fs().CreateFolder(P("folder")));
  // "*." takes the names without a dot; "abc.*" the name itself with or without extensions.
  EXPECT_EQ(FoundNames(P("*.")), (std::vector<std::string>{"abc", "folder", "noext"}));
  EXPECT_EQ(FoundNames(P("abc.*")), (std::vector<std::string>{"abc", "abc.def.ghi", "abc.txt"}));
  EXPECT_EQ(FoundNames(P("ABC.T*")), std::vector<std::string>{"abc.txt"});
  EXPECT_EQ(FoundNames(P("*.abc")), std::vector<std::string>{"x.abc"});
  EXPECT_EQ(Sorted(fs().ListPlainFiles(P("*."))), (std::vector<std::string>{"abc", "noext"}));
}

TEST_F(FilesContract, AccentedLettersIgnoreCaseAndTrailingDotsAndBlanksAreDropped) {
  // Windows-1252 "Été.txt" found as "éTÉ.TXT".
  Plant("\xC9t\xE9.txt", "accent");
  EXPECT_EQ(fs().ReadFile(P("\xE9T\xC9.TXT")), "accent");
  EXPECT_EQ(FoundNames(P("\xE9*")), std::vector<std::string>{"\xC9t\xE9.txt"});
  EXPECT_EQ(fs().MoveFile(P("\xC9T\xC9.TXT"), P("ETE.txt"), false).error, ERR_SUCCESS);
  EXPECT_FALSE(fs().Attributes(P("\xE9t\xE9.txt")));

  // "a.txt." and "a.txt " name "a.txt".
  ASSERT_TRUE(fs().WriteFile(P("a.txt."), "dots"));
  EXPECT_EQ(FoundNames(P("*")), (std::vector<std::string>{"ETE.txt", "a.txt"}));
  EXPECT_EQ(fs().ReadFile(P("a.txt ")), "dots");
  EXPECT_EQ(fs().ReadFile(P("a.txt. .")), "dots");
  EXPECT_EQ(FoundNames(P("a.txt ")), std::vector<std::string>{"a.txt"});
  EXPECT_TRUE(fs().CreateFolder(P("dir.")).ok());
  EXPECT_TRUE(fs().FolderExists(P("dir")));
  EXPECT_TRUE(fs().DeleteFile(P("a.txt..")).ok());
  EXPECT_FALSE(fs().Attributes(P("a.txt")));
}

}  // namespace
}  // namespace kx::contract
