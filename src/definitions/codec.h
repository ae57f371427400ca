// The line encoding of the definition files, and splitting ANSI text into lines.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kx {

// Each byte c becomes c + 64, less 255 when that passes 255 (modulo 255, not 256: byte 255
// encodes like 0 and comes back as 0). Same length out as in.
std::string EncodeDefinitionLine(std::string_view text);
std::string DecodeDefinitionLine(std::string_view text);

// The lines of a text file: CR LF, a lone CR and a lone LF each end a line (so the bytes
// that encode to CR and LF, 204 and 201, cannot be kept inside a line); a last line without
// its end is still a line, and a final line end adds no empty line.
std::vector<std::string> SplitTextLines(std::string_view bytes);

}  // namespace kx
