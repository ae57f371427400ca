// The signer: the only process that holds the private key. It answers three questions and
// builds every answer itself from the stored rows, so whoever takes over the internet-facing
// front can ask for true answers and nothing else: it never signs bytes it was handed.
//
//   package  "KXSIG|<asked>|<asof>|<keyid>|<hex>" after the records, over
//            "KESTRIX-PACKAGE\n" asked "\n" asof "\n" body
//   date     "<M/D/YYYY h:mm:ss AM> KXDATE|<issued>|<keyid>|<hex>" over
//            "KESTRIX-DATE\n" date "\n" issued (Unix seconds, UTC); clients that cut the text
//            after its "AM"/"PM" read the date alone
//   language the file, then a last line "<!-- KXSIG|<keyid>|<hex> -->" CR LF over
//            "KESTRIX-LANGUAGE\n" and every byte before that line; readers skip it as it
//            stands outside every language block
#pragma once
#include "signer.h"
#include "store.h"

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace kxs {

// The date a client holds before its first update: asking with it means "everything".
inline constexpr const char* kDefaultDate = "3/16/2006";
// The language file path carries the program's product number.
inline constexpr int kProductNumber = 21;

struct Signed {
  enum Status { kOk, kNone, kFailed };
  Status status = kFailed;
  std::string text;  // the answer when kOk, why when kFailed
};

class SigningService {
 public:
  virtual ~SigningService() = default;
  // The package for a client holding `asked` (whole seconds, any date the front parsed).
  virtual Signed Package(Seconds asked) = 0;
  virtual Signed CurrentDate() = 0;
  // kNone when there is no language file to serve.
  virtual Signed LanguageFile() = 0;
};

// Builds and signs in this process: the signer's own logic (and the tests' in-process one).
class LocalSigner final : public SigningService {
 public:
  LocalSigner(DefinitionStore& store, Signer& signer, std::string languages_dir)
      : store_(store), signer_(signer), languages_dir_(std::move(languages_dir)) {}
  Signed Package(Seconds asked) override;
  Signed CurrentDate() override;
  Signed LanguageFile() override;

  // Records only, without the signature: "<record>[BR]<record>...".
  static std::string Records(const std::vector<Change>& changes);
  static std::string PackageMessage(const std::string& asked, const std::string& asof, const std::string& body);
  // The current date as the client reads it: the newest change, or the default date.
  static std::string CurrentDateText(DefinitionStore& store);

 private:
  DefinitionStore& store_;
  Signer& signer_;
  std::string languages_dir_;
};

// The signer's Unix socket. One request per connection, one line: "PACKAGE <seconds>",
// "DATE" or "LANGUAGE". The answer: "OK <bytes>\n" and the bytes, "NONE\n", or "ERR <why>\n".
class SignerServer {
 public:
  SignerServer(SigningService& service, std::string socket_path, int threads = 2);
  ~SignerServer();
  SignerServer(const SignerServer&) = delete;
  SignerServer& operator=(const SignerServer&) = delete;
  // Throws std::runtime_error when the socket cannot be made.
  void Start();
  void Stop();

 private:
  void Serve();
  void Answer(int fd);

  SigningService& service_;
  std::string path_;
  int threads_;
  int listen_fd_ = -1;
  std::atomic<bool> running_{false};
  std::vector<std::thread> workers_;
};

// The front's side of the socket: a connection per question, so a restarted signer is
// picked up without restarting the front.
class SignerClient final : public SigningService {
 public:
  explicit SignerClient(std::string socket_path, int timeout_ms = 10000)
      : path_(std::move(socket_path)), timeout_ms_(timeout_ms) {}
  Signed Package(Seconds asked) override;
  Signed CurrentDate() override;
  Signed LanguageFile() override;

  // Sends one raw request line; for the tests that check what the signer refuses.
  Signed Ask(const std::string& line);

 private:
  std::string path_;
  int timeout_ms_;
};

}  // namespace kxs
