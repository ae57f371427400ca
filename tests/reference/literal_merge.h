// The update merge done step by step as first described: append in place per record, a
// linear deletion list, "temp.dat" and copy-back. Slow and not crash-safe; the tests and the
// benchmark hold UpdateMerge to its change count, file bytes and progress texts.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "definitions/update_merge.h"

namespace kx::reference {

int32_t LiteralMergeUpdatePackage(FileSystem& files, const std::string& dataFolder, UpdateMergeHost& host,
                                  std::string_view package);

}  // namespace kx::reference
