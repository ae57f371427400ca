#include "platform/utf8.h"

#include <gtest/gtest.h>

namespace kx {
namespace {

TEST(Utf8, EncodesEachLengthAndRefusesNonCharacters) {
  auto enc = [](uint32_t cp) {
    std::string s;
    AppendUtf8(s, cp);
    return s;
  };
  EXPECT_EQ(enc('A'), "A");
  EXPECT_EQ(enc(0xE9), "\xC3\xA9");               // é
  EXPECT_EQ(enc(0x20AC), "\xE2\x82\xAC");         // €
  EXPECT_EQ(enc(0xFFFD), "\xEF\xBF\xBD");
  EXPECT_EQ(enc(0x1F600), "\xF0\x9F\x98\x80");    // outside the BMP
  EXPECT_EQ(enc(0xD800), "?");                    // a lone surrogate
  EXPECT_EQ(enc(0x110000), "?");
}

}  // namespace
}  // namespace kx
