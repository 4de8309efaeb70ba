// Sealed lock and unlock runs: files of every size become random ".VKS"
// names that come back byte for byte; every kind of bad sealed file is
// refused with its cause and nothing written; a fault at any file-system
// call loses nothing.

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "engine/sealing/age_format.h"
#include "engine/lists/list_file.h"
#include "engine/platform/platform.h"
#include "engine/sealing/sealed_lock.h"
#include "engine/runs/write_batch.h"
#include "locking/file_operations.h"
#include "locking/sealing_keys.h"
#include "tests/engine/formats/lock_fixture.h"
#include "tests/support/faulty_file_system.h"
#include "tests/support/file_attributes.h"

namespace vellumar::test {
namespace {

uint32_t attributesOf(const std::string& path) {
    uint32_t attributes = 0;
    platformFileSystem().getAttributes(path, attributes);
    return attributes;
}

void overwrite(const std::string& path, const std::string& bytes) {
    platformFileSystem().setAttributes(path, kAttrNormal);
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

class SealedRuns : public ::testing::Test {
  protected:
    SealedRuns() { keys.add(AgeIdentity::generate()); }

    RunReport seal(const std::vector<std::string>& paths, bool listed = false) {
        const AgeRecipient recipient = keys.recipient();
        LockOptions options;
        options.sealFor = &recipient;
        options.recordInFilesList = listed;
        WriteBatch batch(BatchThreads::callerOnly);
        return lockFiles(paths, options, &batch, desktop);
    }
    RunReport unseal(const std::vector<std::string>& paths, const SealingKeys* with,
                     bool sealedOnly = false) {
        UnlockOptions options;
        options.keys = with;
        options.sealedOnly = sealedOnly;
        WriteBatch batch(BatchThreads::callerOnly);
        return unlockFiles(paths, options, &batch, desktop);
    }
    // Seals one file and returns the sealed path.
    std::string sealedFile(const std::string& relative, const std::string& content) {
        const RunReport report = seal({temp.write(relative, content)});
        EXPECT_TRUE(report.complete());
        return report.items.at(0).file.output;
    }

    TempFolder temp;
    ScriptedDesktop desktop;
    SealingKeys keys;
};

TEST_F(SealedRuns, FilesOfEverySizeComeBackByteForByteUnderTheirNames) {
    const std::vector<std::pair<std::string, std::string>> files = {
        {"w/empty.txt", ""},
        {"w/notes.txt", "dear diary"},
        {"w/one chunk.bin", patternBytes(kAgeChunkSize, 2)},
        {"w/big.bin", patternBytes(3 * kAgeChunkSize + 77, 3)},
        {"w/ünïcødé ñame.txt", "x"},
    };
    std::vector<std::string> paths;
    for (const auto& [name, content] : files) paths.push_back(temp.write(name, content));
    const RunReport locked = seal(paths, true);
    ASSERT_TRUE(locked.complete());
    const std::string list = readFile(applicationFile("files"));
    std::vector<std::string> sealedPaths;
    for (const ItemResult& item : locked.items) {
        const std::string& sealed = item.file.output;
        SCOPED_TRACE(sealed);
        sealedPaths.push_back(sealed);
        EXPECT_FALSE(fileExists(item.path));
        EXPECT_TRUE(hasSealedExtension(sealed));
        EXPECT_EQ(getFolderPart(sealed), getFolderPart(item.path));
        // The name tells nothing of the plain one.
        const std::string plainStem = getFileName(item.path).substr(0, 4);
        EXPECT_EQ(getFileName(sealed).find(plainStem), std::string::npos);
        EXPECT_EQ(readFile(sealed).find(getFileName(item.path)), std::string::npos);
        EXPECT_EQ(attributesOf(sealed) & (kAttrHidden | kAttrReadOnly),
                  kAttrHidden | kAttrReadOnly);
        EXPECT_NE(list.find(sealed + "\r\n"), std::string::npos);
    }
    const RunReport unlocked = unseal(sealedPaths, &keys);
    ASSERT_TRUE(unlocked.complete());
    for (const auto& [name, content] : files) EXPECT_TRUE(readFile(temp / name) == content) << name;
    EXPECT_EQ(namesIn(temp / "w").size(), files.size());
}

// Each bad sealed file is refused with its cause; it stays byte for byte
// and nothing new is left beside it.
TEST_F(SealedRuns, BadSealedFilesAreRefusedAndKeptAsTheyAre) {
    SealingKeys stranger;
    stranger.add(AgeIdentity::generate());
    SealingKeys none;
    struct Case {
        const char* name;
        // Changes the sealed bytes (size: at least two chunks and a bit).
        void (*spoil)(std::string& bytes);
        const SealingKeys* keys;
        FileProblem problem;
    };
    SealingKeys* ours = &keys;
    const std::vector<Case> cases = {
        {"a byte of the header (the name stanza)",
         [](std::string& b) { b[b.find("tessarin/name\n") + 20] ^= 1; }, ours,
         FileProblem::damaged},
        // A changed recipient stanza cannot be told from one for someone else.
        {"a byte of the recipient stanza", [](std::string& b) { b[30] ^= 1; }, ours,
         FileProblem::otherIdentity},
        {"a byte of the MAC",
         [](std::string& b) { b[b.find("\n--- ") + 10] ^= 1; }, ours, FileProblem::damaged},
        {"a byte of the first chunk",
         [](std::string& b) { b[b.find("\n--- ") + 60] ^= 1; }, ours, FileProblem::damaged},
        {"a byte of the last chunk", [](std::string& b) { b[b.size() - 3] ^= 1; }, ours,
         FileProblem::damaged},
        {"cut at a chunk's end",
         [](std::string& b) { b.resize(b.size() - 77 - kAeadTagSize); }, ours,
         FileProblem::damaged},
        {"cut short by a byte", [](std::string& b) { b.pop_back(); }, ours, FileProblem::damaged},
        {"cut inside the header", [](std::string& b) { b.resize(40); }, ours,
         FileProblem::damaged},
        {"bytes added at the end", [](std::string& b) { b += "more"; }, ours,
         FileProblem::damaged},
        {"another identity", [](std::string&) {}, &stranger, FileProblem::otherIdentity},
        {"no identity at hand", [](std::string&) {}, &none, FileProblem::noIdentity},
    };
    const std::string content = patternBytes(2 * kAgeChunkSize + 77, 5);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string folder = std::string("case ") + c.name;
        const std::string sealed = sealedFile(folder + "/secret.bin", content);
        std::string bytes = readFile(sealed);
        c.spoil(bytes);
        overwrite(sealed, bytes);
        const auto before = namesIn(temp / folder);
        const RunReport report = unseal({sealed}, c.keys);
        EXPECT_EQ(report.items[0].status, ItemStatus::failed);
        EXPECT_EQ(report.items[0].file.problem, c.problem);
        EXPECT_EQ(report.items[0].file.path, sealed);
        EXPECT_TRUE(readFile(sealed) == bytes);
        EXPECT_EQ(namesIn(temp / folder), before);
    }
}

// A ".VKS" name alone or an age header alone is no sealed file; with a
// recovery key alone the compatible formats are refused. A file of another
// version of the format, or with its line ends changed, is a sealed file that
// cannot be read, and is named so.
TEST_F(SealedRuns, OnlyAnAgeFileUnderTheMarkerIsUnsealed) {
    const std::string sealed = sealedFile("w/a.txt", "sealed text");
    const std::string misnamed = temp / "w/a.age";
    overwrite(misnamed, readFile(sealed));
    const std::string fake = temp.write("w/fake.VKS", "not sealed at all\n");
    const std::string compatible = temp.write("w/old.txt", "old");
    ASSERT_TRUE(lockSmallShown(compatible, desktop));
    const std::string compatibleLocked = lockedName(compatible, ".VKL");

    const RunReport recovery = unseal({misnamed, fake, compatibleLocked, sealed}, &keys, true);
    EXPECT_EQ(recovery.items[0].refusal, Refusal::notSealed);
    EXPECT_EQ(recovery.items[1].refusal, Refusal::notSealed);
    EXPECT_EQ(recovery.items[2].refusal, Refusal::notSealed);
    EXPECT_EQ(recovery.items[3].status, ItemStatus::done);
    EXPECT_TRUE(readFile(temp / "w/a.txt") == "sealed text");

    const RunReport normal = unseal({misnamed, fake, compatibleLocked}, &keys);
    EXPECT_EQ(normal.items[0].refusal, Refusal::notLocked);
    EXPECT_EQ(normal.items[1].refusal, Refusal::notLocked);
    EXPECT_EQ(normal.items[2].status, ItemStatus::done);

    const std::string good = readFile(sealedFile("w/b.txt", "b"));
    std::string crlf = good;
    crlf.replace(0, 22, "age-encryption.org/v1\r\n");
    const struct {
        std::string name, bytes, detail;
    } unreadable[] = {
        {"v2.VKS", "age-encryption.org/v2\nnot one\n",
         "it is a sealed file of a version this program cannot read"},
        {"crlf.VKS", crlf, "it does not verify: it was cut short or changed"},
    };
    for (const auto& c : unreadable) {
        const std::string path = temp.write("w/" + c.name, c.bytes);
        for (const bool sealedOnly : {false, true}) {
            const RunReport report = unseal({path}, &keys, sealedOnly);
            EXPECT_EQ(report.items[0].file.problem, FileProblem::damaged) << c.name;
            EXPECT_EQ(report.items[0].file.detail, c.detail) << c.name;
            EXPECT_EQ(report.items[0].file.path, path);
        }
    }
}

// A file sealed by the age tool carries no name: it is unsealed under its
// own name without the marker.
TEST_F(SealedRuns, AFileWithoutACarriedNameTakesItsOwnNameWithoutTheMarker) {
    const std::string source = temp.write("w/src", "from the tool");
    FileHandle input = kNoFile;
    ASSERT_EQ(platformFileSystem().openRead(source, input), IoError::ok);
    {
        AtomicFile out(temp / "w/report.pdf.VKS");
        ASSERT_EQ(out.open(), IoError::ok);
        ASSERT_TRUE(encryptForRecipient(keys.recipient(), "", readFromFile(input), writeToFile(out))
                        .ok());
        ASSERT_EQ(out.commit(), IoError::ok);
    }
    platformFileSystem().close(input);
    EXPECT_TRUE(unseal({temp / "w/report.pdf.VKS"}, &keys).complete());
    EXPECT_TRUE(readFile(temp / "w/report.pdf") == "from the tool");
}

// Anyone with the public key can seal a file under any name: one that would
// stand as the program's own file where it lands is damaged, and kept.
TEST_F(SealedRuns, AFileCarryingOneOfTheProgramsOwnNamesIsRefused) {
    const std::string home = applicationDirectory();
    temp.write("w/other.txt", "");
    struct Case {
        std::string name, folder;
        bool refused;
    } cases[] = {
        {".hidden", temp / "w", true},
        {".HIDDEN", temp / "w", true},
        {".tessarin-identity.age", temp / "w", true},
        {".tessarin-99-1-1.tmp", temp / "w", true},
        {"folders", home, true},
        {"Identity.age", home, true},
        // The same names are anyone's anywhere else.
        {"folders", temp / "w", false},
        {"identity.age", temp / "w", false},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name + " in " + c.folder);
        const std::string sealed = addBackslash(c.folder) + "s" + std::to_string(n++) + ".VKS";
        {
            AtomicFile out(sealed);
            ASSERT_EQ(out.open(), IoError::ok);
            ASSERT_TRUE(encryptForRecipient(keys.recipient(), c.name, readFromText("planted"),
                                            writeToFile(out))
                            .ok());
            ASSERT_EQ(out.commit(), IoError::ok);
        }
        const auto before = namesIn(c.folder);
        const RunReport report = unseal({sealed}, &keys);
        if (!c.refused) {
            EXPECT_TRUE(report.complete());
            EXPECT_EQ(readFile(addBackslash(c.folder) + c.name), "planted");
            continue;
        }
        EXPECT_EQ(report.items[0].file.problem, FileProblem::damaged);
        EXPECT_EQ(report.items[0].file.detail,
                  "the name it carries is one of this program's own files");
        EXPECT_EQ(namesIn(c.folder), before);
    }
}

TEST_F(SealedRuns, AFaultAtAnyCallOfASealOrUnsealLosesNothing) {
    const std::string content = patternBytes(2 * kAgeChunkSize + 5, 7);
    for (const bool sealing : {true, false}) {
        // Run 0 counts the calls; run n fails the n-th.
        int calls = 0;
        for (int n = 0; n == 0 || n <= calls; ++n) {
            SCOPED_TRACE(testing::Message() << (sealing ? "seal" : "unseal") << ", fault at " << n);
            const std::string folder =
                temp / ((sealing ? "seal " : "unseal ") + std::to_string(n));
            const std::string plain = temp.write(folder.substr(temp.path().size() + 1) + "/data.bin", content);
            std::string sealed;
            if (!sealing) sealed = seal({plain}).items[0].file.output;
            FaultyFileSystem faulty;
            if (n > 0) faulty.failAt(n, IoError::noSpace);
            RunReport report;
            {
                FileSystemOverride use(faulty);
                report = sealing ? seal({plain}) : unseal({sealed}, &keys);
            }
            if (calls == 0) {
                calls = faulty.calls();
                ASSERT_TRUE(report.complete());
                continue;
            }
            const std::vector<std::string> names = namesIn(folder);
            ASSERT_EQ(names.size(), 1u) << (names.size() > 1 ? names[1] : "");
            const std::string left = addBackslash(folder) + names[0];
            if (hasSealedExtension(left)) {
                EXPECT_TRUE(unseal({left}, &keys).complete());
            }
            EXPECT_TRUE(readFile(plain) == content);
        }
        EXPECT_GT(calls, 5);
    }
}

}  // namespace
}  // namespace vellumar::test
