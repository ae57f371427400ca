#include "scan/threat_list.h"

#include <gtest/gtest.h>

#include "fakes/fake_platform.h"
#include "scan_support/scan_kit.h"

namespace kx {
namespace {

using scantest::ScanRig;

const std::string kData = "C:\\Users\\User\\AppData\\Roaming\\DideZuvurudARA";

struct ThreatListTest : ::testing::Test {
  fakes::FakePlatform fp;
  ScanRig rig{fp.files, fp.registry, fp.system, fp.shell, fp.clock, kData};
  ThreatList& t = rig.threats;

  void SetUp() override { fp.files.AddFolder(kData); }
  ui::Control& Files() { return rig.Get("lvwFilesToBeDeleted"); }
  ui::Control& Threats() { return rig.Get("lvwPicRemoveListOfSpywareFoundAndToBeRemoved"); }
  void ReportFile(const std::string& name, const std::string& path, const std::string& type = "") {
    t.ReportThreat(KIND_FILE, name, path, type, FileRow{path, name});
  }
};

TEST_F(ThreatListTest, ExclusionsFromFileIgnoreBlankLinesCaseAndSurroundingSpace) {
  fp.files.AddFile(kData + "\\ENoSignature.dat", "C:\\Bad\\a.exe\r\n   \r\nHKEY_CURRENT_USER\\Software\\X|Second\r\n");
  t.LoadExclusions();
  EXPECT_EQ(t.exclusionText(), "C:\\Bad\\a.exe|HKEY_CURRENT_USER\\Software\\X|Second|");
  EXPECT_TRUE(t.IsExcluded(" c:\\bad\\A.EXE"));
  EXPECT_TRUE(t.IsExcluded("second"));  // a "|" in a line makes two exclusions
  EXPECT_FALSE(t.IsExcluded("C:\\Bad"));
  // The folder test is a plain substring test of every exclusion.
  EXPECT_TRUE(t.IsExcludedOrContaining("C:\\BAD"));
  EXPECT_TRUE(t.IsExcludedOrContaining("c:\\ba"));
  EXPECT_FALSE(t.IsExcludedOrContaining("C:\\Good"));

  t.AddExclusion("  Added Threat  ");
  EXPECT_EQ(*fp.files.ReadFile(kData + "\\ENoSignature.dat"),
            "C:\\Bad\\a.exe\r\n   \r\nHKEY_CURRENT_USER\\Software\\X|Second\r\nAdded Threat\r\n");
  EXPECT_TRUE(t.IsExcluded("added threat"));
}

TEST_F(ThreatListTest, AddExclusionCreatesTheFile) {
  t.LoadExclusions();
  EXPECT_FALSE(t.IsExcluded("x"));
  t.AddExclusion("x");
  EXPECT_EQ(*fp.files.ReadFile(kData + "\\ENoSignature.dat"), "x\r\n");
  EXPECT_TRUE(t.IsExcluded("X"));
}

TEST_F(ThreatListTest, SafePathRules) {
  EXPECT_TRUE(t.IsSafePath("   "));
  EXPECT_FALSE(t.IsSafePath("HKEY_LOCAL_MACHINE\\"));  // empty safe list: only blanks are safe
  EXPECT_FALSE(t.IsSafePath("C:\\Windows"));
  t.SetSafeList({"c:\\windows", "C:\\Program Files\\Good\\\\", "HKEY_CURRENT_USER\\Software\\Good/", ""});
  EXPECT_TRUE(t.IsSafePath("C:\\WINDOWS\\"));
  EXPECT_TRUE(t.IsSafePath(" c:\\windows/"));
  EXPECT_FALSE(t.IsSafePath("C:\\Windows\\system32"));  // no prefix matching
  EXPECT_TRUE(t.IsSafePath("C:\\Program Files\\Good"));  // element is the candidate plus "\"
  EXPECT_TRUE(t.IsSafePath("hkey_current_user\\software\\good"));
  EXPECT_TRUE(t.IsSafePath("HKEY_LOCAL_MACHINE\\"));
  EXPECT_TRUE(t.IsSafePath("hkey_users"));
  EXPECT_FALSE(t.IsSafePath("HKEY_LOCAL_MACHINE\\Software"));
}

TEST_F(ThreatListTest, ReportThreatListsEachThreatOnceAndQueuesEveryFind) {
  ReportFile("Bar", "C:\\a\\one.dll", "Adware");
  ReportFile("bar", "C:\\a\\two.dll", "Other");  // same threat: the search ignores case
  ReportFile("Baz", "C:\\a\\three.dll");
  EXPECT_EQ(rig.Rows("lvwSpywareFound"), (std::vector<std::string>{"Bar - Found#3", "Baz - Found#3"}));
  EXPECT_EQ(rig.Rows("lvwPicRemoveListOfSpywareFoundAndToBeRemoved"),
            (std::vector<std::string>{"Bar|C:\\a\\one.dll|Adware#3", "Baz|C:\\a\\three.dll#3"}));
  EXPECT_EQ(Files().item_count(), 3u);
  EXPECT_EQ(rig.Get("lbltracesFound").caption(), "3");
  EXPECT_EQ(rig.state.counters.threatsFound, 2);
  t.AddExcludedRow("C:\\x.exe");
  EXPECT_EQ(rig.Rows("lvwSpywareFound").back(), "EXCLUDED: C:\\x.exe#5");
  EXPECT_EQ(rig.state.counters.threatsFound, 2);
}

TEST_F(ThreatListTest, PropagateCheckFollowsTheKindOfTheRow) {
  ReportFile("FileThreat", "C:\\a\\one.dll");
  ReportFile("FileThreat", "C:\\b\\two.dll");
  t.ReportThreat(KIND_FOLDER, "FolderThreat", "C:\\Evil", "", FileRow{"C:\\Evil", ""});
  ui::Control& reg = rig.Get("lvwRegistryToBeDeleted");
  for (auto [key, name] : {std::pair{"Software\\Evil", "RegThreat"}, std::pair{"Software\\Other", "RegThreat"},
                           std::pair{"Software\\Unrelated", "x"}}) {
    t.ReportThreat(KIND_REGISTRY, name, std::string("HKEY_CURRENT_USER\\") + key, "",
                   RegistryRow{-2147483647, key, "", name});
  }
  const std::string cookie = "C:\\Cookies\\user@evil.txt";
  t.ReportThreat(KIND_COOKIE, "Cookie: evil", cookie, "Tracking Cookie", CookieRow{cookie});

  Threats().SetItemChecked(0, true);
  t.PropagateCheck(0);
  EXPECT_TRUE(Files().items()[0].checked);
  EXPECT_TRUE(Files().items()[1].checked);
  EXPECT_FALSE(Files().items()[2].checked);
  Threats().SetItemChecked(2, true);  // the registry threat, by its name column
  t.PropagateCheck(2);
  EXPECT_TRUE(reg.items()[0].checked);
  EXPECT_TRUE(reg.items()[1].checked);
  EXPECT_FALSE(reg.items()[2].checked);
  Threats().SetItemChecked(0, false);
  t.PropagateCheck(0);
  EXPECT_FALSE(Files().items()[0].checked);
  EXPECT_FALSE(Files().items()[1].checked);

  t.cmdSelectAll_Click();
  for (const ui::ListItem& r : Threats().items()) EXPECT_TRUE(r.checked);
  for (const ui::ListItem& r : Files().items()) EXPECT_TRUE(r.checked);  // folder row found by its path
  EXPECT_TRUE(rig.Get("lvwCookiesToDelete").items()[0].checked);
  EXPECT_TRUE(reg.items()[2].checked);
}

// The duplicate test joins a second find of a threat (its name in other letters, or a
// second folder) to the first row; ticking that row must tick the second find's queue row
// too, or Delete leaves it.
TEST_F(ThreatListTest, SelectAllTicksEveryQueueRowWhateverTheCaseOfItsThreat) {
  struct Case {
    int kind;
    const char* queue;
    const char* first;   // threat name (cookies, folders: the location) of the first find
    const char* second;  // the second find's, in other letters
  };
  for (const Case& c : {Case{KIND_FILE, "lvwFilesToBeDeleted", "Bar", "bar"},
                        Case{KIND_REGISTRY, "lvwRegistryToBeDeleted", "RegThreat", "REGTHREAT"},
                        Case{KIND_FOLDER, "lvwFilesToBeDeleted", "C:\\Evil", "c:\\EVIL"},
                        Case{KIND_FOLDER, "lvwFilesToBeDeleted", "C:\\Evil", "C:\\Other\\Evil"},
                        Case{KIND_COOKIE, "lvwCookiesToDelete", "C:\\Cookies\\user@ad.txt", "c:\\cookies\\USER@AD.TXT"}}) {
    SCOPED_TRACE(c.kind);
    t.ClearAll();
    ui::Control& queue = rig.Get(c.queue);
    for (const char* find : {c.first, c.second}) {
      const bool byPlace = c.kind == KIND_FOLDER || c.kind == KIND_COOKIE;
      const std::string name = c.kind == KIND_FOLDER ? "Evil Folder" : byPlace ? c.first : find;
      switch (c.kind) {
        case KIND_FILE: {
          const std::string path = std::string("C:\\") + find + ".dll";
          t.ReportThreat(c.kind, name, path, "", FileRow{path, find});
          break;
        }
        case KIND_FOLDER: t.ReportThreat(c.kind, name, find, "", FileRow{find, "Evil Folder"}); break;
        case KIND_COOKIE: t.ReportThreat(c.kind, name, find, "", CookieRow{find}); break;
        case KIND_REGISTRY:
          t.ReportThreat(c.kind, name, "-2147483647", "",
                         RegistryRow{-2147483647, std::string("Software\\") + find + (find == c.first ? "1" : "2"),
                                     "", find});
          break;
      }
    }
    ASSERT_EQ(Threats().item_count(), 1u);
    ASSERT_EQ(queue.item_count(), 2u);
    t.cmdSelectAll_Click();
    for (const ui::ListItem& r : queue.items()) EXPECT_TRUE(r.checked) << r.text;
  }
}

// Ticks set in the list reach the results; the rows removed from the results leave the list.
TEST_F(ThreatListTest, RemoveCheckedRowsLooksAgainAtTheSamePosition) {
  for (int i = 0; i < 6; ++i) rig.results.Add(FileRow{std::to_string(i), "T"});
  for (size_t i : {0u, 1u, 3u, 5u}) Files().SetItemChecked(i, true);
  rig.results.RemoveTickedRows(ResultList::Files);
  ASSERT_EQ(rig.results.files().size(), 2u);
  EXPECT_EQ(rig.results.files()[0].path, "2");
  EXPECT_EQ(rig.results.files()[1].path, "4");
  EXPECT_EQ(rig.Rows("lvwFilesToBeDeleted"), (std::vector<std::string>{"2|T#0", "4|T#0"}));
}

TEST_F(ThreatListTest, ExcludeWithNothingToExcludeApologises) {
  rig.backend.ExpectMsgBox(ui::MsgResult::Ok);
  t.cmdExclude_Click();
  ASSERT_EQ(rig.backend.msgboxes().size(), 1u);
  EXPECT_EQ(rig.backend.msgboxes()[0].text, "[MSG_SORRY]");
  EXPECT_EQ(rig.backend.msgboxes()[0].style, ui::MB_ICON_INFORMATION);
  EXPECT_EQ(rig.backend.msgboxes()[0].title, "Kestrix");
}

TEST_F(ThreatListTest, ExcludeWritesPlaceAndNameOfCheckedRowsAndRemovesThem) {
  t.LoadExclusions();
  ReportFile("Keep", "C:\\a\\keep.dll");
  ReportFile("Go", "C:\\a\\go.dll");
  const std::string cookie = "C:\\Cookies\\user@evil.txt";
  t.ReportThreat(KIND_COOKIE, "Cookie: evil", cookie, "Tracking Cookie", CookieRow{cookie});
  rig.Get("lblDeletingCaption").set_caption("Deleting...");

  rig.backend.ExpectMsgBox(ui::MsgResult::No, "[MSG_EXC_SURE1]\r\n\r\n[MSG_EXC_SURE2]\r\n\r\n[MSG_EXC_SURE3]");
  t.cmdExclude_Click();  // nothing checked, and No anyway
  EXPECT_FALSE(fp.files.Exists(kData + "\\ENoSignature.dat"));

  Threats().SetItemChecked(1, true);
  t.PropagateCheck(1);
  Threats().SetItemChecked(2, true);
  t.PropagateCheck(2);
  rig.backend.ExpectMsgBox(ui::MsgResult::Yes);
  t.cmdExclude_Click();
  EXPECT_EQ(rig.backend.msgboxes().back().title, "[MSG_EXC_SURE4]");
  EXPECT_EQ(*fp.files.ReadFile(kData + "\\ENoSignature.dat"),
            "C:\\a\\go.dll\r\nGo\r\nC:\\Cookies\\user@evil.txt\r\nevil\r\n");
  EXPECT_TRUE(t.IsExcluded("evil"));
  EXPECT_EQ(rig.Rows("lvwPicRemoveListOfSpywareFoundAndToBeRemoved"),
            (std::vector<std::string>{"Keep|C:\\a\\keep.dll#3"}));
  EXPECT_EQ(rig.Rows("lvwFilesToBeDeleted"), (std::vector<std::string>{"C:\\a\\keep.dll|Keep#0"}));
  EXPECT_EQ(rig.Get("lvwCookiesToDelete").item_count(), 0u);
  EXPECT_EQ(rig.Get("lblDeletingCaption").caption(), "");
}

TEST_F(ThreatListTest, AnExclusionFileThatCannotBeWrittenKeepsTheRows) {
  fp.files.AddFile(kData + "\\ENoSignature.dat", "old\r\n", FA_READONLY);
  t.LoadExclusions();
  ReportFile("Go", "C:\\a\\go.dll");
  Threats().SetItemChecked(0, true);
  t.PropagateCheck(0);
  rig.backend.ExpectMsgBox(ui::MsgResult::Yes);
  rig.backend.ExpectMsgBox(ui::MsgResult::Ok, "[MSG_EXCLUDE_FAILED]");
  t.cmdExclude_Click();
  EXPECT_FALSE(t.IsExcluded("Go"));
  EXPECT_EQ(Threats().item_count(), 1u);
  EXPECT_EQ(Files().item_count(), 1u);
  EXPECT_TRUE(Files().items()[0].checked);
}

TEST_F(ThreatListTest, QuarantineAndExclusionViewers) {
  rig.backend.ExpectMsgBox(ui::MsgResult::Ok);
  t.ViewExclusions();
  ASSERT_EQ(rig.backend.msgboxes().size(), 1u);
  EXPECT_EQ(rig.backend.msgboxes()[0].text, "[MSG_EXCLUDE1]");
  EXPECT_EQ(rig.backend.msgboxes()[0].title, "[MSG_EXCLUDE2]");
  t.AddExclusion("x");
  t.ViewExclusions();
  t.ViewQuarantine();
  EXPECT_TRUE(fp.files.FolderExists(kData + "\\quarantine"));
  ASSERT_EQ(fp.shell.started.size(), 2u);
  EXPECT_EQ(fp.shell.started[0], (std::pair<std::string, std::string>{"notepad", kData + "\\ENoSignature.dat"}));
  EXPECT_EQ(fp.shell.started[1], (std::pair<std::string, std::string>{"explorer", kData + "\\quarantine"}));
}

}  // namespace
}  // namespace kx
