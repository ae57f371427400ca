// Arbitrary bytes as a file's contents: the company-name search must stay inside them.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "scan/company_name.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string company = kx::GetCompanyName(std::string_view(reinterpret_cast<const char*>(data), size));
  if (company.size() > size) __builtin_trap();
  for (char c : company)
    if (c == '\0') __builtin_trap();
  return 0;
}
