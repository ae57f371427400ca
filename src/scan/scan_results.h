// What a scan found, as data: the live list, the threat entries and the three deletion
// queues, each row with its tick. The scan owns it; the main window's list views only show
// it, and removal and the report read it from here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kx {

// Row images: what kind of find a row is.
enum ThreatKind { KIND_COOKIE = 1, KIND_REGISTRY = 2, KIND_FILE = 3, KIND_FOLDER = 4, KIND_EXCLUDED = 5 };

struct LiveRow {
  std::string text;
  int image = 0;
};

struct ThreatEntry {
  std::string name;
  int kind = 0;
  std::string location;
  std::string type;
  bool checked = false;
};

struct FileRow {  // a file or a folder
  std::string path;
  std::string threat;
  bool checked = false;
};

struct RegistryRow {
  int64_t hive = 0;  // the hive's handle value
  std::string key;
  std::string value;  // empty: the whole key
  std::string threat;
  bool checked = false;
};

struct CookieRow {
  std::string path;
  bool checked = false;
};

enum class ResultList { Live, Threats, Files, Registry, Cookies };

// Told of every change, in the order it happens.
class ResultsObserver {
 public:
  virtual ~ResultsObserver() = default;
  virtual void RowAdded(ResultList list, size_t row) = 0;
  virtual void RowRemoved(ResultList list, size_t row) = 0;
  virtual void Cleared(ResultList list) = 0;
  virtual void TickChanged(ResultList list, size_t row) = 0;
};

class ScanResults {
 public:
  const std::vector<LiveRow>& live() const { return live_; }
  const std::vector<ThreatEntry>& threats() const { return threats_; }
  const std::vector<FileRow>& files() const { return files_; }
  const std::vector<RegistryRow>& registry() const { return registry_; }
  const std::vector<CookieRow>& cookies() const { return cookies_; }
  size_t size(ResultList list) const;

  void Add(LiveRow row);
  void Add(ThreatEntry row);
  void Add(FileRow row);
  void Add(RegistryRow row);
  void Add(CookieRow row);

  bool Ticked(ResultList list, size_t row) const;
  // Changes one row's tick only; the threat list's propagation is the threat list's.
  void SetTicked(ResultList list, size_t row, bool ticked);
  bool AnyTicked(ResultList list) const;

  // The first live row whose text begins with this, case ignored.
  bool LiveRowStartingWith(const std::string& prefix) const;

  void RemoveTickedRows(ResultList list);
  // Rows by their positions now; positions past the end are ignored.
  void RemoveRows(ResultList list, std::vector<size_t> rows);
  void Clear();

  void SetObserver(ResultsObserver* observer) { observer_ = observer; }

 private:
  template <class F>
  void Each(ResultList list, F&& f);
  void Erase(ResultList list, size_t row);

  std::vector<LiveRow> live_;
  std::vector<ThreatEntry> threats_;
  std::vector<FileRow> files_;
  std::vector<RegistryRow> registry_;
  std::vector<CookieRow> cookies_;
  ResultsObserver* observer_ = nullptr;
};

}  // namespace kx
