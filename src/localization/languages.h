// The language engine: the message table every shown text comes from, and applying a
// language from Localization.txt to a window.
#pragma once

#include <cstddef>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/branding.h"
#include "localization/localization_file.h"
#include "platform/forms/form.h"
#include "platform/services.h"

namespace kx {

class clsLanguages {
 public:
  static constexpr size_t kSlots = 201;

  // programFolder: where Localization.txt lives (no trailing "\"). userFolder: the user's
  // data folder, where a copy the user may edit is kept; "" for none.
  clsLanguages(FileSystem& files, std::string programFolder, Branding branding, std::string userFolder = {});

  // Into the first free slot, without looking for the key; dropped when the table is full.
  void setMessage(const std::string& strName, const std::string& strMessage);
  // The message's text (key ignoring case) with the branding placeholders filled in and
  // its first letter in upper case, or "" for a key not in the table.
  std::string getMessages(const std::string& strName) const;
  // Fills the table with the built-in English texts, in slot order.
  void LoadBuiltInMessages();

  // Loads strLang (falling back to English when that leaves no items) and sets the
  // captions of myForm's controls and the message texts from it. Anything without an
  // item keeps its text.
  void ChangeLanguage(ui::Form& myForm, const std::string& strLang);
  // The same, with the control type names compared in lower case.
  void ChangeLanguageMDI(ui::Form& myForm, const std::string& strLang);
  // Does nothing; always 0 (the language window reads LanguageNames instead).
  int ListLanguages();
  bool LangFileExists(const std::string& asPath);
  std::string LangTrimPath(const std::string& asPath);
  // Writes Localization.txt anew: one English block with the current captions of these
  // windows' controls (in the order given) and the current message texts. The caller
  // loads the windows it wants included. False when the file could not be written.
  [[nodiscard]] bool makeLocalizationFile(const std::vector<ui::Form*>& forms);

  // The language names Localization.txt offers, in file order; empty without a file.
  std::vector<std::string> LanguageNames();
  // The program's own file, which downloads replace and the writer writes.
  std::string LocalizationPath() const { return programFolder_ + "\\Localization.txt"; }
  // The user's copy; "" without a data folder.
  std::string UserLocalizationPath() const;
  // The file that is read: the user's copy when it is newer than the program's file and
  // whole, else the program's file.
  std::string ReadablePath();
  // The file to open for translating: the user's copy, made anew from the program's file
  // when there is none or the program's is newer (a standard user cannot save into the
  // program folder). The program's file when no copy can be made; "" when neither exists.
  std::string MakeUserCopy();
  // Fills in "[ProgramName]", "[CompanyName]" (also written "[Company]") and "[Website]",
  // ignoring case.
  std::string ExpandBranding(const std::string& text) const;

  const std::string& CurrentLanguage() const { return currentLanguage_; }
  const Branding& branding() const { return branding_; }
  size_t itemLineCount() const { return items_->lines().size(); }

 private:
  void LoadLanguage(const std::string& strLang);
  // The item's text with the placeholders filled in and its first letter in upper case.
  std::string GetTranslation(const std::string& key) const;
  void Translate(ui::Form& myForm, const std::string& strLang, bool lowerCaseTypes);
  std::string ReadLocalizationText();
  std::optional<FileEntry> Entry(const std::string& path);

  struct Slot {
    std::string key, text;  // text as given, placeholders kept
    bool used = false;
  };
  FileSystem& files_;
  std::string programFolder_;
  Branding branding_;
  std::string userFolder_;
  std::vector<Slot> slots_ = std::vector<Slot>(kSlots);
  std::shared_ptr<const ItemTable> items_ = std::make_shared<const ItemTable>();  // ANSI; shared with parsed_
  // The file's text last read and its languages' items as found in it: every window takes
  // the language in turn, and the file is parsed again only when it changed.
  std::string readText_;
  std::map<std::string, std::shared_ptr<const ItemTable>> parsed_;  // null: not in the file
  std::string currentLanguage_ = "English";
};

}  // namespace kx
