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

}  // namespace
}  // namespace kx::contract
