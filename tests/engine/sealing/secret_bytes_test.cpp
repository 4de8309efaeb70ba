// Secrets in memory: kept in the library's secure memory, wiped before that
// memory is given back, and kept out of core dumps.

#include "engine/sealing/secret_bytes.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#ifdef __linux__
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "engine/sealing/age_keys.h"
#include "engine/sealing/secret_process.h"

namespace vellumar {
namespace {

// Ordinary memory that notes, for each block given back, whether every
// byte of it was zero by then.
class WatchedMemory : public SecretMemory {
  public:
    void* allocate(size_t size) override {
        ++allocated;
        return std::malloc(size);
    }
    void release(void* data, size_t size) override {
        bool zero = true;
        for (size_t i = 0; i < size; ++i) zero = zero && static_cast<char*>(data)[i] == 0;
        released.push_back(zero);
        std::free(data);
    }
    int allocated = 0;
    std::vector<bool> released;
};

TEST(SecretBytes, EveryBlockIsWipedBeforeItIsGivenBack) {
    WatchedMemory memory;
    {
        SecretMemoryOverride use(memory);
        SecretBytes password(std::string_view("correct horse"));
        SecretBytes copy = password;  // a block of its own
        EXPECT_EQ(copy.view(), "correct horse");
        EXPECT_NE(copy.data(), password.data());
        copy = SecretBytes(std::string_view("battery"));  // the old block goes
        SecretBytes moved = std::move(password);          // no new block
        moved.clear();
        EXPECT_TRUE(moved.empty());
        Secret<Key32> key;
        key.get().fill(0xA5);
        Secret<Key32> keyCopy = key;
        EXPECT_EQ(keyCopy.get(), key.get());
    }
    EXPECT_EQ(memory.allocated, 5);
    EXPECT_EQ(memory.released, std::vector<bool>(5, true));
}

TEST(SecretBytes, SecretsLiveInTheLibrarysSecureMemory) {
    const AgeIdentity identity = AgeIdentity::generate();
    EXPECT_TRUE(isInSecureMemory(identity.secret().data()));
    const AgeIdentity copy = identity;
    EXPECT_TRUE(isInSecureMemory(copy.secret().data()));
    EXPECT_NE(copy.secret().data(), identity.secret().data());
    const SecretBytes password(std::string_view("pw"));
    EXPECT_TRUE(isInSecureMemory(password.data()));
}

#ifdef __linux__
// In a child, so that this test process stays as it was.
TEST(SecretProcess, AfterStartupTheProcessDumpsNoCore) {
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        protectProcessSecrets();
        rlimit core{};
        const bool off = ::prctl(PR_GET_DUMPABLE, 0, 0, 0, 0) == 0 &&
                         ::getrlimit(RLIMIT_CORE, &core) == 0 && core.rlim_cur == 0 &&
                         core.rlim_max == 0;
        ::_exit(off ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}
#endif

}  // namespace
}  // namespace vellumar
