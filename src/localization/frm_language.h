// The language window: picks the interface language from those Localization.txt offers,
// fetches the newest file from the language server, and opens the file for translating.
// What it needs of the rest of the program (the settings, the other windows, the network,
// the shell) it asks of its host.
#pragma once

#include <string>

#include "localization/languages.h"
#include "platform/forms/form.h"
#include "platform/services.h"

namespace kx {

class LanguageWindowHost {
 public:
  virtual ~LanguageWindowHost() = default;
  // Null until the main window's load has made the engine.
  virtual clsLanguages* Languages() = 0;
  // Settings\Language, default "English".
  virtual std::string StoredLanguage() = 0;
  virtual void StoreLanguage(const std::string& language) = 0;
  // Translates every loaded window of the program, this one among them.
  virtual void ApplyLanguage(const std::string& language) = 0;
  // The language server's answer for this program's file, at most maxBytes long; "" when
  // no whole answer came or the server answered with an error.
  // Runs on the UI thread and keeps the windows responsive while it waits.
  virtual std::string FetchLocalizationFile(size_t maxBytes) = 0;
  virtual FileSystem& Files() = 0;
  // What checks the language file's signature, and the log its refusal goes to.
  virtual Signatures& SignatureCheck() = 0;
  virtual void LogLine(const std::string& line) = 0;
  // The shell's "open" action, in a normal window.
  virtual void OpenDocument(const std::string& path) = 0;
};

class FrmLanguage : public ui::Form {
 public:
  static constexpr const char* kChooseHere = "Choose Language Here";

  FrmLanguage(ui::Backend& backend, LanguageWindowHost& host);

  void FillLanguageList();

 private:
  void Form_Load();
  void Combo1_Click();
  void Command1_Click();
  void Command3_Click();
  std::string Message(const char* key) const;
  std::string LocalizationPath();

  LanguageWindowHost& host_;
  bool filling_ = false;      // the list's own changes are not the user's choice
  bool downloading_ = false;  // the fetch runs the message loop; a second click waits for it
};

}  // namespace kx
