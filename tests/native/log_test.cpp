#include "platform/log.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "fakes/fake_files.h"
#include "fakes/fake_misc.h"

namespace kx {
namespace {

class LogTest : public ::testing::Test {
 protected:
  LogTest() { files.AddFolder("C:\\Data"); }
  fakes::FakeFileSystem files;
  fakes::FakeClock clock;
  std::vector<std::string> debug;
  Log log{clock, [this](const std::string& line) { debug.push_back(line); }};
};

TEST_F(LogTest, LinesCarryTheTimeAndReachBothSinks) {
  clock.now = DateTime{2006, 3, 16, 22, 5, 9};
  log.Write("first");
  EXPECT_EQ(debug, std::vector<std::string>{"2006-03-16 22:05:09 first\r\n"});
  log.SetFile(files, "C:\\Data\\Kestrix.log");
  log.Write("second");
  log.Write("third");
  EXPECT_EQ(debug.size(), 3u);
  EXPECT_EQ(files.ReadFile("C:\\Data\\Kestrix.log"),
            std::optional<std::string>("2006-03-16 22:05:09 second\r\n2006-03-16 22:05:09 third\r\n"));
}

TEST_F(LogTest, AFullFileRollsToOldAndTheNewOneStartsEmpty) {
  const std::string path = "C:\\Data\\Kestrix.log";
  // A file left from the last run counts toward the cap from the start.
  ASSERT_TRUE(files.WriteFile(path, std::string(80, 'x')).ok());
  ASSERT_TRUE(files.WriteFile(path + ".old", "older still").ok());
  log.SetFile(files, path, 100);
  log.Write("0123456789");  // 20 + 10 + 2 bytes: 112 would pass the cap
  EXPECT_EQ(files.ReadFile(path + ".old"), std::optional<std::string>(std::string(80, 'x')));
  const auto fresh = files.ReadFile(path);
  ASSERT_TRUE(fresh);
  EXPECT_EQ(fresh->size(), 32u);
  // Writing on keeps both files within about two caps.
  for (int i = 0; i < 50; ++i) log.Write("0123456789");
  EXPECT_LE(files.ReadFile(path)->size(), 100u);
  EXPECT_LE(files.ReadFile(path + ".old")->size(), 100u);
  EXPECT_EQ(log.lines(), 51);
  // An old file held open elsewhere: the log starts afresh rather than grow past the cap.
  files.SetInUse(path + ".old");
  for (int i = 0; i < 10; ++i) log.Write("0123456789");
  EXPECT_LE(files.ReadFile(path)->size(), 100u);
}

TEST_F(LogTest, GuardedStepLogsWhatItCatchesUnderTheStepName) {
  int after = 0;
  EXPECT_FALSE(GuardedStep(&log, "CountDefinitions", [] { throw std::runtime_error("bad file"); }));
  EXPECT_FALSE(GuardedStep(&log, "Other", [] { throw 42; }));
  EXPECT_TRUE(GuardedStep(&log, "Next", [&] { ++after; }));
  EXPECT_TRUE(GuardedStep(nullptr, "NoLog", [&] { ++after; }));
  EXPECT_FALSE(GuardedStep(nullptr, "NoLog", [] { throw 1; }));
  EXPECT_EQ(after, 2);
  ASSERT_EQ(debug.size(), 2u);
  EXPECT_NE(debug[0].find("CountDefinitions: bad file"), std::string::npos) << debug[0];
  EXPECT_NE(debug[1].find("Other: unknown exception"), std::string::npos) << debug[1];
}

}  // namespace
}  // namespace kx
