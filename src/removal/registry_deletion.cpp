#include "removal/registry_deletion.h"

#include "scan/registry_related.h"

namespace kx {

bool RegistryDeletion::DeleteRegistryKey(int64_t hive, const std::string& key) {
  if (registry_.DeleteTree(ModRegistryRelated::ToHive(hive), key) != RegStatus::Ok) return false;
  if (record_) record_(ModRegistryRelated::HiveName(hive) + "\\" + key, "All Values");
  return true;
}

bool RegistryDeletion::DeleteRegistryValue(int64_t hive, const std::string& key, const std::string& valueName) {
  if (!registry_.DeleteValue(ModRegistryRelated::ToHive(hive), key, valueName).ok()) return false;
  if (record_) record_(ModRegistryRelated::HiveName(hive) + "\\" + key, valueName);
  return true;
}

}  // namespace kx
