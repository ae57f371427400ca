// What the front serves from the definitions: the signed answers it gets from the signer and
// keeps, and the plain .dat files and version pages it builds itself (read-only). Everything
// kept belongs to one current date and is retired when the date moves on.
#pragma once
#include "signing_service.h"
#include "store.h"

#include <chrono>
#include <future>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

namespace kxs {

struct Served {
  // 200; 404 no language file; 429 too many uncached dates from one address; 503 no signer
  // or no database.
  int status = 200;
  std::shared_ptr<const std::string> body;
};

struct CacheLimits {
  size_t package_bytes = 64u << 20;
  // Honest clients ask with the default date or one the server gave them, so a miss is rare:
  // an address that keeps missing is made to wait, and the signer with it.
  double misses_per_second = 1;
  double miss_burst = 8;
  std::chrono::seconds date_refresh{600};
  std::chrono::seconds language_refresh{10};
  size_t tracked_addresses = 100000;
};

class FrontCache {
 public:
  FrontCache(DefinitionStore& store, SigningService& signer, CacheLimits limits = {})
      : store_(store), signer_(signer), limits_(limits) {}

  Served CurrentDate();
  // The package for a client holding `asked`; dates that read the same share one entry.
  Served Package(Seconds asked, const std::string& client);
  Served LanguageFile();
  // "FileDefinition.dat", "ExeDefinition.dat", "RegistryDefinition.dat" or "BlockedCookies.dat":
  // the live definitions as the client's file holds them, encoded, CR LF. Null for another name.
  std::shared_ptr<const std::string> DataFile(const std::string& name);
  // A small HTML page with the current date and the number of lines of the kind's file; null
  // for a letter that names no file.
  std::shared_ptr<const std::string> VersionPage(char letter);
  std::string CurrentDateText() { return LocalSigner::CurrentDateText(store_); }
  // The current date in seconds; none when the database cannot be read.
  std::optional<Seconds> Current();

  size_t builds();
  size_t cached_bytes();

 private:
  using Clock = std::chrono::steady_clock;
  struct Bucket {
    double tokens;
    Clock::time_point last;
  };
  struct Kept {
    Seconds at = -1;
    Clock::time_point made{};
    std::shared_ptr<const std::string> body;
    bool none = false;
  };

  Seconds CurrentAt();
  void RetireLocked(Seconds now_at);
  bool ChargeMissLocked(const std::string& client);

  DefinitionStore& store_;
  SigningService& signer_;
  const CacheLimits limits_;

  std::mutex mu_;
  Seconds cache_at_ = -1;
  std::list<std::pair<Seconds, std::shared_ptr<const std::string>>> lru_;  // most recent first
  std::map<Seconds, decltype(lru_)::iterator> packages_;
  std::map<Seconds, std::shared_future<Served>> building_;
  size_t bytes_ = 0, builds_ = 0;
  std::unordered_map<std::string, Bucket> buckets_;
  Kept date_, language_;
  std::map<std::string, Kept> files_;

  std::mutex date_refresh_mu_, language_refresh_mu_;
};

}  // namespace kxs
