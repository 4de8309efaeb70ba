// Throughput on one core of what sealing costs per byte: ChaCha20-Poly1305
// of the library over one 64 KiB chunk (seal and open), and the whole
// payload of a sealed file (chunks, nonces and the sink), both counted in
// plain bytes. The one slow step of an unseal run, scrypt at the work
// factor of new identity files, is timed once too.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "engine/sealing/age_format.h"
#include "engine/sealing/age_primitives.h"

namespace vellumar {
namespace {

void BM_ChaChaPolySealChunk(benchmark::State& state) {
    const Key32 key{1, 2, 3};
    Aead aead(key.data());
    uint8_t nonce[kAeadNonceSize] = {};
    const std::string plain(kAgeChunkSize, 'x');
    std::vector<char> out(kAgeChunkSize + kAeadTagSize);
    for (auto _ : state) {
        ++nonce[0];
        benchmark::DoNotOptimize(aead.seal(nonce, plain.data(), plain.size(), out.data()));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kAgeChunkSize));
}

void BM_ChaChaPolyOpenChunk(benchmark::State& state) {
    const Key32 key{1, 2, 3};
    Aead aead(key.data());
    const uint8_t nonce[kAeadNonceSize] = {};
    const std::string plain(kAgeChunkSize, 'x');
    std::vector<char> sealed(kAgeChunkSize + kAeadTagSize), out(kAgeChunkSize);
    aead.seal(nonce, plain.data(), plain.size(), sealed.data());
    for (auto _ : state)
        benchmark::DoNotOptimize(aead.open(nonce, sealed.data(), sealed.size(), out.data()));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kAgeChunkSize));
}

// A whole 16 MiB file sealed in memory, then opened and checked.
void BM_SealedFileRoundTrip(benchmark::State& state) {
    const AgeIdentity identity = AgeIdentity::generate();
    const std::string plain(16 << 20, 'y');
    for (auto _ : state) {
        std::string sealed;
        encryptForRecipient(identity.recipient(), "name.bin", readFromText(plain),
                            [&sealed](const char* data, size_t size) {
                                sealed.append(data, size);
                                return IoError::ok;
                            });
        AgeReader reader(readFromText(sealed));
        size_t got = 0;
        reader.openWithIdentity(identity);
        reader.decryptTo([&got](const char*, size_t size) {
            got += size;
            return IoError::ok;
        });
        benchmark::DoNotOptimize(got);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * plain.size()));
}

// The one step an unseal takes per file beyond the content.
void BM_X25519(benchmark::State& state) {
    const Key32 scalar{9, 8, 7};
    Key32 point{}, out{};
    x25519Base(Key32{1, 2, 3}, point);
    for (auto _ : state) benchmark::DoNotOptimize(x25519(scalar, point, out));
}

void BM_ScryptOfTheIdentityFile(benchmark::State& state) {
    Key32 out{};
    for (auto _ : state)
        benchmark::DoNotOptimize(scrypt("password", "sixteen byte salt", kDefaultScryptLogN, out));
}

BENCHMARK(BM_ChaChaPolySealChunk);
BENCHMARK(BM_ChaChaPolyOpenChunk);
BENCHMARK(BM_SealedFileRoundTrip)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_X25519)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ScryptOfTheIdentityFile)->Unit(benchmark::kMillisecond)->Iterations(2);

}  // namespace
}  // namespace vellumar
