#include "localization/languages.h"

#include "localization/localization_file.h"
#include "localization/messages.h"

namespace kx {

clsLanguages::clsLanguages(FileSystem& files, std::string programFolder, Branding branding, std::string userFolder)
    : files_(files),
      programFolder_(std::move(programFolder)),
      branding_(std::move(branding)),
      userFolder_(std::move(userFolder)) {}

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

std::string clsLanguages::UserLocalizationPath() const {
  return userFolder_.empty() ? std::string() : userFolder_ + "\\Localization.txt";
}

std::optional<FileEntry> clsLanguages::Entry(const std::string& path) {
  if (path.empty()) return std::nullopt;
  const std::string name = kx::LangTrimPath(path);
  for (auto& e : files_.Find(path))
    if (EqualsNoCase(e.name, name) && !(e.attributes & FA_DIRECTORY)) return e;
  return std::nullopt;
}

namespace {
// A copy cut short in an editor or not a localization file at all.
bool WholeFile(const std::string& text) {
  if (FindNoCase(text, "</XML_DIZ_INFO>") == std::string::npos) return false;
  for (const auto& block : ReadLanguageBlocks(text))
    if (!block.name.empty()) return true;
  return false;
}
}  // namespace

std::string clsLanguages::ReadablePath() {
  const std::optional<FileEntry> program = Entry(LocalizationPath());
  const std::optional<FileEntry> user = Entry(UserLocalizationPath());
  if (user && (!program || user->lastWrite > program->lastWrite)) {
    const auto bytes = files_.ReadFile(UserLocalizationPath());
    if (bytes && WholeFile(Utf8ToAnsi(*bytes))) return UserLocalizationPath();
  }
  return program ? LocalizationPath() : std::string();
}

std::string clsLanguages::ReadLocalizationText() {
  const std::string path = ReadablePath();
  if (path.empty()) return {};
  auto bytes = files_.ReadFile(path);
  return bytes ? Utf8ToAnsi(*bytes) : std::string();
}

std::string clsLanguages::MakeUserCopy() {
  const std::optional<FileEntry> program = Entry(LocalizationPath());
  const std::optional<FileEntry> user = Entry(UserLocalizationPath());
  if (!program) return user ? UserLocalizationPath() : std::string();
  if (user && user->lastWrite >= program->lastWrite) return UserLocalizationPath();
  if (UserLocalizationPath().empty() || !files_.CopyFile(LocalizationPath(), UserLocalizationPath(), false))
    return LocalizationPath();
  // An installed file may be read-only; the copy is there to be edited.
  if (auto attrs = files_.Attributes(UserLocalizationPath()); attrs && (*attrs & FA_READONLY))
    (void)files_.SetAttributes(UserLocalizationPath(), *attrs & ~static_cast<uint32_t>(FA_READONLY));  // a read-only copy is still read
  return UserLocalizationPath();
}

void clsLanguages::LoadLanguage(const std::string& strLang) {
  currentLanguage_ = strLang;
  std::string text = ReadLocalizationText();
  if (text.empty()) return;
  if (text != readText_) {
    readText_ = std::move(text);
    parsed_.clear();
  }
  auto found = parsed_.find(LowerAnsi(strLang));
  if (found == parsed_.end()) {
    std::shared_ptr<const ItemTable> table;
    if (auto lines = FindLanguageItems(readText_, strLang)) table = std::make_shared<const ItemTable>(std::move(*lines));
    found = parsed_.emplace(LowerAnsi(strLang), std::move(table)).first;
  }
  if (found->second) items_ = found->second;
}

std::string clsLanguages::GetTranslation(const std::string& key) const {
  return UpperFirst(ExpandBranding(items_->Lookup(key)));
}

void clsLanguages::Translate(ui::Form& myForm, const std::string& strLang, bool lowerCaseTypes) {
  LoadLanguage(strLang);
  // An items section of one line holds no items; the English block is the fallback.
  if (items_->lines().size() <= 1) LoadLanguage("English");

  for (const auto& control : myForm.controls()) {
    std::vector<std::string> list = control->list();
    for (const auto& item : ControlItemKeys(myForm.name(), ui::TypeName(control->type()), control->name(),
                                            control->index(), control->tabs().size(),
                                            control->columns().size(), list.size(), lowerCaseTypes)) {
      const std::string text = GetTranslation(item.key);
      if (text.empty()) continue;
      switch (item.target) {
        case ItemTarget::Caption: control->set_caption(text); break;
        case ItemTarget::Tab: control->set_tab_caption(item.n, text); break;
        case ItemTarget::Column: control->set_column_caption(item.n, text); break;
        case ItemTarget::ListEntry: list[item.n - 1] = text; break;
      }
    }
    if (list != control->list()) {
      // The entries change in place: the selection stays where it was, and what is stored
      // from it (its index) does not depend on the language.
      const int selected = control->list_index();
      control->set_list(list);
      if (selected >= 0) control->set_caption(list[static_cast<size_t>(selected)]);
    }
  }

  for (auto& slot : slots_) {
    if (!slot.used) break;
    // Kept with its placeholders: getMessages fills them, and a file written later
    // stays translatable.
    std::string text = items_->Lookup(slot.key);
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
                                              control->columns().size(), control->list().size())) {
        const std::string* value = &control->caption();
        if (item.target == ItemTarget::Tab) value = &control->tabs()[item.n - 1];
        if (item.target == ItemTarget::Column) value = &control->columns()[item.n - 1].caption;
        if (item.target == ItemTarget::ListEntry) value = &control->list()[item.n - 1];
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
  (void)files_.DeleteFile(fresh);  // a leftover is rewritten next time
  return false;
}

}  // namespace kx
