// The web client's memory while its caller is stalled, which only the real client can show.
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>

#include <gtest/gtest.h>

#include "contract/contract_env.h"

namespace kx::contract {
namespace {

struct Memory {
  size_t workingSet = 0, privateBytes = 0;
};

Memory Now() {
  PROCESS_MEMORY_COUNTERS pmc{};
  pmc.cb = sizeof pmc;
  Memory m;
  if (GetProcessMemoryInfo(GetCurrentProcess(), &pmc, sizeof pmc)) {
    m.workingSet = pmc.WorkingSetSize;
    m.privateBytes = pmc.PagefileUsage;
  }
  return m;
}

size_t Growth(const Memory& from, const Memory& to) {
  auto up = [](size_t a, size_t b) { return b > a ? b - a : 0; };
  return std::max(up(from.workingSet, to.workingSet), up(from.privateBytes, to.privateBytes));
}

// A yield with a modal box open while the server streams without end: the client must not
// take the stream in meanwhile. The box stays open at least 3 s, and on while the process
// keeps growing, so a client that queues without bound shows it however slowly this machine
// streams (under Wine on QEMU a queue grew by only about 1 MB a second).
TEST(Win32Web, AStalledCallerDoesNotLetAnEndlessStreamPileUp) {
  const size_t fetchLimit = size_t{64} << 20, stallLimit = size_t{8} << 20;
  auto env = MakeEnv();
  WebOptions o;
  o.connectTimeoutMs = o.receiveTimeoutMs = 1500;
  o.deadlineMs = 1000;
  o.maxBytes = size_t{1} << 30;
  const std::string url = env->EndlessUrl();
  const Memory before = Now();
  ASSERT_GT(before.workingSet, 0u);
  ASSERT_GT(before.privateBytes, 0u);
  Memory stallStart, peak = before;
  auto note = [&](const Memory& m) {
    peak.workingSet = std::max(peak.workingSet, m.workingSet);
    peak.privateBytes = std::max(peak.privateBytes, m.privateBytes);
  };
  int yields = 0;
  DWORD stalledMs = 0;
  const DWORD start = GetTickCount();
  WebResult r = env->web().Get(url, o, [&](size_t) {
    if (yields++) return true;
    const DWORD from = GetTickCount();
    stallStart = Now();
    Memory secondAgo = stallStart;
    for (DWORD last = from;;) {
      Sleep(250);
      const Memory m = Now();
      note(m);
      const DWORD now = GetTickCount();
      if (Growth(stallStart, m) >= stallLimit || now - from >= 60000) break;
      if (now - last >= 1000) {
        if (now - from >= 3000 && Growth(secondAgo, m) < (size_t{256} << 10)) break;
        secondAgo = m;
        last = now;
      }
    }
    stalledMs = GetTickCount() - from;
    return true;
  });
  const DWORD took = GetTickCount() - start;
  note(Now());
  const double mb = 1 << 20;
  std::printf("stalled fetch: working set %.1f, %.1f at the stall, peak %.1f MB; private %.1f, %.1f, peak %.1f MB; "
              "stalled %lu ms of %lu ms\n",
              before.workingSet / mb, stallStart.workingSet / mb, peak.workingSet / mb, before.privateBytes / mb,
              stallStart.privateBytes / mb, peak.privateBytes / mb, static_cast<unsigned long>(stalledMs),
              static_cast<unsigned long>(took));
  EXPECT_FALSE(r.ok);
  ASSERT_GE(yields, 1) << "no block arrived";
  EXPECT_LT(Growth(stallStart, peak), stallLimit);
  EXPECT_LT(Growth(before, peak), fetchLimit);
}

}  // namespace
}  // namespace kx::contract
