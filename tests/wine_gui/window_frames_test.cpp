// The program's windows as Windows sees them: the pop-ups are tool windows without caption
// or taskbar button, the About box a dialog centred on the main window, the main window keeps
// room for its side bar and panels and repaints what its layout moved, and the results list's
// columns fill the list. Screenshots in English and German go with the artifacts.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "app/app.h"
#include "app/main_window/frm_main.h"
#include "app/tray/frm_menu_popup.h"
#include "app/tray/frm_signature_updated.h"
#include "app/windows/frm_splash.h"
#include "caption_measure.h"
#include "core/paths.h"
#include "platform/win32/services_win32.h"
#include "platform/win32/ui_win32.h"
#include "scan_support/scan_kit.h"

namespace kx {
namespace {

HWND Hwnd(const ui::Form& f) { return static_cast<HWND>(f.native); }
HWND Hwnd(const ui::Control& c) { return static_cast<HWND>(c.native); }

bool PumpUntil(const std::function<bool()>& done, DWORD ms) {
  for (const DWORD start = GetTickCount(); !done(); Pump(10))
    if (GetTickCount() - start > ms) return done();
  return true;
}

// Windows' own rule for a taskbar button: a visible top-level window that is not owned and
// not a tool window, or any with WS_EX_APPWINDOW.
bool InTaskbar(HWND h) {
  const LONG_PTR ex = GetWindowLongPtrA(h, GWL_EXSTYLE);
  return (ex & WS_EX_APPWINDOW) || (!GetWindow(h, GW_OWNER) && !(ex & WS_EX_TOOLWINDOW));
}

POINT Centre(HWND h) {
  RECT r{};
  GetWindowRect(h, &r);
  return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

// The window as it is on the screen now, nothing redrawn first.
std::vector<uint32_t> OnScreen(HWND h) {
  RECT r{};
  GetWindowRect(h, &r);
  const int cx = r.right - r.left, cy = r.bottom - r.top;
  HDC screen = GetDC(nullptr);
  HDC mem = CreateCompatibleDC(screen);
  HBITMAP bmp = CreateCompatibleBitmap(screen, cx, cy);
  HGDIOBJ old = SelectObject(mem, bmp);
  BitBlt(mem, 0, 0, cx, cy, screen, r.left, r.top, SRCCOPY);
  SelectObject(mem, old);
  BITMAPINFOHEADER bi{};
  bi.biSize = sizeof bi;
  bi.biWidth = cx;
  bi.biHeight = -cy;  // top row first
  bi.biPlanes = 1;
  bi.biBitCount = 32;
  bi.biCompression = BI_RGB;
  std::vector<uint32_t> pixels(static_cast<size_t>(cx) * static_cast<size_t>(cy));
  GetDIBits(mem, bmp, 0, static_cast<UINT>(cy), pixels.data(), reinterpret_cast<BITMAPINFO*>(&bi), DIB_RGB_COLORS);
  DeleteObject(bmp);
  DeleteDC(mem);
  ReleaseDC(nullptr, screen);
  return pixels;
}

void Screenshot(ui::Form& f, const std::string& name) {
  const char* artifacts = std::getenv("KESTRIX_ARTIFACTS");
  if (!artifacts || !*artifacts) return;
  CreateDirectoryA(("Z:" + std::string(artifacts)).c_str(), nullptr);
  Pump(200);
  EXPECT_TRUE(win32::SaveWindowBitmap(f, "Z:" + std::string(artifacts) + "/" + name)) << name;
}

// A pop-up: no caption, no caption buttons, no sizing frame, a tool window, no taskbar button.
void ExpectToolWindow(const ui::Form& f) {
  const HWND h = Hwnd(f);
  ASSERT_TRUE(h && IsWindowVisible(h)) << f.name();
  const LONG_PTR style = GetWindowLongPtrA(h, GWL_STYLE), ex = GetWindowLongPtrA(h, GWL_EXSTYLE);
  EXPECT_TRUE(style & WS_POPUP) << f.name();
  EXPECT_EQ(style & (WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME), 0) << f.name();
  EXPECT_TRUE(ex & WS_EX_TOOLWINDOW) << f.name();
  EXPECT_FALSE(InTaskbar(h)) << f.name();
}

// The columns' widths add up to the list's client width, the location column the widest.
void ExpectColumnsFill(const ui::Control& list, const std::string& where) {
  const HWND h = Hwnd(list);
  RECT client{};
  GetClientRect(h, &client);
  const int name = ListView_GetColumnWidth(h, 0), location = ListView_GetColumnWidth(h, 1),
            type = ListView_GetColumnWidth(h, 2);
  EXPECT_EQ(name + location + type, client.right) << where;
  EXPECT_GT(location, name) << where;
  EXPECT_GT(location, type) << where;
}

struct Machine {
  win32::Win32Platform services;
  Platform platform = services.platform();
  std::string data, planted, localization;
  const std::string user = "Software\\Kestrix Labs\\Kestrix\\";
  const std::string threatKey = "Software\\KestrixFramesTest EvilCorp Toolbar";

  Machine() {
    PlaceholderCache folders(platform.system);
    data = DataFolder(folders);
    CreateDirectoryA(data.c_str(), nullptr);
    // What a Quick Scan finds: a registry key and a file, under long locations.
    const auto file = [&](const char* name, std::vector<std::string> lines) {
      EXPECT_TRUE(platform.files.WriteFile(data + "\\" + name, scantest::EncodeFile(lines))) << name;
    };
    file("RegistryDefinition.dat", {"1^" + threatKey + "^=EvilCorp Toolbar|Adware"});
    file("FileDefinition.dat", {"evilcorp_toolbar_helper_kxframes.dll=EvilCorp Search Helper|[windir]|Adware"});
    for (const char* f : {"ExeDefinition.dat", "BlockedCookies.dat", "DirectoryDefinition.dat"}) file(f, {"x"});
    char windir[MAX_PATH] = {};
    GetWindowsDirectoryA(windir, MAX_PATH);
    planted = std::string(windir) + "\\evilcorp_toolbar_helper_kxframes.dll";
    EXPECT_TRUE(platform.files.WriteFile(planted, "MZ"));
    platform.registry.CreateKey(Hive::CurrentUser, threatKey);
    EXPECT_EQ(platform.registry.OpenKey(Hive::CurrentUser, threatKey, KEY_READ), RegStatus::Ok);
    for (auto [section, name, value] :
         {std::tuple{"Settings", "Language", "English"}, {"Settings", "showHelp", "0"}, {"Settings", "Minimized", "No"},
          {"Settings", "Max", "0"}, {"OptionAndSettings", "chkScanRegistry", "1"},
          {"OptionAndSettings", "chkSweepMemory", "1"}, {"OptionAndSettings", "chkScanCookies", "0"},
          {"OptionAndSettings", "optIEHomePageSheildOn", "False"}, {"OptionAndSettings", "optMemorySheildOn", "False"}}) {
      platform.registry.CreateKey(Hive::CurrentUser, user + section);
      platform.registry.SetValue(Hive::CurrentUser, user + section, name, RegValue::String(value));
    }
    for (int n = 1; n <= 3; ++n)
      platform.registry.DeleteValue(Hive::CurrentUser, user + "Settings", "FoundCol2" + std::to_string(n));
    const std::string machine = "SOFTWARE\\Kestrix Labs\\Kestrix\\Settings";
    platform.registry.CreateKey(Hive::LocalMachine, machine);
    platform.registry.SetValue(Hive::LocalMachine, machine, "FirstTime", RegValue::String("Yes"));
    // The shipped languages beside the program, for the German screenshots.
    char exe[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, exe, MAX_PATH);
    localization = std::string(exe).substr(0, std::string(exe).rfind('\\')) + "\\Localization.txt";
    std::string source = "Z:" + std::string(KESTRIX_SOURCE_DIR) + "/packaging/Localization.txt";
    EXPECT_TRUE(CopyFileA(source.c_str(), localization.c_str(), FALSE)) << source;
  }
  ~Machine() {
    for (int n = 1; n <= 3; ++n)
      platform.registry.DeleteValue(Hive::CurrentUser, user + "Settings", "FoundCol2" + std::to_string(n));
    DeleteFileA(planted.c_str());
    platform.registry.DeleteTree(Hive::CurrentUser, threatKey);
    DeleteFileA(localization.c_str());
  }
};

TEST(WindowFrames, PopUpsAboutBoxMinimumSizeRepaintAndResultColumns) {
  Machine machine;
  win32::Win32Backend ui;
  App app(machine.platform, ui, AppInfo{});
  app.Start();
  ASSERT_TRUE(PumpUntil([&] { return Hwnd(app.splash()) && IsWindowVisible(Hwnd(app.splash())); }, 5000));
  ExpectToolWindow(app.splash());
  {
    RECT work{}, splash{};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    GetWindowRect(Hwnd(app.splash()), &splash);
    EXPECT_NEAR((splash.left + splash.right) / 2, (work.left + work.right) / 2, 1) << "splash not centred";
    EXPECT_NEAR((splash.top + splash.bottom) / 2, (work.top + work.bottom) / 2, 1) << "splash not centred";
  }
  FrmMain& main = app.main();
  ASSERT_TRUE(PumpUntil([&] { return main.visible(); }, 30000));
  const HWND mainWindow = Hwnd(main);
  ASSERT_TRUE(InTaskbar(mainWindow));

  // A Quick Scan's rows in the results list.
  main.Get("optScanOnlyKnownSoftwares").Click();
  main.Get("cmdScan").Click();
  main.Get("cmdScanNow").Click();
  ASSERT_TRUE(PumpUntil([&] { return main.Get("cmdScan").enabled(); }, 60000)) << "the scan did not end";
  main.Get("cmdResults").Click();
  ui::Control& results = main.Get("lvwPicRemoveListOfSpywareFoundAndToBeRemoved");
  std::string rows;
  for (const auto& row : results.items()) rows += row.text + " | " + row.SubItem(1) + "\n";
  ASSERT_GE(ListView_GetItemCount(Hwnd(results)), 2) << "the planted key and file were not both found:\n" << rows;

  // Dragged below its minimum, the window keeps every control of every panel inside it.
  SetWindowPos(mainWindow, nullptr, 0, 0, 200, 150, SWP_NOZORDER | SWP_NOACTIVATE);
  Pump(200);
  RECT client{};
  GetClientRect(mainWindow, &client);
  MapWindowPoints(mainWindow, nullptr, reinterpret_cast<POINT*>(&client), 2);
  for (const char* panel : {"cmdStatus", "cmdScan", "cmdSettings", "cmdResults"}) {
    main.Get(panel).Click();
    Pump(100);
    for (const auto& c : main.controls()) {
      if (!c->shown() || !c->native || c->type() == ui::ControlType::Menu) continue;
      // The working lists stand outside the client area on purpose, never seen.
      bool working = false;
      for (const ui::Control* p = c.get(); p; p = p->container()) working = working || p->name() == "fraWorkingLists";
      if (working) continue;
      RECT r{}, inside{};
      GetWindowRect(Hwnd(*c), &r);
      if (IsRectEmpty(&r)) continue;
      IntersectRect(&inside, &r, &client);
      EXPECT_TRUE(EqualRect(&inside, &r)) << panel << ": " << c->name() << " clipped by the window's edge";
    }
  }

  // The columns fill the list at any size, until the user drags one.
  struct Size {
    const char* what;
    std::function<void()> apply;
  };
  const std::vector<Size> sizes = {
      {"at the minimum", [] {}},
      {"at 1000x700", [&] { SetWindowPos(mainWindow, nullptr, 0, 0, 1000, 700, SWP_NOZORDER | SWP_NOACTIVATE); }},
      {"maximised", [&] { ShowWindow(mainWindow, SW_MAXIMIZE); }},
  };
  for (const Size& s : sizes) {
    s.apply();
    Pump(200);
    ExpectColumnsFill(results, s.what);
  }
  // The Scan panel sized from its smallest to the whole work area: what is on the screen is
  // what a full redraw gives. (Without a window manager, Xvfb's windows do not take a
  // maximised size on the screen, so the same growth is made by hand.)
  main.Get("cmdScan").Click();
  ShowWindow(mainWindow, SW_RESTORE);
  SetWindowPos(mainWindow, nullptr, 0, 0, 200, 150, SWP_NOZORDER | SWP_NOACTIVATE);
  Pump(300);
  RECT work{};
  SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
  SetWindowPos(mainWindow, nullptr, work.left, work.top, work.right - work.left, work.bottom - work.top,
               SWP_NOZORDER | SWP_NOACTIVATE);
  Pump(500);
  const std::vector<uint32_t> shown = OnScreen(mainWindow);
  RedrawWindow(mainWindow, nullptr, nullptr, RDW_ERASE | RDW_INVALIDATE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
  Pump(300);
  const std::vector<uint32_t> redrawn = OnScreen(mainWindow);
  ASSERT_EQ(shown.size(), redrawn.size());
  size_t stale = 0;
  for (size_t i = 0; i < shown.size(); ++i) stale += shown[i] != redrawn[i];
  EXPECT_EQ(stale, 0u) << "pixels left over from before the resize";
  main.Get("cmdResults").Click();

  struct Language {
    int index;
    const char* tag;
    WPARAM closesAbout;  // the key that closes the About box, Escape in one and Enter in the other
  };
  for (const Language lang : {Language{0, "en", VK_ESCAPE}, Language{1, "de", VK_RETURN}}) {
    SCOPED_TRACE(lang.tag);
    app.language().Show();
    app.language().Get("Combo1").set_list_index(lang.index);
    Pump(200);
    app.language().Hide();
    ShowWindow(mainWindow, SW_MAXIMIZE);
    main.Get("cmdResults").Click();
    Pump(200);
    ExpectColumnsFill(results, std::string("maximised, ") + lang.tag);
    // On the screen as large as a maximised window (see the Scan panel above).
    ShowWindow(mainWindow, SW_RESTORE);
    SetWindowPos(mainWindow, nullptr, work.left, work.top, work.right - work.left, work.bottom - work.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    Pump(300);
    ExpectColumnsFill(results, std::string("as large as the work area, ") + lang.tag);
    Screenshot(main, std::string("frames_") + lang.tag + "_results_large.bmp");
    main.Get("cmdScan").Click();
    Screenshot(main, std::string("frames_") + lang.tag + "_scan_large.bmp");
    main.Get("cmdResults").Click();
    SetWindowPos(mainWindow, nullptr, 0, 0, 1000, 700, SWP_NOZORDER | SWP_NOACTIVATE);
    ShowWindow(mainWindow, SW_RESTORE);
    Pump(200);
    Screenshot(main, std::string("frames_") + lang.tag + "_results.bmp");

    // The About box: a modal dialog owned by the main window, centred on it; the key closes it.
    ui::Form& about = app.about();
    bool checked = false;
    ui.Post([&] {
      checked = true;
      const HWND h = Hwnd(about);
      ASSERT_TRUE(h && IsWindowVisible(h));
      const LONG_PTR style = GetWindowLongPtrA(h, GWL_STYLE);
      EXPECT_EQ(style & WS_CAPTION, WS_CAPTION);
      EXPECT_TRUE(style & WS_SYSMENU);
      EXPECT_EQ(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME), 0);
      EXPECT_EQ(GetWindow(h, GW_OWNER), mainWindow);
      EXPECT_FALSE(InTaskbar(h));
      EXPECT_FALSE(IsWindowEnabled(mainWindow)) << "the About box is not modal";
      const POINT a = Centre(h), m = Centre(mainWindow);
      EXPECT_NEAR(a.x, m.x, 1);
      EXPECT_NEAR(a.y, m.y, 1);
      for (const char* label : {"lblProductName", "lblVersion", "lblCompany", "lblCopyright", "lblWebsite"})
        EXPECT_FALSE(about.Get(label).caption().empty()) << label;
      EXPECT_EQ(about.Get("lblCopyright").caption(), "Copyright (C) 2026 Kestrix Labs");
      EXPECT_TRUE(SendMessageA(Hwnd(about.Get("picIcon")), STM_GETICON, 0, 0)) << "no icon";
      ExpectCaptionsFit(about, "About box");
      Screenshot(about, std::string("frames_") + lang.tag + "_about.bmp");
      PostMessageA(h, WM_KEYDOWN, lang.closesAbout, 0);
      PostMessageA(h, WM_KEYUP, lang.closesAbout, 0);
      // Should the key not close it, OK does, so the test goes on to fail rather than hang.
      ui.Post([&] {
        if (!about.loaded()) return;
        ADD_FAILURE() << "the key " << lang.closesAbout << " did not close the About box";
        about.Get("cmdOK").Click();
      });
    });
    main.Get("mnuAboutItem").Click();
    EXPECT_TRUE(checked);
    EXPECT_FALSE(about.loaded());
    EXPECT_TRUE(IsWindowEnabled(mainWindow));

    // The slide-up menu and the update notice.
    FrmMenuPopUp& menu = app.menuPopUp();
    menu.Load();
    ASSERT_TRUE(PumpUntil([&] { return !menu.Get("tmrMenuPopup").enabled(); }, 15000));
    ExpectToolWindow(menu);
    Screenshot(menu, std::string("frames_") + lang.tag + "_menu.bmp");
    menu.Unload();
    FrmSignatureUpdated& notice = app.signatureUpdated();
    notice.Load();
    Pump(200);
    ExpectToolWindow(notice);
    notice.Unload();
  }

  // Widths the user drags stay as they are when the window is sized, and are kept for the
  // next start.
  ShowWindow(mainWindow, SW_RESTORE);
  SetWindowPos(mainWindow, nullptr, 0, 0, 1000, 700, SWP_NOZORDER | SWP_NOACTIVATE);
  Pump(200);
  ListView_SetColumnWidth(Hwnd(results), 0, 300);
  Pump(100);
  const int dragged[3] = {ListView_GetColumnWidth(Hwnd(results), 0), ListView_GetColumnWidth(Hwnd(results), 1),
                          ListView_GetColumnWidth(Hwnd(results), 2)};
  EXPECT_EQ(dragged[0], 300);
  SetWindowPos(mainWindow, nullptr, 0, 0, 1200, 800, SWP_NOZORDER | SWP_NOACTIVATE);
  Pump(200);
  for (int i = 0; i < 3; ++i)
    EXPECT_EQ(ListView_GetColumnWidth(Hwnd(results), i), dragged[i]) << "column " << i << " followed the list";
  main.Unload();
  Pump(200);
  RegValue stored;
  machine.platform.registry.QueryValue(Hive::CurrentUser, machine.user + "Settings", "FoundCol21", stored);
  EXPECT_EQ(stored.AsString().value_or("none"), std::to_string(MulDiv(300, 1440, ui.Dpi())));
}

}  // namespace
}  // namespace kx
