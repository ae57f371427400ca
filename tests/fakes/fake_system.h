// Shell folders, drives and version of a made-up machine. Starts as a Windows 7 machine
// of user "User"; UseXpLayout switches to the Documents and Settings layout of XP.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "platform/services.h"

namespace kx::fakes {

enum Csidl : int {
  CSIDL_DESKTOP = 0, CSIDL_PROGRAMS = 2, CSIDL_PERSONAL = 5, CSIDL_FAVORITES = 6, CSIDL_STARTUP = 7,
  CSIDL_RECENT = 8, CSIDL_SENDTO = 9, CSIDL_BITBUCKET = 10, CSIDL_STARTMENU = 11,
  CSIDL_DESKTOPDIRECTORY = 16, CSIDL_FONTS = 20, CSIDL_TEMPLATES = 21, CSIDL_COMMON_STARTMENU = 22,
  CSIDL_COMMON_PROGRAMS = 23, CSIDL_COMMON_STARTUP = 24, CSIDL_COMMON_DESKTOPDIRECTORY = 25,
  CSIDL_APPDATA = 26, CSIDL_LOCAL_APPDATA = 28, CSIDL_ALTSTARTUP = 29, CSIDL_COMMON_ALTSTARTUP = 30,
  CSIDL_COMMON_FAVORITES = 31, CSIDL_INTERNET_CACHE = 32, CSIDL_COOKIES = 33, CSIDL_HISTORY = 34,
  CSIDL_COMMON_APPDATA = 35, CSIDL_WINDOWS = 36, CSIDL_SYSTEM = 37, CSIDL_PROGRAM_FILES = 38,
  CSIDL_PROFILE = 40, CSIDL_PROGRAM_FILES_COMMON = 43, CSIDL_COMMON_TEMPLATES = 45,
  CSIDL_COMMON_DOCUMENTS = 46,
};

class FakeSystemInfo final : public SystemInfo {
 public:
  FakeSystemInfo() { UseWin7Layout("User"); }

  std::string SpecialFolder(int csidl) override;
  std::string WindowsDirectory() override { return windows; }
  std::string SystemDirectory() override { return system; }
  std::vector<DriveInfo> Drives() override { return drives; }
  OsVersion Version() override { return version; }
  std::string ProgramFolder() override { return programFolder; }
  std::string UserName() override { return user; }
  std::string AllUsersProfile() override { return allUsersProfile; }

  // Every folder of the layout on drive C:, the version set to match (6.1 or 5.1).
  void UseWin7Layout(const std::string& userName);
  void UseXpLayout(const std::string& userName);
  void SetFolder(int csidl, const std::string& path) { folders[csidl] = path; }  // "" makes it virtual

  std::map<int, std::string> folders;  // without trailing backslash
  std::string windows = "C:\\Windows";
  std::string system = "C:\\Windows\\system32";
  std::vector<DriveInfo> drives{{"C:\\", DriveType::Fixed, true}};
  OsVersion version;
  std::string programFolder = "C:\\Program Files\\Kestrix";
  std::string user = "User";
  std::string allUsersProfile;
};

}  // namespace kx::fakes
