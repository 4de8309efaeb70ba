#include "app/open_paths.h"

#include "engine/platform/file_system.h"
#include "engine/formats/locked_folder_name.h"
#include "engine/formats/locked_kind.h"
#include "engine/platform/paths.h"
#include "folders/folder_operations.h"
#include "folders/folder_paths.h"
#include "locking/file_operations.h"

namespace vellumar {
namespace {

const char* intentWord(OpenIntent intent) {
    switch (intent) {
        case OpenIntent::lock:
            return "lock";
        case OpenIntent::unlock:
            return "unlock";
        case OpenIntent::open:
            break;
    }
    return "open";
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

enum class PathKind {
    missing,
    link,
    other,
    plainFile,
    lockedFile,
    folder,
    listedFolder,
    lockedFolder
};

struct Classified {
    PathKind kind = PathKind::missing;
    std::string record;  // a listed folder's record
};

// A folder is a listed locked one when a record of "folders" names it, by
// its locked name or (when locking could not rename it) by its plain one.
Classified classifyFolder(const std::string& path, const std::vector<std::string>& records) {
    for (const std::string& record : records) {
        std::string name = record, parent;
        splitFolderPath(name, parent);
        if (name.empty()) continue;
        if (sameFolder(lockedFolderPath(parent, name), path))
            return {PathKind::lockedFolder, record};
        if (sameFolder(record, path)) return {PathKind::listedFolder, record};
    }
    return {PathKind::folder, {}};
}

Classified classify(const std::string& path, const std::vector<std::string>* records) {
    FileStatus status;
    if (fileSystem().status(path, status) != IoError::ok) return {PathKind::missing, {}};
    switch (status.kind) {
        case EntryKind::missing:
            return {PathKind::missing, {}};
        case EntryKind::link:
            return {PathKind::link, {}};
        case EntryKind::other:
            return {PathKind::other, {}};
        case EntryKind::file:
            return {
                lockedKindOf(path) != LockedKind::none ? PathKind::lockedFile : PathKind::plainFile,
                {}};
        case EntryKind::folder:
            break;
    }
    return classifyFolder(path, records ? *records : std::vector<std::string>{});
}

// The operation a path of this kind calls for, or why it cannot be worked on.
Option optionFor(PathKind kind, OpenIntent intent, std::string& cause) {
    switch (kind) {
        case PathKind::missing:
            cause = "it does not exist";
            return Option::none;
        case PathKind::link:
            cause = "a link, which is never followed";
            return Option::none;
        case PathKind::other:
            cause = "neither a file nor a folder";
            return Option::none;
        case PathKind::plainFile:
            if (intent == OpenIntent::unlock) cause = "it is not locked";
            return intent == OpenIntent::unlock ? Option::none : Option::OptEncFiles;
        case PathKind::lockedFile:
            if (intent == OpenIntent::lock) cause = "it is locked already";
            return intent == OpenIntent::lock ? Option::none : Option::OptDecFiles;
        case PathKind::folder:
            if (intent == OpenIntent::unlock) cause = "it is not a listed locked folder";
            return intent == OpenIntent::unlock ? Option::none : Option::OptEncFolder;
        case PathKind::listedFolder:
            // Locked in part and still under its plain name: Encrypt a Folder
            // locks the rest, Decrypt a Folder unlocks what was locked.
            return intent == OpenIntent::unlock ? Option::OptDecFolder : Option::OptEncFolder;
        case PathKind::lockedFolder:
            if (intent == OpenIntent::lock) cause = "it is locked already";
            return intent == OpenIntent::lock ? Option::none : Option::OptDecFolder;
    }
    return Option::none;
}

bool isFolderOption(Option option) {
    return option == Option::OptEncFolder || option == Option::OptDecFolder;
}

}  // namespace

bool parseOpenArguments(const std::vector<std::string>& arguments, const std::string& currentFolder,
                        OpenRequest& request, std::string& error) {
    request = {};
    bool options = true;
    for (const std::string& argument : arguments) {
        if (options && argument == "--") {
            options = false;
        } else if (options && argument == "--lock") {
            request.intent = OpenIntent::lock;
        } else if (options && argument == "--unlock") {
            request.intent = OpenIntent::unlock;
        } else if (options && argument.size() > 1 && argument[0] == '-') {
            error = "unknown option '" + argument + "'";
            return false;
        } else if (!argument.empty()) {
            std::string path = argument;
            if (normalPath(path).empty()) path = addBackslash(currentFolder) + path;
            const std::string normal = normalPath(path);
            request.paths.push_back(normal.empty() ? path : normal);
        }
    }
    return true;
}

std::string encodeOpenRequest(const OpenRequest& request) {
    std::string bytes = intentWord(request.intent);
    bytes += '\0';
    for (const std::string& path : request.paths) {
        bytes += path;
        bytes += '\0';
    }
    bytes += '\0';
    return bytes;
}

bool decodeOpenRequest(const std::string& bytes, OpenRequest& request) {
    std::vector<std::string> fields;
    size_t start = 0;
    for (;;) {
        const size_t end = bytes.find('\0', start);
        if (end == std::string::npos) return false;  // not all here yet
        if (end == start) break;
        fields.push_back(bytes.substr(start, end - start));
        start = end + 1;
    }
    if (fields.empty() || start + 1 != bytes.size()) return false;
    request = {};
    if (fields[0] == "lock")
        request.intent = OpenIntent::lock;
    else if (fields[0] == "unlock")
        request.intent = OpenIntent::unlock;
    else if (fields[0] != "open")
        return false;
    request.paths.assign(fields.begin() + 1, fields.end());
    return true;
}

std::vector<std::string> pathsFromUriList(const std::string& uriList) {
    std::vector<std::string> paths;
    size_t start = 0;
    while (start < uriList.size()) {
        size_t end = uriList.find('\n', start);
        if (end == std::string::npos) end = uriList.size();
        std::string line = uriList.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        static const std::string scheme = "file://";
        if (line.empty() || line[0] == '#' || line.compare(0, scheme.size(), scheme) != 0) continue;
        // "file:///path" or "file://localhost/path"; another host is not local.
        const size_t slash = line.find('/', scheme.size());
        if (slash == std::string::npos) continue;
        const std::string host = line.substr(scheme.size(), slash - scheme.size());
        if (!host.empty() && host != "localhost") continue;
        std::string path;
        bool bad = false;
        for (size_t i = slash; i < line.size(); ++i) {
            if (line[i] != '%') {
                path += line[i];
                continue;
            }
            const int high = i + 2 < line.size() ? hexValue(line[i + 1]) : -1;
            const int low = high >= 0 ? hexValue(line[i + 2]) : -1;
            if (low < 0 || (high == 0 && low == 0)) {
                bad = true;
                break;
            }
            path += static_cast<char>(high * 16 + low);
            i += 2;
        }
        if (bad) continue;
#ifdef _WIN32
        // "file:///C:/folder" names "C:\folder".
        if (path.size() > 2 && path[2] == ':') path.erase(0, 1);
        for (char& c : path)
            if (c == '/') c = '\\';
#endif
        paths.push_back(path);
    }
    return paths;
}

OpenPlan planOpenedPaths(const std::vector<std::string>& paths, OpenIntent intent, Option fixed) {
    OpenPlan plan;
    plan.option = fixed;
    std::vector<std::string> records;
    bool recordsRead = false;
    for (const std::string& given : paths) {
        std::string path = normalPath(given);
        if (path.empty()) path = given;
        FileStatus status;
        const bool isFolder =
            fileSystem().status(path, status) == IoError::ok && status.kind == EntryKind::folder;
        // The list of encrypted folders is read once, and only for a folder.
        if (isFolder && !recordsRead) {
            recordsRead = true;
            listLockedFolders(records);
        }
        const Classified found = classify(path, &records);
        std::string cause;
        const Option option = optionFor(found.kind, intent, cause);
        if (option == Option::none) {
            plan.refused.push_back({path, cause});
            continue;
        }
        if (plan.option == Option::none) plan.option = option;
        if (option != plan.option) {
            plan.refused.push_back({path, "it calls for " + optionName(option) + ", and " +
                                              optionName(plan.option) + " was chosen"});
            continue;
        }
        if (isFolderOption(option)) {
            if (!plan.folder.empty()) {
                plan.refused.push_back({path, "one folder is worked on at a time"});
                continue;
            }
            plan.folder = found.kind == PathKind::folder ? path : found.record;
            // Listed but not locked: Encrypt a Folder takes it as it stands.
            if (option == Option::OptEncFolder) plan.folder = path;
        } else {
            bool listed = false;
            for (const std::string& file : plan.files) listed = listed || file == path;
            if (!listed) plan.files.push_back(path);
        }
    }
    if (plan.files.empty() && plan.folder.empty()) plan.option = Option::none;
    return plan;
}

std::string optionName(Option option) {
    switch (option) {
        case Option::OptEncFiles:
            return "Encrypt File(s)";
        case Option::OptDecFiles:
            return "Decrypt File(s)";
        case Option::OptEncFolder:
            return "Encrypt a Folder";
        case Option::OptDecFolder:
            return "Decrypt a Folder";
        case Option::none:
            break;
    }
    return "nothing";
}

std::string refusedPathsText(const std::vector<RefusedPath>& refused) {
    std::string text =
        refused.size() == 1 ? "This item was not added:" : "These items were not added:";
    for (const RefusedPath& item : refused) text += "\r" + item.path + ": " + item.cause;
    return text;
}

}  // namespace vellumar
