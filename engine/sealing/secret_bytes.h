#pragma once
// Secrets held beyond a call (the password, the identity's scalar, a file
// key) live in the cryptographic library's secure memory, which is kept out
// of swap where the system allows it, and are wiped before that memory is
// given back. Where the pool cannot have them they go to ordinary memory,
// still wiped: a secret is never refused for want of locked pages.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>

namespace vellumar {

// Overwrites `size` bytes with zeros in a way the compiler cannot drop.
void wipeSecret(void* data, size_t size);
// Wipes a transient copy that had to pass through a std::string.
void wipeSecret(std::string& text);

// Where secrets are kept. Memory handed to release() was wiped already.
class SecretMemory {
  public:
    virtual ~SecretMemory() = default;
    virtual void* allocate(size_t size) = 0;
    virtual void release(void* data, size_t size) = 0;
};

// Secure memory of the library, or locked (where it can be) ordinary memory.
SecretMemory& secretMemory();
// Whether `data` lies in the library's secure memory.
bool isInSecureMemory(const void* data);

// Puts another SecretMemory in place for the lifetime of the object (tests).
class SecretMemoryOverride {
  public:
    explicit SecretMemoryOverride(SecretMemory& replacement);
    ~SecretMemoryOverride();
    SecretMemoryOverride(const SecretMemoryOverride&) = delete;
    SecretMemoryOverride& operator=(const SecretMemoryOverride&) = delete;

  private:
    SecretMemory* previous_;
};

// Bytes of a secret. A copy is a second secret block, wiped on its own.
class SecretBytes {
  public:
    SecretBytes() = default;
    explicit SecretBytes(size_t size);  // zeros
    explicit SecretBytes(std::string_view bytes);
    SecretBytes(const SecretBytes& other);
    SecretBytes& operator=(const SecretBytes& other);
    SecretBytes(SecretBytes&& other) noexcept;
    SecretBytes& operator=(SecretBytes&& other) noexcept;
    SecretBytes& operator=(std::string_view bytes) { return *this = SecretBytes(bytes); }
    ~SecretBytes();

    char* data() { return data_; }
    const char* data() const { return data_; }
    const uint8_t* bytes() const { return reinterpret_cast<const uint8_t*>(data_); }
    size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    std::string_view view() const { return {data_, size_}; }
    // Wipes and lets go of the bytes.
    void clear();

    // Compares without an early exit.
    friend bool operator==(const SecretBytes& a, const SecretBytes& b);

  private:
    char* data_ = nullptr;
    size_t size_ = 0;
    SecretMemory* memory_ = nullptr;  // where data_ came from
};

// One value of a plain type (a Key32) kept as a secret.
template <typename T>
class Secret {
    static_assert(std::is_trivially_copyable_v<T>);

  public:
    Secret() : bytes_(sizeof(T)) {}
    Secret(const Secret&) = default;
    Secret& operator=(const Secret&) = default;
    T& get() { return *reinterpret_cast<T*>(bytes_.data()); }
    const T& get() const { return *reinterpret_cast<const T*>(bytes_.data()); }
    const void* address() const { return bytes_.data(); }

  private:
    // Copies, never moves: a moved-from secret would hold nothing to read.
    SecretBytes bytes_;
};

}  // namespace vellumar
