// An in-memory registry with the Windows rules callers rely on: key and value names
// compare without regard to case, values keep their type and raw bytes, and a key can
// refuse some rights (the key a user may read but not write, or below which nothing may
// be created) while a missing key is simply not found (ERR_FILE_NOT_FOUND). Names and
// strings set through PutUnicode may hold what Windows-1252 lacks; the ANSI calls see
// those the way Windows shows them.
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
  RegStatus ReadsExactly(Hive hive, const std::string& path, const std::optional<std::string>& value,
                         bool& exact) override;

  // Test set-up and inspection; these ignore access restrictions.
  void AddKey(Hive hive, const std::string& path);
  void Put(Hive hive, const std::string& path, const std::string& name, const RegValue& value);
  void PutString(Hive hive, const std::string& path, const std::string& name, const std::string& text) {
    Put(hive, path, name, RegValue::String(text));
  }
  void PutDword(Hive hive, const std::string& path, const std::string& name, uint32_t v) {
    Put(hive, path, name, RegValue::Dword(v));
  }
  // Sets a value as a program using the wide calls would, from UTF-8: the names of the
  // value and of the keys on the way (made as needed), and string data (REG_SZ,
  // REG_EXPAND_SZ, REG_MULTI_SZ, given without the last NUL, which is added), may hold
  // characters outside Windows-1252. The ANSI calls then read "?" for each of those and
  // never reach a key or value by such a name, as on Windows; such keys are listed after
  // the others. Other types take the bytes as given.
  void PutUnicode(Hive hive, const std::string& utf8Path, const std::string& utf8Name, uint32_t type,
                  const std::string& utf8Data);
  // Opening the key with any right outside `allowed` fails with AccessDenied, as a key
  // whose security descriptor grants only those rights. REGA_READ: readable, not writable.
  void Restrict(Hive hive, const std::string& path, uint32_t allowed);
  bool HasKey(Hive hive, const std::string& path) const;
  std::optional<RegValue> Get(Hive hive, const std::string& path, const std::string& name) const;
  void Clear() { hives_.clear(); }

 private:
  struct Value {
    std::string name;  // as the ANSI calls list it
    RegValue value;    // as the ANSI calls read it
    std::string unicodeName;  // UTF-8, when the name holds characters outside the code page
    bool unicodeData = false;  // string data held such characters
  };
  struct Key {
    std::string name;  // as created; as the ANSI calls list it
    uint32_t allowed = 0xFFFFFFFFu;
    std::map<std::string, std::unique_ptr<Key>> subkeys;  // by upper-case name: sorted as Windows lists them
    // Named with characters outside the code page, by their UTF-8 name: out of the ANSI calls' reach.
    std::map<std::string, std::unique_ptr<Key>> unicodeSubkeys;
    std::vector<Value> values;  // in the order written
    Value* FindValue(const std::string& name);  // by a name the ANSI calls can give
  };
  Key* Find(Hive hive, const std::string& path) const;
  Key* Make(Hive hive, const std::string& path);
  static RegStatus Check(const Key* key, uint32_t access);
  static RegStatus DeleteBelow(Key& parent, const std::string& upperName);
  static bool SubtreeExact(const Key& key);

  mutable std::map<uint32_t, std::unique_ptr<Key>> hives_;
};

}  // namespace kx::fakes
