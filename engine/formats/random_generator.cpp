#include "engine/formats/random_generator.h"

#include <bit>
#include <cstring>

#include "engine/formats/cpu_features.h"

#ifdef VELLUMAR_X86_KERNELS
#include <immintrin.h>
#endif

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

constexpr unsigned kLanes = 32;
constexpr Jump kLaneJump = jumpOf(kLanes);

// XORs whole blocks of kLanes bytes; state[k] holds the generator state for
// byte k of the next block. Returns the number of bytes done.
uint64_t xorLanesPortable(unsigned char* bytes, uint64_t size, uint32_t* state) {
    // A local copy: the compiler must see that writing bytes cannot change it.
    uint32_t lanes[kLanes];
    std::memcpy(lanes, state, sizeof lanes);
    uint64_t i = 0;
    for (; i + kLanes <= size; i += kLanes) {
        for (unsigned lane = 0; lane < kLanes; ++lane) {
            bytes[i + lane] ^= static_cast<unsigned char>(lanes[lane] >> 16);
            lanes[lane] = (lanes[lane] * kLaneJump.multiplier + kLaneJump.increment) &
                          RandomGenerator::kMask;
        }
    }
    std::memcpy(state, lanes, sizeof lanes);
    return i;
}

#ifdef VELLUMAR_X86_KERNELS

// The same with AVX2: four vectors of eight states. The saturating packs
// that turn them into 32 bytes interleave the vectors, so each vector
// element is given the state of the byte it lands on.
__attribute__((target("avx2"))) uint64_t xorLanesAvx2(unsigned char* bytes, uint64_t size,
                                                      uint32_t* state) {
    // Byte k of a packed block comes from vector kSource[k] / 8, element kSource[k] % 8.
    static constexpr uint8_t kSource[kLanes] = {
        0,  1,  2,  3,  8,  9,  10, 11, 16, 17, 18, 19, 24, 25, 26, 27,
        4,  5,  6,  7,  12, 13, 14, 15, 20, 21, 22, 23, 28, 29, 30, 31};
    alignas(32) uint32_t arranged[kLanes];
    for (unsigned k = 0; k < kLanes; ++k) arranged[kSource[k]] = state[k];
    __m256i v[4];
    for (int n = 0; n < 4; ++n)
        v[n] = _mm256_load_si256(reinterpret_cast<const __m256i*>(arranged + 8 * n));
    const __m256i multiplier = _mm256_set1_epi32(static_cast<int>(kLaneJump.multiplier));
    const __m256i increment = _mm256_set1_epi32(static_cast<int>(kLaneJump.increment));
    const __m256i mask = _mm256_set1_epi32(static_cast<int>(RandomGenerator::kMask));
    uint64_t i = 0;
    for (; i + kLanes <= size; i += kLanes) {
        __m256i low = _mm256_packus_epi32(_mm256_srli_epi32(v[0], 16), _mm256_srli_epi32(v[1], 16));
        __m256i high = _mm256_packus_epi32(_mm256_srli_epi32(v[2], 16), _mm256_srli_epi32(v[3], 16));
        __m256i keystream = _mm256_packus_epi16(low, high);
        __m256i* block = reinterpret_cast<__m256i*>(bytes + i);
        _mm256_storeu_si256(block, _mm256_xor_si256(_mm256_loadu_si256(block), keystream));
        for (int n = 0; n < 4; ++n)
            v[n] = _mm256_and_si256(
                _mm256_add_epi32(_mm256_mullo_epi32(v[n], multiplier), increment), mask);
    }
    for (int n = 0; n < 4; ++n) _mm256_store_si256(reinterpret_cast<__m256i*>(arranged + 8 * n), v[n]);
    for (unsigned k = 0; k < kLanes; ++k) state[k] = arranged[kSource[k]];
    return i;
}
#endif

uint64_t xorLanes(unsigned char* bytes, uint64_t size, uint32_t* state) {
#ifdef VELLUMAR_X86_KERNELS
    if (hasAvx2()) return xorLanesAvx2(bytes, size, state);
#endif
    return xorLanesPortable(bytes, size, state);
}

}  // namespace

void RandomGenerator::xorBytes(char* data, uint64_t size) {
    // The plain recurrence is one long dependency chain; lanes that each jump
    // kLanes steps at a time run side by side.
    uint64_t i = 0;
    if (size >= kLanes) {
        uint32_t lanes[kLanes];
        uint32_t s = state_;
        for (unsigned lane = 0; lane < kLanes; ++lane) {
            s = (s * kMultiplier + kIncrement) & kMask;
            lanes[lane] = s;
        }
        i = xorLanes(reinterpret_cast<unsigned char*>(data), size, lanes);
        state_ = advance(state_, i);
    }
    for (; i < size; ++i) data[i] = static_cast<char>(static_cast<unsigned char>(data[i]) ^ nextByte());
}

RandomGenerator& processGenerator() {
    static RandomGenerator generator;
    return generator;
}

}  // namespace vellumar
