// The two shields in the running program: a known program started while Kestrix.exe
// runs brings up the memory alert (STOP ends it, ALLOW excludes it), and a start page
// changed behind its back brings up the home page alert (Yes restores, No accepts).
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <string>

#include "running_kestrix.h"
#include "scan_support/scan_kit.h"

namespace {

using namespace kx::exe_test;

const char* const kOptions = "Software\\Kestrix Labs\\Kestrix\\OptionAndSettings";
const char* const kIeMain = "Software\\Microsoft\\Internet Explorer\\Main";

std::string ReadFileText(const std::string& path) {
  std::string text;
  if (FILE* f = std::fopen(path.c_str(), "rb")) {
    char buf[4096];
    for (size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;) text.append(buf, n);
    std::fclose(f);
  }
  return text;
}

// The definitions every start needs, naming one program.
std::string PrepareData(const std::string& exeLine) {
  using kx::scantest::EncodeFile;
  const std::string data = ShellFolder(CSIDL_APPDATA) + "\\DideZuvurudARA";
  CreateDirectoryA(data.c_str(), nullptr);
  PutFile(data + "\\FileDefinition.dat", EncodeFile({"nothing.exe=None|[windir]"}));
  PutFile(data + "\\DirectoryDefinition.dat", EncodeFile({"Nothing=None|[progfil]\\NoSuchVendor|x"}));
  PutFile(data + "\\RegistryDefinition.dat", EncodeFile({"1^Software\\E2ENone^=None"}));
  PutFile(data + "\\Safety.dat", EncodeFile({"SFILE|x.exe|C:\\x.exe|"}));
  PutFile(data + "\\BlockedCookies.dat", EncodeFile({"tracker.example"}));
  PutFile(data + "\\ExeDefinition.dat", EncodeFile({exeLine}));
  PutFile(data + "\\ENoSignature.dat", "");
  CommonSettings();
  return data;
}

struct Program {
  PROCESS_INFORMATION pi{};
  bool Start(const std::string& path) {
    STARTUPINFOA si{};
    si.cb = sizeof si;
    std::string cmd = "\"" + path + "\"";
    return CreateProcessA(path.c_str(), cmd.data(), nullptr, nullptr, FALSE, DETACHED_PROCESS, nullptr, nullptr, &si,
                          &pi) != 0;
  }
  bool Ended(DWORD ms) const { return WaitForSingleObject(pi.hProcess, ms) == WAIT_OBJECT_0; }
  ~Program() {
    if (!pi.hProcess) return;
    TerminateProcess(pi.hProcess, 0);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
  }
};

bool HasText(HWND window, const std::string& part) {
  for (HWND h : Children(window))
    if (Text(h).find(part) != std::string::npos) return true;
  return false;
}

TEST(ShieldsInTheRunningProgram, TheMemoryAlertStopsOrAllowsAKnownProgram) {
  const std::string progfil = ShellFolder(CSIDL_PROGRAM_FILES), dir = progfil + "\\E2EShield";
  const std::string data = PrepareData("e2eshield.exe=E2E Shield|[progfil]\\E2EShield");
  char self[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, self, MAX_PATH);
  const std::string here = std::string(self).substr(0, std::string(self).find_last_of('\\'));
  CreateDirectoryA(dir.c_str(), nullptr);
  const std::string threat = dir + "\\e2eshield.exe";
  ASSERT_TRUE(CopyFileA((here + "\\kestrix_sleeper.exe").c_str(), threat.c_str(), FALSE));
  WriteString(HKEY_CURRENT_USER, kOptions, "optMemorySheildOn", "True");
  // With the window open its memory timer rests; the home page shield runs a memory check
  // on every third of its ticks. Its own check finds the start page as accepted.
  WriteString(HKEY_CURRENT_USER, kOptions, "optIEHomePageSheildOn", "True");
  WriteString(HKEY_CURRENT_USER, kOptions, "Homepage", "http://same.example/");
  WriteString(HKEY_CURRENT_USER, kIeMain, "Start Page", "http://same.example/");
  WriteString(HKEY_CURRENT_USER, "Software\\Kestrix Labs\\Kestrix\\Settings", "DiagnosticsLog", "1");

  Program first;
  ASSERT_TRUE(first.Start(threat));
  RunningKestrix k;
  ASSERT_NO_FATAL_FAILURE(k.Start());
  HWND alert = nullptr;
  ASSERT_TRUE(WaitFor([&] { return (alert = k.WindowWithButton("STOP")) != nullptr; }, 40000))
      << "no memory alert for the running program; it " << (first.Ended(0) ? "ended" : "runs") << "\n"
      << Dump(k.Lists()) << ReadFileText(data + "\\Diagnostics.log");
  EXPECT_TRUE(Button(alert, "ALLOW"));
  EXPECT_TRUE(HasText(alert, "E2ESHIELD.EXE"));
  Sleep(300);
  k.Screenshot("memory_alert.bmp", alert);
  PostMessageA(Button(alert, "STOP"), BM_CLICK, 0, 0);
  EXPECT_TRUE(first.Ended(10000)) << "STOP left the program running";
  EXPECT_TRUE(WaitFor([&] { return !IsWindowVisible(alert); }, 10000));

  Program second;
  ASSERT_TRUE(second.Start(threat));
  ASSERT_TRUE(WaitFor([&] { return (alert = k.WindowWithButton("ALLOW")) != nullptr; }, 40000))
      << "no memory alert the second time";
  PostMessageA(Button(alert, "ALLOW"), BM_CLICK, 0, 0);
  EXPECT_TRUE(WaitFor([&] { return ReadFileText(data + "\\ENoSignature.dat").find("E2ESHIELD.EXE") != std::string::npos; },
                      10000))
      << ReadFileText(data + "\\ENoSignature.dat");
  EXPECT_FALSE(second.Ended(0)) << "ALLOW stopped the program";
  // Allowed for good: no alert at the next checks.
  EXPECT_FALSE(WaitFor([&] { return k.WindowWithButton("ALLOW") != nullptr; }, 12000));
}

TEST(ShieldsInTheRunningProgram, TheHomePageAlertRestoresOrAcceptsAChangedStartPage) {
  PrepareData("nothing.exe=None|[windir]");
  WriteString(HKEY_CURRENT_USER, kOptions, "optMemorySheildOn", "False");
  WriteString(HKEY_CURRENT_USER, kOptions, "optIEHomePageSheildOn", "True");
  WriteString(HKEY_CURRENT_USER, kOptions, "optAlwaysnotifybeforerestoring", "True");
  WriteString(HKEY_CURRENT_USER, kOptions, "Homepage", "http://accepted.example/");
  WriteString(HKEY_CURRENT_USER, kIeMain, "Start Page", "http://hijacked.example/");

  RunningKestrix k;
  ASSERT_NO_FATAL_FAILURE(k.Start());
  HWND alert = nullptr;
  ASSERT_TRUE(WaitFor([&] { return (alert = k.WindowWithButton("Yes")) != nullptr; }, 30000))
      << "no home page alert";
  EXPECT_TRUE(HasText(alert, "has detected that your Homepage has been changed."));
  EXPECT_TRUE(HasText(alert, "http://hijacked.example/"));
  Sleep(300);
  k.Screenshot("home_page_alert.bmp", alert);
  PostMessageA(Button(alert, "Yes"), BM_CLICK, 0, 0);
  EXPECT_TRUE(WaitFor([&] { return ReadString(HKEY_CURRENT_USER, kIeMain, "Start Page") == "http://accepted.example/"; },
                      10000));

  WriteString(HKEY_CURRENT_USER, kIeMain, "Start Page", "http://chosen.example/");
  ASSERT_TRUE(WaitFor([&] { return (alert = k.WindowWithButton("No")) != nullptr; }, 30000))
      << "no home page alert the second time";
  PostMessageA(Button(alert, "No"), BM_CLICK, 0, 0);
  EXPECT_TRUE(WaitFor([&] { return ReadString(HKEY_CURRENT_USER, kOptions, "Homepage") == "http://chosen.example/"; },
                      10000));
  EXPECT_EQ(ReadString(HKEY_CURRENT_USER, kIeMain, "Start Page"), "http://chosen.example/");
  // Accepted: the next checks are quiet.
  EXPECT_FALSE(WaitFor([&] { return k.WindowWithButton("No") != nullptr; }, 12000));
}

}  // namespace
