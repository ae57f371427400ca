#pragma once
#include <stdexcept>
#include <string>

namespace test_support {
// A machine whose setup silently failed would let a test pass, or a bench time the wrong thing.
template <class Status>
void Must(const Status& status, const std::string& what) {
  if (!status.ok()) throw std::runtime_error(what + " failed, error " + std::to_string(status.error));
}
}  // namespace test_support
