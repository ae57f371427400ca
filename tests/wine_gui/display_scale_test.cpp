// The program at the display scale its prefix was set to (KESTRIX_E2E_DPI) on a 1920x1080
// screen: the tray icon's clicks reach it, the menu and the notice rise inside the work area
// and fall out of it, and no caption is clipped. display_scale_e2e.sh makes the prefix, sets
// its scale before anything starts and gives it the screen.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "../scan_support/must.h"
#include "app/app.h"
#include "app/main_window/frm_main.h"
#include "app/tray/frm_menu_popup.h"
#include "app/tray/frm_signature_updated.h"
#include "caption_measure.h"
#include "core/paths.h"
#include "platform/win32/services_win32.h"
#include "platform/win32/ui_win32.h"

namespace kx {
namespace {

template <class Done>
bool PumpUntil(Done&& done, DWORD ms) {
  for (const DWORD start = GetTickCount(); !done(); Pump(10))
    if (GetTickCount() - start > ms) return done();
  return true;
}

HWND Hwnd(const ui::Form& f) { return static_cast<HWND>(f.native); }

RECT Rect(const ui::Form& f) {
  RECT r{};
  GetWindowRect(Hwnd(f), &r);
  return r;
}

std::string Describe(const RECT& r) {
  return "(" + std::to_string(r.left) + "," + std::to_string(r.top) + ")-(" + std::to_string(r.right) + "," +
         std::to_string(r.bottom) + ")";
}

// A saved 24-bit screenshot, top row first.
struct Capture {
  int width = 0, height = 0;
  std::vector<uint32_t> pixels;  // 0xRRGGBB

  size_t Colours() const {
    std::vector<uint32_t> c = pixels;
    std::sort(c.begin(), c.end());
    return static_cast<size_t>(std::unique(c.begin(), c.end()) - c.begin());
  }
  // Pixels darker than any face or frame colour, black or blue text among them.
  size_t DarkIn(const RECT& r) const {
    size_t dark = 0;
    for (int y = std::max(0L, r.top); y < std::min<long>(height, r.bottom); ++y)
      for (int x = std::max(0L, r.left); x < std::min<long>(width, r.right); ++x) {
        const uint32_t p = pixels[static_cast<size_t>(y) * width + x];
        dark += 30 * (p >> 16 & 255) + 59 * (p >> 8 & 255) + 11 * (p & 255) < 100 * 100;
      }
    return dark;
  }
};

Capture ReadCapture(const std::string& path) {
  Capture c;
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return c;
  BITMAPFILEHEADER fh{};
  BITMAPINFOHEADER bi{};
  std::vector<unsigned char> bytes;
  if (std::fread(&fh, sizeof fh, 1, f) == 1 && std::fread(&bi, sizeof bi, 1, f) == 1 && bi.biBitCount == 24 &&
      bi.biHeight > 0) {
    bytes.resize(fh.bfSize > fh.bfOffBits ? fh.bfSize - fh.bfOffBits : 0);
    std::fseek(f, static_cast<long>(fh.bfOffBits), SEEK_SET);
    bytes.resize(std::fread(bytes.data(), 1, bytes.size(), f));
  }
  std::fclose(f);
  const size_t stride = (static_cast<size_t>(bi.biWidth) * 3 + 3) & ~size_t(3);
  if (bytes.empty() || bytes.size() < stride * static_cast<size_t>(bi.biHeight)) return c;
  c.width = bi.biWidth;
  c.height = bi.biHeight;
  for (int y = c.height - 1; y >= 0; --y)
    for (int x = 0; x < c.width; ++x) {
      const unsigned char* p = &bytes[static_cast<size_t>(y) * stride + static_cast<size_t>(x) * 3];
      c.pixels.push_back(uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0]);
    }
  return c;
}

// Saved with the artifacts (to a temporary file without them) and looked at: the part of the
// window on the screen as it shows now, drawn, every label's text in it.
void ExpectDrawn(ui::Form& f, const std::string& name) {
  Pump(300);  // what was painted reaches the screen
  const char* artifacts = std::getenv("KESTRIX_ARTIFACTS");
  std::string path;
  if (artifacts && *artifacts) {
    path = "Z:" + std::string(artifacts) + "/" + name;
  } else {
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    path = std::string(temp) + name;
  }
  ASSERT_TRUE(win32::SaveWindowBitmap(static_cast<void*>(Hwnd(f)), path)) << path;
  const Capture c = ReadCapture(path);
  if (!(artifacts && *artifacts)) DeleteFileA(path.c_str());
  RECT shown{};
  const RECT window = Rect(f), screen = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  IntersectRect(&shown, &window, &screen);
  ASSERT_EQ(c.width, shown.right - shown.left) << name;
  ASSERT_EQ(c.height, shown.bottom - shown.top) << name;
  EXPECT_GE(c.Colours(), 3u) << name << " shows a blank window";
  for (const auto& control : f.controls()) {
    if (control->type() != ui::ControlType::Label || !control->shown() || control->caption().empty()) continue;
    RECT r{};
    GetWindowRect(static_cast<HWND>(control->native), &r);
    if (r.bottom > shown.bottom || r.right > shown.right) continue;  // off the screen
    OffsetRect(&r, -shown.left, -shown.top);
    EXPECT_GE(c.DarkIn(r), 5u) << name << ": " << control->name() << " \"" << control->caption() << "\" not drawn";
  }
}

// Rises to stand wholly inside the work area against its right edge, captions whole, and
// after `drop` falls until it is below the work area and goes.
void ExpectSlideUp(ui::Form& f, const char* riser, const RECT& work, int dpi, const std::string& shot,
                   const std::function<void()>& drop) {
  SCOPED_TRACE(f.name());
  const HWND h = Hwnd(f);
  ASSERT_TRUE(h && IsWindowVisible(h));
  ASSERT_TRUE(PumpUntil([&] { return !f.Get(riser).enabled(); }, 15000)) << "never stopped rising";
  Pump(100);
  const RECT r = Rect(f);
  EXPECT_TRUE(r.left >= work.left && r.top >= work.top && r.right <= work.right && r.bottom <= work.bottom)
      << "risen to " << Describe(r) << ", outside the work area " << Describe(work);
  EXPECT_EQ(r.right, work.right) << "not against the work area's right edge";
  ExpectCaptionsFit(f, f.name());
  ExpectDrawn(f, shot);
  drop();
  EXPECT_TRUE(PumpUntil([&] { return !IsWindow(h); }, 20000)) << "did not fall away";
  EXPECT_GE(MulDiv(f.top(), dpi, 1440), work.bottom) << "went before it was out of the work area";
}

TEST(DisplayScale, TheTrayAndTheSlideUpsWorkAndEveryCaptionFits) {
  const char* wanted = std::getenv("KESTRIX_E2E_DPI");
  ASSERT_TRUE(wanted && *wanted) << "display_scale_e2e.sh runs this with the prefix's scale";
  const int dpi = std::atoi(wanted);
  HDC screen = GetDC(nullptr);
  const int actual = GetDeviceCaps(screen, LOGPIXELSX);
  ReleaseDC(nullptr, screen);
  ASSERT_EQ(actual, dpi) << "the prefix's LogPixels did not take";
  ASSERT_EQ(GetSystemMetrics(SM_CXSCREEN), 1920);
  ASSERT_EQ(GetSystemMetrics(SM_CYSCREEN), 1080);
  ASSERT_TRUE(FindWindowA("Shell_TrayWnd", nullptr)) << "no taskbar to hold the icon";
  RECT work{};
  ASSERT_TRUE(SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0));
  const std::string at = std::to_string(dpi) + "dpi_";

  win32::Win32Platform services;
  Platform platform = services.platform();
  PlaceholderCache folders(platform.system);
  CreateDirectoryA(DataFolder(folders).c_str(), nullptr);
  const std::string user = "Software\\Kestrix Labs\\Kestrix\\", machine = "SOFTWARE\\Kestrix Labs\\Kestrix\\Settings";
  for (auto [section, name, value] :
       {std::tuple{"Settings", "Language", "English"}, {"Settings", "showHelp", "0"}, {"Settings", "lblLastScan", "Never"},
        {"Settings", "Minimized", "No"}, {"OptionAndSettings", "optMemorySheildOn", "False"},
        {"OptionAndSettings", "optIEHomePageSheildOn", "False"}}) {
    test_support::Must(platform.registry.CreateKey(Hive::CurrentUser, user + section), "CreateKey");
    test_support::Must(platform.registry.SetValue(Hive::CurrentUser, user + section, name, RegValue::String(value)), "SetValue");
  }
  test_support::Must(platform.registry.CreateKey(Hive::LocalMachine, machine), "CreateKey");
  test_support::Must(platform.registry.SetValue(Hive::LocalMachine, machine, "FirstTime", RegValue::String("Yes")), "SetValue");

  win32::Win32Backend ui;
  App app(platform, ui, AppInfo{});
  app.Start();
  FrmMain& main = app.main();
  ASSERT_TRUE(PumpUntil([&] { return main.visible(); }, 30000));
  const HWND mainWindow = Hwnd(main);
  for (const char* panel : {"cmdStatus", "cmdScan", "cmdResults", "cmdSettings"}) {
    main.Get(panel).Click();
    for (int tab = 1; tab <= (std::string(panel) == "cmdSettings" ? 4 : 1); ++tab) {
      main.Get("TabStrip1").set_selected_tab(tab);
      Pump(150);
      ExpectCaptionsFit(main, std::string(panel) + " tab " + std::to_string(tab));
    }
  }
  main.Get("cmdStatus").Click();
  Pump(150);
  ExpectDrawn(main, at + "main.bmp");

  // In the tray, the window answers its icon as the shell reports it: the mouse message
  // where a move's position would be.
  main.Get("Command5").Click();
  ASSERT_TRUE(PumpUntil([&] { return !IsWindowVisible(mainWindow); }, 5000));
  PostMessageA(mainWindow, WM_MOUSEMOVE, 1, WM_LBUTTONDOWN);
  FrmMenuPopUp& menu = app.menuPopUp();
  ASSERT_TRUE(PumpUntil([&] { return menu.visible() && Hwnd(menu) && IsWindowVisible(Hwnd(menu)); }, 5000))
      << "a click on the icon did not open the menu";
  ExpectSlideUp(menu, "tmrMenuPopup", work, dpi, at + "menu.bmp", [&] { menu.Get("lblMenuClose").Click(); });
  PostMessageA(mainWindow, WM_MOUSEMOVE, 1, WM_LBUTTONDBLCLK);
  EXPECT_TRUE(PumpUntil([&] { return IsWindowVisible(mainWindow) && !IsIconic(mainWindow); }, 5000))
      << "a double-click on the icon did not bring the window back";

  // The notice as an automatic update shows it; it stays seven seconds before it falls.
  FrmSignatureUpdated& notice = app.signatureUpdated();
  notice.Load();
  ExpectSlideUp(notice, "tmrPopupSignatureUpdate", work, dpi, at + "notice.bmp", [] {});

  main.Unload();
  Pump(200);
}

}  // namespace
}  // namespace kx
