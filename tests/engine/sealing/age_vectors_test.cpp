// The published age test vectors (tests/engine/sealing/data/age-vectors), each read
// by AgeReader with the vector's identities or passphrases, its outcome and
// the content it released checked against what the vector expects.

#include <gcrypt.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "engine/sealing/age_format.h"
#include "tests/engine/sealing/age_test_printing.h"

namespace vellumar {
namespace {

struct Vector {
    std::string name;
    std::string expect;
    std::string payloadHash;  // of all the content released, even on failure
    std::vector<std::string> identities;
    std::vector<std::string> passphrases;
    bool compressed = false;
    std::string file;  // the age file, armored or not
};

// A text header of "key: value" lines, an empty line, then the file.
bool parseVector(const std::filesystem::path& path, Vector& out, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream all;
    all << in.rdbuf();
    const std::string text = all.str();
    out.name = path.filename().string();
    size_t at = 0;
    for (;;) {
        const size_t end = text.find('\n', at);
        if (end == std::string::npos) return error = "no empty line after the header", false;
        const std::string line = text.substr(at, end - at);
        at = end + 1;
        if (line.empty()) break;
        const size_t colon = line.find(": ");
        if (colon == std::string::npos) return error = "bad header line: " + line, false;
        const std::string key = line.substr(0, colon), value = line.substr(colon + 2);
        if (key == "expect")
            out.expect = value;
        else if (key == "payload")
            out.payloadHash = value;
        else if (key == "identity")
            out.identities.push_back(value);
        else if (key == "passphrase")
            out.passphrases.push_back(value);
        else if (key == "compressed")
            out.compressed = value == "zlib";
        // "file key", "comment" and "armored" do not change how the file is read.
    }
    out.file = text.substr(at);
    return true;
}

std::string sha256Hex(const std::string& data) {
    unsigned char digest[32];
    gcry_md_hash_buffer(GCRY_MD_SHA256, digest, data.data(), data.size());
    std::string hex;
    char pair[3];
    for (unsigned char byte : digest) {
        std::snprintf(pair, sizeof pair, "%02x", byte);
        hex += pair;
    }
    return hex;
}

struct Outcome {
    AgeError error = AgeError::ok;
    bool opened = false;   // the header opened: the error, if any, came from the content
    std::string released;  // what reached the sink
};

// Each identity and passphrase on a fresh reader, as a person would try
// them; the first that opens the header reads the content.
Outcome readVector(const Vector& vector) {
    std::vector<std::function<AgeResult(AgeReader&)>> attempts;
    for (const std::string& text : vector.identities) {
        AgeIdentity identity;
        if (!AgeIdentity::parse(text, identity))
            ADD_FAILURE() << "identity does not parse: " << text;
        attempts.push_back(
            [identity](AgeReader& reader) { return reader.openWithIdentity(identity); });
    }
    for (const std::string& passphrase : vector.passphrases)
        attempts.push_back(
            [passphrase](AgeReader& reader) { return reader.openWithPassword(passphrase); });
    // A vector with neither still has its header read, with an identity of no use.
    if (attempts.empty()) {
        const AgeIdentity stranger = AgeIdentity::generate();
        attempts.push_back(
            [stranger](AgeReader& reader) { return reader.openWithIdentity(stranger); });
    }

    Outcome outcome{AgeError::otherIdentity, false, {}};
    for (const auto& attempt : attempts) {
        AgeReader reader(readFromText(vector.file));
        const AgeResult opened = attempt(reader);
        if (opened.ok()) {
            outcome.opened = true;
            outcome.error = reader
                                .decryptTo([&outcome](const char* data, size_t size) {
                                    outcome.released.append(data, size);
                                    return IoError::ok;
                                })
                                .error;
            return outcome;
        }
        outcome.error = opened.error;
        const bool tryNext = opened.error == AgeError::otherIdentity ||
                             opened.error == AgeError::wrongPassword ||
                             opened.error == AgeError::passwordOnly;
        if (!tryNext) break;
    }
    return outcome;
}

// The reader's errors stand for the vectors' outcomes as follows:
//   success          ok, and the released content has the vector's hash
//   no match         otherIdentity (identity) or wrongPassword (passphrase), header unopened
//   HMAC failure     damaged, header unopened (a wrong MAC is damage like any other)
//   header failure   damaged, notAge or unsupported, header unopened
//   payload failure  damaged after the header opened; what was released has the vector's hash
//   armor failure    damaged, at whichever step the armor broke; or notAge when
//                    the first line is no armor line the reader knows (wrong
//                    label, garbage or spaces before it), so the file is neither
//                    binary nor armored
std::string mismatch(const Vector& vector, const Outcome& got) {
    std::ostringstream why;
    why << "got " << describe(got.error) << (got.opened ? " after opening" : " before opening");
    const std::string& e = vector.expect;
    bool fits = false;
    if (e == "success") {
        fits = got.error == AgeError::ok;
    } else if (e == "no match") {
        fits = !got.opened &&
               (got.error == AgeError::otherIdentity || got.error == AgeError::wrongPassword);
    } else if (e == "HMAC failure") {
        fits = !got.opened && got.error == AgeError::damaged;
    } else if (e == "header failure") {
        fits = !got.opened && (got.error == AgeError::damaged || got.error == AgeError::notAge ||
                               got.error == AgeError::unsupported);
    } else if (e == "payload failure") {
        fits = got.opened && got.error == AgeError::damaged;
    } else if (e == "armor failure") {
        fits = got.error == AgeError::damaged || (!got.opened && got.error == AgeError::notAge);
    } else {
        return "unknown expectation \"" + e + "\"";
    }
    if (!fits) return why.str();
    if ((e == "success" || e == "payload failure") && sha256Hex(got.released) != vector.payloadHash)
        return "released " + std::to_string(got.released.size()) + " bytes that do not hash to " +
               vector.payloadHash;
    return {};
}

// Where this reader deliberately parts from a vector: what it does instead.
struct OurChoice {
    AgeError error;
    bool opened;
    size_t released;
    const char* why;
};
const std::map<std::string, OurChoice> kOurChoices = {
    // The nonce is read with the content, once the header opened.
    {"stream_no_nonce", {AgeError::damaged, true, 0, "a missing nonce is found after opening"}},
    {"stream_short_nonce", {AgeError::damaged, true, 0, "a short nonce is found after opening"}},
    // A chunk's place decides its flag: a full chunk is the last exactly
    // when nothing follows it, and a chunk flagged otherwise fails. Other
    // readers retry it with the other flag and release it before failing;
    // this one releases nothing it cannot place, so it stops a chunk
    // earlier. The outcome is the same damage, and only verified bytes were
    // released.
    {"stream_no_final_full", {AgeError::damaged, true, 0, "a full unflagged chunk at the end"}},
    {"stream_no_final_two_chunks_full",
     {AgeError::damaged, true, kAgeChunkSize, "a full unflagged chunk at the end"}},
    {"stream_trailing_garbage_long",
     {AgeError::damaged, true, 0, "a flagged chunk with data after"}},
    {"stream_trailing_garbage_short",
     {AgeError::damaged, true, 0, "a flagged chunk with data after"}},
    {"stream_two_final_chunks", {AgeError::damaged, true, 0, "a flagged chunk with data after"}},
    {"armor_garbage_encoded", {AgeError::damaged, true, 0, "a flagged chunk with data after"}},
};

std::filesystem::path vectorsFolder() {
    return std::filesystem::path(VELLUMAR_AGE_VECTORS_DIR);
}

TEST(AgeVectors, EveryPublishedVectorReadsToItsExpectedOutcome) {
    gcry_check_version(nullptr);
    std::vector<std::filesystem::path> paths;
    // Vector files have plain names; the README and .gitattributes are not vectors.
    for (const auto& entry : std::filesystem::directory_iterator(vectorsFolder())) {
        const std::string name = entry.path().filename().string();
        if (entry.is_regular_file() && name.find('.') == std::string::npos)
            paths.push_back(entry.path());
    }
    std::sort(paths.begin(), paths.end());
    ASSERT_EQ(paths.size(), 116u) << "vectors missing from " << vectorsFolder();

    for (const auto& path : paths) {
        Vector vector;
        std::string error;
        ASSERT_TRUE(parseVector(path, vector, error)) << path << ": " << error;
        SCOPED_TRACE(vector.name + " (expect " + vector.expect + ")");
        // Only vectors over 2 KiB are published compressed, and none here is.
        ASSERT_FALSE(vector.compressed) << "compressed vectors are not read";
        const Outcome got = readVector(vector);
        if (auto choice = kOurChoices.find(vector.name); choice != kOurChoices.end()) {
            EXPECT_EQ(got.error, choice->second.error) << choice->second.why;
            EXPECT_EQ(got.opened, choice->second.opened) << choice->second.why;
            EXPECT_EQ(got.released.size(), choice->second.released) << choice->second.why;
            continue;
        }
        EXPECT_EQ(mismatch(vector, got), "");
    }
}

}  // namespace
}  // namespace vellumar
