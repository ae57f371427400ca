#include "localization/language_download.h"

#include "core/text.h"
#include "localization/localization_file.h"

namespace kx {

namespace {

constexpr std::string_view kSignatureOpen = "<!-- KXSIG|", kSignatureClose = " -->";

// Empty when the answer ends in a signature line of a trusted key over all before it.
std::string CheckLanguageSignature(std::string_view answer, const TrustedKeyList& keys, Signatures& signatures) {
  std::string_view rest = answer;
  while (!rest.empty() && (rest.back() == '\n' || rest.back() == '\r' || rest.back() == ' ' || rest.back() == '\t'))
    rest.remove_suffix(1);
  const size_t start = rest.rfind(kSignatureOpen);
  if (start == std::string_view::npos || !rest.ends_with(kSignatureClose)) return "the language file is not signed";
  std::string_view line = rest.substr(start + kSignatureOpen.size());
  line.remove_suffix(kSignatureClose.size());
  // The last line is some other text that merely ends like a comment.
  if (line.find_first_of("\r\n") != std::string_view::npos) return "the language file is not signed";
  const size_t bar = line.find('|');
  if (bar == std::string_view::npos || line.find('|', bar + 1) != std::string_view::npos)
    return "the language file's signature line is malformed";
  std::string message = "KESTRIX-LANGUAGE\n";
  message.append(answer.substr(0, start));
  const std::string why = CheckSignature(keys, line.substr(0, bar), message, line.substr(bar + 1), signatures);
  return why.empty() ? why : "language file " + why;
}

std::optional<std::string> Refuse(std::string* why, std::string reason) {
  if (why) *why = std::move(reason);
  return std::nullopt;
}

}  // namespace

std::optional<std::string> AcceptLocalizationDownload(const std::string& answer, const TrustedKeyList& keys,
                                                      Signatures& signatures, std::string* why) {
  if (answer.empty()) return Refuse(why, "no answer");
  if (answer.size() >= kMaxLocalizationBytes) return Refuse(why, "the answer is too big");
  const size_t first = answer.find('<');
  if (first == std::string::npos) return Refuse(why, "no localization file");
  std::string text = answer.substr(first);
  // An error page may well mention the tag; only a block with a name and items counts.
  bool named = false;
  for (const auto& block : ReadLanguageBlocks(Utf8ToAnsi(text))) named = named || !block.name.empty();
  if (!named) return Refuse(why, "no language block");
  // Signed as served: a byte-order mark in front is part of what was signed.
  if (std::string reason = CheckLanguageSignature(answer, keys, signatures); !reason.empty())
    return Refuse(why, std::move(reason));
  text += "\r\n";
  return text;
}

IoStatus ReplaceLocalizationFile(FileSystem& files, const std::string& path, const std::string& bytes) {
  const std::string scratch = path + ".download";
  IoStatus status = files.WriteFileFlushed(scratch, bytes);
  if (status) status = files.MoveFile(scratch, path, true);
  if (!status) (void)files.DeleteFile(scratch);  // already failing; scratch clean-up only
  return status;
}

}  // namespace kx
