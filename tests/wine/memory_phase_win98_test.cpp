// The memory phase's platform switch for real: the same program and definitions, run once
// with Wine reporting Windows 98 for that program alone (its AppDefaults "Version") and once
// as the prefix reports Windows 7. The first must take the toolhelp variant, the second the
// process API, each stopping the planted sleeper in its own way.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "../scan_support/must.h"
#include "definitions/codec.h"
#include "platform/win32/services_win32.h"

namespace kx {
namespace {

constexpr char kProbe[] = "kestrix_memory_phase.exe";
constexpr char kAppDefaults[] = "Software\\Wine\\AppDefaults\\kestrix_memory_phase.exe";

std::string TestFolder() {
  char exe[MAX_PATH + 1] = {};
  GetModuleFileNameA(nullptr, exe, MAX_PATH);
  std::string s = exe;
  return s.substr(0, s.find_last_of('\\'));
}

struct ProbeOutput {
  std::map<std::string, std::string> values;  // "platform", "inspected", ...
  std::vector<std::string> rows;              // sorted
  DWORD exitCode = 0xFFFFFFFF;
};

// Runs the probe on the data folder and reads what it prints.
ProbeOutput RunProbe(const std::string& data) {
  ProbeOutput out;
  SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
  HANDLE readEnd = nullptr, writeEnd = nullptr;
  if (!CreatePipe(&readEnd, &writeEnd, &sa, 0)) return out;
  SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOA si{};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdOutput = writeEnd;
  si.hStdError = writeEnd;
  si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  const std::string exe = TestFolder() + "\\" + kProbe;
  std::string line = "\"" + exe + "\" \"" + data + "\"";
  PROCESS_INFORMATION pi{};
  const BOOL started =
      CreateProcessA(exe.c_str(), line.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr, &si, &pi);
  CloseHandle(writeEnd);
  std::string text;
  if (started) {
    char buf[4096];
    DWORD got = 0;
    while (ReadFile(readEnd, buf, sizeof buf, &got, nullptr) && got) text.append(buf, got);
    WaitForSingleObject(pi.hProcess, 60000);
    GetExitCodeProcess(pi.hProcess, &out.exitCode);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
  }
  CloseHandle(readEnd);
  for (size_t at = 0; at < text.size();) {
    size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    std::string l = text.substr(at, end - at);
    if (!l.empty() && l.back() == '\r') l.pop_back();
    at = end + 1;
    const size_t space = l.find(' ');
    if (space == std::string::npos) continue;
    if (l.compare(0, space, "row") == 0)
      out.rows.push_back(l.substr(space + 1));
    else
      out.values[l.substr(0, space)] = l.substr(space + 1);
  }
  std::sort(out.rows.begin(), out.rows.end());
  return out;
}

struct Sleeper {
  PROCESS_INFORMATION pi{};
  bool Start(const std::string& path) {
    STARTUPINFOA si{};
    si.cb = sizeof si;
    std::string line = "\"" + path + "\"";
    return CreateProcessA(path.c_str(), line.data(), nullptr, nullptr, FALSE, DETACHED_PROCESS, nullptr, nullptr, &si,
                          &pi) != FALSE;
  }
  // The exit code once ended within the wait, else nothing.
  std::optional<DWORD> Ended(DWORD waitMs) const {
    if (WaitForSingleObject(pi.hProcess, waitMs) != WAIT_OBJECT_0) return std::nullopt;
    DWORD code = 0;
    GetExitCodeProcess(pi.hProcess, &code);
    return code;
  }
  ~Sleeper() {
    if (!pi.hProcess) return;
    TerminateProcess(pi.hProcess, 1);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
  }
};

struct MemoryPhaseWin98 : ::testing::Test {
  win32::Win32Platform wp;
  std::string root, data;

  void SetUp() override {
    char temp[MAX_PATH + 1] = {};
    GetTempPathA(MAX_PATH, temp);
    root = std::string(temp) + "kx-win98-" + std::to_string(GetTickCount());
    data = root + "\\data";
    ASSERT_TRUE(wp.files.CreateFolder(root));
    ASSERT_TRUE(wp.files.CreateFolder(data));
  }
  void TearDown() override {
    ReportWindows98(false);
    (void)wp.files.DeleteFolder(root, true);  // it may not be there yet
  }

  // Wine reads the per-program version when the program starts; the prefix stays Windows 7.
  static void ReportWindows98(bool on) {
    if (!on) {
      RegDeleteKeyExA(HKEY_CURRENT_USER, kAppDefaults, KEY_WOW64_64KEY, 0);
      return;
    }
    HKEY key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kAppDefaults, 0, nullptr, 0, KEY_SET_VALUE | KEY_WOW64_64KEY,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    const char version[] = "win98";
    EXPECT_EQ(RegSetValueExA(key, "Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(version), sizeof version),
              ERROR_SUCCESS);
    RegCloseKey(key);
  }

  std::string Plant(const std::string& folder, const std::string& name) {
    test_support::Must(wp.files.CreateFolder(root + "\\" + folder), "CreateFolder");
    const std::string path = root + "\\" + folder + "\\" + name;
    EXPECT_TRUE(CopyFileA((TestFolder() + "\\kestrix_sleeper.exe").c_str(), path.c_str(), FALSE)) << path;
    return path;
  }
};

TEST_F(MemoryPhaseWin98, TheReportedPlatformPicksTheVariantThatFindsAndStopsThePlantedSleeper) {
  const std::string threat = Plant("Adware", "kxprobe95.exe");
  const std::string allowed = Plant("Allowed", "kxallow95.exe");
  const std::string quiet = Plant("Quiet", "kxquiet95.exe");
  // The toolhelp variant matches a line that ends in the running file's name; the process
  // API variant matches name=threat|folder. Both forms are here, so each variant has its find,
  // and a line that only begins with the quiet sleeper's name must match in neither.
  const std::vector<std::string> lines = {
      "Probe Adware=Probe Adware|" + threat,
      "Allowed Tool=Allowed Tool|" + allowed,
      "kxquiet95.exe=Quiet Tool|" + root + "\\Elsewhere\\",
      "kxprobe95.exe=Probe Adware|" + root + "\\Adware\\",
      "kxallow95.exe=Allowed Tool|" + root + "\\Allowed\\",
  };
  std::string defs;
  for (const std::string& l : lines) defs += EncodeDefinitionLine(l) + "\r\n";
  ASSERT_TRUE(wp.files.WriteFile(data + "\\ExeDefinition.dat", defs));
  ASSERT_TRUE(wp.files.WriteFile(data + "\\ENoSignature.dat", "kxallow95.exe\r\n"));

  Sleeper probeTarget, allowedRunning, quietRunning;
  ASSERT_TRUE(probeTarget.Start(threat));
  ASSERT_TRUE(allowedRunning.Start(allowed));
  ASSERT_TRUE(quietRunning.Start(quiet));
  Sleep(500);

  ReportWindows98(true);
  ProbeOutput w98 = RunProbe(data);
  ReportWindows98(false);
  ASSERT_EQ(w98.exitCode, 0u);
  ASSERT_EQ(w98.values["platform"], "1") << "Wine did not report the Windows 95 family to the program";
  // Definition lines are counted, processes are not.
  EXPECT_EQ(w98.values["inspected"], std::to_string(lines.size()));
  EXPECT_EQ(w98.values["threats"], "1");
  EXPECT_EQ(w98.rows, (std::vector<std::string>{
                          "Detected in the memory : KXPROBE95.EXE and was stopped being from ruuning.#3",
                          "EXCLUDED: KXALLOW95.EXE#5",
                      }));
  // Terminated with its own exit code, which for a running process is STILL_ACTIVE.
  EXPECT_EQ(probeTarget.Ended(10000), std::optional<DWORD>(STILL_ACTIVE));
  EXPECT_FALSE(allowedRunning.Ended(0).has_value());
  EXPECT_FALSE(quietRunning.Ended(0).has_value());

  Sleeper again;
  ASSERT_TRUE(again.Start(threat));
  Sleep(500);
  ProbeOutput nt = RunProbe(data);
  ASSERT_EQ(nt.exitCode, 0u);
  EXPECT_EQ(nt.values["platform"], "2");
  EXPECT_EQ(nt.values["threats"], "1");
  EXPECT_EQ(nt.rows, (std::vector<std::string>{
                         "Detected in the memory : KXPROBE95.EXE was stopped from running.#3",
                         "EXCLUDED: KXALLOW95.EXE#5",
                     }));
  EXPECT_EQ(again.Ended(10000), std::optional<DWORD>(0u));
  EXPECT_FALSE(allowedRunning.Ended(0).has_value());
  EXPECT_FALSE(quietRunning.Ended(0).has_value());
}

}  // namespace
}  // namespace kx
