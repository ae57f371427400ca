// Restoring what one removal run took: 1,000 files back to their folders, and listing the
// quarantine that holds them, over the in-memory file system (the engine's own cost; the
// system's file calls come on top under Windows).
#include <stdexcept>
#include <benchmark/benchmark.h>

#include "fakes/fake_platform.h"
#include "removal/quarantine.h"
#include "removal/restore.h"

namespace {

const std::string kData = "C:\\Data";

struct Machine {
  kx::fakes::FakePlatform fp;
  kx::Quarantine q{kx::QuarantineServices{fp.files, fp.com, fp.clock, kData, nullptr}};
  kx::Restore restore{kx::RestoreServices{fp.files, fp.registry, fp.clock, kData,
                                          [](const std::string&) { return true; }, nullptr}};

  explicit Machine(int files) {
    fp.files.AddFolder(kData);
    q.CreateFolder();
    q.BeginRun();
    q.logging = true;
    for (int i = 0; i < files; ++i) {
      const std::string path =
          "C:\\Program Files\\Toolbar" + std::to_string(i % 50) + "\\part" + std::to_string(i) + ".dll";
      fp.files.AddFile(path, std::string(4096, static_cast<char>('a' + i % 26)));
      if (!q.QuarantineItem(path)) throw std::runtime_error("bench machine: " + path + " not quarantined");
    }
    q.EndRun();
  }
};

void BM_RestoreFiles(benchmark::State& state) {
  Machine m(static_cast<int>(state.range(0)));
  const auto runs = m.restore.List();
  std::vector<const kx::RestoreItem*> items;
  for (const auto& r : runs)
    for (const auto& i : r.items) items.push_back(&i);
  for (auto _ : state) {
    auto outcomes = m.restore.RestoreItems(items, false);
    benchmark::DoNotOptimize(outcomes);
    state.PauseTiming();
    bool cleared = true;
    for (const auto* i : items) cleared = m.fp.files.DeleteFile(i->original).ok() && cleared;
    state.ResumeTiming();
    // An original left in place would make the next pass time a different restore.
    if (!cleared) {
      state.SkipWithError("restored originals not cleared");
      break;
    }
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(items.size()));
}
BENCHMARK(BM_RestoreFiles)->Arg(1000)->Unit(benchmark::kMillisecond);

void BM_ListQuarantine(benchmark::State& state) {
  Machine m(static_cast<int>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(m.restore.List());
}
BENCHMARK(BM_ListQuarantine)->Arg(1000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
