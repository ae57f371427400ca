// The Windows side of the scheduler's idle benchmark (scripts/bench-scheduler.sh):
//   scheduler_bench prepare <on|off>  both shields off; scheduled scans on or off, Daily at a
//       time two hours away, so the timer ticks all run and none starts a scan;
//   scheduler_bench wait    waits for Kestrix.exe's main window, minimises it (a window shown
//       normally rests the scheduler's timer) and prints "ready <pid>";
//   scheduler_bench finish  prints what Wine reports through GetProcessTimes, then ends it.
#include <windows.h>

#include <cstdio>
#include <string>

#include "idle_support.h"

namespace {

using namespace kx::bench;


int Prepare(bool on) {
  SYSTEMTIME t;
  GetLocalTime(&t);
  const int hour = (t.wHour + 2) % 24;
  char at[32];
  std::snprintf(at, sizeof at, "%d:%02d:00 %s", hour % 12 == 0 ? 12 : hour % 12, t.wMinute, hour < 12 ? "AM" : "PM");
  const bool ok = WriteString(kOptions, "optIEHomePageSheildOn", "False") &&
                  WriteString(kOptions, "optIEHomePageSheildOff", "True") &&
                  WriteString(kOptions, "optMemorySheildOn", "False") &&
                  WriteString(kOptions, "optMemorySheildOff", "True") &&
                  WriteString(kOptions, "chkAutomaticScanYesOrNo", on ? "1" : "0") &&
                  WriteString(kOptions, "chkAutomaticUpdate", "0") && WriteString(kOptions, "Day", "7") &&
                  WriteString(kOptions, "Time", at) && WriteString(kOptions, "Date", "Null") &&
                  WriteString(kSettings, "lblLastScan", "Never") && WriteString(kSettings, "Minimized", "No");
  if (!ok) {
    std::printf("could not write the settings\n");
    return 1;
  }
  std::printf("prepared, scheduled at %s\n", at);
  return 0;
}

int Wait() {
  HWND main = nullptr;
  for (int waited = 0; !(main = FindMain()) && waited < 120000; waited += 200) Sleep(200);
  if (!main) {
    std::printf("Kestrix.exe showed no main window\n");
    return 1;
  }
  ShowWindow(main, SW_MINIMIZE);
  DWORD pid = 0;
  GetWindowThreadProcessId(main, &pid);
  std::printf("ready %lu\n", pid);
  return 0;
}

int Finish() {
  HWND main = nullptr;
  EnumWindows(
      [](HWND h, LPARAM p) CALLBACK -> BOOL {
        char cls[64] = {};
        GetClassNameA(h, cls, sizeof cls);
        if (std::string(cls) == "KestrixForm_FrmMain") *reinterpret_cast<HWND*>(p) = h;
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&main));
  if (!main) {
    std::printf("Kestrix.exe has no main window any more\n");
    return 1;
  }
  DWORD pid = 0;
  GetWindowThreadProcessId(main, &pid);
  HANDLE process = OpenProcess(PROCESS_ALL_ACCESS, FALSE, pid);
  std::printf("GetProcessTimes %.3f s; last scan %s\n", CpuSeconds(process), ReadString(kSettings, "lblLastScan").c_str());
  if (process) {
    TerminateProcess(process, 0);
    WaitForSingleObject(process, 10000);
    CloseHandle(process);
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string step = argc > 1 ? argv[1] : "";
  if (step == "prepare" && argc > 2) return Prepare(std::string(argv[2]) == "on");
  if (step == "wait") return Wait();
  if (step == "finish") return Finish();
  std::fprintf(stderr, "usage: scheduler_bench prepare <on|off> | wait | finish\n");
  return 2;
}
