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
#include "running_kestrix.h"

namespace {

using namespace kx::exe_test;

using Rows = std::vector<std::string>;



TEST(ScanThroughTheWindow, QuickScanFindsThePlantedThreats) {
#ifndef KESTRIX_EXE
  GTEST_SKIP() << "Kestrix.exe is not part of this build";
#else
  const std::string data = ShellFolder(CSIDL_APPDATA) + "\\DideZuvurudARA";
  const std::string windir = ShellFolder(CSIDL_WINDOWS), progfil = ShellFolder(CSIDL_PROGRAM_FILES);
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
  EXPECT_TRUE(has({evil + "|E2E Evil", evil2 + "|E2E Evil", folder + "|E2E Folder"})) << dump;
  EXPECT_TRUE(has({"-2147483647|Software\\E2EVendor||E2E Key", "-2147483647|Software\\E2EVendor|Tracker|E2E Value"})) << dump;
  k.Screenshot("scan_results.bmp");
#endif
}


TEST(ScanThroughTheWindow, QuickScanStopsKnownProgramsAndFindsTrackingCookies) {
#ifndef KESTRIX_EXE
  GTEST_SKIP() << "Kestrix.exe is not part of this build";
#else
  const std::string data = ShellFolder(CSIDL_APPDATA) + "\\DideZuvurudARA";
  const std::string progfil = ShellFolder(CSIDL_PROGRAM_FILES), cookies = ShellFolder(CSIDL_COOKIES);
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
