#include "locking/failure_cause.h"

#include "engine/platform/platform.h"

namespace vellumar {

std::string causeText(IoError error, const std::string& path) {
    switch (error) {
        case IoError::accessDenied:
            return onReadOnlyVolume(path) ? "the file system is read-only" : "permission denied";
        case IoError::noSpace:
            return "the disk is full";
        case IoError::nameTooLong:
            return "the name is too long for the file system";
        case IoError::alreadyOpen:
            return "the file is in use by another program";
        case IoError::notFound:
            return "the file or its folder is no longer there";
        case IoError::exists:
            return "the name it must take is taken";
        case IoError::unsupported:
            return "the file system does not support it";
        case IoError::changed:
            return "it changed while the run read it, and was kept as it is";
        case IoError::outsideFolder:
        case IoError::nameNotAllowed:
        case IoError::cannotRenameWithoutReplacing:
        case IoError::cancelled:
            return describe(error);
        case IoError::ok:
        case IoError::other:
            break;
    }
    return "input/output error";
}

std::string caseTwinText(const std::string& other) {
    return "a locked file's name would differ only in case from " + other +
           ", which Windows cannot tell apart";
}

std::string hiddenMarkCause(IoError error, const std::string& path) {
    if (error == IoError::unsupported) return "the file system did not keep its hidden mark";
    return causeText(error, path);
}

std::string cannotHideText(const std::string& volume) {
    return volume + ": this file system cannot hide files: they are locked but visible";
}

std::string folderKeyCause(const AgeResult& copy) {
    const std::string key = "the copy of the key in the folder ";
    switch (copy.error) {
        case AgeError::ok:
            return "none of its sealed files opens with the keys at hand";
        case AgeError::io:
            return key + "could not be read: " + describe(copy.io);
        case AgeError::wrongPassword:
            return key + "does not open with this password";
        case AgeError::tooCostly:
            return key + "asks for more work to open than this program's own copies (2^" +
                   std::to_string(kDefaultScryptLogN) + "), so it was not opened";
        case AgeError::library:
            return key + "could not be opened: " + describeCause(copy);
        default:
            return key + "is damaged";
    }
}

std::string keyFileKindText(KeyFileKind kind) {
    switch (kind) {
        case KeyFileKind::link:
            return "it is a link, which is not followed to a key";
        case KeyFileKind::notRegular:
            return "it is not a regular file";
        case KeyFileKind::tooLarge:
            return "it is too large to be a recovery key";
        case KeyFileKind::usable:
            break;
    }
    return {};
}

std::string failureCause(const ItemResult& item) {
    const FileResult& file = item.file;
    switch (file.problem) {
        case FileProblem::ioError:
            return causeText(file.error, item.path);
        case FileProblem::notAFile:
            return "it is a folder, not a file";
        case FileProblem::attributesUnreadable: {
            const std::string text = "its attributes can not be read";
            // Not found here only means they could not be looked up.
            if (file.error == IoError::notFound || file.error == IoError::other) return text;
            return text + ": " + causeText(file.error, item.path);
        }
        case FileProblem::lockedFileGone:
            return "its locked file " + file.path + " is not there after the run";
        case FileProblem::notKeptHidden: {
            const std::string text =
                "its locked file " + file.path + " is not hidden and read-only after the run";
            return file.error == IoError::ok ? text : text + ": " + causeText(file.error, file.path);
        }
        default:
            return {};
    }
}

}  // namespace vellumar
