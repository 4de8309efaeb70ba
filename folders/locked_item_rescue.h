#pragma once
// What a scan found, put back in the program's hands: its records restored
// to the lists, or every item unlocked through the usual operations, so
// each step keeps their guarantees (no overwrite, nothing lost on a crash,
// a second run finishes what the first left).

#include <string>
#include <vector>

#include "engine/runs/desktop.h"
#include "folders/folder_operations.h"
#include "folders/locked_item_scan.h"
#include "locking/file_operations.h"

namespace vellumar {

struct RelistResult {
    size_t foldersAdded = 0;
    size_t filesAdded = 0;
    IoError foldersError = IoError::ok;
    IoError filesError = IoError::ok;
    // Found, but left off the lists: a line break in the path would split its line.
    std::vector<std::string> unlistable;

    // One "PATH: cause" line for each list that could not be written and
    // each item left off; none when everything found is listed.
    std::vector<std::string> failureLines() const;
};

// Adds every folder found to "folders", and every sound small locked file
// that lies in no locked folder to "files", as locking them did; what is
// listed already is not added again. Each list is replaced by a complete copy.
RelistResult relistScannedItems(const ScanResult& scan);

// The plain path to unlock a folder by: `path` itself when it is listed or
// no locked folder; the plain path of a folder standing under its locked
// name, hidden or found by the scan, recorded in "folders" first when it is
// not listed, so that the folder is never unlocked unknown to the program
// (with the locked folders the scan finds inside one that is not hidden).
IoError adoptLockedFolder(const std::string& path, std::string& plainPath);

struct RescueResult {
    std::vector<FolderRunResult> folders;
    RunReport files;  // the loose locked files
    // Left alone: an unlock could not give their content back.
    std::vector<ScannedFile> damaged;
    bool cancelled = false;

    bool complete() const;
};

// Removes the leftover temporaries found, unlocks every folder found (the outer ones first, so that
// each inner one is reached under its plain path), then every loose locked file, then any listed
// folder below `root` that still stands plain, left so by a run that ended before it dropped the
// record. Sealed files open with `keys` (null: they stay sealed, as noIdentity).
RescueResult rescueLockedItems(const std::string& root, const ScanResult& scan, Desktop& desktop,
                               const SealingKeys* keys = nullptr);

}  // namespace vellumar
