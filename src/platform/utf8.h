// UTF-8 encoding of single code points: the one encoder the program's text converters share.
#pragma once

#include <cstdint>
#include <string>

namespace kx {

// Appends the code point as UTF-8 (one to four bytes). Surrogates and values past U+10FFFF
// are not characters; they become "?".
void AppendUtf8(std::string& out, uint32_t codePoint);

}  // namespace kx
