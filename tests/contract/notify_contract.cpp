#include <gtest/gtest.h>

#include "contract/contract_env.h"

namespace kx::contract {
namespace {

NotifyIcon Icon(const void* window, uint32_t id, std::string tip) {
  NotifyIcon icon;
  icon.window = window;
  icon.id = id;
  icon.tip = std::move(tip);
  return icon;
}

TEST(NotificationAreaContract, AnIconIsAddedOnceChangedWhileThereAndDeletedOnce) {
  auto env = MakeEnv();
  NotificationArea& area = env->notifyArea();
  const void* owner = env->IconOwnerWindow();
  ASSERT_NE(owner, nullptr);

  ASSERT_TRUE(area.Add(Icon(owner, 1, "Kestrix"))) << "the shell took no icon: is there a taskbar?";
  EXPECT_FALSE(area.Add(Icon(owner, 1, "Kestrix"))) << "the same owner and id twice";
  EXPECT_TRUE(area.Modify(Icon(owner, 1, "Getting latest definitions.")));
  // A tip longer than the record holds is cut, not refused.
  EXPECT_TRUE(area.Modify(Icon(owner, 1, std::string(100, 'k'))));

  EXPECT_TRUE(area.Delete(owner, 1));
  EXPECT_FALSE(area.Delete(owner, 1)) << "deleted twice";
  EXPECT_FALSE(area.Modify(Icon(owner, 1, "gone"))) << "changed after it was deleted";
  // Deleted, it can be added again: a second "Send to Tray".
  EXPECT_TRUE(area.Add(Icon(owner, 1, "Kestrix")));
  EXPECT_TRUE(area.Delete(owner, 1));
}

TEST(NotificationAreaContract, IconsAreTheirOwnersAndIdsApart) {
  auto env = MakeEnv();
  NotificationArea& area = env->notifyArea();
  const void* main = env->IconOwnerWindow();
  const void* download = env->IconOwnerWindow();
  ASSERT_TRUE(main && download && main != download);

  ASSERT_TRUE(area.Add(Icon(main, 1, "Kestrix")));
  EXPECT_TRUE(area.Add(Icon(download, 1, "Getting latest definitions.")));
  EXPECT_TRUE(area.Add(Icon(main, 2, "second")));
  EXPECT_TRUE(area.Delete(download, 1));
  // The others stay.
  EXPECT_TRUE(area.Modify(Icon(main, 1, "still here")));
  EXPECT_TRUE(area.Delete(main, 2));
  EXPECT_TRUE(area.Delete(main, 1));
  EXPECT_FALSE(area.Delete(download, 1));
}

TEST(NotificationAreaContract, TheDesktopIsTheScreenAndTheTaskbarLiesWithinIt) {
  auto env = MakeEnv();
  NotificationArea& area = env->notifyArea();
  const PixelSize desktop = area.DesktopClientSize(), screen = env->ScreenPixels();
  EXPECT_GT(desktop.width, 0);
  EXPECT_EQ(desktop.width, screen.width);
  EXPECT_EQ(desktop.height, screen.height);
  // Measured with an icon in it, as the program measures it.
  const void* owner = env->IconOwnerWindow();
  ASSERT_TRUE(area.Add(Icon(owner, 1, "Kestrix")));
  const int taskbar = area.TaskbarClientHeight();
  EXPECT_TRUE(area.Delete(owner, 1));
  // Windows' taskbar has a height; Wine's, on a screen without a tray of its own, may be
  // an empty window. Either way it is no more than a strip of the screen.
  EXPECT_GE(taskbar, 0);
  EXPECT_LT(taskbar, desktop.height / 2);
}

}  // namespace
}  // namespace kx::contract
