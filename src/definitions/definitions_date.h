// The local definitions date, the first line of date.dat: what Live Update asks the server
// for changes since.
#pragma once

#include <string>

#include "platform/services.h"

namespace kx {

inline constexpr const char* kDefaultDefinitionsDate = "3/16/2006 12:00:00 AM";

// The first line of date.dat, or the fixed first date when there is none.
std::string ReadDefinitionsDate(FileSystem& files, const std::string& dataFolder);
// date.dat with text and CR LF as its only line. Written beside and swapped in, so the file
// is never missing or half written.
IoStatus WriteDefinitionsDate(FileSystem& files, const std::string& dataFolder, const std::string& text);

}  // namespace kx
