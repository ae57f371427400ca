// The memory phase on real processes: sleeper programs copied under one name into two
// folders, and more processes than the first id buffer holds.
#include <windows.h>

#include <gtest/gtest.h>

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
      CloseHandle(pi.hThread);
      CloseHandle(pi.hProcess);
    }
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
  void TearDown() override { wp.files.DeleteFolder(root, true); }

  // The sleeper copied to root\folder\name.
  std::string Plant(const std::string& folder, const std::string& name) {
    const std::string dir = root + "\\" + folder;
    wp.files.CreateFolder(dir);
    const std::string path = dir + "\\" + name;
    EXPECT_TRUE(CopyFileA((TestFolder() + "\\kestrix_sleeper.exe").c_str(), path.c_str(), FALSE)) << path;
    return path;
  }
};

TEST_F(ProcessScannerWin32, OnlyTheMatchedOneOfTwoSameNamedProcessesIsStopped) {
  const std::string innocent = Plant("Editor", "updater.exe");
  const std::string threat = Plant("Adware", "updater.exe");
  wp.files.WriteFile(data + "\\ExeDefinition.dat",
                     EncodeDefinitionLine("updater.exe=Adware Updater|" + root + "\\Adware\\") + "\r\n");
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

  scantest::ScanRig rig(wp.files, wp.registry, wp.system, wp.shell, wp.clock, data);
  rig.state.yield.intervalMs = 0;
  ProcessScanner scanner(ProcessScanServices{wp.processes, wp.system, wp.files, rig.backend, scantest::KeyAsMessage,
                                             "Kestrix", data},
                         ProcessScanControls::FromForm(rig.form), rig.threats, rig.state);
  rig.Get("cmdScan").set_enabled(false);  // a scan runs
  scanner.ScanMemory();
  Sleep(100);
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
