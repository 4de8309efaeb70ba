#include "engine/sealing/age_format.h"

#include <gtest/gtest.h>

#include <cstring>

#include "engine/sealing/age_encoding.h"
#include "tests/engine/sealing/age_test_printing.h"

namespace vellumar {
namespace {

std::string patterned(size_t size) {
    std::string out(size, '\0');
    for (size_t i = 0; i < size; ++i) out[i] = static_cast<char>((i * 7 + i / 251) & 0xff);
    return out;
}

AgeSink intoText(std::string& out) {
    return [&out](const char* data, size_t size) {
        out.append(data, size);
        return IoError::ok;
    };
}

std::string sealText(const AgeIdentity& identity, const std::string& content,
                     const std::string& name = "notes.txt") {
    std::string sealed;
    EXPECT_TRUE(
        encryptForRecipient(identity.recipient(), name, readFromText(content), intoText(sealed))
            .ok());
    return sealed;
}

// Opens and decrypts; the name and content come back through the pointers.
AgeError openText(const AgeIdentity& identity, const std::string& sealed,
                  std::string* content = nullptr, std::string* name = nullptr) {
    AgeReader reader(readFromText(sealed));
    std::string plain;
    AgeResult result = reader.openWithIdentity(identity);
    if (result.ok()) result = reader.decryptTo(intoText(plain));
    if (content) *content = plain;
    if (name) *name = reader.plainName();
    return result.error;
}

size_t headerSize(const std::string& sealed) {
    const size_t mac = sealed.find("\n--- ");
    return sealed.find('\n', mac + 1) + 1;
}

TEST(AgeFormat, ContentAndNameComeBackWholeAtEveryChunkEdge) {
    const AgeIdentity identity = AgeIdentity::generate();
    for (size_t size : {size_t{0}, size_t{1}, kAgeChunkSize - 1, kAgeChunkSize, kAgeChunkSize + 1,
                        2 * kAgeChunkSize, 2 * kAgeChunkSize + 300}) {
        const std::string content = patterned(size);
        const std::string sealed = sealText(identity, content, "r\xC3\xA9sum\xC3\xA9 1.txt");
        // 16 bytes of nonce, and one tag for each chunk (an empty file has one).
        const size_t chunks = size == 0 ? 1 : (size + kAgeChunkSize - 1) / kAgeChunkSize;
        EXPECT_EQ(sealed.size() - headerSize(sealed), 16 + size + 16 * chunks) << size;
        std::string back, name;
        EXPECT_EQ(openText(identity, sealed, &back, &name), AgeError::ok) << size;
        EXPECT_TRUE(back == content) << size;
        EXPECT_EQ(name, "r\xC3\xA9sum\xC3\xA9 1.txt");
    }
}

TEST(AgeFormat, TheHeaderShowsNeitherTheNameNorItsExactLength) {
    const AgeIdentity identity = AgeIdentity::generate();
    const std::string shortName = sealText(identity, "x", "a.txt");
    const std::string longerName = sealText(identity, "x", "quarterly-report-final.txt");
    EXPECT_EQ(shortName.find("a.txt"), std::string::npos);
    EXPECT_EQ(headerSize(shortName), headerSize(longerName));
    // Without a name, nothing of ours is in the header.
    const std::string unnamed = sealText(identity, "x", "");
    EXPECT_EQ(unnamed.find(kNameStanzaType), std::string::npos);
    std::string name = "unchanged";
    EXPECT_EQ(openText(identity, unnamed, nullptr, &name), AgeError::ok);
    EXPECT_EQ(name, "");
}

TEST(AgeFormat, AnyChangeOrCutIsRefused) {
    const AgeIdentity identity = AgeIdentity::generate();
    const std::string content = patterned(2 * kAgeChunkSize + 1000);
    const std::string sealed = sealText(identity, content);
    const size_t header = headerSize(sealed);
    const size_t nameStanza = sealed.find(kNameStanzaType);
    const size_t share = sealed.find("-> X25519 ") + 10;
    const size_t firstChunk = header + 16, lastChunk = firstChunk + 2 * (kAgeChunkSize + 16);
    struct Case {
        const char* what;
        size_t flipAt;      // the byte changed here, or
        size_t cutTo;       // the file cut to this length, or
        std::string added;  // this added at its end
        AgeError expected;
    } cases[] = {
        {"version line", 1, 0, "", AgeError::notAge},
        {"version number", 20, 0, "", AgeError::unsupported},
        {"stanza share", share + 3, 0, "", AgeError::otherIdentity},
        {"name stanza", nameStanza + 30, 0, "", AgeError::damaged},
        {"MAC", header - 5, 0, "", AgeError::damaged},
        {"payload nonce", header + 3, 0, "", AgeError::damaged},
        {"first chunk", firstChunk + 100, 0, "", AgeError::damaged},
        {"first chunk's tag", firstChunk + kAgeChunkSize + 3, 0, "", AgeError::damaged},
        {"last chunk", lastChunk + 5, 0, "", AgeError::damaged},
        {"last byte", sealed.size() - 1, 0, "", AgeError::damaged},
        {"empty", std::string::npos, 1, "", AgeError::notAge},
        {"cut in the header", std::string::npos, header - 20, "", AgeError::damaged},
        {"cut after the header", std::string::npos, header + 1, "", AgeError::damaged},
        {"cut at a chunk's end", std::string::npos, lastChunk + 1, "", AgeError::damaged},
        {"cut by one byte", std::string::npos, sealed.size(), "", AgeError::damaged},
        {"a byte added", std::string::npos, 0, "x", AgeError::damaged},
        {"a chunk added", std::string::npos, 0, sealed.substr(firstChunk, kAgeChunkSize + 16),
         AgeError::damaged},
    };
    for (const Case& c : cases) {
        std::string changed = sealed;
        // Another base64 character, so that a changed stanza still parses.
        if (c.flipAt != std::string::npos) changed[c.flipAt] = changed[c.flipAt] == 'A' ? 'B' : 'A';
        if (c.cutTo != 0) changed.resize(c.cutTo - 1);
        changed += c.added;
        EXPECT_EQ(openText(identity, changed), c.expected) << c.what;
    }
    EXPECT_EQ(openText(identity, sealed), AgeError::ok);
}

// Builds a file for `identity` chunk by chunk, each with the last-chunk
// flag given, as a faulty writer might.
std::string craftFile(const AgeIdentity& identity,
                      const std::vector<std::pair<std::string, bool>>& chunks) {
    const std::string fileKey(16, 'f'), nonce(16, 'n');
    AgeStanza stanza;
    EXPECT_TRUE(identity.recipient().wrap(fileKey, stanza));
    std::string header = "age-encryption.org/v1\n-> " + stanza.arguments[0] + " " +
                         stanza.arguments[1] + "\n" + encodeBase64(stanza.body) + "\n---";
    SecretBytes macKey, payloadKey;
    std::string macBytes;
    EXPECT_TRUE(hkdfSha256(fileKey, "", "header", macKey));
    EXPECT_TRUE(hmacSha256(macKey.view(), header, macBytes));
    const std::string mac = encodeBase64(macBytes);
    std::string out = header;
    out += ' ';
    out += mac;
    out += '\n';
    out += nonce;
    EXPECT_TRUE(hkdfSha256(fileKey, nonce, "payload", payloadKey));
    Aead aead(payloadKey.bytes());
    for (size_t i = 0; i < chunks.size(); ++i) {
        uint8_t chunkNonce[12] = {};
        chunkNonce[10] = static_cast<uint8_t>(i);
        chunkNonce[11] = chunks[i].second ? 1 : 0;
        std::string sealed(chunks[i].first.size() + 16, '\0');
        aead.seal(chunkNonce, chunks[i].first.data(), chunks[i].first.size(), sealed.data());
        out += sealed;
    }
    return out;
}

TEST(AgeFormat, OnlyTheLastChunkCarriesTheLastChunkFlag) {
    const AgeIdentity identity = AgeIdentity::generate();
    const std::string full = patterned(kAgeChunkSize), tail = "tail";
    struct Case {
        const char* what;
        std::vector<std::pair<std::string, bool>> chunks;
        AgeError expected;
    } cases[] = {
        {"flagged full last chunk", {{full, true}}, AgeError::ok},
        {"flagged empty file", {{"", true}}, AgeError::ok},
        {"flagged short last chunk", {{full, false}, {tail, true}}, AgeError::ok},
        {"unflagged last chunk", {{full, false}, {tail, false}}, AgeError::damaged},
        {"unflagged only chunk", {{tail, false}}, AgeError::damaged},
        {"flag before the end", {{full, true}, {tail, true}}, AgeError::damaged},
        {"empty last chunk after content", {{full, false}, {"", true}}, AgeError::damaged},
    };
    for (const Case& c : cases) {
        std::string content, expected;
        for (const auto& chunk : c.chunks) expected += chunk.first;
        EXPECT_EQ(openText(identity, craftFile(identity, c.chunks), &content), c.expected)
            << c.what;
        if (c.expected == AgeError::ok) {
            EXPECT_TRUE(content == expected) << c.what;
        }
    }
}

TEST(AgeFormat, MalformedHeadersAreRefusedBeforeAnyKeyIsTried) {
    const AgeIdentity identity = AgeIdentity::generate();
    const std::string sealed = sealText(identity, "content");
    const size_t header = headerSize(sealed);
    const std::string text = sealed.substr(0, header), rest = sealed.substr(header);
    auto replaced = [&](const std::string& from, const std::string& to) {
        std::string out = text;
        const size_t at = out.find(from);
        EXPECT_NE(at, std::string::npos) << from;
        return out.replace(at, from.size(), to) + rest;
    };
    const std::string macLine = text.substr(text.rfind("--- "));
    const size_t stanza = text.find("-> X25519 ") + 10;
    const std::string shareArgument = text.substr(stanza, text.find('\n', stanza) - stanza);
    struct Case {
        const char* what;
        std::string file;
        AgeError expected;
    } cases[] = {
        {"no stanza", "age-encryption.org/v1\n" + macLine + rest, AgeError::damaged},
        {"no MAC line", replaced(macLine, ""), AgeError::damaged},
        {"MAC too short", replaced(macLine, macLine.substr(0, macLine.size() - 2) + "\n"),
         AgeError::damaged},
        {"empty argument", replaced("-> X25519 ", "-> X25519  "), AgeError::damaged},
        {"stanza without arguments", replaced("-> X25519 " + shareArgument, "->"),
         AgeError::damaged},
        {"padded share", replaced(shareArgument, shareArgument + "="), AgeError::damaged},
        {"share too short", replaced(shareArgument, shareArgument.substr(4)), AgeError::damaged},
        // Line ends changed on the way spoil it; it is no other version.
        {"carriage return", replaced("age-encryption.org/v1\n", "age-encryption.org/v1\r\n"),
         AgeError::damaged},
        {"unknown line", replaced("-> X25519", "-< X25519"), AgeError::damaged},
    };
    for (const Case& c : cases) EXPECT_EQ(openText(identity, c.file), c.expected) << c.what;
}

TEST(AgeFormat, ACarriedNameIsOneEntryName) {
    const AgeIdentity identity = AgeIdentity::generate();
    for (const std::string& name :
         {std::string("../escape.txt"), std::string("a/b.txt"), std::string("a\\b.txt"),
          std::string(".."), std::string("."), std::string("nul\0.txt", 8)})
        EXPECT_EQ(openText(identity, sealText(identity, "x", name)), AgeError::damaged) << name;
    std::string sealed;
    EXPECT_EQ(encryptForRecipient(identity.recipient(), std::string(kMaxCarriedNameSize + 1, 'n'),
                                  readFromText("x"), intoText(sealed))
                  .io,
              IoError::nameTooLong);
}

TEST(AgeFormat, KeysThatDoNotFitAreToldApart) {
    const AgeIdentity identity = AgeIdentity::generate(), other = AgeIdentity::generate();
    const std::string sealed = sealText(identity, "content");
    EXPECT_EQ(openText(other, sealed), AgeError::otherIdentity);

    std::string passwordFile;
    ASSERT_TRUE(
        encryptWithPassword("secret", 10, readFromText("content"), intoText(passwordFile)).ok());
    // A file only a password opens says so, not that another key sealed it.
    EXPECT_EQ(openText(identity, passwordFile), AgeError::passwordOnly);
    struct Case {
        const char* what;
        std::string file, password;
        AgeError expected;
    } cases[] = {
        {"right password", passwordFile, "secret", AgeError::ok},
        {"wrong password", passwordFile, "Secret", AgeError::wrongPassword},
        {"file for an identity", sealed, "secret", AgeError::wrongPassword},
    };
    for (const Case& c : cases) {
        AgeReader reader(readFromText(c.file));
        EXPECT_EQ(reader.openWithPassword(c.password).error, c.expected) << c.what;
    }
    // A password stanza beside another stanza, or asking for too much work.
    std::string mixed = passwordFile;
    const size_t mac = mixed.find("\n--- ");
    mixed.insert(mac + 1, "-> other\n\n");
    AgeReader mixedReader(readFromText(mixed));
    EXPECT_EQ(mixedReader.openWithPassword("secret").error, AgeError::damaged);
    std::string costly = passwordFile;
    costly.replace(costly.find(" 10\n"), 4, " 23\n");
    AgeReader costlyReader(readFromText(costly));
    EXPECT_EQ(costlyReader.openWithPassword("secret").error, AgeError::damaged);
    // Within the format's bound, a caller may allow less, and no work is spent beyond it.
    AgeReader boundedReader(readFromText(passwordFile));
    EXPECT_EQ(boundedReader.openWithPassword("secret", 9).error, AgeError::tooCostly);
    AgeReader allowedReader(readFromText(passwordFile));
    EXPECT_EQ(allowedReader.openWithPassword("secret", 10).error, AgeError::ok);
}

}  // namespace
}  // namespace vellumar

namespace vellumar {
namespace {

// The strict PEM form of a binary file, with `eol` ending each line.
std::string armor(const std::string& binary, const std::string& eol = "\n") {
    std::string text = "-----BEGIN AGE ENCRYPTED FILE-----" + eol;
    for (size_t at = 0; at < binary.size(); at += 48) {
        std::string line = encodeBase64(binary.substr(at, 48));
        while (line.size() % 4 != 0) line += '=';
        text += line + eol;
    }
    return text + "-----END AGE ENCRYPTED FILE-----" + eol;
}

// Armored files open like binary ones; every liberty beyond whitespace
// around the block and CRLF line ends is refused as damaged, not as some
// other file, and nothing of the content is released.
TEST(AgeArmor, OnlyTheStrictFormOpens) {
    const AgeIdentity identity = AgeIdentity::generate();
    const std::string content = patterned(1000);
    const std::string binary = sealText(identity, content);
    ASSERT_NE(binary.size() % 3, 0u);  // so that its last line is padded
    const std::string armored = armor(binary);
    // A binary file whose size is a multiple of 48 ends in a full line.
    const size_t over = sealText(identity, content.substr(0, 600)).size() % 48;
    const std::string fullContent = content.substr(0, 600 + (48 - over) % 48);
    const std::string full = sealText(identity, fullContent);
    ASSERT_EQ(full.size() % 48, 0u);
    const std::string bodyStart = "FILE-----\n";
    const size_t firstLine = armored.find(bodyStart) + bodyStart.size();
    const size_t endLine = armored.find("-----END");
    const size_t padding = armored.find('=');
    auto replaced = [&armored](size_t at, size_t size, const std::string& with) {
        return std::string(armored).replace(at, size, with);
    };
    struct Case {
        const char* what;
        std::string file;
        AgeError expected;
        std::string content = {};
    } cases[] = {
        {"as written", armored, AgeError::ok, content},
        {"CRLF", armor(binary, "\r\n"), AgeError::ok, content},
        {"whitespace around", " \n\t" + armored + "\n \n", AgeError::ok, content},
        {"a full last line", armor(full), AgeError::ok, fullContent},
        {"lowercase label", replaced(0, 10, "-----begin"), AgeError::notAge},
        {"another label", replaced(11, 3, "PGP"), AgeError::notAge},
        {"garbage before", "x" + armored, AgeError::notAge},
        {"garbage after", armored + "x", AgeError::damaged},
        {"no end line", armored.substr(0, endLine), AgeError::damaged},
        {"an empty line", replaced(firstLine, 0, "\n"), AgeError::damaged},
        {"a long line", replaced(firstLine + 64, 1, ""), AgeError::damaged},
        {"a short line inside", replaced(firstLine + 60, 4, ""), AgeError::damaged},
        {"space at a line end", replaced(firstLine + 64, 0, " "), AgeError::damaged},
        {"space at a line start", replaced(firstLine, 0, " "), AgeError::damaged},
        {"padding dropped", replaced(padding, armored.find('\n', padding) - padding, ""),
         AgeError::damaged},
        {"a header line", replaced(firstLine, 0, "Version: 1\n"), AgeError::damaged},
    };
    for (const Case& c : cases) {
        std::string plain, name;
        const AgeError error = openText(identity, c.file, &plain, &name);
        EXPECT_EQ(error, c.expected) << c.what;
        if (c.expected == AgeError::ok) {
            EXPECT_TRUE(plain == c.content) << c.what;
            EXPECT_EQ(name, "notes.txt") << c.what;
        }
    }
}

}  // namespace
}  // namespace vellumar
