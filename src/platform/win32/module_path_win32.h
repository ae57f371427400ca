// Names that Windows copies into a caller's buffer, however long they are.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace kx::win32 {

// Calls read(buffer, size) with a growing buffer until the name fits. read returns the
// characters copied (0 on failure), as GetModuleFileNameA and GetModuleFileNameExA do;
// a result that fills the buffer may be cut short, so it is read again with more room.
std::optional<std::string> ReadGrowingName(const std::function<uint32_t(char*, uint32_t)>& read);

// The running executable's full path; empty when Windows will not say.
std::string OwnModulePath();

}  // namespace kx::win32
