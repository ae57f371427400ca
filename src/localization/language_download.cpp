#include "localization/language_download.h"

#include "core/text.h"
#include "localization/localization_file.h"

namespace kx {

std::optional<std::string> AcceptLocalizationDownload(const std::string& answer) {
  if (answer.empty() || answer.size() >= kMaxLocalizationBytes) return std::nullopt;
  const size_t first = answer.find('<');
  if (first == std::string::npos) return std::nullopt;
  std::string text = answer.substr(first);
  // An error page may well mention the tag; only a block with a name and items counts.
  bool named = false;
  for (const auto& block : ReadLanguageBlocks(Utf8ToAnsi(text))) named = named || !block.name.empty();
  if (!named) return std::nullopt;
  text += "\r\n";
  return text;
}

IoStatus ReplaceLocalizationFile(FileSystem& files, const std::string& path, const std::string& bytes) {
  const std::string scratch = path + ".download";
  IoStatus status = files.WriteFileFlushed(scratch, bytes);
  if (status) status = files.MoveFile(scratch, path, true);
  if (!status) files.DeleteFile(scratch);
  return status;
}

}  // namespace kx
