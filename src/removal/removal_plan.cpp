#include "removal/removal_plan.h"

#include "core/text.h"

namespace kx {

RemovalPlan RemovalPlan::FromTicked(const ScanResults& results) {
  RemovalPlan plan;
  for (size_t i = 0; i < results.threats().size(); ++i)
    if (results.threats()[i].checked) plan.threatRows.push_back(i);
  plan.fileRows = results.files().size();
  for (size_t i = 0; i < results.files().size(); ++i)
    if (const FileRow& row = results.files()[i]; row.checked) plan.files.push_back({i, row.path, row.threat});
  plan.registryRows = results.registry().size();
  for (size_t i = 0; i < results.registry().size(); ++i) {
    const RegistryRow& row = results.registry()[i];
    if (!row.checked) continue;
    Registry r{i, row.hive, Trim(row.key), Trim(row.value), row.threat};
    // A nameless find is listed under its key path.
    if (Trim(r.threat).empty()) r.threat = row.key;
    plan.registry.push_back(std::move(r));
  }
  plan.cookieRows = results.cookies().size();
  for (size_t i = 0; i < results.cookies().size(); ++i)
    if (const CookieRow& row = results.cookies()[i]; row.checked) plan.cookies.push_back({i, row.path});
  return plan;
}

}  // namespace kx
