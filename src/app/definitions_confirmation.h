// Whether the definitions are known to be current: Live Update has lately had a current-date
// answer signed by a trusted key. Kept per user in OptionAndSettings: "DateConfirmed", the
// newest issued time (Unix seconds, UTC) of a confirming answer, and "DateCheckSince", the
// time of the first check made before any confirmation, from which the wait is counted.
// A replayed older answer never moves the confirmation on.
#pragma once

#include <cstdint>

#include "app/settings.h"
#include "platform/services.h"

namespace kx {

class DefinitionsConfirmation {
 public:
  static constexpr int64_t kMaxAge = 7 * 24 * 60 * 60;

  DefinitionsConfirmation(Settings& settings, Clock& clock) : settings_(settings), clock_(clock) {}

  // A confirming answer issued at `issued`; only a newer one than the stored is kept.
  void Record(int64_t issued);
  // True when no confirmation has been seen for kMaxAge. With none ever seen, the first call
  // stores the time it was made, and the wait counts from there.
  bool Unconfirmed();

 private:
  int64_t Read(const char* key) const;

  Settings& settings_;
  Clock& clock_;
};

}  // namespace kx
