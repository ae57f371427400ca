// Builds what clients download: the signed update package for a date, and the plain .dat
// files and version pages behind the address list. Built results are cached by the
// server's current date, which moves on with every change.
#pragma once
#include "signer.h"
#include "store.h"

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace kxs {

// The date a client holds before its first update: asking with it means "everything".
inline constexpr const char* kDefaultDate = "3/16/2006";

class PackageBuilder {
 public:
  PackageBuilder(DefinitionStore& store, Signer& signer) : store_(store), signer_(signer) {}

  // The newest change as the client reads it, or the default date before any publish.
  std::string CurrentDateText();
  // The package for a client that holds `asked` (its text exactly as received).
  std::shared_ptr<const std::string> Package(const std::string& asked, Seconds asked_at);
  // "FileDefinition.dat", "ExeDefinition.dat", "RegistryDefinition.dat" or "BlockedCookies.dat":
  // the live definitions as the client's file holds them, encoded, CR LF. Null for another name.
  std::shared_ptr<const std::string> DataFile(const std::string& name);
  // A small HTML page with the current date and the number of lines of the kind's file.
  std::string VersionPage(char letter);

  // Records only, without the signature: "<record>[BR]<record>...".
  static std::string Records(const std::vector<Change>& changes);
  static std::string SignedMessage(const std::string& asked, const std::string& asof, const std::string& body);

  size_t builds() const { return builds_; }

 private:
  struct Current {
    Seconds at;
    std::string text;
  };
  Current Now();

  DefinitionStore& store_;
  Signer& signer_;
  std::mutex mu_;
  std::map<std::pair<std::string, Seconds>, std::shared_ptr<const std::string>> packages_;
  std::map<std::string, std::pair<Seconds, std::shared_ptr<const std::string>>> files_;
  size_t builds_ = 0;
};

}  // namespace kxs
