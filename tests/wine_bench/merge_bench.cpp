// The update merge under Wine on the real file system: a package of R records (half of them
// withdrawals) into six definition files of N lines in all, timed, and the step-by-step merge
// on the same input (capped: it is quadratic), with the outputs compared byte for byte.
//   merge_bench.exe [lines=100000] [records=50000] [--literal-lines L --literal-records R]
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "bench_support.h"
#include "definitions/update_merge.h"
#include "platform/win32/services_win32.h"
#include "reference/literal_merge.h"
#include "reference/merge_workload.h"

namespace {

struct PumpingHost : kx::UpdateMergeHost {
  int statuses = 0;
  std::string last;
  void SetStatus(const std::string& text) override { ++statuses; last = text; }
  void PumpMessages() override { kx::bench::PumpMessages(); }
};

std::string Folder(kx::FileSystem& files, const std::string& root, const std::string& name,
                   const kx::reference::MergeWorkload& w) {
  std::string folder = root + "\\" + name;
  files.DeleteFolder(folder, true);
  files.CreateFolder(folder);
  for (size_t i = 0; i < 6; ++i)
    files.WriteFile(folder + "\\" + std::string(kx::DefinitionFileName(kx::kMergeOrder[i])), w.files[i]);
  return folder;
}

// Runs both merges on a workload; returns false when their outputs differ.
bool Run(kx::FileSystem& files, const std::string& root, int lines, int records, bool literal) {
  kx::reference::MergeWorkload w = kx::reference::MakeMergeWorkload(lines, records);
  std::printf("%d lines, %d records (package %zu bytes)\n", lines, records, w.package.size());
  std::string fast = Folder(files, root, "fast", w);
  PumpingHost host;
  auto t0 = std::chrono::steady_clock::now();
  int32_t n = kx::UpdateMerge(files, fast, host).MergeUpdatePackage(w.package).changes;
  std::printf("  merge:        %.3f s, %d changes, %d status texts\n", kx::bench::Seconds(t0), n, host.statuses);
  if (!literal) return true;
  std::string slow = Folder(files, root, "literal", w);
  PumpingHost slowHost;
  t0 = std::chrono::steady_clock::now();
  int32_t m = kx::reference::LiteralMergeUpdatePackage(files, slow, slowHost, w.package);
  std::printf("  step by step: %.3f s, %d changes, %d status texts\n", kx::bench::Seconds(t0), m, slowHost.statuses);
  bool same = n == m && host.statuses == slowHost.statuses;
  for (kx::DefinitionFile f : kx::kMergeOrder) {
    std::string name(kx::DefinitionFileName(f));
    same = same && files.ReadFile(fast + "\\" + name) == files.ReadFile(slow + "\\" + name);
  }
  std::printf("  outputs %s\n", same ? "byte-identical" : "DIFFER");
  return same;
}

}  // namespace

int main(int argc, char** argv) {
  int lines = 100000, records = 50000, literalLines = 20000, literalRecords = 2000;
  int positional = 0;
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--literal-lines") && i + 1 < argc) literalLines = std::atoi(argv[++i]);
    else if (!std::strcmp(argv[i], "--literal-records") && i + 1 < argc) literalRecords = std::atoi(argv[++i]);
    else if (positional++ == 0) lines = std::atoi(argv[i]);
    else records = std::atoi(argv[i]);
  }
  kx::win32::Win32FileSystem files;
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  std::string root = std::string(temp) + "kx_merge_bench";
  files.CreateFolder(root);
  bool ok = true;
  std::printf("== full size, merge only ==\n");
  Run(files, root, lines, records, false);
  std::printf("== capped size, both merges ==\n");
  ok = Run(files, root, literalLines, literalRecords, true);
  files.DeleteFolder(root, true);
  return ok ? 0 : 1;
}
