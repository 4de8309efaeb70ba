#pragma once
// The cryptographic primitives behind sealed files, all taken from
// libgcrypt: X25519, ChaCha20-Poly1305, HMAC-SHA-256 (and HKDF built on
// it), scrypt and the system's strong random source.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace vellumar {

using Key32 = std::array<uint8_t, 32>;
constexpr size_t kAeadTagSize = 16;
constexpr size_t kAeadNonceSize = 12;

void fillRandom(void* out, size_t size);

// X25519 of RFC 7748: `scalar` times the curve point `point`. False when the
// library refuses, or the result is all zero (a point of small order).
bool x25519(const Key32& scalar, const Key32& point, Key32& out);
bool x25519Base(const Key32& scalar, Key32& out);

std::string hmacSha256(const std::string& key, const std::string& data);
// HKDF-SHA-256 (RFC 5869): extract with `salt`, expand with `info`.
std::string hkdfSha256(const std::string& ikm, const std::string& salt, const std::string& info,
                       size_t length = 32);
// scrypt with r = 8, p = 1 and N = 2^logN; false when the library refuses.
bool scrypt(const std::string& password, const std::string& salt, int logN, Key32& out);

// Compares without an early exit, so the time taken tells nothing.
bool equalInConstantTime(const std::string& a, const std::string& b);

// ChaCha20-Poly1305 (RFC 8439) under one key, for many messages.
class Aead {
  public:
    explicit Aead(const uint8_t* key);
    ~Aead();
    Aead(const Aead&) = delete;
    Aead& operator=(const Aead&) = delete;

    bool valid() const { return handle_ != nullptr; }
    // Writes size + kAeadTagSize bytes to `out`.
    bool seal(const uint8_t* nonce, const char* plain, size_t size, char* out);
    // `size` counts the tag; writes size - kAeadTagSize bytes to `out`, and
    // false means the message is not authentic (nothing in `out` to use).
    bool open(const uint8_t* nonce, const char* sealed, size_t size, char* out);

  private:
    void* handle_ = nullptr;
};

// One message under a key used once, with the all-zero nonce.
std::string aeadSealOnce(const std::string& key, const std::string& plain);
bool aeadOpenOnce(const std::string& key, const std::string& sealed, std::string& plain);

}  // namespace vellumar
