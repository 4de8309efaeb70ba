#include "engine/hidden_list.h"

#include "engine/atomic_file.h"
#include "engine/list_lock.h"
#include "engine/names.h"

namespace vellumar {

#ifdef _WIN32

IoError hideInFolderList(const std::string&) { return IoError::ok; }
IoError unhideInFolderList(const std::string&) { return IoError::ok; }

#else

namespace {

// The list of an item's folder as it was read. Lines end with '\n' alone;
// a CR is part of the name before it, as GLib reads the list.
struct HiddenList {
    std::string path;
    bool exists = false;
    FileStatus asRead;
    std::string text;
};

IoError nameOfItem(const std::string& path, std::string& name) {
    name = getFileName(stripBackslash(path));
    if (name.empty() || name == "." || name == "..") return IoError::notFound;
    if (name.find('\n') != std::string::npos) return IoError::unsupported;
    return IoError::ok;
}

IoError readHiddenList(const std::string& itemPath, HiddenList& list) {
    FileSystem& fs = fileSystem();
    list.path = getFolderPart(stripBackslash(itemPath)) + kHiddenListName;
    IoError e = fs.status(list.path, list.asRead);
    if (e == IoError::notFound || (e == IoError::ok && list.asRead.kind == EntryKind::missing))
        return IoError::ok;
    if (e != IoError::ok) return e;
    // A folder, a link (which may lead anywhere) or a device is no list of ours to rewrite.
    if (list.asRead.kind != EntryKind::file) return IoError::unsupported;
    uint32_t attributes = 0;
    if (e = fs.getAttributes(list.path, attributes); e != IoError::ok) return e;
    // Someone made it read-only on purpose; a rename would replace it all the same.
    if (attributes & kAttrReadOnly) return IoError::accessDenied;
    if (e = readWholeFile(list.path, list.text); e != IoError::ok) return e;
    list.exists = true;
    return IoError::ok;
}

// Every line holding `name` cut out, the other bytes kept as they were.
std::string withoutLine(const std::string& text, const std::string& name, bool& found) {
    std::string kept;
    found = false;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        const size_t next = end == std::string::npos ? text.size() : end + 1;
        if (end == std::string::npos) end = text.size();
        if (text.compare(start, end - start, name) == 0 && end - start == name.size()) {
            found = true;
        } else {
            kept.append(text, start, next - start);
        }
        start = next;
    }
    return kept;
}

// Replaces the list by `text` through a complete copy that takes the old
// list's permissions, and only while the old list is still as it was read.
IoError writeHiddenList(const HiddenList& list, const std::string& text) {
    AtomicFile copy(list.path, list.exists ? AtomicFile::Mode::replaceExisting
                                           : AtomicFile::Mode::keepExisting);
    if (list.exists) copy.standInFor(list.path, list.asRead);
    if (IoError e = copy.open(); e != IoError::ok) return e;
    if (IoError e = copy.write(text); e != IoError::ok) return e;
    return copy.commit();
}

IoError removeHiddenList(const HiddenList& list) {
    FileSystem& fs = fileSystem();
    FileStatus now;
    if (IoError e = fs.status(list.path, now); e != IoError::ok) return e;
    if (!sameUnchanged(list.asRead, now)) return IoError::changed;
    if (IoError e = fs.removeFile(list.path); e != IoError::ok) return e;
    return fs.flushFolder(getFolderPart(list.path));
}

}  // namespace

IoError hideInFolderList(const std::string& path) {
    std::string name;
    if (IoError e = nameOfItem(path, name); e != IoError::ok) return e;
    // Our processes change a folder's list one at a time, as they do the program's lists.
    const ListLock lock;
    HiddenList list;
    if (IoError e = readHiddenList(path, list); e != IoError::ok) return e;
    bool listed = false;
    withoutLine(list.text, name, listed);
    if (listed) return IoError::ok;
    std::string text = list.text;
    // A last line without its end (written by hand) keeps its own line.
    if (!text.empty() && text.back() != '\n') text += '\n';
    return writeHiddenList(list, text + name + '\n');
}

IoError unhideInFolderList(const std::string& path) {
    std::string name;
    if (IoError e = nameOfItem(path, name); e != IoError::ok) return e;
    const ListLock lock;
    HiddenList list;
    if (IoError e = readHiddenList(path, list); e != IoError::ok) return e;
    bool listed = false;
    const std::string text = withoutLine(list.text, name, listed);
    if (!listed) return IoError::ok;
    if (text.empty()) return removeHiddenList(list);
    return writeHiddenList(list, text);
}

#endif

}  // namespace vellumar
