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
  WriteString(HKEY_CURRENT_USER, "Software\\Kestrix Labs\\Kestrix\\Settings", "Language", "English");
  WriteString(HKEY_CURRENT_USER, "Software\\Kestrix Labs\\Kestrix\\Settings", "showHelp", "0");
  WriteString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Kestrix Labs\\Kestrix\\Settings", "FirstTime", "Yes");
  WriteString(HKEY_CURRENT_USER, "Software\\Kestrix Labs\\Kestrix\\Settings", "lblLastScan", "Never");
  // Cookies and processes are other phases; this test is about files, folders and keys.
  WriteString(HKEY_CURRENT_USER, "Software\\Kestrix Labs\\Kestrix\\OptionAndSettings", "chkScanCookies", "0");
  WriteString(HKEY_CURRENT_USER, "Software\\Kestrix Labs\\Kestrix\\OptionAndSettings", "chkSweepMemory", "False");

  std::string exe = WinePath(KESTRIX_EXE);
  STARTUPINFOA si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  std::string cmd = "\"" + exe + "\"";
  ASSERT_TRUE(CreateProcessA(exe.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
  HWND main = nullptr;
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

  std::vector<Rows> lists;
  for (HWND h : Children(main))
    if (ClassOf(h) == "SysListView32") lists.push_back(ReadListView(pi.hProcess, h));
  auto has = [&](const Rows& expected) { return std::find(lists.begin(), lists.end(), expected) != lists.end(); };
  std::string dump;  // what the window's lists hold, for the failure message
  for (const Rows& l : lists) {
    dump += "--\n";
    for (const std::string& r : l) dump += r + "\n";
  }
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

  if (const char* artifacts = std::getenv("KESTRIX_ARTIFACTS"); artifacts && *artifacts) {
    std::string dir = WinePath(artifacts);
    CreateDirectoryA(dir.c_str(), nullptr);
    EXPECT_TRUE(Capture(main, dir + "\\scan_results.bmp"));
  }
  PostMessageA(main, WM_CLOSE, 0, 0);
  if (WaitForSingleObject(pi.hProcess, 30000) != WAIT_OBJECT_0) TerminateProcess(pi.hProcess, 1);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
#endif
}

}  // namespace
