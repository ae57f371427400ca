// A Quick Scan of the generated machine on the fakes, cached and literal. The fakes cost
// nothing like Windows does, so this measures the scan's own work; the figures that count
// come from the Wine run of scripts/bench-scan.sh.
#include <benchmark/benchmark.h>

#include "fakes/fake_platform.h"
#include "scan_support/scan_kit.h"
#include "scan_support/scan_machine.h"

namespace {

const std::string kData = "C:\\Users\\User\\AppData\\Roaming\\DideZuvurudARA";

void QuickScan(benchmark::State& st, bool cached) {
  kx::fakes::FakePlatform fp;
  kx::scanbench::MachineSpec spec;
  spec.definitionLines = st.range(0);
  kx::scanbench::Machine m = kx::scanbench::BuildScanMachine(fp.files, fp.registry, fp.system, kData, spec);
  for (auto _ : st) {
    kx::scantest::ScanRig rig(fp.files, fp.registry, fp.system, fp.shell, fp.clock, kData);
    rig.state.definitions = m.counts;
    rig.driver.options.cachePaths = cached;
    rig.state.yield.intervalMs = cached ? 10 : 0;
    rig.threats.LoadExclusions();
    rig.driver.StartScan();
    st.counters["threats"] = double(rig.state.counters.threatsFound);
  }
  st.SetItemsProcessed(st.iterations() * st.range(0));
}

void BM_QuickScanCached(benchmark::State& st) { QuickScan(st, true); }
void BM_QuickScanLiteral(benchmark::State& st) { QuickScan(st, false); }

BENCHMARK(BM_QuickScanCached)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_QuickScanLiteral)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
