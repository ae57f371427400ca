#include "scan/status_filter.h"

#include <gtest/gtest.h>

#include "scan/scan_state.h"

namespace kx {
namespace {

TEST(FilterStatusWords, RemovesWordsInsideLongerWordsIgnoringCase) {
  EXPECT_EQ(FilterStatusWords("C:\\Documents and Settings"), "C:\\Doents and Settings");
  EXPECT_EQ(FilterStatusWords("DOCUMENTS"), "DOENTS");
  EXPECT_EQ(FilterStatusWords("Scanning: \r\nc:\\windows\\system32\\a.dll"), "Scanning: \r\nc:\\windows\\system32\\a.dll");
}

TEST(FilterStatusWords, FirstWordTwiceOthersOnce) {
  size_t n = 0;
  const char* const* words = FilteredStatusWords(n);
  ASSERT_EQ(n, 41u);
  std::string first = words[0];
  // Cutting the word out of its own middle forms it again; the second pass removes that.
  std::string nested = first.substr(0, 2) + first + first.substr(2);
  EXPECT_EQ(FilterStatusWords(nested), "");
  std::string doubled = first.substr(0, 2) + first.substr(0, 2) + first + first.substr(2) + first.substr(2);
  // ...but there is no third pass: three nestings leave text behind.
  EXPECT_FALSE(FilterStatusWords(doubled).empty());
  // Every listed word goes, whatever its case.
  for (size_t i = 0; i < n; ++i) {
    std::string w = words[i];
    for (char& c : w) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    EXPECT_EQ(FilterStatusWords("[" + w + "]"), "[]") << words[i];
  }
}

TEST(Percentage, RoundsHalvesToEvenAndRefusesZeroDivisor) {
  EXPECT_EQ(Percentage(1, 8), 12);   // 12.5
  EXPECT_EQ(Percentage(3, 8), 38);   // 37.5
  EXPECT_EQ(Percentage(2, 3), 67);
  EXPECT_EQ(Percentage(0, 10), 0);
  EXPECT_EQ(Percentage(5, 0), -1);
}

}  // namespace
}  // namespace kx
