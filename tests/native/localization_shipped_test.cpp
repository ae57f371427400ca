// The Localization.txt that ships: well formed, and every translation complete.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <sstream>

#include "fakes/fake_files.h"
#include "localization/languages.h"
#include "localization/localization_file.h"
#include "localization/messages.h"
#include "platform/forms/headless.h"

namespace kx {
namespace {

std::string Shipped() {
  std::ifstream in(std::string(KESTRIX_SOURCE_DIR) + "/packaging/Localization.txt", std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// key -> text, in the file's order of first appearance.
std::vector<std::pair<std::string, std::string>> Items(const std::string& text, const std::string& language) {
  std::vector<std::pair<std::string, std::string>> out;
  auto lines = FindLanguageItems(text, language);
  if (!lines) return out;
  for (const auto& line : *lines)
    if (auto key = ItemKey(line)) out.emplace_back(*key, LookupItem({line}, *key));
  return out;
}

size_t Count(const std::string& s, char c) { return static_cast<size_t>(std::count(s.begin(), s.end(), c)); }

TEST(ShippedLocalization, WellFormedUtf8WithCrLfAndThreeLanguages) {
  const std::string bytes = Shipped();
  ASSERT_FALSE(bytes.empty());
  // Valid UTF-8 holding only characters an ANSI (1252) system can show: it survives the
  // round trip unchanged.
  EXPECT_EQ(AnsiToUtf8(Utf8ToAnsi(bytes)), bytes);
  for (size_t p = bytes.find('\n'); p != std::string::npos; p = bytes.find('\n', p + 1))
    ASSERT_TRUE(p > 0 && bytes[p - 1] == '\r') << "bare LF at byte " << p;
  EXPECT_EQ(bytes.rfind("</XML_DIZ_INFO>\r\n"), bytes.size() - 17);
  EXPECT_EQ(LanguageNames(Utf8ToAnsi(bytes)), (std::vector<std::string>{"English", "Deutsch", "Fran\xE7" "ais"}));
}

TEST(ShippedLocalization, EveryCaptionAndMessageIsTranslated) {
  const std::string text = Utf8ToAnsi(Shipped());
  const auto english = Items(text, "English");
  ASSERT_GT(english.size(), 200u);
  for (const auto& m : BuiltInMessages())
    EXPECT_TRUE(std::any_of(english.begin(), english.end(), [&](auto& i) { return i.first == m.key; })) << m.key;

  for (const char* language : {"Deutsch", "Fran\xE7" "ais"}) {
    const auto items = Items(text, language);
    std::map<std::string, std::string> byKey(items.begin(), items.end());
    EXPECT_EQ(items.size(), english.size()) << language;
    size_t differing = 0, translatable = 0;
    for (const auto& [key, en] : english) {
      auto it = byKey.find(key);
      ASSERT_NE(it, byKey.end()) << language << " lacks " << key;
      const std::string& tr = it->second;
      EXPECT_EQ(tr.empty(), en.empty()) << language << " " << key;
      // Placeholders and the brackets that join message fragments survive translation.
      EXPECT_EQ(Count(tr, '['), Count(en, '[')) << language << " " << key << ": " << tr;
      EXPECT_EQ(Count(tr, ']'), Count(en, ']')) << language << " " << key << ": " << tr;
      // The first letter of a text is shown in upper case: a web address must not lead.
      EXPECT_NE(FindNoCase(tr, "[Website]"), 0u) << language << " " << key;
      for (const char* ph : {"[ProgramName]", "[Website]"})
        EXPECT_EQ(FindNoCase(tr, ph) == std::string::npos, FindNoCase(en, ph) == std::string::npos)
            << language << " " << key;
      if (en.size() > 3) {
        ++translatable;
        differing += tr != en;
      }
    }
    // Names and numbers stay; real sentences do not.
    EXPECT_GT(differing * 10, translatable * 9) << language << ": " << differing << " of " << translatable;
  }
}

TEST(ShippedLocalization, TheEngineAppliesEachLanguage) {
  fakes::FakeFileSystem files;
  const std::string folder = "C:\\Program Files\\Kestrix";
  files.AddFile(folder + "\\Localization.txt", Shipped());
  ui::HeadlessBackend backend;
  ui::Form form("FrmMain", backend);
  form.Add(ui::ControlType::CommandButton, "cmdScan").set_caption("Scan Now");
  form.Add(ui::ControlType::TabStrip, "TabStrip1").set_tabs({"a", "b", "c", "d"});

  clsLanguages engine(files, folder, Branding{});
  engine.LoadBuiltInMessages();
  engine.ChangeLanguage(form, "deutsch");
  EXPECT_EQ(form.Get("cmdScan").caption(), "Jetzt pr\xFC" "fen");
  EXPECT_EQ(form.Get("TabStrip1").tabs()[1], "Vorbeugender Schutz");
  EXPECT_EQ(engine.getMessages("MSG_CAPTION"), "Kestrix von Kestrix Labs");
  EXPECT_EQ(engine.getMessages("MSG_TITLELANGUAGE"), "Sprachauswahl");

  engine.ChangeLanguage(form, "FRAN\xC7" "AIS");
  EXPECT_EQ(form.Get("cmdScan").caption(), "Analyser");
  EXPECT_EQ(engine.getMessages("MSG_WEBSITE"), "Visiter http://www.kestrix.example");
  EXPECT_EQ(engine.getMessages("MSG_DOWNLOADED"), "Le fichier de langues le plus r\xE9" "cent a \xE9t\xE9 t\xE9l\xE9" "charg\xE9.");

  engine.ChangeLanguage(form, "English");
  EXPECT_EQ(form.Get("cmdScan").caption(), "Scan Now");
  EXPECT_EQ(form.Get("TabStrip1").tabs()[3], "Auto Update");
  EXPECT_EQ(engine.getMessages("MSG_CAPTION"), "Kestrix by Kestrix Labs");
}

}  // namespace
}  // namespace kx
