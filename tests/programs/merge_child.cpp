// Merges a package into a data folder and stops dead at a chosen point, for the test that
// kills it there: "replaced K" after the K-th file replaced, "written K" after the K-th
// scratch copy is written but before it replaces its file, "pump K" at the K-th message
// loop turn. At the point it creates "<folder>\stopped" and waits to be killed.
//   kestrix_merge_child <folder> <package file> <replaced|written|pump> <K>
#include <windows.h>

#include <cstdlib>
#include <string>

#include "definitions/update_merge.h"
#include "platform/win32/services_win32.h"

namespace {

std::string g_folder;

[[noreturn]] void StopHere() {
  HANDLE h = CreateFileA((g_folder + "\\stopped").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  CloseHandle(h);
  for (;;) Sleep(1000);
}

using kx::IoStatus;

struct StoppingFiles final : kx::FileSystem {
  kx::win32::Win32FileSystem real;
  int stopAtWrite = -1, writes = 0;
  IoStatus WriteFileFlushed(const std::string& path, const std::string& bytes) override {
    IoStatus r = real.WriteFileFlushed(path, bytes);
    if (++writes == stopAtWrite) StopHere();
    return r;
  }
  std::vector<kx::FileEntry> Find(const std::string& p) override { return real.Find(p); }
  std::vector<std::string> ListPlainFiles(const std::string& p) override { return real.ListPlainFiles(p); }
  std::optional<uint32_t> Attributes(const std::string& p) override { return real.Attributes(p); }
  IoStatus SetAttributes(const std::string& p, uint32_t a) override { return real.SetAttributes(p, a); }
  bool FolderExists(const std::string& p) override { return real.FolderExists(p); }
  IoStatus CreateFolder(const std::string& p) override { return real.CreateFolder(p); }
  IoStatus CopyFile(const std::string& f, const std::string& t, bool x) override { return real.CopyFile(f, t, x); }
  IoStatus DeleteFile(const std::string& p) override { return real.DeleteFile(p); }
  using FileSystem::MoveFile;
  IoStatus MoveFile(const std::string& f, const std::string& t, bool x) override { return real.MoveFile(f, t, x); }
  IoStatus CopyFolder(const std::string& f, const std::string& t, bool o) override { return real.CopyFolder(f, t, o); }
  IoStatus DeleteFolder(const std::string& p, bool f) override { return real.DeleteFolder(p, f); }
  std::optional<std::string> ReadFile(const std::string& p) override { return real.ReadFile(p); }
  IoStatus WriteFile(const std::string& p, const std::string& b) override { return real.WriteFile(p, b); }
  IoStatus AppendFile(const std::string& p, const std::string& b) override { return real.AppendFile(p, b); }
};

struct Host final : kx::UpdateMergeHost {
  int stopAtReplaced = -1, stopAtPump = -1, replaced = 0, pumps = 0;
  void SetStatus(const std::string&) override {}
  void PumpMessages() override {
    if (++pumps == stopAtPump) StopHere();
  }
  void FileReplaced(kx::DefinitionFile) override {
    if (++replaced == stopAtReplaced) StopHere();
  }
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 5) return 2;
  g_folder = argv[1];
  StoppingFiles files;
  Host host;
  std::string mode = argv[3];
  int k = std::atoi(argv[4]);
  if (mode == "replaced") host.stopAtReplaced = k;
  else if (mode == "written") files.stopAtWrite = k;
  else if (mode == "pump") host.stopAtPump = k;
  else return 2;
  std::optional<std::string> package = files.ReadFile(argv[2]);
  if (!package) return 3;
  kx::UpdateMerge(files, g_folder, host).MergeUpdatePackage(*package);
  return 0;
}
