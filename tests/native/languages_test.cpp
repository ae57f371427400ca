#include "localization/languages.h"

#include <gtest/gtest.h>

#include "fakes/fake_files.h"
#include "localization/localization_file.h"
#include "localization/messages.h"
#include "platform/forms/headless.h"

namespace kx {
namespace {

using ui::ControlType;

const std::string kFolder = "C:\\Program Files\\Kestrix";
const std::string kPath = kFolder + "\\Localization.txt";

std::string Block(const std::string& name, const std::vector<std::string>& items) {
  std::string s = "<LANGUAGE_GROUP xml:lang=\"xx\">\r\n\t<LANGUAGE_NAME>" + name +
                  "</LANGUAGE_NAME>\r\n\t<TRANSLATION_ITEMS>\r\n";
  for (const auto& i : items) s += "\t\t" + i + "\r\n";
  return s + "\t</TRANSLATION_ITEMS>\r\n</LANGUAGE_GROUP>\r\n";
}

std::string File(const std::vector<std::string>& blocks) {
  std::string s = "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<XML_DIZ_INFO>\r\n";
  for (const auto& b : blocks) s += b;
  return s + "</XML_DIZ_INFO>\r\n";
}

// A window with one control of every kind the engine knows, and some it must leave alone.
struct TestForm : ui::Form {
  explicit TestForm(ui::Backend& b) : ui::Form("FrmMain", b) {
    Add(ControlType::CommandButton, "cmdScan").set_caption("Scan Now");
    Add(ControlType::Label, "lblStatus").set_caption("Status");
    Add(ControlType::CheckBox, "chkMakeLog").set_caption("Save scan results to log");
    Add(ControlType::Frame, "frmScan").set_caption("Scan");
    Add(ControlType::TabStrip, "TabStrip1").set_tabs({"Scan Options", "Schedule"});
    Add(ControlType::ListView, "lvwSpywareFound").set_columns({{"Found"}, {"Location"}, {"Type"}});
    Add(ControlType::OptionButton, "optScan", nullptr, 1).set_caption("Quick Scan");
    Add(ControlType::OptionButton, "optAlone").set_caption("Alone");
    Add(ControlType::Menu, "mnuFileItem", nullptr, 2).set_caption("View Log");
    Add(ControlType::Menu, "mnuFile").set_caption("File");
    Add(ControlType::TextBox, "txtFilename").set_caption("typed");
    auto& days = Add(ControlType::ComboBox, "cmbDays");
    days.set_list({"Monday", "Tuesday", "Daily"});
    days.set_list_index(1);
    days.onClick = [this] { ++dayClicks; };
    Add(ControlType::Label, "lblWebsite").set_caption("site");
  }
  std::string cap(const char* name, int index = -1) { return Get(name, index).caption(); }
  int dayClicks = 0;
};

const std::vector<std::string> kGermanItems = {
    "<FRMMAIN_CMDSCAN>Jetzt pr\xC3\xBC" "fen</FRMMAIN_CMDSCAN>",
    "<frmmain_lblstatus>zustand</frmmain_lblstatus>",  // lower-case key and text
    "<FRMMAIN_CHKMAKELOG></FRMMAIN_CHKMAKELOG>",       // empty: keeps the caption
    "<FRMMAIN_FRMSCAN>Suche</FRMMAIN_FRMSCAN>",
    "<FRMMAIN_TABSTRIP1_TABS2>Zeitplan</FRMMAIN_TABSTRIP1_TABS2>",
    "<FRMMAIN_LVWSPYWAREFOUND_COL3>Art</FRMMAIN_LVWSPYWAREFOUND_COL3>",
    "<FRMMAIN_OPTSCAN1>Schnellsuche</FRMMAIN_OPTSCAN1>",
    "<FRMMAIN_OPTALONE>Allein</FRMMAIN_OPTALONE>",
    "<FRMMAIN_MNUFILEITEM2>Protokoll anzeigen</FRMMAIN_MNUFILEITEM2>",
    "<FRMMAIN_MNUFILE0>Datei</FRMMAIN_MNUFILE0>",
    "<FRMMAIN_TXTFILENAME>nein</FRMMAIN_TXTFILENAME>",
    "<FRMMAIN_CMBDAYS_LIST2>Dienstag</FRMMAIN_CMBDAYS_LIST2>",
    "<FRMMAIN_CMBDAYS_LIST3>t\xC3\xA4glich</FRMMAIN_CMBDAYS_LIST3>",
    "<FRMMAIN_LBLWEBSITE>[website] von [COMPANYNAME]</FRMMAIN_LBLWEBSITE>",
    "<MSG_SURE>Sind Sie sicher?</MSG_SURE>",
    "<MSG_CAPTION>[ProgramName] von [CompanyName]</MSG_CAPTION>",
    "<MSG_COMPLETE>fertig</MSG_COMPLETE>",
};

class LanguagesTest : public ::testing::Test {
 protected:
  LanguagesTest() { files.AddFolder(kFolder); }
  void Plant(const std::string& text, uint32_t attrs = FA_ARCHIVE) { files.AddFile(kPath, text, attrs); }

  fakes::FakeFileSystem files;
  ui::HeadlessBackend backend;
  clsLanguages engine{files, kFolder, Branding{}};
};

TEST_F(LanguagesTest, MessageTableSlotsAndLookup) {
  engine.setMessage("MSG_A", "first");
  engine.setMessage("MSG_A", "second");  // no check for the key: the first one answers
  engine.setMessage("msg_b", "\xE9t\xE9");
  EXPECT_EQ(engine.getMessages("MSG_A"), "First");
  EXPECT_EQ(engine.getMessages("msg_a"), engine.getMessages("MSG_A"));
  EXPECT_EQ(engine.getMessages("MSG_B"), "\xC9t\xE9");
  EXPECT_EQ(engine.getMessages("MSG_NONE"), "");
  EXPECT_EQ(engine.getMessages(""), "");

  // Three slots used; fill up to slot 200, the last.
  for (int i = 3; i <= 200; ++i) engine.setMessage("K" + std::to_string(i), "v" + std::to_string(i));
  EXPECT_EQ(engine.getMessages("K200"), "V200");
  engine.setMessage("K201", "dropped");  // the 202nd
  EXPECT_EQ(engine.getMessages("K201"), "");
}

TEST_F(LanguagesTest, BuiltInTextsComeWithPlaceholdersFilled) {
  engine.LoadBuiltInMessages();
  // No localization file at all: still no raw placeholder anywhere.
  EXPECT_EQ(engine.getMessages("MSG_CAPTION"), "Kestrix by Kestrix Labs");
  EXPECT_EQ(engine.getMessages("MSG_WEBSITE"), "Visit http://www.kestrix.example");
  EXPECT_EQ(engine.getMessages("MSG_THANK1"), "Thank you for using Kestrix!");
  for (const auto& m : BuiltInMessages()) {
    const std::string text = engine.getMessages(m.key);
    EXPECT_FALSE(text.empty()) << m.key;
    EXPECT_EQ(text.find("[ProgramName]"), std::string::npos) << m.key;
    EXPECT_EQ(text.find("[Company"), std::string::npos) << m.key;
    EXPECT_EQ(text.find("[Website]"), std::string::npos) << m.key;
  }
  EXPECT_EQ(engine.getMessages("MSG_COMPLETE"), "Complete");
  EXPECT_EQ(engine.getMessages("MSG_NOTSELECED"), "Not Selected");
  EXPECT_EQ(engine.getMessages("MSG_TITLELANGUAGE"), "Language Selection");
  EXPECT_EQ(engine.getMessages("MSG_DOWNLOADED"), "The newest language file has been downloaded.");
  EXPECT_EQ(engine.getMessages("MSG_FOUND2"), "] using you system memory. Click YES to stop [");

  // Branding values are inserted once, never scanned again for placeholders.
  clsLanguages odd{files, kFolder, Branding{"[Website]", "C", "W", 21}};
  odd.setMessage("M", "[programname]/[website]");
  EXPECT_EQ(odd.getMessages("M"), "[Website]/W");
}

TEST_F(LanguagesTest, ChangeLanguageTranslatesEveryKindOfControlAndTheMessages) {
  Plant(File({Block("English", {"<FRMMAIN_CMDSCAN>Scan Now</FRMMAIN_CMDSCAN>"}), Block("Deutsch", kGermanItems)}));
  engine.LoadBuiltInMessages();
  TestForm form(backend);
  engine.ChangeLanguage(form, "deutsch");

  EXPECT_EQ(engine.CurrentLanguage(), "deutsch");
  EXPECT_EQ(form.cap("cmdScan"), "Jetzt pr\xFC" "fen");  // UTF-8 in the file, ANSI on screen
  EXPECT_EQ(form.cap("lblStatus"), "Zustand");
  EXPECT_EQ(form.cap("chkMakeLog"), "Save scan results to log");
  EXPECT_EQ(form.cap("frmScan"), "Suche");
  EXPECT_EQ(form.Get("TabStrip1").tabs(), (std::vector<std::string>{"Scan Options", "Zeitplan"}));
  EXPECT_EQ(form.Get("lvwSpywareFound").columns()[0].caption, "Found");
  EXPECT_EQ(form.Get("lvwSpywareFound").columns()[2].caption, "Art");
  EXPECT_EQ(form.cap("optScan", 1), "Schnellsuche");
  EXPECT_EQ(form.cap("optAlone"), "Allein");  // not in an array: its plain name is the key
  EXPECT_EQ(form.cap("mnuFileItem", 2), "Protokoll anzeigen");
  EXPECT_EQ(form.cap("mnuFile"), "Datei");
  EXPECT_EQ(form.cap("txtFilename"), "typed");  // text boxes are never translated
  // List entries in place: the chosen one stays chosen, and no choice is reported.
  EXPECT_EQ(form.Get("cmbDays").list(), (std::vector<std::string>{"Monday", "Dienstag", "T\xE4glich"}));
  EXPECT_EQ(form.Get("cmbDays").list_index(), 1);
  EXPECT_EQ(form.cap("cmbDays"), "Dienstag");
  EXPECT_EQ(form.dayClicks, 0);
  EXPECT_EQ(form.cap("lblWebsite"), "Http://www.kestrix.example von Kestrix Labs");

  EXPECT_EQ(engine.getMessages("MSG_SURE"), "Sind Sie sicher?");
  EXPECT_EQ(engine.getMessages("MSG_CAPTION"), "Kestrix von Kestrix Labs");
  EXPECT_EQ(engine.getMessages("MSG_COMPLETE"), "Fertig");
  EXPECT_EQ(engine.getMessages("MSG_STOP"), "Are you sure you want to stop the scan?");  // no item

  // MDI children report their type names in another case; the result is the same.
  TestForm mdi(backend);
  engine.ChangeLanguageMDI(mdi, "Deutsch");
  for (const char* name : {"cmdScan", "lblStatus", "frmScan", "mnuFile", "lblWebsite"})
    EXPECT_EQ(mdi.cap(name), form.cap(name)) << name;
  EXPECT_EQ(mdi.cap("optScan", 1), "Schnellsuche");
}

TEST_F(LanguagesTest, AMissingLanguageKeepsWhatWasLoadedBefore) {
  Plant(File({Block("English", {"<MSG_SURE>Sure?</MSG_SURE>", "<FRMMAIN_CMDSCAN>Scan!</FRMMAIN_CMDSCAN>"}),
              Block("Deutsch", kGermanItems)}));
  engine.LoadBuiltInMessages();
  TestForm form(backend);
  engine.ChangeLanguage(form, "Deutsch");
  engine.ChangeLanguage(form, "Klingon");
  EXPECT_EQ(engine.CurrentLanguage(), "Klingon");
  EXPECT_EQ(form.cap("cmdScan"), "Jetzt pr\xFC" "fen");
  EXPECT_EQ(engine.getMessages("MSG_SURE"), "Sind Sie sicher?");
  // A window translated now still gets the German items held from before.
  TestForm later(backend);
  engine.ChangeLanguage(later, "Klingon");
  EXPECT_EQ(later.cap("mnuFile"), "Datei");
  // Back to English: only what the English block has is overwritten again.
  engine.ChangeLanguage(form, "English");
  EXPECT_EQ(form.cap("cmdScan"), "Scan!");
  EXPECT_EQ(form.cap("mnuFile"), "Datei");
  EXPECT_EQ(engine.getMessages("MSG_SURE"), "Sure?");
}

TEST_F(LanguagesTest, FallsBackToEnglishWhenNothingIsHeld) {
  Plant(File({Block("English", {"<FRMMAIN_CMDSCAN>Scan!</FRMMAIN_CMDSCAN>"}),
              "<LANGUAGE_GROUP><LANGUAGE_NAME>Empty</LANGUAGE_NAME><TRANSLATION_ITEMS>"
              "</TRANSLATION_ITEMS></LANGUAGE_GROUP>"}));
  TestForm form(backend);
  engine.ChangeLanguage(form, "Klingon");
  EXPECT_EQ(form.cap("cmdScan"), "Scan!");
  EXPECT_EQ(engine.CurrentLanguage(), "English");

  TestForm other(backend);
  clsLanguages fresh{files, kFolder, Branding{}};
  fresh.ChangeLanguage(other, "empty");  // a block whose items section is one empty line
  EXPECT_EQ(other.cap("cmdScan"), "Scan!");
  EXPECT_EQ(fresh.CurrentLanguage(), "English");
}

TEST_F(LanguagesTest, NoFileLeavesBuiltInCaptionsAndTexts) {
  engine.LoadBuiltInMessages();
  TestForm form(backend);
  engine.ChangeLanguage(form, "Deutsch");
  EXPECT_EQ(form.cap("cmdScan"), "Scan Now");
  EXPECT_EQ(form.Get("TabStrip1").tabs()[1], "Schedule");
  EXPECT_EQ(engine.getMessages("MSG_SURE"), "Are you sure?");
  EXPECT_EQ(engine.itemLineCount(), 0u);
  EXPECT_TRUE(engine.LanguageNames().empty());
  // A file that appears later is read on the next load, not cached.
  Plant(File({Block("Deutsch", kGermanItems)}));
  EXPECT_EQ(engine.LanguageNames(), std::vector<std::string>{"Deutsch"});
  engine.ChangeLanguage(form, "Deutsch");
  EXPECT_EQ(form.cap("frmScan"), "Suche");
}

TEST_F(LanguagesTest, LangFileExistsSeesHiddenAndSystemFilesIgnoringCase) {
  EXPECT_FALSE(engine.LangFileExists(kPath));
  Plant("x", FA_HIDDEN | FA_SYSTEM | FA_READONLY);
  EXPECT_TRUE(engine.LangFileExists(kPath));
  EXPECT_TRUE(engine.LangFileExists("c:\\program files\\kestrix\\LOCALIZATION.TXT"));
  EXPECT_FALSE(engine.LangFileExists(kFolder + "\\"));
  EXPECT_FALSE(engine.LangFileExists(""));
  EXPECT_FALSE(engine.LangFileExists(kFolder + "\\Localization.txt.bak"));
  EXPECT_FALSE(engine.LangFileExists("C:\\No Such Folder\\Localization.txt"));
  EXPECT_EQ(engine.LangTrimPath(kPath), "Localization.txt");
}

TEST_F(LanguagesTest, WrittenFileHoldsEveryControlAndMessageAndReadsBack) {
  Plant("old contents");
  engine.setMessage("MSG_CAPTION", "[ProgramName] by [Company]");
  engine.setMessage("msg_umlaut", "Gr\xFC\xDF" "e");
  TestForm form(backend);
  ui::Form second("frmDelete", backend);
  second.Add(ControlType::CommandButton, "Command1").set_caption("Ok");
  ASSERT_TRUE(engine.makeLocalizationFile({&form, &second}));

  const std::string written = files.ReadFile(kPath).value();
  const std::string expectedItems =
      "\t\t<FRMMAIN_CMDSCAN>Scan Now</FRMMAIN_CMDSCAN>\r\n"
      "\t\t<FRMMAIN_LBLSTATUS>Status</FRMMAIN_LBLSTATUS>\r\n"
      "\t\t<FRMMAIN_CHKMAKELOG>Save scan results to log</FRMMAIN_CHKMAKELOG>\r\n"
      "\t\t<FRMMAIN_FRMSCAN>Scan</FRMMAIN_FRMSCAN>\r\n"
      "\t\t<FRMMAIN_TABSTRIP1_TABS1>Scan Options</FRMMAIN_TABSTRIP1_TABS1>\r\n"
      "\t\t<FRMMAIN_TABSTRIP1_TABS2>Schedule</FRMMAIN_TABSTRIP1_TABS2>\r\n"
      "\t\t<FRMMAIN_LVWSPYWAREFOUND_COL1>Found</FRMMAIN_LVWSPYWAREFOUND_COL1>\r\n"
      "\t\t<FRMMAIN_LVWSPYWAREFOUND_COL2>Location</FRMMAIN_LVWSPYWAREFOUND_COL2>\r\n"
      "\t\t<FRMMAIN_LVWSPYWAREFOUND_COL3>Type</FRMMAIN_LVWSPYWAREFOUND_COL3>\r\n"
      "\t\t<FRMMAIN_OPTSCAN1>Quick Scan</FRMMAIN_OPTSCAN1>\r\n"
      "\t\t<FRMMAIN_OPTALONE>Alone</FRMMAIN_OPTALONE>\r\n"
      "\t\t<FRMMAIN_MNUFILEITEM2>View Log</FRMMAIN_MNUFILEITEM2>\r\n"
      "\t\t<FRMMAIN_MNUFILE0>File</FRMMAIN_MNUFILE0>\r\n"
      "\t\t<FRMMAIN_CMBDAYS_LIST1>Monday</FRMMAIN_CMBDAYS_LIST1>\r\n"
      "\t\t<FRMMAIN_CMBDAYS_LIST2>Tuesday</FRMMAIN_CMBDAYS_LIST2>\r\n"
      "\t\t<FRMMAIN_CMBDAYS_LIST3>Daily</FRMMAIN_CMBDAYS_LIST3>\r\n"
      "\t\t<FRMMAIN_LBLWEBSITE>site</FRMMAIN_LBLWEBSITE>\r\n"
      "\t\t<FRMDELETE_COMMAND1>Ok</FRMDELETE_COMMAND1>\r\n"
      "\t\t<MSG_CAPTION>[ProgramName] by [Company]</MSG_CAPTION>\r\n"
      "\t\t<MSG_UMLAUT>Gr\xC3\xBC\xC3\x9F" "e</MSG_UMLAUT>\r\n";
  EXPECT_EQ(written, LocalizationHeader() + expectedItems + LocalizationFooter());

  // Captions changed afterwards come back from the file's English block.
  form.Get("cmdScan").set_caption("x");
  form.Get("TabStrip1").set_tab_caption(2, "x");
  form.Get("lvwSpywareFound").set_column_caption(1, "x");
  engine.ChangeLanguage(form, "English");
  EXPECT_EQ(form.cap("cmdScan"), "Scan Now");
  EXPECT_EQ(form.Get("TabStrip1").tabs()[1], "Schedule");
  EXPECT_EQ(form.Get("lvwSpywareFound").columns()[0].caption, "Found");
  EXPECT_EQ(engine.getMessages("MSG_UMLAUT"), "Gr\xFC\xDF" "e");
}

TEST_F(LanguagesTest, AFailedWriteKeepsTheOldFile) {
  const std::string old = File({Block("English", {"<MSG_SURE>Sure?</MSG_SURE>"}), Block("Deutsch", kGermanItems)});
  Plant(old, FA_HIDDEN);
  files.writeFailure = 112;  // the disk is full
  EXPECT_FALSE(engine.makeLocalizationFile({}));
  EXPECT_EQ(files.ReadFile(kPath), old);
  files.writeFailure = 0;
  files.SetInUse(kPath);  // being read: it cannot be replaced
  EXPECT_FALSE(engine.makeLocalizationFile({}));
  EXPECT_EQ(files.ReadFile(kPath), old);
  EXPECT_FALSE(files.Exists(kPath + ".new"));
  files.SetInUse(kPath, false);
  ASSERT_TRUE(engine.makeLocalizationFile({}));
  EXPECT_NE(files.ReadFile(kPath), old);
  EXPECT_EQ(engine.LanguageNames(), std::vector<std::string>{"English"});
}

TEST_F(LanguagesTest, WritingAfterALanguageChangeKeepsPlaceholders) {
  Plant(File({Block("Deutsch", kGermanItems)}));
  engine.LoadBuiltInMessages();
  TestForm form(backend);
  engine.ChangeLanguage(form, "Deutsch");
  ASSERT_TRUE(engine.makeLocalizationFile({}));
  auto items = FindLanguageItems(Utf8ToAnsi(files.ReadFile(kPath).value()), "English");
  ASSERT_TRUE(items);
  // The active language's texts under the name English, still translatable.
  EXPECT_EQ(LookupItem(*items, "MSG_CAPTION"), "[ProgramName] von [CompanyName]");
  EXPECT_EQ(LookupItem(*items, "MSG_SURE"), "Sind Sie sicher?");
  EXPECT_EQ(LookupItem(*items, "MSG_STOP"), "Are you sure you want to stop the scan?");
}

// Which file is read, and which is opened for translating, by what lies where: a file
// planted later is newer. Each case starts from empty folders.
TEST(LanguagesUserCopy, TheNewerWholeCopyIsReadAndTheCopyToEditIsMadeWhenStale) {
  const std::string user = "C:\\Users\\u\\AppData\\Roaming\\DideZuvurudARA";
  const std::string userPath = user + "\\Localization.txt";
  const std::string programs = File({Block("English", {"<MSG_SURE>program</MSG_SURE>"})});
  const std::string edited = File({Block("English", {"<MSG_SURE>edited</MSG_SURE>"}), Block("Klingon", {})});
  enum Plant { kNone, kProgram, kUser, kProgramThenUser, kUserThenProgram };
  struct Case {
    const char* what;
    Plant plant;
    std::string userBytes;
    const char* reads;      // MSG_SURE after loading English; "" when no file is read
    std::string opens;      // what MakeUserCopy hands the editor
    std::string userAfter;  // the copy's bytes afterwards; "<none>" when there is none
  };
  const Case cases[] = {
      {"no copy yet", kProgram, "", "Program", userPath, programs},
      {"the user's edit is newer", kProgramThenUser, edited, "Edited", userPath, edited},
      {"the program's file is newer", kUserThenProgram, edited, "Program", userPath, programs},
      {"a copy cut short", kProgramThenUser, edited.substr(0, edited.size() / 2), "Program", userPath,
       edited.substr(0, edited.size() / 2)},
      {"a copy of garbage", kProgramThenUser, "\xFF\xFEgarbage <LANGUAGE_GROUP", "Program", userPath, "\xFF\xFEgarbage <LANGUAGE_GROUP"},
      {"only the copy", kUser, edited, "Edited", userPath, edited},
      {"neither", kNone, "", "", "", "<none>"},
  };
  for (const Case& c : cases) {
    fakes::FakeFileSystem files;
    files.AddFolder(user);
    auto plantProgram = [&] { files.AddFile(kPath, programs, FA_ARCHIVE | FA_READONLY); };
    auto plantUser = [&] { files.AddFile(userPath, c.userBytes); };
    if (c.plant == kProgram || c.plant == kProgramThenUser) plantProgram();
    if (c.plant == kUser || c.plant == kProgramThenUser || c.plant == kUserThenProgram) plantUser();
    if (c.plant == kUserThenProgram) plantProgram();

    clsLanguages engine{files, kFolder, Branding{}, user};
    ui::HeadlessBackend backend;
    TestForm form(backend);
    engine.setMessage("MSG_SURE", "built-in");
    engine.ChangeLanguage(form, "English");
    EXPECT_EQ(engine.getMessages("MSG_SURE"), *c.reads ? c.reads : "Built-in") << c.what;
    EXPECT_EQ(engine.LanguageNames().size(), std::string(c.reads) == "Edited" ? 2u : (*c.reads ? 1u : 0u)) << c.what;

    EXPECT_EQ(engine.MakeUserCopy(), c.opens) << c.what;
    EXPECT_EQ(files.ReadFile(userPath).value_or("<none>"), c.userAfter) << c.what;
    // The copy is there to be saved by the user.
    if (auto attrs = files.Attributes(userPath)) EXPECT_FALSE(*attrs & FA_READONLY) << c.what;
    EXPECT_EQ(files.ReadFile(kPath).value_or(""), c.plant == kUser || c.plant == kNone ? "" : programs) << c.what;
  }

  // Without a data folder no copy can be made: the program's own file is opened.
  fakes::FakeFileSystem files;
  files.AddFile(kPath, programs);
  clsLanguages engine{files, kFolder, Branding{}, user};
  EXPECT_EQ(engine.MakeUserCopy(), kPath);
  EXPECT_FALSE(files.Exists(userPath));
}

}  // namespace
}  // namespace kx
