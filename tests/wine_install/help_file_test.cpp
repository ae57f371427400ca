// Help.chm as built: an ITSF file that holds every source page whole, whose links and
// contents entries all lead to a stored page, and that lists every page in its contents.
#include <windows.h>

#include <gtest/gtest.h>

#include <cctype>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "wine_gui/exe_support.h"
#include "wine_install/chm_directory.h"

namespace {

using kx::exe_test::WinePath;

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

struct Source {
  std::string name;
  std::string bytes;
};

std::vector<Source> HelpSources() {
  const std::string folder = WinePath(KESTRIX_SOURCE_DIR "/packaging/help");
  std::vector<Source> out;
  WIN32_FIND_DATAA fd;
  HANDLE h = FindFirstFileA((folder + "\\*").c_str(), &fd);
  if (h == INVALID_HANDLE_VALUE) return out;
  do {
    if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
    out.push_back({fd.cFileName, ReadAll(folder + "\\" + fd.cFileName)});
  } while (FindNextFileA(h, &fd));
  FindClose(h);
  return out;
}

bool EndsWith(const std::string& s, const std::string& tail) {
  return s.size() >= tail.size() && Lower(s.substr(s.size() - tail.size())) == tail;
}

// The targets of every attribute="..." of that name: href in pages, value of "Local" params.
std::vector<std::string> Quoted(const std::string& text, const std::string& lead) {
  std::vector<std::string> out;
  for (size_t at = text.find(lead); at != std::string::npos; at = text.find(lead, at)) {
    at += lead.size();
    const size_t end = text.find('"', at);
    if (end == std::string::npos) break;
    out.push_back(text.substr(at, end - at));
  }
  return out;
}

TEST(HelpFile, IsAnItsfFileHoldingEveryPageWhole) {
  const std::vector<Source> sources = HelpSources();
  ASSERT_GE(sources.size(), 10u) << "the help sources were not found";
  const std::string chm = ReadAll(WinePath(KESTRIX_HELP_CHM));
  ASSERT_FALSE(chm.empty()) << KESTRIX_HELP_CHM;
  std::string error;
  auto dir = kx::chm::ReadDirectory(chm, &error);
  ASSERT_TRUE(dir) << error;

  // The viewer needs the system file to open the book at all.
  EXPECT_TRUE(dir->entries.count("/#SYSTEM"));
  size_t pages = 0;
  for (const Source& s : sources) {
    if (EndsWith(s.name, ".hhp")) continue;  // the project is the compiler's input only
    pages += EndsWith(s.name, ".html");
    auto it = dir->entries.find("/" + s.name);
    if (it == dir->entries.end()) {
      ADD_FAILURE() << s.name << " is not in Help.chm";
      continue;
    }
    EXPECT_EQ(it->second, s.bytes.size()) << s.name << " is stored with another length";
  }
  EXPECT_GE(pages, 15u);
}

TEST(HelpFile, EveryLinkAndContentsEntryLeadsToAStoredPageAndEveryPageIsInTheContents) {
  std::string error;
  auto dir = kx::chm::ReadDirectory(ReadAll(WinePath(KESTRIX_HELP_CHM)), &error);
  ASSERT_TRUE(dir) << error;
  std::set<std::string> inContents;
  std::set<std::string> pages;
  for (const Source& s : HelpSources()) {
    std::vector<std::string> targets;
    if (EndsWith(s.name, ".html")) {
      pages.insert(s.name);
      targets = Quoted(s.bytes, "href=\"");
    } else if (EndsWith(s.name, ".hhc") || EndsWith(s.name, ".hhk")) {
      targets = Quoted(s.bytes, "name=\"Local\" value=\"");
      if (EndsWith(s.name, ".hhc")) inContents.insert(targets.begin(), targets.end());
    }
    for (std::string t : targets) {
      if (t.find(':') != std::string::npos) continue;  // web addresses leave the book
      t = t.substr(0, t.find('#'));
      EXPECT_TRUE(dir->entries.count("/" + t)) << s.name << " leads to " << t << ", which is not stored";
    }
  }
  for (const std::string& p : pages) EXPECT_TRUE(inContents.count(p)) << p << " is missing from the contents";
}

}  // namespace
