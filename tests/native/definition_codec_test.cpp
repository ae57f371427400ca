#include <gtest/gtest.h>

#include "definitions/codec.h"

namespace kx {
namespace {

TEST(DefinitionLineCodec, ShiftsBy64Modulo255) {
  EXPECT_EQ(EncodeDefinitionLine("A"), "\x81");
  EXPECT_EQ(EncodeDefinitionLine("\xC8"), "\t");  // 200 lands on TAB
  EXPECT_EQ(EncodeDefinitionLine(std::string(1, '\0')), "@");
  EXPECT_EQ(EncodeDefinitionLine("\xFF"), "@");  // 255 encodes like 0
  EXPECT_EQ(DecodeDefinitionLine("@"), std::string(1, '\0'));
  EXPECT_EQ(EncodeDefinitionLine("\xC0"), "\x01");
  EXPECT_EQ(DecodeDefinitionLine("\x01"), "\xC0");
  EXPECT_EQ(EncodeDefinitionLine("\xC9\xCC"), "\n\r");
}

TEST(DefinitionLineCodec, RoundTripsEveryStorableCode) {
  std::string all;
  for (int c = 0; c <= 254; ++c)
    if (c != 201 && c != 204) all += static_cast<char>(c);
  std::string encoded = EncodeDefinitionLine(all);
  ASSERT_EQ(encoded.size(), all.size());
  EXPECT_EQ(encoded.find_first_of("\r\n"), std::string::npos);
  EXPECT_EQ(DecodeDefinitionLine(encoded), all);
}

TEST(TextLines, AcceptsEveryLineEnd) {
  using L = std::vector<std::string>;
  EXPECT_EQ(SplitTextLines("a\r\nb\r\n"), (L{"a", "b"}));
  EXPECT_EQ(SplitTextLines("a\rb"), (L{"a", "b"}));
  EXPECT_EQ(SplitTextLines("a\nb"), (L{"a", "b"}));
  EXPECT_EQ(SplitTextLines("a\r\n\r\nb"), (L{"a", "", "b"}));
  EXPECT_EQ(SplitTextLines("a\n\rb"), (L{"a", "", "b"}));
  EXPECT_EQ(SplitTextLines("\r\n"), (L{""}));
  EXPECT_EQ(SplitTextLines(""), L{});
  EXPECT_EQ(SplitTextLines("last"), (L{"last"}));
  EXPECT_EQ(SplitTextLines(std::string("a\0b\r\n", 5)), (L{std::string("a\0b", 3)}));
}

}  // namespace
}  // namespace kx
