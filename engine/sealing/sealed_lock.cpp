#include "engine/sealing/sealed_lock.h"

#include <cstring>

#include "engine/sealing/age_armor.h"
#include "engine/sealing/age_encoding.h"
#include "engine/sealing/age_format.h"
#include "engine/platform/atomic_file.h"
#include "engine/platform/file_system.h"
#include "engine/platform/paths.h"
#include "engine/sealing/sealed_names.h"
#include "engine/runs/chunk_pace.h"
#include "engine/runs/replace_in_place.h"
#include "engine/runs/transfer.h"

namespace vellumar {
namespace {

const char kAgeVersionPrefix[] = "age-encryption.org/";
// Random bytes in a sealed name: 120 bits, 24 characters of base 32.
constexpr size_t kNameRandomBytes = 15;
// Fresh names tried before a folder that has them all is given up on.
constexpr int kNameTries = 8;

// Lower-case letters and digits only, so that no file system folds or
// refuses any of them.
std::string randomSealedName() {
    static const char kAlphabet[] = "abcdefghijklmnopqrstuvwxyz234567";
    uint8_t bytes[kNameRandomBytes];
    fillRandom(bytes, sizeof bytes);
    std::string name;
    uint32_t bits = 0;
    int have = 0;
    for (uint8_t byte : bytes) {
        bits = (bits << 8) | byte;
        have += 8;
        while (have >= 5) {
            name += kAlphabet[(bits >> (have - 5)) & 31];
            have -= 5;
        }
    }
    return name + kSealedExtension;
}

// The content source, paced between two reads (age reads a chunk at a
// time): a cancel there ends the age pass, and the file, as cancelled.
AgeSource pacedSource(FileHandle file, ChunkPace& pace) {
    AgeSource read = readFromFile(file);
    return [read, &pace, last = uint64_t{0}, first = true](char* buffer, size_t size,
                                                            size_t& got) mutable {
        if (!first) {
            if (IoError e = pace.between(last); e != IoError::ok) return e;
        }
        first = false;
        IoError e = read(buffer, size, got);
        last = got;
        return e;
    };
}

FileResult sealFailed(const AgeResult& result, const std::string& source,
                      const std::string& target) {
    switch (result.error) {
        case AgeError::ok:
            return fileDone(target);
        case AgeError::io:
            return stepFailed(result.io, source, target);
        case AgeError::otherIdentity:
        case AgeError::wrongPassword:
            return fileProblem(FileProblem::otherIdentity, source);
        case AgeError::passwordOnly:
            return fileProblem(FileProblem::otherIdentity, source, IoError::ok,
                               "it is sealed with a passphrase, not for this program's key");
        case AgeError::notAge:
            return fileProblem(FileProblem::damaged, source, IoError::ok,
                               "its header is not that of a sealed file");
        case AgeError::unsupported:
            return fileProblem(FileProblem::damaged, source, IoError::ok,
                               "it is a sealed file of a version this program cannot read");
        case AgeError::library:
            return fileProblem(FileProblem::libraryFailed, source, IoError::ok,
                               result.libraryMessage);
        case AgeError::tooCostly:  // an identity opens no password stanza
        case AgeError::damaged:
            break;
    }
    return fileProblem(FileProblem::damaged, source, IoError::ok,
                       "it does not verify: it was cut short or changed");
}

// A failed age pass stops the replace step, which takes the new file back;
// the caller then words the failure itself (sealFailed).
IoError writingFailed(const AgeResult& result) {
    return result.ok() ? IoError::ok : IoError::other;
}

// A carried name must be one plain name in the sealed file's own folder.
bool isUsableName(const std::string& name) {
    if (name.empty() || name == "." || name == ".." ||
        name.find_first_of(std::string("/\\:\0\r\n", 7)) != std::string::npos)
        return false;
#ifdef _WIN32
    if (name.find_first_of("<>\"|?*") != std::string::npos) return false;
    if (name.back() == ' ' || name.back() == '.') return false;
#endif
    return true;
}

// What a file the age tool made, carrying no name, is called once unsealed.
std::string nameWithoutMarker(const std::string& path) {
    std::string name = getFileName(path);
    if (hasSealedExtension(name)) name.resize(name.size() - kSealedExtension.size());
    return name.empty() ? "unsealed" : name;
}

// Opens a file to read, telling what it was as it was opened; a folder or
// any other entry is no file to work on.
FileResult openToRead(const std::string& path, FileStatus& status, FileHandle& file) {
    FileSystem& fs = fileSystem();
    if (IoError e = fs.status(path, status); e != IoError::ok) return stepFailed(e, path, path);
    if (status.kind != EntryKind::file) return fileProblem(FileProblem::notAFile, path);
    if (IoError e = fs.openRead(path, file); e != IoError::ok) return stepFailed(e, path, path);
    return fileDone(path);
}

// The header opened with the first identity that opens it.
AgeResult openWithFirst(AgeReader& reader, const std::vector<AgeIdentity>& identities) {
    AgeResult opened = AgeResult::of(AgeError::otherIdentity);
    for (const AgeIdentity& identity : identities) {
        opened = reader.openWithIdentity(identity);
        if (opened.error != AgeError::otherIdentity) break;
    }
    return opened;
}

}  // namespace

bool hasSealedExtension(const std::string& path) {
    return path.size() >= kSealedExtension.size() &&
           toUpper(path.substr(path.size() - kSealedExtension.size())) == kSealedExtension;
}

bool startsLikeSealedFile(const std::string& path) {
    FileHandle file = kNoFile;
    if (fileSystem().openRead(path, file) != IoError::ok) return false;
    FileCloser closer(file);
    // Any version of the format, or its armor: a file this version cannot
    // read is still a sealed file, and is named so.
    char head[64];
    size_t have = 0;
    while (have < sizeof head) {
        size_t got = 0;
        if (fileSystem().read(file, head + have, sizeof head - have, got) != IoError::ok)
            return false;
        if (got == 0) break;
        have += got;
    }
    const size_t prefix = sizeof kAgeVersionPrefix - 1;
    return (have >= prefix && std::memcmp(head, kAgeVersionPrefix, prefix) == 0) ||
           startsArmored(head, have);
}

FileResult lockSealedFile(const std::string& path, const AgeRecipient& recipient, Desktop& desktop,
                          const FileRequest& request) {
    if (FileResult there = lookedUp(path); !there.done()) return there;
    const std::string folder = addBackslash(getFolderPart(path));
    std::string sealedPath;
    for (int tries = 0; tries < kNameTries && sealedPath.empty(); ++tries) {
        const std::string candidate = folder + randomSealedName();
        if (!nameTaken(candidate, request.batch)) sealedPath = candidate;
    }
    if (sealedPath.empty()) return fileProblem(FileProblem::nameTaken, folder);

    FileStatus status;
    FileHandle plain = kNoFile;
    FileCloser closePlain(plain);
    if (FileResult opened = openToRead(path, status, plain); !opened.done()) return opened;

    Replacement step = lockReplacement(path, sealedPath, request);
    step.openSource = &plain;
    step.lengthMustHold = true;
    AgeResult written;
    ChunkPace pace(desktop);
    const FileResult sealed = replaceInPlace(step, status, [&](AtomicFile& output) {
        written = encryptForRecipient(recipient, getFileName(path), pacedSource(plain, pace),
                                      writeToFile(output));
        return writingFailed(written);
    });
    return written.ok() ? sealed : sealFailed(written, path, sealedPath);
}

AgeResult openSealedHeader(const std::string& path, const std::vector<AgeIdentity>& identities) {
    FileStatus status;
    FileHandle source = kNoFile;
    FileCloser closeSource(source);
    if (FileResult opened = openToRead(path, status, source); !opened.done())
        return AgeResult::ofIo(opened.error == IoError::ok ? IoError::unsupported : opened.error);
    AgeReader reader(readFromFile(source));
    return openWithFirst(reader, identities);
}

FileResult unlockSealedFile(const std::string& path, const std::vector<AgeIdentity>& identities,
                            Desktop& desktop, const FileRequest& request) {
    FileStatus status;
    FileHandle source = kNoFile;
    FileCloser closeSource(source);
    if (FileResult opened = openToRead(path, status, source); !opened.done()) return opened;

    // The header, opened and verified before anything is written.
    ChunkPace pace(desktop);
    AgeReader reader(pacedSource(source, pace));
    if (AgeResult opened = openWithFirst(reader, identities); !opened.ok())
        return sealFailed(opened, path, path);
    std::string name = reader.plainName();
    if (name.empty()) name = nameWithoutMarker(path);
    if (!isUsableName(name))
        return fileProblem(FileProblem::damaged, path, IoError::ok,
                           "the name it carries is no file name here");
    if (isProgramOwnName(getFolderPart(path), name))
        return fileProblem(FileProblem::damaged, path, IoError::ok,
                           "the name it carries is one of this program's own files");
    const std::string plainPath = addBackslash(getFolderPart(path)) + name;
    if (nameTaken(plainPath, request.batch)) return fileProblem(FileProblem::nameTaken, plainPath);

    Replacement step = unlockReplacement(path, plainPath, request.batch);
    step.openSource = &source;
    AgeResult read;
    const FileResult restored = replaceInPlace(step, status, [&](AtomicFile& output) {
        // Each chunk reaches the new file only once it verified; a chunk that
        // does not leaves the new file uncommitted, and so gone.
        read = reader.decryptTo(writeToFile(output));
        return writingFailed(read);
    });
    return read.ok() ? restored : sealFailed(read, path, plainPath);
}

}  // namespace vellumar
