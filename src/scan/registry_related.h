// The registry routines that the scan, the removal run and the run-at-start-up option
// share. Hives are given as their predefined handle values (signed, as the definitions
// write them); nothing here raises an error.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform/services.h"

namespace kx {

// Where deleted registry entries are recorded (the quarantine log); set by its owner.
using RegistryRecordWriter = std::function<void(const std::string& fullKey, const std::string& valueName)>;

class ModRegistryRelated {
 public:
  ModRegistryRelated(Registry& registry, RegistryRecordWriter writeQuarantineRegistryRecord)
      : registry_(registry), writeQuarantineRegistryRecord_(std::move(writeQuarantineRegistryRecord)) {}

  // Opens with access mask 0x3F: a key we may not write to counts as absent.
  bool RegistryKeyExists(int64_t hive, const std::string& key);
  // Only string, expandable string and 32-bit number values; value is "" on failure.
  bool ReadRegistryValue(int64_t hive, const std::string& key, const std::string& valueName, std::string& value);
  bool DeleteRegistryKey(int64_t hive, const std::string& key);
  void DeleteRegistryValue(int64_t hive, const std::string& key, const std::string& valueName);
  void WriteRegistryValue(int64_t hive, const std::string& key, const std::string& valueName,
                          const std::string& value);

  // "HKEY_LOCAL_MACHINE" for -2147483646; "" for anything else.
  static std::string HiveName(int64_t hive);
  static Hive ToHive(int64_t hive) { return static_cast<Hive>(static_cast<uint32_t>(hive)); }

 private:
  void Record(const std::string& fullKey, const std::string& valueName) {
    if (writeQuarantineRegistryRecord_) writeQuarantineRegistryRecord_(fullKey, valueName);
  }
  Registry& registry_;
  RegistryRecordWriter writeQuarantineRegistryRecord_;
};

}  // namespace kx
