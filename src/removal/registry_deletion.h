// Deleting the registry entries of a removal run, each deletion recorded in the quarantine
// log. Hives are given as their predefined handle values, as the definitions write them.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform/services.h"

namespace kx {

// Where deleted registry entries are recorded (the quarantine log).
using RegistryRecordWriter = std::function<void(const std::string& fullKey, const std::string& valueName)>;

class RegistryDeletion {
 public:
  RegistryDeletion(Registry& registry, RegistryRecordWriter record)
      : registry_(registry), record_(std::move(record)) {}

  // The whole key and everything below it; recorded as "All Values".
  [[nodiscard]] bool DeleteRegistryKey(int64_t hive, const std::string& key);
  // A value that stayed, or was never there, gets no record: the log says what was deleted.
  [[nodiscard]] bool DeleteRegistryValue(int64_t hive, const std::string& key, const std::string& valueName);

 private:
  Registry& registry_;
  RegistryRecordWriter record_;
};

}  // namespace kx
