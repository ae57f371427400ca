// The program's windows as Windows sees them: the pop-ups are tool windows without caption
// or taskbar button, the About box a dialog centred on the main window, the main window keeps
// room for its side bar and panels and repaints what its layout moved, and the results list's
// columns fill the list; after Delete the results panel says what became of the items and
// counts what is left; the Status frame, the log window and the report speak the chosen
// language. Screenshots in English and German go with the artifacts.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "app/app.h"
#include "app/main_window/frm_main.h"
#include "app/tray/frm_menu_popup.h"
#include "app/tray/frm_signature_updated.h"
#include "app/windows/frm_splash.h"
#include "report/frm_report.h"
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

// What the screen shows of one part of a window (screen coordinates): its pixels, and how wide
// the span drawn darker than any face or line colour is, which is text.
struct Drawn {
  std::vector<uint32_t> pixels;
  int ink = 0;
};
Drawn DrawnIn(HWND window, const RECT& part) {
  RECT w{};
  GetWindowRect(window, &w);
  const int width = w.right - w.left, height = w.bottom - w.top;
  const std::vector<uint32_t> all = OnScreen(window);
  Drawn d;
  int left = INT_MAX, right = -1;
  for (int y = part.top - w.top; y < part.bottom - w.top; ++y)
    for (int x = part.left - w.left; x < part.right - w.left; ++x) {
      if (x < 0 || y < 0 || x >= width || y >= height) continue;
      const uint32_t p = all[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)];
      d.pixels.push_back(p);
      if (GetRValue(p) + GetGValue(p) + GetBValue(p) < 3 * 0x90) left = std::min(left, x), right = std::max(right, x);
    }
  d.ink = right < left ? 0 : right - left + 1;
  return d;
}
Drawn DrawnIn(HWND window, HWND part) {
  RECT r{};
  GetWindowRect(part, &r);
  return DrawnIn(window, r);
}

// The text a window shows, as Windows holds it.
std::string TextOf(HWND h) {
  std::string text(static_cast<size_t>(GetWindowTextLengthA(h)) + 1, '\0');
  text.resize(static_cast<size_t>(GetWindowTextA(h, text.data(), static_cast<int>(text.size()))));
  return text;
}

// How wide one line of text is in the font the control draws with.
int TextWidthIn(HWND control, const std::string& text) {
  HDC dc = GetDC(control);
  HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(control, WM_GETFONT, 0, 0)));
  SIZE size{};
  GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &size);
  SelectObject(dc, old);
  ReleaseDC(control, dc);
  return size.cx;
}

// One line of text drawn whole: its ink about as wide as the text in the control's font.
void ExpectDrawnLine(HWND window, HWND control, const std::string& text, const RECT& where, const std::string& what) {
  const int drawn = DrawnIn(window, where).ink, wide = TextWidthIn(control, text);
  EXPECT_GE(drawn, wide * 85 / 100) << what << ": \"" << text << "\" drawn " << drawn << " px of " << wide;
  EXPECT_LE(drawn, wide + 4) << what << ": \"" << text << "\" drawn " << drawn << " px of " << wide;
}

// A window's top rows are one colour: no caption bar and no caption buttons are drawn there.
void ExpectNoCaptionBar(const ui::Form& f, int rows) {
  RECT r{};
  GetWindowRect(Hwnd(f), &r);
  const Drawn top = DrawnIn(Hwnd(f), RECT{r.left + 2, r.top + 2, r.right - 2, r.top + rows});
  ASSERT_FALSE(top.pixels.empty()) << f.name();
  size_t other = 0;
  for (uint32_t p : top.pixels) other += p != top.pixels.front();
  EXPECT_EQ(other, 0u) << f.name() << ": something is drawn along the top";
}

BOOL CALLBACK FindMessageBox(HWND h, LPARAM found) {
  char cls[16] = {};
  GetClassNameA(h, cls, sizeof cls);
  if (std::string(cls) != "#32770" || !IsWindowVisible(h)) return TRUE;
  *reinterpret_cast<HWND*>(found) = h;
  return FALSE;
}

// Presses a button of the message box that the next handler opens, once it is up.
void AnswerMessageBox(win32::Win32Backend& ui, int button, DWORD until = 0) {
  if (!until) until = GetTickCount() + 20000;
  ui.Post([&ui, button, until] {
    HWND box = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), FindMessageBox, reinterpret_cast<LPARAM>(&box));
    if (box) PostMessageA(GetDlgItem(box, button), BM_CLICK, 0, 0);
    else if (static_cast<LONG>(GetTickCount() - until) < 0) AnswerMessageBox(ui, button, until);
    else ADD_FAILURE() << "no message box to answer";
  });
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
    Plant();
    for (auto [section, name, value] :
         {std::tuple{"Settings", "Language", "English"}, {"Settings", "showHelp", "0"}, {"Settings", "Minimized", "No"},
          {"Settings", "Max", "0"}, {"OptionAndSettings", "chkScanRegistry", "1"},
          {"OptionAndSettings", "chkSweepMemory", "1"}, {"OptionAndSettings", "chkScanCookies", "0"},
          {"OptionAndSettings", "optIEHomePageSheildOn", "False"}, {"OptionAndSettings", "optMemorySheildOn", "False"},
          {"OptionAndSettings", "chkSendData", "0"}, {"OptionAndSettings", "chkMakeLog", "1"}}) {
      EXPECT_EQ(platform.registry.CreateKey(Hive::CurrentUser, user + section), RegStatus::Ok);
      EXPECT_EQ(platform.registry.SetValue(Hive::CurrentUser, user + section, name, RegValue::String(value)),
                RegStatus::Ok);
    }
    for (int n = 1; n <= 3; ++n)  // the user's dragged widths, when a run left any
      (void)platform.registry.DeleteValue(Hive::CurrentUser, user + "Settings", "FoundCol2" + std::to_string(n));
    const std::string machine = "SOFTWARE\\Kestrix Labs\\Kestrix\\Settings";
    EXPECT_EQ(platform.registry.CreateKey(Hive::LocalMachine, machine), RegStatus::Ok);
    EXPECT_EQ(platform.registry.SetValue(Hive::LocalMachine, machine, "FirstTime", RegValue::String("Yes")), RegStatus::Ok);
    // The shipped languages beside the program, for the German screenshots.
    char exe[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, exe, MAX_PATH);
    localization = std::string(exe).substr(0, std::string(exe).rfind('\\')) + "\\Localization.txt";
    std::string source = "Z:" + std::string(KESTRIX_SOURCE_DIR) + "/packaging/Localization.txt";
    EXPECT_TRUE(CopyFileA(source.c_str(), localization.c_str(), FALSE)) << source;
  }
  // Again after a Delete took them.
  void Plant() {
    EXPECT_TRUE(platform.files.WriteFile(planted, "MZ"));
    EXPECT_EQ(platform.registry.CreateKey(Hive::CurrentUser, threatKey), RegStatus::Ok);
    EXPECT_EQ(platform.registry.OpenKey(Hive::CurrentUser, threatKey, KEY_READ), RegStatus::Ok);
  }
  ~Machine() {
    // Clean-up: what is already gone is fine.
    for (int n = 1; n <= 3; ++n)
      (void)platform.registry.DeleteValue(Hive::CurrentUser, user + "Settings", "FoundCol2" + std::to_string(n));
    DeleteFileA(planted.c_str());
    (void)platform.registry.DeleteTree(Hive::CurrentUser, threatKey);
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
    // What the language file says there (Windows-1252).
    const char* loading;  // the splash
    const char* status;   // the Status panel's frame
    const char* log;      // the log window's title
    const char* reportTitle;
    const char* reportStarted;
    const char* removed;  // after the number of items a removal run took
  };
  const Language languages[] = {
      {0, "en", VK_ESCAPE, "Loading...", "Kestrix Status", "Kestrix Log", "Scan Report.", "Scan Started at",
       " item(s) removed."},
      {1, "de", VK_RETURN, "Wird geladen...", "Kestrix-Status", "Kestrix-Protokoll", "Pr\xFC" "fbericht.",
       "Pr\xFC" "fung begonnen um", " Element(e) entfernt."},
  };
  // English's pixels where the languages must differ, and German's beside them.
  std::vector<uint32_t> loadingShown[2], statusShown[2], noticeShown[2], summaryShown[2], menuShown[2];
  for (const Language& lang : languages) {
    SCOPED_TRACE(lang.tag);
    app.language().Show();
    app.language().Get("Combo1").set_list_index(lang.index);
    Pump(200);
    app.language().Hide();
    // The counters stay with the rows the last scan left.
    main.Get("cmdResults").Click();
    Pump(100);
    if (const int rows = ListView_GetItemCount(Hwnd(results)); rows > 0) {
      EXPECT_EQ(TextOf(Hwnd(main.Get("lblRemovePicSoftwareFound"))), std::to_string(rows)) << "after the switch";
    }

    // A scan in this language: its report is written in it, and the counters count its rows.
    machine.Plant();
    main.Get("cmdScan").Click();
    main.Get("cmdScanNow").Click();
    ASSERT_TRUE(PumpUntil([&] { return main.Get("cmdScan").enabled(); }, 60000)) << "the scan did not end";
    main.Get("cmdResults").Click();
    Pump(100);
    ASSERT_EQ(ListView_GetItemCount(Hwnd(results)), 2) << "the planted key and file";
    EXPECT_EQ(TextOf(Hwnd(main.Get("lblRemovePicSoftwareFound"))), "2");
    EXPECT_EQ(TextOf(Hwnd(main.Get("lbltracesFound"))), "2");
    // Nothing is left of the last removal's line.
    const HWND summary = Hwnd(main.Get("lblRemovalSummary"));
    EXPECT_FALSE(IsWindowVisible(summary));
    EXPECT_EQ(DrawnIn(mainWindow, summary).ink, 0);
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
    menuShown[lang.index] = DrawnIn(Hwnd(menu), Hwnd(menu.Get("lblMenuClose"))).pixels;
    Screenshot(menu, std::string("frames_") + lang.tag + "_menu.bmp");
    menu.Unload();
    // The notice as Live Update shows it, risen to its place.
    FrmSignatureUpdated& notice = app.signatureUpdated();
    notice.ShowNotice(app.Message("MSG_UPDATED_DEFS"));
    ASSERT_TRUE(PumpUntil([&] { return !notice.Get("tmrPopupSignatureUpdate").enabled(); }, 15000));
    Pump(200);
    ExpectToolWindow(notice);
    ExpectNoCaptionBar(notice, 8);
    const HWND noticeText = Hwnd(notice.Get("lblUpdateInfo"));
    EXPECT_GT(DrawnIn(Hwnd(notice), noticeText).ink, TextWidthIn(noticeText, "Kestrix")) << "the notice says nothing";
    noticeShown[lang.index] = DrawnIn(Hwnd(notice), noticeText).pixels;
    Screenshot(notice, std::string("frames_") + lang.tag + "_notice.bmp");
    notice.Unload();

    // The splash, shown again: no caption, its text in this language.
    FrmSplash& splash = app.splash();
    splash.Show();
    Pump(300);
    ExpectToolWindow(splash);
    ExpectNoCaptionBar(splash, 20);
    const HWND loading = Hwnd(splash.Get("lblLoading"));
    EXPECT_EQ(TextOf(loading), lang.loading);
    {
      RECT r{};
      GetWindowRect(loading, &r);
      ExpectDrawnLine(Hwnd(splash), loading, lang.loading, r, "splash");
      loadingShown[lang.index] = DrawnIn(Hwnd(splash), r).pixels;
    }
    Screenshot(splash, std::string("frames_") + lang.tag + "_splash.bmp");
    splash.Hide();

    // The Status panel's frame title.
    main.Get("cmdStatus").Click();
    Pump(200);
    const HWND frame = Hwnd(main.Get("frmStatus"));
    EXPECT_EQ(TextOf(frame), lang.status);
    {
      RECT r{};
      GetWindowRect(frame, &r);
      TEXTMETRICA tm{};
      HDC dc = GetDC(frame);
      HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(frame, WM_GETFONT, 0, 0)));
      GetTextMetricsA(dc, &tm);
      SelectObject(dc, old);
      ReleaseDC(frame, dc);
      r.bottom = r.top + tm.tmHeight;  // the caption's line; the frame's own lines are no ink
      ExpectDrawnLine(mainWindow, frame, lang.status, r, "Status frame");
      statusShown[lang.index] = DrawnIn(mainWindow, r).pixels;
    }
    Screenshot(main, std::string("frames_") + lang.tag + "_status.bmp");

    // The log window: its title and the report's fixed texts.
    bool logChecked = false;
    ui.Post([&] {
      logChecked = true;
      FrmReport& log = app.report();
      const HWND h = Hwnd(log);
      ASSERT_TRUE(h && IsWindowVisible(h));
      EXPECT_EQ(TextOf(h), lang.log);
      const HWND text = Hwnd(log.Get("txtReport"));
      const std::string report = TextOf(text);
      EXPECT_NE(report.find(lang.reportStarted), std::string::npos) << report;
      const size_t title = report.find(lang.reportTitle);
      EXPECT_NE(title, std::string::npos) << report;
      if (title != std::string::npos) {
        // Where the edit draws the heading, it is drawn.
        const LRESULT at = SendMessageA(text, EM_POSFROMCHAR, title, 0);
        POINT p{static_cast<short>(LOWORD(at)), static_cast<short>(HIWORD(at))};
        ClientToScreen(text, &p);
        const int wide = TextWidthIn(text, lang.reportTitle);
        ExpectDrawnLine(h, text, lang.reportTitle, RECT{p.x, p.y, p.x + wide + 2, p.y + 12}, "report heading");
      }
      Screenshot(log, std::string("frames_") + lang.tag + "_log.bmp");
      PostMessageA(h, WM_KEYDOWN, VK_ESCAPE, 0);
      PostMessageA(h, WM_KEYUP, VK_ESCAPE, 0);
    });
    main.Get("cmdLog").Click();
    EXPECT_TRUE(logChecked);

    // Delete: the list empties, the counters count what is left, and a line says what the run did.
    main.Get("cmdResults").Click();
    Pump(100);
    main.Get("cmdSelectAll").Click();
    AnswerMessageBox(ui, IDYES);
    main.Get("Command4").Click();
    Pump(300);
    EXPECT_EQ(ListView_GetItemCount(Hwnd(results)), 0);
    for (const char* count : {"lbltracesFound", "lblRemovePicSoftwareFound"}) {
      const HWND h = Hwnd(main.Get(count));
      EXPECT_EQ(TextOf(h), "0") << count;
      RECT r{};
      GetWindowRect(h, &r);
      ExpectDrawnLine(mainWindow, h, "0", r, count);
    }
    EXPECT_TRUE(IsWindowVisible(summary));
    const std::string said = TextOf(summary);
    EXPECT_EQ(said.rfind(std::string("2") + lang.removed, 0), 0u) << said;
    EXPECT_NE(said.find(machine.data + "\\quarantine"), std::string::npos) << said;
    // Drawn wider than its first sentence alone: the line runs on to the quarantine.
    EXPECT_GT(DrawnIn(mainWindow, summary).ink, TextWidthIn(summary, std::string("2") + lang.removed)) << said;
    summaryShown[lang.index] = DrawnIn(mainWindow, summary).pixels;
    Screenshot(main, std::string("frames_") + lang.tag + "_removed.bmp");
  }
  const std::pair<const char*, std::vector<uint32_t>*> compared[] = {
      {"splash", loadingShown}, {"Status frame", statusShown}, {"notice", noticeShown},
      {"removal summary", summaryShown}, {"tray menu", menuShown}};
  for (const auto& [what, shown] : compared)
    EXPECT_TRUE(shown[0] != shown[1]) << what << ": English and German look the same";

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
