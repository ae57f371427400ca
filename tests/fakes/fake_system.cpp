#include "fakes/fake_system.h"

namespace kx::fakes {

std::string FakeSystemInfo::SpecialFolder(int csidl) {
  auto it = folders.find(csidl);
  return it == folders.end() ? std::string() : it->second;
}

void FakeSystemInfo::UseWin7Layout(const std::string& u) {
  user = u;
  version = {2, 6, 1};
  windows = "C:\\Windows";
  system = windows + "\\system32";
  const std::string profile = "C:\\Users\\" + u;
  const std::string roaming = profile + "\\AppData\\Roaming";
  const std::string local = profile + "\\AppData\\Local";
  const std::string menu = roaming + "\\Microsoft\\Windows\\Start Menu";
  const std::string common = "C:\\ProgramData";
  const std::string commonMenu = common + "\\Microsoft\\Windows\\Start Menu";
  allUsersProfile = common;
  folders = {
      {CSIDL_DESKTOP, profile + "\\Desktop"},
      {CSIDL_PROGRAMS, menu + "\\Programs"},
      {CSIDL_PERSONAL, profile + "\\Documents"},
      {CSIDL_FAVORITES, profile + "\\Favorites"},
      {CSIDL_STARTUP, menu + "\\Programs\\Startup"},
      {CSIDL_RECENT, roaming + "\\Microsoft\\Windows\\Recent"},
      {CSIDL_SENDTO, roaming + "\\Microsoft\\Windows\\SendTo"},
      {CSIDL_STARTMENU, menu},
      {CSIDL_DESKTOPDIRECTORY, profile + "\\Desktop"},
      {CSIDL_FONTS, windows + "\\Fonts"},
      {CSIDL_TEMPLATES, roaming + "\\Microsoft\\Windows\\Templates"},
      {CSIDL_COMMON_STARTMENU, commonMenu},
      {CSIDL_COMMON_PROGRAMS, commonMenu + "\\Programs"},
      {CSIDL_COMMON_STARTUP, commonMenu + "\\Programs\\Startup"},
      {CSIDL_COMMON_DESKTOPDIRECTORY, "C:\\Users\\Public\\Desktop"},
      {CSIDL_APPDATA, roaming},
      {CSIDL_LOCAL_APPDATA, local},
      {CSIDL_ALTSTARTUP, menu + "\\Programs\\Startup"},
      {CSIDL_COMMON_ALTSTARTUP, commonMenu + "\\Programs\\Startup"},
      {CSIDL_COMMON_FAVORITES, profile + "\\Favorites"},
      {CSIDL_INTERNET_CACHE, local + "\\Microsoft\\Windows\\Temporary Internet Files"},
      {CSIDL_COOKIES, roaming + "\\Microsoft\\Windows\\Cookies"},
      {CSIDL_HISTORY, local + "\\Microsoft\\Windows\\History"},
      {CSIDL_COMMON_APPDATA, common},
      {CSIDL_WINDOWS, windows},
      {CSIDL_SYSTEM, system},
      {CSIDL_PROGRAM_FILES, "C:\\Program Files"},
      {CSIDL_PROFILE, profile},
      {CSIDL_PROGRAM_FILES_COMMON, "C:\\Program Files\\Common Files"},
      {CSIDL_COMMON_TEMPLATES, common + "\\Microsoft\\Windows\\Templates"},
      {CSIDL_COMMON_DOCUMENTS, "C:\\Users\\Public\\Documents"},
  };
}

void FakeSystemInfo::UseXpLayout(const std::string& u) {
  user = u;
  version = {2, 5, 1};
  windows = "C:\\WINDOWS";
  system = windows + "\\system32";
  const std::string profile = "C:\\Documents and Settings\\" + u;
  const std::string all = "C:\\Documents and Settings\\All Users";
  allUsersProfile = all;
  const std::string menu = profile + "\\Start Menu";
  const std::string commonMenu = all + "\\Start Menu";
  folders = {
      {CSIDL_DESKTOP, profile + "\\Desktop"},
      {CSIDL_PROGRAMS, menu + "\\Programs"},
      {CSIDL_PERSONAL, profile + "\\My Documents"},
      {CSIDL_FAVORITES, profile + "\\Favorites"},
      {CSIDL_STARTUP, menu + "\\Programs\\Startup"},
      {CSIDL_RECENT, profile + "\\Recent"},
      {CSIDL_SENDTO, profile + "\\SendTo"},
      {CSIDL_STARTMENU, menu},
      {CSIDL_DESKTOPDIRECTORY, profile + "\\Desktop"},
      {CSIDL_FONTS, windows + "\\Fonts"},
      {CSIDL_TEMPLATES, profile + "\\Templates"},
      {CSIDL_COMMON_STARTMENU, commonMenu},
      {CSIDL_COMMON_PROGRAMS, commonMenu + "\\Programs"},
      {CSIDL_COMMON_STARTUP, commonMenu + "\\Programs\\Startup"},
      {CSIDL_COMMON_DESKTOPDIRECTORY, all + "\\Desktop"},
      {CSIDL_APPDATA, profile + "\\Application Data"},
      {CSIDL_LOCAL_APPDATA, profile + "\\Local Settings\\Application Data"},
      {CSIDL_ALTSTARTUP, menu + "\\Programs\\Startup"},
      {CSIDL_COMMON_ALTSTARTUP, commonMenu + "\\Programs\\Startup"},
      {CSIDL_COMMON_FAVORITES, all + "\\Favorites"},
      {CSIDL_INTERNET_CACHE, profile + "\\Local Settings\\Temporary Internet Files"},
      {CSIDL_COOKIES, profile + "\\Cookies"},
      {CSIDL_HISTORY, profile + "\\Local Settings\\History"},
      {CSIDL_COMMON_APPDATA, all + "\\Application Data"},
      {CSIDL_WINDOWS, windows},
      {CSIDL_SYSTEM, system},
      {CSIDL_PROGRAM_FILES, "C:\\Program Files"},
      {CSIDL_PROFILE, profile},
      {CSIDL_PROGRAM_FILES_COMMON, "C:\\Program Files\\Common Files"},
      {CSIDL_COMMON_TEMPLATES, all + "\\Templates"},
      {CSIDL_COMMON_DOCUMENTS, all + "\\Documents"},
  };
}

}  // namespace kx::fakes
