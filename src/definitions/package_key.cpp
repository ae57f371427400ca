#include "definitions/update_package.h"
#include "signing_key.h"

namespace kx {

PackageKey CompiledInPackageKey() {
  return {std::string(signing::kModulus, signing::kModulusBytes), signing::kExponent};
}

}  // namespace kx
