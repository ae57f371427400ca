// The memory phase on real processes: sleeper programs copied under one name into two
// folders, 64-bit ones in the 64-bit system folder, and more processes than the first id
// buffer holds.
#include <windows.h>

#include <gtest/gtest.h>

#include "../scan_support/must.h"
#include "core/text.h"
#include "definitions/codec.h"
#include "platform/win32/services_win32.h"
#include "scan/process_scanner.h"
#include "scan_support/scan_kit.h"

namespace kx {
namespace {

std::string TestFolder() {
  char exe[MAX_PATH + 1] = {};
  GetModuleFileNameA(nullptr, exe, MAX_PATH);
  std::string s = exe;
  return s.substr(0, s.find_last_of('\\'));
}

// Processes started for a test and ended with it.
struct Children {
  std::vector<PROCESS_INFORMATION> started;
  uint32_t Start(const std::string& exe, DWORD flags = 0) {
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    std::string line = "\"" + exe + "\"";
    if (!CreateProcessA(exe.c_str(), line.data(), nullptr, nullptr, FALSE, flags | DETACHED_PROCESS, nullptr, nullptr,
                        &si, &pi))
      return 0;
    started.push_back(pi);
    return pi.dwProcessId;
  }
  bool Running(uint32_t pid) const {
    for (const auto& pi : started)
      if (pi.dwProcessId == pid) return WaitForSingleObject(pi.hProcess, 0) == WAIT_TIMEOUT;
    return false;
  }
  ~Children() {
    for (const auto& pi : started) {
      TerminateProcess(pi.hProcess, 1);
      WaitForSingleObject(pi.hProcess, 5000);  // so that its file can go
      CloseHandle(pi.hThread);
      CloseHandle(pi.hProcess);
    }
  }
};

// The memory phase run as a scan runs it, over the real services; the rig keeps its lists.
struct MemoryScan {
  scantest::ScanRig rig;
  ProcessScanner scanner;
  MemoryScan(win32::Win32Platform& wp, const std::string& data)
      : rig(wp.files, wp.registry, wp.system, wp.shell, wp.clock, data),
        scanner(ProcessScanServices{wp.processes, wp.system, wp.files, rig.backend, scantest::KeyAsMessage, "Kestrix",
                                    data},
                rig.views.processes, rig.threats, rig.state) {
    rig.state.yield.intervalMs = 0;
    rig.Get("cmdScan").set_enabled(false);  // a scan runs
    scanner.ScanMemory();
    Sleep(100);
  }
};

struct ProcessScannerWin32 : ::testing::Test {
  win32::Win32Platform wp;
  std::string root;
  std::string data;

  void SetUp() override {
    char temp[MAX_PATH + 1] = {};
    GetTempPathA(MAX_PATH, temp);
    root = std::string(temp) + "kx-procs-" + std::to_string(GetTickCount());
    data = root + "\\data";
    ASSERT_TRUE(wp.files.CreateFolder(root));
    ASSERT_TRUE(wp.files.CreateFolder(data));
  }
  void TearDown() override { (void)wp.files.DeleteFolder(root, true); }  // clean-up

  // The sleeper copied to root\folder\name.
  std::string Plant(const std::string& folder, const std::string& name) {
    const std::string dir = root + "\\" + folder;
    test_support::Must(wp.files.CreateFolder(dir), "CreateFolder");
    const std::string path = dir + "\\" + name;
    EXPECT_TRUE(CopyFileA((TestFolder() + "\\kestrix_sleeper.exe").c_str(), path.c_str(), FALSE)) << path;
    return path;
  }
};

TEST_F(ProcessScannerWin32, OnlyTheMatchedOneOfTwoSameNamedProcessesIsStopped) {
  const std::string innocent = Plant("Editor", "updater.exe");
  const std::string threat = Plant("Adware", "updater.exe");
  test_support::Must(wp.files.WriteFile(data + "\\ExeDefinition.dat",
                     EncodeDefinitionLine("updater.exe=Adware Updater|" + root + "\\Adware\\") + "\r\n"), "WriteFile");
  const std::string innocent2 = Plant("Other", "UPDATER.EXE");
  Children children;
  // Innocent ones started before and after: whichever way the system orders its list, a
  // process of that name that is not the threat comes first.
  const uint32_t keep = children.Start(innocent);
  Sleep(100);
  const uint32_t stop = children.Start(threat);
  Sleep(100);
  const uint32_t keep2 = children.Start(innocent2);
  ASSERT_TRUE(keep && stop && keep2);
  Sleep(300);

  MemoryScan scan(wp, data);
  auto& rig = scan.rig;
  auto& scanner = scan.scanner;
  EXPECT_TRUE(children.Running(keep));
  EXPECT_TRUE(children.Running(keep2));
  EXPECT_FALSE(children.Running(stop));
  ASSERT_EQ(rig.form.Get("lvwSpywareFound").item_count(), 1u);
  EXPECT_EQ(rig.form.Get("lvwSpywareFound").item(0).text,
            "Detected in the memory : UPDATER.EXE was stopped from running.");

  // By name, as the alert's STOP does: the threat started again goes, the other stays.
  const uint32_t again = children.Start(threat);
  Sleep(300);
  EXPECT_TRUE(scanner.KillProcessByName("UPDATER.EXE", threat));
  Sleep(100);
  EXPECT_TRUE(children.Running(keep));
  EXPECT_TRUE(children.Running(keep2));
  EXPECT_FALSE(children.Running(again));
}

// This 32-bit program's file calls with the system folder's redirection off, so that
// "System32" is the 64-bit system folder.
struct Unredirected {
  PVOID previous = nullptr;
  BOOL off = Wow64DisableWow64FsRedirection(&previous);
  ~Unredirected() {
    if (off) Wow64RevertWow64FsRedirection(previous);
  }
};

// Programs copied into the 64-bit system folder, deleted again after the test.
struct InSystemFolder {
  std::vector<std::string> planted;
  std::string Plant(const std::string& from, const std::string& name) {
    char system[MAX_PATH + 1] = {};
    GetSystemDirectoryA(system, MAX_PATH);
    const std::string path = std::string(system) + "\\" + name;
    Unredirected unredirected;
    if (!unredirected.off || !CopyFileA(from.c_str(), path.c_str(), FALSE)) return "";
    planted.push_back(path);
    return path;
  }
  ~InSystemFolder() {
    Unredirected unredirected;
    for (const std::string& path : planted) DeleteFileA(path.c_str());
  }
};

TEST_F(ProcessScannerWin32, ASixtyFourBitProgramInTheSystemFolderIsStoppedOnlyWhenNotMicrosofts) {
  char wow64[MAX_PATH + 1] = {};
  ASSERT_GT(GetSystemWow64DirectoryA(wow64, MAX_PATH), 0u) << "not a 64-bit prefix";
  const struct {
    const char* program;
    const char* name;
    bool stopped;
  } cases[] = {
      {"kestrix_microsoft_sleeper64.exe", "kxmsworker.exe", false},
      {"kestrix_sleeper64.exe", "kxadworker.exe", true},
  };
  InSystemFolder system;  // after the processes have gone
  Children children;
  std::string definitions;
  std::vector<uint32_t> pids;
  for (const auto& c : cases) {
    const std::string path = system.Plant(TestFolder() + "\\" + c.program, c.name);
    ASSERT_FALSE(path.empty()) << c.name;
    // What this 32-bit program sees under that path, SysWOW64, holds no such file.
    ASSERT_EQ(GetFileAttributesA((std::string(wow64) + "\\" + c.name).c_str()), INVALID_FILE_ATTRIBUTES);
    {
      Unredirected unredirected;
      pids.push_back(children.Start(path));
    }
    ASSERT_NE(pids.back(), 0u) << path;
    definitions += EncodeDefinitionLine(std::string(c.name) + "=Worker|[system]") + "\r\n";
  }
  ASSERT_TRUE(wp.files.WriteFile(data + "\\ExeDefinition.dat", definitions));
  Sleep(300);

  MemoryScan scan(wp, data);
  auto& rig = scan.rig;
  auto& scanner = scan.scanner;
  std::vector<std::string> rows;
  for (const ui::ListItem& row : rig.form.Get("lvwSpywareFound").items()) rows.push_back(row.text);
  std::vector<std::string> expected;
  for (size_t i = 0; i < std::size(cases); ++i) {
    EXPECT_EQ(children.Running(pids[i]), !cases[i].stopped) << cases[i].name;
    if (cases[i].stopped)
      expected.push_back("Detected in the memory : " + UpperAnsi(cases[i].name) + " was stopped from running.");
  }
  EXPECT_EQ(rows, expected);
  // The reads put redirection back: this program's System32 is SysWOW64 again.
  EXPECT_EQ(GetFileAttributesA(system.planted[0].c_str()), INVALID_FILE_ATTRIBUTES);
  // Nor does stopping it by name, as the removal and the alert's STOP do.
  EXPECT_FALSE(scanner.KillProcessByName(cases[0].name));
  EXPECT_TRUE(children.Running(pids[0]));
}

TEST_F(ProcessScannerWin32, TheImageNameNamesTheSameFileAsTheFirstModule) {
  Children children;
  ASSERT_NE(children.Start(Plant("Images", "image test.exe")), 0u);
  Sleep(300);
  int compared = 0;
  for (uint32_t pid : wp.processes.EnumIds()) {
    auto module = wp.processes.ModulePath(pid);
    if (!module) continue;
    auto image = wp.processes.Image(pid);
    ASSERT_TRUE(image) << *module;
    EXPECT_EQ(_stricmp(image->path.c_str(), module->c_str()), 0) << image->path << " / " << *module;
    EXPECT_EQ(_stricmp(image->baseName.c_str(), wp.processes.ModuleBaseName(pid).value_or("").c_str()), 0);
    ++compared;
  }
  EXPECT_GE(compared, 2);  // this program and the sleeper (the system's own are 64-bit here)
}

TEST_F(ProcessScannerWin32, EveryProcessIsListedPastTheFirstHundredAndTwentyEight) {
  const std::string sleeper = Plant("Many", "many.exe");
  Children children;
  ProcessScanControls none;
  scantest::ScanRig rig(wp.files, wp.registry, wp.system, wp.shell, wp.clock, data);
  ProcessScanner scanner(ProcessScanServices{wp.processes, wp.system, wp.files, rig.backend, scantest::KeyAsMessage,
                                             "Kestrix", data},
                         none, rig.threats, rig.state);
  ProcessList before;
  ASSERT_GT(scanner.GetProcessList(before), 0);
  // Suspended: cheap to start, and their image names can still be read.
  const size_t wanted = 140;
  for (size_t i = 0; i < wanted; ++i) ASSERT_NE(children.Start(sleeper, CREATE_SUSPENDED), 0u) << i;
  ProcessList after;
  const long count = scanner.GetProcessList(after);
  ASSERT_GE(count, static_cast<long>(wanted + 1));
  size_t found = 0;
  for (size_t i = 0; i < after.names.size(); ++i)
    if (_stricmp(after.names[i].c_str(), "many.exe") == 0) ++found;
  EXPECT_EQ(found, wanted);
}

}  // namespace
}  // namespace kx
