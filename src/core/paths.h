// Folder placeholders in definitions ("[windir]\x.exe") and the small path and file
// routines the scanners, the quarantine and the removal share.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/text.h"
#include "platform/services.h"

namespace kx {

// Shell folder numbers the program uses.
enum Csidl : int {
  CSIDL_PROGRAMS = 2, CSIDL_PERSONAL = 5, CSIDL_FAVORITES = 6, CSIDL_STARTUP = 7,
  CSIDL_RECENT = 8, CSIDL_SENDTO = 9, CSIDL_BITBUCKET = 10, CSIDL_STARTMENU = 11,
  CSIDL_DESKTOPDIRECTORY = 16, CSIDL_FONTS = 20, CSIDL_TEMPLATES = 21,
  CSIDL_COMMON_STARTMENU = 22, CSIDL_COMMON_PROGRAMS = 23, CSIDL_COMMON_DESKTOPDIRECTORY = 25,
  CSIDL_APPDATA = 26, CSIDL_ALTSTARTUP = 29, CSIDL_COMMON_ALTSTARTUP = 30,
  CSIDL_COMMON_FAVORITES = 31, CSIDL_INTERNET_CACHE = 32, CSIDL_COOKIES = 33,
  CSIDL_HISTORY = 34, CSIDL_COMMON_APPDATA = 35, CSIDL_WINDOWS = 36, CSIDL_SYSTEM = 37,
  CSIDL_PROGRAM_FILES = 38, CSIDL_PROFILE = 40, CSIDL_PROGRAM_FILES_COMMON = 43, CSIDL_COMMON_TEMPLATES = 45,
  CSIDL_COMMON_DOCUMENTS = 46,
};

struct PlaceholderRow {
  std::string_view token;
  int csidl;
  bool exactCase;       // "[user]" and "[alluser]"; every other token ignores case
  bool profileFolder;   // the profile folder: the system's, or the Start Menu's with "\Start Menu" cut
};

inline constexpr size_t kPlaceholderCount = 30;
// Applied in this order; a folder path that happens to contain a later token gets that
// token expanded too, exactly as the sequential replacement does.
extern const std::array<PlaceholderRow, kPlaceholderCount> kPlaceholderTable;

// The data folder, before expansion.
inline constexpr std::string_view kDataFolderText = "[appdata]DideZuvurudARA";

// The shell folder's path with one trailing backslash, or "" for a virtual or unknown one.
std::string SpecialFolderPath(SystemInfo& system, int csidl);
// "C:\": the first three characters of the user's Programs folder, or "".
std::string SystemDriveRoot(SystemInfo& system);
// The system directory without trailing backslash.
std::string SystemDirectory(SystemInfo& system);

// What a definition reader needs to turn a definition's folder into a real path.
class Placeholders {
 public:
  virtual ~Placeholders() = default;
  // The text with every table token replaced; a folder that cannot be determined
  // contributes "".
  virtual std::string Expanded(std::string_view text) = 0;
  virtual std::string SystemDriveRoot() = 0;

  // In/out form: leaves the result in text as well.
  std::string ExpandPathPlaceholders(std::string& text) {
    text = Expanded(text);
    return text;
  }
};

// Looks every folder up anew on each call, as Windows has it right now. Only the folders
// whose token occurs in the text are asked for.
class PathExpander final : public Placeholders {
 public:
  explicit PathExpander(SystemInfo& system) : system_(system) {}
  std::string Expanded(std::string_view text) override;
  std::string SystemDriveRoot() override { return kx::SystemDriveRoot(system_); }
  // The folder a table row stands for (profile rows already cut).
  std::string RowFolder(size_t row);

 private:
  SystemInfo& system_;
};

// The table's folders and the drive root, looked up once when it is made. A shell folder
// lookup costs a quarter of a millisecond on Windows and a scan expands every definition
// line, so the scan driver makes one of these when a scan starts and drops it when the
// scan ends; a folder changed during a scan is seen by the next scan. Gives the same
// results as PathExpander over an unchanging system.
class PlaceholderCache final : public Placeholders {
 public:
  explicit PlaceholderCache(SystemInfo& system);
  // Fixed folders, for tools and tests that have no system to ask.
  PlaceholderCache(std::array<std::string, kPlaceholderCount> folders, std::string driveRoot)
      : folders_(std::move(folders)), driveRoot_(std::move(driveRoot)) {}
  std::string Expanded(std::string_view text) override;
  std::string SystemDriveRoot() override { return driveRoot_; }

 private:
  std::array<std::string, kPlaceholderCount> folders_;
  std::string driveRoot_;
};

// The data folder: "[appdata]DideZuvurudARA" expanded, no trailing backslash.
std::string DataFolder(Placeholders& placeholders);

// Every "\\" replaced by "\" in one left-to-right pass (so "\\\" becomes "\\").
std::string CollapseDoubleBackslashes(std::string_view text);

// True when a plain file of that path exists: the plain-file listing of the path must name
// the file itself, so hidden and system files and wildcard paths never count.
bool FileExists(FileSystem& files, const std::string& path);
bool FolderExists(FileSystem& files, const std::string& path);
// True when a file (not a folder) of that path exists, whatever its attributes: the rule for
// the program's own files, which a user may have hidden.
bool FileExistsAnyAttributes(FileSystem& files, const std::string& path);
// True when the FindFirstFile listing of the path holds an entry of its name, file or
// folder, hidden or not.
bool EntryExists(FileSystem& files, const std::string& path);

// "C:\..." or "\\server\share\...": a path that does not depend on the current folder.
bool IsAbsolutePath(std::string_view path);

// The text after the last "\", or the whole text.
std::string FileNameOfPath(std::string_view path);
// As FileNameOfPath, but a text without "\" is first cut at its first NUL.
std::string FileNameOfPathCutAtNul(std::string_view path);
// "exe" for "C:\dir\File.EXE ": lower case, trimmed; "" when a ":" or "\" comes before any
// "." scanning back from the end.
std::string FileExtensionOfPath(std::string_view path);

// Writes one value to an existing key: type 1 (string) as the text plus one NUL, type 4
// (32-bit number) as the number the text holds. Other types, and a type-4 text that is not
// a number, write nothing; the former report Ok since no call was made.
RegStatus SetRegistryValue(Registry& registry, Hive hive, const std::string& keyPath,
                           const std::string& valueName, uint32_t type, const std::string& value);
RegStatus SetRegistryValue(Registry& registry, Hive hive, const std::string& keyPath,
                           const std::string& valueName, uint32_t type, uint32_t value);

}  // namespace kx
