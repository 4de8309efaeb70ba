#pragma once
// Why a file was not locked or unlocked, in words ("the disk is full"): the
// window's list of failures and the command line's "PATH: cause" lines say
// it the same way.

#include <string>

#include "engine/sealing/age_format.h"
#include "engine/platform/file_system.h"
#include "locking/file_operations.h"
#include "locking/sealing_keys.h"

namespace vellumar {

// The cause of a failed item, or empty when the window has a message of its
// own for it (a name taken, a wrong header, a damaged file...).
std::string failureCause(const ItemResult& item);

// Why an OS error stopped a step on `path`.
std::string causeText(IoError error, const std::string& path);

// Why a file whose locked name would differ only in case from `other`, a
// name of its folder, is refused.
std::string caseTwinText(const std::string& other);

// Why a locked folder is not hidden: `unsupported` when the file system
// took the mark and did not keep it.
std::string hiddenMarkCause(IoError error, const std::string& path);

// Why the copy of the key a sealed folder carries did not open (`copy` is
// what opening it gave); with ok, that no key at hand opens its sealed files.
std::string folderKeyCause(const AgeResult& copy);

// What a file given as a recovery key is, when it cannot be one.
std::string keyFileKindText(KeyFileKind kind);

// The line a run gives once for a volume whose file system keeps no hidden
// mark: what it locked there can be seen.
std::string cannotHideText(const std::string& volume);

}  // namespace vellumar
