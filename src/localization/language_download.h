// A localization file fetched from the language server: checked before it may replace the
// one in the program folder, and swapped in so that no failure leaves the folder without one.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "core/trusted_keys.h"
#include "platform/services.h"

namespace kx {

// Far above any real file (all languages together are a few hundred KiB); the request asks
// for one byte more, so an answer that reaches it is known to be too big.
inline constexpr size_t kMaxLocalizationBytes = 4u << 20;

// The answer as it is to be stored: everything before its first "<" (a byte-order mark, blank
// lines) dropped and CR LF added. nullopt, with the reason in *why, for an error page, a cut
// or oversized answer, a text without a single complete language block, or one not signed by
// a trusted key. The server signs the file with one last line "<!-- KXSIG|keyid|hex -->":
// a signature over "KESTRIX-LANGUAGE\n" + every byte before that line. The line stays in the
// stored file; it lies outside every language block, where readers look for nothing.
std::optional<std::string> AcceptLocalizationDownload(const std::string& answer, const TrustedKeyList& keys,
                                                      Signatures& signatures, std::string* why = nullptr);

// Written beside, flushed and renamed over the old file, which stays in place until the new
// one is whole. The first failure's code; the scratch file is removed after a failure.
IoStatus ReplaceLocalizationFile(FileSystem& files, const std::string& path, const std::string& bytes);

}  // namespace kx
