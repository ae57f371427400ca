// Decoding and reading definition lines, and placeholder expansion with and without the
// per-scan cache. The fake system answers at memory speed; under Windows each folder
// lookup costs about a quarter of a millisecond, which is what the cache saves.
#include <benchmark/benchmark.h>

#include "core/paths.h"
#include "definitions/codec.h"
#include "definitions/records.h"
#include "fakes/fake_system.h"

namespace {

constexpr int kLines = 100000;

std::string EncodedFile(const std::vector<std::string>& shapes) {
  std::string bytes;
  for (int i = 0; i < kLines; ++i)
    bytes += kx::EncodeDefinitionLine(shapes[i % shapes.size()] + std::to_string(i)) + "\r\n";
  return bytes;
}

void BM_DecodeLines(benchmark::State& state) {
  std::string bytes = EncodedFile({"btcore.dll=BonziTrack|[system]|Adware"});
  for (auto _ : state) {
    size_t total = 0;
    for (const std::string& line : kx::SplitTextLines(bytes)) total += kx::DecodeDefinitionLine(line).size();
    benchmark::DoNotOptimize(total);
  }
  state.SetItemsProcessed(state.iterations() * kLines);
}
BENCHMARK(BM_DecodeLines)->Unit(benchmark::kMillisecond);

template <typename Read>
void ReadAll(benchmark::State& state, const std::string& shape, Read read) {
  kx::fakes::FakeSystemInfo system;
  std::string bytes = EncodedFile({shape});
  for (auto _ : state) {
    kx::PlaceholderCache cache(system);  // one scan
    for (const std::string& line : kx::SplitTextLines(bytes))
      benchmark::DoNotOptimize(read(kx::DecodeDefinitionLine(line), cache));
  }
  state.SetItemsProcessed(state.iterations() * kLines);
}

void BM_ReadFileDefinitions(benchmark::State& state) {
  ReadAll(state, "btcore.dll=BonziTrack|[system]|Adware", [](const std::string& l, kx::Placeholders& p) {
    return kx::ReadFileDefinition(l, p).path.size();
  });
}
void BM_ReadRegistryDefinitions(benchmark::State& state) {
  ReadAll(state, "1^Software\\Microsoft\\Windows\\CurrentVersion\\Run\\^BonziTrack=BonziTrack|Adware",
          [](const std::string& l, kx::Placeholders& p) { return kx::ReadRegistryDefinition(l, p).valid; });
}
void BM_ReadSafetyLines(benchmark::State& state) {
  ReadAll(state, "SREG|Run|2^SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run|",
          [](const std::string& l, kx::Placeholders& p) { return kx::SafetyEntryOfLine(l, p).has_value(); });
}
BENCHMARK(BM_ReadFileDefinitions)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadRegistryDefinitions)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadSafetyLines)->Unit(benchmark::kMillisecond);

const char* kText = "[progfil]BonziTrack\\[user]x";

void BM_ExpandUncached(benchmark::State& state) {
  kx::fakes::FakeSystemInfo system;
  kx::PathExpander expander(system);
  for (auto _ : state) benchmark::DoNotOptimize(expander.Expanded(kText));
}
void BM_ExpandCached(benchmark::State& state) {
  kx::fakes::FakeSystemInfo system;
  kx::PlaceholderCache cache(system);
  for (auto _ : state) benchmark::DoNotOptimize(cache.Expanded(kText));
}
void BM_BuildCache(benchmark::State& state) {
  kx::fakes::FakeSystemInfo system;
  for (auto _ : state) benchmark::DoNotOptimize(kx::PlaceholderCache(system).SystemDriveRoot());
}
BENCHMARK(BM_ExpandUncached);
BENCHMARK(BM_ExpandCached);
BENCHMARK(BM_BuildCache);

}  // namespace

BENCHMARK_MAIN();
