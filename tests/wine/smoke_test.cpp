#include <windows.h>

#include <gtest/gtest.h>

// The harness itself: a mingw-built test runs under Wine and sees a Windows system.
TEST(WineHarness, RunsOnWindowsApis) {
  char dir[MAX_PATH] = {};
  ASSERT_GT(GetWindowsDirectoryA(dir, MAX_PATH), 0u);
  EXPECT_NE(std::string(dir).find(":\\"), std::string::npos);
}
