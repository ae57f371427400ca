// The way back through the real windows: a scan finds a planted file and a registry key,
// Delete removes them, Quarantine > Restore... lists both under the run, and Restore with
// "Don't detect this again" puts the file back with its bytes and every value back with its
// type and data. The quarantine keeps its copies, and the next scan shows the file as
// excluded instead of finding it.
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "running_kestrix.h"
#include "scan_support/scan_kit.h"

namespace {

using namespace kx::exe_test;

std::string ReadAll(const std::string& path) {
  std::string out;
  if (FILE* f = std::fopen(path.c_str(), "rb")) {
    char buf[4096];
    for (size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;) out.append(buf, n);
    std::fclose(f);
  }
  return out;
}

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

void DeleteTree(const std::string& dir) {
  WIN32_FIND_DATAA fd;
  HANDLE h = FindFirstFileA((dir + "\\*").c_str(), &fd);
  if (h != INVALID_HANDLE_VALUE) {
    do {
      const std::string name = fd.cFileName, path = dir + "\\" + name;
      if (name == "." || name == "..") continue;
      SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
      if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) DeleteTree(path);
      else DeleteFileA(path.c_str());
    } while (FindNextFileA(h, &fd));
    FindClose(h);
  }
  RemoveDirectoryA(dir.c_str());
}

// A value as Windows keeps it.
struct Raw {
  DWORD type = 0;
  std::string data;
  bool operator==(const Raw&) const = default;
};
Raw Query(const char* key, const char* name) {
  Raw r{REG_NONE, "<none>"};
  HKEY k = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, key, 0, KEY_READ, &k) != ERROR_SUCCESS) return r;
  char buf[512];
  DWORD size = sizeof buf, type = 0;
  if (RegQueryValueExA(k, name, nullptr, &type, reinterpret_cast<BYTE*>(buf), &size) == ERROR_SUCCESS)
    r = {type, std::string(buf, size)};
  RegCloseKey(k);
  return r;
}
void Set(const char* key, const char* name, const Raw& v) {
  HKEY k = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, key, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr), ERROR_SUCCESS);
  RegSetValueExA(k, name, 0, v.type, reinterpret_cast<const BYTE*>(v.data.data()), DWORD(v.data.size()));
  RegCloseKey(k);
}

void Key(WORD vk) {
  INPUT in[2] = {};
  for (int i = 0; i < 2; ++i) {
    in[i].type = INPUT_KEYBOARD;
    in[i].ki.wVk = vk;
    in[i].ki.dwFlags = i ? KEYEVENTF_KEYUP : 0;
  }
  SendInput(2, in, sizeof(INPUT));
  Sleep(200);
}

// Chooses a menu item as the keyboard does (the program's menus are its own, out of this
// process's reach): F10 to the bar, Right to the menu, Down to the item, Enter.
void ChooseMenuItem(HWND main, int menu, int item) {
  ASSERT_TRUE(WaitFor(
      [&] {
        SetForegroundWindow(main);
        return GetForegroundWindow() == main;
      },
      10000));
  Key(VK_F10);
  for (int i = 0; i < menu; ++i) Key(VK_RIGHT);
  Key(VK_DOWN);  // opens it on its first item
  for (int i = 0; i < item; ++i) Key(VK_DOWN);
  Key(VK_RETURN);
}

// Ticks row i of another process's list view, as a click on its check box does.
void Tick(HANDLE process, HWND lv, int i) {
  LVITEMA item{};
  item.stateMask = LVIS_STATEIMAGEMASK;
  item.state = INDEXTOSTATEIMAGEMASK(2);
  void* remote = VirtualAllocEx(process, nullptr, sizeof item, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
  ASSERT_NE(remote, nullptr);
  WriteProcessMemory(process, remote, &item, sizeof item, nullptr);
  SendMessageA(lv, LVM_SETITEMSTATE, i, reinterpret_cast<LPARAM>(remote));
  VirtualFreeEx(process, remote, 0, MEM_RELEASE);
}

TEST(RestoreThroughTheWindow, WhatARunRemovedComesBackExcludedAndTheQuarantineKeepsIt) {
#ifndef KESTRIX_EXE
  GTEST_SKIP() << "Kestrix.exe is not part of this build";
#else
  const std::string data = ShellFolder(CSIDL_APPDATA) + "\\DideZuvurudARA", quarantine = data + "\\quarantine";
  const std::string windir = ShellFolder(CSIDL_WINDOWS);
  CreateDirectoryA(data.c_str(), nullptr);
  using kx::scantest::EncodeFile;
  PutFile(data + "\\FileDefinition.dat", EncodeFile({"e2erestore.txt=E2E Restore|[windir]\\E2ERestore"}));
  PutFile(data + "\\DirectoryDefinition.dat", EncodeFile({"nothing=None|[windir]\\E2ENoSuchFolder|x"}));
  PutFile(data + "\\RegistryDefinition.dat", EncodeFile({"1^Software\\E2ERestoreKey^=E2E Restore Key"}));
  PutFile(data + "\\ExeDefinition.dat", EncodeFile({"nothing.exe=None|[windir]"}));
  PutFile(data + "\\BlockedCookies.dat", EncodeFile({"nothing.example"}));
  PutFile(data + "\\Safety.dat", EncodeFile({"SFILE|x.exe|C:\\x.exe|"}));
  DeleteFileA((data + "\\ENoSignature.dat").c_str());
  DeleteTree(quarantine);

  const std::string file = windir + "\\E2ERestore\\e2erestore.txt";
  const std::string bytes("planted \x81\xfe bytes\r\n", 19);
  CreateDirectoryA((windir + "\\E2ERestore").c_str(), nullptr);
  PutFile(file, bytes);
  const char* key = "Software\\E2ERestoreKey";
  const std::vector<std::pair<const char*, Raw>> values = {
      {"", {REG_SZ, std::string("default\0", 8)}},
      {"Text", {REG_SZ, std::string("C:\\x \"y\"\0", 9)}},
      {"Number", {REG_DWORD, std::string("\x78\x56\x34\x12", 4)}},
      {"Bytes", {REG_BINARY, std::string("\x00\xff\x10", 3)}},
      {"Expand", {REG_EXPAND_SZ, std::string("%TEMP%\\x\0", 9)}},
      {"Multi", {REG_MULTI_SZ, std::string("a\0b\0\0", 5)}},
  };
  for (const auto& [name, v] : values) ASSERT_NO_FATAL_FAILURE(Set(key, name, v));
  CommonSettings();
  WriteString(HKEY_CURRENT_USER, "Software\\Kestrix Labs\\Kestrix\\OptionAndSettings", "chkSweepMemory", "False");

  RunningKestrix k;
  ASSERT_NO_FATAL_FAILURE(k.Start());
  ASSERT_NO_FATAL_FAILURE(k.QuickScan());
  SendMessageA(Button(k.main, "Select All"), BM_CLICK, 0, 0);
  PostMessageA(Button(k.main, "Delete"), BM_CLICK, 0, 0);
  HWND ask = nullptr;
  ASSERT_TRUE(WaitFor([&] { return (ask = k.WindowWithButton("&Yes")) != nullptr; }, 20000))
      << "no confirmation; the lists:\n" << Dump(k.Lists());
  PostMessageA(Button(ask, "&Yes"), BM_CLICK, 0, 0);
  ASSERT_TRUE(WaitFor([&] { return !Exists(file) && Query(key, "Text").data == "<none>"; }, 60000))
      << "the removal did not take the planted threats";
  ASSERT_TRUE(WaitFor([&] { return Button(k.main, "Delete") && IsWindowEnabled(Button(k.main, "Delete")); }, 30000));

  // File, Settings, Quarantine; View Quarantine, View Exclusions, Restore...
  ASSERT_NO_FATAL_FAILURE(ChooseMenuItem(k.main, 2, 2));
  HWND window = nullptr;
  ASSERT_TRUE(WaitFor([&] { return (window = k.WindowWithButton("Restore")) != nullptr; }, 20000))
      << "no Restore window";
  EXPECT_EQ(Text(window), "Restore");
  HWND list = nullptr;
  for (HWND h : Children(window))
    if (ClassOf(h) == "SysListView32") list = h;
  ASSERT_NE(list, nullptr);
  const Rows rows = ReadListView(k.pi.hProcess, list);
  int fileRow = -1, regRow = -1;
  for (size_t i = 0; i < rows.size(); ++i) {
    if (rows[i].rfind("e2erestore.txt|" + file + "|", 0) == 0) fileRow = int(i);
    if (rows[i].rfind("Registry entries|HKEY_CURRENT_USER\\Software\\E2ERestoreKey|", 0) == 0) regRow = int(i);
  }
  ASSERT_GE(fileRow, 0) << Dump({rows});
  ASSERT_GE(regRow, 0) << Dump({rows});
  ASSERT_NO_FATAL_FAILURE(Tick(k.pi.hProcess, list, fileRow));
  ASSERT_NO_FATAL_FAILURE(Tick(k.pi.hProcess, list, regRow));
  PostMessageA(Button(window, "Restore"), BM_CLICK, 0, 0);
  Rows after;
  EXPECT_TRUE(WaitFor([&] {
    after = ReadListView(k.pi.hProcess, list);
    return after.size() == rows.size() && after[fileRow].find("|Restored") != std::string::npos &&
           after[regRow].find("|Restored") != std::string::npos;
  }, 20000)) << Dump({after});
  k.Screenshot("restore_window.bmp", window);

  // Back with its bytes; each value with its type and data.
  EXPECT_EQ(ReadAll(file), bytes);
  for (const auto& [name, v] : values) EXPECT_EQ(Query(key, name), v) << "value \"" << name << "\"";
  // The quarantine still holds the copy and the export.
  EXPECT_EQ(ReadAll(quarantine + "\\e2erestore.txt"), bytes);
  WIN32_FIND_DATAA fd;
  HANDLE found = FindFirstFileA((quarantine + "\\*.reg").c_str(), &fd);
  EXPECT_NE(found, INVALID_HANDLE_VALUE) << "the .reg export is gone";
  if (found != INVALID_HANDLE_VALUE) FindClose(found);
  const std::string exclusions = ReadAll(data + "\\ENoSignature.dat");
  EXPECT_NE(exclusions.find(file + "\r\n"), std::string::npos) << exclusions;
  EXPECT_NE(exclusions.find("HKEY_CURRENT_USER\\Software\\E2ERestoreKey\r\n"), std::string::npos) << exclusions;
  const std::string log = ReadAll(quarantine + "\\QuarantineLog.txt");
  EXPECT_NE(log.find(" - Restore: " + file + "\r\n - Outcome: restored\r\n"), std::string::npos) << log;
  SendMessageA(Button(window, "Close"), BM_CLICK, 0, 0);

  // The next scan leaves both alone and shows them as excluded.
  WriteString(HKEY_CURRENT_USER, "Software\\Kestrix Labs\\Kestrix\\Settings", "lblLastScan", "Never");
  ASSERT_NO_FATAL_FAILURE(k.QuickScan());
  bool shownExcluded = false, found2 = false;
  for (const Rows& l : k.Lists())
    for (const std::string& r : l) {
      if (r == "EXCLUDED: " + file) shownExcluded = true;
      if (r.find("E2E Restore") != std::string::npos && r.find("EXCLUDED") == std::string::npos) found2 = true;
    }
  EXPECT_TRUE(shownExcluded) << Dump(k.Lists());
  EXPECT_FALSE(found2) << Dump(k.Lists());
  EXPECT_EQ(ReadAll(file), bytes);
#endif
}

}  // namespace
