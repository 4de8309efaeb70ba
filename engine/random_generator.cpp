#include "engine/random_generator.h"

#include <array>
#include <bit>

namespace vellumar {

float RandomGenerator::next(float x) {
    if (x < 0.0f) {
        uint32_t bits = std::bit_cast<uint32_t>(x);
        state_ = (bits + (bits >> 24)) & kMask;
    } else if (x == 0.0f) {
        return value();
    }
    step();
    return value();
}

void RandomGenerator::randomize(double seed) {
    uint32_t high = static_cast<uint32_t>(std::bit_cast<uint64_t>(seed) >> 32);
    uint32_t mixed = ((high & 0xFFFF) << 8) ^ ((high >> 8) & 0xFFFF00);
    state_ = (state_ & 0xFF) | (mixed & 0xFFFF00);
}

namespace {

// k steps of the recurrence form another affine map: s -> a*s + c (mod 2^24).
struct Jump {
    uint32_t multiplier = 1;
    uint32_t increment = 0;
};

constexpr Jump jumpOf(unsigned steps) {
    Jump jump;
    for (unsigned i = 0; i < steps; ++i) {
        jump.multiplier = (jump.multiplier * RandomGenerator::kMultiplier) & RandomGenerator::kMask;
        jump.increment = (jump.increment * RandomGenerator::kMultiplier + RandomGenerator::kIncrement) &
                         RandomGenerator::kMask;
    }
    return jump;
}

// The state after `steps` steps, by squaring the affine map.
uint32_t advance(uint32_t state, uint64_t steps) {
    Jump power{RandomGenerator::kMultiplier, RandomGenerator::kIncrement};
    while (steps > 0) {
        if (steps & 1)
            state = (state * power.multiplier + power.increment) & RandomGenerator::kMask;
        power.increment = (power.increment * power.multiplier + power.increment) & RandomGenerator::kMask;
        power.multiplier = (power.multiplier * power.multiplier) & RandomGenerator::kMask;
        steps >>= 1;
    }
    return state;
}

constexpr unsigned kLanes = 16;
constexpr Jump kLaneJump = jumpOf(kLanes);

}  // namespace

void RandomGenerator::xorBytes(char* data, uint64_t size) {
    // The plain recurrence is one long dependency chain; 16 lanes, each
    // jumping 16 steps at a time, let the compiler vectorise it.
    uint64_t i = 0;
    if (size >= kLanes) {
        std::array<uint32_t, kLanes> lanes;
        uint32_t s = state_;
        for (unsigned lane = 0; lane < kLanes; ++lane) {
            s = (s * kMultiplier + kIncrement) & kMask;
            lanes[lane] = s;
        }
        auto* bytes = reinterpret_cast<unsigned char*>(data);
        for (; i + kLanes <= size; i += kLanes) {
            for (unsigned lane = 0; lane < kLanes; ++lane) {
                bytes[i + lane] ^= static_cast<unsigned char>(lanes[lane] >> 16);
                lanes[lane] = (lanes[lane] * kLaneJump.multiplier + kLaneJump.increment) & kMask;
            }
        }
        state_ = advance(state_, i);
    }
    for (; i < size; ++i) data[i] = static_cast<char>(static_cast<unsigned char>(data[i]) ^ nextByte());
}

RandomGenerator& processGenerator() {
    static RandomGenerator generator;
    return generator;
}

}  // namespace vellumar
