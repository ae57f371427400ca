// What the language window asks of the program: the stored language, every window
// re-captioned, the language server's file fetched, and the shell.
#pragma once

#include <string>

#include "localization/frm_language.h"

namespace kx {

class App;

class LanguageWiring final : public LanguageWindowHost {
 public:
  explicit LanguageWiring(App& app) : app_(app) {}

  clsLanguages* Languages() override;
  std::string StoredLanguage() override;
  void StoreLanguage(const std::string& language) override;
  void ApplyLanguage(const std::string& language) override;
  std::string FetchLocalizationFile(size_t maxBytes) override;
  FileSystem& Files() override;
  Signatures& SignatureCheck() override;
  void LogLine(const std::string& line) override;
  void OpenDocument(const std::string& path) override;

  // "<languages server>/Languages/<product number>/Localization.txt".
  std::string LocalizationAddress();

 private:
  App& app_;
};

}  // namespace kx
