#include "app/locked_files_list.h"

#include <string>
#include <vector>

#include "engine/atomic_file.h"
#include "engine/file_system.h"
#include "engine/names.h"
#include "engine/platform.h"

namespace vellumar {
namespace {

const char* const kLockedFilesList = "files";

// Lines end with CR LF; a lone LF and a last line without an end count too.
std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

}  // namespace

void UnhideLockedFiles() {
    std::string list = applicationFile(kLockedFilesList);
    if (!FileExists(list)) {
        AtomicFile empty(list);
        if (empty.open() == IoError::ok) empty.commit();
        return;
    }
    std::string text;
    if (readWholeFile(list, text) != IoError::ok) return;
    for (const std::string& path : splitLines(text)) {
        if (!path.empty()) fileSystem().setAttributes(path, kAttrNormal);
    }
}

void File_Refresh() {
    std::string list = applicationFile(kLockedFilesList);
    std::string text;
    if (readWholeFile(list, text) != IoError::ok) return;

    std::string kept;
    for (const std::string& path : splitLines(text)) {
        // Only a file that is known to be gone loses its line; one that
        // cannot be looked at now stays listed.
        FileStatus status;
        if (path.empty() || fileSystem().status(path, status) == IoError::notFound) continue;
        kept += path + "\r\n";
        fileSystem().setAttributes(path, kAttrHidden);
    }
    if (kept == text) return;
    AtomicFile copy(list, AtomicFile::Mode::replaceExisting);
    if (copy.open() != IoError::ok || copy.write(kept) != IoError::ok) return;
    copy.commit();
}

}  // namespace vellumar
