#include "core/paths.h"

#include <charconv>

#include "core/text.h"

namespace kx {

const std::array<PlaceholderRow, kPlaceholderCount> kPlaceholderTable = {{
    {"[startsp]", CSIDL_ALTSTARTUP, false, false},
    {"[appdata]", CSIDL_APPDATA, false, false},
    {"[recycle]", CSIDL_BITBUCKET, false, false},
    {"[comstar]", CSIDL_COMMON_ALTSTARTUP, false, false},
    {"[comapp]", CSIDL_COMMON_APPDATA, false, false},
    {"[desktop]", CSIDL_COMMON_DESKTOPDIRECTORY, false, false},
    {"[comdocs]", CSIDL_COMMON_DOCUMENTS, false, false},
    {"[comfav]", CSIDL_COMMON_FAVORITES, false, false},
    {"[comprog]", CSIDL_COMMON_PROGRAMS, false, false},
    {"[comstam]", CSIDL_COMMON_STARTMENU, false, false},
    {"[comtemp]", CSIDL_COMMON_TEMPLATES, false, false},
    {"[cookies]", CSIDL_COOKIES, false, false},
    {"[comdesk]", CSIDL_DESKTOPDIRECTORY, false, false},
    {"[favorit]", CSIDL_FAVORITES, false, false},
    {"[fonts]", CSIDL_FONTS, false, false},
    {"[history]", CSIDL_HISTORY, false, false},
    {"[netcach]", CSIDL_INTERNET_CACHE, false, false},
    {"[progs]", CSIDL_PROGRAMS, false, false},
    {"[progfil]", CSIDL_PROGRAM_FILES, false, false},
    {"[comprogfil]", CSIDL_PROGRAM_FILES_COMMON, false, false},
    {"[personl]", CSIDL_PERSONAL, false, false},
    {"[recent]", CSIDL_RECENT, false, false},
    {"[sendto]", CSIDL_SENDTO, false, false},
    {"[startup]", CSIDL_STARTUP, false, false},
    {"[strtmnu]", CSIDL_STARTMENU, false, false},
    {"[system]", CSIDL_SYSTEM, false, false},
    {"[templat]", CSIDL_TEMPLATES, false, false},
    {"[windir]", CSIDL_WINDOWS, false, false},
    {"[user]", CSIDL_STARTMENU, true, true},
    {"[alluser]", CSIDL_COMMON_STARTMENU, true, true},
}};

namespace {

bool ContainsToken(std::string_view text, const PlaceholderRow& row) {
  return row.exactCase ? text.find(row.token) != std::string_view::npos
                       : FindNoCase(text, row.token, 0) != std::string_view::npos;
}

std::string ReplaceToken(std::string_view text, const PlaceholderRow& row, std::string_view folder) {
  return row.exactCase ? ReplaceAll(text, row.token, folder)
                       : ReplaceAllIgnoringCase(text, row.token, folder);
}

// Both expanders share this, so cached and uncached results cannot differ.
template <typename FolderOf>
std::string ExpandWith(std::string_view text, FolderOf folderOf) {
  std::string result(text);
  for (size_t row = 0; row < kPlaceholderCount; ++row) {
    if (result.find('[') == std::string::npos) break;  // most text holds no token at all
    if (ContainsToken(result, kPlaceholderTable[row]))
      result = ReplaceToken(result, kPlaceholderTable[row], folderOf(row));
  }
  return result;
}

std::string LookUpRow(SystemInfo& system, size_t row) {
  const PlaceholderRow& r = kPlaceholderTable[row];
  std::string folder = SpecialFolderPath(system, r.csidl);
  if (!r.profileFolder) return folder;
  // The profile folder is the Start Menu's parent only on XP in English; elsewhere (Vista's
  // AppData layout, a localized "Start Menu") the system says where the profile is. Systems
  // without profiles keep the cut.
  std::string profile = r.csidl == CSIDL_STARTMENU ? SpecialFolderPath(system, CSIDL_PROFILE) : system.AllUsersProfile();
  if (!profile.empty() && profile.back() != '\\') profile += '\\';
  return profile.empty() ? ReplaceAllIgnoringCase(folder, "\\Start Menu", "") : profile;
}

}  // namespace

std::string SpecialFolderPath(SystemInfo& system, int csidl) {
  std::string path = system.SpecialFolder(csidl);
  path = path.substr(0, path.find('\0'));
  if (path.empty()) return "";
  return path + "\\";
}

std::string SystemDriveRoot(SystemInfo& system) {
  std::string path = system.SpecialFolder(CSIDL_PROGRAMS);
  path = path.substr(0, path.find('\0'));
  if (path.empty()) return "";
  if (path.back() != '\\') path += '\\';
  return path.substr(0, 3);
}

std::string SystemDirectory(SystemInfo& system) { return system.SystemDirectory(); }

std::string PathExpander::RowFolder(size_t row) { return LookUpRow(system_, row); }

std::string PathExpander::Expanded(std::string_view text) {
  return ExpandWith(text, [this](size_t row) { return LookUpRow(system_, row); });
}

PlaceholderCache::PlaceholderCache(SystemInfo& system) : driveRoot_(kx::SystemDriveRoot(system)) {
  for (size_t row = 0; row < kPlaceholderCount; ++row) folders_[row] = LookUpRow(system, row);
}

std::string PlaceholderCache::Expanded(std::string_view text) {
  return ExpandWith(text, [this](size_t row) -> const std::string& { return folders_[row]; });
}

std::string DataFolder(Placeholders& placeholders) { return placeholders.Expanded(kDataFolderText); }

std::string CollapseDoubleBackslashes(std::string_view text) { return ReplaceAll(text, "\\\\", "\\"); }

bool FileExists(FileSystem& files, const std::string& path) {
  std::vector<std::string> listed = files.ListPlainFiles(path);
  if (listed.empty()) return false;
  return UpperAnsi(listed.front()) == UpperAnsi(FileNameOfPath(path));
}

bool FolderExists(FileSystem& files, const std::string& path) { return files.FolderExists(path); }

bool FileExistsAnyAttributes(FileSystem& files, const std::string& path) {
  const auto a = files.Attributes(path);
  return a && !(*a & FA_DIRECTORY);
}

bool EntryExists(FileSystem& files, const std::string& path) {
  const std::string name = FileNameOfPath(path);
  if (name.empty()) return false;
  for (const auto& e : files.Find(path))
    if (EqualsNoCase(e.name, name)) return true;
  return false;
}

bool IsAbsolutePath(std::string_view path) {
  if (path.size() >= 3 && path[1] == ':' && path[2] == '\\') {
    const char d = static_cast<char>(path[0] | 0x20);
    return d >= 'a' && d <= 'z';
  }
  return path.size() > 2 && path[0] == '\\' && path[1] == '\\';
}

std::string FileNameOfPath(std::string_view path) {
  size_t slash = path.rfind('\\');
  return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

std::string FileNameOfPathCutAtNul(std::string_view path) {
  if (path.find('\\') == std::string_view::npos) return std::string(path.substr(0, path.find('\0')));
  return FileNameOfPath(path);
}

std::string FileExtensionOfPath(std::string_view path) {
  for (size_t i = path.size(); i-- > 0;) {
    char c = path[i];
    if (c == '.') return LowerAnsi(Trim(path.substr(i + 1)));
    if (c == ':' || c == '\\') return "";
  }
  return "";
}

RegStatus SetRegistryValue(Registry& registry, Hive hive, const std::string& keyPath,
                           const std::string& valueName, uint32_t type, const std::string& value) {
  if (type == REGT_SZ) return registry.SetValue(hive, keyPath, valueName, RegValue::String(value));
  if (type != REGT_DWORD) return RegStatus::Ok;
  std::string text = Trim(value);
  int64_t number = 0;
  const char* first = text.data();
  const char* last = text.data() + text.size();
  if (first != last && *first == '+') ++first;
  auto [end, ec] = std::from_chars(first, last, number);
  if (text.empty() || ec != std::errc() || end != last || number < INT32_MIN || number > UINT32_MAX)
    return RegStatus::Failed;
  return registry.SetValue(hive, keyPath, valueName, RegValue::Dword(static_cast<uint32_t>(number)));
}

RegStatus SetRegistryValue(Registry& registry, Hive hive, const std::string& keyPath,
                           const std::string& valueName, uint32_t type, uint32_t value) {
  if (type == REGT_SZ) return registry.SetValue(hive, keyPath, valueName, RegValue::String(std::to_string(value)));
  if (type != REGT_DWORD) return RegStatus::Ok;
  return registry.SetValue(hive, keyPath, valueName, RegValue::Dword(value));
}

}  // namespace kx
