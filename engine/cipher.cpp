#include "engine/cipher.h"

namespace vellumar {
namespace {

constexpr unsigned char kFirstPrintable = 59;  // ";"

}  // namespace

void Cipher::KeyString(const std::string& key) {
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

void Cipher::DoXor() { generator_.xorBytes(text_.data(), text_.size()); }

void stretchInto(const unsigned char* in, uint64_t n, char* out) {
    uint64_t full = n / 3;
    for (uint64_t g = 0; g < full; ++g) {
        unsigned b1 = in[0], b2 = in[1], b3 = in[2];
        out[0] = static_cast<char>((b1 & 63) + kFirstPrintable);
        out[1] = static_cast<char>((b2 & 63) + kFirstPrintable);
        out[2] = static_cast<char>((b3 & 63) + kFirstPrintable);
        out[3] = static_cast<char>(((b1 >> 6) << 4) + ((b2 >> 6) << 2) + (b3 >> 6) + kFirstPrintable);
        in += 3;
        out += 4;
    }
    switch (n % 3) {
        case 1:
            out[0] = static_cast<char>((in[0] & 63) + kFirstPrintable);
            out[1] = static_cast<char>(((in[0] >> 6) << 4) + kFirstPrintable);
            break;
        case 2:
            out[0] = static_cast<char>((in[0] & 63) + kFirstPrintable);
            out[1] = static_cast<char>((in[1] & 63) + kFirstPrintable);
            out[2] = static_cast<char>(((in[0] >> 6) << 4) + ((in[1] >> 6) << 2) + kFirstPrintable);
            break;
        default:
            break;
    }
}

bool shrinkInto(const char* in, uint64_t m, char* out) {
    const auto* text = reinterpret_cast<const unsigned char*>(in);
    const uint64_t d = shrunkLength(m);
    // Complete groups of four characters give three bytes each.
    uint64_t n = 0, j = 0;
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

void Cipher::Stretch() {
    std::string result(stretchedLength(text_.size()), ' ');
    stretchInto(reinterpret_cast<const unsigned char*>(text_.data()), text_.size(), result.data());
    text_ = std::move(result);
}

void Cipher::Shrink() {
    std::string result(shrunkLength(text_.size()), ' ');
    if (!shrinkInto(text_.data(), text_.size(), result.data())) {
        ReportError("Cipher", 5, "Invalid procedure call or argument", "shrink");
        return;
    }
    text_ = std::move(result);
}

std::string DeriveKey(const std::string& text) { return DeriveKey(text, processGenerator()); }

std::string DeriveKey(const std::string& text, RandomGenerator& generator) {
    static const std::string kDigits = "804317";
    Cipher cipher(generator);
    cipher.KeyString(text + kDigits);
    cipher.Text(text + kDigits);
    cipher.DoXor();
    cipher.Stretch();
    cipher.KeyString(cipher.Text());
    cipher.Text(kDigits);
    cipher.DoXor();
    cipher.Stretch();
    return cipher.TakeText();
}

void ReportError(const std::string&, int16_t, const std::string&, const std::string&) {
    // The program only clears the error here; errors are values in this code,
    // so there is nothing left to clear.
}

}  // namespace vellumar
