// An in-memory registry with the Windows rules callers rely on: key and value names
// compare without regard to case, values keep their type and raw bytes, and a key can
// refuse some rights (the key a user may read but not write, or below which nothing may
// be created) while a missing key is simply not found (ERR_FILE_NOT_FOUND).
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/services.h"

namespace kx::fakes {

class FakeRegistry final : public Registry {
 public:
  RegStatus OpenKey(Hive hive, const std::string& path, uint32_t access) override;
  RegStatus QueryValue(Hive hive, const std::string& path, const std::string& name,
                       RegValue& out) override;
  RegResult SetValue(Hive hive, const std::string& path, const std::string& name,
                     const RegValue& value) override;
  RegResult CreateKey(Hive hive, const std::string& path) override;
  RegResult DeleteValue(Hive hive, const std::string& path, const std::string& name) override;
  RegResult DeleteTree(Hive hive, const std::string& path) override;
  RegStatus EnumSubkeys(Hive hive, const std::string& path, std::vector<std::string>& out) override;
  RegStatus EnumValues(Hive hive, const std::string& path, std::vector<std::string>& out) override;

  // Test set-up and inspection; these ignore access restrictions.
  void AddKey(Hive hive, const std::string& path);
  void Put(Hive hive, const std::string& path, const std::string& name, const RegValue& value);
  void PutString(Hive hive, const std::string& path, const std::string& name, const std::string& text) {
    Put(hive, path, name, RegValue::String(text));
  }
  void PutDword(Hive hive, const std::string& path, const std::string& name, uint32_t v) {
    Put(hive, path, name, RegValue::Dword(v));
  }
  // Opening the key with any right outside `allowed` fails with AccessDenied, as a key
  // whose security descriptor grants only those rights. REGA_READ: readable, not writable.
  void Restrict(Hive hive, const std::string& path, uint32_t allowed);
  bool HasKey(Hive hive, const std::string& path) const;
  std::optional<RegValue> Get(Hive hive, const std::string& path, const std::string& name) const;
  void Clear() { hives_.clear(); }

 private:
  struct Key {
    std::string name;  // as created
    uint32_t allowed = 0xFFFFFFFFu;
    std::map<std::string, std::unique_ptr<Key>> subkeys;  // by upper-case name: sorted as Windows lists them
    std::vector<std::pair<std::string, RegValue>> values;  // in the order written
    std::pair<std::string, RegValue>* FindValue(const std::string& name);
  };
  Key* Find(Hive hive, const std::string& path) const;
  Key* Make(Hive hive, const std::string& path);
  static RegStatus Check(const Key* key, uint32_t access);
  static RegStatus DeleteBelow(Key& parent, const std::string& upperName);

  mutable std::map<uint32_t, std::unique_ptr<Key>> hives_;
};

}  // namespace kx::fakes
