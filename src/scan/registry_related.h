// The registry reads and writes that the scan and the run-at-start-up option share. Hives
// are given as their predefined handle values (signed, as the definitions write them);
// nothing here raises an error. Deleting is the removal run's (removal/registry_deletion.h).
#pragma once

#include <cstdint>
#include <string>

#include "platform/services.h"

namespace kx {

class ModRegistryRelated {
 public:
  explicit ModRegistryRelated(Registry& registry) : registry_(registry) {}

  // Opens with access mask 0x3F: a key we may not write to counts as absent.
  bool RegistryKeyExists(int64_t hive, const std::string& key);
  // Only string, expandable string and 32-bit number values; value is "" on failure.
  bool ReadRegistryValue(int64_t hive, const std::string& key, const std::string& valueName, std::string& value);
  RegResult WriteRegistryValue(int64_t hive, const std::string& key, const std::string& valueName,
                               const std::string& value);

  // "HKEY_LOCAL_MACHINE" for -2147483646; "" for anything else.
  static std::string HiveName(int64_t hive);
  static Hive ToHive(int64_t hive) { return static_cast<Hive>(static_cast<uint32_t>(hive)); }

 private:
  Registry& registry_;
};

}  // namespace kx
