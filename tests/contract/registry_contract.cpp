#include <algorithm>
#include <cctype>

#include <gtest/gtest.h>

#include "contract/contract_env.h"

namespace kx::contract {
namespace {

constexpr Hive HKCU = Hive::CurrentUser;

class RegistryContract : public ::testing::Test {
 protected:
  void SetUp() override {
    env = MakeEnv();
    key = env->ScratchKey();
    ASSERT_EQ(reg().OpenKey(HKCU, key, REGA_ALL_0x3F), RegStatus::Ok);
  }
  Registry& reg() { return env->registry(); }

  std::unique_ptr<Env> env;
  std::string key;
};

RegValue Raw(uint32_t type, const std::string& bytes) {
  RegValue v;
  v.type = type;
  v.data = bytes;
  return v;
}

TEST_F(RegistryContract, ValuesKeepTypeAndBytes) {
  const std::vector<std::pair<std::string, RegValue>> values = {
      {"sz", RegValue::String("hello")},
      {"expand", RegValue::String("%windir%\\x", REGT_EXPAND_SZ)},
      {"binary", Raw(REGT_BINARY, std::string("\x00\x01\xff\x00", 4))},
      {"dword", RegValue::Dword(0xDEADBEEF)},
      {"multi", Raw(REGT_MULTI_SZ, std::string("one\0two\0\0", 9))},
      {"", RegValue::String("default value")},
  };
  for (const auto& [name, v] : values) ASSERT_EQ(reg().SetValue(HKCU, key, name, v), RegStatus::Ok) << name;
  for (const auto& [name, v] : values) {
    RegValue got;
    ASSERT_EQ(reg().QueryValue(HKCU, key, name, got), RegStatus::Ok) << name;
    EXPECT_EQ(got.type, v.type) << name;
    EXPECT_EQ(got.data, v.data) << name;
  }
  RegValue got;
  ASSERT_EQ(reg().QueryValue(HKCU, key, "sz", got), RegStatus::Ok);
  EXPECT_EQ(got.AsString(), "hello");
  ASSERT_EQ(reg().QueryValue(HKCU, key, "expand", got), RegStatus::Ok);
  EXPECT_EQ(got.AsString(), "%windir%\\x");  // read back unexpanded
  ASSERT_EQ(reg().QueryValue(HKCU, key, "dword", got), RegStatus::Ok);
  EXPECT_EQ(got.AsDword(), 0xDEADBEEFu);

  std::vector<std::string> names;
  ASSERT_EQ(reg().EnumValues(HKCU, key, names), RegStatus::Ok);
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"", "binary", "dword", "expand", "multi", "sz"}));
}

TEST_F(RegistryContract, KeyAndValueNamesIgnoreCase) {
  ASSERT_EQ(reg().CreateKey(HKCU, key + "\\Vendor\\Product"), RegStatus::Ok);
  ASSERT_EQ(reg().SetValue(HKCU, key + "\\Vendor\\Product", "Setting", RegValue::String("on")), RegStatus::Ok);
  std::string upper = key + "\\VENDOR\\product";
  RegValue got;
  ASSERT_EQ(reg().QueryValue(HKCU, upper, "SETTING", got), RegStatus::Ok);
  EXPECT_EQ(got.AsString(), "on");
  ASSERT_EQ(reg().SetValue(HKCU, upper, "setting", RegValue::String("off")), RegStatus::Ok);  // same value
  std::vector<std::string> names;
  ASSERT_EQ(reg().EnumValues(HKCU, upper, names), RegStatus::Ok);
  EXPECT_EQ(names, std::vector<std::string>{"Setting"});
  std::vector<std::string> subkeys;
  ASSERT_EQ(reg().EnumSubkeys(HKCU, key, subkeys), RegStatus::Ok);
  EXPECT_EQ(subkeys, std::vector<std::string>{"Vendor"});
}

TEST_F(RegistryContract, MissingKeysAndValuesAreNotFoundAndNothingIsCreated) {
  RegValue got = RegValue::String("untouched");
  EXPECT_EQ(reg().OpenKey(HKCU, key + "\\none", REGA_READ), RegStatus::NotFound);
  EXPECT_EQ(reg().QueryValue(HKCU, key + "\\none", "v", got), RegStatus::NotFound);
  EXPECT_EQ(reg().QueryValue(HKCU, key, "none", got), RegStatus::NotFound);
  EXPECT_EQ(got.AsString(), "untouched");
  EXPECT_EQ(reg().SetValue(HKCU, key + "\\none", "v", RegValue::Dword(1)), RegStatus::NotFound);
  EXPECT_EQ(reg().OpenKey(HKCU, key + "\\none", REGA_READ), RegStatus::NotFound);
  EXPECT_EQ(reg().DeleteValue(HKCU, key, "none"), RegStatus::NotFound);
  EXPECT_EQ(reg().DeleteTree(HKCU, key + "\\none"), RegStatus::NotFound);
  std::vector<std::string> names{"kept"};
  EXPECT_EQ(reg().EnumSubkeys(HKCU, key + "\\none", names), RegStatus::NotFound);
  EXPECT_EQ(names, std::vector<std::string>{"kept"});
}

TEST_F(RegistryContract, CreateMakesParentsAndDeleteTreeRemovesEverythingBelow) {
  ASSERT_EQ(reg().CreateKey(HKCU, key + "\\a\\b\\c"), RegStatus::Ok);
  ASSERT_EQ(reg().CreateKey(HKCU, key + "\\a\\b\\c"), RegStatus::Ok);  // opens an existing one
  ASSERT_EQ(reg().CreateKey(HKCU, key + "\\a\\d"), RegStatus::Ok);
  ASSERT_EQ(reg().SetValue(HKCU, key + "\\a\\b\\c", "v", RegValue::Dword(3)), RegStatus::Ok);
  ASSERT_EQ(reg().SetValue(HKCU, key + "\\a", "w", RegValue::String("x")), RegStatus::Ok);
  std::vector<std::string> subkeys;
  ASSERT_EQ(reg().EnumSubkeys(HKCU, key + "\\a", subkeys), RegStatus::Ok);
  std::sort(subkeys.begin(), subkeys.end());
  EXPECT_EQ(subkeys, (std::vector<std::string>{"b", "d"}));

  EXPECT_EQ(reg().DeleteTree(HKCU, key + "\\A"), RegStatus::Ok);
  EXPECT_EQ(reg().OpenKey(HKCU, key + "\\a", REGA_READ), RegStatus::NotFound);
  EXPECT_EQ(reg().OpenKey(HKCU, key + "\\a\\b\\c", REGA_READ), RegStatus::NotFound);
  EXPECT_EQ(reg().OpenKey(HKCU, key, REGA_ALL_0x3F), RegStatus::Ok);  // the parent stays

  ASSERT_EQ(reg().SetValue(HKCU, key, "gone", RegValue::Dword(1)), RegStatus::Ok);
  EXPECT_EQ(reg().DeleteValue(HKCU, key, "GONE"), RegStatus::Ok);
  RegValue got;
  EXPECT_EQ(reg().QueryValue(HKCU, key, "gone", got), RegStatus::NotFound);
}

TEST_F(RegistryContract, KeyWithoutWriteRightsIsDeniedNotMissing) {
  std::string ro = key + "\\readonly";
  ASSERT_EQ(reg().CreateKey(HKCU, ro), RegStatus::Ok);
  ASSERT_EQ(reg().SetValue(HKCU, ro, "v", RegValue::String("data")), RegStatus::Ok);
  ASSERT_TRUE(env->RestrictKey(HKCU, ro, REGA_READ)) << "cannot restrict a key";

  EXPECT_EQ(reg().OpenKey(HKCU, ro, REGA_READ), RegStatus::Ok);
  EXPECT_EQ(reg().OpenKey(HKCU, ro, REGA_QUERY_VALUE), RegStatus::Ok);
  EXPECT_EQ(reg().OpenKey(HKCU, ro, REGA_ALL_0x3F), RegStatus::AccessDenied);
  EXPECT_EQ(reg().OpenKey(HKCU, ro, REGA_SET_VALUE), RegStatus::AccessDenied);
  EXPECT_EQ(reg().OpenKey(HKCU, ro, REGA_ALL_ACCESS), RegStatus::AccessDenied);
  RegValue got;
  EXPECT_EQ(reg().QueryValue(HKCU, ro, "v", got), RegStatus::Ok);
  EXPECT_EQ(got.AsString(), "data");
  EXPECT_EQ(reg().SetValue(HKCU, ro, "v", RegValue::String("new")), RegStatus::AccessDenied);
  EXPECT_EQ(reg().DeleteValue(HKCU, ro, "v"), RegStatus::AccessDenied);
  ASSERT_EQ(reg().QueryValue(HKCU, ro, "v", got), RegStatus::Ok);
  EXPECT_EQ(got.AsString(), "data");
}

TEST_F(RegistryContract, ChangesCarryTheSystemErrorCode) {
  EXPECT_EQ(reg().SetValue(HKCU, key + "\\none", "v", RegValue::Dword(1)).error, ERR_FILE_NOT_FOUND);
  EXPECT_EQ(reg().DeleteValue(HKCU, key, "none").error, ERR_FILE_NOT_FOUND);
  EXPECT_EQ(reg().DeleteTree(HKCU, key + "\\none").error, ERR_FILE_NOT_FOUND);
  RegResult made = reg().CreateKey(HKCU, key + "\\made");
  EXPECT_TRUE(made.ok());
  EXPECT_EQ(made.error, ERR_SUCCESS);

  std::string ro = key + "\\readonly";
  ASSERT_EQ(reg().CreateKey(HKCU, ro + "\\existing"), RegStatus::Ok);
  ASSERT_EQ(reg().SetValue(HKCU, ro, "v", RegValue::String("data")), RegStatus::Ok);
  ASSERT_TRUE(env->RestrictKey(HKCU, ro, REGA_READ)) << "cannot restrict a key";
  RegResult denied = reg().SetValue(HKCU, ro, "v", RegValue::String("new"));
  EXPECT_EQ(denied, RegStatus::AccessDenied);
  EXPECT_EQ(denied.error, ERR_ACCESS_DENIED);
  EXPECT_EQ(reg().DeleteValue(HKCU, ro, "v").error, ERR_ACCESS_DENIED);

  // Below a parent without the right to create subkeys nothing new appears; what is
  // there already opens.
  RegResult child = reg().CreateKey(HKCU, ro + "\\child");
  EXPECT_EQ(child, RegStatus::AccessDenied);
  EXPECT_EQ(child.error, ERR_ACCESS_DENIED);
  EXPECT_EQ(reg().OpenKey(HKCU, ro + "\\child", REGA_READ), RegStatus::NotFound);
  EXPECT_EQ(reg().CreateKey(HKCU, ro + "\\existing"), RegStatus::Ok);
  EXPECT_EQ(reg().CreateKey(HKCU, ro), RegStatus::Ok);
}

TEST_F(RegistryContract, DeleteTreeStopsAtAProtectedSubkeyAndKeepsIt) {
  std::string top = key + "\\tree";
  ASSERT_EQ(reg().CreateKey(HKCU, top + "\\Guarded\\inner"), RegStatus::Ok);
  ASSERT_EQ(reg().SetValue(HKCU, top + "\\Guarded", "v", RegValue::Dword(7)), RegStatus::Ok);
  ASSERT_EQ(reg().CreateKey(HKCU, top + "\\other"), RegStatus::Ok);
  // Readable only, not even listable: Windows would refuse the delete for want of DELETE
  // alone, but Wine grants that right whatever the key's security says.
  ASSERT_TRUE(env->RestrictKey(HKCU, top + "\\Guarded", REGA_QUERY_VALUE)) << "cannot restrict a key";

  RegResult r = reg().DeleteTree(HKCU, top);
  EXPECT_EQ(r, RegStatus::AccessDenied);
  EXPECT_EQ(r.error, ERR_ACCESS_DENIED);
  // The protected key and everything above it stay, with their contents.
  EXPECT_EQ(reg().OpenKey(HKCU, top, REGA_READ), RegStatus::Ok);
  RegValue got;
  ASSERT_EQ(reg().QueryValue(HKCU, top + "\\guarded", "v", got), RegStatus::Ok);
  EXPECT_EQ(got.AsDword(), 7u);
  EXPECT_EQ(reg().OpenKey(HKCU, top + "\\Guarded\\inner", REGA_READ), RegStatus::Ok);
}

bool SameNoCase(const std::string& a, const std::string& b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                    [](char x, char y) { return std::tolower(static_cast<unsigned char>(x)) ==
                                                std::tolower(static_cast<unsigned char>(y)); });
}

TEST_F(RegistryContract, RealKeyNamesNameTheHiveAndEveryKeyOnTheWay) {
  ASSERT_EQ(reg().CreateKey(HKCU, key + "\\Vendor\\Product"), RegStatus::Ok);
  // The current user's keys keep their hive's usual name, not HKEY_USERS and a SID.
  auto name = reg().RealKeyName(HKCU, key + "\\vendor\\Product");
  ASSERT_TRUE(name);
  EXPECT_TRUE(SameNoCase(*name, "HKEY_CURRENT_USER\\" + key + "\\Vendor\\Product")) << *name;
  EXPECT_EQ(reg().RealKeyName(HKCU, key + "\\Vendor\\none"), std::nullopt);

  // Wherever the system really keeps a machine key, it is below HKEY_LOCAL_MACHINE\Software.
  std::string machine = "Software\\KestrixContract" + key.substr(key.find_last_of('\\') + 1);
  ASSERT_EQ(reg().CreateKey(Hive::LocalMachine, machine), RegStatus::Ok);
  name = reg().RealKeyName(Hive::LocalMachine, machine);
  ASSERT_TRUE(reg().DeleteTree(Hive::LocalMachine, machine).ok());
  ASSERT_TRUE(name);
  const std::string leaf = machine.substr(machine.find('\\'));
  const std::string software = "HKEY_LOCAL_MACHINE\\Software\\";
  EXPECT_TRUE(SameNoCase(name->substr(0, software.size()), software)) << *name;
  ASSERT_GE(name->size(), leaf.size());
  EXPECT_TRUE(SameNoCase(name->substr(name->size() - leaf.size()), leaf)) << *name;
  EXPECT_EQ(reg().RealKeyName(Hive::LocalMachine, machine), std::nullopt);
}

// The system keeps names and strings in Unicode; the ANSI calls give "?" for what the code
// page lacks, and such a name reaches nothing when given back.
TEST_F(RegistryContract, ReadsExactlyOnlyWhatTheCodePageHolds) {
  const std::string zhong = "\xe4\xb8\xad", wen = "\xe6\x96\x87";  // U+4E2D, U+6587 in UTF-8
  struct Row {
    const char* label;
    std::string subkey, ansiSubkey;  // below the row's key, as set (UTF-8) and as listed; "" for none
    std::string name, ansiName;      // the value's, likewise
    uint32_t type;
    std::string data;                // UTF-8 for the string types, without the last NUL
    std::string ansiData;            // as the ANSI calls read it, when its name reaches it
    bool valueExact, keyExact;       // the row's key with its subtree
  };
  const std::vector<Row> rows = {
      {"plain", "", "", "plain", "plain", REGT_SZ, "text", std::string("text\0", 5), true, true},
      {"code page letters", "Caf\xc3\xa9", "Caf\xe9", "Na\xc3\xafve", "Na\xefve", REGT_SZ, "\xc3\xbc \xc2\xa9",
       std::string("\xfc \xa9\0", 4), true, true},
      {"name one key down", "inner", "inner", zhong, "?", REGT_SZ, "x", "", false, false},
      {"string", "", "", "data", "data", REGT_SZ, zhong + wen, std::string("??\0", 3), false, false},
      {"expandable string", "", "", "expand", "expand", REGT_EXPAND_SZ, "%TEMP%\\" + zhong,
       std::string("%TEMP%\\?\0", 9), false, false},
      {"multi-string", "", "", "multi", "multi", REGT_MULTI_SZ, std::string("a\0", 2) + zhong + std::string("\0", 1),
       std::string("a\0?\0\0", 5), false, false},
      {"binary holding UTF-16", "", "", "binary", "binary", REGT_BINARY, "\x2d\x4e", "\x2d\x4e", true, true},
      {"key name", zhong, "?", "v", "v", REGT_SZ, "x", "", false, false},
  };
  for (size_t i = 0; i < rows.size(); ++i) {
    const Row& r = rows[i];
    const std::string top = key + "\\r" + std::to_string(i);
    ASSERT_TRUE(env->PutUnicode(HKCU, r.subkey.empty() ? top : top + "\\" + r.subkey, r.name, r.type, r.data))
        << r.label;
    bool exact = !r.keyExact;
    EXPECT_EQ(reg().ReadsExactly(HKCU, top, std::nullopt, exact), RegStatus::Ok) << r.label;
    EXPECT_EQ(exact, r.keyExact) << r.label;

    std::vector<std::string> names;
    if (!r.subkey.empty()) {
      ASSERT_EQ(reg().EnumSubkeys(HKCU, top, names), RegStatus::Ok) << r.label;
      EXPECT_EQ(names, std::vector<std::string>{r.ansiSubkey}) << r.label;
    }
    const std::string path = r.subkey.empty() ? top : top + "\\" + r.ansiSubkey;
    const bool keyReached = r.ansiSubkey.find('?') == std::string::npos;
    const bool valueReached = keyReached && r.ansiName.find('?') == std::string::npos;
    EXPECT_EQ(reg().OpenKey(HKCU, path, REGA_READ), keyReached ? RegStatus::Ok : RegStatus::NotFound) << r.label;
    if (!keyReached) continue;
    ASSERT_EQ(reg().EnumValues(HKCU, path, names), RegStatus::Ok) << r.label;
    EXPECT_EQ(names, std::vector<std::string>{r.ansiName}) << r.label;
    RegValue got;
    exact = !r.valueExact;
    EXPECT_EQ(reg().QueryValue(HKCU, path, r.ansiName, got), valueReached ? RegStatus::Ok : RegStatus::NotFound)
        << r.label;
    EXPECT_EQ(reg().ReadsExactly(HKCU, path, r.ansiName, exact), valueReached ? RegStatus::Ok : RegStatus::NotFound)
        << r.label;
    if (!valueReached) continue;
    EXPECT_EQ(got.type, r.type) << r.label;
    EXPECT_EQ(got.data, r.ansiData) << r.label;
    EXPECT_EQ(exact, r.valueExact) << r.label;
  }

  bool untouched = true;
  EXPECT_EQ(reg().ReadsExactly(HKCU, key + "\\none", std::nullopt, untouched), RegStatus::NotFound);
  EXPECT_EQ(reg().ReadsExactly(HKCU, key, "none", untouched), RegStatus::NotFound);
  EXPECT_TRUE(untouched);
}

}  // namespace
}  // namespace kx::contract
