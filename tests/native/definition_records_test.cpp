#include <gtest/gtest.h>

#include "definitions/records.h"

namespace kx {
namespace {

// Folders as Windows gives them, each with its trailing backslash.
PlaceholderCache TestFolders() {
  std::array<std::string, kPlaceholderCount> folders;
  for (size_t i = 0; i < kPlaceholderCount; ++i) {
    switch (kPlaceholderTable[i].csidl) {
      case CSIDL_SYSTEM: folders[i] = "C:\\WINDOWS\\system32\\"; break;
      case CSIDL_WINDOWS: folders[i] = "C:\\WINDOWS\\"; break;
      case CSIDL_PROGRAM_FILES: folders[i] = "C:\\Program Files\\"; break;
      case CSIDL_APPDATA: folders[i] = "C:\\Users\\ann\\AppData\\Roaming\\"; break;
      default: break;
    }
  }
  return PlaceholderCache(folders, "C:\\");
}

TEST(FileDefinitionReader, SplitsNameThreatFolderAndType) {
  PlaceholderCache p = TestFolders();
  FileDefinition d = ReadFileDefinition(" x.dll =Some Threat |[system]|Some Type", p);
  EXPECT_EQ(d.fileName, "x.dll");
  EXPECT_EQ(d.threatName, "Some Threat ");
  EXPECT_EQ(d.type, "Some Type");
  EXPECT_EQ(d.path, "C:\\WINDOWS\\system32\\x.dll");

  d = ReadFileDefinition("y.exe=T|[Windir]\\sub|", p);
  EXPECT_EQ(d.path, "C:\\WINDOWS\\sub\\y.exe");
  EXPECT_EQ(d.type, "");
  d = ReadFileDefinition("z.exe=T=more|[drive]tmp", p);
  EXPECT_EQ(d.threatName, "T");
  EXPECT_EQ(d.path, "C:\\tmp\\z.exe");
  EXPECT_EQ(ReadFileDefinition("z.exe=T|[DRIVE]tmp", p).path, "[DRIVE]tmp\\z.exe");  // exact case
}

TEST(FileDefinitionReader, LineWithoutFolderIsTheBareName) {
  PlaceholderCache p = TestFolders();
  FileDefinition d = ReadFileDefinition("bare.exe=Threat", p);
  EXPECT_FALSE(d.hasFolder);
  EXPECT_EQ(d.path, "bare.exe");
  d = ReadFileDefinition("", p);
  EXPECT_EQ(d.path, "");
  EXPECT_EQ(d.threatName, "");
}

TEST(FolderDefinitionReader, NeedsAFolderField) {
  PlaceholderCache p = TestFolders();
  FolderDefinition d = ReadFolderDefinition("Bonzi\tTrack\r\n=BonziTrack|[progfil]BonziTrack|Adware", p);
  EXPECT_TRUE(d.valid);
  EXPECT_EQ(d.label, "BonziTrack");
  EXPECT_EQ(d.threatName, "BonziTrack");
  EXPECT_EQ(d.path, "C:\\Program Files\\BonziTrack");  // the label is not appended
  EXPECT_EQ(d.type, "Adware");
  EXPECT_FALSE(ReadFolderDefinition("Label=Threat", p).valid);
  EXPECT_FALSE(ReadFolderDefinition("Label=Threat||Type", p).valid);
  EXPECT_FALSE(ReadFolderDefinition("", p).valid);
}

TEST(RegistryDefinitionReader, KeysAndValues) {
  PlaceholderCache p = TestFolders();
  RegistryDefinition key = ReadRegistryDefinition("2^Software\\Some Vendor^=Some Threat", p);
  ASSERT_TRUE(key.valid);
  EXPECT_TRUE(key.IsKey());
  EXPECT_EQ(key.hive.handle, -2147483646);
  EXPECT_EQ(key.FullLocation(), "HKEY_LOCAL_MACHINE\\Software\\Some Vendor");
  EXPECT_EQ(key.threatName, "Some Threat");
  EXPECT_EQ(key.type, "");

  RegistryDefinition value = ReadRegistryDefinition(
      "1^Software\\Microsoft\\Windows\\CurrentVersion\\Run^Some Value= Some Threat|Some Type ", p);
  ASSERT_TRUE(value.valid);
  EXPECT_FALSE(value.IsKey());
  EXPECT_EQ(value.valueName, "Some Value");
  EXPECT_EQ(value.threatName, "Some Threat");
  EXPECT_EQ(value.type, "Some Type");
  EXPECT_EQ(value.FullLocation(), "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\RunSome Value");
  EXPECT_EQ(value.KeyLocation(), "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run");
}

TEST(RegistryDefinitionReader, SplitsAtTheLastEqualsAndExpandsValueNames) {
  PlaceholderCache p = TestFolders();
  RegistryDefinition d = ReadRegistryDefinition("1^Software\\X^a=b=Threat", p);
  EXPECT_EQ(d.valueName, "a=b");
  EXPECT_EQ(d.threatName, "Threat");
  d = ReadRegistryDefinition("2^Software\\X\\^[system]\\bt.dll=Threat", p);
  EXPECT_EQ(d.valueName, "C:\\WINDOWS\\system32\\bt.dll");
  EXPECT_EQ(d.keyPath, "Software\\X\\");
}

TEST(RegistryDefinitionReader, InvalidLinesAreMarked) {
  PlaceholderCache p = TestFolders();
  EXPECT_FALSE(ReadRegistryDefinition("7^Software\\X^=Threat", p).valid);
  EXPECT_FALSE(ReadRegistryDefinition("", p).valid);
  EXPECT_FALSE(ReadRegistryDefinition("2^Software\\X^", p).valid);   // no "="
  EXPECT_FALSE(ReadRegistryDefinition("2^Software\\X=Threat", p).valid);  // two fields
  EXPECT_FALSE(ReadRegistryDefinition(" ^Software\\X^=Threat", p).valid);
  RegistryDefinition letters = ReadRegistryDefinition("abc^Software\\X^=Threat", p);
  EXPECT_TRUE(letters.valid);
  EXPECT_EQ(letters.hive.name, "HKEY_CLASSES_ROOT");
}

TEST(HiveCodes, MapsTheSixHives) {
  EXPECT_EQ(HiveFromCode("0").handle, static_cast<int32_t>(-2147483647 - 1));
  EXPECT_EQ(HiveFromCode("1").name, "HKEY_CURRENT_USER");
  EXPECT_EQ(HiveFromCode("3").handle, -2147483645);
  EXPECT_EQ(HiveFromCode("4").handle, -2147483643);
  EXPECT_EQ(HiveFromCode("4").name, "HKEY_CURRENT_CONFIG");
  EXPECT_EQ(HiveFromCode("5").handle, -2147483642);
  EXPECT_EQ(HiveFromCode(" 2 ").name, "HKEY_LOCAL_MACHINE");
  EXPECT_EQ(HiveFromCode("2x").name, "HKEY_LOCAL_MACHINE");
  EXPECT_EQ(HiveFromCode("x").name, "HKEY_CLASSES_ROOT");
  EXPECT_FALSE(HiveFromCode("6").valid());
  EXPECT_FALSE(HiveFromCode("-1").valid());
  EXPECT_FALSE(HiveFromCode("2.5").valid());
  EXPECT_FALSE(HiveFromCode("99999999999999999999999").valid());
  EXPECT_EQ(HiveFromCode("7").name, "");
  EXPECT_EQ(HiveOfHandle(HiveFromCode("2").handle), Hive::LocalMachine);
  EXPECT_EQ(HiveOfHandle(HiveFromCode("4").handle), Hive::CurrentConfig);
  EXPECT_EQ(HiveOfHandle(HiveFromCode("5").handle), std::nullopt);
}

TEST(ExeDefinitionReader, FolderAfterTheBar) {
  PlaceholderCache p = TestFolders();
  ExeDefinition d = ReadExeDefinition("bt.exe=BonziTrack|[progfil]BonziTrack", p);
  ASSERT_TRUE(d.valid);
  EXPECT_EQ(d.threatName, "BonziTrack");
  EXPECT_EQ(d.path, "C:\\Program Files\\BonziTrack\\bt.exe");
  EXPECT_EQ(ReadExeDefinition("bt.exe=[windir]", p).path, "C:\\WINDOWS\\bt.exe");
  EXPECT_EQ(ReadExeDefinition("bt.exe=T|[drive]x", p).path, "[drive]x\\bt.exe");  // no drive here
  EXPECT_FALSE(ReadExeDefinition("bt.exe", p).valid);
  EXPECT_FALSE(ReadExeDefinition("", p).valid);
}

TEST(BlockedCookies, JoinedAndSplitOnBars) {
  using L = std::vector<std::string>;
  EXPECT_EQ(BlockedCookieList({"a.example", "b.test|c.test"}), (L{"a.example", "b.test", "c.test", ""}));
  EXPECT_EQ(BlockedCookieList({""}), (L{"", ""}));
  EXPECT_EQ(BlockedCookieList({}), L{});
}

TEST(SafetyEntries, BuildsOneEntryPerKind) {
  PlaceholderCache p = TestFolders();
  EXPECT_EQ(SafetyEntryOfLine("SFILE|x|[system]\\\\kernel32.dll|", p), "C:\\WINDOWS\\system32\\kernel32.dll");
  EXPECT_EQ(SafetyEntryOfLine("SEXE| explorer.exe =Shell||", p), "explorer.exe");
  EXPECT_EQ(SafetyEntryOfLine("SDLL|a=b", p), "a");
  EXPECT_EQ(SafetyEntryOfLine("SDIR|Windows|[windir]", p), "C:\\WINDOWS\\");
  EXPECT_EQ(SafetyEntryOfLine("SDIR|Web|http:////a.example//x", p), "http://a.example/x");
  EXPECT_EQ(SafetyEntryOfLine("SREG|Run|2^SOFTWARE\\Microsoft^|", p), "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft");
  EXPECT_EQ(SafetyEntryOfLine("SREG|Run|1^Software\\X^Value", p), "HKEY_CURRENT_USER\\Software\\X\\Value");
  EXPECT_EQ(SafetyEntryOfLine("SREG|Bad|9^Software\\X", p), "\\Software\\X");
  EXPECT_EQ(SafetyEntryOfLine("sfile|x|C:\\a", p), std::nullopt);
  EXPECT_EQ(SafetyEntryOfLine("SFILE C:\\a", p), std::nullopt);
  EXPECT_EQ(SafetyEntryOfLine("", p), std::nullopt);
}

TEST(Exclusions, BlankLinesAreDroppedOthersKeptAsRead) {
  using L = std::vector<std::string>;
  EXPECT_EQ(ExclusionLines("C:\\a.exe\r\n   \r\n\r\n a b \r\nlast"), (L{"C:\\a.exe", " a b ", "last"}));
  EXPECT_EQ(ExclusionLines("\t\r\n"), (L{"\t"}));
}

}  // namespace
}  // namespace kx
