// Throughput of the cipher's kernels over a 200000-byte text, the largest
// text the small format holds. Bytes per second count the input bytes.
#include <benchmark/benchmark.h>

#include <string>

#include "engine/formats/cipher.h"

namespace vellumar {
namespace {

constexpr size_t kLength = 200000;

std::string plainText() {
    std::string text(kLength, '\0');
    for (size_t i = 0; i < kLength; ++i) text[i] = static_cast<char>(i * 131 + (i >> 7));
    return text;
}

void BM_DoXor(benchmark::State& state) {
    RandomGenerator generator;
    Cipher cipher(generator);
    cipher.keyString("[Secret]abcdefghABCDEFGH");
    cipher.text(plainText());
    for (auto _ : state) {
        cipher.doXor();
        benchmark::DoNotOptimize(cipher.text().data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kLength));
}

void BM_Stretch(benchmark::State& state) {
    const std::string plain = plainText();
    std::string out(stretchedLength(kLength), ' ');
    for (auto _ : state) {
        stretchInto(reinterpret_cast<const unsigned char*>(plain.data()), kLength, out.data());
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kLength));
}

// What locking a small file does: key, XOR, stretch into a new text.
void BM_DoXorThenStretch(benchmark::State& state) {
    RandomGenerator generator;
    const std::string plain = plainText();
    for (auto _ : state) {
        Cipher cipher(generator);
        cipher.keyString("[Secret]abcdefghABCDEFGH");
        cipher.text(plain);
        cipher.doXor();
        cipher.stretch();
        benchmark::DoNotOptimize(cipher.text().data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kLength));
}

void BM_Shrink(benchmark::State& state) {
    RandomGenerator generator;
    Cipher cipher(generator);
    cipher.text(plainText());
    cipher.stretch();
    const std::string text = cipher.text();
    std::string out(shrunkLength(text.size()), ' ');
    for (auto _ : state) {
        shrinkInto(text.data(), text.size(), out.data());
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kLength));
}

void BM_DeriveKey(benchmark::State& state) {
    RandomGenerator generator;
    const std::string input = plainText();
    for (auto _ : state) benchmark::DoNotOptimize(deriveKey(input, generator));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kLength));
}

BENCHMARK(BM_DoXor);
BENCHMARK(BM_Stretch);
BENCHMARK(BM_DoXorThenStretch);
BENCHMARK(BM_Shrink);
BENCHMARK(BM_DeriveKey);

}  // namespace
}  // namespace vellumar
