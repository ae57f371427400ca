// The language window in the running program: the list, a choice re-captioning the windows,
// and the language file fetched from the server.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "app_fixture.h"
#include "fakes/package_signing.h"

namespace kx::testing_app {
namespace {

using ui::MsgResult;

const char* kAddress = "http://127.0.0.1:8021/Languages/21/Localization.txt";

std::string ShippedFile() {
  std::ifstream in(std::string(KESTRIX_SOURCE_DIR) + "/packaging/Localization.txt", std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

std::string Block(const std::string& name, const std::string& items) {
  return "<LANGUAGE_GROUP xml:lang=\"xx\">\r\n\t<LANGUAGE_NAME>" + name +
         "</LANGUAGE_NAME>\r\n\t<TRANSLATION_ITEMS>\r\n" + items + "\t</TRANSLATION_ITEMS>\r\n</LANGUAGE_GROUP>\r\n";
}

std::string File(const std::string& blocks) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<XML_DIZ_INFO>\r\n" + blocks + "</XML_DIZ_INFO>";
}

// As the language server serves it: signed by the build's development key.
std::string Signed(const std::string& text) { return testsign::DevKey().Language(text + "\r\n"); }

class LanguageWindowTest : public AppTest {
 protected:
  // The program's own subsystems, the schedule's among them, instead of recorders.
  void StartWhole() {
    app = std::make_unique<App>(platform, ui, AppInfo{}, Subsystems{});
    app->Start();
    ui.Advance(400);
  }
  ui::Control& LanguageMenuItem() {
    for (ui::Control* item : main().Children(&C("mnuSettings")))
      if (item->caption() == "&Language...") return *item;
    ADD_FAILURE() << "no Language... in the Settings menu";
    return C("mnuSettings");
  }
  // Through the window, as the user does it.
  void Switch(const std::string& language) {
    Open();
    Choose(language);
    L("Command2").Click();
  }
  std::string Path() { return fake.system.ProgramFolder() + "\\Localization.txt"; }
  std::string OnDisk() { return fake.files.ReadFile(Path()).value_or("<none>"); }
  FrmLanguage& Open() {
    FrmLanguage& w = app->language();
    w.Show();
    return w;
  }
  ui::Control& L(const std::string& name) { return app->language().Get(name); }
  void Choose(const std::string& language) {
    ui::Control& combo = L("Combo1");
    for (size_t i = 0; i < combo.list().size(); ++i)
      if (combo.list()[i] == language) return combo.set_list_index(static_cast<int>(i));
    ADD_FAILURE() << language << " is not offered";
  }
};

TEST_F(LanguageWindowTest, ListsTheFileLanguagesAndAChoiceReCaptionsTheWindows) {
  SeenBefore();
  PutUser("Settings", "Language", "deutsch");  // stored in another case than the block's name
  PutUser("Settings", "lblLastScan", "Never");
  fake.files.AddFile(Path(), ShippedFile());
  Start();
  // Start-up found the block whatever the case.
  EXPECT_EQ(C("cmdScan").caption(), "Jetzt pr\xFC" "fen");
  EXPECT_EQ(C("lblLastScan").caption(), "Nie");
  EXPECT_EQ(C("frmStatus").caption(), "Kestrix-Status");
  // Windows that open later speak it too.
  ui::Control& menuClose = app->menuPopUp().Get("lblMenuClose");
  ui::Control& copyList = app->deleteFailed().Get("Command2");
  EXPECT_FALSE(app->menuPopUp().loaded());
  EXPECT_EQ(menuClose.caption(), "Men\xFC schlie\xDF" "en");
  EXPECT_EQ(copyList.caption(), "Liste kopieren");

  FrmLanguage& w = Open();
  EXPECT_EQ(L("Combo1").list(), (std::vector<std::string>{"English", "Deutsch", "Fran\xE7" "ais"}));
  EXPECT_EQ(L("Combo1").list_index(), 1);
  EXPECT_EQ(w.caption(), "Sprachauswahl");
  EXPECT_EQ(L("Command1").caption(), "Nach Sprachaktualisierungen suchen");
  EXPECT_EQ(User("Settings", "Language"), "deutsch");  // opening the window chose nothing

  // What the last scan counted stays through the switch.
  const char* counts[] = {"lblSoftwareFound", "lblRegistryInspected", "lblFilesFolderInspected", "lblMemoryInspected",
                          "lblTotalNoOfRunningItems", "lbltracesFound", "lblRemovePicSoftwareFound"};
  for (const char* count : counts) C(count).set_caption("7");
  Choose("Fran\xE7" "ais");
  for (const char* count : counts) EXPECT_EQ(C(count).caption(), "7") << count;
  EXPECT_EQ(User("Settings", "Language"), "Fran\xE7" "ais");
  // The main window, the option buttons outside arrays, the message-made captions and this window.
  EXPECT_EQ(C("cmdScan").caption(), "Analyser");
  EXPECT_EQ(C("optScanOnlyKnownSoftwares").caption(), "Analyse rapide");
  EXPECT_EQ(C("optMemorySheildOff").caption(), "D\xE9sactiv\xE9");
  EXPECT_EQ(C("fraDriveSelection").caption(), "Choix des lecteurs");
  EXPECT_EQ(main().caption(), "Kestrix par Kestrix Labs");
  EXPECT_EQ(C("lblLastScan").caption(), "Jamais");
  EXPECT_EQ(C("frmStatus").caption(), "\xC9tat de Kestrix");
  EXPECT_EQ(menuClose.caption(), "Fermer ce menu");
  EXPECT_EQ(copyList.caption(), "Copier la liste");
  EXPECT_EQ(L("Command2").caption(), "OK");
  EXPECT_EQ(L("Command3").caption(), "Traduire ce programme");
  EXPECT_EQ(w.caption(), "Choix de la langue");
  EXPECT_EQ(app->languages()->getMessages("MSG_SURE"), "\xCAtes-vous s\xFBr ?");

  // Back to English undoes every one of them.
  Choose("English");
  EXPECT_EQ(C("cmdScan").caption(), "Scan Now");
  EXPECT_EQ(C("optScanOnlyKnownSoftwares").caption(), "Quick Scan");
  EXPECT_EQ(C("optMemorySheildOff").caption(), "Disabled");
  EXPECT_EQ(main().caption(), "Kestrix by Kestrix Labs");
  EXPECT_EQ(C("lblLastScan").caption(), "Never");
  EXPECT_EQ(C("frmStatus").caption(), "Kestrix Status");
  EXPECT_EQ(menuClose.caption(), "Close This Menu");
  EXPECT_EQ(L("Command3").caption(), "Translate this program");

  // Translate this program opens a copy in the data folder, which a standard user can save.
  L("Command3").Click();
  EXPECT_EQ(fake.shell.opened, std::vector<std::string>{dataFolder + "\\Localization.txt"});
  EXPECT_EQ(fake.files.ReadFile(dataFolder + "\\Localization.txt"), ShippedFile());
  L("Command2").Click();
  EXPECT_FALSE(w.loaded());
}

TEST_F(LanguageWindowTest, SettingsLanguageOpensTheWindowAgainInEveryLanguage) {
  SeenBefore();
  fake.files.AddFile(Path(), ShippedFile());
  Start();
  ui::Control& item = LanguageMenuItem();
  struct Case {
    const char* choose;
    const char* item;   // the menu item afterwards
    const char* title;  // the window's title once chosen
  };
  const Case cases[] = {{"Deutsch", "&Sprache...", "Sprachauswahl"},
                        {"Fran\xE7" "ais", "La&ngue...", "Choix de la langue"},
                        {"English", "&Language...", "Language Selection"}};
  for (const Case& c : cases) {
    std::string shown, title;
    ui.onRunModal = [&](ui::Form& f) {
      shown = f.name();
      Choose(c.choose);
      title = f.caption();
      L("Command2").Click();
    };
    const size_t requests = fake.web.requests.size();
    item.Click();
    EXPECT_EQ(shown, "frmLanguage") << c.choose;
    EXPECT_EQ(title, c.title) << c.choose;
    EXPECT_FALSE(app->language().loaded()) << c.choose;
    EXPECT_EQ(User("Settings", "Language"), c.choose);
    EXPECT_EQ(item.caption(), c.item);
    EXPECT_EQ(fake.web.requests.size(), requests) << "opening fetched something";
  }
  // The separator and the language item lead to no tab; the others still do.
  ui.onRunModal = [&](ui::Form& f) { f.Hide(); };
  C("mnuSettingsItem", 4).Click();
  EXPECT_FALSE(C("frmOptions").visible());
  C("mnuSettingsItem", 2).Click();
  EXPECT_TRUE(C("frmOptions").visible());
  EXPECT_EQ(C("TabStrip1").selected_tab(), 3);
}

// The day list in each language: the chosen entry stays chosen, a switch is no choice of the
// user's, and Apply stores the entry's number, which the scheduler reads, never its text.
TEST_F(LanguageWindowTest, TheDayListFollowsTheLanguageAndStoresTheSameDay) {
  SeenBefore();
  PutUser("OptionAndSettings", "chkAutomaticScanYesOrNo", "1");
  PutUser("OptionAndSettings", "Day", "3");
  PutUser("OptionAndSettings", "Time", "2:30:00 PM");
  fake.files.AddFile(Path(), ShippedFile());
  StartWhole();
  using Days = std::vector<std::string>;
  const std::pair<const char*, Days> cases[] = {
      {"Deutsch", {"Montag", "Dienstag", "Mittwoch", "Donnerstag", "Freitag", "Samstag", "Sonntag", "T\xE4glich",
                   "Datum und Uhrzeit", "Nie!"}},
      {"Fran\xE7" "ais", {"Lundi", "Mardi", "Mercredi", "Jeudi", "Vendredi", "Samedi", "Dimanche", "Tous les jours",
                         "Date et heure", "Jamais !"}},
      {"English", {"Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday", "Sunday", "Daily",
                   "Date & Time", "Never!"}},
  };
  ui::Control& days = C("cmbDays");
  ASSERT_EQ(days.list_index(), 3);
  C("CmdProceed").Click();  // whatever start-up left, the page as stored
  ASSERT_FALSE(C("CmdProceed").enabled());
  for (const auto& [language, expected] : cases) {
    Switch(language);
    EXPECT_EQ(days.list(), expected) << language;
    EXPECT_EQ(days.list_index(), 3) << language;
    EXPECT_EQ(days.caption(), expected[3]) << language;
    EXPECT_FALSE(C("CmdProceed").enabled()) << language << ": the switch looked like a choice";
    days.set_list_index(3);
    ASSERT_TRUE(C("CmdProceed").enabled()) << language;
    C("CmdProceed").Click();
    EXPECT_EQ(User("OptionAndSettings", "Day"), "3") << language;
  }
  // A start in a language shows its names with the stored day chosen.
  app.reset();
  PutUser("Settings", "Language", "Deutsch");
  StartWhole();
  EXPECT_EQ(C("cmbDays").list(), cases[0].second);
  EXPECT_EQ(C("cmbDays").caption(), "Donnerstag");
}

// The definitions' date stays in the Auto Update label through a switch and a restart.
TEST_F(LanguageWindowTest, TheLastUpdateLabelKeepsTheDateInEveryLanguage) {
  SeenBefore();
  fake.files.AddFile(Path(), ShippedFile());
  fake.files.AddFile(dataFolder + "\\date.dat", "1/15/2026 10:15:02 AM\r\n");
  Start();
  const std::pair<const char*, const char*> cases[] = {
      {"Deutsch", "Signaturen zuletzt aktualisiert am 1/15/2026 10:15:02 AM PST"},
      {"Fran\xE7" "ais", "Signatures mises \xE0 jour le 1/15/2026 10:15:02 AM PST"},
      {"English", "Signatures Last Updated On 1/15/2026 10:15:02 AM PST"},
  };
  for (const auto& [language, label] : cases) {
    Switch(language);
    EXPECT_EQ(C("lblLastUpdate").caption(), label) << language << ", switched";
    app.reset();
    Start();
    EXPECT_EQ(C("lblLastUpdate").caption(), label) << language << ", restarted";
  }
}

TEST_F(LanguageWindowTest, OlderFilesAndThePromptEntryLeaveCaptionsAlone) {
  SeenBefore();
  // A file from before the option buttons had items, with a block named like the prompt.
  fake.files.AddFile(Path(), File(Block("English", "\t\t<FRMMAIN_CMDSCAN>Scan Now</FRMMAIN_CMDSCAN>\r\n") +
                                  Block("Choose Language Here", "\t\t<FRMMAIN_CMDSCAN>Prompt</FRMMAIN_CMDSCAN>\r\n") +
                                  Block("Deutsch", "\t\t<FRMMAIN_CMDSCAN>Jetzt pr\xC3\xBC" "fen</FRMMAIN_CMDSCAN>\r\n"
                                                   "\t\t<MSG_SURE>Sicher?</MSG_SURE>\r\n")));
  Start();
  Open();
  Choose("Choose Language Here");
  EXPECT_EQ(User("Settings", "Language"), "English");
  EXPECT_EQ(C("cmdScan").caption(), "Scan Now");

  Choose("Deutsch");
  EXPECT_EQ(C("cmdScan").caption(), "Jetzt pr\xFC" "fen");
  EXPECT_EQ(C("optScanOnlyKnownSoftwares").caption(), "Quick Scan");
  EXPECT_EQ(C("optIEHomePageSheildOn").caption(), "Enabled");
  EXPECT_EQ(L("Command1").caption(), "Check for language updates");
  EXPECT_EQ(app->languages()->getMessages("MSG_SURE"), "Sicher?");

  // Without a file the list is empty and Translate does nothing.
  ASSERT_TRUE(fake.files.DeleteFile(Path()).ok());
  app->language().FillLanguageList();
  EXPECT_TRUE(L("Combo1").list().empty());
  L("Command3").Click();
  EXPECT_TRUE(fake.shell.opened.empty());
}

TEST_F(LanguageWindowTest, OnlyAWholeLocalizationFileReplacesTheOldOne) {
  SeenBefore();
  const std::string old = File(Block("English", "\t\t<FRMMAIN_CMDSCAN>Scan Now</FRMMAIN_CMDSCAN>\r\n"));
  fake.files.AddFile(Path(), old);
  Start();
  Open();

  // An error page, even one that names the tag; a page of 200 without a block; an answer
  // beyond the cap; a file without a signature, or signed by another key; no answer at all.
  // None is stored, and none says anything.
  const std::string page = "<html><body>404: no &lt;TRANSLATION_ITEMS&gt; here <TRANSLATION_ITEMS></body></html>";
  fake.web.Serve(kAddress, page, 404);
  L("Command1").Click();
  fake.web.Serve(kAddress, page, 200);
  L("Command1").Click();
  const std::string huge = File(Block("Big", "\t\t<X>" + std::string(5u << 20, 'x') + "</X>\r\n"));
  fake.web.Serve(kAddress, huge);
  L("Command1").Click();
  EXPECT_LE(fake.web.lastOptions.maxBytes, 4u << 20);
  const std::string deutsch = File(Block("Deutsch", "\t\t<FRMMAIN_CMDSCAN>Pr\xC3\xBC" "fen</FRMMAIN_CMDSCAN>\r\n"));
  fake.web.Serve(kAddress, deutsch);
  L("Command1").Click();
  fake.web.Serve(kAddress, testsign::OtherKey().Language(deutsch + "\r\n"));
  L("Command1").Click();
  fake.web.Fail(kAddress);
  L("Command1").Click();
  EXPECT_EQ(fake.web.requests.size(), 6u);
  EXPECT_EQ(OnDisk(), old);
  EXPECT_TRUE(ui.msgboxes().empty());
  EXPECT_TRUE(L("Command1").enabled());

  // A good file behind a byte-order mark: stored without it, CR LF added, listed, and told.
  const std::string fresh = File(Block("English", "\t\t<FRMMAIN_CMDSCAN>Scan Now</FRMMAIN_CMDSCAN>\r\n") +
                                 Block("Espa\xC3\xB1ol", "\t\t<FRMMAIN_CMDSCAN>Analizar</FRMMAIN_CMDSCAN>\r\n"));
  const std::string served = Signed("\xEF\xBB\xBF" + fresh);
  fake.web.Serve(kAddress, served);
  ui.ExpectMsgBox(MsgResult::Ok, "The newest language file has been downloaded.");
  L("Command1").Click();
  EXPECT_EQ(OnDisk(), served.substr(3) + "\r\n");
  EXPECT_EQ(L("Combo1").list(), (std::vector<std::string>{"English", "Espa\xF1ol"}));
  EXPECT_EQ(L("Combo1").caption(), "English");
  EXPECT_EQ(C("cmdScan").caption(), "Scan Now");  // takes effect when chosen
  Choose("Espa\xF1ol");
  EXPECT_EQ(C("cmdScan").caption(), "Analizar");
  EXPECT_EQ(fake.files.Find(fake.system.ProgramFolder() + "\\*").size(), 1u);  // nothing left beside it
}

TEST_F(LanguageWindowTest, ADownloadThatCanBeSavedNowhereIsReportedAndOneThisUserMayNotPutInTheProgramFolderGoesToTheirCopy) {
  SeenBefore();
  const std::string old = File(Block("English", "\t\t<FRMMAIN_CMDSCAN>Scan Now</FRMMAIN_CMDSCAN>\r\n"));
  fake.files.AddFile(Path(), old);
  Start();
  Open();
  fake.web.Serve(kAddress, Signed(File(Block("Deutsch", "\t\t<FRMMAIN_CMDSCAN>Pr\xC3\xBC" "fen</FRMMAIN_CMDSCAN>\r\n"))));
  fake.files.writeFailure = 5;  // access denied, as under Program Files without elevation
  ui.ExpectMsgBox(MsgResult::Ok, "could not be saved");
  L("Command1").Click();
  ASSERT_EQ(ui.msgboxes().size(), 1u);
  EXPECT_NE(ui.msgboxes()[0].text.find(fake.system.ProgramFolder()), std::string::npos);
  EXPECT_EQ(ui.msgboxes()[0].text.find("[ProgramName]"), std::string::npos);
  EXPECT_EQ(OnDisk(), old);
  EXPECT_EQ(L("Combo1").list(), std::vector<std::string>{"English"});

  // A program file this user may not replace: the download goes to the user's own copy,
  // which is read from then on; the program's file stays as it was.
  fake.files.writeFailure = 0;
  ASSERT_TRUE(fake.files.SetAttributes(Path(), FA_READONLY));
  ui.ExpectMsgBox(MsgResult::Ok, "The newest language file has been downloaded.");
  L("Command1").Click();
  EXPECT_EQ(ui.msgboxes().size(), 2u);
  EXPECT_EQ(OnDisk(), old);
  EXPECT_EQ(fake.files.Find(fake.system.ProgramFolder() + "\\*").size(), 1u);
  EXPECT_NE(fake.files.ReadFile(dataFolder + "\\Localization.txt").value_or("").find("Deutsch"), std::string::npos);
  EXPECT_EQ(L("Combo1").list(), std::vector<std::string>{"Deutsch"});
}

}  // namespace
}  // namespace kx::testing_app
