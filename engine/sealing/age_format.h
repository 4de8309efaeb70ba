#pragma once
// Files of the age format (age-encryption.org/v1): a text header that
// wraps a random file key for each recipient and ends with a MAC, then the
// content in 64 KiB chunks of ChaCha20-Poly1305 (the STREAM construction).
// Both directions stream: memory stays the same whatever the file's size.
//
// A file sealed for an identity may carry the plain name of its content in
// one stanza of our own type, sealed under a key derived from the file key;
// the age tool passes over that stanza, so it still opens the file to the
// exact content.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/sealing/age_keys.h"
#include "engine/platform/file_system.h"

namespace vellumar {

class AtomicFile;

enum class AgeError {
    ok = 0,
    io,             // reading or writing failed: see AgeResult::io
    notAge,         // not a file of this format at all
    unsupported,    // another version of the format
    damaged,        // malformed, cut short or changed: it does not verify
    otherIdentity,  // no stanza opens with this identity
    wrongPassword,  // the password stanza does not open (or it is no password file)
    passwordOnly,   // opened with an identity: it is a file only a password opens
    tooCostly,      // its password stanza asks for more work than the caller allows
    library,        // the cryptographic library failed: see AgeResult::libraryMessage
};

// A short English phrase for logs and tests; messages to people are the caller's.
const char* describe(AgeError error);

struct AgeResult {
    AgeError error = AgeError::ok;
    IoError io = IoError::ok;
    std::string libraryMessage;  // the library's own words for its failure
    bool ok() const { return error == AgeError::ok; }
    static AgeResult of(AgeError error) { return {error, IoError::ok, {}}; }
    static AgeResult ofIo(IoError io) {
        return io == IoError::ok ? AgeResult{} : AgeResult{AgeError::io, io, {}};
    }
    static AgeResult ofLibrary(const std::string& message) {
        return {AgeError::library, IoError::ok, message};
    }
    // A primitive's failure: the library's when it is one, else `refused`.
    static AgeResult ofStep(const CryptoResult& step, AgeError refused) {
        return step.libraryFailed() ? ofLibrary(step.message()) : of(refused);
    }
};

// The cause in words, for both front ends: the OS error of an io failure,
// "the cryptographic library failed: <its message>", or describe(error).
std::string describeCause(const AgeResult& result);
// "the cryptographic library failed: <message>"
std::string libraryFailedText(const std::string& message);

// Reads up to `size` bytes; `got` is 0 only at the end.
using AgeSource = std::function<IoError(char* buffer, size_t size, size_t& got)>;
using AgeSink = std::function<IoError(const char* data, size_t size)>;
AgeSource readFromFile(FileHandle file);
AgeSource readFromText(const std::string& text);
AgeSink writeToFile(AtomicFile& file);

constexpr size_t kAgeChunkSize = 64 * 1024;
// The longest plain name a sealed file carries, in bytes.
constexpr size_t kMaxCarriedNameSize = 4096;
// The type of the stanza that carries the plain name.
extern const char* const kNameStanzaType;

// Writes a whole file for `recipient`; a non-empty `plainName` is carried
// with it.
AgeResult encryptForRecipient(const AgeRecipient& recipient, const std::string& plainName,
                              const AgeSource& source, const AgeSink& sink);
// Writes a whole file that opens with `password` (one scrypt stanza).
AgeResult encryptWithPassword(std::string_view password, int logN, const AgeSource& source,
                              const AgeSink& sink);

// Reads one file, binary or armored: first its header, opened with an
// identity or a password, then its content. A broken armor is damaged.
class AgeReader {
  public:
    explicit AgeReader(AgeSource source);

    AgeResult openWithIdentity(const AgeIdentity& identity);
    // A work factor over `maxLogN` is refused as tooCostly before any work.
    AgeResult openWithPassword(std::string_view password, int maxLogN = kMaxScryptLogN);
    // The plain name carried with the file (once opened); empty when none.
    const std::string& plainName() const { return plainName_; }
    // Streams the content to `sink`, each chunk only once it verified. On
    // any error what reached the sink is not the content and must be
    // discarded.
    AgeResult decryptTo(const AgeSink& sink);

    // The parsed stanzas (after an open), for tests.
    const std::vector<AgeStanza>& stanzas() const { return stanzas_; }

  private:
    AgeResult readHeader();
    // An armored file is read through its armor, which is checked as it goes.
    IoError takeArmor();
    AgeResult readFailed(IoError error) const;
    AgeResult acceptFileKey(SecretBytes fileKey);
    IoError fill();
    // A line without its LF; false when none ends within `limit` bytes.
    IoError readLine(size_t limit, std::string& line, bool& complete);
    IoError readFull(char* out, size_t size, size_t& got);

    AgeSource source_;
    std::vector<char> buffer_;
    size_t position_ = 0;
    size_t end_ = 0;
    std::string headerText_;  // what the MAC covers
    std::string mac_;
    std::vector<AgeStanza> stanzas_;
    SecretBytes fileKey_;
    std::string plainName_;
    bool headerRead_ = false;
    std::shared_ptr<bool> armorBroken_ = std::make_shared<bool>(false);
    AgeResult headerResult_;
};

}  // namespace vellumar
