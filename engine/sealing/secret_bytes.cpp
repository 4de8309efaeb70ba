#include "engine/sealing/secret_bytes.h"

#include <gcrypt.h>

#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>

#ifndef _WIN32
#include <sys/mman.h>
#endif

#include "engine/sealing/age_primitives.h"

namespace vellumar {
namespace {

// Called through a volatile pointer, so the stores are never optimised away.
void* (*const volatile wipeWith)(void*, int, size_t) = std::memset;

class LibrarySecretMemory final : public SecretMemory {
  public:
    void* allocate(size_t size) override {
        ensureCryptoLibraryReady();
        if (void* secure = gcry_malloc_secure(size)) return secure;
        // The pool is full or the library has none: ordinary memory, kept
        // out of swap where the limit on locked memory allows.
        void* plain = std::malloc(size);
        if (!plain) throw std::bad_alloc();
#ifndef _WIN32
        ::mlock(plain, size);
#endif
        return plain;
    }
    void release(void* data, size_t size) override {
        if (gcry_is_secure(data)) {
            gcry_free(data);
            return;
        }
#ifndef _WIN32
        ::munlock(data, size);
#else
        (void)size;
#endif
        std::free(data);
    }
};

LibrarySecretMemory librarySecretMemory;
SecretMemory* currentSecretMemory = &librarySecretMemory;

}  // namespace

void wipeSecret(void* data, size_t size) {
    if (data && size) wipeWith(data, 0, size);
}

void wipeSecret(std::string& text) {
    wipeSecret(text.data(), text.size());
    text.clear();
}

SecretMemory& secretMemory() { return *currentSecretMemory; }

bool isInSecureMemory(const void* data) { return gcry_is_secure(data) != 0; }

SecretMemoryOverride::SecretMemoryOverride(SecretMemory& replacement)
    : previous_(currentSecretMemory) {
    currentSecretMemory = &replacement;
}

SecretMemoryOverride::~SecretMemoryOverride() { currentSecretMemory = previous_; }

SecretBytes::SecretBytes(size_t size) : size_(size) {
    if (size == 0) return;
    memory_ = &secretMemory();
    data_ = static_cast<char*>(memory_->allocate(size));
    std::memset(data_, 0, size);
}

SecretBytes::SecretBytes(std::string_view bytes) : SecretBytes(bytes.size()) {
    if (!bytes.empty()) std::memcpy(data_, bytes.data(), bytes.size());
}

SecretBytes::SecretBytes(const SecretBytes& other) : SecretBytes(other.view()) {}

SecretBytes& SecretBytes::operator=(const SecretBytes& other) {
    if (this != &other) *this = SecretBytes(other);
    return *this;
}

SecretBytes::SecretBytes(SecretBytes&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)),
      size_(std::exchange(other.size_, 0)),
      memory_(other.memory_) {}

SecretBytes& SecretBytes::operator=(SecretBytes&& other) noexcept {
    if (this != &other) {
        clear();
        data_ = std::exchange(other.data_, nullptr);
        size_ = std::exchange(other.size_, 0);
        memory_ = other.memory_;
    }
    return *this;
}

SecretBytes::~SecretBytes() { clear(); }

void SecretBytes::clear() {
    if (!data_) return;
    wipeSecret(data_, size_);
    memory_->release(data_, size_);
    data_ = nullptr;
    size_ = 0;
}

bool operator==(const SecretBytes& a, const SecretBytes& b) {
    if (a.size_ != b.size_) return false;
    uint8_t difference = 0;
    for (size_t i = 0; i < a.size_; ++i) difference |= static_cast<uint8_t>(a.data_[i] ^ b.data_[i]);
    return difference == 0;
}

}  // namespace vellumar
