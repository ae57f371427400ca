#include <algorithm>

#include <gtest/gtest.h>

#include "contract/contract_env.h"

namespace kx::contract {
namespace {

std::string Up(std::string s) {
  for (char& c : s) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
  return s;
}

bool Contains(const std::vector<uint32_t>& ids, uint32_t id) {
  return std::find(ids.begin(), ids.end(), id) != ids.end();
}

TEST(ProcessesContract, FindsItselfByEveryRoute) {
  auto env = MakeEnv();
  Processes& p = env->processes();
  uint32_t self = p.CurrentId();
  ASSERT_TRUE(Contains(p.EnumIds(), self));
  auto path = p.ModulePath(self);
  auto base = p.ModuleBaseName(self);
  ASSERT_TRUE(path && base);
  EXPECT_EQ(path->substr(1, 2), ":\\") << *path;
  EXPECT_EQ(Up(path->substr(path->size() - 4)), ".EXE");
  EXPECT_EQ(Up(path->substr(path->find_last_of('\\') + 1)), Up(*base));

  bool inSnapshot = false;
  for (const auto& e : p.Snapshot())
    if (e.pid == self) {
      inSnapshot = true;
      EXPECT_EQ(Up(e.exeFile), Up(*base));
    }
  EXPECT_TRUE(inSnapshot);

  auto names = p.WmiProcessNames();
  ASSERT_TRUE(names);
  bool inWmi = std::any_of(names->begin(), names->end(), [&](const std::string& n) { return Up(n) == Up(*base); });
  EXPECT_TRUE(inWmi);
}

TEST(ProcessesContract, TerminatesAChildAndKeepsItsExitCode) {
  auto env = MakeEnv();
  Processes& p = env->processes();
  uint32_t child = env->StartChild();
  ASSERT_NE(child, 0u);
  EXPECT_TRUE(Contains(p.EnumIds(), child));
  EXPECT_FALSE(p.ExitCode(child));  // still running
  EXPECT_FALSE(p.WaitForExit(child, 0));
  ASSERT_TRUE(p.Terminate(child, 7));
  EXPECT_TRUE(p.WaitForExit(child, 5000));
  EXPECT_EQ(p.ExitCode(child), 7u);
  EXPECT_FALSE(p.Terminate(child, 8));  // already gone
}

TEST(ProcessesContract, ImageNamesEveryProcessEvenOneOfTheOtherBitness) {
  auto env = MakeEnv();
  Processes& p = env->processes();
  uint32_t self = p.CurrentId();
  auto own = p.Image(self);
  ASSERT_TRUE(own);
  EXPECT_EQ(Up(own->path), Up(p.ModulePath(self).value_or("?")));
  EXPECT_EQ(Up(own->baseName), Up(p.ModuleBaseName(self).value_or("?")));

  std::string started;
  uint32_t child = env->StartChild64(started);
  ASSERT_NE(child, 0u) << "the 64-bit sleeper could not be started";
  auto image = p.Image(child);
  ASSERT_TRUE(image) << "a 64-bit process must still be examined";
  EXPECT_EQ(Up(image->path), Up(started));
  EXPECT_EQ(Up(image->baseName), Up(started.substr(started.find_last_of('\\') + 1)));
  EXPECT_TRUE(p.Terminate(child, 0));
}

TEST(ProcessesContract, AnUnknownProcessCannotBeOpened) {
  auto env = MakeEnv();
  Processes& p = env->processes();
  const uint32_t none = 0x7FFFFFF0u;
  ASSERT_FALSE(Contains(p.EnumIds(), none));
  EXPECT_FALSE(p.ModulePath(none));
  EXPECT_FALSE(p.ModuleBaseName(none));
  EXPECT_FALSE(p.Image(none));
  EXPECT_FALSE(p.Terminate(none, 0));
  EXPECT_FALSE(p.ExitCode(none));
}

}  // namespace
}  // namespace kx::contract
