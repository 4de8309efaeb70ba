#include "engine/formats/cipher.h"

#include "engine/formats/cpu_features.h"

#ifdef VELLUMAR_X86_KERNELS
#include <immintrin.h>
#endif

namespace vellumar {
namespace {

constexpr unsigned char kFirstPrintable = 59;  // ";"

}  // namespace

void Cipher::keyString(const std::string& key) {
    key_ = key;
    RandomGenerator& g = generator_;
    g.randomize(g.next(-1.0f));
    for (unsigned char c : key_) {
        float v = g.next();
        // One single-precision product, rounded once: the format depends on it.
        float product = -v * static_cast<float>(c);
        g.randomize(g.next(product));
    }
}

void Cipher::doXor() { generator_.xorBytes(text_.data(), text_.size()); }

namespace {

// One group of three bytes b1 b2 b3, read as the little-endian word
// b1 | b2 << 8 | b3 << 16, becomes four characters in one word: the low six
// bits of each byte, then their high two bits gathered into the 4th.
inline uint32_t stretchWord(uint32_t word) {
    uint32_t high = word & 0x00C0C0C0u;
    uint32_t fourth = ((high >> 2) | (high >> 12) | (high >> 22)) & 0x3Fu;
    return ((word & 0x003F3F3Fu) | (fourth << 24)) + 0x3B3B3B3Bu;  // + ";" in every byte
}

inline void storeWord(char* out, uint32_t word) {
    out[0] = static_cast<char>(word);
    out[1] = static_cast<char>(word >> 8);
    out[2] = static_cast<char>(word >> 16);
    out[3] = static_cast<char>(word >> 24);
}

void stretchGroup(const unsigned char* in, char* out) {
    uint32_t word = in[0] | (in[1] << 8) | (static_cast<uint32_t>(in[2]) << 16);
    storeWord(out, stretchWord(word));  // the group is read whole before it is written
}

// The short last group: its low-bits characters, then the 4th from the bytes
// that exist. Safe in place, as the bytes are read before anything is written.
void stretchTail(const unsigned char* in, unsigned count, char* out) {
    unsigned b1 = in[0], b2 = count == 2 ? in[1] : 0;
    out[0] = static_cast<char>((b1 & 63) + kFirstPrintable);
    if (count == 2) out[1] = static_cast<char>((b2 & 63) + kFirstPrintable);
    out[count] = static_cast<char>(((b1 >> 6) << 4) + ((b2 >> 6) << 2) + kFirstPrintable);
}

#ifdef VELLUMAR_X86_KERNELS
// Eight groups at once: spread 24 bytes into eight words and apply the same
// word arithmetic. Reads 28 bytes (4 past the last group), then writes 32.
__attribute__((target("avx2"))) void stretchBlock(const unsigned char* in, char* out) {
    const __m256i spread = _mm256_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1,
                                            0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1);
    __m256i raw = _mm256_inserti128_si256(
        _mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(in))),
        _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 12)), 1);
    __m256i words = _mm256_shuffle_epi8(raw, spread);
    __m256i high = _mm256_and_si256(words, _mm256_set1_epi32(0x00C0C0C0));
    __m256i fourth = _mm256_and_si256(
        _mm256_or_si256(_mm256_or_si256(_mm256_srli_epi32(high, 2), _mm256_srli_epi32(high, 12)),
                        _mm256_srli_epi32(high, 22)),
        _mm256_set1_epi32(0x3F));
    __m256i low = _mm256_and_si256(words, _mm256_set1_epi32(0x003F3F3F));
    __m256i chars = _mm256_add_epi8(_mm256_or_si256(low, _mm256_slli_epi32(fourth, 24)),
                                    _mm256_set1_epi8(static_cast<char>(kFirstPrintable)));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), chars);
}

// Eight groups of four characters at once, when every one of the 32 is at
// least ";": the same bits as the scalar rule (which alone handles a 4th
// character below ";"). Writes 28 bytes, 24 of them the result; false, with
// nothing written, when a character is below ";".
__attribute__((target("avx2"))) bool shrinkBlock(const unsigned char* in, char* out) {
    const __m256i floor = _mm256_set1_epi8(static_cast<char>(kFirstPrintable));
    __m256i chars = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in));
    __m256i atLeastFloor = _mm256_cmpeq_epi8(_mm256_max_epu8(chars, floor), chars);
    if (_mm256_movemask_epi8(atLeastFloor) != -1) return false;
    __m256i values = _mm256_sub_epi8(chars, floor);
    __m256i t = _mm256_srli_epi32(values, 24);
    __m256i high = _mm256_or_si256(
        _mm256_or_si256(_mm256_slli_epi32(_mm256_and_si256(t, _mm256_set1_epi32(0x30)), 2),
                        _mm256_slli_epi32(_mm256_and_si256(t, _mm256_set1_epi32(0x0C)), 12)),
        _mm256_slli_epi32(_mm256_and_si256(t, _mm256_set1_epi32(0x03)), 22));
    __m256i words =
        _mm256_or_si256(_mm256_and_si256(values, _mm256_set1_epi32(0x00FFFFFF)), high);
    const __m256i pack = _mm256_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1,
                                          0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1);
    __m256i packed = _mm256_shuffle_epi8(words, pack);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm256_castsi256_si128(packed));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 12), _mm256_extracti128_si256(packed, 1));
    return true;
}

// Whether all 32 characters lie between ";" and "z".
__attribute__((target("avx2"))) bool blockIsStretched(const unsigned char* in) {
    __m256i chars = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in));
    __m256i inRange = _mm256_cmpeq_epi8(
        _mm256_min_epu8(_mm256_max_epu8(chars, _mm256_set1_epi8(';')), _mm256_set1_epi8('z')),
        chars);
    return _mm256_movemask_epi8(inRange) == -1;
}
#endif

}  // namespace

bool isStretchedText(const char* text, uint64_t m) {
    return m % 4 != 1 && hasOnlyStretchedCharacters(text, m);
}

bool hasOnlyStretchedCharacters(const char* text, uint64_t m) {
    const auto* in = reinterpret_cast<const unsigned char*>(text);
    uint64_t i = 0;
#ifdef VELLUMAR_X86_KERNELS
    if (hasAvx2()) {
        for (; i + 32 <= m; i += 32) {
            if (!blockIsStretched(in + i)) return false;
        }
    }
#endif
    for (; i < m; ++i) {
        if (in[i] < ';' || in[i] > 'z') return false;
    }
    return true;
}

void stretchInto(const unsigned char* in, uint64_t n, char* out) {
    const uint64_t groups = n / 3;
    uint64_t g = 0;
#ifdef VELLUMAR_X86_KERNELS
    if (hasAvx2())
        for (; 3 * g + 28 <= n; g += 8) stretchBlock(in + 3 * g, out + 4 * g);
#endif
    for (; g < groups; ++g) stretchGroup(in + 3 * g, out + 4 * g);
    if (n % 3) stretchTail(in + 3 * groups, static_cast<unsigned>(n % 3), out + 4 * groups);
}

// Stretches the first n bytes of a buffer of stretchedLength(n) bytes in
// place. Working from the end, every write lands at or after the input it
// replaces, so no byte is overwritten before it has been read.
void stretchInPlace(char* buffer, uint64_t n) {
    auto* in = reinterpret_cast<const unsigned char*>(buffer);
    const uint64_t groups = n / 3;
    if (n % 3) stretchTail(in + 3 * groups, static_cast<unsigned>(n % 3), buffer + 4 * groups);
    uint64_t g = groups;
#ifdef VELLUMAR_X86_KERNELS
    if (hasAvx2())
        for (; g >= 9; g -= 8) stretchBlock(in + 3 * (g - 8), buffer + 4 * (g - 8));
#endif
    while (g > 0) {
        --g;
        stretchGroup(in + 3 * g, buffer + 4 * g);
    }
}

bool shrinkInto(const char* in, uint64_t m, char* out) {
    const auto* text = reinterpret_cast<const unsigned char*>(in);
    const uint64_t d = shrunkLength(m);
    // Complete groups of four characters give three bytes each.
    uint64_t n = 0, j = 0;
#ifdef VELLUMAR_X86_KERNELS
    if (hasAvx2()) {
        // A block with a character below ";" is left to the scalar rule.
        while (n + 28 <= d && j + 32 <= m && shrinkBlock(text + j, out + n)) {
            n += 24;
            j += 32;
        }
    }
#endif
    while (n + 3 <= d && j + 4 <= m) {
        int c1 = text[j] - kFirstPrintable, c2 = text[j + 1] - kFirstPrintable;
        int c3 = text[j + 2] - kFirstPrintable, t = text[j + 3] - kFirstPrintable;
        if (c1 < 0 || c2 < 0 || c3 < 0) return false;
        out[n] = static_cast<char>(c1 | (((t / 16) & 3) * 64));
        out[n + 1] = static_cast<char>(c2 | (((t / 4) & 3) * 64));
        out[n + 2] = static_cast<char>(c3 | ((t & 3) * 64));
        n += 3;
        j += 4;
    }
    // The short last group: its 4th character is the text's last one.
    uint64_t q = j;
    int t = 0;
    for (; n < d; ++n) {
        if (j >= m) return false;
        int c = text[j++] - kFirstPrintable;
        if (c < 0) return false;
        int high = 0;
        switch ((n + 1) % 3) {
            case 1:
                q = q + 4 < m ? q + 4 : m;
                t = text[q - 1] - kFirstPrintable;
                high = ((t / 16) & 3) * 64;
                break;
            case 2:
                high = ((t / 4) & 3) * 64;
                break;
            default:
                high = (t & 3) * 64;
                ++j;
                break;
        }
        out[n] = static_cast<char>(c | high);
    }
    return true;
}

void Cipher::stretch() {
    const uint64_t n = text_.size();
    text_.resize(stretchedLength(n));
    stretchInPlace(text_.data(), n);
}

bool Cipher::shrinkXorPiece(const char* text, uint64_t m, std::string& out) {
    const size_t at = out.size();
    const uint64_t n = shrunkLength(m);
    out.resize(at + n);
    if (!shrinkInto(text, m, out.data() + at)) {
        out.resize(at);
        return false;
    }
    generator_.xorBytes(out.data() + at, n);
    return true;
}

void Cipher::shrink() {
    std::string result(shrunkLength(text_.size()), ' ');
    if (!shrinkInto(text_.data(), text_.size(), result.data())) {
        reportError("Cipher", 5, "Invalid procedure call or argument", "shrink");
        return;
    }
    text_ = std::move(result);
}

std::string deriveKey(const std::string& text) { return deriveKey(text, processGenerator()); }

std::string deriveKey(const std::string& text, RandomGenerator& generator) {
    static const std::string kDigits = "804317";
    Cipher cipher(generator);
    cipher.keyString(text + kDigits);
    cipher.text(text + kDigits);
    cipher.doXor();
    cipher.stretch();
    cipher.keyString(cipher.text());
    cipher.text(kDigits);
    cipher.doXor();
    cipher.stretch();
    return cipher.takeText();
}

void reportError(const std::string&, int16_t, const std::string&, const std::string&) {
    // The program only clears the error here; errors are values in this code,
    // so there is nothing left to clear.
}

}  // namespace vellumar
