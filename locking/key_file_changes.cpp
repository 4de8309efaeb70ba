#include "locking/key_file_changes.h"

#include "engine/platform/atomic_file.h"
#include "engine/platform/folder_confinement.h"
#include "engine/platform/paths.h"
#include "engine/sealing/sealed_identity.h"
#include "locking/sealing_keys.h"

namespace vellumar {
namespace {

// A whole password file of this format: its header reads, and no identity
// opens it. Without the password that is as far as it can be told.
bool readsAsPasswordFile(const std::string& path) {
    std::string text;
    if (readKeyFileText(path, text) != IoError::ok) return false;
    AgeReader reader(readFromText(text));
    return reader.openWithIdentity(AgeIdentity::generate()).error == AgeError::passwordOnly;
}

// The text of a key file holding `identity` under `password`, checked to
// open with it again.
AgeResult wrapIdentity(const AgeIdentity& identity, const std::string& password,
                       std::string& text) {
    text.clear();
    AgeResult wrapped = encryptWithPassword(password, identityWorkFactor(),
                                            readFromText(identityText(identity)),
                                            [&text](const char* data, size_t size) {
                                                text.append(data, size);
                                                return IoError::ok;
                                            });
    if (!wrapped.ok()) return wrapped;
    AgeReader reader(readFromText(text));
    if (AgeResult opened = reader.openWithPassword(password); !opened.ok()) return opened;
    std::string plain;
    if (AgeResult read = reader.decryptTo([&plain](const char* data, size_t size) {
            plain.append(data, size);
            return IoError::ok;
        });
        !read.ok())
        return read;
    AgeIdentity back;
    if (!parseIdentityText(plain, back) || back.secret() != identity.secret())
        return AgeResult::of(AgeError::damaged);
    return {};
}

AgeResult replaceWith(const std::string& path, const std::string& text, uint32_t attributes,
                      AtomicFile::Mode mode = AtomicFile::Mode::replaceExisting) {
    AtomicFile output(path, mode);
    output.setAttributes(attributes);
    if (IoError e = output.open(); e != IoError::ok) return AgeResult::ofIo(e);
    if (IoError e = output.write(text); e != IoError::ok) return AgeResult::ofIo(e);
    return AgeResult::ofIo(output.commit());
}

// The copy in `root`, wrapped again: the new key file's very bytes when it
// holds the same identity (so that it is still known for a copy of it),
// else its own identity under the new password.
AgeResult rewrapCopy(const std::string& copy, const std::string& oldPassword,
                     const std::string& newPassword, const AgeIdentity& own,
                     const std::string& oldKeyText, const std::string& newKeyText) {
    // A byte-for-byte copy of the old key file needs no second derivation.
    std::string copyText;
    AgeIdentity held = own;
    if (readKeyFileText(copy, copyText) != IoError::ok || copyText != oldKeyText)
        if (AgeResult opened = readIdentityFile(copy, oldPassword, held); !opened.ok())
            return opened;
    std::string text = newKeyText;
    if (held.secret() != own.secret())
        if (AgeResult wrapped = wrapIdentity(held, newPassword, text); !wrapped.ok()) return wrapped;
    fileSystem().setAttributes(copy, kAttrNormal);
    const AgeResult written = replaceWith(copy, text, kAttrHidden | kAttrReadOnly);
    // A copy that could not be replaced keeps its marks.
    if (!written.ok()) fileSystem().setAttributes(copy, kAttrHidden | kAttrReadOnly);
    return written;
}

}  // namespace

bool keyFileReadsWhole() {
    return readsAsPasswordFile(identityFilePath());
}

KeyRestoreResult restoreKeyFile(const AgeIdentity& identity, const std::string& password) {
    KeyRestoreResult result;
    const std::string path = identityFilePath();
    FileStatus status;
    const IoError found = fileSystem().status(path, status);
    if (found == IoError::ok && readsAsPasswordFile(path)) {
        result.outcome = KeyRestore::keyFileOpens;
        return result;
    }
    const AtomicFile::Mode mode =
        found == IoError::notFound ? AtomicFile::Mode::keepExisting : AtomicFile::Mode::replaceExisting;
    std::string text;
    result.age = wrapIdentity(identity, password, text);
    if (result.age.ok()) result.age = replaceWith(path, text, kAttrNormal, mode);
    if (result.age.ok()) result.outcome = KeyRestore::restored;
    return result;
}

KeyPasswordChange changeKeyPassword(const std::string& oldPassword, const std::string& newPassword,
                                    const std::vector<std::string>& folderRoots) {
    KeyPasswordChange change;
    const std::string keyPath = identityFilePath();
    AgeIdentity own;
    std::string oldKeyText;
    change.keyFile = AgeResult::ofIo(readKeyFileText(keyPath, oldKeyText));
    if (change.keyFile.ok()) change.keyFile = readIdentityFile(keyPath, oldPassword, own);
    if (!change.keyFile.ok()) return change;
    // Made and opened in memory first: the key file is replaced only by one
    // known to open with the new password.
    std::string newKeyText;
    change.keyFile = wrapIdentity(own, newPassword, newKeyText);
    if (!change.keyFile.ok()) return change;
    change.keyFile = replaceWith(keyPath, newKeyText, kAttrNormal);
    if (!change.keyFile.ok()) return change;

    for (const std::string& root : folderRoots) {
        const std::string copy = addBackslash(root) + kFolderIdentityName;
        const FolderConfinement confined(root);
        FileStatus status;
        if (fileSystem().status(copy, status) != IoError::ok || !isFolderIdentityCopy(copy))
            continue;
        if (AgeResult rewrapped = rewrapCopy(copy, oldPassword, newPassword, own, oldKeyText, newKeyText);
            rewrapped.ok())
            ++change.copiesRewrapped;
        else
            change.copies.push_back({copy, rewrapped});
    }
    return change;
}

}  // namespace vellumar
