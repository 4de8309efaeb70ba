#include "engine/hidden_list.h"

#include <map>
#include <set>

#include "engine/atomic_file.h"
#include "engine/list_lock.h"
#include "engine/names.h"

namespace vellumar {

bool isHiddenListName(const std::string& fileName) {
    return fileName == kHiddenListName;
}

#ifdef _WIN32

IoError hideInFolderList(const std::string&) {
    return IoError::ok;
}
IoError unhideInFolderList(const std::string&) {
    return IoError::ok;
}
IoError hideNamesInFolderList(const std::string&, const std::vector<std::string>&) {
    return IoError::ok;
}
IoError unhideNamesInFolderList(const std::string&, const std::vector<std::string>&) {
    return IoError::ok;
}
IoError hiddenNamesOf(const std::string&, std::vector<std::string>& names) {
    names.clear();
    return IoError::ok;
}
void changeFolderLists(std::vector<FolderListChange>&) {}

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

// The names a list can hold: a line break would split one into two lines.
std::vector<std::string> listableNames(const std::vector<std::string>& names, IoError& error) {
    std::vector<std::string> kept;
    for (const std::string& name : names) {
        if (name.empty() || name == "." || name == "..") continue;
        if (name.find('\n') != std::string::npos) {
            error = IoError::unsupported;
            continue;
        }
        kept.push_back(name);
    }
    return kept;
}

IoError readHiddenList(const std::string& folder, HiddenList& list) {
    FileSystem& fs = fileSystem();
    list.path = addBackslash(folder) + kHiddenListName;
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

// The list's lines, each without its line end.
std::set<std::string> linesOf(const std::string& text) {
    std::set<std::string> lines;
    for (size_t start = 0; start < text.size();) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        lines.insert(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

// Every line that is one of `names` cut out, the other bytes kept as they were.
std::string withoutLines(const std::string& text, const std::set<std::string>& names, bool& found) {
    std::string kept;
    found = false;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        const size_t next = end == std::string::npos ? text.size() : end + 1;
        if (end == std::string::npos) end = text.size();
        if (names.count(text.substr(start, end - start))) {
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

// `flush`: the folder at once; else the caller flushes its volume.
IoError removeHiddenList(const HiddenList& list, bool flush = true) {
    FileSystem& fs = fileSystem();
    FileStatus now;
    if (IoError e = fs.status(list.path, now); e != IoError::ok) return e;
    if (!sameUnchanged(list.asRead, now)) return IoError::changed;
    if (IoError e = fs.removeFile(list.path); e != IoError::ok) return e;
    return flush ? fs.flushFolder(getFolderPart(list.path)) : IoError::ok;
}

// The list's new text once the names went in (or out); false when it stays as it is.
bool changedText(const HiddenList& list, const std::vector<std::string>& names, bool hide,
                 std::string& text) {
    if (!hide) {
        bool listed = false;
        text = withoutLines(list.text, std::set<std::string>(names.begin(), names.end()), listed);
        return listed;
    }
    std::set<std::string> listed = linesOf(list.text);
    text = list.text;
    const size_t before = text.size();
    for (const std::string& name : names) {
        if (!listed.insert(name).second) continue;
        // A last line without its end (written by hand) keeps its own line.
        if (!text.empty() && text.back() != '\n') text += '\n';
        text += name + '\n';
    }
    return text.size() != before;
}

IoError changeNamesInFolderList(const std::string& folder, const std::vector<std::string>& names,
                                bool hide) {
    IoError result = IoError::ok;
    const std::vector<std::string> listable = listableNames(names, result);
    if (listable.empty()) return result;
    // Our processes change a folder's list one at a time, as they do the program's lists.
    const ListLock lock;
    HiddenList list;
    if (IoError e = readHiddenList(folder, list); e != IoError::ok) return e;
    std::string text;
    if (!changedText(list, listable, hide, text)) return result;
    if (IoError e = text.empty() ? removeHiddenList(list) : writeHiddenList(list, text);
        e != IoError::ok)
        return e;
    return result;
}

// A new list written unflushed, waiting for its volume's flush to take its name.
struct WrittenList {
    FolderListChange* change = nullptr;
    HiddenList list;
    std::string temporary;
    uint64_t volume = 0;
};

// Writes the new list under a temporary name, unflushed.
IoError writeUnflushed(const HiddenList& list, const std::string& text, std::string& temporary) {
    AtomicFile copy(list.path, list.exists ? AtomicFile::Mode::replaceExisting
                                           : AtomicFile::Mode::keepExisting);
    if (list.exists) copy.standInFor(list.path, list.asRead);
    if (IoError e = copy.open(); e != IoError::ok) return e;
    if (IoError e = copy.write(text); e != IoError::ok) return e;
    return copy.handOver(temporary);
}

// Gives the flushed list its name, only while the old list is as it was read.
IoError nameWrittenList(const WrittenList& written) {
    FileSystem& fs = fileSystem();
    const HiddenList& list = written.list;
    FileStatus now;
    IoError e = fs.status(list.path, now);
    if (list.exists) {
        if (e == IoError::ok && !sameUnchanged(list.asRead, now)) e = IoError::changed;
        if (e == IoError::ok) e = fs.replace(written.temporary, list.path);
    } else {
        e = fs.rename(written.temporary, list.path);
    }
    if (e == IoError::ok) dropTemporaryMark(list.path);
    return e;
}

}  // namespace

IoError hideNamesInFolderList(const std::string& folder, const std::vector<std::string>& names) {
    return changeNamesInFolderList(folder, names, true);
}

IoError unhideNamesInFolderList(const std::string& folder, const std::vector<std::string>& names) {
    return changeNamesInFolderList(folder, names, false);
}

void changeFolderLists(std::vector<FolderListChange>& changes) {
    FileSystem& fs = fileSystem();
    const ListLock lock;
    // The volumes' handles are opened before anything is written there, so
    // that their flushes report every write error since.
    std::map<uint64_t, FileHandle> volumes;
    std::vector<WrittenList> written;
    bool removed = false;
    for (FolderListChange& change : changes) {
        change.result = IoError::ok;
        const std::vector<std::string> listable = listableNames(change.names, change.result);
        if (listable.empty()) continue;
        HiddenList list;
        std::string text;
        if (IoError e = readHiddenList(change.folder, list); e != IoError::ok) {
            change.result = e;
            continue;
        }
        if (!changedText(list, listable, change.hide, text)) continue;
        FileStatus folder;
        const std::string where = change.folder.empty() ? std::string(".") : change.folder;
        bool batched = fs.status(where, folder) == IoError::ok;
        if (batched && !volumes.count(folder.volume)) {
            FileHandle volume = kNoFile;
            batched = fs.openVolume(where, volume) == IoError::ok;
            if (batched) volumes[folder.volume] = volume;
        }
        IoError e = IoError::ok;
        if (text.empty()) {
            // A list the program emptied goes; a crash may leave it, lines and all.
            e = removeHiddenList(list, !batched);
            removed = removed || batched;
        } else if (!batched) {
            e = writeHiddenList(list, text);
        } else {
            WrittenList entry{&change, list, {}, folder.volume};
            e = writeUnflushed(list, text, entry.temporary);
            if (e == IoError::ok) written.push_back(std::move(entry));
        }
        if (e != IoError::ok) change.result = e;
    }
    std::map<uint64_t, IoError> flushed;
    if (!written.empty())
        for (const auto& [id, volume] : volumes) flushed[id] = fs.flushVolume(volume);
    for (const WrittenList& entry : written) {
        IoError e = flushed[entry.volume];
        if (e == IoError::ok) e = nameWrittenList(entry);
        if (e != IoError::ok) {
            fs.removeFile(entry.temporary);
            entry.change->result = e;
        }
    }
    // The names, durable: not needed for either list to stand whole.
    for (const auto& [id, volume] : volumes) {
        if (!written.empty() || removed) fs.flushVolume(volume);
        fs.close(volume);
    }
}

IoError hiddenNamesOf(const std::string& folder, std::vector<std::string>& names) {
    names.clear();
    HiddenList list;
    if (IoError e = readHiddenList(folder, list); e != IoError::ok) return e;
    for (size_t start = 0; start < list.text.size();) {
        size_t end = list.text.find('\n', start);
        if (end == std::string::npos) end = list.text.size();
        names.push_back(list.text.substr(start, end - start));
        start = end + 1;
    }
    return IoError::ok;
}

IoError hideInFolderList(const std::string& path) {
    const std::string item = stripBackslash(path);
    return hideNamesInFolderList(getFolderPart(item), {getFileName(item)});
}

IoError unhideInFolderList(const std::string& path) {
    const std::string item = stripBackslash(path);
    return unhideNamesInFolderList(getFolderPart(item), {getFileName(item)});
}

#endif

}  // namespace vellumar
