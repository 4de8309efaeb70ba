#include "engine/formats/rc4.h"

#include <gtest/gtest.h>

namespace vellumar {
namespace {

TEST(rc4Crypt, MatchesThePublishedVectorsAndIsItsOwnInverse) {
    struct Case {
        std::string key, plain, cipher;
    } cases[] = {
        {"Key", "Plaintext", "\xBB\xF3\x16\xE8\xD9\x40\xAF\x0A\xD3"},
        {"Wiki", "pedia", "\x10\x21\xBF\x04\x20"},
        {"Secret", "Attack at dawn", "\x45\xA0\x1F\x64\x5F\xC3\x5B\x38\x35\x52\x54\x4B\x9B\xF5"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(rc4Crypt(c.plain, c.key), c.cipher) << c.key;
        EXPECT_EQ(rc4Crypt(c.cipher, c.key), c.plain) << c.key;
    }
}

}  // namespace
}  // namespace vellumar
