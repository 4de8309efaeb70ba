#include "engine/sealing/age_keys.h"

#include <cstring>

#include "engine/sealing/age_encoding.h"

namespace vellumar {
namespace {

const char kIdentityHuman[] = "AGE-SECRET-KEY-";
const char kRecipientHuman[] = "age";
const char kX25519Info[] = "age-encryption.org/v1/X25519";
const char kScryptLabel[] = "age-encryption.org/v1/scrypt";

std::string bytesOf(const Key32& key) {
    return std::string(reinterpret_cast<const char*>(key.data()), key.size());
}

std::string_view viewOf(const Key32& key) {
    return {reinterpret_cast<const char*>(key.data()), key.size()};
}

bool keyFrom(const std::string& bytes, Key32& key) {
    if (bytes.size() != key.size()) return false;
    std::memcpy(key.data(), bytes.data(), key.size());
    return true;
}

CryptoResult wrapKeyFor(const Key32& shared, const Key32& share, const Key32& recipient,
                        SecretBytes& key) {
    return hkdfSha256(viewOf(shared), bytesOf(share) + bytesOf(recipient), kX25519Info, key);
}

// What a failed step of an unwrap tells: the library's failure, named, or
// the stanza's fault.
UnwrapResult unwrapFailed(const CryptoResult& step, UnwrapResult otherwise,
                          std::string* libraryMessage) {
    if (!step.libraryFailed()) return otherwise;
    if (libraryMessage) *libraryMessage = step.message();
    return UnwrapResult::libraryFailed;
}

// A decimal with no leading zero, as the format writes the work factor.
bool parseWorkFactor(const std::string& text, int& logN) {
    if (text.empty() || text.size() > 2 || text[0] < '1' || text[0] > '9') return false;
    logN = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        logN = logN * 10 + (c - '0');
    }
    return true;
}

}  // namespace

bool AgeRecipient::parse(const std::string& text, AgeRecipient& out) {
    std::string human, bytes;
    return decodeBech32(text, human, bytes) && human == kRecipientHuman &&
           text.compare(0, 3, kRecipientHuman) == 0 && keyFrom(bytes, out.publicKey_);
}

std::string AgeRecipient::encode() const {
    return encodeBech32(kRecipientHuman, bytesOf(publicKey_));
}

CryptoResult AgeRecipient::wrap(std::string_view fileKey, AgeStanza& out) const {
    Secret<Key32> ephemeral, shared;
    Key32 share;
    fillRandom(ephemeral.get().data(), ephemeral.get().size());
    SecretBytes wrapKey;
    std::string body;
    CryptoResult step = x25519Base(ephemeral.get(), share);
    if (step) step = x25519(ephemeral.get(), publicKey_, shared.get());
    if (step) step = wrapKeyFor(shared.get(), share, publicKey_, wrapKey);
    if (step) step = aeadSealOnce(wrapKey.view(), fileKey, body);
    if (!step) return step;
    out.arguments = {"X25519", encodeBase64(bytesOf(share))};
    out.body = body;
    return CryptoResult::done();
}

AgeIdentity AgeIdentity::generate() {
    AgeIdentity identity;
    fillRandom(identity.secret_.get().data(), identity.secret_.get().size());
    return identity;
}

bool AgeIdentity::parse(const std::string& text, AgeIdentity& out) {
    std::string human, bytes;
    // Only the uppercase spelling is an identity.
    const bool parsed = text.compare(0, 15, kIdentityHuman) == 0 &&
                        decodeBech32(text, human, bytes) && human == "age-secret-key-" &&
                        keyFrom(bytes, out.secret_.get());
    wipeSecret(bytes);
    return parsed;
}

std::string AgeIdentity::encode() const {
    std::string bytes = bytesOf(secret_.get());
    std::string text = encodeBech32(kIdentityHuman, bytes);
    wipeSecret(bytes);
    return text;
}

AgeRecipient AgeIdentity::recipient() const {
    AgeRecipient recipient;
    x25519Base(secret_.get(), recipient.publicKey_);
    return recipient;
}

UnwrapResult unwrapX25519(const Key32& secret, const AgeStanza& stanza, SecretBytes& fileKey,
                          std::string* libraryMessage) {
    if (stanza.arguments.empty() || stanza.arguments[0] != "X25519") return UnwrapResult::notForUs;
    std::string shareBytes;
    Key32 share, recipient;
    Secret<Key32> shared;
    if (stanza.arguments.size() != 2 || !decodeBase64(stanza.arguments[1], shareBytes) ||
        !keyFrom(shareBytes, share) || stanza.body.size() != kFileKeySize + kAeadTagSize)
        return UnwrapResult::malformed;
    // An all-zero shared secret: a share chosen to make the key known.
    if (CryptoResult step = x25519(secret, share, shared.get()); !step)
        return unwrapFailed(step, UnwrapResult::malformed, libraryMessage);
    if (CryptoResult step = x25519Base(secret, recipient); !step)
        return unwrapFailed(step, UnwrapResult::malformed, libraryMessage);
    SecretBytes wrapKey;
    if (CryptoResult step = wrapKeyFor(shared.get(), share, recipient, wrapKey); !step)
        return unwrapFailed(step, UnwrapResult::malformed, libraryMessage);
    if (CryptoResult step = aeadOpenOnce(wrapKey.view(), stanza.body, fileKey); !step)
        return unwrapFailed(step, UnwrapResult::notForUs, libraryMessage);
    return UnwrapResult::opened;
}

UnwrapResult unwrapForIdentity(const AgeIdentity& identity, const std::vector<AgeStanza>& stanzas,
                               SecretBytes& fileKey, std::string* libraryMessage) {
    for (const AgeStanza& stanza : stanzas) {
        if (stanza.arguments.empty()) return UnwrapResult::malformed;
        // A password stanza is never mixed with others.
        if (stanza.arguments[0] == "scrypt") return UnwrapResult::notForUs;
    }
    for (const AgeStanza& stanza : stanzas) {
        const UnwrapResult result = unwrapX25519(identity.secret(), stanza, fileKey, libraryMessage);
        if (result != UnwrapResult::notForUs) return result;
    }
    return UnwrapResult::notForUs;
}

CryptoResult wrapWithPassword(std::string_view fileKey, std::string_view password, int logN,
                              AgeStanza& out) {
    std::string salt(16, '\0');
    fillRandom(salt.data(), salt.size());
    Secret<Key32> key;
    std::string body;
    if (password.empty()) return CryptoResult::refused();
    CryptoResult step = scrypt(password, kScryptLabel + salt, logN, key.get());
    if (step) step = aeadSealOnce(viewOf(key.get()), fileKey, body);
    if (!step) return step;
    out = AgeStanza{{"scrypt", encodeBase64(salt), std::to_string(logN)}, body};
    return CryptoResult::done();
}

UnwrapResult unwrapWithPassword(std::string_view password, const std::vector<AgeStanza>& stanzas,
                                SecretBytes& fileKey, int maxLogN, std::string* libraryMessage) {
    bool anyScrypt = false;
    for (const AgeStanza& stanza : stanzas)
        anyScrypt |= !stanza.arguments.empty() && stanza.arguments[0] == "scrypt";
    if (!anyScrypt) return UnwrapResult::notForUs;
    if (stanzas.size() != 1) return UnwrapResult::malformed;
    const AgeStanza& stanza = stanzas[0];
    std::string salt;
    int logN = 0;
    if (stanza.arguments.size() != 3 || !decodeBase64(stanza.arguments[1], salt) ||
        salt.size() != 16 || !parseWorkFactor(stanza.arguments[2], logN) || logN > kMaxScryptLogN ||
        stanza.body.size() != kFileKeySize + kAeadTagSize)
        return UnwrapResult::malformed;
    if (logN > maxLogN) return UnwrapResult::tooCostly;
    Secret<Key32> key;
    if (CryptoResult step = scrypt(password, kScryptLabel + salt, logN, key.get()); !step)
        return unwrapFailed(step, UnwrapResult::malformed, libraryMessage);
    if (CryptoResult step = aeadOpenOnce(viewOf(key.get()), stanza.body, fileKey); !step)
        return unwrapFailed(step, UnwrapResult::notForUs, libraryMessage);
    return UnwrapResult::opened;
}

}  // namespace vellumar
