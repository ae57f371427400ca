// The language engine in the running program: the main window's start-up translates it.
#if __has_include("app/app.h")

#include <fstream>
#include <sstream>

#include "app/app_fixture.h"

namespace kx::testing_app {
namespace {

std::string ShippedFile() {
  std::ifstream in(std::string(KESTRIX_SOURCE_DIR) + "/packaging/Localization.txt", std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

TEST_F(AppTest, WithoutALocalizationFileTheTitleShowsNoPlaceholder) {
  SeenBefore();
  Start();
  EXPECT_EQ(main().caption(), "Kestrix by Kestrix Labs");
  EXPECT_EQ(C("cmdWebsite").caption(), "Visit http://www.kestrix.example");
  EXPECT_EQ(C("Label22").caption(), "Welcome to Kestrix");
  EXPECT_EQ(C("cmdScan").caption(), "Scan Now");
}

TEST_F(AppTest, TheStoredLanguageTranslatesTheMainWindowAtStartUp) {
  SeenBefore();
  PutUser("Settings", "Language", "Deutsch");
  fake.files.AddFile(fake.system.ProgramFolder() + "\\Localization.txt", ShippedFile());
  Start();
  EXPECT_EQ(main().caption(), "Kestrix von Kestrix Labs");
  EXPECT_EQ(C("cmdWebsite").caption(), "Besuchen Sie http://www.kestrix.example");
  EXPECT_EQ(C("cmdScan").caption(), "Jetzt pr\xFC" "fen");
  EXPECT_EQ(C("TabStrip1").tabs()[2], "Zeitplan");
  EXPECT_EQ(C("lvwPicRemoveListOfSpywareFoundAndToBeRemoved").columns()[1].caption, "Fundort");
  EXPECT_EQ(C("mnuFileItem", 8).caption(), "&Beenden");
  EXPECT_EQ(app->languages()->getMessages("MSG_STOP"), "M\xF6" "chten Sie die Pr\xFC" "fung wirklich abbrechen?");

  // Switching back rewrites every caption the English block has.
  app->languages()->ChangeLanguage(main(), "English");
  EXPECT_EQ(C("cmdScan").caption(), "Scan Now");
  EXPECT_EQ(C("TabStrip1").tabs()[2], "Schedule");
  EXPECT_EQ(app->languages()->getMessages("MSG_STOP"), "Are you sure you want to stop the scan?");
}

}  // namespace
}  // namespace kx::testing_app

#endif
