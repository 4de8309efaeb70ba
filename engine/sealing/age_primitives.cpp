#include "engine/sealing/age_primitives.h"

#include <gcrypt.h>

#include <atomic>
#include <cstdarg>
#include <cstring>
#include <mutex>

namespace vellumar {
namespace {

// The pool of secure memory: what a normal user may lock by default (64 KiB
// on most systems) holds it, and it holds many times the secrets of a run.
// Where the pages cannot be locked the library keeps the pool unlocked, and
// it is still wiped.
constexpr unsigned kSecurePoolSize = 32 * 1024;

// The library's own notes (on Windows, one about disk statistics for its
// random pool; anywhere, one that secure memory could not be locked) would
// land on the person's console: every failure reaches us as a value, so
// they are dropped.
void dropLibraryNote(void*, int, const char*, va_list) {}

std::atomic<bool> injecting{false};
std::atomic<int> injectionSkip{0};
std::atomic<unsigned> injectedCode{0};
std::atomic<LibraryCall> injectedKind{LibraryCall::any};

// Every call into the library that can fail asks here first.
gcry_error_t injectedFailure(LibraryCall kind) {
    if (!injecting.load()) return 0;
    if (injectedKind.load() != LibraryCall::any && injectedKind.load() != kind) return 0;
    if (injectionSkip.fetch_sub(1) > 0) return 0;
    return gcry_error(static_cast<gcry_err_code_t>(injectedCode.load()));
}

template <typename Call>
gcry_error_t library(LibraryCall kind, Call call) {
    if (gcry_error_t e = injectedFailure(kind)) return e;
    return call();
}

CryptoResult failure(gcry_error_t error) {
    return CryptoResult::failed(gcry_strerror(error));
}

const Key32 kBasePoint = {9};

}  // namespace

void ensureCryptoLibraryReady() {
    static std::once_flag once;
    std::call_once(once, [] {
        if (!gcry_control(GCRYCTL_INITIALIZATION_FINISHED_P)) {
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
            gcry_set_log_handler(dropLibraryNote, nullptr);
#pragma GCC diagnostic pop
            gcry_check_version(nullptr);
            gcry_control(GCRYCTL_DISABLE_SECMEM_WARN, 0);
            gcry_control(GCRYCTL_INIT_SECMEM, kSecurePoolSize, 0);
            // The library's own secret state (cipher and MAC contexts) may
            // take more pools when the first is full.
            gcry_control(GCRYCTL_AUTO_EXPAND_SECMEM, kSecurePoolSize);
            gcry_control(GCRYCTL_INITIALIZATION_FINISHED, 0);
        }
    });
}

LibraryFailureInjection::LibraryFailureInjection(unsigned code, LibraryCall kind, int skip) {
    injectedCode = code;
    injectedKind = kind;
    injectionSkip = skip;
    injecting = true;
}

LibraryFailureInjection::~LibraryFailureInjection() { injecting = false; }

void fillRandom(void* out, size_t size) {
    ensureCryptoLibraryReady();
    gcry_randomize(out, size, GCRY_STRONG_RANDOM);
}

CryptoResult x25519(const Key32& scalar, const Key32& point, Key32& out) {
    ensureCryptoLibraryReady();
    if (gcry_error_t e = library(LibraryCall::curve, [&] {
            return gcry_ecc_mul_point(GCRY_ECC_CURVE25519, out.data(), scalar.data(), point.data());
        }))
        return failure(e);
    uint8_t any = 0;
    for (uint8_t byte : out) any |= byte;
    return any != 0 ? CryptoResult::done() : CryptoResult::refused();
}

CryptoResult x25519Base(const Key32& scalar, Key32& out) {
    return x25519(scalar, kBasePoint, out);
}

CryptoResult hmacSha256(std::string_view key, std::string_view data, std::string& out) {
    ensureCryptoLibraryReady();
    out.clear();
    gcry_mac_hd_t mac = nullptr;
    // The key schedule of a secret key stays in secure memory.
    if (gcry_error_t e = library(LibraryCall::mac, [&] {
            return gcry_mac_open(&mac, GCRY_MAC_HMAC_SHA256, GCRY_MAC_FLAG_SECURE, nullptr);
        }))
        return failure(e);
    std::string result(32, '\0');
    size_t length = result.size();
    gcry_error_t e = library(LibraryCall::mac, [&] { return gcry_mac_setkey(mac, key.data(), key.size()); });
    if (!e) e = library(LibraryCall::mac, [&] { return gcry_mac_write(mac, data.data(), data.size()); });
    if (!e) e = library(LibraryCall::mac, [&] { return gcry_mac_read(mac, result.data(), &length); });
    gcry_mac_close(mac);
    if (e) {
        wipeSecret(result);
        return failure(e);
    }
    out = std::move(result);
    return CryptoResult::done();
}

CryptoResult hkdfSha256(std::string_view ikm, std::string_view salt, std::string_view info,
                        SecretBytes& out, size_t length) {
    out.clear();
    constexpr size_t kHashSize = 32;
    if (length > 255 * kHashSize) return CryptoResult::refused();
    // An empty salt stands for a block of zeros, which HMAC pads it to anyway.
    std::string pseudoRandomKey, block, input;
    SecretBytes result(length);
    CryptoResult step = hmacSha256(salt, ikm, pseudoRandomKey);
    size_t have = 0;
    for (uint8_t counter = 1; step && have < length; ++counter) {
        input.assign(block).append(info).push_back(static_cast<char>(counter));
        step = hmacSha256(pseudoRandomKey, input, block);
        if (!step) break;
        const size_t part = std::min(kHashSize, length - have);
        std::memcpy(result.data() + have, block.data(), part);
        have += part;
    }
    wipeSecret(pseudoRandomKey);
    wipeSecret(block);
    wipeSecret(input);
    if (!step) return step;
    out = std::move(result);
    return CryptoResult::done();
}

CryptoResult scrypt(std::string_view password, std::string_view salt, int logN, Key32& out) {
    ensureCryptoLibraryReady();
    if (logN < 1 || logN > 30) return CryptoResult::refused();
    // The library takes N as the sub-algorithm and p as the iteration count.
    if (gcry_error_t e = library(LibraryCall::kdf, [&] {
            return gcry_kdf_derive(password.data(), password.size(), GCRY_KDF_SCRYPT, 1 << logN,
                                   salt.data(), salt.size(), 1, out.size(), out.data());
        }))
        return failure(e);
    return CryptoResult::done();
}

bool equalInConstantTime(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    uint8_t difference = 0;
    for (size_t i = 0; i < a.size(); ++i) difference |= static_cast<uint8_t>(a[i] ^ b[i]);
    return difference == 0;
}

Aead::Aead(const uint8_t* key) {
    ensureCryptoLibraryReady();
    gcry_cipher_hd_t cipher = nullptr;
    if (gcry_error_t e = library(LibraryCall::cipher, [&] {
            return gcry_cipher_open(&cipher, GCRY_CIPHER_CHACHA20, GCRY_CIPHER_MODE_POLY1305,
                                    GCRY_CIPHER_SECURE);
        })) {
        status_ = failure(e);
        return;
    }
    if (gcry_error_t e = library(LibraryCall::cipher, [&] { return gcry_cipher_setkey(cipher, key, 32); })) {
        gcry_cipher_close(cipher);
        status_ = failure(e);
        return;
    }
    handle_ = cipher;
}

Aead::~Aead() {
    if (handle_) gcry_cipher_close(static_cast<gcry_cipher_hd_t>(handle_));
}

CryptoResult Aead::seal(const uint8_t* nonce, const char* plain, size_t size, char* out) {
    auto cipher = static_cast<gcry_cipher_hd_t>(handle_);
    if (!cipher) return status_;
    gcry_error_t e = library(LibraryCall::cipher, [&] { return gcry_cipher_setiv(cipher, nonce, kAeadNonceSize); });
    if (!e) e = library(LibraryCall::cipher, [&] { return gcry_cipher_final(cipher); });
    if (!e) e = library(LibraryCall::cipher, [&] { return gcry_cipher_encrypt(cipher, out, size, plain, size); });
    if (!e) e = library(LibraryCall::cipher, [&] { return gcry_cipher_gettag(cipher, out + size, kAeadTagSize); });
    return e ? failure(e) : CryptoResult::done();
}

CryptoResult Aead::open(const uint8_t* nonce, const char* sealed, size_t size, char* out) {
    auto cipher = static_cast<gcry_cipher_hd_t>(handle_);
    if (!cipher) return status_;
    if (size < kAeadTagSize) return CryptoResult::refused();
    const size_t plainSize = size - kAeadTagSize;
    gcry_error_t e = library(LibraryCall::cipher, [&] { return gcry_cipher_setiv(cipher, nonce, kAeadNonceSize); });
    if (!e) e = library(LibraryCall::cipher, [&] { return gcry_cipher_final(cipher); });
    if (!e)
        e = library(LibraryCall::cipher, [&] { return gcry_cipher_decrypt(cipher, out, plainSize, sealed, plainSize); });
    if (e) return failure(e);
    // A tag that does not match is the verdict on the message; any other
    // error is the library's.
    e = library(LibraryCall::cipher, [&] { return gcry_cipher_checktag(cipher, sealed + plainSize, kAeadTagSize); });
    if (gcry_err_code(e) == GPG_ERR_CHECKSUM) return CryptoResult::refused();
    return e ? failure(e) : CryptoResult::done();
}

CryptoResult aeadSealOnce(std::string_view key, std::string_view plain, std::string& sealed) {
    sealed.clear();
    const uint8_t nonce[kAeadNonceSize] = {};
    if (key.size() != 32) return CryptoResult::refused();
    Aead aead(reinterpret_cast<const uint8_t*>(key.data()));
    std::string out(plain.size() + kAeadTagSize, '\0');
    if (CryptoResult done = aead.seal(nonce, plain.data(), plain.size(), out.data()); !done)
        return done;
    sealed = std::move(out);
    return CryptoResult::done();
}

CryptoResult aeadOpenOnce(std::string_view key, std::string_view sealed, SecretBytes& plain) {
    plain.clear();
    const uint8_t nonce[kAeadNonceSize] = {};
    if (key.size() != 32 || sealed.size() < kAeadTagSize) return CryptoResult::refused();
    Aead aead(reinterpret_cast<const uint8_t*>(key.data()));
    SecretBytes out(sealed.size() - kAeadTagSize);
    if (CryptoResult opened = aead.open(nonce, sealed.data(), sealed.size(), out.data()); !opened)
        return opened;
    plain = std::move(out);
    return CryptoResult::done();
}

}  // namespace vellumar
