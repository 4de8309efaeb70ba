#include "engine/formats/locked_kind.h"

#include "engine/formats/locked_header.h"
#include "engine/platform/file_system.h"
#include "engine/platform/paths.h"
#include "engine/sealing/sealed_lock.h"

namespace vellumar {

LockedKind markedKindOf(const std::string& path) {
    const std::string extension = toUpper(getExtension(getFileName(path)));
    // The markers are kept with their dot.
    auto is = [&extension](const std::string& marker) {
        return marker.compare(1, std::string::npos, extension) == 0;
    };
    if (is(kSmallExtension)) return LockedKind::small;
    if (is(kLargeExtension)) return LockedKind::large;
    if (is(kSealedExtension)) return LockedKind::sealed;
    return LockedKind::none;
}

LockedKind lockedKindOf(const std::string& path) {
    const LockedKind marked = markedKindOf(path);
    switch (marked) {
        case LockedKind::none:
            return LockedKind::none;
        case LockedKind::sealed:
            return startsLikeSealedFile(path) ? marked : LockedKind::none;
        case LockedKind::small:
        case LockedKind::large:
            break;
    }
    return startsWithLockedMarker(path) ? marked : LockedKind::none;
}

bool startsWithLockedMarker(const std::string& path) {
    FileHandle file = kNoFile;
    if (fileSystem().openRead(path, file) != IoError::ok) return false;
    FileCloser closer(file);
    // A file shorter than the marker keeps the blanks it was read into.
    std::string head(kSecretMarker.size(), ' ');
    size_t have = 0;
    while (have < head.size()) {
        size_t got = 0;
        if (fileSystem().read(file, head.data() + have, head.size() - have, got) != IoError::ok ||
            got == 0)
            break;
        have += got;
    }
    return head == kSecretMarker;
}

}  // namespace vellumar
