// The Windows side of the idle benchmark (scripts/bench-idle.sh), one step per run:
//   idle_bench prepare <on|off> <sleeper.exe>  sets both shields on or off and starts a
//       sleeper that the definitions name and the user has allowed, so every memory check
//       follows one match (its "EXCLUDED: " row is added once, by the first);
//   idle_bench wait     waits for Kestrix.exe's main window and prints "ready <pid>";
//   idle_bench finish   prints what shows the shields ran and ends both programs.
// The script starts Kestrix.exe itself: started by a console program under Wine, it never
// got as far as its first window.
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "definitions/codec.h"
#include "idle_support.h"

namespace {

using namespace kx::bench;

const char kIeMain[] = "Software\\Microsoft\\Internet Explorer\\Main";
const char kStartPage[] = "http://idle.example/";

std::string ReadFileText(const std::string& path) {
  std::string text;
  if (FILE* f = std::fopen(path.c_str(), "rb")) {
    char buf[4096];
    for (size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;) text.append(buf, n);
    std::fclose(f);
  }
  return text;
}

bool AppendText(const std::string& path, const std::string& text) {
  FILE* f = std::fopen(path.c_str(), "ab");
  if (!f) return false;
  const bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
  return std::fclose(f) == 0 && ok;
}

std::string ShellFolder(int csidl) {
  char buf[MAX_PATH] = {};
  SHGetSpecialFolderPathA(nullptr, buf, csidl, FALSE);
  return buf;
}

bool Start(const std::string& exe, DWORD flags, PROCESS_INFORMATION& pi) {
  STARTUPINFOA si{};
  si.cb = sizeof si;
  std::string cmd = "\"" + exe + "\"";
  return CreateProcessA(exe.c_str(), cmd.data(), nullptr, nullptr, FALSE, flags, nullptr, nullptr, &si, &pi) != 0;
}

// Rows beginning with the text, over every list view of the window, read through a buffer
// in the program's memory (both programs are 32-bit).
long CountRows(HANDLE process, HWND main, const std::string& prefix) {
  std::vector<HWND> lists;
  EnumChildWindows(
      main,
      [](HWND h, LPARAM p) CALLBACK -> BOOL {
        char cls[64] = {};
        GetClassNameA(h, cls, sizeof cls);
        if (std::string(cls) == "SysListView32") reinterpret_cast<std::vector<HWND>*>(p)->push_back(h);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&lists));
  const SIZE_T textSize = 512;
  char* remote = static_cast<char*>(
      VirtualAllocEx(process, nullptr, sizeof(LVITEMA) + textSize, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
  if (!remote) return -1;
  long found = 0;
  for (HWND lv : lists) {
    const int count = static_cast<int>(SendMessageA(lv, LVM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
      LVITEMA item{};
      item.pszText = remote + sizeof(LVITEMA);
      item.cchTextMax = static_cast<int>(textSize);
      WriteProcessMemory(process, remote, &item, sizeof item, nullptr);
      SendMessageA(lv, LVM_GETITEMTEXTA, i, reinterpret_cast<LPARAM>(remote));
      char text[512] = {};
      ReadProcessMemory(process, remote + sizeof(LVITEMA), text, textSize - 1, nullptr);
      if (std::string(text).rfind(prefix, 0) == 0) ++found;
    }
  }
  VirtualFreeEx(process, remote, 0, MEM_RELEASE);
  return found;
}

void EndProcess(DWORD pid) {
  HANDLE h = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid);
  if (!h) return;
  TerminateProcess(h, 0);
  WaitForSingleObject(h, 10000);
  CloseHandle(h);
}

int Prepare(bool shieldsOn, const std::string& sleeper) {
  const std::string on = shieldsOn ? "True" : "False", off = shieldsOn ? "False" : "True";
  bool ok = WriteString(kOptions, "optIEHomePageSheildOn", on) && WriteString(kOptions, "optIEHomePageSheildOff", off) &&
            WriteString(kOptions, "optMemorySheildOn", on) && WriteString(kOptions, "optMemorySheildOff", off) &&
            WriteString(kIeMain, "Start Page", kStartPage) && WriteString(kSettings, "lblLastScan", "Never") &&
            WriteString(kSettings, "Minimized", "No");
  // The home page shield's first check stores the start page as accepted: the sign it ran.
  HKEY options;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, kOptions, 0, KEY_SET_VALUE, &options) == ERROR_SUCCESS) {
    RegDeleteValueA(options, "Homepage");
    RegCloseKey(options);
  }
  const std::string data = ShellFolder(CSIDL_APPDATA) + "\\DideZuvurudARA";
  const std::string folder = ShellFolder(CSIDL_PROGRAM_FILES) + "\\KxIdle", allowed = folder + "\\kxidle.exe";
  CreateDirectoryA(folder.c_str(), nullptr);
  ok = ok && CopyFileA(sleeper.c_str(), allowed.c_str(), FALSE);
  const std::string line = kx::EncodeDefinitionLine("kxidle.exe=Idle Tool|[progfil]\\KxIdle");
  if (ReadFileText(data + "\\ExeDefinition.dat").find(line) == std::string::npos)
    ok = ok && AppendText(data + "\\ExeDefinition.dat", line + "\r\n");
  if (ReadFileText(data + "\\ENoSignature.dat").find("kxidle.exe") == std::string::npos)
    ok = ok && AppendText(data + "\\ENoSignature.dat", "kxidle.exe\r\n");
  PROCESS_INFORMATION sleeping{};
  if (!ok || !Start(allowed, DETACHED_PROCESS, sleeping)) {
    std::printf("could not prepare the prefix (data folder %s)\n", data.c_str());
    return 1;
  }
  std::printf("sleeper %lu\n", sleeping.dwProcessId);
  CloseHandle(sleeping.hThread);
  CloseHandle(sleeping.hProcess);
  return 0;
}

int Wait() {
  HWND main = nullptr;
  for (int waited = 0; !(main = FindMain()) && waited < 120000; waited += 200) Sleep(200);
  if (!main) {
    std::printf("Kestrix.exe showed no main window\n");
    return 1;
  }
  DWORD pid = 0;
  GetWindowThreadProcessId(main, &pid);
  std::printf("ready %lu\n", pid);
  return 0;
}

int Finish(DWORD sleeperPid) {
  HWND main = FindMain();
  if (!main) {
    std::printf("Kestrix.exe has no main window any more\n");
    EndProcess(sleeperPid);
    return 1;
  }
  DWORD pid = 0;
  GetWindowThreadProcessId(main, &pid);
  HANDLE process = OpenProcess(PROCESS_ALL_ACCESS, FALSE, pid);
  std::printf("wine-reported cpu %.3f s; excluded rows %ld; accepted home page %s\n", CpuSeconds(process),
              process ? CountRows(process, main, "EXCLUDED: ") : -1, ReadString(kOptions, "Homepage").c_str());
  if (process) CloseHandle(process);
  EndProcess(pid);
  EndProcess(sleeperPid);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string step = argc > 1 ? argv[1] : "";
  if (step == "prepare" && argc > 3) return Prepare(std::string(argv[2]) == "on", argv[3]);
  if (step == "wait") return Wait();
  if (step == "finish" && argc > 2) return Finish(static_cast<DWORD>(std::strtoul(argv[2], nullptr, 10)));
  std::fprintf(stderr, "usage: idle_bench prepare <on|off> <sleeper.exe> | wait | finish <sleeper pid>\n");
  return 2;
}
