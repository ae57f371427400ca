// A scan and a removal through the real window: Kestrix.exe finds planted files, folders,
// registry entries and cookies; Select All, Delete and Yes remove them. Checked on the
// prefix afterwards: every planted threat is gone or listed in "Delete Failed" (a file
// another program holds open, a key whose value name no ANSI export can hold), the
// quarantine holds every copy (two files and two folders of one name each kept), nothing
// outside a threat folder was followed through a link inside it, the log has a record
// for every file, and regedit puts every removed registry value back from the export.
// The next scan's report carries the quarantine log, and its window shows it.
#include <windows.h>
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

bool KeyExists(const char* path) {
  HKEY k = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, KEY_READ, &k) != ERROR_SUCCESS) return false;
  RegCloseKey(k);
  return true;
}

std::string Clipboard() {
  std::string text;
  if (!OpenClipboard(nullptr)) return text;
  if (HANDLE h = GetClipboardData(CF_TEXT))
    if (const char* p = static_cast<const char*>(GlobalLock(h))) {
      text = p;
      GlobalUnlock(h);
    }
  CloseClipboard();
  return text;
}

// The names of the files in a folder matching a pattern.
std::vector<std::string> Listed(const std::string& pattern) {
  std::vector<std::string> names;
  WIN32_FIND_DATAA fd;
  HANDLE h = FindFirstFileA(pattern.c_str(), &fd);
  if (h == INVALID_HANDLE_VALUE) return names;
  do names.push_back(fd.cFileName);
  while (FindNextFileA(h, &fd));
  FindClose(h);
  return names;
}

// Runs "regedit /s file" as a double-click would and waits for it.
bool ImportWithRegedit(const std::string& file) {
  const std::string exe = ShellFolder(CSIDL_WINDOWS) + "\\regedit.exe";
  std::string line = "\"" + exe + "\" /s \"" + file + "\"";
  STARTUPINFOA si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  PVOID redirection = nullptr;
  const BOOL redirectionOff = Wow64DisableWow64FsRedirection(&redirection);
  const BOOL started = CreateProcessA(exe.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi);
  if (redirectionOff) Wow64RevertWow64FsRedirection(redirection);
  if (!started) return false;
  const bool ended = WaitForSingleObject(pi.hProcess, 120000) == WAIT_OBJECT_0;
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return ended;
}

void DeleteTree(const std::string& dir) {
  WIN32_FIND_DATAA fd;
  HANDLE h = FindFirstFileA((dir + "\\*").c_str(), &fd);
  if (h != INVALID_HANDLE_VALUE) {
    do {
      const std::string name = fd.cFileName, path = dir + "\\" + name;
      if (name == "." || name == "..") continue;
      SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
      if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        DeleteTree(path);
      else
        DeleteFileA(path.c_str());
    } while (FindNextFileA(h, &fd));
    FindClose(h);
  }
  RemoveDirectoryA(dir.c_str());
}

TEST(RemovalThroughTheWindow, DeleteRemovesWhatTheScanFoundAndKeepsCopies) {
#ifndef KESTRIX_EXE
  GTEST_SKIP() << "Kestrix.exe is not part of this build";
#else
  const std::string data = ShellFolder(CSIDL_APPDATA) + "\\DideZuvurudARA", quarantine = data + "\\quarantine";
  const std::string windir = ShellFolder(CSIDL_WINDOWS), progfil = ShellFolder(CSIDL_PROGRAM_FILES);
  const std::string cookies = ShellFolder(CSIDL_COOKIES);
  ASSERT_FALSE(cookies.empty());
  CreateDirectoryA(data.c_str(), nullptr);
  using kx::scantest::EncodeFile;
  PutFile(data + "\\FileDefinition.dat",
          EncodeFile({"e2edup.txt=E2E Dup|[windir]", "e2edup.txt=E2E Dup Two|[progfil]\\E2EDup2",
                      "e2elocked.dat=E2E Locked|[windir]", "e2ecase.txt=E2E Case|[windir]",
                      "e2ecase2.txt=e2e CASE|[windir]"}));
  // Two folders of one name, and one holding a link to a folder outside it (the test's
  // prefix set-up plants "[windir]\E2ELinkDir\cache" -> "C:\E2EOutside").
  PutFile(data + "\\DirectoryDefinition.dat",
          EncodeFile({"E2ERemoveDir=E2E Folder|[progfil]\\E2ERemoveDir|x", "E2ERemoveDir=E2E Folder|[windir]\\E2ERemoveDir|x",
                      "E2ELinkDir=E2E Link Folder|[windir]\\E2ELinkDir|x"}));
  PutFile(data + "\\RegistryDefinition.dat",
          EncodeFile({"1^Software\\E2ERemove^=E2E RegKey", "1^Software\\E2ERunKey^Tracker=E2E Tracker|Tracker",
                      "1^Software\\E2EUnicode^=E2E Unicode", "1^Software\\E2ENameless^Val="}));
  PutFile(data + "\\ExeDefinition.dat", EncodeFile({"nothing.exe=None|[windir]"}));
  PutFile(data + "\\BlockedCookies.dat", EncodeFile({"tracker.example"}));
  PutFile(data + "\\Safety.dat", EncodeFile({"SFILE|x.exe|C:\\x.exe|"}));
  DeleteFileA((data + "\\ENoSignature.dat").c_str());
  DeleteTree(quarantine);  // an earlier run's copies would take the slots

  const std::string dup1 = windir + "\\e2edup.txt", dup2 = progfil + "\\E2EDup2\\e2edup.txt";
  const std::string locked = windir + "\\e2elocked.dat", folder = progfil + "\\E2ERemoveDir";
  const std::string cookie = cookies + "\\user@tracker[1].txt";
  const std::string folder2 = windir + "\\E2ERemoveDir", linkDir = windir + "\\E2ELinkDir";
  const std::string outside = ShellFolder(CSIDL_WINDOWS).substr(0, 3) + "E2EOutside";
  const std::string case1 = windir + "\\e2ecase.txt", case2 = windir + "\\e2ecase2.txt";
  ASSERT_EQ(GetFileAttributesA((linkDir + "\\cache").c_str()) & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT),
            DWORD(FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT))
      << "the prefix set-up did not plant the link";
  CreateDirectoryA((progfil + "\\E2EDup2").c_str(), nullptr);
  CreateDirectoryA(folder.c_str(), nullptr);
  CreateDirectoryA((folder + "\\sub").c_str(), nullptr);
  PutFile(dup1, "first copy");
  PutFile(dup2, "second, longer copy");
  PutFile(locked, "held open");
  PutFile(folder + "\\a.txt", "a");
  PutFile(folder + "\\sub\\b.txt", "bb");
  CreateDirectoryA(folder2.c_str(), nullptr);
  CreateDirectoryA((folder2 + "\\sub").c_str(), nullptr);
  PutFile(folder2 + "\\a.txt", "A");  // the same names and sizes, other bytes
  PutFile(folder2 + "\\sub\\b.txt", "BB");
  PutFile(linkDir + "\\evil.txt", "evil");
  PutFile(outside + "\\mine.txt", "the user's own");
  PutFile(case1, "case one");
  PutFile(case2, "case two");
  PutFile(cookie, "id\n42\ntracker.example/\n1024\n");
  WriteString(HKEY_CURRENT_USER, "Software\\E2ERemove", "", "default");
  WriteString(HKEY_CURRENT_USER, "Software\\E2ERemove", "Home", "http://bad.example/");
  WriteString(HKEY_CURRENT_USER, "Software\\E2ERemove\\Sub", "Deep", "x");
  WriteString(HKEY_CURRENT_USER, "Software\\E2ERunKey", "Tracker", "on");
  WriteString(HKEY_CURRENT_USER, "Software\\E2ERunKey", "Innocent", "stays");
  WriteString(HKEY_CURRENT_USER, "Software\\E2ENameless", "Val", "nameless");
  {
    // A value name outside the ANSI code page: the ANSI calls read it as "?".
    HKEY k = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\E2EUnicode", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k,
                              nullptr), ERROR_SUCCESS);
    const wchar_t data[] = L"x";
    RegSetValueExW(k, L"\u4e2d", 0, REG_SZ, reinterpret_cast<const BYTE*>(data), sizeof data);
    RegCloseKey(k);
  }
  CommonSettings();
  WriteString(HKEY_CURRENT_USER, "Software\\Kestrix Labs\\Kestrix\\OptionAndSettings", "chkScanCookies", "1");
  WriteString(HKEY_CURRENT_USER, "Software\\Kestrix Labs\\Kestrix\\OptionAndSettings", "chkSweepMemory", "False");

  // Another program has the file open and does not share its deletion.
  HANDLE held = CreateFileA(locked.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);

  RunningKestrix k;
  ASSERT_NO_FATAL_FAILURE(k.Start());
  ASSERT_NO_FATAL_FAILURE(k.QuickScan());
  SendMessageA(Button(k.main, "Select All"), BM_CLICK, 0, 0);
  PostMessageA(Button(k.main, "Delete"), BM_CLICK, 0, 0);
  HWND ask = nullptr;
  // A message box's buttons carry their access keys.
  ASSERT_TRUE(WaitFor([&] { return (ask = k.WindowWithButton("&Yes")) != nullptr; }, 20000))
      << "no confirmation; the lists:\n" << Dump(k.Lists());
  EXPECT_EQ(Text(ask), "Really Delete?");
  k.Screenshot("removal_confirm.bmp", ask);
  PostMessageA(Button(ask, "&Yes"), BM_CLICK, 0, 0);

  HWND failed = nullptr;
  ASSERT_TRUE(WaitFor([&] { return (failed = k.WindowWithButton("Copy List")) != nullptr; }, 60000))
      << "no Delete Failed window";
  EXPECT_EQ(Text(failed), "Delete Failed");
  k.Screenshot("delete_failed.bmp", failed);
  // Windows removes a link to a folder as a link. Wine cannot remove a Unix symbolic link to
  // a folder through any Windows call without following it (RemoveDirectory finds the target
  // not empty; MoveFileEx would move the target), so there the threat folder stays with its
  // link alone and is listed as not removed.
  const bool linkStays = Exists(linkDir);
  if (linkStays) EXPECT_EQ(Listed(linkDir + "\\*"), (std::vector<std::string>{".", "..", "cache"}));
  SendMessageA(Button(failed, "Copy List"), BM_CLICK, 0, 0);
  EXPECT_EQ(Clipboard(), locked + "\r\n" + (linkStays ? linkDir + "\r\n" : "") +
                             "HKEY_CURRENT_USER\\Software\\E2EUnicode\r\n");
  SendMessageA(Button(failed, "Ok"), BM_CLICK, 0, 0);
  EXPECT_TRUE(WaitFor([&] { return !IsWindowVisible(failed); }, 5000));
  CloseHandle(held);

  // Gone, except what is listed; the innocent value beside the removed one stays, and so
  // does the folder the link pointed to.
  for (const std::string& p : {dup1, dup2, folder, folder2, linkDir + "\\evil.txt", cookie, case1, case2})
    EXPECT_FALSE(Exists(p)) << p;
  EXPECT_TRUE(Exists(locked));
  EXPECT_EQ(ReadAll(outside + "\\mine.txt"), "the user's own");
  EXPECT_FALSE(KeyExists("Software\\E2ERemove"));
  EXPECT_EQ(ReadString(HKEY_CURRENT_USER, "Software\\E2ERunKey", "Tracker"), "<none>");
  EXPECT_EQ(ReadString(HKEY_CURRENT_USER, "Software\\E2ERunKey", "Innocent"), "stays");
  EXPECT_EQ(ReadString(HKEY_CURRENT_USER, "Software\\E2ENameless", "Val"), "<none>");
  EXPECT_TRUE(KeyExists("Software\\E2EUnicode"));

  // Every copy kept, the two files of one name in their own slots.
  EXPECT_EQ(ReadAll(quarantine + "\\e2edup.txt"), "first copy");
  EXPECT_EQ(ReadAll(quarantine + "\\e2edup (2).txt"), "second, longer copy");
  EXPECT_EQ(ReadAll(quarantine + "\\e2elocked.dat"), "held open");
  EXPECT_EQ(ReadAll(quarantine + "\\E2ERemoveDir\\sub\\b.txt"), "bb");
  EXPECT_EQ(ReadAll(quarantine + "\\E2ERemoveDir (2)\\sub\\b.txt"), "BB");
  EXPECT_EQ(ReadAll(quarantine + "\\E2ELinkDir\\evil.txt"), "evil");
  EXPECT_FALSE(Exists(quarantine + "\\E2ELinkDir\\cache")) << "the link was followed";
  EXPECT_EQ(ReadAll(quarantine + "\\e2ecase2.txt"), "case two");
  EXPECT_EQ(ReadAll(quarantine + "\\user@tracker[1].txt"), "id\n42\ntracker.example/\n1024\n");

  const std::string log = ReadAll(quarantine + "\\QuarantineLog.txt");
  for (const std::string& record :
       {" - File: e2edup.txt\r\n - Location: " + dup1 + "\r\n\r\n\r\n",
        " - File: e2edup (2).txt\r\n - Location: " + dup2 + "\r\n\r\n\r\n",
        " - File: e2elocked.dat\r\n - Location: " + locked + "\r\n\r\n\r\n",
        " - File: user@tracker[1].txt\r\n - Location: " + cookie + "\r\n\r\n\r\n",
        std::string(" - Key: HKEY_CURRENT_USER\\Software\\E2ERemove\r\nValue: \r\n\r\n\r\n"),
        std::string(" - Key: HKEY_CURRENT_USER\\Software\\E2ERemove\r\nValue: All Values\r\n\r\n\r\n"),
        std::string(" - Key: HKEY_CURRENT_USER\\Software\\E2ERunKey\r\nValue: Tracker\r\n\r\n\r\n"),
        " - File: E2ERemoveDir\\sub\\b.txt\r\n - Location: " + folder + "\\sub\\b.txt\r\n\r\n\r\n",
        " - File: E2ERemoveDir (2)\\a.txt\r\n - Location: " + folder2 + "\\a.txt\r\n\r\n\r\n",
        " - File: E2ELinkDir\\evil.txt\r\n - Location: " + linkDir + "\\evil.txt\r\n\r\n\r\n"})
    EXPECT_NE(log.find(record), std::string::npos) << record << "\nin:\n" << log;
  // The link is on record only where it went.
  EXPECT_EQ(log.find(" - Location: " + linkDir + "\\cache\r\n") != std::string::npos, !linkStays) << log;
  EXPECT_EQ(log.find("E2EUnicode"), std::string::npos) << "a key that stayed gets no record";

  const std::vector<std::string> exports = Listed(quarantine + "\\*.reg");
  ASSERT_EQ(exports.size(), 1u);
  const std::string reg = ReadAll(quarantine + "\\" + exports[0]);
  EXPECT_EQ(reg.rfind("REGEDIT4\r\n", 0), 0u) << reg;
  EXPECT_NE(reg.find("\\Software\\E2ERemove]\r\n"), std::string::npos) << reg;
  EXPECT_NE(reg.find("\\Software\\E2ERemove\\Sub]\r\n\"Deep\"=\"x\""), std::string::npos) << reg;
  EXPECT_NE(reg.find("\"Home\"=\"http://bad.example/\""), std::string::npos) << reg;
  EXPECT_NE(reg.find("\"Tracker\"=\"on\""), std::string::npos) << reg;
  EXPECT_EQ(reg.find("Innocent"), std::string::npos) << "only what was deleted is exported";
  EXPECT_EQ(reg.find("E2EUnicode"), std::string::npos) << "what the file cannot hold is kept, not exported";

  // The export puts back every value the run removed.
  ASSERT_TRUE(ImportWithRegedit(quarantine + "\\" + exports[0]));
  EXPECT_EQ(ReadString(HKEY_CURRENT_USER, "Software\\E2ERemove", ""), "default");
  EXPECT_EQ(ReadString(HKEY_CURRENT_USER, "Software\\E2ERemove", "Home"), "http://bad.example/");
  EXPECT_EQ(ReadString(HKEY_CURRENT_USER, "Software\\E2ERemove\\Sub", "Deep"), "x");
  EXPECT_EQ(ReadString(HKEY_CURRENT_USER, "Software\\E2ERunKey", "Tracker"), "on");
  EXPECT_EQ(ReadString(HKEY_CURRENT_USER, "Software\\E2ENameless", "Val"), "nameless");
  // Gone again for the next scan, with the key and the link that stayed.
  if (linkStays) PutFile(data + "\\DirectoryDefinition.dat", EncodeFile({"E2ERemoveDir=E2E Folder|[progfil]\\E2ERemoveDir|x"}));
  for (const wchar_t* key : {L"Software\\E2ERemove", L"Software\\E2ENameless", L"Software\\E2EUnicode"})
    RegDeleteTreeW(HKEY_CURRENT_USER, key);
  RegDeleteKeyValueA(HKEY_CURRENT_USER, "Software\\E2ERunKey", "Tracker");

  // The next scan's report finds only the file that resisted, and carries the quarantine log.
  WriteString(HKEY_CURRENT_USER, "Software\\Kestrix Labs\\Kestrix\\Settings", "lblLastScan", "Never");
  ASSERT_NO_FATAL_FAILURE(k.QuickScan());
  // The report follows the recorded scan time: wait for this scan's.
  std::string report;
  EXPECT_TRUE(WaitFor([&] {
    report = ReadAll(data + "\\Scan_Log.txt");
    return report.find("Total = 1\r\n") != std::string::npos && report.find("End Of Report.") != std::string::npos;
  }, 20000));
  // Each record is its text and a line end, so a text ending in one leaves an empty line.
  EXPECT_EQ(report.rfind("\r\n\r\n                   Kestrixv", 0), 0u) << report;
  for (const std::string& part :
       {"[Threats Detected]\r\n\r\n\r\nE2E Locked\r\n\r\n" + locked + "\r\n\r\n\r\nTotal = 1\r\n\r\n",
        std::string("\r\n[Current Quarantine Log]\r\n\r\n"),
        " - File: e2edup (2).txt\r\n\r\n - Location: " + dup2 + "\r\n\r\n",
        std::string("\r\n=====================End Of Report.")})
    EXPECT_NE(report.find(part), std::string::npos) << part << "\nin:\n" << report;
  PostMessageA(Button(k.main, "View Log"), BM_CLICK, 0, 0);
  HWND shown = nullptr;
  ASSERT_TRUE(WaitFor([&] { return (shown = k.WindowWithButton("OK")) != nullptr; }, 20000)) << "no report window";
  EXPECT_EQ(Text(shown), "Kestrix Log");
  std::string text;
  for (HWND h : Children(shown))
    if (ClassOf(h) == "Edit") {
      text.resize(SendMessageA(h, WM_GETTEXTLENGTH, 0, 0) + 1);
      text.resize(SendMessageA(h, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data())));
    }
  EXPECT_NE(text.find("[Current Quarantine Log]\r\n"), std::string::npos) << text;
  k.Screenshot("report_window.bmp", shown);
  PostMessageA(Button(shown, "OK"), BM_CLICK, 0, 0);
  EXPECT_TRUE(WaitFor([&] { return !IsWindowVisible(shown); }, 5000));
#endif
}

}  // namespace
