#include "core/version_info.h"

#include <gtest/gtest.h>

#include "localization/languages.h"

namespace kx {
namespace {

// Builds VS_VERSIONINFO nodes the way resource compilers lay them out: every node starts
// on a 4-byte boundary, key and value padded to 4.
std::string U16(const std::string& ascii) {
  std::string out;
  for (unsigned char c : ascii) out += {static_cast<char>(c), '\0'};
  return out + std::string(2, '\0');
}

void Pad(std::string& s) {
  while (s.size() % 4) s += '\0';
}

std::string Node(const std::string& key, uint16_t type, const std::string& value, uint16_t valueLength,
                 const std::vector<std::string>& children) {
  std::string n(6, '\0');
  n += U16(key);
  Pad(n);
  n += value;
  for (const auto& c : children) {
    Pad(n);
    n += c;
  }
  n[0] = static_cast<char>(n.size() & 0xFF);
  n[1] = static_cast<char>(n.size() >> 8);
  n[2] = static_cast<char>(valueLength & 0xFF);
  n[3] = static_cast<char>(valueLength >> 8);
  n[4] = static_cast<char>(type);
  return n;
}

std::string Str(const std::string& name, const std::string& value) {
  return Node(name, 1, U16(value), static_cast<uint16_t>(value.size() + 1), {});
}

std::string Fixed(uint16_t major, uint16_t minor, uint16_t build, uint16_t rev) {
  std::string f(52, '\0');
  auto put = [&](size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) f[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
  };
  put(0, 0xFEEF04BD);
  put(4, 0x10000);
  put(8, (uint32_t{major} << 16) | minor);
  put(12, (uint32_t{build} << 16) | rev);
  put(16, (uint32_t{major} << 16) | minor);
  put(20, (uint32_t{build} << 16) | rev);
  return f;
}

std::string KestrixResource() {
  return Node("VS_VERSION_INFO", 0, Fixed(1, 2, 3, 4), 52,
              {Node("StringFileInfo", 1, "", 0,
                    {Node("040904b0", 1, "", 0,
                          {Str("Comments", "http://www.kestrix.example"), Str("CompanyName", "Kestrix Labs"),
                           Str("ProductName", "Kestrix"), Str("Empty", "")}),
                     Node("040704b0", 1, "", 0,
                          {Str("CompanyName", "Andere GmbH"), Str("LegalTrademarks", "TM")})}),
               Node("VarFileInfo", 1, "", 0, {Node("Translation", 0, std::string("\x09\x04\xb0\x04", 4), 4, {})})});
}

TEST(VersionInfo, ReadsFixedVersionAndStrings) {
  auto info = ParseVersionInfo(KestrixResource());
  ASSERT_TRUE(info);
  EXPECT_TRUE(info->hasFixed);
  EXPECT_EQ(info->fileMajor, 1);
  EXPECT_EQ(info->fileMinor, 2);
  EXPECT_EQ(info->fileBuild, 3);
  EXPECT_EQ(info->fileRevision, 4);
  EXPECT_EQ(info->productMajor, 1);
  EXPECT_EQ(info->String("productname"), "Kestrix");
  EXPECT_EQ(info->String("Comments"), "http://www.kestrix.example");
  // The first table wins; a later one only adds names.
  EXPECT_EQ(info->String("CompanyName"), "Kestrix Labs");
  EXPECT_EQ(info->String("LegalTrademarks"), "TM");
  EXPECT_EQ(info->String("Empty"), "");
  EXPECT_EQ(info->String("Translation"), std::nullopt);  // binary VarFileInfo, not a string

  Branding b = BrandingFromVersionInfo(*info, Branding{"P", "C", "W", 21});
  EXPECT_EQ(b.productName, "Kestrix");
  EXPECT_EQ(b.companyName, "Kestrix Labs");
  EXPECT_EQ(b.website, "http://www.kestrix.example");
  EXPECT_EQ(b.productNumber, 21);
}

TEST(VersionInfo, MissingOrEmptyValuesKeepTheDefaults) {
  auto info = ParseVersionInfo(Node("VS_VERSION_INFO", 0, "", 0,
                                    {Node("StringFileInfo", 1, "", 0,
                                          {Node("040904b0", 1, "", 0, {Str("ProductName", "")})})}));
  ASSERT_TRUE(info);
  EXPECT_FALSE(info->hasFixed);
  Branding b = BrandingFromVersionInfo(*info, Branding{"P", "C", "W", 21});
  EXPECT_EQ(b.productName, "P");
  EXPECT_EQ(b.companyName, "C");
  EXPECT_EQ(b.website, "W");
}

TEST(VersionInfo, ValueLengthsInBytesOrZeroStillRead) {
  // Some compilers count text values in bytes, or leave the count at 0.
  std::string bytes = Node("Comments", 1, U16("http://x"), 18, {});
  std::string zero = Node("CompanyName", 1, U16("Zero Ltd"), 0, {});
  auto info = ParseVersionInfo(Node("VS_VERSION_INFO", 0, "", 0,
                                    {Node("StringFileInfo", 1, "", 0, {Node("040904b0", 1, "", 0, {bytes, zero})})}));
  ASSERT_TRUE(info);
  EXPECT_EQ(info->String("Comments"), "http://x");
  EXPECT_EQ(info->String("CompanyName"), "Zero Ltd");
}

TEST(VersionInfo, DamagedBlocksGiveWhatIsThereAndNeverMore) {
  EXPECT_FALSE(ParseVersionInfo(""));
  EXPECT_FALSE(ParseVersionInfo(std::string(5, '\0')));
  EXPECT_FALSE(ParseVersionInfo(Node("NOT_VERSION_INFO", 0, "", 0, {})));
  const std::string good = KestrixResource();
  // Every truncation: the root's length then overruns the bytes, so nothing is read.
  for (size_t n = 0; n < good.size(); ++n) EXPECT_FALSE(ParseVersionInfo(good.substr(0, n))) << n;
  // A child whose length runs past its parent ends the walk of that parent.
  std::string bad = good;
  const size_t sfi = bad.find(U16("StringFileInfo")) - 6;
  bad[sfi] = static_cast<char>(0xFF);
  bad[sfi + 1] = static_cast<char>(0x7F);
  auto info = ParseVersionInfo(bad);
  ASSERT_TRUE(info);
  EXPECT_TRUE(info->hasFixed);
  EXPECT_TRUE(info->strings.empty());
  // A zero-length child cannot loop forever.
  bad = good;
  bad[sfi] = bad[sfi + 1] = '\0';
  ASSERT_TRUE(ParseVersionInfo(bad));
  // A wrong signature leaves the fixed part unread but the strings still count.
  bad = good;
  bad[bad.find(std::string("\xBD\x04\xEF\xFE", 4))] = 0;
  info = ParseVersionInfo(bad);
  ASSERT_TRUE(info);
  EXPECT_FALSE(info->hasFixed);
  EXPECT_EQ(info->String("ProductName"), "Kestrix");
}

TEST(VersionInfo, NonAsciiValuesBecomeAnsi) {
  std::string value = {'\xE9', '\x00', 'c', '\x00', '\x10', '\x04', '\x00', '\x00'};  // é, c, Cyrillic
  auto info = ParseVersionInfo(Node("VS_VERSION_INFO", 0, "", 0,
      {Node("StringFileInfo", 1, "", 0, {Node("040904b0", 1, "", 0, {Node("CompanyName", 1, value, 4, {})})})}));
  ASSERT_TRUE(info);
  EXPECT_EQ(info->String("CompanyName"), "\xE9" "c?");
}

}  // namespace
}  // namespace kx
