// Every caption of the main window and the language window fits its control in each language
// the shipped Localization.txt offers, measured with the font Windows draws it in; the languages
// are switched through the language window as a user does.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "../scan_support/must.h"
#include "app/app.h"
#include "app/main_window/frm_main.h"
#include "core/paths.h"
#include "platform/win32/services_win32.h"
#include "caption_measure.h"
#include "platform/win32/ui_win32.h"

namespace kx {
namespace {

TEST(CaptionsFit, EveryLanguageOnEveryPanelAndTab) {
  char exe[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, exe, MAX_PATH);
  const std::string file = std::string(exe).substr(0, std::string(exe).rfind('\\')) + "\\Localization.txt";
  std::string source = std::string(KESTRIX_SOURCE_DIR) + "/packaging/Localization.txt";
  for (char& ch : source)
    if (ch == '/') ch = '\\';
  ASSERT_TRUE(CopyFileA(("Z:" + source).c_str(), file.c_str(), FALSE)) << "cannot put Localization.txt at " << file;

  win32::Win32Platform services;
  Platform platform = services.platform();
  PlaceholderCache folders(platform.system);
  CreateDirectoryA(DataFolder(folders).c_str(), nullptr);
  const std::string key = "Software\\Kestrix Labs\\Kestrix\\Settings";
  test_support::Must(platform.registry.CreateKey(Hive::CurrentUser, key), "CreateKey");
  for (auto [name, value] : {std::pair{"Language", "English"}, {"showHelp", "0"}, {"lblLastScan", "Never"}})
    test_support::Must(platform.registry.SetValue(Hive::CurrentUser, key, name, RegValue::String(value)), "SetValue");
  // No signed current date since long ago: the Status panel shows its warning.
  const std::string options = "Software\\Kestrix Labs\\Kestrix\\OptionAndSettings";
  test_support::Must(platform.registry.CreateKey(Hive::CurrentUser, options), "CreateKey");
  test_support::Must(platform.registry.SetValue(Hive::CurrentUser, options, "DateCheckSince", RegValue::String("1000000000")), "SetValue");
  (void)platform.registry.DeleteValue(Hive::CurrentUser, options, "DateConfirmed");  // it may not be there
  test_support::Must(platform.registry.CreateKey(Hive::LocalMachine, "SOFTWARE\\Kestrix Labs\\Kestrix\\Settings"), "CreateKey");
  test_support::Must(platform.registry.SetValue(Hive::LocalMachine, "SOFTWARE\\Kestrix Labs\\Kestrix\\Settings", "FirstTime",
                             RegValue::String("Yes")), "SetValue");

  win32::Win32Backend ui;
  App app(platform, ui, AppInfo{});
  app.Start();
  for (int i = 0; i < 400 && !app.main().visible(); ++i) Pump(50);
  ASSERT_TRUE(app.main().visible());
  FrmMain& main = app.main();
  FrmLanguage& language = app.language();
  language.Show();
  Pump(300);
  ui::Control& combo = language.Get("Combo1");
  const std::vector<std::string> languages = {"English", "Deutsch", "Fran\xE7" "ais"};
  ASSERT_EQ(combo.list(), languages);

  const char* artifacts = std::getenv("KESTRIX_ARTIFACTS");
  if (artifacts && *artifacts) CreateDirectoryA(("Z:" + std::string(artifacts)).c_str(), nullptr);
  for (size_t lang = 0; lang < languages.size(); ++lang) {
    language.Show();
    combo.set_list_index(static_cast<int>(lang));  // the user's choice
    Pump(200);
    EXPECT_EQ(app.settings().ReadSetting("Settings", "Language", ""), languages[lang]);
    ExpectCaptionsFit(language, languages[lang] + ", language window");
    language.Hide();  // out of the main window's screenshots
    EXPECT_TRUE(main.Get("lblDefUnconfirmed").visible()) << languages[lang];
    for (const char* panel : {"cmdStatus", "cmdScan", "cmdResults", "cmdSettings"}) {
      main.Get(panel).Click();
      for (int tab = 1; tab <= (std::string(panel) == "cmdSettings" ? 4 : 1); ++tab) {
        main.Get("TabStrip1").set_selected_tab(tab);
        Pump(150);
        ExpectCaptionsFit(main, languages[lang] + ", " + panel + " tab " + std::to_string(tab));
      }
      if (artifacts && *artifacts)
        win32::SaveWindowBitmap(main, "Z:" + std::string(artifacts) + "/captions_" + std::to_string(lang) + "_" + panel + ".bmp");
    }
  }
  language.Unload();
  main.Unload();
  (void)platform.registry.DeleteValue(Hive::CurrentUser, options, "DateCheckSince");  // clean-up
  DeleteFileA(file.c_str());
}

}  // namespace
}  // namespace kx
