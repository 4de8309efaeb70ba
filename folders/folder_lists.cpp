#include "folders/folder_lists.h"

#include <algorithm>
#include <iterator>

#include "engine/list_file.h"
#include "engine/list_lock.h"
#include "engine/platform.h"

namespace vellumar {

IoError ReadFolderLines(std::vector<std::string>& lines) {
    return ReadListFile(applicationFile(kFoldersList), lines);
}

IoError ReadFolderRecords(std::vector<std::string>& records) {
    IoError e = ReadFolderLines(records);
    auto firstEmpty = std::find(records.begin(), records.end(), std::string());
    records.erase(firstEmpty, records.end());
    return e;
}

IoError EnsureFolderList() {
    const std::string path = applicationFile(kFoldersList);
    const ListLock lock;
    FileStatus status;
    IoError e = fileSystem().status(path, status);
    if (e != IoError::notFound) return e;
    return ReplaceListFile(path, {});
}

IoError AppendFolderRecord(const std::string& plainPath) {
    if (plainPath.empty()) return IoError::other;
    return EditListFile(applicationFile(kFoldersList), [&plainPath](std::vector<std::string>& lines) {
        std::erase(lines, std::string());
        lines.push_back(plainPath);
        return true;
    });
}

IoError RemoveFolderRecord(const std::string& plainPath) {
    return EditListFile(applicationFile(kFoldersList), [&plainPath](std::vector<std::string>& lines) {
        return std::erase(lines, plainPath) != 0;
    });
}

IoError RemoveAddedFolderRecord(const std::string& plainPath) {
    return EditListFile(applicationFile(kFoldersList), [&plainPath](std::vector<std::string>& lines) {
        const auto last = std::find(lines.rbegin(), lines.rend(), plainPath);
        if (last == lines.rend()) return false;
        lines.erase(std::next(last).base());
        return true;
    });
}

IoError ReplaceFolderLines(const std::vector<std::string>& lines) {
    return ReplaceListFile(applicationFile(kFoldersList), lines);
}

IoError WritePendingFolder(const std::string& plainPath) {
    return ReplaceListFile(applicationFile(kPendingFolderFile), {plainPath});
}

IoError ReadPendingFolder(std::string& plainPath) {
    plainPath.clear();
    std::vector<std::string> lines;
    IoError e = ReadListFile(applicationFile(kPendingFolderFile), lines);
    if (e == IoError::ok && !lines.empty()) plainPath = lines.front();
    return e;
}

void DeletePendingFolder() {
    RemoveListFile(applicationFile(kPendingFolderFile));
}

}  // namespace vellumar
