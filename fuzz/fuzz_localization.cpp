// Localization.txt comes from the language server or a translator's editor: any bytes.
#include <cstddef>
#include <cstdint>
#include <string>

#include "localization/language_download.h"
#include "localization/localization_file.h"

namespace {

// No signature verifies: whatever the bytes, no download may be taken.
struct NoSignatures : kx::Signatures {
  bool VerifyRsaSha256(const std::string&, uint32_t, const std::string&, const std::string&) override { return false; }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  NoSignatures none;
  const kx::TrustedKeyList keys = {{"0123456789abcdef", std::string(256, '\x7f'), 65537}};
  if (kx::AcceptLocalizationDownload(bytes, keys, none)) __builtin_trap();
  const std::string text = kx::Utf8ToAnsi(bytes);
  if (kx::Utf8ToAnsi(kx::AnsiToUtf8(text)) != text) __builtin_trap();

  for (const auto& block : kx::ReadLanguageBlocks(text)) {
    auto lines = kx::FindLanguageItems(text, block.name);
    if (!lines) __builtin_trap();  // a listed name must load
    for (const auto& line : *lines) {
      auto key = kx::ItemKey(line);
      if (!key) continue;
      const std::string value = kx::LookupItem(*lines, *key);
      if (text.find(value) == std::string::npos) __builtin_trap();  // values are verbatim
    }
    (void)kx::LookupItem(*lines, "MSG_CAPTION");
  }
  // A translated value written back by the writer reads back unchanged.
  const std::string value = text.substr(0, 200);
  if (value.find('\n') == std::string::npos && value.find("</") == std::string::npos) {
    auto back = kx::FindLanguageItems(kx::LocalizationHeader() + kx::LocalizationItem("MSG_X", value) +
                                          kx::LocalizationFooter(), "English");
    if (!back || kx::LookupItem(*back, "MSG_X") != value) __builtin_trap();
  }
  return 0;
}
