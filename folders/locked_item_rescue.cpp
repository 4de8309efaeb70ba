#include "folders/locked_item_rescue.h"

#include <algorithm>

#include "engine/lists/list_file.h"
#include "engine/lists/list_names.h"
#include "engine/platform/platform.h"
#include "engine/runs/write_batch.h"
#include "folders/folder_lists.h"
#include "folders/folder_paths.h"
#include "folders/folder_state.h"
#include "locking/hidden_names.h"

namespace vellumar {
namespace {

// Adds the paths a list lacks, in their order, under the list lock.
IoError addMissingLines(const std::string& list, const std::vector<std::string>& paths,
                        size_t& added) {
    added = 0;
    return editListFile(list, [&](std::vector<std::string>& lines) {
        std::erase(lines, std::string());
        for (const std::string& path : paths) {
            if (std::find(lines.begin(), lines.end(), path) != lines.end()) continue;
            lines.push_back(path);
            ++added;
        }
        return added > 0;
    });
}

bool isFolderPath(const std::string& path) {
    FileStatus status;
    return fileSystem().status(path, status) == IoError::ok && status.kind == EntryKind::folder;
}

}  // namespace

std::vector<std::string> RelistResult::failureLines() const {
    std::vector<std::string> lines;
    if (foldersError != IoError::ok)
        lines.push_back(applicationFile(kFoldersList) + ": could not be written: " +
                        describe(foldersError));
    if (filesError != IoError::ok)
        lines.push_back(applicationFile(kLockedFilesList) + ": could not be written: " +
                        describe(filesError));
    for (const std::string& path : unlistable)
        lines.push_back(path + ": left off the lists, as its path holds a line break");
    return lines;
}

RelistResult relistScannedItems(const ScanResult& scan) {
    RelistResult result;
    std::vector<std::string> folders, files;
    for (const ScannedFolder& folder : scan.folders)
        (fitsOnListLine(folder.plainPath) ? folders : result.unlistable)
            .push_back(folder.plainPath);
    // Locking lists only the small and sealed files it locked on their own.
    for (const ScannedFile& file : scan.files)
        if (!file.inLockedFolder && !file.damaged() && file.format != LockedFileFormat::large)
            (fitsOnListLine(file.path) ? files : result.unlistable).push_back(file.path);
    if (!folders.empty())
        result.foldersError =
            addMissingLines(applicationFile(kFoldersList), folders, result.foldersAdded);
    if (!files.empty())
        result.filesError =
            addMissingLines(applicationFile(kLockedFilesList), files, result.filesAdded);
    return result;
}

IoError adoptLockedFolder(const std::string& path, std::string& plainPath) {
    plainPath = path;
    if (isRecordedFolder(path) || !isFolderPath(path)) return IoError::ok;
    std::string name = path, parent;
    splitFolderPath(name, parent);
    const std::string plainName = decodedFolderName(name);
    if (plainName.empty()) return IoError::ok;
    uint32_t attributes = 0;
    const bool hidden = fileSystem().getAttributes(path, attributes) == IoError::ok &&
                        (attributes & kAttrHidden) != 0;
    if (isRecordedFolder(parent + plainName)) {
        plainPath = parent + plainName;
        return IoError::ok;
    }
    std::vector<std::string> records{parent + plainName};
    if (!hidden) {
        // One that lost its hidden mark is told by what it holds, as the
        // scan tells. So are the locked folders inside it, which its unlock
        // leaves with plain files and nothing to tell them by: they are
        // recorded with it, to be unlocked by their plain paths.
        struct Quiet final : Desktop {
            void message(const std::string&, Icon, const std::string&) override {}
        } quiet;
        const ScanResult scan = scanLockedItems(path, ScanOptions{}, quiet);
        if (scan.folders.empty() || scan.folders[0].path != path) return IoError::ok;
        records.clear();
        for (const ScannedFolder& folder : scan.folders)
            if (!folder.listed) records.push_back(folder.plainPath);
    }
    plainPath = parent + plainName;
    if (!std::all_of(records.begin(), records.end(), fitsOnListLine)) return IoError::other;
    size_t added = 0;
    return addMissingLines(applicationFile(kFoldersList), records, added);
}

bool RescueResult::complete() const {
    return !cancelled && damaged.empty() && files.complete() && !files.cancelled &&
           std::all_of(folders.begin(), folders.end(),
                       [](const FolderRunResult& f) { return f.folderDone; });
}

RescueResult rescueLockedItems(const std::string& root, const ScanResult& scan, Desktop& desktop,
                               const SealingKeys* keys) {
    RescueResult result;
    FolderRunOptions folderOptions;
    folderOptions.keys = keys;
    // What a rescue that ended half-way left: nobody's files.
    for (const std::string& leftover : scan.leftovers) {
        fileSystem().setAttributes(leftover, kAttrNormal);
        fileSystem().removeFile(leftover);
    }
    // Lines a run ended half-way left for files that are plain again.
    HiddenNames stale;
    for (const std::string& line : scan.staleHiddenLines) stale.unhide(line, 0);
    stale.apply();
    std::vector<std::string> done;
    for (const ScannedFolder& folder : scan.folders) {
        if (desktop.cancelRequested()) {
            result.cancelled = true;
            return result;
        }
        // Recorded before anything changes: a crash then leaves a listed folder.
        FolderRunResult run;
        if (!folder.listed) {
            // A line break would split the record: the folder would be lost to the list.
            const IoError e = fitsOnListLine(folder.plainPath)
                                  ? appendFolderRecord(folder.plainPath)
                                  : IoError::other;
            if (e != IoError::ok) {
                run.folder = folder.plainPath;
                run.problem = FolderProblem::notRecorded;
                run.error = e;
                run.problemPath = applicationFile(kFoldersList);
                result.folders.push_back(run);
                continue;
            }
        }
        run = unlockFolder(folder.plainPath, folderOptions, desktop);
        done.push_back(folder.plainPath);
        result.cancelled = run.problem == FolderProblem::cancelled;
        result.folders.push_back(run);
        if (result.cancelled) return result;
    }

    std::vector<std::string> paths;
    for (const ScannedFile& file : scan.files) {
        if (file.inLockedFolder) continue;
        if (file.damaged())
            result.damaged.push_back(file);
        else
            paths.push_back(file.path);
    }
    if (!paths.empty()) {
        UnlockOptions options;
        options.pruneFilesList = true;
        options.keys = keys;
        WriteBatch batch;
        result.files = unlockFiles(paths, options, &batch, desktop);
        if (result.files.cancelled) {
            result.cancelled = true;
            return result;
        }
    }

    // A listed folder below the root that stands plain: an earlier run gave
    // it its name back and ended before its record went.
    std::vector<std::string> records;
    readFolderRecords(records);
    for (const std::string& record : records) {
        if (!holdsFolder(root, record) || record == root || !isFolderPath(record) ||
            std::find(done.begin(), done.end(), record) != done.end())
            continue;
        result.folders.push_back(unlockFolder(record, folderOptions, desktop));
        if (result.folders.back().problem == FolderProblem::cancelled) {
            result.cancelled = true;
            return result;
        }
    }
    return result;
}

}  // namespace vellumar
