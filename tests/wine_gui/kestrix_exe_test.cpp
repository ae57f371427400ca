// The real Kestrix.exe under Wine: started as a user would, watched through the registry
// and its windows.
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "exe_support.h"

namespace {

using namespace kx::exe_test;

constexpr const char* kUserRoot = "Software\\Kestrix Labs";
constexpr const char* kUserSettings = "Software\\Kestrix Labs\\Kestrix\\Settings";
constexpr const char* kUserOptions = "Software\\Kestrix Labs\\Kestrix\\OptionAndSettings";
constexpr const char* kMachineSettings = "SOFTWARE\\Kestrix Labs\\Kestrix\\Settings";





struct Process {
  PROCESS_INFORMATION pi{};
  bool started = false;

  explicit Process(const std::string& exe) {
    STARTUPINFOA si{};
    si.cb = sizeof(si);
    std::string cmd = "\"" + exe + "\"";
    started = CreateProcessA(exe.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi);
  }
  ~Process() {
    if (!started) return;
    if (WaitForSingleObject(pi.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(pi.hProcess, 1);
    WaitForSingleObject(pi.hProcess, 10000);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
  }
  bool Exited(DWORD ms) const { return WaitForSingleObject(pi.hProcess, ms) == WAIT_OBJECT_0; }
  DWORD ExitCode() const {
    DWORD code = 0;
    GetExitCodeProcess(pi.hProcess, &code);
    return code;
  }
  // The process's visible top-level windows, topmost first.
  std::vector<HWND> Windows() const {
    struct Ctx {
      DWORD pid;
      std::vector<HWND> out;
    } ctx{pi.dwProcessId, {}};
    EnumWindows(
        [](HWND h, LPARAM p) CALLBACK -> BOOL {
          auto* c = reinterpret_cast<Ctx*>(p);
          DWORD pid = 0;
          GetWindowThreadProcessId(h, &pid);
          if (pid == c->pid && IsWindowVisible(h)) c->out.push_back(h);
          return TRUE;
        },
        reinterpret_cast<LPARAM>(&ctx));
    return ctx.out;
  }
};


HWND FindChild(HWND parent, const std::string& caption) {
  struct Ctx {
    std::string caption;
    HWND found = nullptr;
  } ctx{caption};
  EnumChildWindows(
      parent,
      [](HWND h, LPARAM p) CALLBACK -> BOOL {
        auto* c = reinterpret_cast<Ctx*>(p);
        if (IsWindowVisible(h) && Text(h) == c->caption) {
          c->found = h;
          return FALSE;
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&ctx));
  return ctx.found;
}

HWND FindClass(HWND parent, const char* cls) {
  struct Ctx {
    const char* cls;
    HWND found = nullptr;
  } ctx{cls};
  EnumChildWindows(
      parent,
      [](HWND h, LPARAM p) CALLBACK -> BOOL {
        auto* c = reinterpret_cast<Ctx*>(p);
        char name[64] = {};
        GetClassNameA(h, name, sizeof(name));
        if (IsWindowVisible(h) && lstrcmpiA(name, c->cls) == 0) {
          c->found = h;
          return FALSE;
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&ctx));
  return ctx.found;
}


class KestrixExe : public ::testing::Test {
 protected:
  void SetUp() override {
    exe = WinePath(KESTRIX_EXE);
    char appData[MAX_PATH] = {};
    ASSERT_TRUE(SHGetSpecialFolderPathA(nullptr, appData, CSIDL_APPDATA, TRUE));
    dataFolder = std::string(appData) + "\\DideZuvurudARA";
    CreateDirectoryA(dataFolder.c_str(), nullptr);
    WriteFile("BlockedCookies.dat", "a\r\nb\r\n");
    WriteFile("ExeDefinition.dat", "a\r\n");
    WriteFile("RegistryDefinition.dat", "a\r\nb\r\nc\r\n");
    WriteFile("FileDefinition.dat", "a\r\n");
    WriteFile("DirectoryDefinition.dat", "a\r\n");
    RegDeleteTreeA(HKEY_CURRENT_USER, kUserRoot);
    const char* artifacts = std::getenv("KESTRIX_ARTIFACTS");
    if (artifacts && *artifacts) {
      artifactDir = WinePath(artifacts);
      CreateDirectoryA(artifactDir.c_str(), nullptr);
    }
  }

  void WriteFile(const std::string& name, const std::string& bytes) {
    FILE* f = std::fopen((dataFolder + "\\" + name).c_str(), "wb");
    ASSERT_TRUE(f);
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
  }

  void SeenBefore() {
    WriteString(HKEY_CURRENT_USER, kUserSettings, "Language", "English");
    WriteString(HKEY_CURRENT_USER, kUserSettings, "showHelp", "0");
    WriteString(HKEY_LOCAL_MACHINE, kMachineSettings, "FirstTime", "Yes");
  }

  std::string Status() const { return ReadString(HKEY_CURRENT_USER, kUserOptions, "STATUS"); }

  // The main window: the one whose caption names the program's maker.
  HWND MainWindow(const Process& p) const {
    for (HWND h : p.Windows())
      if (Text(h).find(" by ") != std::string::npos) return h;
    return nullptr;
  }

  std::string exe, dataFolder, artifactDir;
};

TEST_F(KestrixExe, StartsRunsAloneAndStopsOnClose) {
  SeenBefore();
  Process first(exe);
  ASSERT_TRUE(first.started) << exe;
  ASSERT_TRUE(WaitFor([&] { return Status() == "RUNNING"; })) << "STATUS " << Status();
  HWND main = nullptr;
  ASSERT_TRUE(WaitFor([&] { return (main = MainWindow(first)) != nullptr; }));
  EXPECT_EQ(ReadString(HKEY_CURRENT_USER, kUserOptions, "RESTART"), "False");
  EXPECT_EQ(ReadString(HKEY_CURRENT_USER, kUserOptions, "optScanOnlyKnownSoftwares"), "True");

  // The Status panel shows the counts of the data folder.
  EXPECT_TRUE(WaitFor([&] { return FindChild(main, "8") != nullptr; }, 5000)) << "definitions count";
  EXPECT_NE(FindChild(main, "3/16/2006 12:00:00 AM PST"), nullptr);
  EXPECT_NE(FindChild(main, "Never"), nullptr);

  // A second copy ends by itself without a window and leaves the first running.
  {
    Process second(exe);
    ASSERT_TRUE(second.started);
    EXPECT_TRUE(second.Exited(30000));
    EXPECT_EQ(second.ExitCode(), 0u);
  }
  EXPECT_FALSE(first.Exited(0));
  EXPECT_EQ(Status(), "RUNNING");

  if (!artifactDir.empty()) {
    Sleep(500);
    EXPECT_TRUE(Capture(main, artifactDir + "\\main.bmp"));
    const std::pair<const char*, const char*> panels[] = {{"Scan Now", "panel_scan.bmp"},
                                                          {"Results/Removal", "panel_results.bmp"},
                                                          {"Status", "panel_status.bmp"},
                                                          {"Settings", "panel_options.bmp"}};
    for (auto [button, file] : panels) {
      HWND b = FindChild(main, button);
      ASSERT_NE(b, nullptr) << button;
      SendMessageA(b, BM_CLICK, 0, 0);
      Sleep(500);
      EXPECT_TRUE(Capture(main, artifactDir + "\\" + file)) << file;
    }
    // The other option tabs, stepped to with the arrow key.
    HWND tabs = FindClass(main, WC_TABCONTROLA);
    ASSERT_NE(tabs, nullptr);
    for (int i = 1; i < 4; ++i) {
      SendMessageA(tabs, WM_KEYDOWN, VK_RIGHT, 0);
      SendMessageA(tabs, WM_KEYUP, VK_RIGHT, 0);
      Sleep(500);
      EXPECT_EQ(SendMessageA(tabs, TCM_GETCURSEL, 0, 0), i);
      EXPECT_TRUE(Capture(main, artifactDir + "\\panel_options_tab" + std::to_string(i + 1) + ".bmp"));
    }
  }

  PostMessageA(main, WM_CLOSE, 0, 0);
  EXPECT_TRUE(first.Exited(30000));
  EXPECT_EQ(Status(), "STOPPED");
  // Nobody dragged a column: the widths follow the window and are not kept.
  EXPECT_EQ(ReadString(HKEY_CURRENT_USER, kUserSettings, "FoundCol21"), "<none>");
  EXPECT_EQ(ReadString(HKEY_CURRENT_USER, kUserSettings, "Max"), "0");
}

TEST_F(KestrixExe, FirstStartAsksForTheLanguageThenOffersLiveUpdate) {
  RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, kMachineSettings, "FirstTime");
  RegDeleteKeyValueA(HKEY_CURRENT_USER, kUserSettings, "FirstTime");
  Process p(exe);
  ASSERT_TRUE(p.started);
  // The language window holds the start until it closes.
  ASSERT_TRUE(WaitFor([&] { return ReadString(HKEY_CURRENT_USER, kUserSettings, "Language") == "English"; }));
  Sleep(1500);
  EXPECT_EQ(Status(), "<none>");
  std::vector<HWND> windows = p.Windows();
  ASSERT_FALSE(windows.empty());
  PostMessageA(windows.front(), WM_CLOSE, 0, 0);

  HWND offer = nullptr;
  ASSERT_TRUE(WaitFor([&] {
    for (HWND h : p.Windows())
      if (Text(h) == "Update Now?") offer = h;
    return offer != nullptr;
  }));
  EXPECT_EQ(Status(), "RUNNING");
  // Asked once per user; the machine's settings are not written.
  EXPECT_EQ(ReadString(HKEY_CURRENT_USER, kUserSettings, "FirstTime"), "Yes");
  EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, kMachineSettings, "FirstTime"), "<none>");
  EXPECT_EQ(ReadString(HKEY_CURRENT_USER, kUserSettings, "showHelp"), "0");
  PostMessageA(offer, WM_COMMAND, IDNO, 0);

  HWND main = nullptr;
  ASSERT_TRUE(WaitFor([&] { return (main = MainWindow(p)) != nullptr; }));
  PostMessageA(main, WM_CLOSE, 0, 0);
  EXPECT_TRUE(p.Exited(30000));
  EXPECT_EQ(Status(), "STOPPED");
}

}  // namespace
