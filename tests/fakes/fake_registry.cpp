#include "fakes/fake_registry.h"

#include "core/text.h"
#include "fakes/fake_util.h"

namespace kx::fakes {

FakeRegistry::Value* FakeRegistry::Key::FindValue(const std::string& name) {
  // An ANSI name holds only code page characters, so it never equals one that does not.
  for (auto& v : values)
    if (v.unicodeName.empty() && EqualNoCase(v.name, name)) return &v;
  return nullptr;
}

FakeRegistry::Key* FakeRegistry::Find(Hive hive, const std::string& path) const {
  auto h = hives_.find(static_cast<uint32_t>(hive));
  if (h == hives_.end()) {
    // Hives always exist, empty until written.
    h = hives_.emplace(static_cast<uint32_t>(hive), std::make_unique<Key>()).first;
  }
  Key* k = h->second.get();
  for (const auto& part : SplitPath(path)) {
    auto it = k->subkeys.find(Upper(part));
    if (it == k->subkeys.end()) return nullptr;
    k = it->second.get();
  }
  return k;
}

FakeRegistry::Key* FakeRegistry::Make(Hive hive, const std::string& path) {
  Key* k = Find(hive, "");
  for (const auto& part : SplitPath(path)) {
    auto& slot = k->subkeys[Upper(part)];
    if (!slot) {
      slot = std::make_unique<Key>();
      slot->name = part;
    }
    k = slot.get();
  }
  return k;
}

RegStatus FakeRegistry::Check(const Key* key, uint32_t access) {
  if (!key) return RegStatus::NotFound;
  return (access & ~key->allowed) ? RegStatus::AccessDenied : RegStatus::Ok;
}

RegStatus FakeRegistry::OpenKey(Hive hive, const std::string& path, uint32_t access) {
  return Check(Find(hive, path), access);
}

RegStatus FakeRegistry::QueryValue(Hive hive, const std::string& path, const std::string& name,
                                   RegValue& out) {
  Key* k = Find(hive, path);
  if (RegStatus s = Check(k, REGA_QUERY_VALUE); s != RegStatus::Ok) return s;
  auto* v = k->FindValue(name);
  if (!v) return RegStatus::NotFound;
  out = v->value;
  return RegStatus::Ok;
}

RegResult FakeRegistry::SetValue(Hive hive, const std::string& path, const std::string& name,
                                 const RegValue& value) {
  Key* k = Find(hive, path);
  if (RegStatus s = Check(k, REGA_SET_VALUE); s != RegStatus::Ok) return s;
  if (auto* v = k->FindValue(name))
    *v = {v->name, value, {}, false};
  else
    k->values.push_back({name, value, {}, false});
  return RegStatus::Ok;
}

RegResult FakeRegistry::CreateKey(Hive hive, const std::string& path) {
  Key* k = Find(hive, "");
  for (const auto& part : SplitPath(path)) {
    auto it = k->subkeys.find(Upper(part));
    if (it == k->subkeys.end()) {
      if (k->allowed != 0xFFFFFFFFu && !(k->allowed & REGA_CREATE_SUB_KEY)) return RegStatus::AccessDenied;
      auto& slot = k->subkeys[Upper(part)];
      slot = std::make_unique<Key>();
      slot->name = part;
      k = slot.get();
    } else {
      k = it->second.get();
    }
  }
  return Check(k, REGA_QUERY_VALUE);
}

RegResult FakeRegistry::DeleteValue(Hive hive, const std::string& path, const std::string& name) {
  Key* k = Find(hive, path);
  if (RegStatus s = Check(k, REGA_SET_VALUE); s != RegStatus::Ok) return s;
  Value* v = k->FindValue(name);
  if (!v) return RegStatus::NotFound;
  k->values.erase(k->values.begin() + (v - k->values.data()));
  return RegStatus::Ok;
}

// Depth first, subkeys in their listed order, stopping at the first key that refuses:
// what went before it is gone, the refusing key and what follows stay.
RegStatus FakeRegistry::DeleteBelow(Key& parent, const std::string& upperName) {
  Key& k = *parent.subkeys.at(upperName);
  // Deleting needs the right to delete the key and to list what is below it.
  if (RegStatus s = Check(&k, 0x10000u | REGA_ENUMERATE_SUB_KEYS | REGA_QUERY_VALUE); s != RegStatus::Ok) return s;
  while (!k.subkeys.empty())
    if (RegStatus s = DeleteBelow(k, k.subkeys.begin()->first); s != RegStatus::Ok) return s;
  // The name the listing gives for such a key opens nothing.
  if (!k.unicodeSubkeys.empty()) return RegStatus::NotFound;
  parent.subkeys.erase(upperName);
  return RegStatus::Ok;
}

RegResult FakeRegistry::DeleteTree(Hive hive, const std::string& path) {
  auto parts = SplitPath(path);
  if (parts.empty()) return {RegStatus::Failed, ERR_INVALID_PARAMETER};  // a hive itself is never deleted
  if (!Find(hive, path)) return RegStatus::NotFound;
  std::string parentPath;
  for (size_t i = 0; i + 1 < parts.size(); ++i) parentPath += parts[i] + "\\";
  return DeleteBelow(*Find(hive, parentPath), Upper(parts.back()));
}

RegStatus FakeRegistry::EnumSubkeys(Hive hive, const std::string& path, std::vector<std::string>& out) {
  Key* k = Find(hive, path);
  if (RegStatus s = Check(k, REGA_ENUMERATE_SUB_KEYS); s != RegStatus::Ok) return s;
  out.clear();
  for (const auto& [upper, sub] : k->subkeys) out.push_back(sub->name);
  for (const auto& [wide, sub] : k->unicodeSubkeys) out.push_back(sub->name);
  return RegStatus::Ok;
}

RegStatus FakeRegistry::EnumValues(Hive hive, const std::string& path, std::vector<std::string>& out) {
  Key* k = Find(hive, path);
  if (RegStatus s = Check(k, REGA_QUERY_VALUE); s != RegStatus::Ok) return s;
  out.clear();
  for (const auto& v : k->values) out.push_back(v.name);
  return RegStatus::Ok;
}

bool FakeRegistry::SubtreeExact(const Key& key) {
  if (!key.unicodeSubkeys.empty()) return false;
  for (const auto& v : key.values)
    if (!v.unicodeName.empty() || v.unicodeData) return false;
  for (const auto& [upper, sub] : key.subkeys)
    if (Check(sub.get(), REGA_QUERY_VALUE | REGA_ENUMERATE_SUB_KEYS) != RegStatus::Ok || !SubtreeExact(*sub))
      return false;
  return true;
}

RegStatus FakeRegistry::ReadsExactly(Hive hive, const std::string& path, const std::optional<std::string>& value,
                                     bool& exact) {
  Key* k = Find(hive, path);
  if (value) {
    if (RegStatus s = Check(k, REGA_QUERY_VALUE); s != RegStatus::Ok) return s;
    auto* v = k->FindValue(*value);
    if (!v) return RegStatus::NotFound;
    exact = !v->unicodeData;
    return RegStatus::Ok;
  }
  if (RegStatus s = Check(k, REGA_QUERY_VALUE | REGA_ENUMERATE_SUB_KEYS); s != RegStatus::Ok) return s;
  exact = SubtreeExact(*k);
  return RegStatus::Ok;
}

void FakeRegistry::AddKey(Hive hive, const std::string& path) { Make(hive, path); }

void FakeRegistry::Put(Hive hive, const std::string& path, const std::string& name, const RegValue& value) {
  Key* k = Make(hive, path);
  if (auto* v = k->FindValue(name))
    *v = {v->name, value, {}, false};
  else
    k->values.push_back({name, value, {}, false});
}

namespace {

// The text as the ANSI calls give it, and whether that is all of it.
std::string AnsiOf(const std::string& utf8, bool& lossless) {
  std::string ansi = Utf8ToAnsi(utf8);
  lossless = AnsiToUtf8(ansi) == utf8;
  return ansi;
}

bool IsString(uint32_t type) { return type == REGT_SZ || type == REGT_EXPAND_SZ || type == REGT_MULTI_SZ; }

}  // namespace

void FakeRegistry::PutUnicode(Hive hive, const std::string& utf8Path, const std::string& utf8Name, uint32_t type,
                              const std::string& utf8Data) {
  Key* k = Find(hive, "");
  for (const auto& part : SplitPath(utf8Path)) {
    bool lossless = false;
    std::string ansi = AnsiOf(part, lossless);
    auto& slot = lossless ? k->subkeys[Upper(ansi)] : k->unicodeSubkeys[part];
    if (!slot) {
      slot = std::make_unique<Key>();
      slot->name = ansi;
    }
    k = slot.get();
  }
  Value v;
  bool plainName = false, plainData = false;
  v.name = AnsiOf(utf8Name, plainName);
  if (!plainName) v.unicodeName = utf8Name;
  v.value.type = type;
  v.value.data = utf8Data;
  if (IsString(type)) {
    v.value.data = AnsiOf(utf8Data, plainData) + '\0';
    v.unicodeData = !plainData;
  }
  Value* old = plainName ? k->FindValue(v.name) : nullptr;
  for (auto& other : k->values)
    if (!plainName && other.unicodeName == v.unicodeName) old = &other;
  if (old) {
    if (plainName) v.name = old->name;  // a value set again keeps the name it was made with
    *old = std::move(v);
  } else {
    k->values.push_back(std::move(v));
  }
}

void FakeRegistry::Restrict(Hive hive, const std::string& path, uint32_t allowed) {
  Make(hive, path)->allowed = allowed;
}

bool FakeRegistry::HasKey(Hive hive, const std::string& path) const { return Find(hive, path) != nullptr; }

std::optional<RegValue> FakeRegistry::Get(Hive hive, const std::string& path, const std::string& name) const {
  Key* k = Find(hive, path);
  if (!k) return std::nullopt;
  auto* v = k->FindValue(name);
  if (!v) return std::nullopt;
  return v->value;
}

}  // namespace kx::fakes
