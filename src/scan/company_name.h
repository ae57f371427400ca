// The company name of an executable, read straight from the raw bytes of its version
// resource (no version-information service, so damaged files cannot trip one up).
#pragma once

#include <string>
#include <string_view>

#include "platform/services.h"

namespace kx {

// The company value found in bytes, or "" when there is none.
std::string GetCompanyName(std::string_view bytes);
// Reads the file once and looks in its bytes; "" when it cannot be read.
std::string GetCompanyName(FileSystem& files, const std::string& path);

}  // namespace kx
