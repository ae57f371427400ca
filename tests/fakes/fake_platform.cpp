#include "fakes/fake_platform.h"

namespace kx::fakes {

void FakePlatform::PlantSystemFolders() {
  for (const auto& [csidl, path] : system.folders)
    if (!path.empty()) files.AddFolder(path);
  files.AddFolder(system.WindowsDirectory());
  files.AddFolder(system.SystemDirectory());
  files.AddFolder(system.ProgramFolder());
}

}  // namespace kx::fakes
