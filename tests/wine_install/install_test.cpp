// Kestrix-Setup.exe and its uninstaller under Wine, in a prefix of their own: where the
// files, definitions and registry entries land, that the installed program runs from there
// on them for a user who did not install it, what an upgrade keeps and refuses, what an
// uninstall leaves, and the pages a user clicks through.
#include <windows.h>
#include <objbase.h>
#include <sddl.h>
#include <commctrl.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
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

const std::string kUserSettings = std::string(kUserProduct) + "\\Settings";
const std::string kMachineSettings = std::string(kMachineProduct) + "\\Settings";

// The visible top-level windows of the program besides its main window, described: a box it
// showed on its own.
std::string StrayWindowsNow(const kx::exe_test::RunningKestrix& k) {
  struct Ctx {
    DWORD pid;
    HWND main;
    std::string out;
  } ctx{k.pi.dwProcessId, k.main, ""};
  EnumWindows(
      [](HWND h, LPARAM p) CALLBACK -> BOOL {
        auto* c = reinterpret_cast<Ctx*>(p);
        DWORD owner = 0;
        GetWindowThreadProcessId(h, &owner);
        if (owner == c->pid && h != c->main && IsWindowVisible(h)) c->out += Describe(h) + "\n";
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&ctx));
  return ctx.out;
}

// The same once the splash window has had its time to go; a box stays until answered.
std::string StrayWindows(const kx::exe_test::RunningKestrix& k) {
  WaitFor([&] { return StrayWindowsNow(k).empty(); }, 5000);
  return StrayWindowsNow(k);
}

// A user's very first start, from another current folder than the program's, through the
// language window and the Live Update offer (answered No) to the main window.
void FirstStart(kx::exe_test::RunningKestrix& k) {
  ASSERT_NO_FATAL_FAILURE(StartInstalled(k));
  // The language window holds the start until it closes; it is the topmost window then.
  ASSERT_TRUE(WaitFor([&] { return ReadString(HKEY_CURRENT_USER, kUserSettings.c_str(), "Language") == "English"; }))
      << "the first start never chose a language:\n" << DescribeProcess(k.pi.dwProcessId);
  Sleep(1500);
  HWND language = TopWindow("", "", k.pi.dwProcessId, true);
  ASSERT_NE(language, nullptr);
  PostMessageA(language, WM_CLOSE, 0, 0);
  HWND offer = nullptr;
  ASSERT_TRUE(WaitFor([&] { return (offer = TopWindow("Update Now?", "", k.pi.dwProcessId)) != nullptr; }))
      << "no Live Update offer:\n" << DescribeProcess(k.pi.dwProcessId);
  PostMessageA(offer, WM_COMMAND, IDNO, 0);
  ASSERT_TRUE(WaitFor([&] { return (k.main = TopWindow("Kestrix by ", "", k.pi.dwProcessId)) != nullptr; }))
      << DescribeProcess(k.pi.dwProcessId);
}

// The help viewer a first start opened is the test's to close.
void CloseStartedViewers(DWORD pid) {
  for (DWORD child : ChildrenOf(pid))
    if (HANDLE h = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, child)) {
      TerminateProcess(h, 0);
      WaitForSingleObject(h, 10000);
      CloseHandle(h);
    }
}

void Close(kx::exe_test::RunningKestrix& k) {
  PostMessageA(k.main, WM_CLOSE, 0, 0);
  EXPECT_EQ(WaitForSingleObject(k.pi.hProcess, 30000), WAIT_OBJECT_0) << "the program did not end";
}

constexpr const char* kDefinitionFiles[] = {"BlockedCookies", "DirectoryDefinition", "ExeDefinition",
                                            "FileDefinition", "RegistryDefinition", "Safety"};

// Differences between the folder's definition set and the shipped one (line-encoded sample
// files, and the date as the merge writes it); empty when it is that set.
std::string DiffersFromShippedSet(const std::string& folder) {
  std::string out;
  for (const char* name : kDefinitionFiles) {
    const std::string plain = SourceDefinitions(name);
    if (plain.empty()) out += std::string(name) + ": no sample source\n";
    if (ReadAll(folder + "\\" + name + ".dat") != Encoded(plain)) out += std::string(name) + ".dat differs\n";
  }
  if (ReadAll(folder + "\\date.dat") != std::string(KESTRIX_DEFINITIONS_DATE) + "\r\n") out += "date.dat differs\n";
  return out;
}

// Another Windows user of the same machine: the roaming Application Data folder, which Wine
// takes from the user shell folders of HKEY_CURRENT_USER, points at a profile of its own.
class SecondUser {
 public:
  SecondUser() {
    const std::string profile = ShellFolder(CSIDL_PROFILE);
    root_ = profile.substr(0, profile.rfind('\\')) + "\\kxsecond";
    appData_ = root_ + "\\AppData\\Roaming";
    // An existing folder, as in a real profile: Wine gives no path for a missing one.
    SHCreateDirectoryExA(nullptr, appData_.c_str(), nullptr);
    for (Folder& f : folders_) {
      RegOpenKeyExA(HKEY_CURRENT_USER, f.key, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, &f.h);
      f.had = RegQueryValueExA(f.h, "AppData", nullptr, &f.type, f.old, &f.size) == ERROR_SUCCESS;
      RegSetValueExA(f.h, "AppData", 0, REG_SZ, reinterpret_cast<const BYTE*>(appData_.c_str()),
                     static_cast<DWORD>(appData_.size() + 1));
    }
  }
  ~SecondUser() {
    for (Folder& f : folders_) {
      if (f.had) RegSetValueExA(f.h, "AppData", 0, f.type, f.old, f.size);
      RegCloseKey(f.h);
    }
    RemoveTree(root_);
  }
  const std::string& AppData() const { return appData_; }

 private:
  struct Folder {
    const char* key;
    HKEY h = nullptr;
    bool had = false;
    DWORD type = 0, size = MAX_PATH;
    BYTE old[MAX_PATH] = {};
  };
  std::string root_, appData_;
  Folder folders_[2] = {{"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders"},
                        {"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders"}};
};

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

TEST_F(Installer, SilentInstallPutsProgramDefinitionSeedSettingsShortcutsAndUninstallEntryInPlace) {
  ASSERT_NO_FATAL_FAILURE(SilentInstall());

  // The program folder: 32-bit Program Files, as Windows names it for a 32-bit program.
  const std::string dir = InstallDir();
  EXPECT_NE(dir.find("\\Program Files (x86)\\"), std::string::npos) << dir;
  EXPECT_EQ(ReadAll(dir + "\\Kestrix.exe"), ReadAll(WinePath(KESTRIX_EXE)));
  EXPECT_EQ(ReadAll(dir + "\\Localization.txt"), ReadAll(WinePath(KESTRIX_SOURCE_DIR "/packaging/Localization.txt")));
  EXPECT_EQ(ReadAll(dir + "\\Help.chm"), ReadAll(WinePath(KESTRIX_HELP_CHM)));
  EXPECT_TRUE(Exists(dir + "\\Uninstall.exe"));

  // The first definition set, once for the machine, beside the program; no user's data
  // folder is the installer's to write.
  EXPECT_EQ(DiffersFromShippedSet(SeedFolder()), "");
  EXPECT_FALSE(Exists(DataFolder())) << "the installing user's data folder was written";

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
  // What Add/Remove Programs shows as the size, in KB: what the program folder holds.
  const double installedKb = TreeBytes(dir) / 1024.0;
  const std::optional<DWORD> estimated = ReadDword(HKEY_LOCAL_MACHINE, kUninstallKey, "EstimatedSize");
  ASSERT_TRUE(estimated.has_value()) << "no EstimatedSize DWORD";
  EXPECT_GE(*estimated, installedKb * 0.9) << "installed: " << installedKb << " KB";
  EXPECT_LE(*estimated, installedKb * 1.1) << "installed: " << installedKb << " KB";

  // Start menu: the program, its help and the uninstaller.
  const std::string menu = MenuFolder();
  EXPECT_TRUE(SameFile(ShortcutTarget(menu + "\\Kestrix.lnk"), dir + "\\Kestrix.exe"));
  EXPECT_TRUE(SameFile(ShortcutTarget(menu + "\\Kestrix Help.lnk"), dir + "\\Help.chm"));
  EXPECT_TRUE(SameFile(ShortcutTarget(menu + "\\Uninstall Kestrix.lnk"), dir + "\\Uninstall.exe"));
}

TEST_F(Installer, AnotherUsersFirstStartSeedsTheirDataFolderFromTheProgramFolderAndScansWithIt) {
  ASSERT_NO_FATAL_FAILURE(SilentInstall());
  const std::string installingUsersData = DataFolder();
  SecondUser user;
  const std::string data = DataFolder();
  ASSERT_EQ(data, user.AppData() + "\\DideZuvurudARA") << "Wine did not take the other user's Application Data";
  ASSERT_FALSE(Exists(data));

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

  kx::exe_test::RunningKestrix k;
  ASSERT_NO_FATAL_FAILURE(FirstStart(k));
  // Written only when Help.chm was found beside the program and opened; the state is the
  // user's, the machine's store is not written.
  EXPECT_EQ(ReadString(HKEY_CURRENT_USER, kUserSettings.c_str(), "showHelp"), "0");
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kMachineSettings));

  // The user's data folder, made at this start and seeded with the machine's set.
  EXPECT_EQ(DiffersFromShippedSet(data), "");
  EXPECT_FALSE(Exists(installingUsersData)) << "another user's start wrote the installing user's data folder";

  // The Status panel counts the seeded definitions (every line of the five scanned files)
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
  EXPECT_EQ(StrayWindows(k), "") << "a box besides the main window";
  ASSERT_NO_FATAL_FAILURE(k.Screenshot("installed_status.bmp"));

  // A scan reads them: the planted key is reported under its threat's name.
  ASSERT_NO_FATAL_FAILURE(k.QuickScan());
  bool found = false;
  const auto lists = k.Lists();
  for (const auto& list : lists)
    for (const std::string& row : list)
      found |= row.rfind(threat + "|", 0) == 0 && row.find(plantedKey) != std::string::npos;
  EXPECT_TRUE(found) << threat << " at " << plantedKey << " not in the results:\n" << kx::exe_test::Dump(lists);

  CloseStartedViewers(k.pi.dwProcessId);
  RegDeleteTreeA(HKEY_CURRENT_USER, plantedKey.c_str());
  RegDeleteKeyA(HKEY_CURRENT_USER, plantedKey.c_str());
}

TEST_F(Installer, SilentUninstallLeavesOnlyTheUsersDataFolder) {
  ASSERT_NO_FATAL_FAILURE(SilentInstall());
  // What runs of the program leave: settings in both stores (the machine's from an earlier
  // version), start-up entries of both kinds, and the user's data folder with a quarantined file.
  kx::exe_test::WriteString(HKEY_CURRENT_USER, kUserSettings.c_str(), "Language", "English");
  kx::exe_test::WriteString(HKEY_LOCAL_MACHINE, kMachineSettings.c_str(), "FirstTime", "Yes");
  kx::exe_test::WriteString(HKEY_LOCAL_MACHINE, kRunKey, "Kestrix", InstallDir() + "\\Kestrix");
  kx::exe_test::WriteString(HKEY_CURRENT_USER, kRunKey, "Kestrix", "\"" + InstallDir() + "\\Kestrix.exe\"");
  const std::string quarantined = DataFolder() + "\\quarantine\\btcore.dll";
  ASSERT_EQ(SHCreateDirectoryExA(nullptr, (DataFolder() + "\\quarantine").c_str(), nullptr), ERROR_SUCCESS);
  kx::exe_test::PutFile(quarantined, "backup");
  kx::exe_test::PutFile(DataFolder() + "\\FileDefinition.dat", Encoded("x.dll=Later|[system]|Adware\r\n"));

  ASSERT_EQ(RunUninstaller("/S"), 0u);
  EXPECT_FALSE(Exists(InstallDir())) << "program folder or its definition set left behind";
  EXPECT_FALSE(Exists(MenuFolder())) << "shortcuts left behind";
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kUninstallKey));
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kUserProduct));
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kMachineProduct));
  EXPECT_FALSE(ValueExists(HKEY_LOCAL_MACHINE, kRunKey, "Kestrix"));
  EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, kRunKey, "Kestrix"));
  // The silent answer keeps the data folder, quarantine and definitions included.
  EXPECT_EQ(ReadAll(quarantined), "backup");
  EXPECT_EQ(ReadAll(DataFolder() + "\\FileDefinition.dat"), Encoded("x.dll=Later|[system]|Adware\r\n"));
}

TEST_F(Installer, ReinstallReplacesTheSeedKeepsNewerFilesAndADowngradeNeedsItsFlag) {
  ASSERT_NO_FATAL_FAILURE(SilentInstall());
  const std::string dir = InstallDir();
  const std::string shippedLanguages = ReadAll(WinePath(KESTRIX_SOURCE_DIR "/packaging/Localization.txt"));
  const std::string version = FileVersion(dir + "\\Kestrix.exe");
  // A damaged seed; a language file the program downloaded after this setup was built; a
  // user's definitions that Live Update brought.
  kx::exe_test::PutFile(SeedFolder() + "\\date.dat", "3/16/2006\r\n");
  ASSERT_TRUE(DeleteFileA((SeedFolder() + "\\Safety.dat").c_str()));
  const std::string downloaded = "<English>\r\nMSG_CAPTION=downloaded\r\n</English>\r\n";
  kx::exe_test::PutFile(dir + "\\Localization.txt", downloaded);
  const std::string later = "11/30/2026 9:00:00 AM\r\n";
  ASSERT_EQ(SHCreateDirectoryExA(nullptr, DataFolder().c_str(), nullptr), ERROR_SUCCESS);
  kx::exe_test::PutFile(DataFolder() + "\\date.dat", later);

  ASSERT_NO_FATAL_FAILURE(SilentInstall());
  EXPECT_EQ(DiffersFromShippedSet(SeedFolder()), "");
  EXPECT_TRUE(ReadAll(dir + "\\Localization.txt") == downloaded) << "a newer language file was replaced";
  EXPECT_EQ(ReadAll(DataFolder() + "\\date.dat"), later) << "the user's definitions were touched";

  // Over a newer version, silently: refused before anything is touched. An older language
  // file shows that nothing was copied.
  kx::exe_test::WriteString(HKEY_LOCAL_MACHINE, kUninstallKey, "DisplayVersion", "99.0");
  const std::string older = "<English>\r\nMSG_CAPTION=older\r\n</English>\r\n";
  kx::exe_test::PutFile(dir + "\\Localization.txt", older);
  {
    HANDLE f = CreateFileA((dir + "\\Localization.txt").c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0,
                           nullptr);
    ASSERT_NE(f, INVALID_HANDLE_VALUE);
    const SYSTEMTIME y2001{2001, 1, 1, 1, 12, 0, 0, 0};
    FILETIME t;
    SystemTimeToFileTime(&y2001, &t);
    ASSERT_TRUE(SetFileTime(f, nullptr, nullptr, &t));
    CloseHandle(f);
  }
  EXPECT_NE(RunSetup("/S"), 0u) << "a silent downgrade went ahead";
  EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, kUninstallKey, "DisplayVersion"), "99.0");
  EXPECT_TRUE(ReadAll(dir + "\\Localization.txt") == older) << "the refused setup copied files";
  {
    // Not silent: a box says why and how, and the setup ends there.
    Started setup;
    Start(setup, SetupExe());
    ASSERT_TRUE(setup.ok);
    HWND box = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (box = TopWindow("Kestrix ", " Setup", setup.pi.dwProcessId)) != nullptr; }));
    const std::string said = Describe(box);
    EXPECT_NE(said.find("99.0"), std::string::npos) << said;
    EXPECT_NE(said.find("/ALLOWDOWNGRADE"), std::string::npos) << said;
    ASSERT_NO_FATAL_FAILURE(Shot(box, "setup_downgrade_refused.bmp"));
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    EXPECT_NE(setup.Wait(30000), 0u);
    EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, kUninstallKey, "DisplayVersion"), "99.0");
  }

  EXPECT_EQ(RunSetup("/S /ALLOWDOWNGRADE"), 0u);
  EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, kUninstallKey, "DisplayVersion"), version);
  EXPECT_TRUE(ReadAll(dir + "\\Localization.txt") == shippedLanguages) << "an older language file was kept";
}

TEST_F(Installer, SetupAndUninstallLeaveARunningProgramWhole) {
  ASSERT_NO_FATAL_FAILURE(SilentInstall());
  // Started before: straight to the main window.
  kx::exe_test::WriteString(HKEY_CURRENT_USER, kUserSettings.c_str(), "Language", "English");
  kx::exe_test::WriteString(HKEY_CURRENT_USER, kUserSettings.c_str(), "showHelp", "0");
  kx::exe_test::WriteString(HKEY_CURRENT_USER, kUserSettings.c_str(), "FirstTime", "Yes");
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
  ASSERT_TRUE(Exists(SeedFolder() + "\\FileDefinition.dat"));
  // What the user's first start would have made.
  ASSERT_EQ(SHCreateDirectoryExA(nullptr, DataFolder().c_str(), nullptr), ERROR_SUCCESS);
  kx::exe_test::PutFile(DataFolder() + "\\FileDefinition.dat", ReadAll(SeedFolder() + "\\FileDefinition.dat"));

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

// The machine's store closed to writes by the keys' own security, as it is for a user who
// cannot write HKEY_LOCAL_MACHINE; reads stay allowed (the server addresses are read there).
class MachineStoreLocked {
 public:
  MachineStoreLocked() {
    const std::string keys[] = {kMachineProduct, kMachineSettings, std::string(kMachineProduct) + "\\Servers"};
    for (const std::string& path : keys) {
      Key k{path};
      if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k.h, nullptr) !=
          ERROR_SUCCESS)
        continue;
      DWORD size = sizeof k.old;
      k.saved = RegGetKeySecurity(k.h, DACL_SECURITY_INFORMATION, k.old, &size) == ERROR_SUCCESS;
      keys_.push_back(k);
    }
    PSECURITY_DESCRIPTOR deny = nullptr;
    // Everyone: no values set, no subkeys made; everything else allowed.
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorA("D:P(D;;0x6;;;WD)(A;;KA;;;WD)", SDDL_REVISION_1, &deny,
                                                              nullptr))
      return;
    for (Key& k : keys_) k.locked = RegSetKeySecurity(k.h, DACL_SECURITY_INFORMATION, deny) == ERROR_SUCCESS;
    LocalFree(deny);
  }
  ~MachineStoreLocked() {
    for (Key& k : keys_) {
      if (k.saved) RegSetKeySecurity(k.h, DACL_SECURITY_INFORMATION, k.old);
      RegCloseKey(k.h);
    }
  }
  // Whether the registry now refuses what the program would do; "" when it does.
  std::string NotRefused() const {
    std::string out;
    if (keys_.size() != 3) out += "the keys could not be made\n";
    for (const Key& k : keys_) {
      if (!k.locked || !k.saved) out += k.path + ": security not set\n";
      HKEY h = nullptr;
      const LONG r = RegCreateKeyExA(HKEY_LOCAL_MACHINE, k.path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &h,
                                     nullptr);
      if (r == ERROR_SUCCESS) RegCloseKey(h);
      if (r != ERROR_ACCESS_DENIED) out += k.path + ": opened for writing (" + std::to_string(r) + ")\n";
    }
    return out;
  }

 private:
  struct Key {
    std::string path;
    HKEY h = nullptr;
    bool saved = false, locked = false;
    alignas(void*) BYTE old[1024] = {};
  };
  std::vector<Key> keys_;
};

TEST_F(Installer, AStartThatCannotWriteTheMachineStoreShowsNoErrorAndKeepsItsFirstStartStatePerUser) {
  ASSERT_NO_FATAL_FAILURE(SilentInstall());
  MachineStoreLocked locked;
  ASSERT_EQ(locked.NotRefused(), "");

  {
    kx::exe_test::RunningKestrix k;
    // A "Permission Denied" box would hold the start before the offer.
    ASSERT_NO_FATAL_FAILURE(FirstStart(k));
    EXPECT_EQ(StrayWindows(k), "") << "a box besides the main window";
    EXPECT_EQ(ReadString(HKEY_CURRENT_USER, kUserSettings.c_str(), "showHelp"), "0");
    EXPECT_NE(ReadString(HKEY_CURRENT_USER, kUserSettings.c_str(), "FirstTime"), "<none>");
    for (const char* name : {"showHelp", "FirstTime"})
      EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, kMachineSettings.c_str(), name), "<none>") << name;
    CloseStartedViewers(k.pi.dwProcessId);
    Close(k);
  }

  // The same user's next start remembers: no language window, help or offer, and no box.
  kx::exe_test::RunningKestrix k;
  ASSERT_NO_FATAL_FAILURE(StartInstalled(k));
  ASSERT_TRUE(WaitFor([&] { return (k.main = TopWindow("Kestrix by ", "", k.pi.dwProcessId)) != nullptr; }))
      << DescribeProcess(k.pi.dwProcessId);
  EXPECT_EQ(StrayWindows(k), "") << "the second start asked or complained";
  EXPECT_TRUE(ChildrenOf(k.pi.dwProcessId).empty()) << "the help was opened again";
}

// Wine reports this Windows version to Kestrix.exe alone while it lives.
class ReportedWindows {
 public:
  explicit ReportedWindows(const char* version) {
    HKEY key;
    ok_ = RegCreateKeyExA(HKEY_CURRENT_USER, kAppDefaults, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) ==
          ERROR_SUCCESS;
    if (!ok_) return;
    ok_ = RegSetValueExA(key, "Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(version),
                         static_cast<DWORD>(strlen(version) + 1)) == ERROR_SUCCESS;
    RegCloseKey(key);
  }
  ~ReportedWindows() {
    RegDeleteTreeA(HKEY_CURRENT_USER, kAppDefaults);
    RegDeleteKeyA(HKEY_CURRENT_USER, kAppDefaults);
  }
  bool ok() const { return ok_; }

 private:
  static constexpr const char* kAppDefaults = "Software\\Wine\\AppDefaults\\Kestrix.exe";
  bool ok_ = false;
};

// Clicks a tab the way the mouse does; its rectangle is read through the program's memory.
bool ClickTab(HANDLE process, HWND tabs, int index) {
  void* remote = VirtualAllocEx(process, nullptr, sizeof(RECT), MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
  if (!remote) return false;
  RECT r{};
  const bool got = SendMessageA(tabs, TCM_GETITEMRECT, index, reinterpret_cast<LPARAM>(remote)) &&
                   ReadProcessMemory(process, remote, &r, sizeof r, nullptr);
  VirtualFreeEx(process, remote, 0, MEM_RELEASE);
  if (!got) return false;
  const LPARAM at = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
  SendMessageA(tabs, WM_LBUTTONDOWN, MK_LBUTTON, at);
  SendMessageA(tabs, WM_LBUTTONUP, 0, at);
  return true;
}

TEST_F(Installer, RunAtStartupOnWindows7IsTheUsersOwnRunValueHoldingTheQuotedProgramPath) {
  ASSERT_NO_FATAL_FAILURE(SilentInstall());
  ReportedWindows win7("win7");
  ASSERT_TRUE(win7.ok());
  kx::exe_test::WriteString(HKEY_CURRENT_USER, kUserSettings.c_str(), "Language", "English");
  kx::exe_test::WriteString(HKEY_CURRENT_USER, kUserSettings.c_str(), "showHelp", "0");
  kx::exe_test::WriteString(HKEY_CURRENT_USER, kUserSettings.c_str(), "FirstTime", "Yes");

  kx::exe_test::RunningKestrix k;
  ASSERT_NO_FATAL_FAILURE(StartInstalled(k));
  ASSERT_TRUE(WaitFor([&] { return (k.main = TopWindow("Kestrix by ", "", k.pi.dwProcessId)) != nullptr; }))
      << DescribeProcess(k.pi.dwProcessId);
  HWND settings = nullptr;
  ASSERT_TRUE(WaitFor([&] { return (settings = kx::exe_test::Button(k.main, "Settings")) != nullptr; }, 20000));
  SendMessageA(settings, BM_CLICK, 0, 0);
  HWND tabs = nullptr;
  for (HWND h : kx::exe_test::Children(k.main))
    if (kx::exe_test::ClassOf(h) == WC_TABCONTROLA) tabs = h;
  ASSERT_TRUE(tabs);
  ASSERT_TRUE(ClickTab(k.pi.hProcess, tabs, 1));  // Proactive Protection
  HWND box = nullptr;
  ASSERT_TRUE(WaitFor([&] {
    return (box = kx::exe_test::Button(k.main, "Run at Startup and protect my computer automatically")) != nullptr;
  }, 10000)) << "the Proactive Protection tab did not show";

  const std::string quotedExe = "\"" + InstallDir() + "\\Kestrix.exe\"";
  SendMessageA(box, BM_CLICK, 0, 0);
  EXPECT_TRUE(WaitFor([&] { return ReadString(HKEY_CURRENT_USER, kRunKey, "Kestrix") == quotedExe; }, 10000))
      << "the user's Run value holds " << ReadString(HKEY_CURRENT_USER, kRunKey, "Kestrix");
  EXPECT_FALSE(ValueExists(HKEY_LOCAL_MACHINE, kRunKey, "Kestrix")) << "the machine's Run list was written";
  EXPECT_EQ(StrayWindows(k), "") << "ticking the box asked or complained";
  ASSERT_NO_FATAL_FAILURE(k.Screenshot("run_at_startup.bmp"));

  SendMessageA(box, BM_CLICK, 0, 0);
  EXPECT_TRUE(WaitFor([&] { return !ValueExists(HKEY_CURRENT_USER, kRunKey, "Kestrix"); }, 10000))
      << "unticking left " << ReadString(HKEY_CURRENT_USER, kRunKey, "Kestrix");
  EXPECT_EQ(ReadString(HKEY_CURRENT_USER, (std::string(kUserProduct) + "\\OptionAndSettings").c_str(),
                       "chkRunAtStartup"),
            "0");
}

}  // namespace
