#pragma once
// Finding every locked file and folder below a path from what the disk
// holds alone, for when the program's lists are lost (a reinstall, a moved
// disk). A locked file carries its marker and header line; a locked folder
// has a name that decodes to a plain name and is hidden, or recorded in
// "folders", or (its hidden mark lost to a copy) holds locked files and
// nothing of a person's. The scan reads headers only, never follows a link
// and, unless asked, stays on the path's volume.

#include <cstdint>
#include <string>
#include <vector>

#include "engine/runs/desktop.h"
#include "engine/platform/file_system.h"
#include "engine/formats/locked_format.h"
#include "folders/folder_search.h"

namespace vellumar {

// The formats a locked file can have, each known by its marker extension.
enum class LockedFileFormat { small, large, sealed };

struct ScannedFile {
    std::string path;       // as it stands on disk
    std::string plainName;  // the name its unlock gives back; sealed: empty (it is sealed too)
    LockedFileFormat format = LockedFileFormat::small;
    // Its header or first bytes break a rule of its format: an unlock could
    // not give its content back. Listed, never passed over in silence.
    FormatFault fault = FormatFault::none;
    // It lies in a locked folder found, which takes care of it.
    bool inLockedFolder = false;
    bool damaged() const { return fault != FormatFault::none; }
};

struct ScannedFolder {
    std::string path;  // as it stands on disk (its locked name)
    // Its plain path, with every locked folder above it under its plain name
    // too: the path "folders" records it by.
    std::string plainPath;
    uint64_t lockedFiles = 0;  // locked files in and below it
    bool listed = false;       // "folders" records plainPath
};

struct ScanResult {
    // Each in the order found: a folder before everything inside it.
    std::vector<ScannedFile> files;
    std::vector<ScannedFolder> folders;
    std::vector<UnsearchedFolder> unsearched;
    // Temporaries of ours left by a run that ended half-way: the file each
    // was to replace stands, so they can go.
    std::vector<std::string> leftovers;
    // Lines of a folder's ".hidden" that name a locked file which is gone
    // while its plain file stands: a run ended between its commit and the
    // list's edit. The path of the locked name each stands for.
    std::vector<std::string> staleHiddenLines;
    // The start is no folder (or a link): nothing was walked.
    bool startMissing = false;
    bool cancelled = false;
    uint64_t foldersWalked = 0;
};

struct ScanOptions {
    // Walk into folders of other volumes mounted below the path.
    bool crossVolumes = false;
};

// Walks `root` (an absolute path). Progress names each folder as it is
// entered; a cancel request stops the walk between two folders.
ScanResult scanLockedItems(const std::string& root, const ScanOptions& options, Desktop& desktop);

// The plain name a locked folder name gives back, or empty when the name
// is no locked folder's name (it does not decode to a name a folder can
// have, or that name would not encode back to it).
std::string decodedFolderName(const std::string& name);

}  // namespace vellumar
