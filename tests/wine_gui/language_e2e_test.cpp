// The language window in the real program: on a first start it holds the start-up as a modal
// window, a later start reopens it from the Settings menu, a choice re-captions the main
// window, and "Check for language updates" fetches the file from the vendor server. The
// download case needs the server that language_e2e.sh starts; run alone it fails for want of it.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "running_kestrix.h"

namespace {

using namespace kx::exe_test;

const char* kUserSettings = "Software\\Kestrix Labs\\Kestrix\\Settings";

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// The process's top-level windows whose class starts with prefix, compared without case (Wine
// may report a class in the case another program registered it with first).
std::vector<HWND> Windows(DWORD pid, const std::string& prefix) {
  std::vector<HWND> out;
  for (HWND h = GetTopWindow(nullptr); h; h = GetWindow(h, GW_HWNDNEXT)) {
    DWORD owner = 0;
    GetWindowThreadProcessId(h, &owner);
    if (owner == pid && _strnicmp(ClassOf(h).c_str(), prefix.c_str(), prefix.size()) == 0) out.push_back(h);
  }
  return out;
}

// "" when the dark (text) pixels of the button, as the screen shows it, stand clear of its
// sides; a cut caption runs right up to where the button clips it.
std::string TextClipped(HWND button) {
  RECT r;
  GetWindowRect(button, &r);
  HDC screen = GetDC(nullptr);
  int left = r.right, right = r.left;
  for (int y = r.top + 2; y < r.bottom - 2; ++y)
    for (int x = r.left + 2; x < r.right - 2; ++x) {
      const COLORREF c = GetPixel(screen, x, y);
      if (GetRValue(c) + GetGValue(c) + GetBValue(c) < 3 * 0x50) left = std::min(left, x), right = std::max(right, x);
    }
  ReleaseDC(nullptr, screen);
  if (right < left) return "no text drawn";
  if (left - r.left < 4 || r.right - 1 - right < 4)
    return "text runs to the side (" + std::to_string(left - r.left) + " and " + std::to_string(r.right - 1 - right) + " px)";
  return "";
}

// Puts the shipped localization file beside the program; `placed` is its path.
void PlaceShippedLocalization(const std::string& exe, std::string& placed) {
  placed = exe.substr(0, exe.rfind('\\')) + "\\Localization.txt";
  const std::string shipped = ReadAll(WinePath(std::string(KESTRIX_SOURCE_DIR) + "/packaging/Localization.txt"));
  ASSERT_GT(shipped.size(), 1000u) << "the shipped Localization.txt could not be read";
  PutFile(placed, shipped);
}

// A first start of the real program with the shipped localization file beside it, taken away
// again at the end, as the other cases expect none.
class FirstStart : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string exe = WinePath(KESTRIX_EXE);
    ASSERT_NO_FATAL_FAILURE(PlaceShippedLocalization(exe, localization));
    CommonSettings();
    RegDeleteKeyValueA(HKEY_CURRENT_USER, kUserSettings, "Language");
    RegDeleteKeyValueA(HKEY_CURRENT_USER, "Software\\Kestrix Labs\\Kestrix\\OptionAndSettings", "STATUS");
    CreateDirectoryA((ShellFolder(CSIDL_APPDATA) + "\\DideZuvurudARA").c_str(), nullptr);

    STARTUPINFOA si{};
    si.cb = sizeof si;
    std::string cmd = "\"" + exe + "\"";
    ASSERT_TRUE(CreateProcessA(exe.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &k.pi));
    ASSERT_TRUE(WaitFor([&] {
      for (HWND h : Windows(k.pi.dwProcessId, "KestrixForm_frmLanguage"))
        if (IsWindowVisible(h)) language = h;
      return language != nullptr;
    }, 30000)) << "no language window";
    combo = FindWindowExA(language, nullptr, "ComboBox", nullptr);
  }
  void TearDown() override { DeleteFileA(localization.c_str()); }

  // OK, then the main window, whose title names the maker.
  void FinishStart(const std::string& by) {
    PostMessageA(Button(language, "OK"), BM_CLICK, 0, 0);
    ASSERT_TRUE(WaitFor([&] {
      for (HWND h : Windows(k.pi.dwProcessId, "KestrixForm_"))
        if (IsWindowVisible(h) && Text(h).find(by) != std::string::npos) k.main = h;
      return k.main != nullptr;
    }, 30000)) << "no main window";
  }

  std::string localization;
  RunningKestrix k;
  HWND language = nullptr, combo = nullptr;
};

TEST_F(FirstStart, TheLanguageWindowIsModalAndDeutschReCaptionsTheMainWindow) {
  Sleep(500);
  EXPECT_EQ(Text(language), "Language Selection");
  // Modal: the start-up waits for it, and the program's other windows, the main one among
  // them, are disabled.
  EXPECT_EQ(ReadString(HKEY_CURRENT_USER, "Software\\Kestrix Labs\\Kestrix\\OptionAndSettings", "STATUS"), "<none>");
  EXPECT_EQ(Windows(k.pi.dwProcessId, "KestrixForm_frmMain").size(), 1u);
  for (HWND h : Windows(k.pi.dwProcessId, "KestrixForm_"))
    if (h != language) {
      EXPECT_FALSE(IsWindowEnabled(h)) << ClassOf(h) << " usable beside the modal window";
    }

  // The user's choice: the selection, then the notification to the window.
  ASSERT_EQ(SendMessageA(combo, CB_GETCOUNT, 0, 0), 3);
  const LRESULT at = SendMessageA(combo, CB_FINDSTRINGEXACT, WPARAM(-1), reinterpret_cast<LPARAM>("Deutsch"));
  ASSERT_NE(at, CB_ERR);
  SendMessageA(combo, CB_SETCURSEL, WPARAM(at), 0);
  SendMessageA(language, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(combo), CBN_SELCHANGE), reinterpret_cast<LPARAM>(combo));
  EXPECT_TRUE(WaitFor([&] { return Button(language, "Nach Sprachaktualisierungen suchen") != nullptr; }, 5000));
  EXPECT_EQ(Text(language), "Sprachauswahl");
  EXPECT_EQ(ReadString(HKEY_CURRENT_USER, kUserSettings, "Language"), "Deutsch");
  Sleep(300);
  k.Screenshot("language_window_de.bmp", language);
  for (const char* caption : {"Nach Sprachaktualisierungen suchen", "Dieses Programm \xFC" "bersetzen"})
    EXPECT_EQ(TextClipped(Button(language, caption)), "") << caption;

  FinishStart(" von ");
  EXPECT_EQ(Text(k.main), "Kestrix von Kestrix Labs");
  Sleep(1000);
  k.Screenshot("main_window_de.bmp");
  // The side bar in German, its longest captions drawn whole.
  for (const char* caption : {"Jetzt pr\xFC" "fen", "Ergebnisse/Entfernen", "In den Infobereich",
                              "Besuchen Sie http://www.kestrix.example"}) {
    HWND b = Button(k.main, caption);
    EXPECT_EQ(b ? TextClipped(b) : "no such button", "") << caption;
  }
  bool never = false;
  for (HWND h : Children(k.main)) never = never || Text(h) == "Nie";
  EXPECT_TRUE(never) << "the Status panel still says Never";
}

// How wide the dark (text) pixels inside `part` stand in a saved 24-bit capture of the whole
// `window`; 0 when there are none or the file cannot be read.
int DarkSpan(const std::string& path, HWND window, HWND part) {
  RECT w, r;
  GetWindowRect(window, &w);
  GetWindowRect(part, &r);
  const Bmp24 bmp = ReadBmp24(path);
  const std::vector<unsigned char>& pixels = bmp.pixels;
  if (pixels.empty()) return 0;
  const int width = bmp.width, height = bmp.height, stride = (width * 3 + 3) & ~3;
  int left = INT_MAX, right = -1;
  for (int y = r.top - w.top; y < r.bottom - w.top; ++y)
    for (int x = r.left - w.left; x < r.right - w.left; ++x) {
      if (x < 0 || y < 0 || x >= width || y >= height) continue;
      const size_t at = static_cast<size_t>(height - 1 - y) * stride + static_cast<size_t>(x) * 3;
      if (at + 2 >= pixels.size()) continue;
      if (pixels[at] + pixels[at + 1] + pixels[at + 2] < 3 * 0x50) left = std::min(left, x), right = std::max(right, x);
    }
  return right < left ? 0 : right - left + 1;
}

// The width of text in the program's font (8-point Tahoma at the screen's DPI).
int TextWidth(const std::string& text) {
  HDC dc = GetDC(nullptr);
  HFONT font = CreateFontA(-MulDiv(8, GetDeviceCaps(dc, LOGPIXELSY), 72), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                           DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                           DEFAULT_PITCH | FF_SWISS, "Tahoma");
  HGDIOBJ old = SelectObject(dc, font);
  SIZE size{};
  GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &size);
  SelectObject(dc, old);
  DeleteObject(font);
  ReleaseDC(nullptr, dc);
  return size.cx;
}

// The entries of another process's drop-down list, in the ANSI code page. Asked for in UTF-16:
// Wine hands the ANSI form across processes as UTF-16 too.
std::vector<std::string> ComboEntries(HWND combo) {
  std::vector<std::string> out;
  const LRESULT n = SendMessageW(combo, CB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < n; ++i) {
    std::wstring wide(static_cast<size_t>(std::max<LRESULT>(SendMessageW(combo, CB_GETLBTEXTLEN, i, 0), 0)) + 1, L'\0');
    SendMessageW(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(wide.data()));
    char text[256] = {};
    WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, text, sizeof text, nullptr, nullptr);
    out.push_back(text);
  }
  return out;
}

// A later start, the language long chosen: Settings > Language... opens the window again, and
// Deutsch translates the day list, keeping its entry, and keeps the definitions' date in the
// Auto Update label.
class LanguageMenu : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string exe = WinePath(KESTRIX_EXE);
    ASSERT_NO_FATAL_FAILURE(PlaceShippedLocalization(exe, localization));
    CommonSettings();
    WriteString(HKEY_CURRENT_USER, kOptions, "chkAutomaticScanYesOrNo", "0");
    WriteString(HKEY_CURRENT_USER, kOptions, "Day", "3");
    const std::string data = ShellFolder(CSIDL_APPDATA) + "\\DideZuvurudARA";
    CreateDirectoryA(data.c_str(), nullptr);
    datePath = data + "\\date.dat";
    dateBefore = ReadAll(datePath);
    PutFile(datePath, "1/15/2026 10:15:02 AM\r\n");
  }
  void TearDown() override {
    DeleteFileA(localization.c_str());
    if (dateBefore.empty()) DeleteFileA(datePath.c_str());
    else PutFile(datePath, dateBefore);
    WriteString(HKEY_CURRENT_USER, kUserSettings, "Language", "English");
    RegDeleteKeyValueA(HKEY_CURRENT_USER, kOptions, "Day");
  }
  static constexpr const char* kOptions = "Software\\Kestrix Labs\\Kestrix\\OptionAndSettings";
  std::string localization, datePath, dateBefore;
};

TEST_F(LanguageMenu, SettingsLanguageOpensTheWindowAndDeutschKeepsTheDayAndTheDate) {
  RunningKestrix k;
  ASSERT_NO_FATAL_FAILURE(k.Start());
  Sleep(1000);
  // Through the keyboard, as menus of another process cannot be read under Wine: the menu bar,
  // right to Settings, down into it, up to its last item.
  PostMessageA(k.main, WM_SYSCOMMAND, SC_KEYMENU, 0);
  for (WPARAM key : {VK_RIGHT, VK_DOWN, VK_UP, VK_RETURN}) PostMessageA(k.main, WM_KEYDOWN, key, 0);
  HWND language = nullptr;
  ASSERT_TRUE(WaitFor([&] {
    for (HWND h : Windows(k.pi.dwProcessId, "KestrixForm_frmLanguage"))
      if (IsWindowVisible(h)) language = h;
    return language != nullptr;
  }, 30000)) << "Settings > Language... opened no language window";
  EXPECT_EQ(Text(language), "Language Selection");
  HWND combo = FindWindowExA(language, nullptr, "ComboBox", nullptr);
  ASSERT_TRUE(combo);
  const LRESULT at = SendMessageA(combo, CB_FINDSTRINGEXACT, WPARAM(-1), reinterpret_cast<LPARAM>("Deutsch"));
  ASSERT_NE(at, CB_ERR);
  SendMessageA(combo, CB_SETCURSEL, WPARAM(at), 0);
  SendMessageA(language, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(combo), CBN_SELCHANGE), reinterpret_cast<LPARAM>(combo));
  EXPECT_TRUE(WaitFor([&] { return Text(language) == "Sprachauswahl"; }, 10000));
  EXPECT_EQ(ReadString(HKEY_CURRENT_USER, kUserSettings, "Language"), "Deutsch");
  PostMessageA(Button(language, "OK"), BM_CLICK, 0, 0);
  ASSERT_TRUE(WaitFor([&] { return !IsWindow(language) || !IsWindowVisible(language); }, 10000));
  EXPECT_EQ(Text(k.main), "Kestrix von Kestrix Labs");

  // The day list: German names, Thursday still chosen, the stored day untouched.
  HWND days = nullptr;
  for (HWND h : Children(k.main))
    if (!days && ClassOf(h) == "ComboBox") days = h;
  ASSERT_TRUE(days);
  EXPECT_EQ(ComboEntries(days), (std::vector<std::string>{"Montag", "Dienstag", "Mittwoch", "Donnerstag", "Freitag",
                                                          "Samstag", "Sonntag", "T\xE4glich", "Datum und Uhrzeit",
                                                          "Nie!"}));
  EXPECT_EQ(SendMessageA(days, CB_GETCURSEL, 0, 0), 3);
  EXPECT_EQ(ReadString(HKEY_CURRENT_USER, kOptions, "Day"), "3");

  // The Auto Update tab, shown and captured: the label holds the date, drawn whole.
  const std::string label = "Signaturen zuletzt aktualisiert am 1/15/2026 10:15:02 AM PST";
  HWND last = nullptr;
  for (HWND h : Children(k.main))
    if (Text(h) == label) last = h;
  std::string texts;
  for (HWND h : Children(k.main)) texts += Text(h).find("Aktualisierung") != std::string::npos ? Text(h) + "|" : "";
  ASSERT_TRUE(last) << "no label \"" << label << "\"; these speak of updates: " << texts;
  HWND settings = Button(k.main, "Einstellungen");
  ASSERT_TRUE(settings);
  SendMessageA(settings, BM_CLICK, 0, 0);
  HWND tabs = nullptr;
  for (HWND h : Children(k.main))
    if (!tabs && ClassOf(h) == WC_TABCONTROLA) tabs = h;
  ASSERT_TRUE(tabs);
  void* remote = VirtualAllocEx(k.pi.hProcess, nullptr, sizeof(RECT), MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
  ASSERT_TRUE(remote);
  RECT tab{};
  ASSERT_TRUE(SendMessageA(tabs, TCM_GETITEMRECT, 3, reinterpret_cast<LPARAM>(remote)) &&
              ReadProcessMemory(k.pi.hProcess, remote, &tab, sizeof tab, nullptr));
  VirtualFreeEx(k.pi.hProcess, remote, 0, MEM_RELEASE);
  const LPARAM click = MAKELPARAM((tab.left + tab.right) / 2, (tab.top + tab.bottom) / 2);
  SendMessageA(tabs, WM_LBUTTONDOWN, MK_LBUTTON, click);
  SendMessageA(tabs, WM_LBUTTONUP, 0, click);
  ASSERT_TRUE(WaitFor([&] { return IsWindowVisible(last) != FALSE; }, 10000)) << "the Auto Update tab did not show";
  Sleep(500);
  k.Screenshot("language_menu_de_auto_update.bmp");
  const char* artifacts = std::getenv("KESTRIX_ARTIFACTS");
  ASSERT_TRUE(artifacts && *artifacts) << "KESTRIX_ARTIFACTS names no folder for the capture";
  const int drawn = DarkSpan(WinePath(artifacts) + "\\language_menu_de_auto_update.bmp", k.main, last);
  // The whole text is drawn: its prefix alone, or "Letzte Aktualisierung", is far narrower.
  EXPECT_GE(drawn, TextWidth(label) * 9 / 10) << "drawn " << drawn << " px of " << TextWidth(label);
  RECT box;
  GetClientRect(last, &box);
  EXPECT_LE(drawn, box.right);
}

// Driven by language_e2e.sh: KESTRIX_E2E_SERVER is the vendor server, KESTRIX_E2E_CASE what it
// serves: "good", the file KESTRIX_E2E_SERVED (one language more, behind a byte-order mark);
// "error", nothing, so its 404 page.
class LanguageE2E : public FirstStart {
 protected:
  void SetUp() override {
    const char* server = std::getenv("KESTRIX_E2E_SERVER");
    const char* which = std::getenv("KESTRIX_E2E_CASE");
    const char* file = std::getenv("KESTRIX_E2E_SERVED");
    ASSERT_TRUE(server && which && file) << "run through tests/wine_gui/language_e2e.sh, which starts the server";
    good = std::string(which) == "good";
    served = ReadAll(WinePath(file));
    WriteString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Kestrix Labs\\Kestrix\\Servers", "Languages", server);
    WriteString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Kestrix Labs\\Kestrix\\Servers", "TimeoutSeconds", "8");
    FirstStart::SetUp();
  }
  bool good = false;
  std::string served;
};

TEST_F(LanguageE2E, CheckForLanguageUpdates) {
  const std::string before = ReadAll(localization);
  HWND check = Button(language, "Check for language updates");
  ASSERT_NE(check, nullptr);
  PostMessageA(check, BM_CLICK, 0, 0);
  HWND box = nullptr;
  const bool told = WaitFor([&] {
    for (HWND h : Windows(k.pi.dwProcessId, "#32770"))
      if (IsWindowVisible(h)) box = h;
    return box != nullptr;
  }, good ? 30000 : 3000);
  if (good) {
    ASSERT_TRUE(told) << "no word of the download";
    ASSERT_EQ(served.substr(0, 3), "\xEF\xBB\xBF");
    EXPECT_EQ(ReadAll(localization), served.substr(3) + "\r\n");  // without the mark, CR LF added
    EXPECT_EQ(SendMessageA(combo, CB_GETCOUNT, 0, 0), 4);
    PostMessageA(box, WM_COMMAND, IDOK, 0);
  } else {
    // Nothing said, nothing changed, the button usable again.
    EXPECT_FALSE(told);
    EXPECT_EQ(ReadAll(localization), before);
    EXPECT_EQ(SendMessageA(combo, CB_GETCOUNT, 0, 0), 3);
    EXPECT_TRUE(WaitFor([&] { return IsWindowEnabled(check) != 0; }, 10000));
  }
  FinishStart(" by ");
}

}  // namespace
