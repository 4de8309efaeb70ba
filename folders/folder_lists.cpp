#include "folders/folder_lists.h"

#include <algorithm>
#include <iterator>

#include "engine/lists/list_file.h"
#include "engine/lists/list_lock.h"
#include "engine/platform/platform.h"

namespace vellumar {

IoError readFolderLines(std::vector<std::string>& lines) {
    return readListFile(applicationFile(kFoldersList), lines);
}

IoError readFolderRecords(std::vector<std::string>& records) {
    IoError e = readFolderLines(records);
    auto firstEmpty = std::find(records.begin(), records.end(), std::string());
    records.erase(firstEmpty, records.end());
    return e;
}

IoError ensureFolderList() {
    const std::string path = applicationFile(kFoldersList);
    const ListLock lock;
    FileStatus status;
    IoError e = fileSystem().status(path, status);
    if (e != IoError::notFound) return e;
    return replaceListFile(path, {});
}

IoError appendFolderRecord(const std::string& plainPath) {
    if (plainPath.empty()) return IoError::other;
    return editListFile(applicationFile(kFoldersList), [&plainPath](std::vector<std::string>& lines) {
        std::erase(lines, std::string());
        lines.push_back(plainPath);
        return true;
    });
}

IoError removeFolderRecord(const std::string& plainPath) {
    return editListFile(applicationFile(kFoldersList), [&plainPath](std::vector<std::string>& lines) {
        return std::erase(lines, plainPath) != 0;
    });
}

IoError removeAddedFolderRecord(const std::string& plainPath) {
    return editListFile(applicationFile(kFoldersList), [&plainPath](std::vector<std::string>& lines) {
        const auto last = std::find(lines.rbegin(), lines.rend(), plainPath);
        if (last == lines.rend()) return false;
        lines.erase(std::next(last).base());
        return true;
    });
}

IoError replaceFolderLines(const std::vector<std::string>& lines) {
    return replaceListFile(applicationFile(kFoldersList), lines);
}

IoError writePendingFolder(const std::string& plainPath) {
    return replaceListFile(applicationFile(kPendingFolderFile), {plainPath});
}

IoError readPendingFolder(std::string& plainPath) {
    plainPath.clear();
    std::vector<std::string> lines;
    IoError e = readListFile(applicationFile(kPendingFolderFile), lines);
    if (e == IoError::ok && !lines.empty()) plainPath = lines.front();
    return e;
}

void deletePendingFolder() {
    removeListFile(applicationFile(kPendingFolderFile));
}

}  // namespace vellumar
