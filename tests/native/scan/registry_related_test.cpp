#include "scan/registry_related.h"
#include "removal/registry_deletion.h"

#include <gtest/gtest.h>

#include "fakes/fake_registry.h"

namespace kx {
namespace {

const int64_t kMachine = -2147483646LL, kUser = -2147483647LL;

struct RegistryRelatedTest : ::testing::Test {
  fakes::FakeRegistry reg;
  std::vector<std::pair<std::string, std::string>> records;
  ModRegistryRelated r{reg};
  RegistryDeletion del{reg, [this](const std::string& k, const std::string& v) { records.push_back({k, v}); }};
};

TEST_F(RegistryRelatedTest, ReadsOnlyTextAndNumbersFromKeysWeMayWrite) {
  reg.PutString(Hive::CurrentUser, "Software\\V", "S", "text");
  reg.Put(Hive::CurrentUser, "Software\\V", "NoNul", RegValue{REGT_SZ, "abc"});  // one character less
  reg.PutDword(Hive::CurrentUser, "Software\\V", "D", 4000000000u);
  reg.Put(Hive::CurrentUser, "Software\\V", "B", RegValue{REGT_BINARY, "xy"});
  reg.PutString(Hive::LocalMachine, "Software\\RO", "S", "text");
  reg.Restrict(Hive::LocalMachine, "Software\\RO", REGA_READ);
  std::string v = "stale";
  EXPECT_TRUE(r.ReadRegistryValue(kUser, "software\\v", "s", v));
  EXPECT_EQ(v, "text");
  EXPECT_TRUE(r.ReadRegistryValue(kUser, "Software\\V", "NoNul", v));
  EXPECT_EQ(v, "ab");
  EXPECT_TRUE(r.ReadRegistryValue(kUser, "Software\\V", "D", v));
  EXPECT_EQ(v, "4000000000");
  EXPECT_FALSE(r.ReadRegistryValue(kUser, "Software\\V", "B", v));
  EXPECT_EQ(v, "");
  EXPECT_FALSE(r.ReadRegistryValue(kMachine, "Software\\RO", "S", v));
  EXPECT_TRUE(r.RegistryKeyExists(kUser, "Software\\V"));
  EXPECT_FALSE(r.RegistryKeyExists(kMachine, "Software\\RO"));
  EXPECT_FALSE(r.RegistryKeyExists(-2147483642LL, "Software"));  // HKEY_DYN_DATA: nothing on NT
}

TEST_F(RegistryRelatedTest, DeletionsAreRecordedForTheQuarantineLog) {
  reg.PutString(Hive::LocalMachine, "Software\\Evil\\Sub", "S", "x");
  reg.PutString(Hive::CurrentUser, "Software\\Run", "Evil", "x");
  EXPECT_TRUE(del.DeleteRegistryKey(kMachine, "Software\\Evil"));
  EXPECT_FALSE(reg.HasKey(Hive::LocalMachine, "Software\\Evil\\Sub"));
  EXPECT_FALSE(del.DeleteRegistryKey(kMachine, "Software\\Evil"));
  EXPECT_TRUE(del.DeleteRegistryValue(kUser, "Software\\Run", "Evil"));
  EXPECT_FALSE(del.DeleteRegistryValue(kUser, "Software\\Run", "Evil"));  // gone already: no second record
  EXPECT_FALSE(reg.Get(Hive::CurrentUser, "Software\\Run", "Evil"));
  EXPECT_EQ(records, (std::vector<std::pair<std::string, std::string>>{
                         {"HKEY_LOCAL_MACHINE\\Software\\Evil", "All Values"},
                         {"HKEY_CURRENT_USER\\Software\\Run", "Evil"}}));
}

TEST_F(RegistryRelatedTest, WritesNumbersAsDwordsAndTextTrimmed) {
  ASSERT_TRUE(r.WriteRegistryValue(kMachine, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run", "Kestrix", "  C:\\k.exe  ").ok());
  ASSERT_TRUE(r.WriteRegistryValue(kUser, "Software\\K", "N", " 12 ").ok());
  ASSERT_TRUE(r.WriteRegistryValue(kUser, "Software\\K", "Hex", "0x10").ok());
  auto s = reg.Get(Hive::LocalMachine, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run", "Kestrix");
  ASSERT_TRUE(s);
  EXPECT_EQ(s->type, REGT_SZ);
  EXPECT_EQ(s->data, std::string("C:\\k.exe\0", 9));
  auto n = reg.Get(Hive::CurrentUser, "Software\\K", "N");
  ASSERT_TRUE(n);
  EXPECT_EQ(n->AsDword(), 12u);
  EXPECT_EQ(reg.Get(Hive::CurrentUser, "Software\\K", "Hex")->type, REGT_SZ);
}

}  // namespace
}  // namespace kx
