// An update package from the server: its signature record checked, then merged into a data
// folder over the fakes, and the same merge done step by step: the two must agree.
#include <cstddef>
#include <cstdint>
#include <string>

#include "definitions/update_merge.h"
#include "definitions/update_package.h"
#include "fakes/fake_platform.h"
#include "reference/literal_merge.h"

namespace {

struct Host : kx::UpdateMergeHost {
  std::vector<std::string> statuses;
  void SetStatus(const std::string& text) override { statuses.push_back(text); }
  void PumpMessages() override {}
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 8192) return 0;  // the step-by-step merge is quadratic
  std::string_view in(reinterpret_cast<const char*>(data), size);
  // Up to the first NUL: the definition files' bytes; after it: the package.
  size_t cut = in.find('\0');
  std::string_view files = cut == std::string_view::npos ? std::string_view() : in.substr(0, cut);
  std::string_view package = cut == std::string_view::npos ? in : in.substr(cut + 1);

  kx::fakes::FakeSignatures signatures;
  const kx::TrustedKeyList keys = {{"0123456789abcdef", std::string(384, '\x7f'), 65537}};
  kx::PackageCheck check = kx::VerifyUpdatePackage(package, "3/16/2006", kx::DateTime{2006, 3, 16}, keys, signatures);
  if (check.ok) __builtin_trap();  // nothing is signed by that key
  if (kx::ReadDateAnswer(package, 0, keys, signatures).confirmed) __builtin_trap();

  const std::string folder = "C:\\Data";
  kx::fakes::FakePlatform a, b;
  const char* names[] = {"FileDefinition.dat", "RegistryDefinition.dat", "Safety.dat"};
  for (auto* p : {&a, &b}) {
    p->files.AddFolder(folder);
    for (const char* name : names) p->files.AddFile(folder + "\\" + name, std::string(files));
  }
  Host hostA, hostB;
  int32_t countA = kx::UpdateMerge(a.files, folder, hostA).MergeUpdatePackage(package).changes;
  int32_t countB = kx::reference::LiteralMergeUpdatePackage(b.files, folder, hostB, package);
  if (countA != countB || hostA.statuses != hostB.statuses) __builtin_trap();
  for (kx::DefinitionFile f : kx::kMergeOrder) {
    std::string path = folder + "\\" + std::string(kx::DefinitionFileName(f));
    if (a.files.ReadFile(path) != b.files.ReadFile(path)) __builtin_trap();
  }
  return 0;
}
