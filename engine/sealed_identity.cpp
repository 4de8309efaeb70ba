#include "engine/sealed_identity.h"

namespace vellumar {
namespace {

// Far more than an identity file holds; a file that decrypts to more is
// not ours.
constexpr size_t kMaxIdentityText = 4096;

}  // namespace

std::string identityText(const AgeIdentity& identity) {
    return "# public key: " + identity.recipient().encode() + "\n" + identity.encode() + "\n";
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
                            const std::string& password, int logN, AtomicFile::Mode mode) {
    AtomicFile output(path, mode);
    if (IoError e = output.open(); e != IoError::ok) return AgeResult::ofIo(e);
    if (AgeResult result = encryptWithPassword(password, logN, readFromText(identityText(identity)),
                                               writeToFile(output));
        !result.ok())
        return result;
    return AgeResult::ofIo(output.commit());
}

AgeResult readIdentityFile(const std::string& path, const std::string& password,
                           AgeIdentity& identity, int maxLogN) {
    FileSystem& fs = fileSystem();
    FileHandle input = kNoFile;
    FileCloser closer(input);
    if (IoError e = fs.openRead(path, input); e != IoError::ok) return AgeResult::ofIo(e);
    AgeReader reader(readFromFile(input));
    if (AgeResult result = reader.openWithPassword(password, maxLogN); !result.ok()) return result;
    std::string text;
    bool tooLong = false;
    AgeResult result = reader.decryptTo([&](const char* data, size_t size) {
        if (text.size() + size > kMaxIdentityText)
            tooLong = true;
        else
            text.append(data, size);
        return IoError::ok;
    });
    if (!result.ok()) return result;
    if (tooLong || !parseIdentityText(text, identity)) return AgeResult::of(AgeError::damaged);
    return {};
}

}  // namespace vellumar
