#include "engine/lists/hidden_list.h"

#include <algorithm>
#include <map>
#include <set>

#include "engine/platform/atomic_file.h"
#include "engine/lists/list_lock.h"
#include "engine/platform/paths.h"

namespace vellumar {

bool isHiddenListName(const std::string& fileName) {
    return fileName == kHiddenListName;
}

std::string hiddenListCause(const HiddenListResult& result) {
    switch (result.fault) {
        case HiddenListFault::none:
            return {};
        case HiddenListFault::ioError:
            return describe(result.error);
        case HiddenListFault::link:
            return "it is a symbolic link";
        case HiddenListFault::notRegular:
            return "it is not a regular file";
        case HiddenListFault::readOnly:
            return "it is read-only";
        case HiddenListFault::tooLarge:
            return "it is larger than 1 MiB";
        case HiddenListFault::changed:
            return "it changed while it was being rewritten";
    }
    return {};
}

#ifdef _WIN32

HiddenListResult hideInFolderList(const std::string&) { return {}; }
HiddenListResult unhideInFolderList(const std::string&) { return {}; }
HiddenListResult hideNamesInFolderList(const std::string&, const std::vector<std::string>&) {
    return {};
}
HiddenListResult unhideNamesInFolderList(const std::string&, const std::vector<std::string>&) {
    return {};
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
    uint32_t attributes = kAttrNormal;
    std::string text;
};

IoError nearestError(HiddenListFault fault) {
    switch (fault) {
        case HiddenListFault::readOnly:
            return IoError::accessDenied;
        case HiddenListFault::changed:
            return IoError::changed;
        case HiddenListFault::none:
            return IoError::ok;
        default:
            return IoError::unsupported;
    }
}

HiddenListResult faultOf(const std::string& path, HiddenListFault fault) {
    return {fault, nearestError(fault), path};
}

HiddenListResult osError(const std::string& path, IoError error) {
    if (error == IoError::ok) return {};
    return {HiddenListFault::ioError, error, path};
}

// Only a regular file is a list to read or rewrite: a link may lead anywhere,
// and a pipe or a device could keep the run waiting.
HiddenListFault kindFault(EntryKind kind) {
    if (kind == EntryKind::link) return HiddenListFault::link;
    if (kind == EntryKind::file || kind == EntryKind::missing) return HiddenListFault::none;
    return HiddenListFault::notRegular;
}

// A call on the list failed: said by what stands under its name now when
// that is no plain list any more (a link swapped in meanwhile), else by the
// call's own error.
HiddenListResult afterFailure(const std::string& path, IoError error) {
    FileStatus now;
    if (fileSystem().status(path, now) == IoError::ok)
        if (HiddenListFault fault = kindFault(now.kind); fault != HiddenListFault::none)
            return faultOf(path, fault);
    if (error == IoError::changed) return faultOf(path, HiddenListFault::changed);
    return osError(path, error);
}

std::string listPathOf(const std::string& folder) { return addBackslash(folder) + kHiddenListName; }

// The names a list can hold: a line break would split one into two lines.
std::vector<std::string> listableNames(const std::vector<std::string>& names, bool& passedOver) {
    std::vector<std::string> kept;
    passedOver = false;
    for (const std::string& name : names) {
        if (name.empty() || name == "." || name == "..") continue;
        if (name.find('\n') != std::string::npos) {
            passedOver = true;
            continue;
        }
        kept.push_back(name);
    }
    return kept;
}

// At most `limit` bytes of the file: a list is never read whole past its
// largest size, whatever it grew to since its status was taken.
IoError readAtMost(const std::string& path, size_t limit, std::string& out) {
    FileSystem& fs = fileSystem();
    out.clear();
    FileHandle file = kNoFile;
    if (IoError e = fs.openRead(path, file); e != IoError::ok) return e;
    FileCloser closer(file);
    char buffer[64 * 1024];
    while (out.size() < limit) {
        size_t got = 0;
        const size_t want = std::min(sizeof buffer, limit - out.size());
        if (IoError e = fs.read(file, buffer, want, got); e != IoError::ok) return e;
        if (got == 0) break;
        out.append(buffer, got);
    }
    FileHandle done = file;
    file = kNoFile;
    return fs.close(done);
}

HiddenListResult readHiddenList(const std::string& folder, HiddenList& list) {
    FileSystem& fs = fileSystem();
    list.path = listPathOf(folder);
    IoError e = fs.status(list.path, list.asRead);
    if (e == IoError::notFound || (e == IoError::ok && list.asRead.kind == EntryKind::missing))
        return {};
    if (e != IoError::ok) return osError(list.path, e);
    if (HiddenListFault fault = kindFault(list.asRead.kind); fault != HiddenListFault::none)
        return faultOf(list.path, fault);
    if (list.asRead.size > kHiddenListMaxSize)
        return faultOf(list.path, HiddenListFault::tooLarge);
    if (e = fs.getAttributes(list.path, list.attributes); e != IoError::ok)
        return afterFailure(list.path, e);
    // Someone made it read-only on purpose; a rename would replace it all the same.
    if (list.attributes & kAttrReadOnly) return faultOf(list.path, HiddenListFault::readOnly);
    if (e = readAtMost(list.path, kHiddenListMaxSize + 1, list.text); e != IoError::ok)
        return afterFailure(list.path, e);
    if (list.text.size() > kHiddenListMaxSize)
        return faultOf(list.path, HiddenListFault::tooLarge);
    list.exists = true;
    return {};
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

// The new list's attributes: hidden, so that Windows clients of a share (and
// Samba shares that show dot files) do not show it, and what else the old one had.
uint32_t attributesOfNew(const HiddenList& list) {
    const uint32_t kept = list.exists ? list.attributes & (kAttrSystem | kAttrArchive) : 0;
    return kept | kAttrHidden;
}

// A complete copy of the new list under a temporary name: with the old
// list's permissions and owner, or a person's new file's where there was none.
IoError writeCopy(AtomicFile& copy, const HiddenList& list, const std::string& text) {
    if (list.exists) {
        copy.standInFor(list.path, list.asRead);
    } else {
        copy.openToOthersAsNew();
    }
    copy.setAttributes(attributesOfNew(list));
    if (IoError e = copy.open(); e != IoError::ok) return e;
    return copy.write(text);
}

AtomicFile::Mode modeFor(const HiddenList& list) {
    return list.exists ? AtomicFile::Mode::replaceExisting : AtomicFile::Mode::keepExisting;
}

// A list that took our new list's name meanwhile is another program's: kept.
HiddenListResult namingFailed(const HiddenList& list, IoError error) {
    if (!list.exists && error == IoError::exists) error = IoError::changed;
    return afterFailure(list.path, error);
}

// Replaces the list by `text`, only while the old list is still as it was read.
HiddenListResult writeHiddenList(const HiddenList& list, const std::string& text) {
    AtomicFile copy(list.path, modeFor(list));
    IoError e = writeCopy(copy, list, text);
    if (e == IoError::ok) e = copy.commit();
    return e == IoError::ok ? HiddenListResult{} : namingFailed(list, e);
}

// `flush`: the folder at once; else the caller flushes its volume.
HiddenListResult removeHiddenList(const HiddenList& list, bool flush = true) {
    FileSystem& fs = fileSystem();
    FileStatus now;
    IoError e = fs.status(list.path, now);
    if (e == IoError::ok && !sameUnchanged(list.asRead, now)) e = IoError::changed;
    if (e == IoError::ok) e = fs.removeFile(list.path);
    if (e != IoError::ok) return afterFailure(list.path, e);
    return osError(list.path, flush ? fs.flushFolder(getFolderPart(list.path)) : IoError::ok);
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

HiddenListResult changeNamesInFolderList(const std::string& folder,
                                         const std::vector<std::string>& names, bool hide) {
    bool passedOver = false;
    const std::vector<std::string> listable = listableNames(names, passedOver);
    const HiddenListResult unlisted =
        passedOver ? osError(listPathOf(folder), IoError::unsupported) : HiddenListResult{};
    if (listable.empty()) return unlisted;
    // Our processes change a folder's list one at a time, as they do the program's lists.
    const ListLock lock;
    HiddenList list;
    if (HiddenListResult r = readHiddenList(folder, list); !r.ok()) return r;
    std::string text;
    if (!changedText(list, listable, hide, text)) return unlisted;
    if (HiddenListResult r = text.empty() ? removeHiddenList(list) : writeHiddenList(list, text);
        !r.ok())
        return r;
    return unlisted;
}

// A new list written unflushed, waiting for its volume's flush to take its name.
struct WrittenList {
    FolderListChange* change = nullptr;
    HiddenList list;
    std::string temporary;
    uint64_t volume = 0;
};

// Writes the new list under a temporary name, unflushed.
HiddenListResult writeUnflushed(const HiddenList& list, const std::string& text,
                                std::string& temporary) {
    AtomicFile copy(list.path, modeFor(list));
    IoError e = writeCopy(copy, list, text);
    if (e == IoError::ok) e = copy.handOver(temporary);
    return e == IoError::ok ? HiddenListResult{} : afterFailure(list.path, e);
}

// Gives the flushed list its name, only while the old list is as it was read.
HiddenListResult nameWrittenList(const WrittenList& written) {
    FileSystem& fs = fileSystem();
    const HiddenList& list = written.list;
    FileStatus now;
    IoError e = IoError::ok;
    if (list.exists) {
        e = fs.status(list.path, now);
        if (e == IoError::ok && !sameUnchanged(list.asRead, now)) e = IoError::changed;
        if (e == IoError::ok) e = fs.replace(written.temporary, list.path);
    } else {
        e = fs.rename(written.temporary, list.path);
    }
    if (e != IoError::ok) return namingFailed(list, e);
    dropTemporaryMark(list.path);
    return {};
}

}  // namespace

HiddenListResult hideNamesInFolderList(const std::string& folder,
                                       const std::vector<std::string>& names) {
    return changeNamesInFolderList(folder, names, true);
}

HiddenListResult unhideNamesInFolderList(const std::string& folder,
                                         const std::vector<std::string>& names) {
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
        bool passedOver = false;
        const std::vector<std::string> listable = listableNames(change.names, passedOver);
        change.result = passedOver ? osError(listPathOf(change.folder), IoError::unsupported)
                                   : HiddenListResult{};
        if (listable.empty()) continue;
        HiddenList list;
        std::string text;
        if (HiddenListResult r = readHiddenList(change.folder, list); !r.ok()) {
            change.result = r;
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
        HiddenListResult r;
        if (text.empty()) {
            // A list the program emptied goes; a crash may leave it, lines and all.
            r = removeHiddenList(list, !batched);
            removed = removed || batched;
        } else if (!batched) {
            r = writeHiddenList(list, text);
        } else {
            WrittenList entry{&change, list, {}, folder.volume};
            r = writeUnflushed(list, text, entry.temporary);
            if (r.ok()) written.push_back(std::move(entry));
        }
        if (!r.ok()) change.result = r;
    }
    std::map<uint64_t, IoError> flushed;
    if (!written.empty())
        for (const auto& [id, volume] : volumes) flushed[id] = fs.flushVolume(volume);
    for (const WrittenList& entry : written) {
        HiddenListResult r = osError(entry.list.path, flushed[entry.volume]);
        if (r.ok()) r = nameWrittenList(entry);
        if (!r.ok()) {
            fs.removeFile(entry.temporary);
            entry.change->result = r;
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
    if (HiddenListResult r = readHiddenList(folder, list); !r.ok()) return r.error;
    for (size_t start = 0; start < list.text.size();) {
        size_t end = list.text.find('\n', start);
        if (end == std::string::npos) end = list.text.size();
        names.push_back(list.text.substr(start, end - start));
        start = end + 1;
    }
    return IoError::ok;
}

HiddenListResult hideInFolderList(const std::string& path) {
    const std::string item = stripBackslash(path);
    return hideNamesInFolderList(getFolderPart(item), {getFileName(item)});
}

HiddenListResult unhideInFolderList(const std::string& path) {
    const std::string item = stripBackslash(path);
    return unhideNamesInFolderList(getFolderPart(item), {getFileName(item)});
}

#endif

}  // namespace vellumar
