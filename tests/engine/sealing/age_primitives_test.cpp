#include "engine/sealing/age_primitives.h"

#include <gtest/gtest.h>

#include <cstring>

#include "engine/sealing/age_encoding.h"
#include "engine/sealing/age_format.h"
#include "engine/sealing/age_keys.h"

namespace vellumar {
namespace {

std::string fromHex(const std::string& hex) {
    std::string out;
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
        out += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
    return out;
}

Key32 keyFromHex(const std::string& hex) {
    Key32 key{};
    const std::string bytes = fromHex(hex);
    std::memcpy(key.data(), bytes.data(), key.size());
    return key;
}

TEST(AgePrimitives, X25519MatchesTheRfc7748Exchange) {
    const Key32 alice =
        keyFromHex("77076d0a7318a57d3c16c17251b26645df4c2f87ebc0992ab177fba51db92c2a");
    const Key32 bob =
        keyFromHex("5dab087e624a8a4b79e17f8b83800ee66f3bb1292618b6fd1c2f8b27ff88e0eb");
    Key32 alicePublic, bobPublic, shared1, shared2;
    ASSERT_TRUE(x25519Base(alice, alicePublic));
    ASSERT_TRUE(x25519Base(bob, bobPublic));
    EXPECT_EQ(alicePublic,
              keyFromHex("8520f0098930a754748b7ddcb43ef75a0dbf3a0d26381af4eba4a98eaa9b4e6a"));
    EXPECT_EQ(bobPublic,
              keyFromHex("de9edb7d7b7dc1b4d35b61c2ece435373f8343c85b78674dadfc7e146f882b4f"));
    ASSERT_TRUE(x25519(alice, bobPublic, shared1));
    ASSERT_TRUE(x25519(bob, alicePublic, shared2));
    EXPECT_EQ(shared1,
              keyFromHex("4a5d9d5ba4ce2de1728e3bf480350f25e07e21c947d19e3376f09b3c1e161742"));
    EXPECT_EQ(shared2, shared1);
    // A point of small order gives the all-zero secret, which is refused.
    Key32 zero{}, out;
    EXPECT_FALSE(x25519(alice, zero, out));
}

TEST(AgePrimitives, HkdfMatchesTheRfc5869Vectors) {
    // Test cases 1 and 3 (the second with no salt and no info).
    SecretBytes out;
    ASSERT_TRUE(hkdfSha256(fromHex("0b0b0b0b0b0b0b0b0b0b0b0b0b0b0b0b0b0b0b0b0b0b"),
                           fromHex("000102030405060708090a0b0c"),
                           fromHex("f0f1f2f3f4f5f6f7f8f9"), out, 42));
    EXPECT_EQ(out.view(),
              fromHex("3cb25f25faacd57a90434f64d0362f2a2d2d0a90cf1a5a4c5db02d56ecc4c5bf34007208d5"
                      "b887185865"));
    ASSERT_TRUE(hkdfSha256(fromHex("0b0b0b0b0b0b0b0b0b0b0b0b0b0b0b0b0b0b0b0b0b0b"), "", "", out, 42));
    EXPECT_EQ(out.view(),
              fromHex("8da4e775a563c18f715f802a063c5a31b8a11f5c5ee1879ec3454e5f3c738d2d9d201395fa"
                      "a4b61a96c8"));
}

TEST(AgePrimitives, OneTimeSealOpensOnlyUnchangedUnderItsKey) {
    const std::string key(32, 'k'), otherKey(32, 'o');
    std::string sealed;
    ASSERT_TRUE(aeadSealOnce(key, "file key 16bytes", sealed));
    ASSERT_EQ(sealed.size(), 16 + kAeadTagSize);
    SecretBytes plain;
    EXPECT_TRUE(aeadOpenOnce(key, sealed, plain));
    EXPECT_EQ(plain.view(), "file key 16bytes");
    EXPECT_FALSE(aeadOpenOnce(otherKey, sealed, plain));
    for (size_t at : {size_t{0}, size_t{15}, size_t{16}, sealed.size() - 1}) {
        std::string changed = sealed;
        changed[at] ^= 1;
        EXPECT_FALSE(aeadOpenOnce(key, changed, plain)) << at;
    }
    EXPECT_FALSE(aeadOpenOnce(key, sealed.substr(0, 15), plain));
}

// A failing library is named with its own message, and never taken for a
// verdict on the file (damaged, another identity, a wrong password).
constexpr unsigned kSelftestFailed = 50;  // GPG_ERR_SELFTEST_FAILED
const char kNamedFailure[] = "the cryptographic library failed: Selftest failed";

TEST(LibraryFailure, HkdfStopsAtTheFirstFailure) {
    // Each HMAC makes four calls: the extract, then the first and the second block.
    for (int skip : {0, 3, 4, 8, 11}) {
        LibraryFailureInjection fail(kSelftestFailed, LibraryCall::mac, skip);
        SecretBytes out(std::string_view("stale"));
        const CryptoResult derived = hkdfSha256("ikm", "", "info", out, 64);
        EXPECT_TRUE(derived.libraryFailed()) << skip;
        EXPECT_EQ(derived.message(), "Selftest failed") << skip;
        EXPECT_TRUE(out.empty()) << skip;
    }
}

TEST(LibraryFailure, SealingAndOpeningNameTheLibrary) {
    const AgeIdentity identity = AgeIdentity::generate();
    const AgeRecipient recipient = identity.recipient();
    std::string sealed;
    const AgeSink sink = [&sealed](const char* data, size_t size) {
        sealed.append(data, size);
        return IoError::ok;
    };
    ASSERT_TRUE(encryptForRecipient(recipient, "name", readFromText("content"), sink).ok());
    const std::string forIdentity = sealed;
    sealed.clear();
    ASSERT_TRUE(encryptWithPassword("pw", 10, readFromText("content"), sink).ok());
    const std::string forPassword = sealed;

    for (LibraryCall kind : {LibraryCall::curve, LibraryCall::mac, LibraryCall::cipher}) {
        SCOPED_TRACE(static_cast<int>(kind));
        LibraryFailureInjection fail(kSelftestFailed, kind);
        EXPECT_EQ(describeCause(encryptForRecipient(recipient, "name", readFromText("x"), sink)),
                  kNamedFailure);
        AgeReader reader(readFromText(forIdentity));
        EXPECT_EQ(describeCause(reader.openWithIdentity(identity)), kNamedFailure);
    }
    for (LibraryCall kind : {LibraryCall::kdf, LibraryCall::mac, LibraryCall::cipher}) {
        SCOPED_TRACE(static_cast<int>(kind));
        LibraryFailureInjection fail(kSelftestFailed, kind);
        EXPECT_EQ(describeCause(encryptWithPassword("pw", 10, readFromText("x"), sink)),
                  kNamedFailure);
        AgeReader reader(readFromText(forPassword));
        EXPECT_EQ(describeCause(reader.openWithPassword("pw")), kNamedFailure);
    }
    // Opened, then the content.
    AgeReader reader(readFromText(forIdentity));
    ASSERT_TRUE(reader.openWithIdentity(identity).ok());
    LibraryFailureInjection fail(kSelftestFailed, LibraryCall::cipher);
    EXPECT_EQ(describeCause(reader.decryptTo(sink)), kNamedFailure);
}

TEST(AgeEncoding, Base64IsUnpaddedAndOnlyCanonicalTextDecodes) {
    struct Case {
        std::string bytes, text;
    } cases[] = {{"", ""}, {"f", "Zg"}, {"fo", "Zm8"}, {"foo", "Zm9v"}, {"\xff\xfe", "//4"}};
    for (const Case& c : cases) {
        EXPECT_EQ(encodeBase64(c.bytes), c.text);
        std::string back;
        EXPECT_TRUE(decodeBase64(c.text, back)) << c.text;
        EXPECT_EQ(back, c.bytes);
    }
    // Padding, a stray character, a length no encoding has, unused bits set.
    for (const char* bad : {"Zg==", "Zm8=", "Zm 9", "Z", "Zh", "Zm9", "Zm-v"}) {
        std::string out;
        EXPECT_FALSE(decodeBase64(bad, out)) << bad;
    }
}

TEST(AgeKeys, TheDocumentedIdentityGivesItsDocumentedRecipient) {
    AgeIdentity identity;
    ASSERT_TRUE(AgeIdentity::parse(
        "AGE-SECRET-KEY-1GFPYYSJZGFPYYSJZGFPYYSJZGFPYYSJZGFPYYSJZGFPYYSJZGFPQ4EGAEX", identity));
    EXPECT_EQ(identity.recipient().encode(),
              "age1zvkyg2lqzraa2lnjvqej32nkuu0ues2s82hzrye869xeexvn73equnujwj");
    EXPECT_EQ(identity.encode(),
              "AGE-SECRET-KEY-1GFPYYSJZGFPYYSJZGFPYYSJZGFPYYSJZGFPYYSJZGFPYYSJZGFPQ4EGAEX");
    AgeRecipient recipient;
    EXPECT_TRUE(AgeRecipient::parse(identity.recipient().encode(), recipient));
    EXPECT_EQ(recipient.publicKey(), identity.recipient().publicKey());
}

TEST(AgeKeys, MisspelledKeysAreRefused) {
    const std::string identity =
        "AGE-SECRET-KEY-1GFPYYSJZGFPYYSJZGFPYYSJZGFPYYSJZGFPYYSJZGFPYYSJZGFPQ4EGAEX";
    const std::string recipient = "age1zvkyg2lqzraa2lnjvqej32nkuu0ues2s82hzrye869xeexvn73equnujwj";
    AgeIdentity parsedIdentity;
    AgeRecipient parsedRecipient;
    for (const std::string& bad : {
             std::string(
                 "age-secret-key-1gfpyysjzgfpyysjzgfpyysjzgfpyysjzgfpyysjzgfpyysjzgfpq4egaex"),
             identity.substr(0, identity.size() - 1) + "Y",              // checksum
             identity.substr(0, 20) + "gfpyysjz" + identity.substr(28),  // mixed case
             identity.substr(0, identity.size() - 8),                    // cut short
             recipient,                                                  // the wrong kind
         })
        EXPECT_FALSE(AgeIdentity::parse(bad, parsedIdentity)) << bad;
    for (const std::string& bad : {
             recipient.substr(0, recipient.size() - 1) + "q",
             std::string("AGE1ZVKYG2LQZRAA2LNJVQEJ32NKUU0UES2S82HZRYE869XEEXVN73EQUNUJWJ"),
             identity,
         })
        EXPECT_FALSE(AgeRecipient::parse(bad, parsedRecipient)) << bad;
}

}  // namespace
}  // namespace vellumar
