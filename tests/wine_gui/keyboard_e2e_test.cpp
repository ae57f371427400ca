// The keyboard in the running program, as a user without a mouse works it: Tab and Shift+Tab
// walk the controls in the order they stand, Enter presses, Escape closes. The keys go in as
// input, through the program's own message loop.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "running_kestrix.h"

namespace {

using namespace kx::exe_test;

constexpr const char* kUserSettings = "Software\\Kestrix Labs\\Kestrix\\Settings";

void Key(WORD vk, bool shift = false, bool alt = false) {
  std::vector<INPUT> in;
  auto add = [&](WORD k, bool up) {
    INPUT i{};
    i.type = INPUT_KEYBOARD;
    i.ki.wVk = k;
    i.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    in.push_back(i);
  };
  if (shift) add(VK_SHIFT, false);
  if (alt) add(VK_MENU, false);
  add(vk, false);
  add(vk, true);
  if (alt) add(VK_MENU, true);
  if (shift) add(VK_SHIFT, true);
  SendInput(static_cast<UINT>(in.size()), in.data(), sizeof(INPUT));
  Sleep(200);
}

HWND FocusWindow(const RunningKestrix& k) {
  GUITHREADINFO gi{};
  gi.cbSize = sizeof gi;
  return GetGUIThreadInfo(k.pi.dwThreadId, &gi) ? gi.hwndFocus : nullptr;
}

// A control by its text, or its class when it shows none (a tab strip, a list); the side
// bar's last button names the web site, whatever it is.
std::string Name(HWND h) {
  if (!h) return "<none>";
  const std::string text = Text(h);
  if (text.rfind("Visit ", 0) == 0) return "Visit ...";
  return text.empty() ? ClassOf(h) : text;
}

std::string Focused(const RunningKestrix& k) { return Name(FocusWindow(k)); }

// Tab once and wait until the program has moved the focus (it may be busy for a moment).
HWND Step(const RunningKestrix& k, bool backwards) {
  const HWND before = FocusWindow(k);
  Key(VK_TAB, backwards);
  HWND now = nullptr;
  WaitFor([&] { return (now = FocusWindow(k)) != before; }, 3000);
  return now;
}

// Tab (or Shift+Tab) until the focus is back where it started; the stops on the way.
std::vector<HWND> Round(const RunningKestrix& k, bool backwards) {
  const HWND start = FocusWindow(k);
  std::vector<HWND> stops;
  for (int i = 0; i < 60; ++i) {
    const HWND now = Step(k, backwards);
    if (now == start) return stops;
    stops.push_back(now);
  }
  ADD_FAILURE() << "Tab never came back to " << Name(start);
  return stops;
}

std::vector<std::string> Names(const std::vector<HWND>& windows) {
  std::vector<std::string> out;
  for (HWND h : windows) out.push_back(Name(h));
  return out;
}

void TabTo(const RunningKestrix& k, const std::string& target) {
  for (int i = 0; i < 60 && Focused(k) != target; ++i) Step(k, false);
  ASSERT_EQ(Focused(k), target);
}

// A menu of the program dropped down: a window of the menus' class.
bool MenuOpen(DWORD pid) {
  struct Ctx {
    DWORD pid;
    bool found;
  } ctx{pid, false};
  EnumWindows(
      [](HWND h, LPARAM p) CALLBACK -> BOOL {
        auto* c = reinterpret_cast<Ctx*>(p);
        DWORD pid = 0;
        GetWindowThreadProcessId(h, &pid);
        if (pid == c->pid && IsWindowVisible(h) && ClassOf(h) == "#32768") c->found = true;
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&ctx));
  return ctx.found;
}

bool Foreground(HWND h) {
  return WaitFor(
      [&] {
        SetForegroundWindow(h);
        return GetForegroundWindow() == h;
      },
      10000);
}

HWND VisibleTabStrip(HWND main) {
  for (HWND h : Children(main))
    if (IsWindowVisible(h) && ClassOf(h) == "SysTabControl32") return h;
  return nullptr;
}

TEST(KeyboardE2E, TabWalksTheSideBarAndSettingsInLayoutOrderEnterAndEscapeAct) {
  CommonSettings();
  RunningKestrix k;
  ASSERT_NO_FATAL_FAILURE(k.Start());
  ASSERT_TRUE(Foreground(k.main));
  Sleep(2000);  // the start's last steps enable the side bar
  k.Screenshot("keyboard_main_en.bmp");

  // The Status panel holds no control that takes the focus: Tab goes round the side bar,
  // top to bottom, and Shift+Tab the other way.
  const std::vector<std::string> sideBar = {"Scan Now",  "Results/Removal", "Settings",     "Status",
                                            "Live Update", "View Log",      "Send to Tray", "Visit ..."};
  TabTo(k, "Scan Now");
  std::vector<std::string> forward = Names(Round(k, false));
  forward.insert(forward.begin(), "Scan Now");
  EXPECT_EQ(forward, sideBar);
  std::vector<std::string> backward = Names(Round(k, true));
  std::reverse(backward.begin(), backward.end());
  backward.insert(backward.begin(), "Scan Now");
  EXPECT_EQ(backward, sideBar);

  // Enter presses the button that has the focus: the Settings panel.
  TabTo(k, "Settings");
  Key(VK_RETURN);
  ASSERT_TRUE(WaitFor([&] { return VisibleTabStrip(k.main) != nullptr; }, 5000)) << "Enter did not open Settings";
  EXPECT_EQ(Focused(k), "Settings");

  // After the side bar: the tab strip, then the first page top to bottom; every stop once,
  // and Shift+Tab the same stops backwards.
  std::vector<HWND> stops = Round(k, false), back = Round(k, true);
  std::reverse(back.begin(), back.end());
  EXPECT_EQ(Names(back), Names(stops));
  forward = Names(stops);
  const std::vector<std::string> firstPage = {"Status", "Live Update", "View Log", "Send to Tray", "Visit ...",
                                              "SysTabControl32", "Scan Proccesses and Files", "Scan Windows Registry",
                                              "Scan Internet Cookies", "Save scan results to log",
                                              "Send anonymous data to help identify unknown spyware"};
  ASSERT_GE(forward.size(), firstPage.size());
  EXPECT_EQ(std::vector<std::string>(forward.begin(), forward.begin() + firstPage.size()), firstPage);
  // One stop for the scan type's option group, the set option.
  EXPECT_EQ(std::count(forward.begin(), forward.end(), "Complete System Scan") +
                std::count(forward.begin(), forward.end(), "Quick Scan"),
            1);
  std::vector<HWND> sorted = stops;
  std::sort(sorted.begin(), sorted.end());
  EXPECT_EQ(std::adjacent_find(sorted.begin(), sorted.end()), sorted.end()) << "a control visited twice";

  // The arrow keys turn the strip's pages; Tab then walks the page in view, not the hidden one.
  HWND strip = VisibleTabStrip(k.main);
  TabTo(k, "SysTabControl32");
  Key(VK_RIGHT);
  ASSERT_TRUE(WaitFor([&] { return SendMessageA(strip, TCM_GETCURSEL, 0, 0) == 1; }, 3000));
  Step(k, false);
  EXPECT_EQ(Focused(k), "Enable");  // the Home Page Shield's
  forward = Names(Round(k, false));
  EXPECT_EQ(std::count(forward.begin(), forward.end(), "Scan Windows Registry"), 0) << "a hidden page's control";
  EXPECT_EQ(std::count(forward.begin(), forward.end(), "Run at Startup and protect my computer automatically"), 1);

  // The log window: Escape closes it, and Enter presses its OK.
  for (const WORD closeKey : {WORD(VK_ESCAPE), WORD(VK_RETURN)}) {
    ASSERT_TRUE(Foreground(k.main));
    TabTo(k, "View Log");
    Key(VK_RETURN);
    HWND log = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (log = k.WindowWithButton("OK")) != nullptr; }, 10000)) << "no log window";
    ASSERT_TRUE(Foreground(log));
    Key(closeKey);
    EXPECT_TRUE(WaitFor([&] { return !IsWindow(log) || !IsWindowVisible(log); }, 5000))
        << (closeKey == VK_ESCAPE ? "Escape" : "Enter") << " left the log window open";
  }

  // Alt and the underlined letter open a menu of the menu bar; Escape leaves it.
  ASSERT_TRUE(Foreground(k.main));
  auto inMenu = [&] { return MenuOpen(k.pi.dwProcessId); };
  EXPECT_FALSE(inMenu());
  Key('F', false, true);
  EXPECT_TRUE(WaitFor(inMenu, 3000)) << "Alt+F opened no menu";
  Key(VK_ESCAPE);
  Key(VK_ESCAPE);
  EXPECT_TRUE(WaitFor([&] { return !inMenu(); }, 3000));
}

// The main window in German, for the record of how it looks, with the shipped language file
// beside the program for as long as it runs.
TEST(KeyboardE2E, MainWindowInGerman) {
  const std::string exe = WinePath(KESTRIX_EXE);
  const std::string placed = exe.substr(0, exe.rfind('\\')) + "\\Localization.txt";
  std::string shipped;
  if (FILE* f = std::fopen(WinePath(std::string(KESTRIX_SOURCE_DIR) + "/packaging/Localization.txt").c_str(), "rb")) {
    char buf[65536];
    for (size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;) shipped.append(buf, n);
    std::fclose(f);
  }
  ASSERT_GT(shipped.size(), 1000u) << "the shipped Localization.txt could not be read";
  PutFile(placed, shipped);
  struct Remove {
    std::string path;
    ~Remove() { DeleteFileA(path.c_str()); }
  } remove{placed};
  CommonSettings();
  WriteString(HKEY_CURRENT_USER, kUserSettings, "Language", "Deutsch");
  RunningKestrix k;
  STARTUPINFOA si{};
  si.cb = sizeof si;
  std::string cmd = "\"" + exe + "\"";
  ASSERT_TRUE(CreateProcessA(exe.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &k.pi));
  ASSERT_TRUE(WaitFor([&] {
    k.main = FindWindowA("KestrixForm_FrmMain", nullptr);
    return k.main && IsWindowVisible(k.main) && Text(k.main).find(" von ") != std::string::npos;
  })) << "no German main window";
  ASSERT_TRUE(Foreground(k.main));
  Sleep(1000);
  k.Screenshot("keyboard_main_de.bmp");
  TabTo(k, "Jetzt pr\xFC" "fen");
  WriteString(HKEY_CURRENT_USER, kUserSettings, "Language", "English");
}

}  // namespace
