#include "localization/languages.h"

#include "localization/localization_file.h"
#include "localization/messages.h"

namespace kx {

clsLanguages::clsLanguages(FileSystem& files, std::string programFolder, Branding branding)
    : files_(files), programFolder_(std::move(programFolder)), branding_(std::move(branding)) {}

void clsLanguages::setMessage(const std::string& strName, const std::string& strMessage) {
  for (auto& slot : slots_) {
    if (slot.used) continue;
    slot = {strName, strMessage, true};
    return;
  }
}

std::string clsLanguages::getMessages(const std::string& strName) const {
  for (const auto& slot : slots_) {
    if (!slot.used) break;
    // Built-in texts carry placeholders too; fill them here so no user ever sees one.
    if (EqualsNoCase(slot.key, strName)) return UpperFirst(ExpandBranding(slot.text));
  }
  return {};
}

void clsLanguages::LoadBuiltInMessages() {
  for (const auto& m : BuiltInMessages()) setMessage(m.key, m.text);
}

std::string clsLanguages::ExpandBranding(const std::string& text) const {
  const std::pair<const char*, const std::string*> tokens[] = {
      {"[ProgramName]", &branding_.productName},
      {"[CompanyName]", &branding_.companyName},
      {"[Company]", &branding_.companyName},
      {"[Website]", &branding_.website},
  };
  // One pass, so a branding value that itself looks like a placeholder stays as it is.
  std::string out;
  out.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    bool replaced = false;
    if (text[i] == '[') {
      for (const auto& [token, value] : tokens) {
        const std::string t = token;
        if (text.size() - i >= t.size() && EqualsNoCase(text.substr(i, t.size()), t)) {
          out += *value;
          i += t.size();
          replaced = true;
          break;
        }
      }
    }
    if (!replaced) out += text[i++];
  }
  return out;
}

std::string clsLanguages::ReadLocalizationText() {
  if (!LangFileExists(LocalizationPath())) return {};
  auto bytes = files_.ReadFile(LocalizationPath());
  return bytes ? Utf8ToAnsi(*bytes) : std::string();
}

void clsLanguages::LoadLanguage(const std::string& strLang) {
  currentLanguage_ = strLang;
  const std::string text = ReadLocalizationText();
  if (text.empty()) return;
  if (auto lines = FindLanguageItems(text, strLang)) itemLines_ = std::move(*lines);
}

std::string clsLanguages::GetTranslation(const std::string& key) const {
  return UpperFirst(ExpandBranding(LookupItem(itemLines_, key)));
}

void clsLanguages::Translate(ui::Form& myForm, const std::string& strLang, bool lowerCaseTypes) {
  LoadLanguage(strLang);
  // An items section of one line holds no items; the English block is the fallback.
  if (itemLines_.size() <= 1) LoadLanguage("English");

  for (const auto& control : myForm.controls()) {
    for (const auto& item : ControlItemKeys(myForm.name(), ui::TypeName(control->type()), control->name(),
                                            control->index(), control->tabs().size(),
                                            control->columns().size(), lowerCaseTypes)) {
      const std::string text = GetTranslation(item.key);
      if (text.empty()) continue;
      switch (item.target) {
        case ItemTarget::Caption: control->set_caption(text); break;
        case ItemTarget::Tab: control->set_tab_caption(item.n, text); break;
        case ItemTarget::Column: control->set_column_caption(item.n, text); break;
      }
    }
  }

  for (auto& slot : slots_) {
    if (!slot.used) break;
    // Kept with its placeholders: getMessages fills them, and a file written later
    // stays translatable.
    std::string text = LookupItem(itemLines_, slot.key);
    if (!text.empty()) slot.text = std::move(text);
  }
}

void clsLanguages::ChangeLanguage(ui::Form& myForm, const std::string& strLang) {
  Translate(myForm, strLang, false);
}

void clsLanguages::ChangeLanguageMDI(ui::Form& myForm, const std::string& strLang) {
  Translate(myForm, strLang, true);
}

int clsLanguages::ListLanguages() { return 0; }

bool clsLanguages::LangFileExists(const std::string& asPath) { return kx::LangFileExists(files_, asPath); }

std::string clsLanguages::LangTrimPath(const std::string& asPath) { return kx::LangTrimPath(asPath); }

std::vector<std::string> clsLanguages::LanguageNames() { return kx::LanguageNames(ReadLocalizationText()); }

bool clsLanguages::makeLocalizationFile(const std::vector<ui::Form*>& forms) {
  std::string text = LocalizationHeader();
  for (const ui::Form* form : forms) {
    if (!form) continue;
    for (const auto& control : form->controls()) {
      for (const auto& item : ControlItemKeys(form->name(), ui::TypeName(control->type()), control->name(),
                                              control->index(), control->tabs().size(),
                                              control->columns().size())) {
        const std::string* value = &control->caption();
        if (item.target == ItemTarget::Tab) value = &control->tabs()[item.n - 1];
        if (item.target == ItemTarget::Column) value = &control->columns()[item.n - 1].caption;
        text += LocalizationItem(item.key, AnsiToUtf8(*value));
      }
    }
  }
  for (const auto& slot : slots_) {
    if (!slot.used) break;
    text += LocalizationItem(slot.key, AnsiToUtf8(slot.text));
  }
  text += LocalizationFooter();

  // Written beside and swapped in, so a failed write never costs the translations there.
  const std::string path = LocalizationPath();
  const std::string fresh = path + ".new";
  if (!files_.WriteFile(fresh, text)) return false;
  if (files_.MoveFile(fresh, path, true)) return true;
  files_.DeleteFile(fresh);  // a leftover is rewritten next time
  return false;
}

}  // namespace kx
