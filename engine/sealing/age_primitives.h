#pragma once
// The cryptographic primitives behind sealed files, all taken from
// libgcrypt: X25519, ChaCha20-Poly1305, HMAC-SHA-256 (and HKDF built on
// it), scrypt and the system's strong random source.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "engine/sealing/secret_bytes.h"

namespace vellumar {

using Key32 = std::array<uint8_t, 32>;
constexpr size_t kAeadTagSize = 16;
constexpr size_t kAeadNonceSize = 12;

// Initialises the library once, with its secure memory for secrets.
void ensureCryptoLibraryReady();

// What a primitive gave: done; refused for what it was given (a point of
// small order, a message that is not authentic); or the library itself
// failed, with the library's own message. Only a library failure is no
// verdict on the file.
class CryptoResult {
  public:
    static CryptoResult done() { return CryptoResult(State::done, {}); }
    static CryptoResult refused() { return CryptoResult(State::refused, {}); }
    static CryptoResult failed(std::string message) {
        return CryptoResult(State::failed, std::move(message));
    }
    explicit operator bool() const { return state_ == State::done; }
    bool libraryFailed() const { return state_ == State::failed; }
    const std::string& message() const { return message_; }

  private:
    enum class State { done, refused, failed };
    CryptoResult(State state, std::string message) : state_(state), message_(std::move(message)) {}
    State state_;
    std::string message_;
};

// The kinds of call into the library, for LibraryFailureInjection.
enum class LibraryCall { any, curve, mac, cipher, kdf };

// Makes calls into the library (of one kind, or any) fail, from the
// `skip`-th on, with the library's own error `code` (a gpg-error code),
// while the object lives; for tests of what a failing library leads to.
class LibraryFailureInjection {
  public:
    explicit LibraryFailureInjection(unsigned code, LibraryCall kind = LibraryCall::any,
                                     int skip = 0);
    ~LibraryFailureInjection();
    LibraryFailureInjection(const LibraryFailureInjection&) = delete;
    LibraryFailureInjection& operator=(const LibraryFailureInjection&) = delete;
};

void fillRandom(void* out, size_t size);

// X25519 of RFC 7748: `scalar` times the curve point `point`. Refused when
// the result is all zero (a point of small order).
CryptoResult x25519(const Key32& scalar, const Key32& point, Key32& out);
CryptoResult x25519Base(const Key32& scalar, Key32& out);

CryptoResult hmacSha256(std::string_view key, std::string_view data, std::string& out);
// HKDF-SHA-256 (RFC 5869): extract with `salt`, expand with `info`.
CryptoResult hkdfSha256(std::string_view ikm, std::string_view salt, std::string_view info,
                        SecretBytes& out, size_t length = 32);
// scrypt with r = 8, p = 1 and N = 2^logN; refused for a logN out of range.
CryptoResult scrypt(std::string_view password, std::string_view salt, int logN, Key32& out);

// Compares without an early exit, so the time taken tells nothing.
bool equalInConstantTime(const std::string& a, const std::string& b);

// ChaCha20-Poly1305 (RFC 8439) under one key, for many messages; its state
// is kept in secure memory.
class Aead {
  public:
    explicit Aead(const uint8_t* key);
    ~Aead();
    Aead(const Aead&) = delete;
    Aead& operator=(const Aead&) = delete;

    bool valid() const { return handle_ != nullptr; }
    // Why the key could not be taken, when not valid().
    const CryptoResult& status() const { return status_; }
    // Writes size + kAeadTagSize bytes to `out`.
    CryptoResult seal(const uint8_t* nonce, const char* plain, size_t size, char* out);
    // `size` counts the tag; writes size - kAeadTagSize bytes to `out`.
    // Refused means the message is not authentic (nothing in `out` to use).
    CryptoResult open(const uint8_t* nonce, const char* sealed, size_t size, char* out);

  private:
    void* handle_ = nullptr;
    CryptoResult status_ = CryptoResult::done();
};

// One message under a key used once, with the all-zero nonce.
CryptoResult aeadSealOnce(std::string_view key, std::string_view plain, std::string& sealed);
CryptoResult aeadOpenOnce(std::string_view key, std::string_view sealed, SecretBytes& plain);

}  // namespace vellumar
