// The memory phase over the fakes: 10,000 executable definition lines against 128
// processes, as one memory-shield check runs it.
#include <benchmark/benchmark.h>

#include "definitions/codec.h"
#include "fakes/fake_platform.h"
#include "scan/process_scanner.h"
#include "scan_support/scan_kit.h"

namespace {

using namespace kx;

void BM_MemoryShieldCheck(benchmark::State& st) {
  fakes::FakePlatform fp;
  const std::string data = "C:\\Users\\User\\AppData\\Roaming\\DideZuvurudARA";
  fp.files.AddFolder(data);
  std::string defs;
  for (long i = 0; i < st.range(0); ++i)
    defs += EncodeDefinitionLine("prog" + std::to_string(i) + ".exe=Threat|[progfil]Vendor" + std::to_string(i % 500) +
                                 "\\") +
            "\r\n";
  fp.files.AddFile(data + "\\ExeDefinition.dat", defs);
  for (int i = 0; i < 128; ++i) fp.processes.Add("C:\\Tools\\tool" + std::to_string(i) + ".exe");
  scantest::ScanRig rig(fp.files, fp.registry, fp.system, fp.shell, fp.clock, data);
  ProcessScanner scanner(ProcessScanServices{fp.processes, fp.system, fp.files, rig.backend, scantest::KeyAsMessage,
                                             "Kestrix", data},
                         ProcessScanControls::FromForm(rig.form), rig.threats, rig.state);
  for (auto _ : st) scanner.ScanMemory();
}
BENCHMARK(BM_MemoryShieldCheck)->Arg(10000)->Unit(benchmark::kMillisecond);

}  // namespace
BENCHMARK_MAIN();
