#include <gtest/gtest.h>

#include "definitions/codec.h"
#include "definitions/definition_files.h"
#include "fakes/fake_platform.h"

namespace kx {
namespace {

std::string Encoded(const std::vector<std::string>& lines, const char* end = "\r\n") {
  std::string bytes;
  for (const std::string& l : lines) bytes += EncodeDefinitionLine(l) + end;
  return bytes;
}

class DefinitionStoreTest : public ::testing::Test {
 protected:
  fakes::FakePlatform fake;
  PathExpander expander{fake.system};
  DefinitionStore store{fake.files, DataFolder(expander)};
};

TEST_F(DefinitionStoreTest, ReadsDecodedLinesOfPresentFilesOnly) {
  EXPECT_FALSE(store.Present(DefinitionFile::File));
  EXPECT_TRUE(store.DecodedLines(DefinitionFile::File).empty());
  fake.files.AddFile(store.PathOf(DefinitionFile::File), Encoded({"a.dll=A|[system]", ""}) + EncodeDefinitionLine("b"));
  EXPECT_EQ(store.PathOf(DefinitionFile::File), "C:\\Users\\User\\AppData\\Roaming\\DideZuvurudARA\\FileDefinition.dat");
  EXPECT_TRUE(store.Present(DefinitionFile::File));
  EXPECT_EQ(store.DecodedLines(DefinitionFile::File), (std::vector<std::string>{"a.dll=A|[system]", "", "b"}));
  EXPECT_EQ(store.RawLines(DefinitionFile::File).size(), 3u);

  fake.files.AddFile(store.PathOf(DefinitionFile::Exe), Encoded({"x=y"}), FA_HIDDEN);
  EXPECT_FALSE(store.Present(DefinitionFile::Exe));
  EXPECT_TRUE(store.DecodedLines(DefinitionFile::Exe).empty());

  fake.files.AddFile(store.PathOf(kExclusionFileName), "C:\\x.exe\r\n  \r\nBonziTrack");
  EXPECT_EQ(store.ExclusionLines(), (std::vector<std::string>{"C:\\x.exe", "BonziTrack"}));
}

TEST_F(DefinitionStoreTest, StagingNames) {
  EXPECT_EQ(StagingFileName(DefinitionFile::File), "DLFileDefinition.dat");
  EXPECT_EQ(StagingFileName(DefinitionFile::BlockedCookies), "DLBlockedCookies.dat");
  EXPECT_EQ(StagingFileName(DefinitionFile::Directory), std::nullopt);
  EXPECT_EQ(StagingFileName(DefinitionFile::Safety), std::nullopt);
  EXPECT_EQ(kStagedDefinitionFiles.front(), DefinitionFile::BlockedCookies);
}

TEST_F(DefinitionStoreTest, SafeListEndsWithOneEmptyElementAndHonoursStop) {
  EXPECT_TRUE(LoadSafetyList(store, expander).empty());
  fake.files.AddFile(store.PathOf(DefinitionFile::Safety),
                     Encoded({"SDIR|Windows|[windir]", "junk", "sreg|x|2^A", "SREG|Run|2^SOFTWARE\\A^V"}, "\r"));
  EXPECT_EQ(LoadSafetyList(store, expander),
            (std::vector<std::string>{"C:\\Windows\\", "HKEY_LOCAL_MACHINE\\SOFTWARE\\A\\V", ""}));

  int yields = 0;
  LineLoop loop{[&] { return yields >= 1; }, [&] { ++yields; }};
  EXPECT_EQ(LoadSafetyList(store, expander, loop), (std::vector<std::string>{"C:\\Windows\\", ""}));
  EXPECT_EQ(yields, 1);

  fake.files.AddFile(store.PathOf(DefinitionFile::Safety), Encoded({"nothing", ""}));
  EXPECT_TRUE(LoadSafetyList(store, expander).empty());
}

}  // namespace
}  // namespace kx
