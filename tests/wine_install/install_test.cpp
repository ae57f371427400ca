// Kestrix-Setup.exe and its uninstaller under Wine, in a prefix of their own: where the
// files, definitions and registry entries land, that the installed program runs from there
// on them, what an uninstall leaves, and the pages a user clicks through.
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "wine_gui/running_kestrix.h"
#include "wine_install/install_support.h"

namespace {

using namespace kx::install_test;
using kx::exe_test::Capture;
using kx::exe_test::DistinctColours;
using kx::exe_test::Text;

// The line encoding of the data folder's definition files: +64, wrapping past 255 by 255.
std::string Encoded(const std::string& plainFile) {
  std::string out;
  for (const std::string& line : Lines(plainFile)) {
    for (unsigned char c : line) {
      int e = c + 64;
      if (e > 255) e -= 255;
      out += static_cast<char>(e);
    }
    out += "\r\n";
  }
  return out;
}

// "major.minor" from the version resource Windows reads out of the file.
std::string FileVersion(const std::string& path) {
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeA(path.c_str(), &ignored);
  std::vector<char> data(size);
  VS_FIXEDFILEINFO* info = nullptr;
  UINT len = 0;
  if (!size || !GetFileVersionInfoA(path.c_str(), 0, size, data.data()) ||
      !VerQueryValueA(data.data(), "\\", reinterpret_cast<void**>(&info), &len) || !info)
    return "<no version>";
  return std::to_string(HIWORD(info->dwFileVersionMS)) + "." + std::to_string(LOWORD(info->dwFileVersionMS));
}

std::string ShortcutTarget(const std::string& lnk) {
  IShellLinkA* link = nullptr;
  std::string target = "<unreadable>";
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                              reinterpret_cast<void**>(&link))))
    return target;
  IPersistFile* file = nullptr;
  if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
    wchar_t wide[MAX_PATH] = {};
    MultiByteToWideChar(CP_ACP, 0, lnk.c_str(), -1, wide, MAX_PATH);
    char path[MAX_PATH] = {};
    if (SUCCEEDED(file->Load(wide, STGM_READ)) && SUCCEEDED(link->GetPath(path, MAX_PATH, nullptr, 0)))
      target = path;
    file->Release();
  }
  link->Release();
  return target;
}

bool SameFile(const std::string& a, const std::string& b) { return lstrcmpiA(a.c_str(), b.c_str()) == 0; }

// A visible top-level window whose caption starts with head and holds part; pid 0: any
// process. EnumWindows goes from the top: topmost takes the first that fits.
HWND TopWindow(const std::string& head, const std::string& part, DWORD pid = 0, bool topmost = false) {
  struct Ctx {
    const std::string &head, &part;
    DWORD pid;
    bool topmost;
    HWND found;
  } ctx{head, part, pid, topmost, nullptr};
  EnumWindows(
      [](HWND h, LPARAM p) CALLBACK -> BOOL {
        auto* c = reinterpret_cast<Ctx*>(p);
        DWORD owner = 0;
        GetWindowThreadProcessId(h, &owner);
        const std::string t = Text(h);
        if (IsWindowVisible(h) && (!c->pid || owner == c->pid) && t.compare(0, c->head.size(), c->head) == 0 &&
            t.find(c->part, c->head.size()) != std::string::npos) {
          c->found = h;
          return !c->topmost;
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&ctx));
  return ctx.found;
}

// A control's own text; GetWindowText does not reach into another process's edit controls.
std::string EditText(HWND edit) {
  char buf[MAX_PATH] = {};
  SendMessageA(edit, WM_GETTEXT, sizeof buf, reinterpret_cast<LPARAM>(buf));
  return buf;
}

// What a window holds, for failure messages: "class:text" of every visible child.
std::string Describe(HWND window) {
  std::string out = "[" + Text(window) + "]";
  for (HWND h : kx::exe_test::Children(window))
    if (IsWindowVisible(h)) out += " " + kx::exe_test::ClassOf(h) + ":" + Text(h);
  return out;
}

// The visible top-level windows of a process, described.
std::string DescribeProcess(DWORD pid) {
  struct Ctx {
    DWORD pid;
    std::string out;
  } ctx{pid, ""};
  EnumWindows(
      [](HWND h, LPARAM p) CALLBACK -> BOOL {
        auto* c = reinterpret_cast<Ctx*>(p);
        DWORD owner = 0;
        GetWindowThreadProcessId(h, &owner);
        if (owner == c->pid && IsWindowVisible(h)) c->out += Describe(h) + "\n";
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&ctx));
  return ctx.out;
}

// The wizard's own buttons, as every NSIS page has them.
constexpr int kNext = 1;

void PressNext(HWND wizard) {
  PostMessageA(wizard, WM_COMMAND, MAKEWPARAM(kNext, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(wizard, kNext)));
}

std::string ArtifactDir() {
  const char* a = std::getenv("KESTRIX_ARTIFACTS");
  return a && *a ? WinePath(a) : "";
}

// A capture of the window, kept with the artefacts, that must show a drawn page: text,
// buttons, edges and the icon give it many colours where a blank window has one or two.
void Shot(HWND window, const std::string& name) {
  const std::string dir = ArtifactDir();
  ASSERT_FALSE(dir.empty()) << "KESTRIX_ARTIFACTS is not set: the screenshots have nowhere to go";
  const std::string path = dir + "\\" + name;
  Sleep(700);  // the page has been switched; let it paint
  ASSERT_TRUE(Capture(window, path)) << path;
  EXPECT_GE(DistinctColours(path), 8u) << path << " looks blank";
}

void StartInstalled(kx::exe_test::RunningKestrix& k) {
  const std::string exe = InstallDir() + "\\Kestrix.exe";
  STARTUPINFOA si{};
  si.cb = sizeof si;
  std::string cmd = "\"" + exe + "\"";
  const std::string elsewhere = ShellFolder(CSIDL_WINDOWS);
  ASSERT_TRUE(CreateProcessA(exe.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, elsewhere.c_str(), &si,
                             &k.pi));
}

class Installer : public ::testing::Test {
 protected:
  void SetUp() override {
    BOOL wow64 = FALSE;
    ASSERT_TRUE(IsWow64Process(GetCurrentProcess(), &wow64));
    ASSERT_TRUE(wow64) << "the installer tests expect a 64-bit prefix, where 32-bit programs live apart";
    ASSERT_TRUE(Exists(SetupExe())) << SetupExe();
    Clean();
    ASSERT_FALSE(Exists(InstallDir()));
    ASSERT_FALSE(Exists(DataFolder()));
    if (!ArtifactDir().empty()) SHCreateDirectoryExA(nullptr, ArtifactDir().c_str(), nullptr);
    CoInitialize(nullptr);
  }
  void TearDown() override {
    CoUninitialize();
    Clean();
  }
};

TEST_F(Installer, SilentInstallPutsProgramDefinitionsSettingsShortcutsAndUninstallEntryInPlace) {
  ASSERT_NO_FATAL_FAILURE(SilentInstall());

  // The program folder: 32-bit Program Files, as Windows names it for a 32-bit program.
  const std::string dir = InstallDir();
  EXPECT_NE(dir.find("\\Program Files (x86)\\"), std::string::npos) << dir;
  EXPECT_EQ(ReadAll(dir + "\\Kestrix.exe"), ReadAll(WinePath(KESTRIX_EXE)));
  EXPECT_EQ(ReadAll(dir + "\\Localization.txt"), ReadAll(WinePath(KESTRIX_SOURCE_DIR "/packaging/Localization.txt")));
  EXPECT_EQ(ReadAll(dir + "\\Help.chm"), ReadAll(WinePath(KESTRIX_HELP_CHM)));
  EXPECT_TRUE(Exists(dir + "\\Uninstall.exe"));

  // The first definition set, line-encoded, and its date as the first line of date.dat.
  const std::string data = DataFolder();
  for (const char* name : {"BlockedCookies", "DirectoryDefinition", "ExeDefinition", "FileDefinition",
                           "RegistryDefinition", "Safety"}) {
    const std::string plain = SourceDefinitions(name);
    ASSERT_FALSE(plain.empty()) << name;
    EXPECT_EQ(ReadAll(data + "\\" + name + ".dat"), Encoded(plain)) << name;
  }
  EXPECT_EQ(ReadAll(data + "\\date.dat"), std::string(KESTRIX_DEFINITIONS_DATE) + "\r\n");
  EXPECT_FALSE(Exists(data + "\\ENoSignature.dat")) << "the user's exclusions are not the installer's to write";

  // The server addresses, in the registry view the 32-bit program reads and only there.
  const std::string servers = std::string(kMachineProduct) + "\\Servers";
  for (const char* name : {"Definitions", "Data", "Languages"})
    EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, servers.c_str(), name), KESTRIX_INSTALLER_SERVER) << name;
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, servers, KEY_WOW64_64KEY));

  // Add/Remove Programs.
  EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, kUninstallKey, "DisplayName"), "Kestrix");
  EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, kUninstallKey, "Publisher"), "Kestrix Labs");
  EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, kUninstallKey, "DisplayVersion"), FileVersion(dir + "\\Kestrix.exe"));
  std::string uninstall = ReadString(HKEY_LOCAL_MACHINE, kUninstallKey, "UninstallString");
  if (uninstall.size() > 2 && uninstall.front() == '"') uninstall = uninstall.substr(1, uninstall.find('"', 1) - 1);
  EXPECT_TRUE(SameFile(uninstall, dir + "\\Uninstall.exe")) << uninstall;
  std::string icon = ReadString(HKEY_LOCAL_MACHINE, kUninstallKey, "DisplayIcon");
  icon = icon.substr(0, icon.rfind(','));
  EXPECT_TRUE(SameFile(icon, dir + "\\Kestrix.exe")) << icon;

  // Start menu: the program, its help and the uninstaller.
  const std::string menu = MenuFolder();
  EXPECT_TRUE(SameFile(ShortcutTarget(menu + "\\Kestrix.lnk"), dir + "\\Kestrix.exe"));
  EXPECT_TRUE(SameFile(ShortcutTarget(menu + "\\Kestrix Help.lnk"), dir + "\\Help.chm"));
  EXPECT_TRUE(SameFile(ShortcutTarget(menu + "\\Uninstall Kestrix.lnk"), dir + "\\Uninstall.exe"));
}

TEST_F(Installer, InstalledProgramFindsItsHelpAndDefinitionsAndScansWithThem) {
  ASSERT_NO_FATAL_FAILURE(SilentInstall());

  // A key the registry definitions name, below HKEY_CURRENT_USER (hive code 1).
  std::string plantedKey, threat;
  for (const std::string& line : Lines(SourceDefinitions("RegistryDefinition"))) {
    const size_t eq = line.rfind('=');
    const std::string location = line.substr(0, eq);
    if (location.rfind("1^", 0) != 0 || location.back() != '^' || eq == std::string::npos) continue;
    plantedKey = location.substr(2, location.size() - 3);
    threat = line.substr(eq + 1, line.find('|', eq) - eq - 1);
    break;
  }
  ASSERT_FALSE(plantedKey.empty()) << "no per-user key among the sample registry definitions";
  HKEY key;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, plantedKey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                            nullptr),
            ERROR_SUCCESS);
  RegCloseKey(key);

  // A user's very first start, from another current folder than the program's.
  kx::exe_test::RunningKestrix k;
  ASSERT_NO_FATAL_FAILURE(StartInstalled(k));
  // The language window holds the start until it closes; it is the topmost window then.
  ASSERT_TRUE(WaitFor([&] {
    return ReadString(HKEY_CURRENT_USER, (std::string(kUserProduct) + "\\Settings").c_str(), "Language") == "English";
  })) << "the first start never chose a language:\n" << DescribeProcess(k.pi.dwProcessId);
  Sleep(1500);
  HWND language = TopWindow("", "", k.pi.dwProcessId, true);
  ASSERT_NE(language, nullptr);
  PostMessageA(language, WM_CLOSE, 0, 0);
  HWND offer = nullptr;
  ASSERT_TRUE(WaitFor([&] { return (offer = TopWindow("Update Now?", "", k.pi.dwProcessId)) != nullptr; }));
  // Written only when Help.chm was found beside the program and opened.
  EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, (std::string(kMachineProduct) + "\\Settings").c_str(), "showHelp"), "0");
  PostMessageA(offer, WM_COMMAND, IDNO, 0);
  ASSERT_TRUE(WaitFor([&] { return (k.main = TopWindow("Kestrix by ", "", k.pi.dwProcessId)) != nullptr; }));

  // The Status panel counts the installed definitions (every line of the five scanned files)
  // and shows their date.
  size_t lines = 0;
  for (const char* name : {"BlockedCookies", "DirectoryDefinition", "ExeDefinition", "FileDefinition",
                           "RegistryDefinition"})
    lines += Lines(SourceDefinitions(name)).size();
  auto shows = [&](const std::string& text) {
    for (HWND h : kx::exe_test::Children(k.main))
      if (IsWindowVisible(h) && Text(h) == text) return true;
    return false;
  };
  EXPECT_TRUE(WaitFor([&] { return shows(std::to_string(lines)); }, 10000)) << "definitions count " << lines;
  EXPECT_TRUE(shows(std::string(KESTRIX_DEFINITIONS_DATE) + " PST"));
  ASSERT_NO_FATAL_FAILURE(k.Screenshot("installed_status.bmp"));

  // A scan reads them: the planted key is reported under its threat's name.
  ASSERT_NO_FATAL_FAILURE(k.QuickScan());
  bool found = false;
  const auto lists = k.Lists();
  for (const auto& list : lists)
    for (const std::string& row : list)
      found |= row.rfind(threat + "|", 0) == 0 && row.find(plantedKey) != std::string::npos;
  EXPECT_TRUE(found) << threat << " at " << plantedKey << " not in the results:\n" << kx::exe_test::Dump(lists);

  // The help viewer the first start opened is this test's to close.
  for (DWORD child : ChildrenOf(k.pi.dwProcessId))
    if (HANDLE h = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, child)) {
      TerminateProcess(h, 0);
      WaitForSingleObject(h, 10000);
      CloseHandle(h);
    }
  RegDeleteTreeA(HKEY_CURRENT_USER, plantedKey.c_str());
  RegDeleteKeyA(HKEY_CURRENT_USER, plantedKey.c_str());
}

TEST_F(Installer, SilentUninstallLeavesOnlyTheDataFolderAndAReinstallKeepsItsDefinitions) {
  ASSERT_NO_FATAL_FAILURE(SilentInstall());
  // What a run of the program leaves: settings in both stores, its start-up entry and a
  // quarantined file.
  kx::exe_test::WriteString(HKEY_CURRENT_USER, (std::string(kUserProduct) + "\\Settings").c_str(), "Language", "English");
  kx::exe_test::WriteString(HKEY_LOCAL_MACHINE, (std::string(kMachineProduct) + "\\Settings").c_str(), "FirstTime", "Yes");
  kx::exe_test::WriteString(HKEY_LOCAL_MACHINE, kRunKey, "Kestrix", InstallDir() + "\\Kestrix");
  const std::string quarantined = DataFolder() + "\\quarantine\\btcore.dll";
  CreateDirectoryA((DataFolder() + "\\quarantine").c_str(), nullptr);
  kx::exe_test::PutFile(quarantined, "backup");

  ASSERT_EQ(RunUninstaller("/S"), 0u);
  EXPECT_FALSE(Exists(InstallDir())) << "program folder left behind";
  EXPECT_FALSE(Exists(MenuFolder())) << "shortcuts left behind";
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kUninstallKey));
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kUserProduct));
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kMachineProduct));
  EXPECT_FALSE(ValueExists(HKEY_LOCAL_MACHINE, kRunKey, "Kestrix"));
  // The silent answer keeps the data folder, quarantine and definitions included.
  EXPECT_EQ(ReadAll(quarantined), "backup");
  EXPECT_TRUE(Exists(DataFolder() + "\\FileDefinition.dat"));

  // Definitions a Live Update brought after the first install are newer than the installer's.
  const std::string later = "11/30/2026 9:00:00 AM\r\n";
  kx::exe_test::PutFile(DataFolder() + "\\date.dat", later);
  kx::exe_test::PutFile(DataFolder() + "\\FileDefinition.dat", Encoded("x.dll=Later|[system]|Adware\r\n"));
  ASSERT_NO_FATAL_FAILURE(SilentInstall());
  EXPECT_EQ(ReadAll(DataFolder() + "\\date.dat"), later);
  EXPECT_EQ(ReadAll(DataFolder() + "\\FileDefinition.dat"), Encoded("x.dll=Later|[system]|Adware\r\n"));
}

TEST_F(Installer, SetupAndUninstallLeaveARunningProgramWhole) {
  ASSERT_NO_FATAL_FAILURE(SilentInstall());
  // Started before: straight to the main window.
  kx::exe_test::WriteString(HKEY_CURRENT_USER, (std::string(kUserProduct) + "\\Settings").c_str(), "Language", "English");
  kx::exe_test::WriteString(HKEY_CURRENT_USER, (std::string(kUserProduct) + "\\Settings").c_str(), "showHelp", "0");
  kx::exe_test::WriteString(HKEY_LOCAL_MACHINE, (std::string(kMachineProduct) + "\\Settings").c_str(), "FirstTime", "Yes");
  const std::string marker = InstallDir() + "\\Localization.txt";
  kx::exe_test::PutFile(marker, "as the user left it");
  {
    kx::exe_test::RunningKestrix k;
    ASSERT_NO_FATAL_FAILURE(StartInstalled(k));
    ASSERT_TRUE(WaitFor([&] { return (k.main = TopWindow("Kestrix by ", "", k.pi.dwProcessId)) != nullptr; }));

    EXPECT_NE(RunUninstaller("/S"), 0u) << "a silent uninstall went ahead under the running program";
    EXPECT_TRUE(Exists(InstallDir() + "\\Kestrix.exe"));
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kUninstallKey));
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, std::string(kMachineProduct) + "\\Servers"));
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, kUserProduct));

    Started setup;
    Start(setup, SetupExe(), "/S");
    ASSERT_TRUE(setup.ok);
    EXPECT_NE(setup.Wait(120000), 0u) << "a silent setup went ahead under the running program";
    EXPECT_TRUE(ReadAll(marker) == "as the user left it") << "the setup replaced the running program's files";
  }  // closes the program
  EXPECT_EQ(RunUninstaller("/S"), 0u);
  EXPECT_FALSE(Exists(InstallDir()));
}

TEST_F(Installer, PagesOfSetupAndUninstallDrawAndTheUninstallerAsksBeforeRemovingData) {
  Started setup;
  Start(setup, SetupExe());
  ASSERT_TRUE(setup.ok);
  HWND wizard = nullptr;
  ASSERT_TRUE(WaitFor([&] { return (wizard = TopWindow("Kestrix ", " Setup", setup.pi.dwProcessId)) != nullptr; }));
  ASSERT_NO_FATAL_FAILURE(Shot(wizard, "setup_welcome.bmp"));

  PressNext(wizard);
  // The folder page offers the 32-bit Program Files folder.
  HWND folder = nullptr;
  ASSERT_TRUE(WaitFor([&] {
    for (HWND h : kx::exe_test::Children(wizard))
      if (IsWindowVisible(h) && kx::exe_test::ClassOf(h) == "Edit" && EditText(h).find("Kestrix") != std::string::npos)
        folder = h;
    return folder != nullptr;
  }, 10000)) << Describe(wizard);
  EXPECT_TRUE(SameFile(EditText(folder), InstallDir())) << EditText(folder);
  ASSERT_NO_FATAL_FAILURE(Shot(wizard, "setup_folder.bmp"));

  PressNext(wizard);  // Install
  // Done when the progress page offers to go on.
  ASSERT_TRUE(WaitFor([&] {
    HWND next = GetDlgItem(wizard, kNext);
    return EditText(next) == "&Next >" && IsWindowEnabled(next);
  })) << Describe(wizard);
  EXPECT_TRUE(Exists(InstallDir() + "\\Uninstall.exe"));
  ASSERT_NO_FATAL_FAILURE(Shot(wizard, "setup_progress.bmp"));
  PressNext(wizard);
  ASSERT_TRUE(WaitFor([&] { return EditText(GetDlgItem(wizard, kNext)) == "&Finish"; }, 10000));
  ASSERT_NO_FATAL_FAILURE(Shot(wizard, "setup_finish.bmp"));
  PressNext(wizard);
  EXPECT_EQ(setup.Wait(30000), 0u);
  ASSERT_TRUE(Exists(DataFolder() + "\\FileDefinition.dat"));

  // The uninstaller runs as a copy of itself: it is found by its caption.
  Started un;
  Start(un, InstallDir() + "\\Uninstall.exe");
  ASSERT_TRUE(un.ok);
  HWND unwizard = nullptr;
  ASSERT_TRUE(WaitFor([&] { return (unwizard = TopWindow("Kestrix ", " Uninstall")) != nullptr; }));
  DWORD unpid = 0;
  GetWindowThreadProcessId(unwizard, &unpid);
  ASSERT_NO_FATAL_FAILURE(Shot(unwizard, "uninstall_confirm.bmp"));
  PressNext(unwizard);

  // The question about the data folder, with No as the default answer.
  HWND box = nullptr;
  ASSERT_TRUE(WaitFor([&] {
    struct Ctx {
      DWORD pid;
      HWND wizard, found;
    } ctx{unpid, unwizard, nullptr};
    EnumWindows(
        [](HWND h, LPARAM p) CALLBACK -> BOOL {
          auto* c = reinterpret_cast<Ctx*>(p);
          DWORD owner = 0;
          GetWindowThreadProcessId(h, &owner);
          if (owner == c->pid && h != c->wizard && IsWindowVisible(h) && GetDlgItem(h, IDYES) && GetDlgItem(h, IDNO))
            c->found = h;
          return TRUE;
        },
        reinterpret_cast<LPARAM>(&ctx));
    return (box = ctx.found) != nullptr;
  }));
  bool namesTheFolder = false;
  for (HWND h : kx::exe_test::Children(box)) namesTheFolder |= Text(h).find(DataFolder()) != std::string::npos;
  EXPECT_TRUE(namesTheFolder) << "the question does not say which folder";
  EXPECT_EQ(GetWindowLongA(GetDlgItem(box, IDNO), GWL_STYLE) & BS_TYPEMASK, BS_DEFPUSHBUTTON) << "No is not the default";
  EXPECT_EQ(GetWindowLongA(GetDlgItem(box, IDYES), GWL_STYLE) & BS_TYPEMASK, BS_PUSHBUTTON);
  ASSERT_NO_FATAL_FAILURE(Shot(box, "uninstall_question.bmp"));
  // The program's own files are gone before the question is asked.
  EXPECT_FALSE(Exists(InstallDir() + "\\Kestrix.exe"));
  PostMessageA(box, WM_COMMAND, IDYES, 0);

  EXPECT_TRUE(WaitFor([&] { return !Exists(DataFolder()); })) << "Yes kept the data folder";
  ASSERT_TRUE(WaitFor([&] {
    HWND close = GetDlgItem(unwizard, kNext);
    return EditText(close) == "&Close" && IsWindowEnabled(close);
  })) << Describe(unwizard);
  ASSERT_NO_FATAL_FAILURE(Shot(unwizard, "uninstall_done.bmp"));
  PressNext(unwizard);  // Close
  WaitForProcess(unpid, 30000);
  EXPECT_FALSE(Exists(InstallDir()));
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kUninstallKey));
}

}  // namespace
