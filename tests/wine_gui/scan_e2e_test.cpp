// A Quick Scan through the real window: Kestrix.exe on a prepared prefix (definitions in
// the data folder, planted files, folders, keys and values, a safe-list entry and an
// exclusion), started with its Start button; the lists are read back from the window's
// list views and a screenshot of the Results panel is kept.
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "scan_support/scan_kit.h"
#include "exe_support.h"

namespace {

using namespace kx::exe_test;

using Rows = std::vector<std::string>;



std::string ClassOf(HWND h) {
  char buf[64] = {};
  GetClassNameA(h, buf, sizeof(buf));
  return buf;
}


std::vector<HWND> Children(HWND parent) {
  std::vector<HWND> out;
  EnumChildWindows(
      parent,
      [](HWND h, LPARAM p) CALLBACK -> BOOL {
        reinterpret_cast<std::vector<HWND>*>(p)->push_back(h);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&out));
  return out;
}

HWND Button(HWND main, const std::string& caption) {
  for (HWND h : Children(main))
    if (IsWindowVisible(h) && Text(h) == caption && ClassOf(h) == "Button") return h;
  return nullptr;
}



// The rows of another process's list view, as "text|sub1|...": the item texts are read
// through a buffer in that process.
Rows ReadListView(HANDLE process, HWND lv) {
  Rows rows;
  if (!SameBitness(process)) {
    ADD_FAILURE() << "Kestrix.exe and the tests differ in bitness: LVITEMA would not match";
    return rows;
  }
  int count = int(SendMessageA(lv, LVM_GETITEMCOUNT, 0, 0));
  HWND header = reinterpret_cast<HWND>(SendMessageA(lv, LVM_GETHEADER, 0, 0));
  int columns = header ? std::max(1, int(SendMessageA(header, HDM_GETITEMCOUNT, 0, 0))) : 1;
  const SIZE_T textSize = 1024;
  char* remote = static_cast<char*>(
      VirtualAllocEx(process, nullptr, sizeof(LVITEMA) + textSize, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
  if (!remote) return rows;
  for (int i = 0; i < count; ++i) {
    std::string row;
    for (int c = 0; c < columns; ++c) {
      LVITEMA item{};
      item.iSubItem = c;
      item.pszText = remote + sizeof(LVITEMA);
      item.cchTextMax = int(textSize);
      WriteProcessMemory(process, remote, &item, sizeof item, nullptr);
      SendMessageA(lv, LVM_GETITEMTEXTA, i, reinterpret_cast<LPARAM>(remote));
      char text[1024] = {};
      ReadProcessMemory(process, remote + sizeof(LVITEMA), text, textSize - 1, nullptr);
      if (c) row += "|";
      row += text;
    }
    while (row.size() && row.back() == '|') row.pop_back();
    rows.push_back(row);
  }
  VirtualFreeEx(process, remote, 0, MEM_RELEASE);
  return rows;
}


void PutFile(const std::string& path, const std::string& bytes) {
  FILE* f = std::fopen(path.c_str(), "wb");
  ASSERT_TRUE(f) << path;
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
}

std::string Folder(int csidl) {
  char buf[MAX_PATH] = {};
  SHGetSpecialFolderPathA(nullptr, buf, csidl, FALSE);
  return buf;
}

#ifdef KESTRIX_EXE
// Kestrix.exe started on the prefix as it is, driven through its window.
struct RunningKestrix {
  PROCESS_INFORMATION pi{};
  HWND main = nullptr;

  void Start() {
    std::string exe = WinePath(KESTRIX_EXE);
    STARTUPINFOA si{};
    si.cb = sizeof si;
    std::string cmd = "\"" + exe + "\"";
    ASSERT_TRUE(CreateProcessA(exe.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
    ASSERT_TRUE(WaitFor([&] {
      struct Ctx {
        DWORD pid;
        HWND found;
      } ctx{pi.dwProcessId, nullptr};
      EnumWindows(
          [](HWND h, LPARAM p) CALLBACK -> BOOL {
            auto* c = reinterpret_cast<Ctx*>(p);
            DWORD pid = 0;
            GetWindowThreadProcessId(h, &pid);
            if (pid == c->pid && IsWindowVisible(h) && Text(h).find(" by ") != std::string::npos) c->found = h;
            return TRUE;
          },
          reinterpret_cast<LPARAM>(&ctx));
      return (main = ctx.found) != nullptr;
    }));
  }

  // Scan Now, Start, wait for the end, then the Results panel.
  void QuickScan() {
    HWND scanNow = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (scanNow = Button(main, "Scan Now")) != nullptr; }, 10000));
    SendMessageA(scanNow, BM_CLICK, 0, 0);
    HWND start = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (start = Button(main, "Start")) != nullptr; }, 10000));
    PostMessageA(start, BM_CLICK, 0, 0);
    ASSERT_TRUE(WaitFor([&] {
      return ReadString(HKEY_CURRENT_USER, "Software\\Kestrix Labs\\Kestrix\\Settings", "lblLastScan") != "Never";
    })) << "the scan never recorded its time";
    EXPECT_TRUE(WaitFor([&] {
      for (HWND h : Children(main))
        if (Text(h) == "Scanning complete.") return true;
      return false;
    }, 10000)) << "no \"Scanning complete.\" status";
    HWND results = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (results = Button(main, "Results/Removal")) != nullptr; }, 10000));
    SendMessageA(results, BM_CLICK, 0, 0);
    Sleep(500);
  }

  // Every list view of the main window, in window order.
  std::vector<Rows> Lists() {
    std::vector<Rows> lists;
    for (HWND h : Children(main))
      if (ClassOf(h) == "SysListView32") lists.push_back(ReadListView(pi.hProcess, h));
    return lists;
  }

  void Screenshot(const std::string& name) {
    if (const char* artifacts = std::getenv("KESTRIX_ARTIFACTS"); artifacts && *artifacts) {
      std::string dir = WinePath(artifacts);
      CreateDirectoryA(dir.c_str(), nullptr);
      EXPECT_TRUE(Capture(main, dir + "\\" + name));
    }
  }

  ~RunningKestrix() {
    if (!pi.hProcess) return;
    if (main) PostMessageA(main, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(pi.hProcess, 30000) != WAIT_OBJECT_0) TerminateProcess(pi.hProcess, 1);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
  }
};

std::string Dump(const std::vector<Rows>& lists) {
  std::string dump;  // what the window's lists hold, for a failure message
  for (const Rows& l : lists) {
    dump += "--\n";
    for (const std::string& r : l) dump += r + "\n";
  }
  return dump;
}

void CommonSettings() {
  WriteString(HKEY_CURRENT_USER, "Software\\Kestrix Labs\\Kestrix\\Settings", "Language", "English");
  WriteString(HKEY_CURRENT_USER, "Software\\Kestrix Labs\\Kestrix\\Settings", "showHelp", "0");
  WriteString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Kestrix Labs\\Kestrix\\Settings", "FirstTime", "Yes");
  WriteString(HKEY_CURRENT_USER, "Software\\Kestrix Labs\\Kestrix\\Settings", "lblLastScan", "Never");
}
#endif

TEST(ScanThroughTheWindow, QuickScanFindsThePlantedThreats) {
#ifndef KESTRIX_EXE
  GTEST_SKIP() << "Kestrix.exe is not part of this build";
#else
  const std::string data = Folder(CSIDL_APPDATA) + "\\DideZuvurudARA";
  const std::string windir = Folder(CSIDL_WINDOWS), progfil = Folder(CSIDL_PROGRAM_FILES);
  CreateDirectoryA(data.c_str(), nullptr);
  using kx::scantest::EncodeFile;
  PutFile(data + "\\FileDefinition.dat",
          EncodeFile({"e2eevil.exe=E2E Evil|[windir]|Adware", "e2eevil2.exe=E2E Evil|[progfil]\\E2EVendor",
                      "e2esafe.exe=E2E Safe|[windir]", "e2eexcl.exe=E2E Excluded|[windir]",
                      "e2emissing.exe=E2E Missing|[windir]", "garbage line", ""}));
  PutFile(data + "\\DirectoryDefinition.dat", EncodeFile({"Vendor=E2E Folder|[progfil]\\E2EVendor|Hijacker"}));
  PutFile(data + "\\RegistryDefinition.dat",
          EncodeFile({"1^Software\\E2EVendor^=E2E Key", "1^Software\\E2EVendor^Tracker=E2E Value|Tracker",
                      "1^Software\\E2EVendor^Missing=E2E Gone", "1^Software\\E2ENone^=E2E Gone"}));
  PutFile(data + "\\ExeDefinition.dat", EncodeFile({"nothing.exe=None|[windir]"}));
  PutFile(data + "\\BlockedCookies.dat", EncodeFile({"tracker.example"}));
  PutFile(data + "\\Safety.dat", EncodeFile({"SFILE|e2esafe.exe|[windir]\\e2esafe.exe|"}));
  PutFile(data + "\\ENoSignature.dat", windir + "\\e2eexcl.exe\r\n");
  CreateDirectoryA((progfil + "\\E2EVendor").c_str(), nullptr);
  for (const char* f : {"\\e2eevil.exe", "\\e2esafe.exe", "\\e2eexcl.exe"}) PutFile(windir + f, "MZ");
  PutFile(progfil + "\\E2EVendor\\e2eevil2.exe", "MZ");
  WriteString(HKEY_CURRENT_USER, "Software\\E2EVendor", "Tracker", "on");
  CommonSettings();
  // Cookies and processes have their own test; this one is about files, folders and keys.
  WriteString(HKEY_CURRENT_USER, "Software\\Kestrix Labs\\Kestrix\\OptionAndSettings", "chkScanCookies", "0");
  WriteString(HKEY_CURRENT_USER, "Software\\Kestrix Labs\\Kestrix\\OptionAndSettings", "chkSweepMemory", "False");

  RunningKestrix k;
  ASSERT_NO_FATAL_FAILURE(k.Start());
  ASSERT_NO_FATAL_FAILURE(k.QuickScan());
  const std::vector<Rows> lists = k.Lists();
  auto has = [&](const Rows& expected) { return std::find(lists.begin(), lists.end(), expected) != lists.end(); };
  const std::string dump = Dump(lists);
  const std::string evil = windir + "\\e2eevil.exe", evil2 = progfil + "\\E2EVendor\\e2eevil2.exe";
  const std::string folder = progfil + "\\E2EVendor";
  // The live list, the threat list and the two queues, exactly.
  EXPECT_TRUE(has({"E2E Key - Found", "E2E Value - Found", "E2E Evil - Found", "EXCLUDED: " + windir + "\\e2eexcl.exe",
                   "E2E Folder - Found"})) << dump;
  EXPECT_TRUE(has({"E2E Key|HKEY_CURRENT_USER\\Software\\E2EVendor",
                   "E2E Value|HKEY_CURRENT_USER\\Software\\E2EVendorTracker|Tracker", "E2E Evil|" + evil + "|Adware",
                   "E2E Folder|" + folder + "|Hijacker"})) << dump;
  EXPECT_TRUE(has({evil + "|E2E Evil", evil2 + "|E2E Evil", folder})) << dump;
  EXPECT_TRUE(has({"-2147483647|Software\\E2EVendor||E2E Key", "-2147483647|Software\\E2EVendor|Tracker|E2E Value"})) << dump;
  k.Screenshot("scan_results.bmp");
#endif
}


TEST(ScanThroughTheWindow, QuickScanStopsKnownProgramsAndFindsTrackingCookies) {
#ifndef KESTRIX_EXE
  GTEST_SKIP() << "Kestrix.exe is not part of this build";
#else
  const std::string data = Folder(CSIDL_APPDATA) + "\\DideZuvurudARA";
  const std::string progfil = Folder(CSIDL_PROGRAM_FILES), cookies = Folder(CSIDL_COOKIES);
  ASSERT_FALSE(cookies.empty());
  CreateDirectoryA(data.c_str(), nullptr);
  using kx::scantest::EncodeFile;
  PutFile(data + "\\FileDefinition.dat", EncodeFile({"nothing.exe=None|[windir]"}));
  PutFile(data + "\\DirectoryDefinition.dat", EncodeFile({"Nothing=None|[progfil]\\NoSuchVendor|x"}));
  PutFile(data + "\\RegistryDefinition.dat", EncodeFile({"1^Software\\E2ENone^=None"}));
  PutFile(data + "\\Safety.dat", EncodeFile({"SFILE|x.exe|C:\\x.exe|"}));
  PutFile(data + "\\ExeDefinition.dat",
          EncodeFile({"e2eproc.exe=E2E Proc|[progfil]\\E2EProc", "e2ems.exe=E2E Signed|[progfil]\\E2EProc",
                      "e2eprocx.exe=E2E Allowed|[progfil]\\E2EProc"}));
  PutFile(data + "\\BlockedCookies.dat", EncodeFile({"tracker.example", "*adserver.test"}));
  // IE names a cookie file user@site[n].txt; the file holds the host and path.
  const std::string body = "id\n42\ntracker.example/\n1024\n";
  const std::vector<std::string> blocked = {"user@tracker[1].txt", "user@tracker(2).txt", "user@tracker.txt"};
  for (const std::string& f : blocked) PutFile(cookies + "\\" + f, body);
  PutFile(cookies + "\\user@adserver[1].txt", "uid,\"a,b\",adserver.net/,x\n");
  PutFile(cookies + "\\user@news[1].txt", "id\n1\nnews.example/\n");
  const std::string excludedCookie = cookies + "\\user@tracker[3].txt";
  PutFile(excludedCookie, body);
  PutFile(data + "\\ENoSignature.dat", "e2eprocx.exe\r\n" + excludedCookie + "\r\n");

  // The planted programs: a sleeper under a name the definitions give, the same signed by
  // Microsoft, and one the user allowed.
  char self[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, self, MAX_PATH);
  const std::string here = std::string(self).substr(0, std::string(self).find_last_of('\\'));
  const std::string dir = progfil + "\\E2EProc";
  CreateDirectoryA(dir.c_str(), nullptr);
  struct Planted {
    std::string from, name;
    PROCESS_INFORMATION pi{};
  } planted[] = {{"kestrix_sleeper.exe", "e2eproc.exe"}, {"kestrix_microsoft_sleeper.exe", "e2ems.exe"},
                 {"kestrix_sleeper.exe", "e2eprocx.exe"}};
  for (Planted& p : planted) {
    const std::string path = dir + "\\" + p.name;
    ASSERT_TRUE(CopyFileA((here + "\\" + p.from).c_str(), path.c_str(), FALSE)) << path;
    STARTUPINFOA si{};
    si.cb = sizeof si;
    std::string cmd = "\"" + path + "\"";
    ASSERT_TRUE(CreateProcessA(path.c_str(), cmd.data(), nullptr, nullptr, FALSE, DETACHED_PROCESS, nullptr, nullptr,
                               &si, &p.pi));
  }
  CommonSettings();
  WriteString(HKEY_CURRENT_USER, "Software\\Kestrix Labs\\Kestrix\\OptionAndSettings", "chkScanCookies", "1");
  WriteString(HKEY_CURRENT_USER, "Software\\Kestrix Labs\\Kestrix\\OptionAndSettings", "chkSweepMemory", "True");
  Sleep(500);

  {
    RunningKestrix k;
    ASSERT_NO_FATAL_FAILURE(k.Start());
    ASSERT_NO_FATAL_FAILURE(k.QuickScan());
    const std::vector<Rows> lists = k.Lists();
    const std::string dump = Dump(lists);
    // Files come in the file system's order: compare each list as a set.
    auto sorted = [](Rows r) {
      std::sort(r.begin(), r.end());
      return r;
    };
    auto has = [&](const Rows& expected) {
      for (const Rows& l : lists)
        if (sorted(l) == sorted(expected)) return true;
      return false;
    };
    Rows live = {"Detected in the memory : E2EPROC.EXE was stopped from running.", "EXCLUDED: E2EPROCX.EXE",
                 "EXCLUDED: " + excludedCookie, "Cookie Found: user@adserver[1].txt"};
    Rows queue = {cookies + "\\user@adserver[1].txt"}, threats = {
        "Cookie: user@adserver[1].txt|" + cookies + "\\user@adserver[1].txt|Tracking Cookie"};
    for (const std::string& f : blocked) {
      live.push_back("Cookie Found: " + f);
      queue.push_back(cookies + "\\" + f);
      threats.push_back("Cookie: " + f + "|" + cookies + "\\" + f + "|Tracking Cookie");
    }
    EXPECT_TRUE(has(live)) << dump;
    EXPECT_TRUE(has(threats)) << dump;
    EXPECT_TRUE(has(queue)) << dump;
    k.Screenshot("scan_processes_cookies.bmp");
  }
  EXPECT_EQ(WaitForSingleObject(planted[0].pi.hProcess, 5000), WAIT_OBJECT_0) << "the known program still runs";
  EXPECT_EQ(WaitForSingleObject(planted[1].pi.hProcess, 0), WAIT_TIMEOUT) << "the signed program was stopped";
  EXPECT_EQ(WaitForSingleObject(planted[2].pi.hProcess, 0), WAIT_TIMEOUT) << "the allowed program was stopped";
  for (Planted& p : planted) {
    TerminateProcess(p.pi.hProcess, 0);
    CloseHandle(p.pi.hThread);
    CloseHandle(p.pi.hProcess);
  }
#endif
}

}  // namespace
