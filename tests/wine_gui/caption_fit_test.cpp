// Every caption of the main window and the language window fits its control in each language
// the shipped Localization.txt offers, measured with the font Windows draws it in, and the
// languages are switched through the language window as a user does.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "app/app.h"
#include "app/frm_main.h"
#include "core/paths.h"
#include "platform/win32/services_win32.h"
#include "platform/win32/ui_win32.h"

namespace kx {
namespace {

bool PumpUntil(const std::function<bool()>& done, DWORD ms) {
  const DWORD start = GetTickCount();
  while (!done()) {
    if (GetTickCount() - start > ms) return false;
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&m);
      DispatchMessageA(&m);
    }
    Sleep(5);
  }
  return true;
}

void Pump(DWORD ms) { PumpUntil([] { return false; }, ms); }

std::string ProgramFolder() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string s = path;
  return s.substr(0, s.rfind('\\'));
}

std::string Shipped() {
  std::string unix = std::string(KESTRIX_SOURCE_DIR) + "/packaging/Localization.txt";
  for (char& c : unix)
    if (c == '/') c = '\\';
  std::ifstream in("Z:" + unix, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// Why the caption does not fit its control as Windows draws it, or "" when it does.
std::string Overflow(const ui::Control& c) {
  HWND h = static_cast<HWND>(c.native);
  if (!h || c.caption().empty() || c.caption() == "-") return "";
  RECT client;
  GetClientRect(h, &client);
  const int w = client.right, height = client.bottom;
  HDC dc = GetDC(h);
  HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(h, WM_GETFONT, 0, 0)));
  SIZE size{};
  GetTextExtentPoint32A(dc, c.caption().c_str(), static_cast<int>(c.caption().size()), &size);
  RECT wrapped{0, 0, w, 0};
  DrawTextA(dc, c.caption().c_str(), -1, &wrapped, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
  SelectObject(dc, old);
  ReleaseDC(h, dc);
  const int box = GetSystemMetrics(SM_CXMENUCHECK);
  int room = w;
  switch (c.type()) {
    case ui::ControlType::CommandButton: room = w - 8; break;              // edges and focus rectangle
    case ui::ControlType::CheckBox:
    case ui::ControlType::OptionButton: room = w - box - 6; break;         // the box and its gap
    case ui::ControlType::Frame: room = w - 20; break;                     // the caption sits in the line
    case ui::ControlType::Label:
      if (wrapped.bottom > height)
        return "needs " + std::to_string(wrapped.bottom) + " px of height, has " + std::to_string(height);
      return "";
    default: return "";
  }
  if (size.cx > room) return "needs " + std::to_string(size.cx) + " px, has " + std::to_string(room);
  return "";
}

// The shown controls of the form whose captions are cut.
std::vector<std::string> CutCaptions(ui::Form& form) {
  std::vector<std::string> cut;
  for (const auto& c : form.controls()) {
    if (!c->shown() || c->type() == ui::ControlType::Menu) continue;
    const std::string why = Overflow(*c);
    if (!why.empty()) cut.push_back(c->name() + (c->index() >= 0 ? "(" + std::to_string(c->index()) + ")" : "") +
                                    " \"" + c->caption() + "\": " + why);
  }
  return cut;
}

TEST(CaptionsFit, EveryLanguageOnEveryPanelAndTab) {
  const std::string file = ProgramFolder() + "\\Localization.txt";
  const std::string shipped = Shipped();
  ASSERT_GT(shipped.size(), 1000u) << "the shipped Localization.txt could not be read";
  {
    std::ofstream out(file, std::ios::binary);
    out << shipped;
    ASSERT_TRUE(out.good()) << file;
  }
  win32::Win32Platform services;
  Platform platform = services.platform();
  PlaceholderCache folders(platform.system);
  CreateDirectoryA(DataFolder(folders).c_str(), nullptr);
  const std::string key = "Software\\Kestrix Labs\\Kestrix\\";
  platform.registry.CreateKey(Hive::CurrentUser, key + "Settings");
  platform.registry.SetValue(Hive::CurrentUser, key + "Settings", "Language", RegValue::String("English"));
  platform.registry.SetValue(Hive::CurrentUser, key + "Settings", "showHelp", RegValue::String("0"));
  platform.registry.SetValue(Hive::CurrentUser, key + "Settings", "lblLastScan", RegValue::String("Never"));
  platform.registry.DeleteValue(Hive::CurrentUser, key + "Settings", "lblLastFullScan");
  platform.registry.CreateKey(Hive::LocalMachine, "SOFTWARE\\Kestrix Labs\\Kestrix\\Settings");
  platform.registry.SetValue(Hive::LocalMachine, "SOFTWARE\\Kestrix Labs\\Kestrix\\Settings", "FirstTime",
                             RegValue::String("Yes"));

  win32::Win32Backend ui;
  App app(platform, ui, AppInfo{});
  app.Start();
  ASSERT_TRUE(PumpUntil([&] { return app.main().visible(); }, 20000));
  FrmMain& main = app.main();
  FrmLanguage& language = app.language();
  language.Show();
  Pump(300);
  ui::Control& combo = language.Get("Combo1");
  const std::vector<std::string> expected = {"English", "Deutsch", "Fran\xE7" "ais"};
  ASSERT_EQ(combo.list(), expected);

  const char* artifacts = std::getenv("KESTRIX_ARTIFACTS");
  for (size_t lang = 0; lang < expected.size(); ++lang) {
    language.Show();
    combo.set_list_index(static_cast<int>(lang));  // the user's choice
    Pump(200);
    SCOPED_TRACE(expected[lang]);
    EXPECT_EQ(app.settings().ReadSetting("Settings", "Language", ""), expected[lang]);
    for (const std::string& cut : CutCaptions(language)) ADD_FAILURE() << "frmLanguage." << cut;
    language.Hide();  // out of the main window's screenshots

    // Each panel, and each tab of the options panel.
    const char* panels[] = {"cmdStatus", "cmdScan", "cmdResults", "cmdSettings"};
    for (const char* panel : panels) {
      main.Get(panel).Click();
      const int tabs = std::string(panel) == "cmdSettings" ? 4 : 1;
      for (int tab = 1; tab <= tabs; ++tab) {
        if (tabs > 1) main.Get("TabStrip1").set_selected_tab(tab);
        Pump(150);
        for (const std::string& cut : CutCaptions(main)) ADD_FAILURE() << panel << " tab " << tab << ": " << cut;
        if (artifacts && *artifacts) {
          std::string dir = artifacts;
          for (char& c : dir)
            if (c == '/') c = '\\';
          if (dir[0] == '\\') dir = "Z:" + dir;
          CreateDirectoryA(dir.c_str(), nullptr);
          win32::SaveWindowBitmap(main, dir + "\\captions_" + std::to_string(lang) + "_" + panel + "_" +
                                            std::to_string(tab) + ".bmp");
        }
      }
    }
  }
  main.Get("TabStrip1").set_selected_tab(1);
  language.Unload();
  main.Unload();
  DeleteFileA(file.c_str());
}

}  // namespace
}  // namespace kx
