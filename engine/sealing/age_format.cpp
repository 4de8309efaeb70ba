#include "engine/sealing/age_format.h"

#include <cstring>
#include <memory>

#include "engine/sealing/age_armor.h"
#include "engine/sealing/age_encoding.h"
#include "engine/platform/atomic_file.h"

namespace vellumar {

const char* const kNameStanzaType = "tessarin/name";

namespace {

const char kVersionLine[] = "age-encryption.org/v1";
const char kVersionPrefix[] = "age-encryption.org/";
constexpr size_t kColumns = 64;
constexpr size_t kSealedChunkSize = kAgeChunkSize + kAeadTagSize;
constexpr size_t kNonceSize = 16;
// A header longer than this is no header we could have been sent in good faith.
constexpr size_t kMaxHeaderSize = 256 * 1024;
// The carried name is padded to a multiple of this, so its length shows little.
constexpr size_t kNamePadding = 256;

CryptoResult headerMacKey(const SecretBytes& fileKey, SecretBytes& key) {
    return hkdfSha256(fileKey.view(), "", "header", key);
}
CryptoResult nameKey(const SecretBytes& fileKey, SecretBytes& key) {
    return hkdfSha256(fileKey.view(), "", kNameStanzaType, key);
}
CryptoResult headerMac(const SecretBytes& fileKey, const std::string& header, std::string& mac) {
    SecretBytes key;
    CryptoResult step = headerMacKey(fileKey, key);
    return step ? hmacSha256(key.view(), header, mac) : step;
}

std::string formatStanza(const AgeStanza& stanza) {
    std::string out = "->";
    for (const std::string& argument : stanza.arguments) out += " " + argument;
    out += "\n";
    const std::string body = encodeBase64(stanza.body);
    // Full lines, then a shorter last one, empty when the body fills its lines.
    for (size_t at = 0;; at += kColumns) {
        const std::string line = body.substr(std::min(at, body.size()), kColumns);
        out += line + "\n";
        if (line.size() < kColumns) break;
    }
    return out;
}

bool isBase64Char(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' ||
           c == '/';
}

bool splitArguments(const std::string& text, std::vector<std::string>& out) {
    out.clear();
    size_t start = 0;
    while (true) {
        const size_t space = text.find(' ', start);
        const std::string argument = text.substr(start, space - start);
        if (argument.empty()) return false;
        for (char c : argument)
            if (c < 0x21 || c > 0x7e) return false;
        out.push_back(argument);
        if (space == std::string::npos) return true;
        start = space + 1;
    }
}

void setCounterNonce(uint8_t* nonce, uint64_t counter, bool last) {
    std::memset(nonce, 0, kAeadNonceSize);
    for (int i = 0; i < 8; ++i) nonce[10 - i] = static_cast<uint8_t>(counter >> (8 * i));
    nonce[11] = last ? 1 : 0;
}

IoError readFullFrom(const AgeSource& source, char* out, size_t size, size_t& got) {
    got = 0;
    while (got < size) {
        size_t part = 0;
        if (IoError e = source(out + got, size - got, part); e != IoError::ok) return e;
        if (part == 0) break;
        got += part;
    }
    return IoError::ok;
}

bool packName(const std::string& name, std::string& out) {
    if (name.size() > kMaxCarriedNameSize) return false;
    out.clear();
    out += static_cast<char>(name.size() >> 8);
    out += static_cast<char>(name.size() & 0xff);
    out += name;
    out.resize((out.size() + kNamePadding - 1) / kNamePadding * kNamePadding, '\0');
    return true;
}

// A carried name names one entry in the folder being unsealed into: never a
// path, never "." or "..".
bool unpackName(const std::string& packed, std::string& name) {
    if (packed.size() < 2 || packed.size() % kNamePadding != 0) return false;
    const size_t length = (static_cast<uint8_t>(packed[0]) << 8) | static_cast<uint8_t>(packed[1]);
    if (length == 0 || length > kMaxCarriedNameSize || length + 2 > packed.size()) return false;
    for (size_t i = 2 + length; i < packed.size(); ++i)
        if (packed[i] != '\0') return false;
    name = packed.substr(2, length);
    if (name == "." || name == "..") return false;
    for (char c : name)
        if (c == '/' || c == '\\' || c == '\0') return false;
    return true;
}

AgeResult writeAgeFile(const SecretBytes& fileKey, const std::vector<AgeStanza>& stanzas,
                       const AgeSource& source, const AgeSink& sink) {
    std::string header = std::string(kVersionLine) + "\n";
    for (const AgeStanza& stanza : stanzas) header += formatStanza(stanza);
    header += "---";
    std::string mac;
    if (CryptoResult step = headerMac(fileKey, header, mac); !step)
        return AgeResult::ofStep(step, AgeError::unsupported);
    header += ' ';
    header += encodeBase64(mac);
    header += '\n';
    std::string nonce(kNonceSize, '\0');
    fillRandom(nonce.data(), nonce.size());
    header += nonce;
    if (IoError e = sink(header.data(), header.size()); e != IoError::ok) return AgeResult::ofIo(e);

    SecretBytes payloadKey;
    if (CryptoResult step = hkdfSha256(fileKey.view(), nonce, "payload", payloadKey); !step)
        return AgeResult::ofStep(step, AgeError::unsupported);
    Aead aead(payloadKey.bytes());
    if (!aead.valid()) return AgeResult::ofStep(aead.status(), AgeError::unsupported);
    // One byte read ahead tells whether a chunk is the last.
    std::vector<char> plain(kAgeChunkSize + 1), sealed(kSealedChunkSize);
    size_t have = 0;
    if (IoError e = readFullFrom(source, plain.data(), plain.size(), have); e != IoError::ok)
        return AgeResult::ofIo(e);
    uint8_t chunkNonce[kAeadNonceSize];
    for (uint64_t counter = 0;; ++counter) {
        const bool last = have <= kAgeChunkSize;
        const size_t size = last ? have : kAgeChunkSize;
        setCounterNonce(chunkNonce, counter, last);
        if (CryptoResult step = aead.seal(chunkNonce, plain.data(), size, sealed.data()); !step)
            return AgeResult::ofStep(step, AgeError::unsupported);
        if (IoError e = sink(sealed.data(), size + kAeadTagSize); e != IoError::ok)
            return AgeResult::ofIo(e);
        if (last) return {};
        plain[0] = plain[kAgeChunkSize];
        size_t got = 0;
        if (IoError e = readFullFrom(source, plain.data() + 1, kAgeChunkSize, got);
            e != IoError::ok)
            return AgeResult::ofIo(e);
        have = 1 + got;
    }
}

}  // namespace

const char* describe(AgeError error) {
    switch (error) {
        case AgeError::ok:
            return "ok";
        case AgeError::io:
            return "input or output failed";
        case AgeError::notAge:
            return "not an age file";
        case AgeError::unsupported:
            return "unsupported age version";
        case AgeError::damaged:
            return "damaged";
        case AgeError::otherIdentity:
            return "sealed for another identity";
        case AgeError::wrongPassword:
            return "wrong password";
        case AgeError::passwordOnly:
            return "sealed with a password";
        case AgeError::tooCostly:
            return "its password asks for too much work";
        case AgeError::library:
            return "the cryptographic library failed";
    }
    return "unknown";
}

std::string describeCause(const AgeResult& result) {
    if (result.error == AgeError::io) return describe(result.io);
    if (result.error == AgeError::library) return libraryFailedText(result.libraryMessage);
    return describe(result.error);
}

std::string libraryFailedText(const std::string& message) {
    return std::string(describe(AgeError::library)) + ": " + message;
}

AgeSource readFromFile(FileHandle file) {
    return [file](char* buffer, size_t size, size_t& got) {
        return fileSystem().read(file, buffer, size, got);
    };
}

AgeSource readFromText(const std::string& text) {
    auto at = std::make_shared<size_t>(0);
    return [text, at](char* buffer, size_t size, size_t& got) {
        got = std::min(size, text.size() - *at);
        std::memcpy(buffer, text.data() + *at, got);
        *at += got;
        return IoError::ok;
    };
}

AgeSink writeToFile(AtomicFile& file) {
    return [&file](const char* data, size_t size) { return file.write(data, size); };
}

AgeResult encryptForRecipient(const AgeRecipient& recipient, const std::string& plainName,
                              const AgeSource& source, const AgeSink& sink) {
    SecretBytes fileKey(kFileKeySize);
    fillRandom(fileKey.data(), fileKey.size());
    std::vector<AgeStanza> stanzas(1);
    if (CryptoResult step = recipient.wrap(fileKey.view(), stanzas[0]); !step)
        return AgeResult::ofStep(step, AgeError::unsupported);
    if (!plainName.empty()) {
        std::string packed, sealedName;
        if (!packName(plainName, packed)) return AgeResult::ofIo(IoError::nameTooLong);
        SecretBytes key;
        CryptoResult step = nameKey(fileKey, key);
        if (step) step = aeadSealOnce(key.view(), packed, sealedName);
        if (!step) return AgeResult::ofStep(step, AgeError::unsupported);
        stanzas.push_back(AgeStanza{{kNameStanzaType}, sealedName});
    }
    return writeAgeFile(fileKey, stanzas, source, sink);
}

AgeResult encryptWithPassword(std::string_view password, int logN, const AgeSource& source,
                              const AgeSink& sink) {
    SecretBytes fileKey(kFileKeySize);
    fillRandom(fileKey.data(), fileKey.size());
    std::vector<AgeStanza> stanzas(1);
    if (CryptoResult step = wrapWithPassword(fileKey.view(), password, logN, stanzas[0]); !step)
        return AgeResult::ofStep(step, AgeError::wrongPassword);
    return writeAgeFile(fileKey, stanzas, source, sink);
}

AgeReader::AgeReader(AgeSource source) : source_(std::move(source)), buffer_(kSealedChunkSize) {}

IoError AgeReader::fill() {
    if (position_ < end_) return IoError::ok;
    position_ = end_ = 0;
    return source_(buffer_.data(), buffer_.size(), end_);
}

IoError AgeReader::readLine(size_t limit, std::string& line, bool& complete) {
    line.clear();
    complete = false;
    while (line.size() <= limit) {
        if (IoError e = fill(); e != IoError::ok) return e;
        if (position_ == end_) return IoError::ok;  // the end, before a LF
        const char c = buffer_[position_++];
        headerText_ += c;
        if (c == '\n') {
            complete = true;
            return IoError::ok;
        }
        line += c;
    }
    return IoError::ok;
}

IoError AgeReader::readFull(char* out, size_t size, size_t& got) {
    got = 0;
    const size_t buffered = std::min(size, end_ - position_);
    std::memcpy(out, buffer_.data() + position_, buffered);
    position_ += buffered;
    got = buffered;
    size_t more = 0;
    if (IoError e = readFullFrom(source_, out + got, size - got, more); e != IoError::ok) return e;
    got += more;
    return IoError::ok;
}

IoError AgeReader::takeArmor() {
    if (IoError e = fill(); e != IoError::ok) return e;
    if (!startsArmored(buffer_.data() + position_, end_ - position_)) return IoError::ok;
    std::string head(buffer_.data() + position_, end_ - position_);
    position_ = end_ = 0;
    source_ = dearmored(std::move(head), std::move(source_), armorBroken_);
    return IoError::ok;
}

AgeResult AgeReader::readFailed(IoError error) const {
    return *armorBroken_ ? AgeResult::of(AgeError::damaged) : AgeResult::ofIo(error);
}

AgeResult AgeReader::readHeader() {
    if (headerRead_) return headerResult_;
    headerRead_ = true;
    auto fail = [this](AgeResult result) { return headerResult_ = result; };
    if (IoError e = takeArmor(); e != IoError::ok) return fail(readFailed(e));
    std::string line;
    bool complete = false;
    if (IoError e = readLine(256, line, complete); e != IoError::ok) return fail(readFailed(e));
    if (line.compare(0, std::strlen(kVersionPrefix), kVersionPrefix) != 0)
        return fail(AgeResult::of(AgeError::notAge));
    if (!complete) return fail(AgeResult::of(AgeError::damaged));
    // A line end changed on the way (CRLF) spoils the header, it is no other version.
    if (line == std::string(kVersionLine) + "\r") return fail(AgeResult::of(AgeError::damaged));
    if (line != kVersionLine) return fail(AgeResult::of(AgeError::unsupported));
    const AgeResult damaged = AgeResult::of(AgeError::damaged);
    while (true) {
        if (headerText_.size() > kMaxHeaderSize) return fail(damaged);
        if (IoError e = readLine(kMaxHeaderSize, line, complete); e != IoError::ok)
            return fail(readFailed(e));
        if (!complete) return fail(damaged);
        if (line.compare(0, 4, "--- ") == 0) {
            std::string mac;
            if (stanzas_.empty() || line.size() != 4 + 43 || !decodeBase64(line.substr(4), mac))
                return fail(damaged);
            mac_ = mac;
            // The MAC covers the header up to and including "---".
            headerText_.resize(headerText_.size() - line.size() - 1 + 3);
            return fail({});
        }
        if (line.compare(0, 3, "-> ") != 0) return fail(damaged);
        AgeStanza stanza;
        if (!splitArguments(line.substr(3), stanza.arguments)) return fail(damaged);
        std::string body;
        while (true) {
            if (IoError e = readLine(kColumns, line, complete); e != IoError::ok)
                return fail(readFailed(e));
            if (!complete || line.size() > kColumns) return fail(damaged);
            for (char c : line)
                if (!isBase64Char(c)) return fail(damaged);
            body += line;
            if (line.size() < kColumns) break;
            if (headerText_.size() > kMaxHeaderSize) return fail(damaged);
        }
        if (!decodeBase64(body, stanza.body)) return fail(damaged);
        stanzas_.push_back(std::move(stanza));
    }
}

AgeResult AgeReader::acceptFileKey(SecretBytes fileKey) {
    std::string mac;
    if (CryptoResult step = headerMac(fileKey, headerText_, mac); !step)
        return AgeResult::ofStep(step, AgeError::damaged);
    if (!equalInConstantTime(mac, mac_)) return AgeResult::of(AgeError::damaged);
    const AgeStanza* nameStanza = nullptr;
    for (const AgeStanza& stanza : stanzas_) {
        if (stanza.arguments[0] != kNameStanzaType) continue;
        if (nameStanza || stanza.arguments.size() != 1) return AgeResult::of(AgeError::damaged);
        nameStanza = &stanza;
    }
    if (nameStanza) {
        if (nameStanza->body.size() > kMaxCarriedNameSize + kNamePadding + kAeadTagSize)
            return AgeResult::of(AgeError::damaged);
        SecretBytes key, packed;
        CryptoResult step = nameKey(fileKey, key);
        if (step) step = aeadOpenOnce(key.view(), nameStanza->body, packed);
        if (!step) return AgeResult::ofStep(step, AgeError::damaged);
        if (!unpackName(std::string(packed.view()), plainName_))
            return AgeResult::of(AgeError::damaged);
    }
    fileKey_ = std::move(fileKey);
    return {};
}

AgeResult AgeReader::openWithIdentity(const AgeIdentity& identity) {
    if (AgeResult header = readHeader(); !header.ok()) return header;
    SecretBytes fileKey;
    std::string libraryMessage;
    switch (unwrapForIdentity(identity, stanzas_, fileKey, &libraryMessage)) {
        case UnwrapResult::opened:
            return acceptFileKey(std::move(fileKey));
        case UnwrapResult::notForUs:
            for (const AgeStanza& stanza : stanzas_)
                if (stanza.arguments[0] == "scrypt") return AgeResult::of(AgeError::passwordOnly);
            return AgeResult::of(AgeError::otherIdentity);
        case UnwrapResult::libraryFailed:
            return AgeResult::ofLibrary(libraryMessage);
        case UnwrapResult::malformed:
        case UnwrapResult::tooCostly:
            break;
    }
    return AgeResult::of(AgeError::damaged);
}

AgeResult AgeReader::openWithPassword(std::string_view password, int maxLogN) {
    if (AgeResult header = readHeader(); !header.ok()) return header;
    SecretBytes fileKey;
    std::string libraryMessage;
    switch (unwrapWithPassword(password, stanzas_, fileKey, maxLogN, &libraryMessage)) {
        case UnwrapResult::tooCostly:
            return AgeResult::of(AgeError::tooCostly);
        case UnwrapResult::opened:
            return acceptFileKey(std::move(fileKey));
        case UnwrapResult::notForUs:
            return AgeResult::of(AgeError::wrongPassword);
        case UnwrapResult::libraryFailed:
            return AgeResult::ofLibrary(libraryMessage);
        case UnwrapResult::malformed:
            break;
    }
    return AgeResult::of(AgeError::damaged);
}

AgeResult AgeReader::decryptTo(const AgeSink& sink) {
    if (fileKey_.empty()) return AgeResult::of(AgeError::otherIdentity);
    const AgeResult damaged = AgeResult::of(AgeError::damaged);
    std::string nonce(kNonceSize, '\0');
    size_t got = 0;
    if (IoError e = readFull(nonce.data(), nonce.size(), got); e != IoError::ok)
        return readFailed(e);
    if (got != nonce.size()) return damaged;
    SecretBytes payloadKey;
    if (CryptoResult step = hkdfSha256(fileKey_.view(), nonce, "payload", payloadKey); !step)
        return AgeResult::ofStep(step, AgeError::unsupported);
    Aead aead(payloadKey.bytes());
    if (!aead.valid()) return AgeResult::ofStep(aead.status(), AgeError::unsupported);
    // One byte read ahead tells whether a chunk is the last: only the last
    // may be shorter, and only it carries the flag.
    std::vector<char> sealed(kSealedChunkSize + 1), plain(kAgeChunkSize);
    // The content may be a secret itself (the identity file's).
    struct Wipe {
        std::vector<char>& buffer;
        ~Wipe() { wipeSecret(buffer.data(), buffer.size()); }
    } wipePlain{plain};
    size_t have = 0;
    if (IoError e = readFull(sealed.data(), sealed.size(), have); e != IoError::ok)
        return readFailed(e);
    uint8_t chunkNonce[kAeadNonceSize];
    for (uint64_t counter = 0;; ++counter) {
        const bool last = have <= kSealedChunkSize;
        const size_t size = last ? have : kSealedChunkSize;
        if (size < kAeadTagSize) return damaged;
        // Only a file with no content at all ends in an empty chunk.
        if (last && size == kAeadTagSize && counter > 0) return damaged;
        setCounterNonce(chunkNonce, counter, last);
        if (CryptoResult step = aead.open(chunkNonce, sealed.data(), size, plain.data()); !step)
            return AgeResult::ofStep(step, AgeError::damaged);
        if (IoError e = sink(plain.data(), size - kAeadTagSize); e != IoError::ok)
            return AgeResult::ofIo(e);
        if (last) return {};
        sealed[0] = sealed[kSealedChunkSize];
        if (IoError e = readFull(sealed.data() + 1, kSealedChunkSize, got); e != IoError::ok)
            return readFailed(e);
        have = 1 + got;
    }
}

}  // namespace vellumar
