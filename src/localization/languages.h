// The language engine: the message table every shown text comes from, and applying a
// language from Localization.txt to a window.
#pragma once

#include <string>
#include <vector>

#include "platform/forms/form.h"
#include "platform/services.h"

namespace kx {

// Read once at start-up from the program's own version resource.
struct Branding {
  std::string productName = "Kestrix";
  std::string companyName = "Kestrix Labs";
  std::string website = "http://www.kestrix.example";
  int productNumber = 21;
};

class clsLanguages {
 public:
  // programFolder: where Localization.txt lives (no trailing "\").
  clsLanguages(FileSystem& files, std::string programFolder, Branding branding);

  void setMessage(const std::string& strName, const std::string& strMessage);
  // The message's text with the branding placeholders filled in, or "".
  std::string getMessages(const std::string& strName) const;
  // Fills the table with the built-in English texts, in slot order.
  void LoadBuiltInMessages();

  void ChangeLanguage(ui::Form& myForm, const std::string& strLang);
  void ChangeLanguageMDI(ui::Form& myForm, const std::string& strLang);
  int ListLanguages();
  bool LangFileExists(const std::string& asPath);
  std::string LangTrimPath(const std::string& asPath);
  // Writes Localization.txt's English block from these windows' controls.
  void makeLocalizationFile(const std::vector<ui::Form*>& forms);

  const std::string& CurrentLanguage() const { return currentLanguage_; }
  const Branding& branding() const { return branding_; }

 private:
  void LoadLanguage(const std::string& strLang);
  std::string GetTranslation(const std::string& key) const;

  struct Slot {
    std::string key, text;
    bool used = false;
  };
  FileSystem& files_;
  std::string programFolder_;
  Branding branding_;
  std::vector<Slot> slots_ = std::vector<Slot>(201);
  std::vector<std::string> itemLines_;
  std::string currentLanguage_ = "English";
};

}  // namespace kx
