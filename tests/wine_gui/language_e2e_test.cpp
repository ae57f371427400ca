// The language window in the real program: on a first start it holds the start-up as a modal
// window, a choice re-captions the main window, and "Check for language updates" fetches the
// file from the vendor server. The download cases need the server that language_e2e.sh starts;
// run alone they fail for want of it.
#include <windows.h>

#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "running_kestrix.h"

namespace {

using namespace kx::exe_test;

const char* kUserSettings = "Software\\Kestrix Labs\\Kestrix\\Settings";
const char* kMachineSettings = "SOFTWARE\\Kestrix Labs\\Kestrix\\Settings";

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

std::string Shipped() { return ReadAll(WinePath(std::string(KESTRIX_SOURCE_DIR) + "/packaging/Localization.txt")); }

std::vector<HWND> ProcessWindows(DWORD pid) {
  struct Ctx {
    DWORD pid;
    std::vector<HWND> found;
  } ctx{pid, {}};
  EnumWindows(
      [](HWND h, LPARAM p) CALLBACK -> BOOL {
        auto* c = reinterpret_cast<Ctx*>(p);
        DWORD owner = 0;
        GetWindowThreadProcessId(h, &owner);
        if (owner == c->pid) c->found.push_back(h);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&ctx));
  return ctx.found;
}

// Class names compare without case, and Wine may report one in the case another program
// registered it with first.
std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

HWND ChildOfClass(HWND parent, const std::string& cls) {
  for (HWND h : Children(parent))
    if (Lower(ClassOf(h)) == Lower(cls)) return h;
  return nullptr;
}

// The visible language window.
HWND LanguageWindow(DWORD pid) {
  for (HWND h : ProcessWindows(pid))
    if (IsWindowVisible(h) && Lower(ClassOf(h)) == "kestrixform_frmlanguage") return h;
  return nullptr;
}

// A visible message box of the process whose text contains `part`.
HWND MessageBoxWith(DWORD pid, const std::string& part) {
  for (HWND h : ProcessWindows(pid)) {
    if (!IsWindowVisible(h) || ClassOf(h) != "#32770") continue;
    for (HWND c : Children(h))
      if (Text(c).find(part) != std::string::npos) return h;
  }
  return nullptr;
}

struct Bitmap {
  int width = 0, height = 0;
  std::vector<unsigned char> bgr;  // top row first
  bool Dark(int x, int y) const {
    const unsigned char* p = &bgr[(static_cast<size_t>(y) * width + x) * 3];
    return p[0] + p[1] + p[2] < 3 * 0x50;
  }
};

Bitmap LoadBitmap(const std::string& path) {
  Bitmap b;
  const std::string bytes = ReadAll(path);
  if (bytes.size() < sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER)) return b;
  BITMAPFILEHEADER fh;
  BITMAPINFOHEADER bi;
  memcpy(&fh, bytes.data(), sizeof fh);
  memcpy(&bi, bytes.data() + sizeof fh, sizeof bi);
  if (bi.biBitCount != 24 || bi.biHeight <= 0) return b;
  const size_t stride = (static_cast<size_t>(bi.biWidth) * 3 + 3) & ~size_t(3);
  if (bytes.size() < fh.bfOffBits + stride * bi.biHeight) return b;
  b.width = bi.biWidth;
  b.height = bi.biHeight;
  b.bgr.resize(static_cast<size_t>(b.width) * b.height * 3);
  for (int y = 0; y < b.height; ++y)  // stored bottom-up
    memcpy(&b.bgr[static_cast<size_t>(y) * b.width * 3], bytes.data() + fh.bfOffBits + stride * (b.height - 1 - y),
           static_cast<size_t>(b.width) * 3);
  return b;
}

// Where the dark (text) pixels of a push button lie inside it, in the window capture: "" when
// they stand clear of its sides, else what is wrong. The scan starts inside the border; a cut
// caption runs right up to where the button clips it.
std::string ButtonTextClipped(const Bitmap& shot, HWND window, HWND button) {
  RECT w, r;
  GetWindowRect(window, &w);
  GetWindowRect(button, &r);
  const int x0 = r.left - w.left + 2, x1 = r.right - w.left - 3, y0 = r.top - w.top + 2, y1 = r.bottom - w.top - 3;
  if (x0 < 0 || y0 < 0 || x1 >= shot.width || y1 >= shot.height || x1 <= x0) return "outside the capture";
  int left = x1 + 1, right = x0 - 1;
  for (int y = y0; y <= y1; ++y)
    for (int x = x0; x <= x1; ++x)
      if (shot.Dark(x, y)) {
        left = std::min(left, x);
        right = std::max(right, x);
      }
  if (right < left) return "no text drawn";
  if (left - x0 < 2 || x1 - right < 2)
    return "text runs to the side (" + std::to_string(left - x0) + " and " + std::to_string(x1 - right) + " px clear)";
  return "";
}

std::string TempBitmap(const std::string& name) {
  if (const char* artifacts = std::getenv("KESTRIX_ARTIFACTS"); artifacts && *artifacts) {
    const std::string dir = WinePath(artifacts);
    CreateDirectoryA(dir.c_str(), nullptr);
    return dir + "\\" + name;
  }
  char temp[MAX_PATH] = {};
  GetTempPathA(MAX_PATH, temp);
  return std::string(temp) + name;
}

// Selects the entry as a user does: the selection, then the notification to the window.
bool ChooseInCombo(HWND combo, const std::string& entry) {
  const LRESULT at = SendMessageA(combo, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(entry.c_str()));
  if (at == CB_ERR) return false;
  SendMessageA(combo, CB_SETCURSEL, static_cast<WPARAM>(at), 0);
  SendMessageA(GetParent(combo), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(combo), CBN_SELCHANGE), reinterpret_cast<LPARAM>(combo));
  return true;
}

// A first start of the real program with a localization file beside it; the file is taken
// away again at the end, as the other cases expect none.
class FirstStart : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string exe = WinePath(KESTRIX_EXE);
    localization = exe.substr(0, exe.rfind('\\')) + "\\Localization.txt";
    const std::string shipped = Shipped();
    ASSERT_GT(shipped.size(), 1000u) << "the shipped Localization.txt could not be read";
    PutFile(localization, shipped);
    CommonSettings();
    RegDeleteKeyValueA(HKEY_CURRENT_USER, kUserSettings, "Language");
    RegDeleteKeyValueA(HKEY_CURRENT_USER, "Software\\Kestrix Labs\\Kestrix\\OptionAndSettings", "STATUS");
    WriteString(HKEY_CURRENT_USER, kUserSettings, "lblLastFullScan", "Never");
    const std::string data = ShellFolder(CSIDL_APPDATA) + "\\DideZuvurudARA";
    CreateDirectoryA(data.c_str(), nullptr);
  }
  void TearDown() override {
    SetFileAttributesA(localization.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileA(localization.c_str());
  }

  // Starts the program and waits for the language window.
  HWND StartToLanguageWindow() {
    std::string exe = WinePath(KESTRIX_EXE);
    STARTUPINFOA si{};
    si.cb = sizeof si;
    std::string cmd = "\"" + exe + "\"";
    if (!CreateProcessA(exe.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &k.pi)) {
      ADD_FAILURE() << "cannot start " << exe;
      return nullptr;
    }
    HWND w = nullptr;
    EXPECT_TRUE(WaitFor([&] { return (w = LanguageWindow(k.pi.dwProcessId)) != nullptr; }, 30000)) << "no language window";
    return w;
  }

  // Closes the language window with OK and waits for the main window, whose title names the maker.
  void FinishStart(HWND language, const std::string& by) {
    HWND ok = Button(language, "OK");
    ASSERT_NE(ok, nullptr);
    PostMessageA(ok, BM_CLICK, 0, 0);
    ASSERT_TRUE(WaitFor([&] {
      for (HWND h : ProcessWindows(k.pi.dwProcessId))
        if (IsWindowVisible(h) && Text(h).find(by) != std::string::npos) k.main = h;
      return k.main != nullptr;
    }, 30000)) << "no main window";
  }

  std::string localization;
  RunningKestrix k;
};

TEST_F(FirstStart, TheLanguageWindowIsModalAndDeutschReCaptionsTheMainWindow) {
  HWND language = StartToLanguageWindow();
  ASSERT_NE(language, nullptr);
  Sleep(500);
  EXPECT_EQ(Text(language), "Language Selection");
  // Modal: the start-up waits for it and every other window of the program is disabled.
  EXPECT_EQ(ReadString(HKEY_CURRENT_USER, "Software\\Kestrix Labs\\Kestrix\\OptionAndSettings", "STATUS"), "<none>");
  size_t others = 0;
  bool mainSeen = false;
  std::string seen;
  for (HWND h : ProcessWindows(k.pi.dwProcessId)) {
    const std::string cls = Lower(ClassOf(h));
    seen += cls + (IsWindowVisible(h) ? "(shown) " : " ");
    if (h == language || cls.rfind("kestrixform_", 0) != 0) continue;
    ++others;
    mainSeen = mainSeen || cls == "kestrixform_frmmain";
    EXPECT_FALSE(IsWindowEnabled(h)) << cls << " usable while the language window is open";
  }
  EXPECT_TRUE(mainSeen) << "the main window is not made yet: " << seen;
  EXPECT_GE(others, 2u);
  EXPECT_EQ(ReadString(HKEY_CURRENT_USER, kUserSettings, "Language"), "English");

  HWND combo = ChildOfClass(language, "ComboBox");
  ASSERT_NE(combo, nullptr);
  EXPECT_EQ(SendMessageA(combo, CB_GETCOUNT, 0, 0), 3);
  ASSERT_TRUE(ChooseInCombo(combo, "Deutsch"));
  EXPECT_TRUE(WaitFor([&] { return Button(language, "Nach Sprachaktualisierungen suchen") != nullptr; }, 5000));
  EXPECT_EQ(Text(language), "Sprachauswahl");
  EXPECT_EQ(ReadString(HKEY_CURRENT_USER, kUserSettings, "Language"), "Deutsch");
  Sleep(300);
  const std::string languageShot = TempBitmap("language_window_de.bmp");
  ASSERT_TRUE(Capture(language, languageShot));
  const Bitmap languagePixels = LoadBitmap(languageShot);
  for (const char* caption : {"Nach Sprachaktualisierungen suchen", "Dieses Programm \xFC" "bersetzen", "OK"}) {
    HWND b = Button(language, caption);
    ASSERT_NE(b, nullptr) << caption;
    EXPECT_EQ(ButtonTextClipped(languagePixels, language, b), "") << caption;
  }

  FinishStart(language, " von ");
  EXPECT_EQ(Text(k.main), "Kestrix von Kestrix Labs");
  Sleep(1000);
  const std::string mainShot = TempBitmap("main_window_de.bmp");
  ASSERT_TRUE(Capture(k.main, mainShot));
  const Bitmap pixels = LoadBitmap(mainShot);
  ASSERT_GT(pixels.width, 0) << mainShot;
  // The side bar in German, drawn whole: the longest captions of the window.
  for (const char* caption : {"Jetzt pr\xFC" "fen", "Ergebnisse/Entfernen", "Einstellungen", "Besuchen Sie http://www.kestrix.example",
                              "In den Infobereich"}) {
    HWND b = Button(k.main, caption);
    if (!b) {
      ADD_FAILURE() << "no button \"" << caption << "\"";
      continue;
    }
    EXPECT_EQ(ButtonTextClipped(pixels, k.main, b), "") << caption;
  }
  bool never = false;
  for (HWND h : Children(k.main)) never = never || Text(h) == "Nie";
  EXPECT_TRUE(never) << "the Status panel still says Never";
}

// Driven by language_e2e.sh: KESTRIX_E2E_SERVER is the vendor server, KESTRIX_E2E_CASE says
// what it serves ("good": KESTRIX_E2E_SERVED, a new file behind a byte-order mark; "error":
// nothing, so a 404 page).
class LanguageE2E : public FirstStart {
 protected:
  void SetUp() override {
    const char* server = std::getenv("KESTRIX_E2E_SERVER");
    const char* which = std::getenv("KESTRIX_E2E_CASE");
    ASSERT_TRUE(server && *server && which && std::getenv("KESTRIX_E2E_SERVED"))
        << "run through tests/wine_gui/language_e2e.sh, which starts the server";
    served = which;
    FirstStart::SetUp();
    WriteString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Kestrix Labs\\Kestrix\\Servers", "Languages", server);
    WriteString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Kestrix Labs\\Kestrix\\Servers", "TimeoutSeconds", "8");
  }
  std::string served;
};

TEST_F(LanguageE2E, CheckForLanguageUpdates) {
  const std::string before = ReadAll(localization);
  HWND language = StartToLanguageWindow();
  ASSERT_NE(language, nullptr);
  HWND check = Button(language, "Check for language updates");
  ASSERT_NE(check, nullptr);
  PostMessageA(check, BM_CLICK, 0, 0);
  HWND combo = ChildOfClass(language, "ComboBox");
  if (served == "good") {
    HWND box = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (box = MessageBoxWith(k.pi.dwProcessId, "has been downloaded")) != nullptr; }, 30000))
        << "no word of the download";
    // The server's copy, which starts with a byte-order mark: stored without it, CR LF added.
    const std::string served = ReadAll(WinePath(std::getenv("KESTRIX_E2E_SERVED")));
    ASSERT_EQ(served.substr(0, 3), "\xEF\xBB\xBF");
    EXPECT_EQ(ReadAll(localization), served.substr(3) + "\r\n");
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    // The list has the new language.
    EXPECT_TRUE(WaitFor([&] { return SendMessageA(combo, CB_GETCOUNT, 0, 0) == 4; }, 5000));
  } else {
    // The window stays as it was and says nothing; the file is untouched.
    Sleep(2000);  // the loopback answer is at hand long before this
    EXPECT_TRUE(WaitFor([&] { return IsWindowEnabled(check) != 0; }, 30000));
    EXPECT_EQ(MessageBoxWith(k.pi.dwProcessId, ""), nullptr);
    EXPECT_EQ(ReadAll(localization), before);
    EXPECT_EQ(SendMessageA(combo, CB_GETCOUNT, 0, 0), 3);
  }
  FinishStart(language, " by ");
}

}  // namespace
