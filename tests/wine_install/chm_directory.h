// The directory of a compiled HTML help file (ITSF): every stored name with its length,
// read from the listing chunks as the help viewer finds them.
#pragma once

#include <cstdint>
#include <cstring>
#include <map>
#include <optional>
#include <string>

namespace kx::chm {

struct Directory {
  std::map<std::string, uint64_t> entries;  // "/index.html" -> uncompressed length
};

namespace detail {

inline uint32_t U32(const std::string& b, size_t at) {
  uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<unsigned char>(b[at + i]);
  return v;
}
inline uint64_t U64(const std::string& b, size_t at) { return uint64_t(U32(b, at + 4)) << 32 | U32(b, at); }

// The format's variable-length number: 7 bits a byte, most significant first, high bit "more".
inline std::optional<uint64_t> EncInt(const std::string& b, size_t& at, size_t end) {
  uint64_t v = 0;
  for (int n = 0; n < 10 && at < end; ++n) {
    const unsigned char c = static_cast<unsigned char>(b[at++]);
    v = v << 7 | (c & 0x7F);
    if (!(c & 0x80)) return v;
  }
  return std::nullopt;
}

}  // namespace detail

// nullopt with *error set when the bytes are not an ITSF file with a readable directory.
inline std::optional<Directory> ReadDirectory(const std::string& b, std::string* error) {
  using namespace detail;
  auto fail = [&](const std::string& why) -> std::optional<Directory> {
    *error = why;
    return std::nullopt;
  };
  if (b.size() < 0x58 || b.compare(0, 4, "ITSF") != 0) return fail("no ITSF signature");
  if (U32(b, 4) != 3 && U32(b, 4) != 2) return fail("ITSF version " + std::to_string(U32(b, 4)));
  const uint64_t dirOffset = U64(b, 0x48), dirLength = U64(b, 0x50);
  if (dirOffset + dirLength > b.size() || dirLength < 0x54) return fail("directory outside the file");
  if (b.compare(dirOffset, 4, "ITSP") != 0) return fail("no ITSP directory header");
  const uint32_t headerLength = U32(b, dirOffset + 8), chunkSize = U32(b, dirOffset + 0x10);
  const uint32_t chunks = U32(b, dirOffset + 0x2C);
  if (chunkSize < 0x20 || headerLength + uint64_t(chunks) * chunkSize > dirLength)
    return fail("directory chunks do not fit");
  Directory dir;
  for (uint32_t i = 0; i < chunks; ++i) {
    const size_t chunk = dirOffset + headerLength + size_t(i) * chunkSize;
    if (b.compare(chunk, 4, "PMGL") != 0) continue;  // index chunks repeat the names
    const uint32_t freeSpace = U32(b, chunk + 4);
    if (freeSpace > chunkSize - 0x14) return fail("listing chunk with impossible free space");
    const size_t end = chunk + chunkSize - freeSpace;
    size_t at = chunk + 0x14;
    while (at < end) {
      auto nameLength = EncInt(b, at, end);
      if (!nameLength || at + *nameLength > end) return fail("entry name past its chunk");
      std::string name = b.substr(at, *nameLength);
      at += *nameLength;
      auto section = EncInt(b, at, end), offset = EncInt(b, at, end), length = EncInt(b, at, end);
      if (!section || !offset || !length) return fail("entry " + name + " cut short");
      dir.entries[name] = *length;
    }
  }
  if (dir.entries.empty()) return fail("no listing entries");
  return dir;
}

}  // namespace kx::chm
