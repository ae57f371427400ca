#include "platform/datetime.h"

#include <gtest/gtest.h>

namespace kx {
namespace {

TEST(UsDateTime, FormatsLikeTheUnitedStatesGeneralFormat) {
  EXPECT_EQ(FormatUsDateTime({2006, 3, 16, 10, 15, 2}), "3/16/2006 10:15:02 AM");
  EXPECT_EQ(FormatUsDateTime({2006, 3, 16, 0, 0, 0}), "3/16/2006");  // midnight: date only
  EXPECT_EQ(FormatUsDateTime({2006, 12, 1, 12, 0, 0}), "12/1/2006 12:00:00 PM");
  EXPECT_EQ(FormatUsDateTime({2006, 12, 1, 0, 0, 1}), "12/1/2006 12:00:01 AM");
  EXPECT_EQ(FormatUsDateTime({2006, 12, 1, 23, 59, 59}), "12/1/2006 11:59:59 PM");
}

TEST(UsDateTime, ParsesWhatItWritesAndRejectsNonsense) {
  for (DateTime t : {DateTime{2006, 3, 16, 10, 15, 2}, DateTime{2024, 2, 29, 0, 0, 0},
                     DateTime{1999, 12, 31, 12, 30, 0}, DateTime{2000, 1, 1, 0, 0, 5}}) {
    auto back = ParseUsDateTime(FormatUsDateTime(t));
    ASSERT_TRUE(back) << FormatUsDateTime(t);
    EXPECT_EQ(*back, t);
  }
  EXPECT_EQ(ParseUsDateTime("3/16/2006 12:00:00 AM"), (DateTime{2006, 3, 16, 0, 0, 0}));
  EXPECT_EQ(ParseUsDateTime("10:30 PM"), (DateTime{1899, 12, 30, 22, 30, 0}));
  for (const char* bad : {"", "2/30/2006", "13/1/2006", "3/16", "3/16/2006 25:00:00", "abc",
                          "3/16/2006 10:00:00 AM x", "0:00 PM"})
    EXPECT_FALSE(ParseUsDateTime(bad)) << bad;
}

TEST(UsDateTime, SerialArithmeticAndWeekdays) {
  const DateTime t{2006, 3, 16, 10, 15, 2};
  EXPECT_EQ(DateTime::FromSerialSeconds(t.SerialSeconds()), t);
  EXPECT_EQ(DateTime::FromSerialSeconds(t.SerialSeconds() + 86400 * 16).day, 1);  // into April
  EXPECT_EQ(DateTime{}.SerialSeconds(), 0);
  EXPECT_EQ((DateTime{2006, 3, 16}).DayOfWeek(), 5);  // a Thursday
  EXPECT_EQ((DateTime{2026, 12, 6}).DayOfWeek(), 1);  // a Sunday
  EXPECT_LT((DateTime{2006, 3, 16}), (DateTime{2006, 3, 16, 0, 0, 1}));
}

}  // namespace
}  // namespace kx
