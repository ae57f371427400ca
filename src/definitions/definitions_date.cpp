#include "definitions/definitions_date.h"

#include "definitions/definition_files.h"

namespace kx {

namespace {
std::string DatePath(const std::string& dataFolder) {
  return dataFolder + "\\" + std::string(kDefinitionsDateFileName);
}
}  // namespace

std::string ReadDefinitionsDate(FileSystem& files, const std::string& dataFolder) {
  auto bytes = files.ReadFile(DatePath(dataFolder));
  if (!bytes) return kDefaultDefinitionsDate;
  const size_t end = bytes->find_first_of("\r\n");
  return end == std::string::npos ? *bytes : bytes->substr(0, end);
}

IoStatus WriteDefinitionsDate(FileSystem& files, const std::string& dataFolder, const std::string& text) {
  const std::string path = DatePath(dataFolder);
  const std::string beside = path + ".new";
  if (IoStatus s = files.WriteFile(beside, text + "\r\n"); !s) return s;
  IoStatus moved = files.MoveFile(beside, path, true);
  if (!moved) (void)files.DeleteFile(beside);  // best-effort clean-up of the scratch copy
  return moved;
}

}  // namespace kx
