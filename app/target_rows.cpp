#include "app/target_rows.h"

#include "app/byte_size.h"
#include "engine/platform/file_system.h"
#include "engine/formats/locked_kind.h"
#include "engine/formats/names.h"
#include "engine/platform/paths.h"

namespace vellumar {

ListRow targetRow(const std::string& path) {
    ListRow row;
    row.path = row.text = path;
    std::string name = getFileName(path);
    const LockedKind kind = lockedKindOf(path);
    if (kind == LockedKind::small || kind == LockedKind::large) {
        name = scrambleName(removeExtension(name));
        row.text = getFolderPart(path) + name;
        row.imageKey = "lock";
    }
    // A sealed file's plain name is sealed with it: it shows its own.
    const bool sealed = kind == LockedKind::sealed;
    if (sealed) row.imageKey = "lock";
    FileStatus status;
    if (fileSystem().status(path, status) != IoError::ok || status.kind == EntryKind::missing)
        return row;
    if (status.kind == EntryKind::folder) {
        row.typeText = "File folder";
        return row;
    }
    row.typeText = sealed ? "Sealed file" : toUpper(getExtension(name)) + " file";
    row.sizeText = formatByteSize(status.size);
    return row;
}

std::optional<ListRow> folderRow(const WindowModel& model) {
    const bool locking = model.operation() == Option::OptEncFolder;
    if ((!locking && model.operation() != Option::OptDecFolder) || !model.runButtonEnabled ||
        model.FolderName.empty())
        return std::nullopt;
    ListRow row;
    if (locking || model.PlainFolderPath.empty())
        row.path = model.ParentPath + model.FolderName;
    else
        row.path = model.PlainFolderPath;
    // A locked folder by the name a person knows it by.
    row.text = locking ? row.path : row.path + " (locked)";
    row.typeText = "File folder";
    const size_t files = model.foundFiles.size();
    row.sizeText = std::to_string(files) + (files == 1 ? " file" : " files");
    return row;
}

}  // namespace vellumar
