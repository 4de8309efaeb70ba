#include "folders/locked_item_scan.h"

#include <algorithm>
#include <array>

#include "engine/platform/atomic_file.h"
#include "engine/platform/folder_confinement.h"
#include "engine/lists/hidden_list.h"
#include "engine/formats/locked_folder_name.h"
#include "engine/formats/locked_header.h"
#include "engine/formats/locked_kind.h"
#include "engine/platform/paths.h"
#include "engine/platform/platform.h"
#include "engine/formats/text_shift.h"
#include "engine/runs/transfer.h"
#include "folders/folder_lists.h"
#include "folders/folder_paths.h"
#include "locking/sealing_keys.h"

namespace vellumar {
namespace {

// The header line, its line end and a whole first body line of the small
// format: enough to tell a locked file from a file that only starts like one.
constexpr size_t kFirstBytes = kHeaderLength + 2 + 70 + 2;

struct FileStart {
    std::string bytes;
    uint64_t length = 0;
};

// How each format tells its files, and whether their first bytes keep its
// rules. A further format is one more row.
struct FormatReader {
    LockedKind kind;
    LockedFileFormat format;
    // Whether the first bytes make it a file of the format at all: a file
    // that only has the name is none.
    bool (*recognise)(const FileStart& start);
    FormatFault (*check)(const FileStart& start);
};

bool hasVerifiedHeader(const FileStart& start) {
    return start.bytes.compare(0, kSecretMarker.size(), kSecretMarker) == 0 &&
           headerVerifies(start.bytes.substr(0, kHeaderLength));
}

const std::string kAgeVersionLine = "age-encryption.org/v1\n";

bool startsWithAgeVersion(const FileStart& start) {
    return start.bytes.compare(0, kAgeVersionLine.size(), kAgeVersionLine) == 0;
}

// Only the key opens the rest; a header cut before its first stanza is
// damaged all the same.
FormatFault checkSealedStart(const FileStart& start) {
    const bool stanza = start.bytes.compare(kAgeVersionLine.size(), 3, "-> ") == 0;
    return stanza ? FormatFault::none : FormatFault::noStanza;
}

FormatFault checkSmallStart(const FileStart& start) {
    SmallFormatReader reader;
    if (!reader.take(start.bytes.data(), start.bytes.size(), nullptr)) return reader.fault();
    // The whole file was read: its end must keep the rules too.
    if (start.bytes.size() == start.length && !reader.finish()) return reader.fault();
    return FormatFault::none;
}

FormatFault checkLargeStart(const FileStart& start) {
    return checkLargeLockedStart(start.bytes.data(), std::min<size_t>(start.bytes.size(), 25),
                                 start.length);
}

constexpr std::array<FormatReader, 3> kReaders{{
    {LockedKind::small, LockedFileFormat::small, hasVerifiedHeader, checkSmallStart},
    {LockedKind::large, LockedFileFormat::large, hasVerifiedHeader, checkLargeStart},
    {LockedKind::sealed, LockedFileFormat::sealed, startsWithAgeVersion, checkSealedStart},
}};

// By the name alone: the reader's own test of the first bytes, read once,
// decides whether the file is one.
const FormatReader* readerFor(const std::string& name) {
    const LockedKind kind = markedKindOf(name);
    for (const FormatReader& reader : kReaders)
        if (kind == reader.kind) return &reader;
    return nullptr;
}

bool readStart(const std::string& path, FileStart& start) {
    FileSystem& fs = fileSystem();
    FileStatus status;
    if (fs.status(path, status) != IoError::ok || status.kind != EntryKind::file) return false;
    start.length = status.size;
    FileHandle file = kNoFile;
    if (fs.openRead(path, file) != IoError::ok) return false;
    FileCloser closer(file);
    start.bytes.resize(static_cast<size_t>(std::min<uint64_t>(kFirstBytes, status.size)));
    return readExactly(file, start.bytes.data(), start.bytes.size()) == IoError::ok;
}

// Characters no folder name on either platform holds.
bool isNameCharacter(unsigned char c) {
    static const std::string kForbidden = "\\/:*?\"<>|";
    return c >= 0x20 && kForbidden.find(static_cast<char>(c)) == std::string::npos;
}

// A file the program leaves in a locked folder beside the locked files: a
// temporary of a run, the folder's ".hidden", the copy of the key.
bool isOwnFileName(const std::string& name) {
    return isTemporaryName(name) || isHiddenListName(name) || isFolderIdentityName(name);
}

bool holdsLetter(const std::string& name) {
    return std::any_of(name.begin(), name.end(),
                       [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); });
}

// Whether the ".hidden" of its folder names the folder at `path`.
bool namedInHiddenList(const std::string& path) {
    std::vector<std::string> names;
    return hiddenNamesOf(getFolderPart(path), names) == IoError::ok &&
           std::find(names.begin(), names.end(), getFileName(path)) != names.end();
}

class Walk {
  public:
    Walk(const ScanOptions& options, Desktop& desktop, ScanResult& result)
        : options_(options), desktop_(desktop), result_(result) {
        readFolderRecords(records_);
    }

    void folder(const std::string& path, const std::string& plainPath, uint64_t volume) {
        if (result_.cancelled || desktop_.cancelRequested()) {
            result_.cancelled = true;
            return;
        }
        FileSystem& fs = fileSystem();
        std::vector<FolderEntry> entries;
        if (IoError e = fs.listFolder(path, entries); e != IoError::ok) {
            result_.unsearched.push_back({path, e});
            return;
        }
        ++result_.foldersWalked;
        desktop_.progress(result_.foldersWalked, 0, path);
        desktop_.yield();
        // By name, so that a scan's findings come in the same order each time.
        std::sort(entries.begin(), entries.end(),
                  [](const FolderEntry& a, const FolderEntry& b) { return a.name < b.name; });
        const std::string prefix = addBackslash(path);
        const std::string plainPrefix = addBackslash(plainPath);
        for (const FolderEntry& entry : entries) {
            if (entry.kind == EntryKind::file) file(prefix + entry.name, entry.name);
        }
        for (const FolderEntry& entry : entries) {
            if (entry.kind == EntryKind::folder)
                subfolder(prefix + entry.name, plainPrefix, entry.name, volume);
        }
    }

    void subfolder(const std::string& path, const std::string& plainPrefix, const std::string& name,
                   uint64_t volume) {
        FileSystem& fs = fileSystem();
        FileStatus status;
        if (IoError e = fs.status(path, status); e != IoError::ok) {
            result_.unsearched.push_back({path, e});
            return;
        }
        if (status.kind != EntryKind::folder) return;
        if (!options_.crossVolumes && status.volume != volume) return;
        uint32_t attributes = 0;
        const bool hidden =
            fs.getAttributes(path, attributes) == IoError::ok && (attributes & kAttrHidden) != 0;
        // A folder whose name decodes is a locked one when it is hidden, or
        // "folders" records it, or it lost its hidden mark (a copy, a FAT
        // stick, a client that unhid it) and what it holds tells. Only such
        // a name has its files looked at here.
        const std::string decoded = decodedFolderName(name);
        const bool locked = !decoded.empty() && (hidden || isListed(plainPrefix + decoded) ||
                                                 lostItsMark(path, decoded, status.volume));
        const std::string plainPath = plainPrefix + (locked ? decoded : name);
        // A hidden folder under another name is a locked one when "folders"
        // records it (its renaming never happened). Any other is the
        // person's own, hidden on purpose: its locked files are loose ones.
        if (!locked && !(hidden && isListed(plainPath))) {
            folder(path, plainPath, status.volume);
            return;
        }
        const size_t index = result_.folders.size();
        const size_t filesBefore = result_.files.size();
        result_.folders.push_back({path, plainPath, 0, isListed(plainPath)});
        open_.push_back(index);
        folder(path, plainPath, status.volume);
        open_.pop_back();
        if (!locked && result_.files.size() == filesBefore)
            result_.folders.erase(result_.folders.begin() + static_cast<ptrdiff_t>(index));
    }

  private:
    // A locked folder that lost its hidden mark holds, in it or below,
    // locked files and nothing of a person's. So may a person's folder
    // whose files were locked one by one, and every folder inside a locked
    // one: many plain names in lower case decode, to names without a letter
    // ("build" to "!4(+#"). So the ".hidden" of its folder must still name
    // it, as locking it did, or (in no locked folder) its plain name must
    // hold a letter, which no name in lower case decodes to.
    bool lostItsMark(const std::string& path, const std::string& plainName, uint64_t volume) {
        if ((!open_.empty() || !holdsLetter(plainName)) && !namedInHiddenList(path)) return false;
        return holdsOnlyLockedFiles(path, volume);
    }

    bool holdsOnlyLockedFiles(const std::string& path, uint64_t volume) {
        uint64_t locked = 0;
        return holdsNothingElse(path, volume, locked) && locked > 0;
    }

    // Hidden locked folders inside take care of themselves: they prove
    // nothing. Stops at the first file of a person's, which most folders
    // show at once.
    bool holdsNothingElse(const std::string& path, uint64_t volume, uint64_t& locked) {
        if (desktop_.cancelRequested()) return false;
        FileSystem& fs = fileSystem();
        std::vector<FolderEntry> entries;
        if (fs.listFolder(path, entries) != IoError::ok) return false;
        const std::string prefix = addBackslash(path);
        std::vector<std::string> files, folders;
        for (const FolderEntry& entry : entries) {
            if (entry.kind == EntryKind::folder)
                folders.push_back(prefix + entry.name);
            else if (entry.kind != EntryKind::file || !isOwnFileName(entry.name))
                files.push_back(prefix + entry.name);
        }
        // Names first, so that a person's file ends it before any head is read.
        for (const std::string& file : files)
            if (!readerFor(file)) return false;
        for (const std::string& file : files) {
            FileStart start;
            if (!readStart(file, start) || !readerFor(file)->recognise(start)) return false;
        }
        locked += files.size();
        for (const std::string& sub : folders) {
            FileStatus status;
            if (fs.status(sub, status) != IoError::ok || status.kind != EntryKind::folder ||
                status.volume != volume)
                return false;
            uint32_t attributes = 0;
            const bool hidden =
                fs.getAttributes(sub, attributes) == IoError::ok && (attributes & kAttrHidden) != 0;
            if (hidden && !decodedFolderName(getFileName(sub)).empty()) continue;
            if (!holdsNothingElse(sub, volume, locked)) return false;
        }
        return true;
    }

    void staleLines(const std::string& folder) {
        std::vector<std::string> names;
        if (hiddenNamesOf(folder, names) != IoError::ok) return;
        FileStatus status;
        for (const std::string& name : names) {
            const LockedKind kind = markedKindOf(name);
            if (kind != LockedKind::small && kind != LockedKind::large) continue;
            const std::string locked = folder + name;
            if (fileSystem().status(locked, status) == IoError::notFound &&
                fileSystem().status(restoredName(locked), status) == IoError::ok)
                result_.staleHiddenLines.push_back(locked);
        }
    }

    void file(const std::string& path, const std::string& name) {
        if (isTemporaryName(name)) {
            if (temporaryOwner(path) == TemporaryOwner::ended) result_.leftovers.push_back(path);
            return;
        }
        if (isHiddenListName(name)) {
            staleLines(getFolderPart(path));
            return;
        }
        const FormatReader* reader = readerFor(path);
        if (!reader) return;
        FileStart start;
        // A file that only starts like a locked one, or has only its name, is none.
        if (!readStart(path, start) || !reader->recognise(start)) return;
        const bool sealed = reader->format == LockedFileFormat::sealed;
        result_.files.push_back({path, sealed ? std::string() : getFileName(restoredName(path)),
                                 reader->format, reader->check(start), !open_.empty()});
        for (size_t index : open_) ++result_.folders[index].lockedFiles;
    }

    bool isListed(const std::string& plainPath) const {
        return std::find(records_.begin(), records_.end(), plainPath) != records_.end();
    }

    const ScanOptions& options_;
    Desktop& desktop_;
    ScanResult& result_;
    std::vector<std::string> records_;
    std::vector<size_t> open_;  // the locked folders the walk is inside
};

}  // namespace

std::string decodedFolderName(const std::string& name) {
    const std::string plain = plainFolderName(name);
    if (plain.empty() || plain == "." || plain == "..") return {};
    for (unsigned char c : plain)
        if (!isNameCharacter(c)) return {};
    if (lockedFolderName(plain) != name && encodeText(plain) != name) return {};
    return plain;
}

ScanResult scanLockedItems(const std::string& root, const ScanOptions& options, Desktop& desktop) {
    ScanResult result;
    FileStatus status;
    if (fileSystem().status(root, status) != IoError::ok || status.kind != EntryKind::folder) {
        result.startMissing = true;
        return result;
    }
    const FolderConfinement confined(root);
    Walk walk(options, desktop, result);
    // The path may name a locked folder itself.
    std::string name = root, parent;
    splitFolderPath(name, parent);
    if (name.empty())
        walk.folder(root, root, status.volume);
    else
        walk.subfolder(root, parent, name, status.volume);
    return result;
}

}  // namespace vellumar
