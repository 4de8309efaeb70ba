#include "engine/age_primitives.h"

#include <gcrypt.h>

#include <cstdarg>
#include <mutex>

namespace vellumar {
namespace {

// The library's own notes (on Windows, one about disk statistics for its
// random pool) would land on the person's console: every failure reaches
// us as a value, so they are dropped.
void dropLibraryNote(void*, int, const char*, va_list) {}

void ensureLibraryReady() {
    static std::once_flag once;
    std::call_once(once, [] {
        if (!gcry_control(GCRYCTL_INITIALIZATION_FINISHED_P)) {
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
            gcry_set_log_handler(dropLibraryNote, nullptr);
#pragma GCC diagnostic pop
            gcry_check_version(nullptr);
            // Keys live in ordinary memory: the secure pool is small and
            // would need privileges to lock pages.
            gcry_control(GCRYCTL_DISABLE_SECMEM, 0);
            gcry_control(GCRYCTL_INITIALIZATION_FINISHED, 0);
        }
    });
}

const Key32 kBasePoint = {9};

}  // namespace

void fillRandom(void* out, size_t size) {
    ensureLibraryReady();
    gcry_randomize(out, size, GCRY_STRONG_RANDOM);
}

bool x25519(const Key32& scalar, const Key32& point, Key32& out) {
    ensureLibraryReady();
    if (gcry_ecc_mul_point(GCRY_ECC_CURVE25519, out.data(), scalar.data(), point.data()) != 0)
        return false;
    uint8_t any = 0;
    for (uint8_t byte : out) any |= byte;
    return any != 0;
}

bool x25519Base(const Key32& scalar, Key32& out) {
    return x25519(scalar, kBasePoint, out);
}

std::string hmacSha256(const std::string& key, const std::string& data) {
    ensureLibraryReady();
    gcry_mac_hd_t mac = nullptr;
    std::string out(32, '\0');
    size_t length = out.size();
    if (gcry_mac_open(&mac, GCRY_MAC_HMAC_SHA256, 0, nullptr) != 0) return {};
    const bool done = gcry_mac_setkey(mac, key.data(), key.size()) == 0 &&
                      gcry_mac_write(mac, data.data(), data.size()) == 0 &&
                      gcry_mac_read(mac, out.data(), &length) == 0 && length == out.size();
    gcry_mac_close(mac);
    return done ? out : std::string();
}

std::string hkdfSha256(const std::string& ikm, const std::string& salt, const std::string& info,
                       size_t length) {
    // An empty salt stands for a block of zeros, which HMAC pads it to anyway.
    const std::string pseudoRandomKey = hmacSha256(salt, ikm);
    std::string out, block;
    for (uint8_t counter = 1; out.size() < length; ++counter) {
        block = hmacSha256(pseudoRandomKey, block + info + static_cast<char>(counter));
        out += block;
    }
    out.resize(length);
    return out;
}

bool scrypt(const std::string& password, const std::string& salt, int logN, Key32& out) {
    ensureLibraryReady();
    if (logN < 1 || logN > 30) return false;
    // The library takes N as the sub-algorithm and p as the iteration count.
    return gcry_kdf_derive(password.data(), password.size(), GCRY_KDF_SCRYPT, 1 << logN,
                           salt.data(), salt.size(), 1, out.size(), out.data()) == 0;
}

bool equalInConstantTime(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    uint8_t difference = 0;
    for (size_t i = 0; i < a.size(); ++i) difference |= static_cast<uint8_t>(a[i] ^ b[i]);
    return difference == 0;
}

Aead::Aead(const uint8_t* key) {
    ensureLibraryReady();
    gcry_cipher_hd_t cipher = nullptr;
    if (gcry_cipher_open(&cipher, GCRY_CIPHER_CHACHA20, GCRY_CIPHER_MODE_POLY1305, 0) != 0) return;
    if (gcry_cipher_setkey(cipher, key, 32) != 0) {
        gcry_cipher_close(cipher);
        return;
    }
    handle_ = cipher;
}

Aead::~Aead() {
    if (handle_) gcry_cipher_close(static_cast<gcry_cipher_hd_t>(handle_));
}

bool Aead::seal(const uint8_t* nonce, const char* plain, size_t size, char* out) {
    auto cipher = static_cast<gcry_cipher_hd_t>(handle_);
    return cipher && gcry_cipher_setiv(cipher, nonce, kAeadNonceSize) == 0 &&
           gcry_cipher_final(cipher) == 0 &&
           gcry_cipher_encrypt(cipher, out, size, plain, size) == 0 &&
           gcry_cipher_gettag(cipher, out + size, kAeadTagSize) == 0;
}

bool Aead::open(const uint8_t* nonce, const char* sealed, size_t size, char* out) {
    auto cipher = static_cast<gcry_cipher_hd_t>(handle_);
    if (!cipher || size < kAeadTagSize) return false;
    const size_t plainSize = size - kAeadTagSize;
    return gcry_cipher_setiv(cipher, nonce, kAeadNonceSize) == 0 &&
           gcry_cipher_final(cipher) == 0 &&
           gcry_cipher_decrypt(cipher, out, plainSize, sealed, plainSize) == 0 &&
           gcry_cipher_checktag(cipher, sealed + plainSize, kAeadTagSize) == 0;
}

std::string aeadSealOnce(const std::string& key, const std::string& plain) {
    const uint8_t nonce[kAeadNonceSize] = {};
    if (key.size() != 32) return {};
    Aead aead(reinterpret_cast<const uint8_t*>(key.data()));
    std::string out(plain.size() + kAeadTagSize, '\0');
    if (!aead.seal(nonce, plain.data(), plain.size(), out.data())) return {};
    return out;
}

bool aeadOpenOnce(const std::string& key, const std::string& sealed, std::string& plain) {
    const uint8_t nonce[kAeadNonceSize] = {};
    if (key.size() != 32 || sealed.size() < kAeadTagSize) return false;
    Aead aead(reinterpret_cast<const uint8_t*>(key.data()));
    plain.assign(sealed.size() - kAeadTagSize, '\0');
    if (aead.open(nonce, sealed.data(), sealed.size(), plain.data())) return true;
    plain.clear();
    return false;
}

}  // namespace vellumar
