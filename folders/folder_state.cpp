#include "folders/folder_state.h"

#include <algorithm>
#include <vector>

#include "engine/formats/locked_header.h"
#include "engine/formats/locked_kind.h"
#include "engine/runs/transfer.h"
#include "folders/folder_lists.h"

namespace vellumar {

bool fitsOnListLine(const std::string& path) {
    return path.find_first_of("\r\n") == std::string::npos;
}

bool isRecordedFolder(const std::string& plainPath) {
    std::vector<std::string> records;
    return readFolderRecords(records) == IoError::ok &&
           std::find(records.begin(), records.end(), plainPath) != records.end();
}

bool isLockedFile(const std::string& path) {
    const LockedKind kind = lockedKindOf(path);
    if (kind == LockedKind::sealed) return true;
    if (kind == LockedKind::none) return false;
    // A compatible file counts only when its header line verifies too.
    FileHandle file = kNoFile;
    if (fileSystem().openRead(path, file) != IoError::ok) return false;
    FileCloser closer(file);
    std::string header(kHeaderLength, '\0');
    return readExactly(file, header.data(), header.size()) == IoError::ok &&
           headerVerifies(header);
}

}  // namespace vellumar
