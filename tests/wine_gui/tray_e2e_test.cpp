// The tray in the running program: "Send to Tray" hides the window behind a notification
// icon, the icon's messages open the slide-up menu and bring the window back, and the menu
// rises from the taskbar and falls again. Screenshots of the risen menu are kept.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <string>

#include "platform/win32/services_win32.h"
#include "running_kestrix.h"

namespace {

using namespace kx::exe_test;

const char* const kOptions = "Software\\Kestrix Labs\\Kestrix\\OptionAndSettings";
const char* const kSettings = "Software\\Kestrix Labs\\Kestrix\\Settings";

// Whether the shell holds the window's icon 1: only an icon that is there can be changed.
bool HasIcon(HWND owner) {
  kx::win32::Win32NotificationArea area;
  kx::NotifyIcon icon;
  icon.window = owner;
  icon.id = 1;
  icon.flags = kx::NotifyIcon::TIP;
  icon.tip = "Kestrix";
  return area.Modify(icon);
}

// The icon's mouse message as the shell sends it to its owner.
void IconMessage(HWND owner, UINT mouseMessage) { PostMessageA(owner, WM_MOUSEMOVE, 1, mouseMessage); }

HWND Child(HWND parent, const std::string& text) {
  for (HWND h : Children(parent))
    if (Text(h) == text) return h;
  return nullptr;
}

// The program's visible top-level window holding a control with this text.
HWND WindowWith(DWORD pid, const std::string& text) {
  struct Ctx {
    DWORD pid;
    const std::string* text;
    HWND found;
  } ctx{pid, &text, nullptr};
  EnumWindows(
      [](HWND h, LPARAM p) CALLBACK -> BOOL {
        auto* c = reinterpret_cast<Ctx*>(p);
        DWORD pid = 0;
        GetWindowThreadProcessId(h, &pid);
        if (pid == c->pid && IsWindowVisible(h) && Child(h, *c->text)) c->found = h;
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&ctx));
  return ctx.found;
}

int Top(HWND h) {
  RECT r{};
  GetWindowRect(h, &r);
  return r.top;
}

// Pixels of the capture darker than any face or frame colour: drawn text.
size_t DarkPixels(const std::string& path) {
  size_t dark = 0;
  if (FILE* f = std::fopen(path.c_str(), "rb")) {
    BITMAPFILEHEADER fh{};
    BITMAPINFOHEADER bi{};
    if (std::fread(&fh, sizeof fh, 1, f) == 1 && std::fread(&bi, sizeof bi, 1, f) == 1 && bi.biBitCount == 24) {
      std::fseek(f, static_cast<long>(fh.bfOffBits), SEEK_SET);
      unsigned char px[3];
      while (std::fread(px, 1, 3, f) == 3) dark += px[0] < 64 && px[1] < 64 && px[2] < 64;
    }
    std::fclose(f);
  }
  return dark;
}

TEST(TrayInTheRunningProgram, SendToTrayHidesTheWindowAndTheIconBringsItAndTheMenuBack) {
  const std::string data = ShellFolder(CSIDL_APPDATA) + "\\DideZuvurudARA";
  CreateDirectoryA(data.c_str(), nullptr);
  CommonSettings();
  WriteString(HKEY_CURRENT_USER, kSettings, "Minimized", "No");
  WriteString(HKEY_CURRENT_USER, kOptions, "optMemorySheildOn", "False");
  WriteString(HKEY_CURRENT_USER, kOptions, "optIEHomePageSheildOn", "False");
  ASSERT_TRUE(FindWindowA("Shell_TrayWnd", nullptr)) << "no taskbar to hold the icon";

  RunningKestrix k;
  ASSERT_NO_FATAL_FAILURE(k.Start());
  HWND sendToTray = nullptr;
  ASSERT_TRUE(WaitFor([&] { return (sendToTray = Button(k.main, "Send to Tray")) != nullptr; }, 10000));
  EXPECT_FALSE(HasIcon(k.main)) << "an icon before the window went to the tray";
  Sleep(1000);  // start-up done
  PostMessageA(sendToTray, BM_CLICK, 0, 0);
  ASSERT_TRUE(WaitFor([&] { return !IsWindowVisible(k.main); }, 10000)) << "the window stayed";
  EXPECT_TRUE(WaitFor([&] { return HasIcon(k.main); }, 5000)) << "no icon in the notification area";
  // Written last, after the icon.
  EXPECT_TRUE(WaitFor([&] { return ReadString(HKEY_CURRENT_USER, kSettings, "Minimized") == "Yes"; }, 5000));
  Sleep(1000);
  EXPECT_FALSE(IsWindowVisible(k.main)) << "back without being asked";
  EXPECT_EQ(ReadString(HKEY_CURRENT_USER, kSettings, "Minimized"), "Yes");

  // A click on the icon: the menu rises from the taskbar at the screen's right edge.
  IconMessage(k.main, WM_LBUTTONDOWN);
  HWND menu = nullptr;
  ASSERT_TRUE(WaitFor([&] { return (menu = WindowWith(k.pi.dwProcessId, "Close This Menu")) != nullptr; }, 10000))
      << "no menu";
  const int first = Top(menu);
  ASSERT_TRUE(WaitFor([&] { return Top(menu) < first - 40; }, 5000)) << "the menu did not rise from " << first;
  int risen = Top(menu);
  for (int steady = 0; steady < 3; risen = Top(menu)) {
    Sleep(200);
    steady = Top(menu) == risen ? steady + 1 : 0;
  }
  RECT r{};
  GetWindowRect(menu, &r);
  EXPECT_LE(r.bottom, GetSystemMetrics(SM_CYSCREEN)) << "risen, it is still below the screen";
  EXPECT_GE(r.right, GetSystemMetrics(SM_CXSCREEN) - 20) << "not at the right edge";
  EXPECT_TRUE(IsWindowEnabled(Child(menu, "Show Program")));
  k.Screenshot("tray_menu.bmp", menu);
  char temp[MAX_PATH] = {};
  GetTempPathA(MAX_PATH, temp);
  const std::string shot = std::string(temp) + "kestrix_tray_menu.bmp";
  ASSERT_TRUE(Capture(menu, shot));
  EXPECT_GE(DistinctColours(shot), 3u) << "the menu shows a blank window";
  EXPECT_GT(DarkPixels(shot), 30u) << "no item text drawn";
  DeleteFileA(shot.c_str());

  // "Close This Menu": it falls and goes.
  HWND close = Child(menu, "Close This Menu");
  PostMessageA(menu, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(close), STN_CLICKED), reinterpret_cast<LPARAM>(close));
  EXPECT_TRUE(WaitFor([&] { return !IsWindow(menu) || !IsWindowVisible(menu) || Top(menu) > risen + 40; }, 5000))
      << "the menu did not fall";
  EXPECT_TRUE(WaitFor([&] { return !IsWindow(menu) || !IsWindowVisible(menu); }, 10000)) << "the menu stayed";

  // A double-click on the icon restores the window; the icon stays.
  IconMessage(k.main, WM_LBUTTONDBLCLK);
  ASSERT_TRUE(WaitFor([&] { return IsWindowVisible(k.main) && !IsIconic(k.main); }, 10000)) << "not restored";
  EXPECT_TRUE(HasIcon(k.main));
  Sleep(300);
  k.Screenshot("tray_restored.bmp");

  // Closed, the program takes its icon with it.
  HWND main = k.main;
  PostMessageA(main, WM_CLOSE, 0, 0);
  k.main = nullptr;
  ASSERT_EQ(WaitForSingleObject(k.pi.hProcess, 30000), WAIT_OBJECT_0);
  EXPECT_FALSE(HasIcon(main)) << "an icon left behind";
  EXPECT_EQ(ReadString(HKEY_CURRENT_USER, kOptions, "STATUS"), "STOPPED");
}

}  // namespace
