// The settings store: string values in the registry, per user and machine-wide.
#pragma once

#include <optional>
#include <string>

#include "platform/forms/form.h"
#include "platform/services.h"

namespace kx {

// An error a machine-wide read raises instead of answering.
struct SettingError {
  long number = 0;
  std::string description;
};

inline constexpr long kErrAppNameEmpty = -2147220504;
inline constexpr long kErrSectionEmpty = -2147220503;
inline constexpr long kErrKeyEmpty = -2147220502;

class Settings {
 public:
  // company and product name the keys; the backend answers the permission question.
  Settings(Registry& registry, ui::Backend& ui, std::string company, std::string product);

  // Per user: HKCU\Software\<company>\<product>\<section>.
  std::string ReadSetting(const std::string& section, const std::string& key,
                          const std::string& def) const;
  void WriteSetting(const std::string& section, const std::string& key, const std::string& value);

  // Machine-wide: HKLM\SOFTWARE\<company>\<appName>\<section>. A read that raises returns
  // the default and fills error when given.
  std::string ReadMachineSetting(const std::string& appName, const std::string& section,
                                 const std::string& key, const std::string& def,
                                 SettingError* error = nullptr) const;
  // Never reports failure; may ask the user what to do about one.
  void WriteMachineSetting(const std::string& appName, const std::string& section,
                           const std::string& key, const std::string& value);

  const std::string& product() const { return product_; }
  std::string UserKeyPath(const std::string& section) const;
  std::string MachineKeyPath(const std::string& appName, const std::string& section) const;

 private:
  [[nodiscard]] bool TryMachineWrite(const std::string& appName, const std::string& section,
                       const std::string& key, const std::string& value);

  Registry& registry_;
  ui::Backend& ui_;
  std::string company_, product_;
};

// Conversions as the window reads stored text: nullopt when the text does not convert.
std::optional<int> ParseSettingInt(const std::string& text);   // "1", " 0 ", "-3"
std::optional<bool> ParseSettingBool(const std::string& text); // "True"/"False", any case, or a number
inline const char* BoolText(bool v) { return v ? "True" : "False"; }

}  // namespace kx
