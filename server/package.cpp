#include "package.h"

namespace kxs {

namespace {

constexpr size_t kMaxCachedPackages = 256;

const char* DatOfLetter(char letter) {
  switch (letter) {
    case 'R': return "RegistryDefinition.dat";
    case 'F': return "FileDefinition.dat";
    case 'E': return "ExeDefinition.dat";
    case 'C': return "BlockedCookies.dat";
    default: return nullptr;
  }
}

std::vector<Row> LiveRows(DefinitionStore& store) {
  std::vector<Row> rows;
  for (Definition& d : store.All())
    if (!d.withdrawn) rows.push_back(std::move(d.row));
  return rows;
}

}  // namespace

PackageBuilder::Current PackageBuilder::Now() {
  if (auto newest = store_.NewestChange()) return {*newest, FormatDate(*newest)};
  return {*ParseDate(kDefaultDate), kDefaultDate};
}

std::string PackageBuilder::CurrentDateText() { return Now().text; }

std::string PackageBuilder::Records(const std::vector<Change>& changes) {
  std::string out;
  for (const Change& c : changes) {
    const std::string head = EncodeLine(c.row.kind) + (c.add ? "|ADD[DEF]" : "|DEL[DEF]");
    if (c.add) {
      if (!out.empty()) out += "[BR]";
      out += head + EncodeBody(c.row.body);
    } else {
      for (const std::string& name : WithdrawalNames(c.row)) {
        if (!out.empty()) out += "[BR]";
        out += head + EncodeBody(name);
      }
    }
  }
  return out;
}

std::string PackageBuilder::SignedMessage(const std::string& asked, const std::string& asof, const std::string& body) {
  return "KESTRIX-PACKAGE\n" + asked + "\n" + asof + "\n" + body;
}

std::shared_ptr<const std::string> PackageBuilder::Package(const std::string& asked, Seconds asked_at) {
  const Current now = Now();
  const auto key = std::make_pair(asked, now.at);
  {
    std::lock_guard lock(mu_);
    if (auto it = packages_.find(key); it != packages_.end()) return it->second;
  }
  const std::string body = Records(store_.ChangesAfter(asked_at));
  const std::string sig = signer_.SignHex(SignedMessage(asked, now.text, body));
  auto text = std::make_shared<std::string>();
  text->reserve(body.size() + sig.size() + asked.size() + 64);
  *text = body;
  if (!body.empty()) *text += "[BR]";
  *text += "KXSIG|" + asked + "|" + now.text + "|" + sig;
  std::lock_guard lock(mu_);
  ++builds_;
  // Packages for an older current date are never asked for again.
  std::erase_if(packages_, [&](const auto& e) { return e.first.second != now.at; });
  if (packages_.size() >= kMaxCachedPackages) packages_.clear();
  packages_[key] = text;
  return text;
}

std::shared_ptr<const std::string> PackageBuilder::DataFile(const std::string& name) {
  if (name != "FileDefinition.dat" && name != "ExeDefinition.dat" && name != "RegistryDefinition.dat" &&
      name != "BlockedCookies.dat")
    return nullptr;
  const Current now = Now();
  {
    std::lock_guard lock(mu_);
    if (auto it = files_.find(name); it != files_.end() && it->second.first == now.at) return it->second.second;
  }
  auto text = std::make_shared<std::string>();
  for (const std::string& line : LinesOfFile(LiveRows(store_), name)) *text += EncodeLine(line) + "\r\n";
  std::lock_guard lock(mu_);
  files_[name] = {now.at, text};
  return text;
}

std::string PackageBuilder::VersionPage(char letter) {
  const char* dat = DatOfLetter(letter);
  if (!dat) return "";
  const Current now = Now();
  const size_t count = LinesOfFile(LiveRows(store_), dat).size();
  return "<html><head><title>Kestrix definitions</title></head><body>\r\n<p>Definitions of " + now.text +
         "</p>\r\n<p>" + std::string(dat) + ": " + std::to_string(count) + " definitions</p>\r\n</body></html>\r\n";
}

}  // namespace kxs
