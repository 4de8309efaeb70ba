#include "engine/age_keys.h"

#include <cstring>

#include "engine/age_encoding.h"

namespace vellumar {
namespace {

const char kIdentityHuman[] = "AGE-SECRET-KEY-";
const char kRecipientHuman[] = "age";
const char kX25519Info[] = "age-encryption.org/v1/X25519";
const char kScryptLabel[] = "age-encryption.org/v1/scrypt";

std::string bytesOf(const Key32& key) {
    return std::string(reinterpret_cast<const char*>(key.data()), key.size());
}

bool keyFrom(const std::string& bytes, Key32& key) {
    if (bytes.size() != key.size()) return false;
    std::memcpy(key.data(), bytes.data(), key.size());
    return true;
}

std::string wrapKeyFor(const Key32& shared, const Key32& share, const Key32& recipient) {
    return hkdfSha256(bytesOf(shared), bytesOf(share) + bytesOf(recipient), kX25519Info);
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

bool AgeRecipient::wrap(const std::string& fileKey, AgeStanza& out) const {
    Key32 ephemeral, share, shared;
    fillRandom(ephemeral.data(), ephemeral.size());
    if (!x25519Base(ephemeral, share) || !x25519(ephemeral, publicKey_, shared)) return false;
    const std::string body = aeadSealOnce(wrapKeyFor(shared, share, publicKey_), fileKey);
    if (body.empty()) return false;
    out.arguments = {"X25519", encodeBase64(bytesOf(share))};
    out.body = body;
    return true;
}

AgeIdentity AgeIdentity::generate() {
    AgeIdentity identity;
    fillRandom(identity.secret_.data(), identity.secret_.size());
    return identity;
}

bool AgeIdentity::parse(const std::string& text, AgeIdentity& out) {
    std::string human, bytes;
    // Only the uppercase spelling is an identity.
    return text.compare(0, 15, kIdentityHuman) == 0 && decodeBech32(text, human, bytes) &&
           human == "age-secret-key-" && keyFrom(bytes, out.secret_);
}

std::string AgeIdentity::encode() const {
    return encodeBech32(kIdentityHuman, bytesOf(secret_));
}

AgeRecipient AgeIdentity::recipient() const {
    AgeRecipient recipient;
    x25519Base(secret_, recipient.publicKey_);
    return recipient;
}

UnwrapResult unwrapX25519(const Key32& secret, const AgeStanza& stanza, std::string& fileKey) {
    if (stanza.arguments.empty() || stanza.arguments[0] != "X25519") return UnwrapResult::notForUs;
    std::string shareBytes;
    Key32 share, shared, recipient;
    if (stanza.arguments.size() != 2 || !decodeBase64(stanza.arguments[1], shareBytes) ||
        !keyFrom(shareBytes, share) || stanza.body.size() != kFileKeySize + kAeadTagSize)
        return UnwrapResult::malformed;
    // An all-zero shared secret: a share chosen to make the key known.
    if (!x25519(secret, share, shared)) return UnwrapResult::malformed;
    if (!x25519Base(secret, recipient)) return UnwrapResult::malformed;
    return aeadOpenOnce(wrapKeyFor(shared, share, recipient), stanza.body, fileKey)
               ? UnwrapResult::opened
               : UnwrapResult::notForUs;
}

UnwrapResult unwrapForIdentity(const AgeIdentity& identity, const std::vector<AgeStanza>& stanzas,
                               std::string& fileKey) {
    for (const AgeStanza& stanza : stanzas) {
        if (stanza.arguments.empty()) return UnwrapResult::malformed;
        // A password stanza is never mixed with others.
        if (stanza.arguments[0] == "scrypt") return UnwrapResult::notForUs;
    }
    for (const AgeStanza& stanza : stanzas) {
        const UnwrapResult result = unwrapX25519(identity.secret(), stanza, fileKey);
        if (result != UnwrapResult::notForUs) return result;
    }
    return UnwrapResult::notForUs;
}

bool wrapWithPassword(const std::string& fileKey, const std::string& password, int logN,
                      AgeStanza& out) {
    std::string salt(16, '\0');
    fillRandom(salt.data(), salt.size());
    Key32 key;
    if (password.empty() || !scrypt(password, kScryptLabel + salt, logN, key)) return false;
    out = AgeStanza{{"scrypt", encodeBase64(salt), std::to_string(logN)},
                    aeadSealOnce(bytesOf(key), fileKey)};
    return !out.body.empty();
}

UnwrapResult unwrapWithPassword(const std::string& password, const std::vector<AgeStanza>& stanzas,
                                std::string& fileKey, int maxLogN) {
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
    Key32 key;
    if (!scrypt(password, kScryptLabel + salt, logN, key)) return UnwrapResult::malformed;
    return aeadOpenOnce(bytesOf(key), stanza.body, fileKey) ? UnwrapResult::opened
                                                            : UnwrapResult::notForUs;
}

}  // namespace vellumar
