#include "engine/formats/cipher.h"

#include "engine/formats/cpu_features.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace vellumar {
namespace {

std::string bytes(std::initializer_list<int> codes) {
    std::string text;
    for (int c : codes) text += static_cast<char>(c);
    return text;
}

std::string stretched(const std::string& text) {
    RandomGenerator g;
    Cipher cipher(g);
    cipher.text(text);
    cipher.stretch();
    return cipher.text();
}

std::string shrunk(const std::string& text) {
    RandomGenerator g;
    Cipher cipher(g);
    cipher.text(text);
    cipher.shrink();
    return cipher.text();
}

TEST(RandomGenerator, MatchesTheFormatsCheckValues) {
    RandomGenerator g;
    const float expected[] = {0.7055475f, 0.5334240f, 0.5795186f, 0.2895625f, 0.3019480f};
    for (float value : expected) EXPECT_NEAR(g.next(), value, 5e-8);
    // A negative argument reseeds from its bits alone.
    EXPECT_NEAR(g.next(-1.0f), 0.2240070f, 5e-8);
    g.randomize(12345.678);
    g.next();
    EXPECT_NEAR(g.next(-1.0f), 0.2240070f, 5e-8);
    // Zero repeats the current value without a step.
    float last = g.next();
    EXPECT_EQ(g.next(0.0f), last);
    EXPECT_EQ(g.next(-0.0f), last);
}

TEST(RandomGenerator, RandomizeFoldsTheHighBitsIntoTheMiddleOfTheState) {
    RandomGenerator g;
    g.setState(0xABCDEF);
    g.randomize(1.0);  // high word 0x3FF00000
    uint32_t h = 0x3FF00000;
    uint32_t expected = (0xEF) | ((((h & 0xFFFF) << 8) ^ ((h >> 8) & 0xFFFF00)) & 0xFFFF00);
    EXPECT_EQ(g.state(), expected);
}

// Runs each kernel test with the vector kernels and with the portable ones.
class Kernels : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override { setVectorKernelsAllowed(GetParam()); }
    void TearDown() override { setVectorKernelsAllowed(true); }
};
INSTANTIATE_TEST_SUITE_P(VectorAndPortable, Kernels, ::testing::Bool());

TEST_P(Kernels, LaneXorEqualsOneStepPerByte) {
    for (uint64_t length : {0u, 1u, 15u, 16u, 17u, 31u, 32u, 33u, 1000u}) {
        RandomGenerator fast, slow;
        fast.setState(0x123456);
        slow.setState(0x123456);
        std::string a(length, 'x'), b(length, 'x');
        fast.xorBytes(a.data(), length);
        for (char& c : b) c = static_cast<char>(static_cast<unsigned char>(c) ^ slow.nextByte());
        EXPECT_EQ(a, b) << length;
        EXPECT_EQ(fast.state(), slow.state()) << length;
    }
}

TEST(Cipher, StretchMatchesTheWorkedExamples) {
    EXPECT_EQ(stretched("abc"), bytes({92, 93, 94, 80}));
    EXPECT_EQ(stretched(bytes({255})), bytes({122, 107}));
    EXPECT_EQ(stretched(bytes({0, 128})), bytes({59, 59, 67}));
    EXPECT_EQ(stretched(""), "");
}

TEST(Cipher, ShrinkUndoesStretchForEveryByteInEveryPositionAndLength) {
    for (size_t length = 1; length <= 5; ++length) {
        for (size_t position = 0; position < length; ++position) {
            for (int value = 0; value < 256; ++value) {
                std::string plain(length, static_cast<char>(0x5A));
                plain[position] = static_cast<char>(value);
                std::string text = stretched(plain);
                ASSERT_EQ(text.size(), length + (length + 2) / 3);
                for (unsigned char c : text) ASSERT_TRUE(c >= ';' && c <= 'z');
                ASSERT_EQ(shrunk(text), plain) << "length " << length << " position " << position
                                               << " value " << value;
            }
        }
    }
    EXPECT_EQ(shrunk(""), "");
}

// The group rule written out plainly, to hold the vector kernels to it.
std::string referenceStretch(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); i += 3) {
        unsigned b[3] = {0, 0, 0};
        size_t count = std::min<size_t>(3, text.size() - i);
        for (size_t k = 0; k < count; ++k) {
            b[k] = static_cast<unsigned char>(text[i + k]);
            out += static_cast<char>((b[k] & 63) + 59);
        }
        out += static_cast<char>(16 * (b[0] / 64) + 4 * (b[1] / 64) + b[2] / 64 + 59);
    }
    return out;
}

TEST_P(Kernels, StretchOfLongTextsFollowsTheGroupRule) {
    RandomGenerator bytes;
    for (size_t length = 0; length <= 300; ++length) {
        std::string plain(length, '\0');
        for (char& c : plain) c = static_cast<char>(bytes.nextByte());
        const std::string expected = referenceStretch(plain);
        ASSERT_EQ(stretched(plain), expected) << length;
        std::string separate(stretchedLength(length), ' ');
        stretchInto(reinterpret_cast<const unsigned char*>(plain.data()), length, separate.data());
        ASSERT_EQ(separate, expected) << length;
        ASSERT_EQ(shrunk(expected), plain) << length;
    }
}

TEST(Cipher, ShrinkOfTextStretchDidNotMakeLeavesItUnchanged) {
    for (const std::string& bad : {std::string("\x01xyz"), std::string("ab\nd"),
                                   std::string("abcd:fgh"), std::string(1, '\0') + "zz"}) {
        EXPECT_EQ(shrunk(bad), bad);
    }
    // A 4th character below ";" only gives wrong high bits.
    EXPECT_EQ(shrunk("abc\x01").size(), 3u);
}

TEST(Cipher, ShrinkOfAnyTextOfAnyLengthStaysInBounds) {
    RandomGenerator bytes;
    for (size_t length = 0; length <= 64; ++length) {
        for (int round = 0; round < 20; ++round) {
            std::string text(length, '\0');
            for (char& c : text) c = static_cast<char>(bytes.nextByte());
            std::string result = shrunk(text);
            EXPECT_TRUE(result == text || result.size() == shrunkLength(length)) << length;
        }
    }
}

// The inverse rule written out plainly: the low six bits of each character,
// the high two from the group's last character (as integer division has it,
// also below ";"); nothing when a low-bits character is below ";".
std::string referenceShrink(const std::string& text) {
    std::string out;
    for (size_t i = 0; i + 1 < text.size(); i += 4) {
        const size_t count = std::min<size_t>(3, text.size() - i - 1);
        const int t = static_cast<unsigned char>(text[i + count]) - 59;
        const int high[3] = {(t / 16) & 3, (t / 4) & 3, t & 3};
        for (size_t k = 0; k < count; ++k) {
            const int c = static_cast<unsigned char>(text[i + k]) - 59;
            if (c < 0) return text;
            out += static_cast<char>(c | high[k] * 64);
        }
    }
    return out;
}

// Long texts with one odd character at every position: below ";", above "z",
// far above "z".
TEST_P(Kernels, ShrinkAndTheTextCheckFollowTheRuleWithAnOddCharacterAnywhere) {
    RandomGenerator bytes;
    for (size_t length : {63u, 64u, 66u, 96u, 130u}) {
        std::string plain(shrunkLength(length), '\0');
        for (char& c : plain) c = static_cast<char>(bytes.nextByte());
        const std::string text = referenceStretch(plain);
        ASSERT_EQ(text.size(), length);
        EXPECT_TRUE(isStretchedText(text.data(), text.size()));
        for (size_t at = 0; at < length; ++at) {
            for (char odd : {':', '\x01', '{', '\xF0'}) {
                std::string damaged = text;
                damaged[at] = odd;
                EXPECT_FALSE(isStretchedText(damaged.data(), damaged.size())) << at;
                ASSERT_EQ(shrunk(damaged), referenceShrink(damaged)) << at << " " << int(odd);
            }
        }
    }
    for (size_t length : {0u, 1u, 5u, 33u, 65u}) {
        EXPECT_EQ(isStretchedText(std::string(length, 'a').data(), length), length % 4 != 1);
    }
}

TEST(Cipher, DoXorIsRestoredAfterAReseedWithTheSameKey) {
    RandomGenerator g;
    std::string plain;
    for (int i = 0; i < 1000; ++i) plain += static_cast<char>(i * 7);
    for (const std::string& key : {std::string(), std::string("[Secret]abcdefghABCDEFGH"),
                                   std::string("a\0b", 3), std::string(5000, '\xff')}) {
        Cipher cipher(g);
        cipher.keyString(key);
        cipher.text(plain);
        cipher.doXor();
        std::string once = cipher.text();
        EXPECT_EQ(once.size(), plain.size());
        EXPECT_NE(once, plain);
        g.next();  // whatever happened in between, the key reseeds completely
        cipher.keyString(key);
        cipher.doXor();
        EXPECT_EQ(cipher.text(), plain);
    }
}

TEST(Cipher, TheProcessGeneratorIsSharedAndReseededByTheKey) {
    Cipher first;
    first.keyString("key");
    first.text("some plain text");
    first.doXor();
    Cipher second;  // draws from the same generator
    second.keyString("key");
    second.text("some plain text");
    second.doXor();
    EXPECT_EQ(first.text(), second.text());
}

TEST(deriveKey, IsEightPrintableCharactersDependingOnlyOnTheInput) {
    RandomGenerator g;
    const std::string inputs[] = {"", "a", std::string("\0\0", 2), std::string(10000, 'x'),
                                  "12/10/2026 3600"};
    for (const std::string& input : inputs) {
        std::string key = deriveKey(input, g);
        ASSERT_EQ(key.size(), 8u);
        for (unsigned char c : key) EXPECT_TRUE(c >= ';' && c <= 'z');
        g.setState(0x777777);
        EXPECT_EQ(deriveKey(input, g), key);
        EXPECT_EQ(deriveKey(input), key);
    }
    EXPECT_NE(deriveKey("a", g), deriveKey("b", g));
}

}  // namespace
}  // namespace vellumar
