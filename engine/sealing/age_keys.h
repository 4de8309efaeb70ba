#pragma once
// X25519 identities and recipients in their age spellings
// ("AGE-SECRET-KEY-1..." and "age1..."), and the recipient stanzas that
// wrap a file key: X25519 for an identity, scrypt for a password.

#include <string>
#include <vector>

#include "engine/sealing/age_primitives.h"

namespace vellumar {

constexpr size_t kFileKeySize = 16;
// The work factor of new password stanzas (2^18, as the age tool uses),
// and the most a file may ask for before it is refused as too costly.
constexpr int kDefaultScryptLogN = 18;
constexpr int kMaxScryptLogN = 22;

struct AgeStanza {
    std::vector<std::string> arguments;  // the first names the type
    std::string body;                    // raw bytes
};

class AgeRecipient {
  public:
    static bool parse(const std::string& text, AgeRecipient& out);
    std::string encode() const;
    const Key32& publicKey() const { return publicKey_; }
    // A stanza wrapping `fileKey` for this recipient, with a fresh ephemeral key.
    CryptoResult wrap(std::string_view fileKey, AgeStanza& out) const;

  private:
    friend class AgeIdentity;
    Key32 publicKey_{};
};

class AgeIdentity {
  public:
    static AgeIdentity generate();
    static bool parse(const std::string& text, AgeIdentity& out);
    // The secret spelling: wipe it (wipeSecret) once it has been used.
    std::string encode() const;
    AgeRecipient recipient() const;
    // The scalar, kept in secure memory (engine/secret_bytes.h).
    const Key32& secret() const { return secret_.get(); }

  private:
    Secret<Key32> secret_;
};

// tooCostly: a password stanza asking for more work than the caller allows.
// libraryFailed: the cryptographic library failed, no verdict on the stanza;
// its message goes to `libraryMessage` when one is given.
enum class UnwrapResult { opened, notForUs, malformed, tooCostly, libraryFailed };

// Looks for an X25519 stanza that opens with `identity`; stanzas of other
// types are passed over. A malformed X25519 stanza spoils the header.
UnwrapResult unwrapForIdentity(const AgeIdentity& identity, const std::vector<AgeStanza>& stanzas,
                               SecretBytes& fileKey, std::string* libraryMessage = nullptr);
// Same with the identity's secret given as the raw scalar (for tests of
// published vectors).
UnwrapResult unwrapX25519(const Key32& secret, const AgeStanza& stanza, SecretBytes& fileKey,
                          std::string* libraryMessage = nullptr);

// Refused for an empty password (the library takes none).
CryptoResult wrapWithPassword(std::string_view fileKey, std::string_view password, int logN,
                              AgeStanza& out);
// The stanzas must be one scrypt stanza and nothing else. `notForUs` is a
// wrong password; malformed covers a work factor over kMaxScryptLogN too,
// and one over `maxLogN` is tooCostly: no work is spent on either.
UnwrapResult unwrapWithPassword(std::string_view password, const std::vector<AgeStanza>& stanzas,
                                SecretBytes& fileKey, int maxLogN = kMaxScryptLogN,
                                std::string* libraryMessage = nullptr);

}  // namespace vellumar
