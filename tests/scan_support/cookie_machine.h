// A cookies folder for the cookie phase's benchmarks: Internet Explorer cookie files, a
// hidden index.dat, and BlockedCookies.dat in the data folder, planted through whatever
// file system is given (the fakes, or Windows under Wine).
#pragma once

#include <string>

#include "definitions/codec.h"
#include "platform/services.h"
#include "must.h"

namespace kx::scanbench {

struct CookieMachine {
  long cookieFiles = 0;  // index.dat included
  long blockedEntries = 0;
  long blockedCookies = 0;  // cookies whose domain is blocked
};

// Creates the folder and its missing parents.
inline void CreateFolders(FileSystem& files, const std::string& path) {
  for (size_t cut = path.find('\\', 3); cut != std::string::npos; cut = path.find('\\', cut + 1))
    (void)files.CreateFolder(path.substr(0, cut));  // a parent may be there already
  (void)files.CreateFolder(path);
  if (!files.FolderExists(path)) throw std::runtime_error("folder " + path + " not made");
}

// `cookies` files, one in every fifty from a blocked site; `entries` blocked sites, a
// quarter of them written with a leading "*".
inline CookieMachine BuildCookieMachine(FileSystem& files, const std::string& cookiesFolder,
                                        const std::string& dataFolder, long cookies, long entries) {
  CookieMachine m;
  CreateFolders(files, cookiesFolder);
  CreateFolders(files, dataFolder);
  test_support::Must(files.WriteFile(cookiesFolder + "\\index.dat", std::string(16384, '\0')), "WriteFile");
  test_support::Must(files.SetAttributes(cookiesFolder + "\\index.dat", FA_HIDDEN | FA_SYSTEM), "SetAttributes");
  m.cookieFiles = 1;
  for (long i = 0; i < cookies; ++i) {
    const bool blocked = i % 50 == 0 && i / 50 < entries;
    std::string site = blocked ? "tracker" + std::to_string(i / 50) : "site" + std::to_string(i);
    std::string body;
    for (int c = 0; c < 3; ++c)
      body += "id" + std::to_string(c) + "\n" + std::to_string(i * 7 + c) + ",a\nwww." + site +
              ".com/\n1536\n2916958208\n30127115\n3806725072\n29875001\n*\n";
    test_support::Must(files.WriteFile(cookiesFolder + "\\bench@www." + site + "[1].txt", body), "WriteFile");
    m.cookieFiles += 1;
    m.blockedCookies += blocked;
  }
  std::string list;
  for (long j = 0; j < entries; ++j)
    list += EncodeDefinitionLine((j % 4 == 0 ? "*tracker" : "tracker") + std::to_string(j) + ".com") + "\r\n";
  test_support::Must(files.WriteFile(dataFolder + "\\BlockedCookies.dat", list), "WriteFile");
  m.blockedEntries = entries;
  return m;
}

}  // namespace kx::scanbench
