#include "scan/scanners.h"

#include "definitions/definition_files.h"

#include <gtest/gtest.h>

#include "scan_support/scan_machine.h"
#include "fakes/fake_platform.h"
#include "scan_support/scan_kit.h"

namespace kx {
namespace {

using scantest::EncodeFile;
using scantest::ScanRig;
using Rows = std::vector<std::string>;

const std::string kData = "C:\\Users\\User\\AppData\\Roaming\\DideZuvurudARA";
const std::string kSys = "C:\\Windows\\system32";

struct ScannerTest : ::testing::Test {
  fakes::FakePlatform fp;
  ScanRig rig{fp.files, fp.registry, fp.system, fp.shell, fp.clock, kData};
  std::unique_ptr<ScanPaths> paths = MakeCachedScanPaths(fp.system, fp.files);
  DefinitionStore store{fp.files, kData};
  ScanContext ctx{fp.files, store, *paths, rig.state, rig.threats};
  void LoadSafeList() { rig.threats.SetSafeList(LoadSafetyList(store, paths->placeholders())); }

  void SetUp() override {
    fp.files.AddFolder(kData);
    rig.state.yield.intervalMs = 0;
    rig.threats.LoadExclusions();
  }
  void Definitions(const std::string& file, const std::vector<std::string>& lines) {
    fp.files.AddFile(kData + "\\" + file, EncodeFile(lines));
  }
  void Exclusions(const std::string& text) {
    fp.files.AddFile(kData + "\\ENoSignature.dat", text);
    rig.threats.LoadExclusions();
  }
  void ScanFiles() {
    FileFolderScanner s(ctx);
    s.ScanFileDefinitions();
    s.ScanFolderDefinitions();
  }
  void ScanRegistry() {
    RegistryScanner s(ctx, rig.registryRoutines, true);
    s.ScanRegistryDefinitions();
  }
};

TEST_F(ScannerTest, FileLinesAndWhatKeepsThemFromBeingReported) {
  fp.files.AddFile(kSys + "\\ms.dll", scanbench::detail::SignedBytes("  microsoft CORPORATION "));
  fp.files.AddFile(kSys + "\\ms2.dll", scanbench::detail::SignedBytes("Microsoft Corporation"));
  fp.files.AddFile(kSys + "\\hidden.dll", "x", FA_HIDDEN);
  fp.files.AddFile("C:\\Program Files\\Ev\\one.exe", scanbench::detail::SignedBytes("Evil Inc"));
  fp.files.AddFile("C:\\Program Files\\Ev\\two.exe", "x");
  fp.files.AddFile("C:\\Program Files\\Ev\\typed.exe", "x");
  Exclusions("C:\\Windows\\system32\\ms2.dll\r\n");
  Definitions("FileDefinition.dat", {
      "ms.dll=MsLike|[system]|Trojan",        // counted, not reported: Microsoft's
      "MS2.DLL=MsLike|[SYSTEM]\\",            // excluded comes before the company check
      "hidden.dll=Hidden|[system]",           // hidden files never match
      "one.exe=Evil|[progfil]\\Ev|Adware",
      "missing.exe=Later|[progfil]\\Ev|Typed",
      "TWO.exe =Evil|[progfil]\\\\Ev\\",      // same threat, second find
      "one.exe= Evil |[progfil]\\Ev",       // threat names are not trimmed: another threat
      "typed.exe=Later|[progfil]\\Ev",        // the untyped line that exists: no type
      "one.exe|[progfil]\\Ev",                // no threat name: no definition
      "one.exe=Bare",                         // no folder: a bare name, not found
      "", "|||", "=",
  });
  ScanFiles();
  EXPECT_EQ(rig.Rows("lvwSpywareFound"),
            (Rows{"EXCLUDED: C:\\Windows\\system32\\MS2.DLL#5", "Evil - Found#3", " Evil  - Found#3",
                  "Later - Found#3"}));
  EXPECT_EQ(rig.Rows("lvwPicRemoveListOfSpywareFoundAndToBeRemoved"),
            (Rows{"Evil|C:\\Program Files\\Ev\\one.exe|Adware#3", " Evil |C:\\Program Files\\Ev\\one.exe#3",
                  "Later|C:\\Program Files\\Ev\\typed.exe#3"}));
  EXPECT_EQ(rig.Rows("lvwFilesToBeDeleted"),
            (Rows{"C:\\Program Files\\Ev\\one.exe|Evil#0", "C:\\Program Files\\Ev\\TWO.exe|Evil#0",
                  "C:\\Program Files\\Ev\\one.exe| Evil #0",
                  "C:\\Program Files\\Ev\\typed.exe|Later#0"}));
  EXPECT_EQ(rig.state.counters.filesFoldersInspected, 13);
  EXPECT_EQ(rig.state.counters.threatsFound, 3);
  EXPECT_EQ(rig.Get("lbltracesFound").caption(), "4");
}

TEST_F(ScannerTest, FolderLines) {
  fp.files.AddFolder("C:\\Program Files\\BadDir");
  fp.files.AddFolder("C:\\Program Files\\Foo");
  fp.files.AddFolder("C:\\Program Files\\Hid", FA_DIRECTORY | FA_HIDDEN);
  fp.files.AddFolder("C:\\Program Files\\Safe");
  Exclusions("C:\\Program Files\\FooBar\\a.exe\r\n");
  fp.files.AddFile(kData + "\\Safety.dat", EncodeFile({"SDIR|x|[progfil]\\Safe\\|"}));
  LoadSafeList();
  Definitions("DirectoryDefinition.dat", {
      "Bad\tLabel=DirThreat|[progfil]\\BadDir|Hijacker",
      "No folder=Nothing",              // neither counted nor reported
      "Empty folder=Nothing|",          // neither
      "Foo=Foo|[progfil]\\Foo",         // an exclusion contains its path
      "Hidden=Hid|[progfil]\\hid",      // folders count whatever their attributes
      "Safe=Safe|[progfil]\\Safe",
      "Gone=Gone|[progfil]\\Gone",
  });
  ScanFiles();
  EXPECT_EQ(rig.state.counters.filesFoldersInspected, 5);
  EXPECT_EQ(rig.Rows("lvwSpywareFound"),
            (Rows{"DirThreat - Found#4", "EXCLUDED: C:\\Program Files\\Foo#5", "Hid - Found#4"}));
  EXPECT_EQ(rig.Rows("lvwFilesToBeDeleted"), (Rows{"C:\\Program Files\\BadDir|DirThreat#0", "C:\\Program Files\\hid|Hid#0"}));
  EXPECT_EQ(rig.Rows("lvwPicRemoveListOfSpywareFoundAndToBeRemoved"),
            (Rows{"DirThreat|C:\\Program Files\\BadDir|Hijacker#4", "Hid|C:\\Program Files\\hid#4"}));
}

TEST_F(ScannerTest, RegistryKeysAndValues) {
  const Hive cu = Hive::CurrentUser, lm = Hive::LocalMachine;
  fp.registry.PutString(cu, "Software\\Vendor", "Str", "x");
  fp.registry.PutDword(cu, "Software\\Vendor", "Num", 5);
  fp.registry.Put(cu, "Software\\Vendor", "Bin", RegValue{REGT_BINARY, "\x01"});
  fp.registry.Put(cu, "Software\\Vendor", "Multi", RegValue{REGT_MULTI_SZ, std::string("a\0\0", 3)});
  fp.registry.PutString(cu, "Software\\Vendor", "a\\b=c", "x");
  fp.registry.PutString(lm, "Software\\ReadOnly", "V", "x");
  fp.registry.Restrict(lm, "Software\\ReadOnly", REGA_READ);
  fp.registry.PutString(lm, "Software\\Excl", "V", "x");
  fp.registry.AddKey(lm, "Software\\NoName");
  fp.registry.AddKey(Hive::ClassesRoot, "Letters");
  Exclusions("HKEY_LOCAL_MACHINE\\Software\\Excl\r\n");
  Definitions("RegistryDefinition.dat", {
      "1^Software\\Vendor^Str=VendorThreat|Adware",
      "1^Software\\Vendor^=VendorThreat",             // key and value of one key: two queue rows
      "1^Software\\Vendor^Num=Second",
      "1^Software\\Vendor^Bin=Binary",                // type 3: never
      "1^Software\\Vendor^Multi=Multi",               // type 7: never
      "1^Software\\Vendor^a\\\\b=c=Eq",               // split at the last "="
      "2^Software\\ReadOnly^V=RO",                    // cannot be written: absent
      "2^Software\\ReadOnly^=RO",
      "2^Software\\Excl^V=Excl",                      // the key's exclusion covers its values
      "2^Software\\NoName^=",                         // a key without threat name
      "1^Software\\Vendor^Str=",                      // a value without name: listed by its key path
      "7^Software\\Vendor^=Bad hive",
      "abc^Letters^=Letters",                         // not a number: code 0
      "no equals sign", "", "1^Software\\Vendor=Two fields",
  });
  ScanRegistry();
  EXPECT_EQ(rig.Rows("lvwSpywareFound"),
            (Rows{"VendorThreat - Found#2", "Second - Found#2", "Eq - Found#2",
                  "EXCLUDED: HKEY_LOCAL_MACHINE\\Software\\ExclV#5", "RegKey Software\\NoName - Found#0",
                  "RegValue HKEY_CURRENT_USER\\Software\\VendorStr - Found#0", "Letters - Found#2"}));
  EXPECT_EQ(rig.Rows("lvwPicRemoveListOfSpywareFoundAndToBeRemoved"),
            (Rows{"VendorThreat|HKEY_CURRENT_USER\\Software\\VendorStr|Adware#2",
                  "Second|HKEY_CURRENT_USER\\Software\\VendorNum#2", "Eq|HKEY_CURRENT_USER\\Software\\Vendora\\b=c#2",
                  "Software\\NoName|HKEY_LOCAL_MACHINE\\Software\\NoName#2",
                  "Software\\Vendor|HKEY_CURRENT_USER\\Software\\VendorStr#2", "Letters|HKEY_CLASSES_ROOT\\Letters#2"}));
  EXPECT_EQ(rig.Rows("lvwRegistryToBeDeleted"),
            (Rows{"-2147483647|Software\\Vendor|Str|VendorThreat#0", "-2147483647|Software\\Vendor||VendorThreat#0",
                  "-2147483647|Software\\Vendor|Num|Second#0", "-2147483647|Software\\Vendor|a\\b=c|Eq#0",
                  "-2147483646|Software\\NoName||#0", "-2147483647|Software\\Vendor|Str|#0",
                  "-2147483648|Letters||Letters#0"}));
  EXPECT_EQ(rig.state.counters.registryInspected, 12);  // every line with a valid hive
  EXPECT_EQ(rig.state.counters.threatsFound, 6);
  EXPECT_EQ(rig.Get("lbltracesFound").caption(), "7");
}

TEST_F(ScannerTest, RegistrySafeListEntries) {
  fp.registry.PutString(Hive::CurrentUser, "Software\\Good", "Val", "x");
  fp.registry.PutString(Hive::CurrentUser, "Software\\Slash\\", "Val", "x");
  fp.files.AddFile(kData + "\\Safety.dat",
                   EncodeFile({"SREG|k|1^Software\\Good|", "SREG|v|1^Software\\Good^Val|", "SREG|v|1^Software\\Slash^Val|"}));
  LoadSafeList();
  Definitions("RegistryDefinition.dat", {"1^Software\\Good^=Key", "1^Software\\Good^Val=Value",
                                         "1^Software\\Slash\\^Val=Slashed"});
  ScanRegistry();
  // The safe list writes key "\" value; the definition joins them without a separator
  // unless its key path ends with "\". Either way the value is safe.
  EXPECT_EQ(rig.Rows("lvwSpywareFound"), (Rows{}));
  EXPECT_EQ(rig.Get("lvwRegistryToBeDeleted").item_count(), 0u);
}

TEST_F(ScannerTest, StopEndsThePhaseAfterTheCurrentLine) {
  std::vector<std::string> lines;
  for (int i = 0; i < 50; ++i) lines.push_back("f" + std::to_string(i) + ".dll=T|[system]");
  Definitions("FileDefinition.dat", lines);
  Definitions("RegistryDefinition.dat", {"1^Software^=T", "1^Software^=T", "1^Software^=T"});
  int yields = 0;
  rig.backend.onDoEvents = [&] {
    if (++yields == 10) rig.state.stop = true;
  };
  ScanFiles();
  EXPECT_EQ(rig.state.counters.filesFoldersInspected, 10);
  ScanRegistry();  // stopped: no line is read
  EXPECT_EQ(rig.state.counters.registryInspected, 0);
}

TEST_F(ScannerTest, ProgressRunsOverBothFilesAndShowsEveryHundredthCall) {
  std::vector<std::string> files, dirs;
  for (int i = 0; i < 150; ++i) files.push_back("Documents" + std::to_string(i) + ".dll=T|[system]");
  for (int i = 0; i < 50; ++i) dirs.push_back("d=T|[progfil]\\D" + std::to_string(i));
  Definitions("FileDefinition.dat", files);
  Definitions("DirectoryDefinition.dat", dirs);
  rig.state.definitions = {200, 100, 50, 50, 400};
  rig.state.phaseCaption = "Files: ";
  std::vector<std::pair<int, int>> bars;
  std::vector<std::string> statuses;
  rig.backend.onDoEvents = [&] {
    if (rig.Get("lblStatus").caption() != (statuses.empty() ? "" : statuses.back())) {
      statuses.push_back(rig.Get("lblStatus").caption());
      bars.push_back({rig.Get("pb1").value(), rig.Get("pb2").value()});
    }
  };
  ScanFiles();
  EXPECT_EQ(statuses, (Rows{"Files: \r\nDoents99.dll", "Files: \r\nd"}));
  EXPECT_EQ(bars, (std::vector<std::pair<int, int>>{{50, 75}, {100, 100}}));
  EXPECT_EQ(rig.Get("lblFilesFolderInspected").caption(), "200");
}

}  // namespace
}  // namespace kx

namespace kx {
namespace {

// Lines of arbitrary bytes in every definition file: the scan runs through and nothing
// made-up matches.
TEST_F(ScannerTest, ArbitraryLinesMatchNothing) {
  fp.files.AddFile("C:\\Windows\\real.dll", "x");
  fp.registry.AddKey(Hive::CurrentUser, "Software");
  uint32_t seed = 12345;
  auto next = [&] { return seed = seed * 1103515245u + 12345u; };
  const std::string alphabet = "=|^\\[]:. \tabcSYSTEMwindir0125";
  for (const char* file : {"FileDefinition.dat", "DirectoryDefinition.dat", "RegistryDefinition.dat", "Safety.dat"}) {
    std::vector<std::string> lines;
    for (int i = 0; i < 400; ++i) {
      std::string line;
      int len = next() % 40;
      for (int k = 0; k < len; ++k)
        line.push_back(next() % 3 ? alphabet[next() % alphabet.size()] : static_cast<char>(next() % 256));
      line.erase(std::remove_if(line.begin(), line.end(), [](char c) {
                   return c == '\r' || c == '\n' || c == char(201) || c == char(204);
                 }), line.end());
      lines.push_back(line);
    }
    Definitions(file, lines);
  }
  LoadSafeList();
  ScanRegistry();
  ScanFiles();
  for (const std::string& row : rig.Rows("lvwFilesToBeDeleted")) {
    // Only the real file could ever be found, and only from a line that names it.
    EXPECT_EQ(row.find("real.dll"), std::string::npos) << row;
  }
  EXPECT_GT(rig.state.counters.filesFoldersInspected, 0);
}

}  // namespace
}  // namespace kx
