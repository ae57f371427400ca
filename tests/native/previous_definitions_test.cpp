#include "definitions/previous_definitions.h"

#include <functional>
#include <map>
#include <optional>

#include <gtest/gtest.h>

#include "fakes/fake_files.h"

namespace kx {
namespace {

const std::string kData = "C:\\Data";
using Set = std::map<std::string, std::optional<std::string>>;  // file name -> bytes, nullopt absent

const std::vector<std::string> kNames = {"FileDefinition.dat", "DirectoryDefinition.dat", "RegistryDefinition.dat",
                                         "ExeDefinition.dat",  "BlockedCookies.dat",      "Safety.dat",
                                         "date.dat"};

// The set before an update, and after it: some files rewritten, one added, the date moved on.
Set Before(bool withDate) {
  Set s;
  for (const auto& n : kNames) s[n] = "old " + n + "\r\n\x81\xff";
  s["BlockedCookies.dat"] = std::nullopt;
  s["date.dat"] = withDate ? std::optional<std::string>("1/15/2026\r\n") : std::nullopt;
  return s;
}
Set After() {
  Set s = Before(true);
  s["FileDefinition.dat"] = *s["FileDefinition.dat"] + "new line\r\n";
  s["BlockedCookies.dat"] = "added by the update\r\n";
  s["date.dat"] = "2/1/2026 3:04:05 PM\r\n";
  return s;
}

struct Fixture {
  fakes::FakeFileSystem files;
  PreviousDefinitions prev{files, kData};

  Fixture() { files.AddFolder(kData); }
  void Put(const Set& s) {
    for (const auto& [n, bytes] : s) {
      (void)files.DeleteFile(kData + "\\" + n);  // some sets lack this file
      if (bytes) files.AddFile(kData + "\\" + n, *bytes);
    }
  }
  Set Now() {
    Set s;
    for (const auto& n : kNames) s[n] = files.ReadFile(kData + "\\" + n);
    return s;
  }
  // What the data folder holds besides the set: the one previous set and nothing half done.
  std::vector<std::string> Others() {
    std::vector<std::string> out;
    for (const FileEntry& e : files.Find(kData + "\\*")) {
      bool inSet = false;
      for (const auto& n : kNames) inSet = inSet || n == e.name;
      if (!inSet) out.push_back(e.name);
    }
    return out;
  }
  // A Live Update that changes the set: kept, replaced, committed.
  void Update(const Set& to) {
    ASSERT_TRUE(prev.Stage());
    Put(to);
    ASSERT_TRUE(prev.Commit());
  }
};

struct Case {
  const char* name;
  bool withDate;
  std::function<void(Fixture&)> act;
  Set expected;  // the set in the data folder afterwards
  bool previousLeft;
  std::vector<std::string> others;
};

TEST(PreviousDefinitionsTest, UndoBringsBackTheReplacedSetWhole) {
  const std::vector<std::string> kept = {"PreviousDefinitions"};
  const std::vector<Case> cases = {
      {"undo after an update: byte for byte, the previous set used up", true,
       [](Fixture& f) {
         f.Update(After());
         ASSERT_TRUE(f.prev.Available());
         const auto r = f.prev.Undo();
         EXPECT_TRUE(r.ok) << r.error;
         EXPECT_EQ(r.date, "1/15/2026");
       },
       Before(true), false, {}},
      {"a set without date.dat: the date the update wrote goes again", false,
       [](Fixture& f) {
         f.Update(After());
         const auto r = f.prev.Undo();
         EXPECT_TRUE(r.ok) << r.error;
         EXPECT_EQ(r.date, "3/16/2006 12:00:00 AM");
       },
       Before(false), false, {}},
      {"two updates keep one previous set, the one the last replaced", true,
       [](Fixture& f) {
         f.Update(After());
         Set third = After();
         third["Safety.dat"] = "third\r\n";
         f.Update(third);
         EXPECT_EQ(f.Others(), std::vector<std::string>{"PreviousDefinitions"});
         EXPECT_TRUE(f.prev.Undo().ok);
       },
       After(), false, {}},
      {"an update that changed nothing keeps nothing", true,
       [](Fixture& f) {
         ASSERT_TRUE(f.prev.Stage());
         f.prev.Discard();
         EXPECT_FALSE(f.prev.Available());
         EXPECT_FALSE(f.prev.Undo().ok);
       },
       Before(true), false, {}},
      {"a full disk while keeping: no half set, the update itself goes on", true,
       [](Fixture& f) {
         f.files.writeFailure = 112;
         EXPECT_FALSE(f.prev.Stage());
         f.files.writeFailure = 0;
         f.Put(After());
         f.prev.Forget();
       },
       After(), false, {}},
      {"undo that cannot replace a file in use puts every file back and keeps the previous set", true,
       [](Fixture& f) {
         f.Update(After());
         f.files.SetInUse(kData + "\\Safety.dat");
         const auto r = f.prev.Undo();
         EXPECT_FALSE(r.ok);
         EXPECT_NE(r.error.find("Safety.dat"), std::string::npos) << r.error;
         f.files.SetInUse(kData + "\\Safety.dat", false);
       },
       After(), true, kept},
      {"undo stopped half way (a full disk before the journal) changes nothing", true,
       [](Fixture& f) {
         f.Update(After());
         // The previous set is read, the copies beside the files cannot be written.
         f.files.writeFailure = 112;
         EXPECT_FALSE(f.prev.Undo().ok);
         f.files.writeFailure = 0;
       },
       After(), true, kept},
      {"the program stopped in the middle of an undo: the next start takes it back", true,
       [](Fixture& f) {
         f.Update(After());
         // As an undo leaves things after two of its renames: the journal written, one file
         // moved aside, its copy from the previous set in its place.
         std::string journal;
         for (const auto& n : kNames) {
           const bool cur = f.files.ReadFile(kData + "\\" + n).has_value();
           const bool prev = Before(true).at(n).has_value();
           journal += n + "|" + (cur ? "1" : "0") + "|" + (prev ? "1" : "0") + "\r\n";
           if (prev) f.files.AddFile(kData + "\\" + n + ".undo", *Before(true).at(n));
         }
         f.files.AddFile(kData + "\\UndoDefinitions.dat", journal);
         ASSERT_TRUE(f.files.MoveFile(kData + "\\FileDefinition.dat", kData + "\\FileDefinition.dat.cur"));
         ASSERT_TRUE(f.files.MoveFile(kData + "\\FileDefinition.dat.undo", kData + "\\FileDefinition.dat"));
         PreviousDefinitions(f.files, kData).Recover();
       },
       After(), true, kept},
      {"stopped after the undo was done, before tidying: the undone set stays, nothing else", true,
       [](Fixture& f) {
         f.Update(After());
         f.Put(Before(true));
         for (const auto& n : {"FileDefinition.dat", "Safety.dat"}) f.files.AddFile(kData + "\\" + n + ".cur", "x");
         PreviousDefinitions(f.files, kData).Recover();
       },
       Before(true), false, {}},
      {"stopped between the update and keeping its set: the next start keeps it", true,
       [](Fixture& f) {
         ASSERT_TRUE(f.prev.Stage());
         f.Put(After());
         EXPECT_TRUE(PreviousDefinitions(f.files, kData).Available());
         EXPECT_TRUE(f.prev.Undo().ok);
       },
       Before(true), false, {}},
      {"stopped between the two renames that keep a set", true,
       [](Fixture& f) {
         f.Update(After());
         Set third = After();
         third["Safety.dat"] = "third\r\n";
         ASSERT_TRUE(f.prev.Stage());
         f.Put(third);
         ASSERT_TRUE(f.files.MoveFile(f.prev.Folder(), f.prev.Folder() + ".old"));
         EXPECT_TRUE(PreviousDefinitions(f.files, kData).Undo().ok);
       },
       After(), false, {}},
  };

  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Fixture f;
    f.Put(Before(c.withDate));
    c.act(f);
    EXPECT_EQ(f.Now(), c.expected);
    EXPECT_EQ(f.prev.Available(), c.previousLeft);
    EXPECT_EQ(f.Others(), c.others);
  }
}

}  // namespace
}  // namespace kx
