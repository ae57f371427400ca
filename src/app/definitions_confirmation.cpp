#include "app/definitions_confirmation.h"

#include <charconv>
#include <string>

namespace kx {

namespace {
constexpr const char* kSection = "OptionAndSettings";
constexpr const char* kConfirmed = "DateConfirmed";
constexpr const char* kSince = "DateCheckSince";
}  // namespace

int64_t DefinitionsConfirmation::Read(const char* key) const {
  const std::string text = settings_.ReadSetting(kSection, key, "");
  int64_t value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  // A value that is not wholly a positive number counts as none.
  return ec == std::errc() && end == text.data() + text.size() && value > 0 ? value : 0;
}

void DefinitionsConfirmation::Record(int64_t issued) {
  if (issued > Read(kConfirmed)) settings_.WriteSetting(kSection, kConfirmed, std::to_string(issued));
}

bool DefinitionsConfirmation::Unconfirmed() {
  const int64_t now = clock_.UnixSeconds();
  int64_t since = Read(kConfirmed);
  if (since == 0) since = Read(kSince);
  if (since == 0) {
    settings_.WriteSetting(kSection, kSince, std::to_string(now));
    return false;
  }
  return now - since >= kMaxAge;
}

}  // namespace kx
