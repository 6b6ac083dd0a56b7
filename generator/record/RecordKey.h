// The user's own key for run records: a secret made once per user and kept
// beside the form's settings, readable by that user alone. A record (and a
// journal line) carries a keyed digest of its text; only one that verifies
// was written by this user's runs, and only such a record may get a file
// removed or replaced. A record made anywhere else — copied with a folder,
// restored from another machine, edited or forged — is only a hint.
#ifndef WV_GENERATOR_RECORDKEY_H
#define WV_GENERATOR_RECORDKEY_H

#include <string>

class RecordKey {
 public:
  // Reads the key of the user running the program, making it on first use:
  // `$XDG_CONFIG_HOME/Korvel Software/vignetor-record.key` (~/.config when
  // unset). When it can be neither read nor made, usable() is false and
  // problem() says why: records are then written without a digest and none
  // verifies.
  static RecordKey forUser();
  // The key in `path`, made there when missing.
  static RecordKey fromFile(const std::string& path);

  bool usable() const { return !secret_.empty(); }
  const std::string& problem() const { return problem_; }
  const std::string& path() const { return path_; }

  // HMAC-SHA-256 of the text handed to add(), in hex.
  class Digest {
   public:
    explicit Digest(const RecordKey& key);
    ~Digest();
    Digest(const Digest&) = delete;
    Digest& operator=(const Digest&) = delete;
    void add(const std::string& text);
    std::string hex();  // empty without a usable key

   private:
    void* hmac_ = nullptr;
  };
  std::string digestOf(const std::string& text) const;
  // Whether `hex` is the digest of `text` (compared in constant time).
  bool verifies(const std::string& text, const std::string& hex) const;

 private:
  std::string secret_, problem_, path_;
};

// The path of the user's key file.
std::string userRecordKeyPath();

#endif
