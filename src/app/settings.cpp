#include "app/settings.h"

#include <cctype>
#include <cstdlib>

#include "core/text.h"

namespace kx {
namespace {

constexpr const char* kUserSettings = "Settings";

}  // namespace

Settings::Settings(Registry& registry, ui::Backend& ui, std::string company, std::string product)
    : registry_(registry), ui_(ui), company_(std::move(company)), product_(std::move(product)) {}

std::string Settings::UserKeyPath(const std::string& section) const {
  return "Software\\" + company_ + "\\" + product_ + "\\" + section;
}

std::string Settings::MachineKeyPath(const std::string& appName, const std::string& section) const {
  return "SOFTWARE\\" + Trim(company_) + "\\" + Trim(appName) + "\\" + Trim(section);
}

std::string Settings::ReadSetting(const std::string& section, const std::string& key,
                                  const std::string& def) const {
  RegValue v;
  if (section.empty() || key.empty()) return def;
  if (registry_.QueryValue(Hive::CurrentUser, UserKeyPath(section), key, v) != RegStatus::Ok) return def;
  auto s = v.AsString();
  return s ? *s : def;
}

void Settings::WriteSetting(const std::string& section, const std::string& key, const std::string& value) {
  if (section.empty() || key.empty()) return;
  const std::string path = UserKeyPath(section);
  if (registry_.CreateKey(Hive::CurrentUser, path) != RegStatus::Ok) return;
  // A preference that does not stick keeps its default at the next start; there is no caller to tell.
  (void)registry_.SetValue(Hive::CurrentUser, path, key, RegValue::String(value));
}

std::string Settings::ReadMachineSetting(const std::string& appName, const std::string& section,
                                         const std::string& key, const std::string& def,
                                         SettingError* error) const {
  auto raise = [&](long number, const char* text) {
    if (error) *error = {number, text};
    return def;
  };
  if (appName.empty()) return raise(kErrAppNameEmpty, "AppName may not be empty");
  if (section.empty()) return raise(kErrSectionEmpty, "Section may not be empty");
  if (key.empty()) return raise(kErrKeyEmpty, "Key may not be empty");

  const std::string path = MachineKeyPath(appName, section);
  switch (registry_.OpenKey(Hive::LocalMachine, path, REGA_READ)) {
    case RegStatus::Ok: break;
    case RegStatus::NotFound: return def;
    case RegStatus::AccessDenied: return raise(5, "Could not open registry section");
    case RegStatus::Failed: return raise(1, "Could not open registry section");
  }
  RegValue v;
  if (registry_.QueryValue(Hive::LocalMachine, path, key, v) != RegStatus::Ok) return def;
  if (v.type != REGT_SZ) return raise(static_cast<long>(v.type), "Registry data not a string");
  return v.AsString().value_or("");
}

bool Settings::TryMachineWrite(const std::string& appName, const std::string& section,
                               const std::string& key, const std::string& value) {
  if (Trim(appName).empty() || Trim(section).empty() || key.empty()) return false;
  const std::string path = MachineKeyPath(appName, section);
  if (registry_.CreateKey(Hive::LocalMachine, path) != RegStatus::Ok) return false;
  return registry_.SetValue(Hive::LocalMachine, path, key, RegValue::String(value)) == RegStatus::Ok;
}

void Settings::WriteMachineSetting(const std::string& appName, const std::string& section,
                                   const std::string& key, const std::string& value) {
  while (!TryMachineWrite(appName, section, key, value)) {
    if (ReadSetting(kUserSettings, "IgnorePermissionDeniedError", "0") == "1") return;
    const std::string text =
        product_ +
        " requires read/write access to the system registry and hard drive in order to run "
        "properly.  This user account does not have the proper permissions set.  As a result "
        "some or all of your settings may not be properly saved.  Please contact your system "
        "administrator or change the permission settings for this account.\r\n\r\n"
        "If you would like to prevent this error message from being displayed again, please "
        "press 'Ignore'.";
    switch (ui_.MsgBox(text, ui::MB_ABORT_RETRY_IGNORE, "Permission Denied")) {
      case ui::MsgResult::Retry: continue;
      case ui::MsgResult::Ignore: WriteSetting(kUserSettings, "IgnorePermissionDeniedError", "1"); return;
      default: return;
    }
  }
}

std::optional<int> ParseSettingInt(const std::string& text) {
  const std::string t = Trim(text);
  if (t.empty()) return std::nullopt;
  size_t i = (t[0] == '-' || t[0] == '+') ? 1 : 0;
  if (i == t.size() || t.size() - i > 9) return std::nullopt;
  for (size_t j = i; j < t.size(); ++j)
    if (!std::isdigit(static_cast<unsigned char>(t[j]))) return std::nullopt;
  return std::atoi(t.c_str());
}

std::optional<bool> ParseSettingBool(const std::string& text) {
  const std::string t = LowerAnsi(Trim(text));
  if (t == "true") return true;
  if (t == "false") return false;
  if (auto n = ParseSettingInt(t)) return *n != 0;
  return std::nullopt;
}

}  // namespace kx
