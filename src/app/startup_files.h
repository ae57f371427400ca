// The data-folder files start-up reads: staged definition files, line counts, the
// definitions date. The definition readers themselves live in definitions/.
#pragma once

#include <string>

#include "core/paths.h"
#include "definitions/definitions_date.h"
#include "platform/log.h"
#include "platform/services.h"

namespace kx {

// Replaces each definition file that has a staged "DL" copy by that copy.
// A copy that cannot be moved in stays staged for the next start; log hears of it.
void PromotePendingDefinitions(FileSystem& files, const std::string& dataFolder, Log* log = nullptr);
// Lines as Line Input reads them: every CR LF (or lone CR) ends one; a last line without
// an end counts too. A missing file has 0.
long CountFileLines(FileSystem& files, const std::string& path);
// 1234567 -> "1,234,567".
std::string GroupDigits(long n);

}  // namespace kx
