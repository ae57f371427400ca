#include "localization/localization_file.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "fakes/fake_signatures.h"
#include "fakes/package_signing.h"
#include "localization/language_download.h"

namespace kx {
namespace {

using Lines = std::vector<std::string>;

const char* const kTwoLanguages =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
    "<XML_DIZ_INFO>\r\n"
    "<language_group xml:lang=\"en\">\r\n"
    "\t<Language_Name>English</language_name>\r\n"
    "\t<translation_items>\r\n"
    "\t\t<FRMMAIN_CMDSCAN>Scan Now</FRMMAIN_CMDSCAN>\r\n"
    "\t</Translation_Items>\r\n"
    "</Language_group>\r\n"
    "<LANGUAGE_GROUP xml:lang=\"de\">\r\n"
    "\t<LANGUAGE_NAME>Deutsch</LANGUAGE_NAME>\r\n"
    "\t<TRANSLATION_ITEMS>\r\n"
    "\t\t<FRMMAIN_CMDSCAN>Jetzt pr\xFC" "fen</FRMMAIN_CMDSCAN>\r\n"
    "\t\t<MSG_SURE>Sind Sie sicher?</MSG_SURE>\r\n"
    "\t</TRANSLATION_ITEMS>\r\n"
    "</LANGUAGE_GROUP>\r\n"
    "</XML_DIZ_INFO>\r\n";

TEST(LocalizationBlocks, TagsInAnyCaseAndEveryBlockInFileOrder) {
  EXPECT_EQ(LanguageNames(kTwoLanguages), (Lines{"English", "Deutsch"}));
  for (const char* name : {"deutsch", "DEUTSCH", "Deutsch"}) {
    auto lines = FindLanguageItems(kTwoLanguages, name);
    ASSERT_TRUE(lines) << name;
    EXPECT_EQ(LookupItem(*lines, "FRMMAIN_CMDSCAN"), "Jetzt pr\xFC" "fen");
    EXPECT_EQ(LookupItem(*lines, "msg_sure"), "Sind Sie sicher?");
  }
  auto english = FindLanguageItems(kTwoLanguages, "english");
  ASSERT_TRUE(english);
  EXPECT_EQ(LookupItem(*english, "FrmMain_cmdScan"), "Scan Now");
  EXPECT_EQ(LookupItem(*english, "MSG_SURE"), "");
  EXPECT_FALSE(FindLanguageItems(kTwoLanguages, "Fran\xE7" "ais"));
}

// The table a language is looked up in answers every key as reading the lines one by one
// does: the first line of a key wins whatever its case, a closing tag in another case or
// missing gives "", and lines without a key are passed over.
TEST(LocalizationBlocks, ItemTableAnswersAsTheLinesReadInOrder) {
  const Lines odd = {"", "no key here", "<>", "\t\t<Dup>first</Dup>", "<DUP>second</DUP>", "<Mixed>x</MIXED>",
                     "<Open>never closed", "<\xC4nderung>\xE4</\xC4nderung>", "  <Spaced> padded </Spaced>", "<A>1</A><B>2</B>"};
  std::ifstream in(std::string(KESTRIX_SOURCE_DIR) + "/packaging/Localization.txt", std::ios::binary);
  const std::string shipped((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<Lines> sets = {odd};
  for (const std::string& language : LanguageNames(shipped))
    if (auto lines = FindLanguageItems(shipped, language)) sets.push_back(*lines);
  ASSERT_GE(sets.size(), 4u) << "the shipped file's three languages";
  for (const Lines& lines : sets) {
    const ItemTable table(lines);
    std::vector<std::string> keys = {"dup", "DUP", "Dup", "mixed", "Mixed", "open", "\xE4nderung", "spaced", "a", "b",
                                     "missing", ""};
    for (const std::string& line : lines)
      if (auto k = ItemKey(line)) keys.insert(keys.end(), {*k, LowerAnsi(*k), UpperAnsi(*k)});
    for (const std::string& key : keys) EXPECT_EQ(table.Lookup(key), LookupItem(lines, key)) << key;
  }
}

TEST(LocalizationBlocks, MalformedBlocksAreSkippedAndTheRestStillRead) {
  const std::string good = "<LANGUAGE_GROUP><LANGUAGE_NAME>Good</LANGUAGE_NAME>"
                           "<TRANSLATION_ITEMS>\r\n\t\t<K1>v</K1>\r\n</TRANSLATION_ITEMS></LANGUAGE_GROUP>";
  // No name, no items section, a stray closing tag: each skipped, the good block found.
  EXPECT_EQ(LanguageNames("<LANGUAGE_GROUP><TRANSLATION_ITEMS></TRANSLATION_ITEMS></LANGUAGE_GROUP>" + good),
            Lines{"Good"});
  EXPECT_EQ(LanguageNames("<LANGUAGE_GROUP><LANGUAGE_NAME>NoItems</LANGUAGE_NAME></LANGUAGE_GROUP>" + good),
            Lines{"Good"});
  EXPECT_EQ(LanguageNames("</LANGUAGE_GROUP>" + good), Lines{"Good"});
  // A block that never closes ends the search.
  EXPECT_EQ(LanguageNames(good + "<LANGUAGE_GROUP><LANGUAGE_NAME>Open</LANGUAGE_NAME>"), Lines{"Good"});
  EXPECT_TRUE(LanguageNames("").empty());
  EXPECT_TRUE(LanguageNames("<LANGUAGE_GROUP").empty());
  // A name on its own lines is trimmed, and the first block of a name wins.
  const std::string dup = "<LANGUAGE_GROUP><LANGUAGE_NAME>\r\n\tGood \r\n</LANGUAGE_NAME>"
                          "<TRANSLATION_ITEMS>\r\n\t\t<K1>first</K1>\r\n</TRANSLATION_ITEMS></LANGUAGE_GROUP>";
  auto lines = FindLanguageItems(dup + good, "good");
  ASSERT_TRUE(lines);
  EXPECT_EQ(LookupItem(*lines, "K1"), "first");
}

TEST(LocalizationItems, KeyAndValueRules) {
  const Lines lines = {
      "",
      "<A>one letter unindented</A>",                  // part before ">" is 2 characters
      "\t\t<MSG_X>text</MSG_X> trailing <MSG_X>no</MSG_X>",
      "\t\t<MSG_GT>Start > Programs > Tools</MSG_GT>",  // ">" inside the value
      "\t\t<msg_case>mixed</MSG_CASE>",
      "\t\t<MSG_OPEN>never closed",
      "\t\t<MSG_OPEN>second line with the key</MSG_OPEN>",
      "\t\t<MSG_EMPTY></MSG_EMPTY>",
      "\t<B>indented one letter</B>",
      "no tag at all",
  };
  EXPECT_EQ(LookupItem(lines, "A"), "");
  EXPECT_EQ(LookupItem(lines, "B"), "indented one letter");
  EXPECT_EQ(LookupItem(lines, "MSG_X"), "text");
  EXPECT_EQ(LookupItem(lines, "MSG_GT"), "Start > Programs > Tools");
  EXPECT_EQ(LookupItem(lines, "MSG_CASE"), "mixed");
  EXPECT_EQ(LookupItem(lines, "MSG_OPEN"), "");  // the first line with the key decides
  EXPECT_EQ(LookupItem(lines, "MSG_EMPTY"), "");
  EXPECT_EQ(LookupItem(lines, "MSG_NONE"), "");
  EXPECT_EQ(ItemKey("\t\t<KEY>v</KEY>"), "KEY");
  EXPECT_EQ(ItemKey("<A>v</A>"), std::nullopt);
  EXPECT_EQ(ItemKey("no tag at all"), std::nullopt);
}

TEST(LocalizationItems, LinesEndAtCrLfOrBareLf) {
  EXPECT_EQ(SplitItemLines("\r\n\t\t<A1>x</A1>\r\n\t"), (Lines{"", "\t\t<A1>x</A1>", "\t"}));
  EXPECT_EQ(SplitItemLines("a\nb\r\nc"), (Lines{"a", "b", "c"}));
  EXPECT_EQ(SplitItemLines(""), Lines{""});
  EXPECT_EQ(SplitItemLines("a\rb"), Lines{"a\rb"});  // a lone CR does not end a line
}

TEST(LocalizationKeys, EveryControlKind) {
  using K = std::vector<std::string>;
  auto keys = [](const char* type, const char* name, int index = -1, size_t tabs = 0, size_t cols = 0,
                 size_t entries = 0, bool lower = false) {
    K out;
    for (const auto& k : ControlItemKeys("FrmMain", type, name, index, tabs, cols, entries, lower))
      out.push_back(k.key);
    return out;
  };
  for (const char* t : {"Label", "CommandButton", "SkinLabel", "Frame", "CheckBox"})
    EXPECT_EQ(keys(t, "cmdScan"), K{"FrmMain_cmdScan"}) << t;
  EXPECT_EQ(keys("CommandButton", "cmdScan", 3), K{"FrmMain_cmdScan"});  // arrays do not matter here
  EXPECT_EQ(keys("TabStrip", "TabStrip1", -1, 2), (K{"FrmMain_TabStrip1_TABS1", "FrmMain_TabStrip1_TABS2"}));
  EXPECT_EQ(keys("ListView", "lvwSpywareFound", -1, 0, 3),
            (K{"FrmMain_lvwSpywareFound_COL1", "FrmMain_lvwSpywareFound_COL2", "FrmMain_lvwSpywareFound_COL3"}));
  EXPECT_TRUE(keys("ListView", "lvwHardDrives").empty());
  EXPECT_EQ(keys("OptionButton", "optScan", 1), K{"FrmMain_optScan1"});
  // Outside an array it has an item of its plain name, so its caption translates too.
  EXPECT_EQ(keys("OptionButton", "optScan"), K{"FrmMain_optScan"});
  EXPECT_EQ(keys("Menu", "mnuDebugItem", 2), K{"FrmMain_mnuDebugItem2"});
  EXPECT_EQ(keys("Menu", "mnuDebug"), K{"FrmMain_mnuDebug0"});
  // A combo box's list entries, one item each; only a combo box has them.
  EXPECT_EQ(keys("ComboBox", "cmbDays", -1, 0, 0, 2), (K{"FrmMain_cmbDays_LIST1", "FrmMain_cmbDays_LIST2"}));
  EXPECT_TRUE(keys("ComboBox", "cmbDays").empty());
  for (const char* t : {"TextBox", "Timer", "ProgressBar", "PictureBox", "label", ""})
    EXPECT_TRUE(keys(t, "x", 1, 2, 2, 2).empty()) << t;
  // Lower-case comparison accepts the type names as MDI children report them.
  EXPECT_EQ(keys("label", "lbl", -1, 0, 0, 0, true), K{"FrmMain_lbl"});
  EXPECT_EQ(keys("MENU", "mnuFile", -1, 0, 0, 0, true), K{"FrmMain_mnuFile0"});
  EXPECT_EQ(keys("combobox", "cmbDays", -1, 0, 0, 1, true), K{"FrmMain_cmbDays_LIST1"});

  auto tab = ControlItemKeys("FrmMain", "TabStrip", "TabStrip1", -1, 2, 0, 0)[1];
  EXPECT_EQ(tab.target, ItemTarget::Tab);
  EXPECT_EQ(tab.n, 2u);
  EXPECT_EQ(UpperAnsi(tab.key), "FRMMAIN_TABSTRIP1_TABS2");
  auto entry = ControlItemKeys("FrmMain", "ComboBox", "cmbDays", -1, 0, 0, 10)[9];
  EXPECT_EQ(entry.target, ItemTarget::ListEntry);
  EXPECT_EQ(entry.n, 10u);
  EXPECT_EQ(UpperAnsi(entry.key), "FRMMAIN_CMBDAYS_LIST10");
}

TEST(LocalizationWriter, ExactLinesWithCrLfAndTabs) {
  const std::string file = LocalizationHeader() + LocalizationItem("FrmMain_cmdScan", "Scan Now") +
                           LocalizationItem("msg_sure", "Are you sure?") + LocalizationFooter();
  EXPECT_EQ(file.find("\n"), file.find("\r\n") + 1);
  for (size_t p = file.find('\n'); p != std::string::npos; p = file.find('\n', p + 1))
    ASSERT_EQ(file[p - 1], '\r') << "bare LF at " << p;
  Lines lines;
  for (const auto& l : SplitItemLines(file)) lines.push_back(l);
  ASSERT_EQ(lines.size(), 15u);
  EXPECT_EQ(lines[0], "<?xml version=\"1.0\" encoding=\"UTF-8\"?>");
  EXPECT_EQ(lines[1], "<XML_DIZ_INFO>");
  EXPECT_EQ(lines[2], "\t<LOCALIZATION_FILE_INFO>");
  EXPECT_EQ(lines[3], "\t\t<LOCALIZATION_FILE_VERSION>1.0</LOCALIZATION_FILE_VERSION>");
  EXPECT_EQ(lines[4], "\t</LOCALIZATION_FILE_INFO>");
  EXPECT_EQ(lines[5], "<LANGUAGE_GROUP xml:lang=\"en\">");
  EXPECT_EQ(lines[6], "\t<LANGUAGE_NAME>English</LANGUAGE_NAME>");
  EXPECT_EQ(lines[7],
            "\t<DESCRIPTION>This file contains various translations of program buttons, messages and menus in "
            "XML format.  The original document was created using translation software, and may sound "
            "strange when read by people.  We invite you to make modifications to existing languages and "
            "translate new languages.  Please send them to us so that we can update this file and make your "
            "translation available to all users.  Our current email address is located on our homepage "
            "which can be visited through the software or our program folder on your Start Menu.  Before "
            "making changes to a localization file please use the program to download the most recent "
            "localization file using the 'Check for Language Updates' button in the Languages "
            "window.</DESCRIPTION>");
  EXPECT_EQ(lines[8], "\t<TRANSLATION_ITEMS>");
  EXPECT_EQ(lines[9], "\t\t<FRMMAIN_CMDSCAN>Scan Now</FRMMAIN_CMDSCAN>");
  EXPECT_EQ(lines[10], "\t\t<MSG_SURE>Are you sure?</MSG_SURE>");
  EXPECT_EQ(lines[11], "\t</TRANSLATION_ITEMS>");
  EXPECT_EQ(lines[12], "</LANGUAGE_GROUP>");
  EXPECT_EQ(lines[13], "</XML_DIZ_INFO>");
  EXPECT_EQ(lines[14], "");

  // What it writes, the reader reads back.
  EXPECT_EQ(LanguageNames(file), Lines{"English"});
  auto items = FindLanguageItems(file, "English");
  ASSERT_TRUE(items);
  EXPECT_EQ(LookupItem(*items, "FrmMain_cmdScan"), "Scan Now");
  EXPECT_EQ(LookupItem(*items, "MSG_SURE"), "Are you sure?");
}

TEST(AnsiText, CaseFoldingCoversTheAccentedLetters) {
  EXPECT_TRUE(EqualsNoCase("FRAN\xC7" "AIS", "fran\xE7" "ais"));
  EXPECT_TRUE(EqualsNoCase("\x8A\x8C\x8E\x9F", "\x9A\x9C\x9E\xFF"));  // Š Œ Ž Ÿ
  EXPECT_FALSE(EqualsNoCase("\xD7", "\xF7"));  // × and ÷ are not a letter pair
  EXPECT_FALSE(EqualsNoCase("abc", "abcd"));
  EXPECT_EQ(UpperFirst("\xE9t\xE9"), "\xC9t\xE9");  // été -> Été
  EXPECT_EQ(UpperFirst("\xDF"), "\xDF");            // ß has no single-letter capital
  EXPECT_EQ(UpperFirst(""), "");
  EXPECT_EQ(FindNoCase("ab</Language_Group>", "</LANGUAGE_GROUP>"), 2u);
  EXPECT_EQ(FindNoCase("abc", "C", 3), std::string::npos);
  EXPECT_EQ(FindNoCase("abc", "abcd"), std::string::npos);
  EXPECT_EQ(FindNoCase("abc", "", 1), 1u);
  EXPECT_EQ(FindNoCase("abc", "a", 9), std::string::npos);
}

TEST(AnsiText, Utf8ConversionBothWays) {
  std::string all;
  for (int b = 1; b < 256; ++b) all += static_cast<char>(b);
  EXPECT_EQ(Utf8ToAnsi(AnsiToUtf8(all)), all);
  EXPECT_EQ(AnsiToUtf8("\x80\xFC"), "\xE2\x82\xAC\xC3\xBC");  // € ü
  EXPECT_EQ(Utf8ToAnsi("\xEF\xBB\xBFGr\xC3\xBC\xC3\x9F" "e \xE2\x80\x9Equoted\xE2\x80\x9C"),
            "Gr\xFC\xDF" "e \x84quoted\x93");
  EXPECT_EQ(Utf8ToAnsi("\xD0\x96"), "?");              // a Cyrillic letter: not in 1252
  EXPECT_EQ(Utf8ToAnsi("\xF0\x9F\x98\x80!"), "?!");    // beyond the BMP
  EXPECT_EQ(Utf8ToAnsi("\xC0\xAF" "a"), "??a");        // overlong
  EXPECT_EQ(Utf8ToAnsi("\xED\xA0\x80"), "???");        // a surrogate
  EXPECT_EQ(Utf8ToAnsi("\xC3"), "?");                  // cut short
  EXPECT_EQ(Utf8ToAnsi("\xE2\x82x"), "??x");           // bad continuation: retried bytewise
}

TEST(LocalizationPaths, TrimPath) {
  EXPECT_EQ(LangTrimPath(""), "");
  EXPECT_EQ(LangTrimPath("C:\\Program Files\\Kestrix\\Localization.txt"), "Localization.txt");
  EXPECT_EQ(LangTrimPath("Localization.txt"), "Localization.txt");
  EXPECT_EQ(LangTrimPath("C:\\dir\\"), "");
}

TEST(LanguageDownload, OnlyAFileSignedWholeByATrustedKeyIsTaken) {
  const testsign::SigningKey& trusted = testsign::DevKey();
  const testsign::SigningKey& stranger = testsign::OtherKey();
  const TrustedKeyList keys = {trusted.Public()};
  fakes::FakeSignatures signatures;
  const std::string text = kTwoLanguages;
  const std::string good = trusted.Language(text);
  std::string changed = good;
  changed.replace(changed.find("Scan Now"), 8, "Scan Now!");
  const std::string line = good.substr(text.size());
  // Another key's signature under the trusted key's name.
  std::string misnamed = stranger.Language(text);
  misnamed.replace(misnamed.find(stranger.KeyId()), 16, trusted.KeyId());
  const std::string marked = trusted.Language("\xEF\xBB\xBF" + text);
  const std::string errorPage = trusted.Language("<html>404 <LANGUAGE_GROUP></html>\r\n");
  struct Case {
    const char* what;
    std::string answer;
    std::string stored;  // empty: refused, with `reason` in the reason
    std::string reason;
  };
  const std::vector<Case> cases = {
      {"signed", good, good + "\r\n", ""},
      {"signed behind a byte-order mark", marked, marked.substr(3) + "\r\n", ""},
      {"without the last line end", good.substr(0, good.size() - 2), good.substr(0, good.size() - 2) + "\r\n", ""},
      {"a text changed", changed, "", "does not verify"},
      {"a text added after the signature", good + "<!-- more -->\r\n", "", "not signed"},
      {"the mark added after signing", "\xEF\xBB\xBF" + good, "", "does not verify"},
      {"signature line missing", text, "", "not signed"},
      {"signature line alone", line, "", "no language block"},
      {"unknown key", stranger.Language(text), "", stranger.KeyId()},
      {"another key under a trusted name", misnamed, "", "does not verify"},
      {"a field missing", text + "<!-- KXSIG|" + trusted.KeyId() + " -->\r\n", "", "malformed"},
      {"a signed error page", errorPage, "", "no language block"},
  };
  for (const Case& t : cases) {
    std::string why;
    const std::optional<std::string> stored = AcceptLocalizationDownload(t.answer, keys, signatures, &why);
    EXPECT_EQ(stored.value_or(""), t.stored) << t.what << ": " << why;
    if (t.stored.empty()) EXPECT_NE(why.find(t.reason), std::string::npos) << t.what << ": " << why;
  }
  // The reader finds the same languages in the stored file: the line is outside every block.
  const std::string stored = AcceptLocalizationDownload(good, keys, signatures).value_or("");
  EXPECT_EQ(LanguageNames(stored), (Lines{"English", "Deutsch"}));
  EXPECT_EQ(FindLanguageItems(stored, "Deutsch"), FindLanguageItems(text, "Deutsch"));
}

}  // namespace
}  // namespace kx
