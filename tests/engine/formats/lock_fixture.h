#pragma once
// Shared by the lock and unlock tests: file contents, the names a folder
// holds, and unlocking a locked file down to its plain content.

#include <algorithm>
#include <string>
#include <vector>

#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "app/file_run_messages.h"
#include "engine/platform/atomic_file.h"
#include "engine/platform/file_system.h"
#include "engine/formats/large_file.h"
#include "engine/formats/locked_header.h"
#include "engine/platform/paths.h"
#include "engine/platform/platform.h"
#include "engine/formats/small_file.h"
#include "tests/support/scripted_desktop.h"
#include "tests/support/temp_folder.h"

namespace vellumar::test {

// The two compatible formats, each with a length that takes it: for tests
// that must hold for both.
struct FormatRun {
    const char* name;
    size_t length;
    FileResult (*lock)(const std::string&, Desktop&, const FileRequest&);
    FileResult (*unlock)(const std::string&, Desktop&, const FileRequest&);
};
inline const FormatRun kFormatRuns[] = {
    {"small", 100, lockSmallFile, unlockSmallFile},
    {"large", 200001, lockLargeFile, unlockLargeFile},
};

// Every byte value, in an order that repeats only every few hundred bytes.
inline std::string patternBytes(size_t length, unsigned seed = 1) {
    std::string bytes(length, '\0');
    unsigned state = seed * 2654435761u + 12345u;
    for (size_t i = 0; i < length; ++i) {
        state = state * 1103515245u + 12345u;
        bytes[i] = static_cast<char>(state >> 16);
    }
    return bytes;
}

// The names in a folder (not below it), sorted; temporaries only when asked.
// The folder's ".hidden" list, which runs keep beside the files they lock
// on Linux, is left out: its own tests read it.
inline std::vector<std::string> namesIn(const std::string& folder, bool withTemporaries = true) {
    std::vector<FolderEntry> entries;
    platformFileSystem().listFolder(folder, entries);
    std::vector<std::string> names;
    for (const FolderEntry& entry : entries) {
        if (entry.name == ".hidden") continue;
        if (withTemporaries || !isTemporaryName(entry.name)) names.push_back(entry.name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

inline bool isLockedName(const std::string& path) {
    std::string extension = toUpper(getExtension(path));
    return extension == "VKL" || extension == "VKW";
}

// One engine call with the window's message for its result; true when done.
// `listed` records a small locked file in "files", as "Encrypt File(s)" does.
inline bool lockSmallShown(const std::string& path, Desktop& desktop, bool listed = false,
                           WriteBatch* batch = nullptr) {
    FileRequest request;
    request.batch = batch;
    if (listed) request.listPath = applicationFile("files");
    const FileResult result = lockSmallFile(path, desktop, request);
    showFileMessage(result, true, false, desktop);
    return result.done();
}
inline bool unlockSmallShown(const std::string& path, Desktop& desktop,
                             WriteBatch* batch = nullptr) {
    const FileResult result = unlockSmallFile(path, desktop, {batch, {}});
    showFileMessage(result, false, false, desktop);
    return result.done();
}
inline bool lockLargeShown(const std::string& path, Desktop& desktop,
                           WriteBatch* batch = nullptr) {
    const FileResult result = lockLargeFile(path, desktop, {batch, {}});
    showFileMessage(result, true, true, desktop);
    return result.done();
}
inline bool unlockLargeShown(const std::string& path, Desktop& desktop,
                             WriteBatch* batch = nullptr) {
    const FileResult result = unlockLargeFile(path, desktop, {batch, {}});
    showFileMessage(result, false, true, desktop);
    return result.done();
}

// Unlocks a copy of the file (in a new folder below `temp`), layer by layer,
// and returns the plain content; "<not unlocked>" when an unlock fails. A
// plain file's content is returned as it is.
inline std::string unlockedContent(const std::string& path, const TempFolder& temp) {
    std::string content = readFile(path);
    if (!isLockedName(path)) return content;
    static int copies = 0;
    std::string copy =
        temp.write("unlocked-" + std::to_string(++copies) + "/" + getFileName(path), content);
    ScriptedDesktop desktop;
    while (isLockedName(copy) && fileExists(copy)) {
        bool large = toUpper(getExtension(copy)) == "VKW";
        if (!(large ? unlockLargeShown(copy, desktop) : unlockSmallShown(copy, desktop)))
            return "<not unlocked>";
        if (!fileExists(copy)) copy = restoredName(copy);
    }
    return readFile(copy);
}

#ifndef _WIN32
// The temporary that a writer of `finalPath` leaves when it ends before its
// commit (a crash); empty when none could be made.
inline std::string crashLeftover(const std::string& finalPath) {
    int pipe[2];
    if (::pipe(pipe) != 0) return {};
    const pid_t child = fork();
    if (child == 0) {
        AtomicFile file(finalPath);
        if (file.open() == IoError::ok && file.write("half of it") == IoError::ok) {
            const std::string& path = file.temporaryPath();
            (void)!::write(pipe[1], path.data(), path.size());
        }
        _exit(0);
    }
    ::close(pipe[1]);
    char buffer[4096];
    const ssize_t got = child > 0 ? ::read(pipe[0], buffer, sizeof buffer) : -1;
    ::close(pipe[0]);
    if (child > 0) waitpid(child, nullptr, 0);
    return got > 0 ? std::string(buffer, static_cast<size_t>(got)) : std::string();
}
#endif

}  // namespace vellumar::test
