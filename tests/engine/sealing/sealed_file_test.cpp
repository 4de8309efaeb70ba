#include "engine/sealing/sealed_file.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "engine/platform/paths.h"
#include "engine/sealing/sealed_identity.h"
#include "tests/engine/sealing/age_test_printing.h"
#include "tests/support/faulty_file_system.h"
#include "tests/support/file_attributes.h"
#include "tests/support/forwarding_file_system.h"
#include "tests/support/temp_folder.h"

namespace vellumar {
namespace {

std::string patterned(size_t size) {
    std::string out(size, '\0');
    for (size_t i = 0; i < size; ++i) out[i] = static_cast<char>((i * 13 + i / 509) & 0xff);
    return out;
}

const std::string kContent = patterned(kAgeChunkSize + 4321);

std::string changedAt(std::string bytes, size_t at) {
    bytes[at] ^= 1;
    return bytes;
}

TEST(SealedFile, SealsAndUnsealsUnderTheCarriedNameLeavingTheSourcesAlone) {
    test::TempFolder temp;
    const AgeIdentity identity = AgeIdentity::generate();
    const std::string source = temp.write("work/Budget 2026.ods", kContent);
    const std::string sealed = temp / "work/x7Qa.VKS";
    ASSERT_TRUE(sealFile(source, sealed, identity.recipient(), "Budget 2026.ods",
                         kAttrHidden | kAttrReadOnly)
                    .ok());
    EXPECT_EQ(test::readFile(source), kContent);
    uint32_t attributes = 0;
    fileSystem().getAttributes(sealed, attributes);
    EXPECT_EQ(attributes, test::fileAttributesAfterSetting(kAttrHidden | kAttrReadOnly));
    std::string name;
    ASSERT_TRUE(readSealedName(sealed, identity, name).ok());
    EXPECT_EQ(name, "Budget 2026.ods");

    const std::string sealedBytes = test::readFile(sealed);
    test::TempFolder out;
    std::string written;
    ASSERT_TRUE(unsealFile(sealed, identity, out.path(), "unused", written).ok());
    EXPECT_EQ(written, out / "Budget 2026.ods");
    EXPECT_TRUE(test::readFile(written) == kContent);
    EXPECT_TRUE(test::readFile(sealed) == sealedBytes);
    EXPECT_EQ(test::listTree(temp.path()), "home\nwork\nwork/Budget 2026.ods\nwork/x7Qa.VKS\n");
    EXPECT_EQ(test::listTree(out.path()), "Budget 2026.ods\nhome\n");
}

TEST(SealedFile, BadInputIsRefusedWithNothingWrittenAndTheSealedFileUntouched) {
    test::TempFolder temp;
    const AgeIdentity identity = AgeIdentity::generate();
    const std::string source = temp.write("plain.txt", kContent);
    const std::string good = temp / "good.VKS";
    ASSERT_TRUE(sealFile(source, good, identity.recipient(), "plain.txt").ok());
    const std::string bytes = test::readFile(good);
    struct Case {
        const char* what;
        std::string content;
        const AgeIdentity* identity;
        AgeError expected;
    } cases[] = {
        {"truncated", bytes.substr(0, bytes.size() - 100), &identity, AgeError::damaged},
        {"changed chunk", changedAt(bytes, bytes.size() - 3000), &identity, AgeError::damaged},
        {"not sealed", kContent, &identity, AgeError::notAge},
    };
    const AgeIdentity other = AgeIdentity::generate();
    for (const Case& c : cases) {
        test::TempFolder work;
        const std::string sealed = work.write("in.VKS", c.content);
        std::string written;
        EXPECT_EQ(unsealFile(sealed, *c.identity, work.path(), "fallback", written).error,
                  c.expected)
            << c.what;
        EXPECT_EQ(written, "") << c.what;
        EXPECT_EQ(test::listTree(work.path()), "home\nin.VKS\n") << c.what;
        EXPECT_TRUE(test::readFile(sealed) == c.content) << c.what;
    }
    std::string written;
    EXPECT_EQ(unsealFile(good, other, temp.path(), "fallback", written).error,
              AgeError::otherIdentity);
    EXPECT_EQ(test::listTree(temp.path()), "good.VKS\nhome\nplain.txt\n");
}

TEST(SealedFile, ATakenNameIsNeverReplaced) {
    test::TempFolder temp;
    const AgeIdentity identity = AgeIdentity::generate();
    const std::string source = temp.write("a.txt", "new content");
    ASSERT_TRUE(sealFile(source, temp / "a.VKS", identity.recipient(), "a.txt").ok());
    std::string written;
    const AgeResult result = unsealFile(temp / "a.VKS", identity, temp.path(), "", written);
    EXPECT_EQ(result.io, IoError::exists);
    EXPECT_EQ(test::readFile(source), "new content");
    EXPECT_EQ(sealFile(source, temp / "a.VKS", identity.recipient(), "a.txt").io, IoError::exists);
    EXPECT_EQ(test::listTree(temp.path()), "a.VKS\na.txt\nhome\n");
}

// Runs `step` with each file-system call failing in turn, until it runs
// through; every failure must be reported and leave only `expectedTree`.
// `reset` removes what a run that got through made.
template <typename Reset, typename Step>
void failEachCall(const test::TempFolder& temp, const std::string& expectedTree, Reset reset,
                  Step step) {
    for (int n = 1;; ++n) {
        reset();
        test::FaultyFileSystem faulty;
        faulty.failAt(n);
        AgeResult result;
        {
            FileSystemOverride use(faulty);
            result = step();
        }
        if (!faulty.triggered()) {
            EXPECT_TRUE(result.ok()) << describe(result.error);
            return;
        }
        SCOPED_TRACE(testing::Message() << "call " << n << " (" << faulty.log()[n - 1] << ")");
        // Once the new file took its name, a failure (flushing the folder,
        // closing the source) no longer takes it back.
        const auto& log = faulty.log();
        if (std::find(log.begin(), log.begin() + n - 1, "rename") != log.begin() + n - 1) continue;
        EXPECT_FALSE(result.ok());
        EXPECT_EQ(test::listTree(temp.path()), expectedTree);
    }
}

TEST(SealedFile, AFailureAtAnyCallLeavesNoNewFile) {
    test::TempFolder temp;
    const AgeIdentity identity = AgeIdentity::generate();
    const std::string source = temp.write("plain.txt", kContent);
    failEachCall(
        temp, "home\nplain.txt\n", [&] { fileSystem().removeFile(temp / "s.VKS"); },
        [&] { return sealFile(source, temp / "s.VKS", identity.recipient(), "p.txt"); });
    ASSERT_TRUE(fileExists(temp / "s.VKS"));
    failEachCall(
        temp, "home\nplain.txt\ns.VKS\n", [&] { fileSystem().removeFile(temp / "p.txt"); },
        [&] {
            std::string written;
            return unsealFile(temp / "s.VKS", identity, temp.path(), "", written);
        });
    EXPECT_TRUE(test::readFile(temp / "p.txt") == kContent);
}

// Records the largest single read and write.
class MeasuringFileSystem : public test::ForwardingFileSystem {
  public:
    IoError read(FileHandle f, char* b, size_t n, size_t& got) override {
        largestRead = std::max(largestRead, n);
        return base().read(f, b, n, got);
    }
    IoError write(FileHandle f, const char* d, size_t n) override {
        largestWrite = std::max(largestWrite, n);
        return base().write(f, d, n);
    }
    size_t largestRead = 0, largestWrite = 0;
};

TEST(SealedFile, BothWaysStreamInChunksWhateverTheSize) {
    test::TempFolder temp;
    const AgeIdentity identity = AgeIdentity::generate();
    const std::string content = patterned(40 * kAgeChunkSize + 5);
    const std::string source = temp.write("big.bin", content);
    MeasuringFileSystem measuring;
    std::string written;
    {
        FileSystemOverride use(measuring);
        ASSERT_TRUE(sealFile(source, temp / "big.VKS", identity.recipient(), "big.out").ok());
        ASSERT_TRUE(unsealFile(temp / "big.VKS", identity, temp.path(), "", written).ok());
    }
    EXPECT_TRUE(test::readFile(written) == content);
    // A chunk, its tag and one byte read ahead; the header goes out alone.
    EXPECT_LE(measuring.largestRead, kAgeChunkSize + 17);
    EXPECT_LE(measuring.largestWrite, kAgeChunkSize + 16);
}

TEST(SealedIdentity, OpensOnlyWithItsPassword) {
    test::TempFolder temp;
    const AgeIdentity identity = AgeIdentity::generate();
    const std::string path = temp / "identity.age";
    ASSERT_TRUE(writeIdentityFile(path, identity, "p\xC3\xA4ssword", 10).ok());
    AgeIdentity opened;
    ASSERT_TRUE(readIdentityFile(path, "p\xC3\xA4ssword", opened).ok());
    EXPECT_EQ(opened.encode(), identity.encode());
    struct Case {
        const char* what;
        std::string password;
        AgeError expected;
    } cases[] = {
        {"wrong case", "P\xC3\xA4ssword", AgeError::wrongPassword},
        {"other normalisation", "pa\xCC\x88ssword", AgeError::wrongPassword},
        {"empty", "", AgeError::wrongPassword},
    };
    for (const Case& c : cases)
        EXPECT_EQ(readIdentityFile(path, c.password, opened).error, c.expected) << c.what;
    // An existing identity file is never replaced unless asked.
    const std::string before = test::readFile(path);
    EXPECT_EQ(writeIdentityFile(path, AgeIdentity::generate(), "other", 10).io, IoError::exists);
    EXPECT_TRUE(test::readFile(path) == before);
    EXPECT_FALSE(writeIdentityFile(temp / "empty.age", identity, "", 10).ok());
    EXPECT_EQ(test::listTree(temp.path()), "home\nidentity.age\n");
}

TEST(SealedIdentity, AnythingButOneIdentityInsideIsDamaged) {
    test::TempFolder temp;
    const AgeIdentity identity = AgeIdentity::generate();
    const std::string key = identity.encode();
    struct Case {
        const char* what;
        std::string text;
        bool opens;
    } cases[] = {
        {"as written", identityText(identity), true},
        {"bare key, CRLF", key + "\r\n", true},
        {"no key", "# nothing\n", false},
        {"two keys", key + "\n" + key + "\n", false},
        {"lowercase key", "age-secret-key-1" + key.substr(16), false},
        {"text", "hello\n", false},
        {"too long", "#" + std::string(5000, 'x') + "\n" + key + "\n", false},
    };
    for (const Case& c : cases) {
        const std::string path = temp / "id.age";
        fileSystem().removeFile(path);
        AtomicFile file(path);
        ASSERT_EQ(file.open(), IoError::ok);
        ASSERT_TRUE(encryptWithPassword("pw", 10, readFromText(c.text), writeToFile(file)).ok());
        ASSERT_EQ(file.commit(), IoError::ok);
        AgeIdentity opened;
        EXPECT_EQ(readIdentityFile(path, "pw", opened).error,
                  c.opens ? AgeError::ok : AgeError::damaged)
            << c.what;
        if (c.opens) {
            EXPECT_EQ(opened.encode(), key) << c.what;
        }
    }
}

}  // namespace
}  // namespace vellumar
