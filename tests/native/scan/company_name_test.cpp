#include "scan/company_name.h"

#include <gtest/gtest.h>

namespace kx {
namespace {

std::string Wide(const std::string& s) {
  std::string out;
  for (char c : s) {
    out.push_back(c);
    out.push_back('\0');
  }
  return out;
}

void Align4(std::string& b) {
  while (b.size() % 4) b.push_back('\0');
}

// One String entry of a StringTable as the resource compiler lays it out: length, value
// length, type 1, the key, padding, the value.
void AddString(std::string& b, const std::string& key, const std::string& value) {
  Align4(b);
  b += std::string("\x40\0", 2);  // length (not read by the search)
  b.push_back(static_cast<char>(value.empty() ? 0 : value.size() + 1));
  b.push_back('\0');
  b += std::string("\x01\0", 2);
  b += Wide(key) + std::string(2, '\0');
  Align4(b);
  if (!value.empty()) b += Wide(value) + std::string(2, '\0');
}

std::string WideResource(const std::string& company, bool withCompany = true) {
  std::string b = "MZ\x90";
  b += std::string(61, '\0');
  b += std::string("\x01\0", 2) + Wide("StringFileInfo") + std::string(2, '\0');
  Align4(b);
  b += std::string(8, '\x11') + Wide("040904b0") + std::string(2, '\0');
  if (withCompany) AddString(b, "CompanyName", company);
  AddString(b, "FileDescription", "Some Tool");
  AddString(b, "FileVersion", "1.0");
  b += std::string(16, '\0');
  return b;
}

TEST(CompanyName, WideVersionResource) {
  EXPECT_EQ(GetCompanyName(WideResource("Microsoft Corporation")), "Microsoft Corporation");
  EXPECT_EQ(GetCompanyName(WideResource("Kestrix Labs")), "Kestrix Labs");
  // An empty company value must not pass off the following key or its value as the company.
  EXPECT_EQ(GetCompanyName(WideResource("")), "");
  EXPECT_EQ(GetCompanyName(WideResource("x", false)), "");
}

TEST(CompanyName, PlainTextForms) {
  std::string plain = std::string("junk StringFileInfo ") + "CompanyName" + std::string(1, '\0') + "Acme Inc" +
                      std::string(3, '\0') + "FileDescription";
  EXPECT_EQ(GetCompanyName(plain), "Acme Inc");
  // Without any StringFileInfo the search starts at the beginning.
  std::string bare = std::string("CompanyName") + '\0' + "Acme" + std::string(3, '\0');
  EXPECT_EQ(GetCompanyName(bare), "Acme");
  // Plain "StringFileInfo" but only a wide company key: the wide search from there.
  std::string mixed = "StringFileInfo" + std::string(2, '\0');
  mixed += std::string("\x01\0", 2) + Wide("CompanyName") + std::string(2, '\0') + Wide("Mixed Co") +
           std::string(4, '\0');
  EXPECT_EQ(GetCompanyName(mixed), "Mixed Co");
}

TEST(CompanyName, EmptyPlainValueEndsAtFirstControlByte) {
  // The value is cut one character before the first control byte after its start.
  std::string b = std::string("CompanyName") + '\0' + "Ab\x05" + "FileDescription" + std::string(3, '\0');
  EXPECT_EQ(GetCompanyName(b), "A");
}

TEST(CompanyName, DamagedOrTruncatedBytes) {
  EXPECT_EQ(GetCompanyName(std::string_view()), "");
  EXPECT_EQ(GetCompanyName(std::string("CompanyName")), "");  // value would start past the end
  std::string cut = WideResource("Microsoft Corporation");
  cut.resize(cut.find(Wide("Micro")) + 6);  // no terminating NULs: up to the end
  EXPECT_EQ(GetCompanyName(cut), "Mic");
  std::string noEnd = std::string("CompanyName") + '\0' + "Unterminated";
  EXPECT_EQ(GetCompanyName(noEnd), "Unterminated");
}

}  // namespace
}  // namespace kx
