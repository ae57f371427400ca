#include "app/settings.h"

#include <gtest/gtest.h>

#include "fakes/fake_registry.h"
#include "platform/forms/headless.h"

namespace kx {
namespace {

constexpr const char* kProduct = "Kestrix";

class SettingsTest : public ::testing::Test {
 protected:
  fakes::FakeRegistry registry;
  ui::HeadlessBackend ui;
  Settings settings{registry, ui, "Kestrix Labs", kProduct};
};

TEST_F(SettingsTest, PerUserValuesLiveUnderTheProductKeyAsStrings) {
  EXPECT_EQ(settings.ReadSetting("OptionAndSettings", "chkMakeLog", "1"), "1");
  settings.WriteSetting("OptionAndSettings", "chkMakeLog", "0");
  auto v = registry.Get(Hive::CurrentUser, "Software\\Kestrix Labs\\Kestrix\\OptionAndSettings", "chkMakeLog");
  ASSERT_TRUE(v);
  EXPECT_EQ(v->type, REGT_SZ);
  EXPECT_EQ(v->AsString(), "0");
  EXPECT_EQ(settings.ReadSetting("optionandsettings", "CHKMAKELOG", "1"), "0");
  settings.WriteSetting("Settings", "Language", "");
  EXPECT_EQ(settings.ReadSetting("Settings", "Language", "English"), "");
  // A value of another type reads as missing.
  registry.PutDword(Hive::CurrentUser, "Software\\Kestrix Labs\\Kestrix\\Settings", "Max", 1);
  EXPECT_EQ(settings.ReadSetting("Settings", "Max", "0"), "0");
}

TEST_F(SettingsTest, MachineReadRefusesEmptyNamesWithTheirNumbers) {
  SettingError e;
  EXPECT_EQ(settings.ReadMachineSetting("", "Settings", "FirstTime", "d", &e), "d");
  EXPECT_EQ(e.number, -2147220504);
  EXPECT_EQ(e.description, "AppName may not be empty");
  e = {};
  settings.ReadMachineSetting(kProduct, "", "FirstTime", "d", &e);
  EXPECT_EQ(e.number, -2147220503);
  EXPECT_EQ(e.description, "Section may not be empty");
  e = {};
  settings.ReadMachineSetting(kProduct, "Settings", "", "d", &e);
  EXPECT_EQ(e.number, -2147220502);
  EXPECT_EQ(e.description, "Key may not be empty");
}

TEST_F(SettingsTest, MachineReadAnswersDefaultsTextAndTypeErrors) {
  SettingError e;
  EXPECT_EQ(settings.ReadMachineSetting(kProduct, "Settings", "FirstTime", "", &e), "");
  EXPECT_EQ(e.number, 0);  // a missing key is no error

  settings.WriteMachineSetting(" Kestrix ", " Settings ", "FirstTime", "Yes");
  EXPECT_EQ(registry.Get(Hive::LocalMachine, "SOFTWARE\\Kestrix Labs\\Kestrix\\Settings", "FirstTime")->AsString(), "Yes");
  EXPECT_EQ(settings.ReadMachineSetting(kProduct, "Settings", "FirstTime", "", &e), "Yes");
  EXPECT_EQ(settings.ReadMachineSetting(kProduct, "Settings", "Other", "dflt", &e), "dflt");
  EXPECT_EQ(e.number, 0);

  registry.PutString(Hive::LocalMachine, "SOFTWARE\\Kestrix Labs\\Kestrix\\Settings", "Empty", "");
  EXPECT_EQ(settings.ReadMachineSetting(kProduct, "Settings", "Empty", "dflt", &e), "");

  registry.PutDword(Hive::LocalMachine, "SOFTWARE\\Kestrix Labs\\Kestrix\\Settings", "Number", 7);
  settings.ReadMachineSetting(kProduct, "Settings", "Number", "", &e);
  EXPECT_EQ(e.number, REGT_DWORD);
  EXPECT_EQ(e.description, "Registry data not a string");

  e = {};
  registry.Restrict(Hive::LocalMachine, "SOFTWARE\\Kestrix Labs\\Kestrix\\Locked", 0);
  settings.ReadMachineSetting(kProduct, "Locked", "Key", "", &e);
  EXPECT_EQ(e.number, 5);
  EXPECT_EQ(e.description, "Could not open registry section");
}

TEST_F(SettingsTest, FailedMachineWriteAsksAbortRetryIgnore) {
  registry.AddKey(Hive::LocalMachine, "SOFTWARE");
  registry.Restrict(Hive::LocalMachine, "SOFTWARE", REGA_READ);

  ui.ExpectMsgBox(ui::MsgResult::Retry, "Kestrix requires read/write access to the system registry");
  ui.ExpectMsgBox(ui::MsgResult::Abort);
  settings.WriteMachineSetting(kProduct, "Settings", "FirstTime", "Yes");
  ASSERT_EQ(ui.msgboxes().size(), 2u);  // Retry tried once more
  EXPECT_EQ(ui.msgboxes()[0].title, "Permission Denied");
  EXPECT_EQ(ui.msgboxes()[0].style & 0xF, ui::MB_ABORT_RETRY_IGNORE);
  EXPECT_NE(ui.msgboxes()[0].text.find(
                "permission settings for this account.\r\n\r\nIf you would like to prevent this error "
                "message from being displayed again, please press 'Ignore'."),
            std::string::npos);
  EXPECT_EQ(settings.ReadSetting("Settings", "IgnorePermissionDeniedError", "0"), "0");

  ui.ExpectMsgBox(ui::MsgResult::Ignore);
  settings.WriteMachineSetting(kProduct, "Settings", "FirstTime", "Yes");
  EXPECT_EQ(settings.ReadSetting("Settings", "IgnorePermissionDeniedError", "0"), "1");

  // From now on a failure is silent.
  settings.WriteMachineSetting(kProduct, "Settings", "showHelp", "0");
  EXPECT_EQ(ui.msgboxes().size(), 3u);
  EXPECT_FALSE(registry.HasKey(Hive::LocalMachine, "SOFTWARE\\Kestrix Labs"));
}

TEST_F(SettingsTest, MachineWriteWithAnEmptyNameCountsAsAFailure) {
  ui.ExpectMsgBox(ui::MsgResult::Abort, "does not have the proper permissions");
  settings.WriteMachineSetting(kProduct, "", "FirstTime", "Yes");
  EXPECT_EQ(ui.pending_msgboxes(), 0u);
}

TEST(SettingConversions, ReadTheFormsTheWindowStores) {
  EXPECT_EQ(ParseSettingInt("1"), 1);
  EXPECT_EQ(ParseSettingInt(" 0 "), 0);
  EXPECT_EQ(ParseSettingInt("-1"), -1);
  EXPECT_EQ(ParseSettingInt("1400"), 1400);
  EXPECT_FALSE(ParseSettingInt(""));
  EXPECT_FALSE(ParseSettingInt("True"));
  EXPECT_FALSE(ParseSettingInt("1x"));
  EXPECT_FALSE(ParseSettingInt("99999999999"));
  EXPECT_EQ(ParseSettingBool("True"), true);
  EXPECT_EQ(ParseSettingBool("false"), false);
  EXPECT_EQ(ParseSettingBool("FALSE"), false);
  EXPECT_EQ(ParseSettingBool("1"), true);
  EXPECT_EQ(ParseSettingBool("0"), false);
  EXPECT_FALSE(ParseSettingBool("Yes"));
  EXPECT_FALSE(ParseSettingBool(""));
}

}  // namespace
}  // namespace kx
