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
// The definition set a per-machine install ships for every user, below the program folder.
inline constexpr const char* kMachineDefinitionsFolder = "Definitions";
// Gives a user's data folder the machine's definition set when it has none: the folder is
// made when missing, and when it lacks any file a scan requires, the machine's whole set
// (the six files and date.dat, which belongs to them) is copied in over what is there, as a
// scan would otherwise delete the rest. Nothing is copied from an incomplete machine set;
// date.dat only when every definition file came. False when the folder still lacks a file.
[[nodiscard]] bool SeedDefinitionSet(FileSystem& files, const std::string& machineSet, const std::string& dataFolder,
                       Log* log = nullptr);
// Lines as Line Input reads them: every CR LF (or lone CR) ends one; a last line without
// an end counts too. A missing file has 0.
long CountFileLines(FileSystem& files, const std::string& path);
// 1234567 -> "1,234,567".
std::string GroupDigits(long n);

}  // namespace kx
