// The server's date texts, cleaned and read as dates.
#include <cstddef>
#include <cstdint>
#include <string>

#include "core/text.h"
#include "definitions/update_package.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view in(reinterpret_cast<const char*>(data), size);
  std::string clean = kx::CleanDateText(in);
  if (clean.size() > in.size() || clean.find_first_of("\t\r\n") != std::string::npos) __builtin_trap();
  size_t pm = kx::FindNoCase(clean, "PM");
  if (pm != std::string::npos && pm + 2 != clean.size()) __builtin_trap();  // cut after the first
  kx::DateTime t = kx::DateOfServerText(in);
  if (t.month < 1 || t.month > 12 || t.day < 1 || t.day > 31 || t.hour > 23 || t.minute > 59 || t.second > 59)
    __builtin_trap();
  return 0;
}
