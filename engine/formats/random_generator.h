#pragma once
// The keystream generator of the locked-file format. Every engine of this
// format must draw exactly these values, or its files cannot be opened here.

#include <cstdint>

namespace vellumar {

class RandomGenerator {
public:
    static constexpr uint32_t kInitialState = 0x50000;
    static constexpr uint32_t kMultiplier = 0xFD43FD;
    static constexpr uint32_t kIncrement = 0xC39EC3;
    static constexpr uint32_t kMask = 0xFFFFFF;

    // One step, returning state / 2^24.
    float next() {
        step();
        return value();
    }
    // A negative argument reseeds from its bits alone, a positive one steps,
    // zero repeats the last value.
    float next(float x);
    // Folds the high bits of a double into the middle of the state.
    void randomize(double seed);

    // The byte floor(next() * 256), without going through float.
    uint8_t nextByte() {
        step();
        return static_cast<uint8_t>(state_ >> 16);
    }

    // XORs `size` bytes with the keystream, as many nextByte() calls would.
    void xorBytes(char* data, uint64_t size);

    uint32_t state() const { return state_; }
    void setState(uint32_t state) { state_ = state & kMask; }

private:
    void step() { state_ = (state_ * kMultiplier + kIncrement) & kMask; }
    float value() const { return static_cast<float>(state_) / 16777216.0f; }

    uint32_t state_ = kInitialState;
};

// The one generator that the engine's ciphers share.
RandomGenerator& processGenerator();

}  // namespace vellumar
