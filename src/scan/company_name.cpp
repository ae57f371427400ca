#include "scan/company_name.h"

namespace kx {
namespace {

// A version-resource key as it sits in the file: the low byte of its type word (1, text),
// then each character as UTF-16LE, read from the type byte on.
std::string WideKey(std::string_view key) {
  std::string out(1, '\x01');
  for (char c : key) {
    out.push_back('\0');
    out.push_back(c);
  }
  return out;
}

struct Match {
  size_t valueStart = std::string_view::npos;
  std::string delimiter;
};

Match FindWide(std::string_view bytes, size_t from) {
  static const std::string company = WideKey("CompanyName");
  size_t at = bytes.find(company, from);
  if (at == std::string_view::npos) return {};
  return {at + 26, WideKey("FileDescription")};
}

}  // namespace

std::string GetCompanyName(std::string_view bytes) {
  static const std::string wideInfo = WideKey("StringFileInfo");
  Match m;
  size_t info = bytes.find(wideInfo);
  if (info != std::string_view::npos) {
    m = FindWide(bytes, info);
  } else {
    size_t from = bytes.find("StringFileInfo");
    if (from == std::string_view::npos) from = 0;
    size_t at = bytes.find("CompanyName", from);
    if (at != std::string_view::npos)
      m = {at + 12, "FileDescription"};
    else
      m = FindWide(bytes, from);
  }
  if (m.valueStart == std::string_view::npos || m.valueStart >= bytes.size()) return {};

  const size_t start = m.valueStart;
  size_t end = bytes.find(std::string_view("\0\0\0", 3), start);
  if (end == std::string_view::npos) end = bytes.size();  // no terminator: up to the end
  std::string_view value = bytes.substr(start, end - start);
  if (value.find(m.delimiter) != std::string_view::npos) {
    // The company value is empty and the next key follows: cut before the first control
    // byte so the next key never passes for the company.
    for (size_t i = 1; i <= 255 && start + i < bytes.size(); ++i) {
      if (static_cast<unsigned char>(bytes[start + i]) < 32) {
        value = bytes.substr(start, i - 1);
        break;
      }
    }
  }
  std::string out;
  out.reserve(value.size());
  for (char c : value)
    if (c != '\0') out.push_back(c);
  return out;
}

std::string GetCompanyName(FileSystem& files, const std::string& path) {
  std::optional<std::string> bytes = files.ReadFile(path);
  if (!bytes) return {};
  return GetCompanyName(std::string_view(*bytes));
}

}  // namespace kx
