#include "contract/contract_env.h"

#include <map>

#include "fakes/fake_platform.h"

namespace kx::contract {

namespace {

class FakeEnv final : public Env {
 public:
  Registry& registry() override { return p_.registry; }
  FileSystem& files() override { return p_.files; }
  SystemInfo& system() override { return p_.system; }
  Processes& processes() override { return p_.processes; }
  Web& web() override { return p_.web; }
  SystemRestore& restore() override { return p_.restore; }
  Com& com() override { return p_.com; }
  Shell& shell() override { return p_.shell; }
  Locks& locks() override { return p_.locks; }
  Clock& clock() override { return p_.clock; }
  Signatures& signatures() override { return p_.signatures; }

  std::string ScratchFolder() override {
    std::string path = "C:\\Temp\\scratch" + std::to_string(++n_);
    p_.files.AddFolder(path);
    return path;
  }
  std::string ScratchKey() override {
    std::string path = "Software\\KestrixContract\\k" + std::to_string(++n_);
    p_.registry.AddKey(Hive::CurrentUser, path);
    return path;
  }
  bool PutUnicode(Hive hive, const std::string& utf8Path, const std::string& utf8Name, uint32_t type,
                  const std::string& utf8Data) override {
    p_.registry.PutUnicode(hive, utf8Path, utf8Name, type, utf8Data);
    return true;
  }
  bool RestrictKey(Hive hive, const std::string& path, uint32_t allowed) override {
    if (!p_.registry.HasKey(hive, path)) return false;
    p_.registry.Restrict(hive, path, allowed);
    return true;
  }
  std::unique_ptr<Hold> HoldOpen(const std::string& path) override {
    struct FakeHold final : Hold {
      fakes::FakeFileSystem& files;
      std::string path;
      FakeHold(fakes::FakeFileSystem& f, std::string p) : files(f), path(std::move(p)) { files.SetInUse(path); }
      ~FakeHold() override { files.SetInUse(path, false); }
    };
    auto a = p_.files.Attributes(path);
    if (!a || (*a & FA_DIRECTORY)) return nullptr;
    return std::make_unique<FakeHold>(p_.files, path);
  }
  uint32_t StartChild() override { return p_.processes.Add("C:\\Windows\\system32\\child.exe"); }
  uint32_t StartChild64(std::string& imagePath) override {
    imagePath = "C:\\Program Files\\Tools\\sleeper64.exe";
    uint32_t pid = p_.processes.Add(imagePath);
    p_.processes.Get(pid)->modulesReadable = false;
    return pid;
  }
  std::string ServeBody(const std::string& body, int status) override {
    std::string url = "http://127.0.0.1/body" + std::to_string(++n_);
    p_.web.Serve(url, body, status);
    return url;
  }
  std::string SilentUrl() override {
    // Nothing ever arrives: the request ends at its deadline with nothing.
    std::string url = "http://127.0.0.1/silent" + std::to_string(++n_);
    p_.web.responses[url] = fakes::FakeWeb::Response{{}, 0, false, 0};
    return url;
  }
  std::string EndlessUrl() override {
    std::string url = "http://127.0.0.1/endless" + std::to_string(++n_);
    fakes::FakeWeb::Response r;
    r.body = "abcdefghijklmnopqrstuvwxyz";
    r.endless = true;
    p_.web.responses[url] = r;
    return url;
  }
  std::string RefusedUrl() override {
    std::string url = "http://127.0.0.1:1/refused" + std::to_string(++n_);
    p_.web.Fail(url);
    return url;
  }
  NotificationArea& notifyArea() override { return p_.notifyArea; }
  const void* IconOwnerWindow() override { return &windows_[++n_]; }
  PixelSize ScreenPixels() override { return p_.notifyArea.desktop; }
  bool IsFake() const override { return true; }

 private:
  fakes::FakePlatform p_;
  int n_ = 0;
  std::map<int, char> windows_;  // one address per window
};

}  // namespace

std::unique_ptr<Env> MakeEnv() { return std::make_unique<FakeEnv>(); }

}  // namespace kx::contract
