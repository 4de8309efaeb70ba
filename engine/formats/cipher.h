#pragma once
// The keyed text cipher of the locked-file format: a keystream XOR and a
// 3-bytes-to-4-printable-characters packing.

#include <cstdint>
#include <string>

#include "engine/formats/random_generator.h"

namespace vellumar {

// Length of Stretch's result for n bytes.
constexpr uint64_t stretchedLength(uint64_t n) { return n + (n + 2) / 3; }

class Cipher {
public:
    // Draws from the process-wide generator, as every engine of this format does.
    Cipher() : generator_(processGenerator()) {}
    // Draws from a generator of the caller's own (tests).
    explicit Cipher(RandomGenerator& generator) : generator_(generator) {}

    // Stores the key and reseeds the generator from it alone.
    void keyString(const std::string& key);
    // Room for Stretch is reserved up front, so it works in place.
    void text(const std::string& text) {
        text_.reserve(stretchedLength(text.size()));
        text_.assign(text);
    }
    void text(std::string&& text) {
        text_ = std::move(text);
        text_.reserve(stretchedLength(text_.size()));
    }
    const std::string& text() const { return text_; }
    std::string takeText() { return std::move(text_); }

    // XORs the working text with the keystream; self-inverse after a reseed.
    void doXor();
    // Bytes to printable characters ";" to "z", 4 for every 3.
    void stretch();
    // Undoes Stretch. A text Stretch could not have made (a character below
    // ";" where a low-bits character belongs) leaves the working text as it was.
    void shrink();

    // Shrink, then doXor, for one piece of a long text at a time, the
    // keystream running on from the piece before: every piece but the
    // text's last must be a whole number of groups of four characters.
    // Appends the bytes to `out`; false, appending nothing, where Shrink
    // would refuse the piece.
    bool shrinkXorPiece(const char* text, uint64_t m, std::string& out);

private:
    RandomGenerator& generator_;
    std::string key_;
    std::string text_;
};

// Stretch and Shrink on plain buffers (out must hold the result's length).
void stretchInto(const unsigned char* in, uint64_t n, char* out);
// Returns false, writing nothing usable, when a low-bits character is below ";".
bool shrinkInto(const char* in, uint64_t m, char* out);
// Whether Stretch could have made the text: characters ";" to "z" only, and
// a length that is never one more than a multiple of four.
bool isStretchedText(const char* text, uint64_t m);
// Whether every character lies between ";" and "z".
bool hasOnlyStretchedCharacters(const char* text, uint64_t m);
constexpr uint64_t shrunkLength(uint64_t m) { return m == 0 ? 0 : (m - 1) - (m - 1) / 4; }

// The 8-character printable key of any text.
std::string deriveKey(const std::string& text);
std::string deriveKey(const std::string& text, RandomGenerator& generator);

// Where guarded handlers pass an unexpected error. It clears the error and
// shows nothing; the values are kept for a debugger or a log.
void reportError(const std::string& objectName, int16_t number, const std::string& description,
                 const std::string& procedureName);

}  // namespace vellumar
