#include "package.h"

#include <algorithm>

namespace kxs {

namespace {

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

Served Status(int status) { return {status, nullptr}; }
Served Body(std::shared_ptr<const std::string> body) { return {200, std::move(body)}; }

}  // namespace

Seconds FrontCache::CurrentAt() {
  if (auto newest = store_.NewestChange()) return *newest;
  return *ParseDate(kDefaultDate);
}

std::optional<Seconds> FrontCache::Current() {
  try {
    return CurrentAt();
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

void FrontCache::RetireLocked(Seconds now_at) {
  // Packages made for an older current date are never asked for again.
  if (now_at == cache_at_) return;
  lru_.clear();
  packages_.clear();
  bytes_ = 0;
  cache_at_ = now_at;
}

bool FrontCache::ChargeMissLocked(const std::string& client) {
  const Clock::time_point now = Clock::now();
  if (buckets_.size() >= limits_.tracked_addresses) {
    // Full buckets say nothing; forgetting them costs their owners nothing.
    std::erase_if(buckets_, [&](const auto& e) {
      const double refill = std::chrono::duration<double>(now - e.second.last).count() * limits_.misses_per_second;
      return e.second.tokens + refill >= limits_.miss_burst;
    });
    if (buckets_.size() >= limits_.tracked_addresses) buckets_.clear();
  }
  auto [it, fresh] = buckets_.try_emplace(client, Bucket{limits_.miss_burst, now});
  Bucket& b = it->second;
  if (!fresh) {
    b.tokens = std::min(limits_.miss_burst,
                        b.tokens + std::chrono::duration<double>(now - b.last).count() * limits_.misses_per_second);
    b.last = now;
  }
  if (b.tokens < 1) return false;
  b.tokens -= 1;
  return true;
}

Served FrontCache::Package(Seconds asked, const std::string& client) {
  Seconds now_at;
  try {
    now_at = CurrentAt();
  } catch (const std::exception&) {
    return Status(503);
  }
  std::promise<Served> promise;
  {
    std::unique_lock lock(mu_);
    RetireLocked(now_at);
    if (auto it = packages_.find(asked); it != packages_.end()) {
      lru_.splice(lru_.begin(), lru_, it->second);
      return Body(it->second->second);
    }
    // Whoever asks while the same package is being made waits for it instead of making it again.
    if (auto it = building_.find(asked); it != building_.end()) {
      std::shared_future<Served> pending = it->second;
      lock.unlock();
      return pending.get();
    }
    if (!ChargeMissLocked(client)) return Status(429);
    building_.emplace(asked, promise.get_future().share());
  }
  Signed made = signer_.Package(asked);
  Served result = Status(503);
  if (made.status == Signed::kOk) result = Body(std::make_shared<const std::string>(std::move(made.text)));
  {
    std::lock_guard lock(mu_);
    building_.erase(asked);
    ++builds_;
    const size_t size = result.body ? result.body->size() : 0;
    // A package bigger than the whole cache is served but not kept.
    if (result.body && cache_at_ == now_at && size <= limits_.package_bytes && !packages_.count(asked)) {
      lru_.emplace_front(asked, result.body);
      packages_[asked] = lru_.begin();
      bytes_ += size;
      while (bytes_ > limits_.package_bytes) {
        bytes_ -= lru_.back().second->size();
        packages_.erase(lru_.back().first);
        lru_.pop_back();
      }
    }
  }
  promise.set_value(result);
  return result;
}

Served FrontCache::CurrentDate() {
  Seconds now_at;
  try {
    now_at = CurrentAt();
  } catch (const std::exception&) {
    return Status(503);
  }
  auto fresh = [&](const Kept& k) { return k.body && k.at == now_at && Clock::now() - k.made < limits_.date_refresh; };
  {
    std::lock_guard lock(mu_);
    if (fresh(date_)) return Body(date_.body);
  }
  // One signature per refresh, however many ask at once.
  std::lock_guard refresh(date_refresh_mu_);
  {
    std::lock_guard lock(mu_);
    if (fresh(date_)) return Body(date_.body);
  }
  Signed made = signer_.CurrentDate();
  std::lock_guard lock(mu_);
  if (made.status == Signed::kOk) {
    date_ = {now_at, Clock::now(), std::make_shared<const std::string>(std::move(made.text)), false};
    return Body(date_.body);
  }
  // The signer is away: an older signature of the same date is still the truth.
  if (date_.body && date_.at == now_at) return Body(date_.body);
  return Status(503);
}

Served FrontCache::LanguageFile() {
  auto fresh = [&](const Kept& k) { return (k.body || k.none) && Clock::now() - k.made < limits_.language_refresh; };
  {
    std::lock_guard lock(mu_);
    if (fresh(language_)) return language_.none ? Status(404) : Body(language_.body);
  }
  std::lock_guard refresh(language_refresh_mu_);
  {
    std::lock_guard lock(mu_);
    if (fresh(language_)) return language_.none ? Status(404) : Body(language_.body);
  }
  Signed made = signer_.LanguageFile();
  std::lock_guard lock(mu_);
  if (made.status == Signed::kOk) {
    language_ = {0, Clock::now(), std::make_shared<const std::string>(std::move(made.text)), false};
    return Body(language_.body);
  }
  if (made.status == Signed::kNone) {
    language_ = {0, Clock::now(), nullptr, true};
    return Status(404);
  }
  if (language_.body) return Body(language_.body);
  return Status(503);
}

std::shared_ptr<const std::string> FrontCache::DataFile(const std::string& name) {
  if (name != "FileDefinition.dat" && name != "ExeDefinition.dat" && name != "RegistryDefinition.dat" &&
      name != "BlockedCookies.dat")
    return nullptr;
  const Seconds now_at = CurrentAt();
  {
    std::lock_guard lock(mu_);
    if (auto it = files_.find(name); it != files_.end() && it->second.at == now_at) return it->second.body;
  }
  auto text = std::make_shared<std::string>();
  for (const std::string& line : LinesOfFile(LiveRows(store_), name)) *text += EncodeLine(line) + "\r\n";
  std::lock_guard lock(mu_);
  files_[name] = {now_at, Clock::now(), text, false};
  return text;
}

std::shared_ptr<const std::string> FrontCache::VersionPage(char letter) {
  const char* dat = DatOfLetter(letter);
  if (!dat) return nullptr;
  const Seconds now_at = CurrentAt();
  const std::string key = std::string("page:") + letter;
  {
    std::lock_guard lock(mu_);
    if (auto it = files_.find(key); it != files_.end() && it->second.at == now_at) return it->second.body;
  }
  const size_t count = LinesOfFile(LiveRows(store_), dat).size();
  auto page = std::make_shared<const std::string>(
      "<html><head><title>Kestrix definitions</title></head><body>\r\n<p>Definitions of " + FormatDate(now_at) +
      "</p>\r\n<p>" + std::string(dat) + ": " + std::to_string(count) + " definitions</p>\r\n</body></html>\r\n");
  std::lock_guard lock(mu_);
  files_[key] = {now_at, Clock::now(), page, false};
  return page;
}

size_t FrontCache::builds() {
  std::lock_guard lock(mu_);
  return builds_;
}

size_t FrontCache::cached_bytes() {
  std::lock_guard lock(mu_);
  return bytes_;
}

}  // namespace kxs
