// The cookie phase on the fakes: 5,000 cookie files against 2,000 blocked entries, and the
// match alone, indexed and literal. The fakes cost nothing like Windows does; the figure
// that counts comes from the Wine run (scripts/bench-cookies.sh).
#include <benchmark/benchmark.h>

#include "fakes/fake_platform.h"
#include "scan/cookie_scanner.h"
#include "scan_support/cookie_machine.h"
#include "scan_support/scan_kit.h"

namespace {

const std::string kData = "C:\\Users\\User\\AppData\\Roaming\\DideZuvurudARA";

void BM_CookiePhase(benchmark::State& st) {
  kx::fakes::FakePlatform fp;
  kx::scanbench::CookieMachine m =
      kx::scanbench::BuildCookieMachine(fp.files, fp.system.SpecialFolder(33), kData, st.range(0), st.range(1));
  for (auto _ : st) {
    kx::scantest::ScanRig rig(fp.files, fp.registry, fp.system, fp.shell, fp.clock, kData);
    rig.Get("cmdScan").set_enabled(false);
    kx::CookieScanner scanner({fp.files, fp.system, kData}, &rig.Get("cmdScan"), rig.threats, rig.state);
    long files = 0;
    scanner.ScanCookies(files);
    if (files != m.cookieFiles || rig.state.counters.threatsFound != m.blockedCookies) st.SkipWithError("wrong result");
  }
  st.SetItemsProcessed(st.iterations() * m.cookieFiles);
}

std::vector<std::string> Domains(long n) {
  std::vector<std::string> out;
  for (long i = 0; i < n; ++i) out.push_back(i % 50 == 0 ? "tracker" + std::to_string(i / 50) : "site" + std::to_string(i));
  return out;
}

std::vector<std::string> List(long n) {
  std::vector<std::string> lines;
  for (long j = 0; j < n; ++j) lines.push_back((j % 4 == 0 ? "*tracker" : "tracker") + std::to_string(j) + ".com");
  lines.emplace_back();
  return lines;
}

void BM_MatchIndexed(benchmark::State& st) {
  auto domains = Domains(st.range(0));
  auto list = List(st.range(1));
  for (auto _ : st) {
    kx::BlockedCookieIndex index(list);  // built once per phase, so timed with it
    long hits = 0;
    for (const std::string& d : domains) hits += index.IsBlocked(d);
    benchmark::DoNotOptimize(hits);
  }
  st.SetItemsProcessed(st.iterations() * st.range(0));
}

void BM_MatchLiteral(benchmark::State& st) {
  auto domains = Domains(st.range(0));
  auto list = List(st.range(1));
  for (auto _ : st) {
    long hits = 0;
    for (const std::string& d : domains) hits += kx::IsBlockedCookieDomain(list, d);
    benchmark::DoNotOptimize(hits);
  }
  st.SetItemsProcessed(st.iterations() * st.range(0));
}

BENCHMARK(BM_CookiePhase)->Args({5000, 2000})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MatchIndexed)->Args({5000, 2000})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MatchLiteral)->Args({5000, 2000})->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
