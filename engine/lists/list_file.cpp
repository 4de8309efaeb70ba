#include "engine/lists/list_file.h"

#include "engine/platform/atomic_file.h"
#include "engine/lists/list_lock.h"
#include "engine/platform/paths.h"

namespace vellumar {

std::vector<std::string> splitListLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(std::move(line));
        start = end + 1;
    }
    return lines;
}

std::string joinListLines(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += line + "\r\n";
    return text;
}

IoError readListFile(const std::string& path, std::vector<std::string>& lines) {
    lines.clear();
    std::string text;
    if (IoError e = readWholeFile(path, text); e != IoError::ok) return e;
    lines = splitListLines(text);
    return IoError::ok;
}

IoError appendListLines(const std::string& path, const std::vector<std::string>& lines) {
    const ListLock lock(getFolderPart(path));
    std::string text;
    IoError e = readWholeFile(path, text);
    if (e != IoError::ok && e != IoError::notFound) return e;
    // A last line without its end (written by hand) keeps its own line.
    if (!text.empty() && text.back() != '\n') text += "\r\n";
    AtomicFile copy(path, AtomicFile::Mode::replaceExisting);
    if (e = copy.open(); e != IoError::ok) return e;
    if (e = copy.write(text + joinListLines(lines)); e != IoError::ok) return e;
    return copy.commit();
}

IoError replaceListFile(const std::string& path, const std::vector<std::string>& lines) {
    const ListLock lock(getFolderPart(path));
    AtomicFile copy(path, AtomicFile::Mode::replaceExisting);
    if (IoError e = copy.open(); e != IoError::ok) return e;
    if (IoError e = copy.write(joinListLines(lines)); e != IoError::ok) return e;
    return copy.commit();
}

IoError editListFile(const std::string& path,
                     const std::function<bool(std::vector<std::string>&)>& edit) {
    const ListLock lock(getFolderPart(path));
    std::vector<std::string> lines;
    IoError e = readListFile(path, lines);
    if (e != IoError::ok && e != IoError::notFound) return e;
    if (!edit(lines)) return IoError::ok;
    return replaceListFile(path, lines);
}

IoError removeListFile(const std::string& path) {
    const ListLock lock(getFolderPart(path));
    return fileSystem().removeFile(path);
}

}  // namespace vellumar
