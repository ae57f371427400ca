// Launch to main window: starts Kestrix.exe again and again and times, with the
// performance counter, from CreateProcess until its main window is up (visible, its title
// set). Each run ends the process; the figures are reported, never judged.
//   startup_bench <path of Kestrix.exe> [runs (7)]
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "idle_support.h"

int main(int argc, char** argv) {
  if (argc < 2) {
    std::printf("usage: startup_bench <Kestrix.exe> [runs]\n");
    return 2;
  }
  const std::string exe = argv[1];
  const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 7;
  LARGE_INTEGER freq;
  QueryPerformanceFrequency(&freq);
  std::vector<double> ms, splashMs;
  for (int run = 0; run < runs; ++run) {
    std::string cmd = "\"" + exe + "\"";
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    LARGE_INTEGER t0, t1;
    QueryPerformanceCounter(&t0);
    if (!CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
      std::printf("could not start %s: error %lu\n", exe.c_str(), GetLastError());
      return 1;
    }
    HWND main = nullptr;
    LARGE_INTEGER splashAt{};
    for (int waited = 0; !(main = kx::bench::FindMain()) && waited < 60000; waited += 2) {
      if (!splashAt.QuadPart && IsWindowVisible(FindWindowA("KestrixForm_frmSplash", nullptr)))
        QueryPerformanceCounter(&splashAt);
      Sleep(2);
    }
    QueryPerformanceCounter(&t1);
    if (!main) {
      std::printf("run %d: no main window within 60 s\n", run + 1);
      TerminateProcess(pi.hProcess, 1);
      return 1;
    }
    const double elapsed = 1000.0 * double(t1.QuadPart - t0.QuadPart) / double(freq.QuadPart);
    ms.push_back(elapsed);
    if (splashAt.QuadPart) {
      const double splash = 1000.0 * double(splashAt.QuadPart - t0.QuadPart) / double(freq.QuadPart);
      splashMs.push_back(splash);
      std::printf("run %d: %.0f ms (splash up at %.0f ms)\n", run + 1, elapsed, splash);
    } else {
      std::printf("run %d: %.0f ms\n", run + 1, elapsed);
    }
    // Let the window finish its first paint, then end the process the hard way: the
    // measure is the launch, not the way out.
    Sleep(500);
    TerminateProcess(pi.hProcess, 0);
    WaitForSingleObject(pi.hProcess, 15000);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    Sleep(300);
  }
  std::sort(ms.begin(), ms.end());
  std::printf("launch to main window: median %.0f ms, best %.0f ms, worst %.0f ms over %d runs\n",
              ms[ms.size() / 2], ms.front(), ms.back(), runs);
  if (!splashMs.empty()) {
    std::sort(splashMs.begin(), splashMs.end());
    std::printf("launch to splash: median %.0f ms over %zu runs\n", splashMs[splashMs.size() / 2], splashMs.size());
  }
  return 0;
}
