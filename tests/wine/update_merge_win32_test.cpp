// A merge killed at any point leaves every definition file whole, old or new, on the real
// file system; what the next merge finds first puts the whole set back as it was, and the
// merge then runs through.
#include <windows.h>

#include <gtest/gtest.h>

#include <array>

#include "definitions/update_merge.h"
#include "platform/win32/services_win32.h"
#include "reference/literal_merge.h"
#include "reference/merge_workload.h"

namespace kx {
namespace {

struct QuietHost : UpdateMergeHost {
  void SetStatus(const std::string&) override {}
  void PumpMessages() override {}
};

std::string ChildPath() {
  char exe[MAX_PATH];
  GetModuleFileNameA(nullptr, exe, MAX_PATH);
  std::string path = exe;
  return path.substr(0, path.find_last_of('\\') + 1) + "kestrix_merge_child.exe";
}

class MergeKillTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    root = std::string(temp) + "kx_merge_kill_" + std::to_string(GetCurrentProcessId());
    (void)files.DeleteFolder(root, true);  // it may not be there yet
    ASSERT_TRUE(files.CreateFolder(root));
    // 3,000 lines and 400 records: rewrites long enough to stop inside one.
    work = reference::MakeMergeWorkload(3000, 400);
    // Safety.dat is left out: the merge must create it.
    ASSERT_TRUE(files.WriteFile(root + "\\package.txt", work.package));
    std::string expected = Folder("expected");
    QuietHost host;
    ASSERT_GT(reference::LiteralMergeUpdatePackage(files, expected, host, work.package), 0);
    for (size_t i = 0; i < 6; ++i) {
      std::string name(DefinitionFileName(kMergeOrder[i]));
      before[i] = i < 5 ? std::optional<std::string>(work.files[i]) : std::nullopt;
      after[i] = files.ReadFile(expected + "\\" + name).value();
    }
  }
  void TearDown() override { (void)files.DeleteFolder(root, true); }  // clean-up

  std::string Folder(const std::string& name) {
    std::string folder = root + "\\" + name;
    EXPECT_TRUE(files.CreateFolder(folder));
    for (size_t i = 0; i < 5; ++i)
      EXPECT_TRUE(files.WriteFile(folder + "\\" + std::string(DefinitionFileName(kMergeOrder[i])), work.files[i]));
    return folder;
  }

  // Runs the child until it stops at the point, then kills it. False when it never got there.
  bool KillAt(const std::string& folder, const std::string& mode, int k) {
    std::string cmd = "\"" + ChildPath() + "\" \"" + folder + "\" \"" + root + "\\package.txt\" " + mode + " " +
                      std::to_string(k);
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return false;
    bool stopped = false;
    for (int i = 0; i < 600 && !stopped; ++i) {
      stopped = files.Attributes(folder + "\\stopped").has_value();
      if (!stopped && WaitForSingleObject(pi.hProcess, 50) == WAIT_OBJECT_0) break;
    }
    TerminateProcess(pi.hProcess, 9);
    WaitForSingleObject(pi.hProcess, 10000);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    (void)files.DeleteFile(folder + "\\stopped");  // it may not be there
    return stopped;
  }

  win32::Win32FileSystem files;
  std::string root;
  reference::MergeWorkload work;
  std::array<std::optional<std::string>, 6> before, after;
};

TEST_F(MergeKillTest, EveryFileIsWholeWhereverTheMergeDiesAndTheSetComesBackWhole) {
  struct Point { const char* mode; int k; };
  // Inside rewrites, while the new contents are written (1-6), the old ones kept (7-11) and
  // the journal written (12), and between the renames.
  const Point points[] = {{"pump", 2}, {"pump", 20}, {"written", 1}, {"written", 6}, {"written", 9},
                          {"written", 12}, {"replaced", 1}, {"replaced", 3}, {"replaced", 6}};
  int n = 0;
  for (const Point& p : points) {
    SCOPED_TRACE(std::string(p.mode) + " " + std::to_string(p.k));
    std::string folder = Folder("run" + std::to_string(++n));
    ASSERT_TRUE(KillAt(folder, p.mode, p.k)) << "the child never reached the point";
    int replaced = 0;
    for (size_t i = 0; i < 6; ++i) {
      std::optional<std::string> now = files.ReadFile(folder + "\\" + std::string(DefinitionFileName(kMergeOrder[i])));
      EXPECT_TRUE(now == before[i] || now == after[i]) << DefinitionFileName(kMergeOrder[i]);
      replaced += now == after[i] && now != before[i];
    }
    if (std::string(p.mode) == "replaced") EXPECT_EQ(replaced, p.k);

    QuietHost host;
    UpdateMerge merge(files, folder, host);
    merge.RecoverInterrupted();
    for (size_t i = 0; i < 6; ++i) {
      const DefinitionFile f = kMergeOrder[i];
      EXPECT_EQ(files.ReadFile(folder + "\\" + std::string(DefinitionFileName(f))), before[i]) << DefinitionFileName(f);
      EXPECT_FALSE(files.Attributes(merge.ScratchPathOf(f)).has_value());
      EXPECT_FALSE(files.Attributes(merge.BackupPathOf(f)).has_value());
    }
    EXPECT_FALSE(files.Attributes(merge.JournalPath()).has_value());

    std::optional<std::string> package = files.ReadFile(root + "\\package.txt");
    ASSERT_TRUE(package);
    EXPECT_TRUE(merge.MergeUpdatePackage(*package).ok);
    for (size_t i = 0; i < 6; ++i)
      EXPECT_EQ(files.ReadFile(folder + "\\" + std::string(DefinitionFileName(kMergeOrder[i]))), after[i]);
  }
}

}  // namespace
}  // namespace kx
