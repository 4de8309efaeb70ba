#include "engine/sealing/sealed_identity.h"

#include <algorithm>
#include <cstring>

namespace vellumar {
namespace {

// Far more than an identity file holds; a file that decrypts to more is
// not ours.
constexpr size_t kMaxIdentityText = 4096;

}  // namespace

std::string identityText(const AgeIdentity& identity) {
    std::string secret = identity.encode();
    std::string text = "# public key: " + identity.recipient().encode() + "\n";
    // Room for all of it, so that no copy of the secret is left behind by a
    // growing buffer.
    text.reserve(text.size() + secret.size() + 1);
    text.append(secret).push_back('\n');
    wipeSecret(secret);
    return text;
}

bool parseIdentities(const std::string& text, std::vector<AgeIdentity>& identities) {
    identities.clear();
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == '#') continue;
        AgeIdentity identity;
        if (!AgeIdentity::parse(line, identity)) {
            identities.clear();
            return false;
        }
        identities.push_back(identity);
    }
    return !identities.empty();
}

bool parseIdentityText(const std::string& text, AgeIdentity& identity) {
    std::vector<AgeIdentity> identities;
    if (!parseIdentities(text, identities) || identities.size() != 1) return false;
    identity = identities.front();
    return true;
}

AgeResult writeIdentityFile(const std::string& path, const AgeIdentity& identity,
                            std::string_view password, int logN, AtomicFile::Mode mode) {
    AtomicFile output(path, mode);
    if (IoError e = output.open(); e != IoError::ok) return AgeResult::ofIo(e);
    // The secret text is read in place and wiped, never copied into the source.
    std::string text = identityText(identity);
    size_t at = 0;
    const AgeSource source = [&](char* buffer, size_t size, size_t& got) {
        got = std::min(size, text.size() - at);
        std::memcpy(buffer, text.data() + at, got);
        at += got;
        return IoError::ok;
    };
    const AgeResult result = encryptWithPassword(password, logN, source, writeToFile(output));
    wipeSecret(text);
    if (!result.ok()) return result;
    return AgeResult::ofIo(output.commit());
}

AgeResult readIdentityFile(const std::string& path, std::string_view password,
                           AgeIdentity& identity, int maxLogN) {
    FileSystem& fs = fileSystem();
    FileHandle input = kNoFile;
    FileCloser closer(input);
    if (IoError e = fs.openRead(path, input); e != IoError::ok) return AgeResult::ofIo(e);
    AgeReader reader(readFromFile(input));
    if (AgeResult result = reader.openWithPassword(password, maxLogN); !result.ok()) return result;
    std::string text;
    text.reserve(kMaxIdentityText);
    bool tooLong = false;
    AgeResult result = reader.decryptTo([&](const char* data, size_t size) {
        if (text.size() + size > kMaxIdentityText)
            tooLong = true;
        else
            text.append(data, size);
        return IoError::ok;
    });
    const bool parsed = result.ok() && !tooLong && parseIdentityText(text, identity);
    wipeSecret(text);
    if (!result.ok()) return result;
    if (!parsed) return AgeResult::of(AgeError::damaged);
    return {};
}

}  // namespace vellumar
