#include "locking/sealing_keys.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>

#include "engine/platform/atomic_file.h"
#include "engine/platform/paths.h"
#include "engine/platform/platform.h"
#include "engine/sealing/sealed_identity.h"

namespace vellumar {
namespace {

// More than an identity file of ours holds.
constexpr uint64_t kMaxIdentityFileSize = 64 * 1024;

std::string folderIdentityPath(const std::string& folder) {
    return addBackslash(folder) + kFolderIdentityName;
}

}  // namespace

IoError readKeyFileText(const std::string& path, std::string& text) {
    FileSystem& fs = fileSystem();
    FileStatus status;
    if (IoError e = fs.status(path, status); e != IoError::ok) return e;
    if (status.kind != EntryKind::file) return IoError::unsupported;
    if (status.size > kMaxIdentityFileSize) return IoError::unsupported;
    FileHandle file = kNoFile;
    if (IoError e = fs.openRead(path, file); e != IoError::ok) return e;
    FileCloser closer(file);
    text.assign(status.size, '\0');
    size_t have = 0;
    while (have < text.size()) {
        size_t got = 0;
        if (IoError e = fs.read(file, text.data() + have, text.size() - have, got);
            e != IoError::ok)
            return e;
        if (got == 0) break;
        have += got;
    }
    text.resize(have);
    return IoError::ok;
}

std::string identityFilePath() {
    return applicationFile(kIdentityFileName);
}

bool sealingIsOn() {
    FileStatus status;
    return fileSystem().status(identityFilePath(), status) == IoError::ok;
}

bool isFolderIdentityName(const std::string& fileName) {
    return toUpper(fileName) == toUpper(kFolderIdentityName);
}

bool isFolderIdentityCopy(const std::string& path) {
    if (!isFolderIdentityName(getFileName(path))) return false;
    std::string text, own;
    if (readKeyFileText(path, text) != IoError::ok) return false;
    if (readKeyFileText(identityFilePath(), own) == IoError::ok && text == own) return true;
    // One stanza, and that one of a password: what writeIdentityFile writes.
    const std::string start = "age-encryption.org/v1\n-> scrypt ";
    const size_t end = text.find("\n--- ");
    if (text.compare(0, start.size(), start) != 0 || end == std::string::npos ||
        text.find("\n-> ", start.size()) < end)
        return false;
    // The copy is placed hidden and read-only; a copy of the folder made with
    // tools that drop extended attributes keeps read-only at least.
    constexpr uint32_t kMarks = kAttrHidden | kAttrReadOnly;
    uint32_t attributes = kAttrNormal, kept = kAttrNormal;
    FileSystem& fs = fileSystem();
    if (fs.getAttributes(path, attributes) != IoError::ok) return false;
    return (attributes & kMarks) != 0 ||
           (fs.keptAttributes(path, kept) == IoError::ok && (kept & kMarks) == 0);
}

void SealingKeys::add(const AgeIdentity& identity) {
    for (const AgeIdentity& held : identities)
        if (held.secret() == identity.secret()) return;
    identities.push_back(identity);
}

namespace {
std::atomic<int> workFactor{kDefaultScryptLogN};
}  // namespace

int identityWorkFactor() {
    return workFactor;
}

void setIdentityWorkFactor(int logN) {
    workFactor = std::clamp(logN, 10, kDefaultScryptLogN);
}

AgeResult openSealingKeys(std::string_view password, SealingKeys& keys) {
    AgeIdentity identity;
    if (AgeResult result = readIdentityFile(identityFilePath(), password, identity); !result.ok())
        return result;
    keys.add(identity);
    keys.password = password;
    return {};
}

AgeResult turnOnSealing(std::string_view password, SealingKeys& keys) {
    if (sealingIsOn()) return openSealingKeys(password, keys);
    const AgeIdentity identity = AgeIdentity::generate();
    // Never over another identity file: a second program that turned it on
    // meanwhile wins, and its file is opened instead.
    AgeResult written =
        writeIdentityFile(identityFilePath(), identity, password, identityWorkFactor());
    if (written.error == AgeError::io && written.io == IoError::exists)
        return openSealingKeys(password, keys);
    if (!written.ok()) return written;
    // Read back, so that sealing is never on under a file that does not open.
    return openSealingKeys(password, keys);
}

AgeResult readRecoveryKey(const std::string& path, SealingKeys& keys) {
    std::string text;
    if (IoError e = readKeyFileText(path, text); e != IoError::ok) return AgeResult::ofIo(e);
    std::vector<AgeIdentity> identities;
    if (!parseIdentities(text, identities)) return AgeResult::of(AgeError::notAge);
    for (const AgeIdentity& identity : identities) keys.add(identity);
    return {};
}

KeyFileKind keyFileKind(const std::string& path) {
    FileStatus status;
    if (fileSystem().status(path, status) != IoError::ok) return KeyFileKind::usable;
    switch (status.kind) {
        case EntryKind::link:
            return KeyFileKind::link;
        case EntryKind::file:
            return status.size > kMaxIdentityFileSize ? KeyFileKind::tooLarge : KeyFileKind::usable;
        default:
            return KeyFileKind::notRegular;
    }
}

IoError placeFolderIdentity(const std::string& folder) {
    const std::string target = folderIdentityPath(folder);
    FileStatus status;
    if (IoError e = fileSystem().status(target, status); e != IoError::notFound)
        return e != IoError::ok || isFolderIdentityCopy(target) ? e : IoError::exists;
    std::string text;
    if (IoError e = readKeyFileText(identityFilePath(), text); e != IoError::ok) return e;
    AtomicFile copy(target);
    copy.setAttributes(kAttrHidden | kAttrReadOnly);
    if (IoError e = copy.open(); e != IoError::ok) return e;
    if (IoError e = copy.write(text); e != IoError::ok) return e;
    return copy.commit();
}

AgeResult addFolderIdentity(const std::string& folder, SealingKeys& keys) {
    const std::string path = folderIdentityPath(folder);
    FileStatus status;
    if (keys.password.empty() || fileSystem().status(path, status) != IoError::ok) return {};
    // A copy of the key the run holds already costs no second password derivation.
    std::string copy, own;
    if (keys.canUnseal() && readKeyFileText(path, copy) == IoError::ok &&
        readKeyFileText(identityFilePath(), own) == IoError::ok && copy == own)
        return {};
    // Anyone can plant a copy in a folder: one asking for more work than the
    // program ever writes would cost the owner seconds and gigabytes.
    AgeIdentity identity;
    if (AgeResult result =
            readIdentityFile(path, keys.password.view(), identity, kDefaultScryptLogN);
        !result.ok())
        return result;
    keys.add(identity);
    return {};
}

IoError removeFolderIdentity(const std::string& folder) {
    const std::string path = folderIdentityPath(folder);
    FileSystem& fs = fileSystem();
    FileStatus status;
    if (IoError e = fs.status(path, status); e != IoError::ok)
        return e == IoError::notFound ? IoError::ok : e;
    if (!isFolderIdentityCopy(path)) return IoError::ok;
    fs.setAttributes(path, kAttrNormal);
    return fs.removeFile(path);
}

}  // namespace vellumar
