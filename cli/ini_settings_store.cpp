#include "cli/ini_settings_store.h"

#include <sys/stat.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <vector>

#include "cli/ini_file_lock.h"
#include "cli/ini_text.h"
#include "engine/platform/durable_folder.h"
#include "engine/platform/atomic_file.h"
#include "engine/platform/file_system.h"

namespace vellumar {
namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && (isBlank(text.back()) || text.back() == '\r' || text.back() == '\n'))
        text.remove_suffix(1);
    return text;
}

bool startsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

// The file's lines, one logical line each (a line that ends in an escaping
// backslash goes on), kept byte for byte so that a rewrite leaves every
// other entry exactly as it was.
struct IniLine {
    std::string raw;  // with its line end
    bool isHeader = false;
    bool isEntry = false;
    std::string section;  // the section it belongs to; "" is [General]
    std::string key;
    std::string value;  // the value's text after '=', as it stands
    // Ends in an escaping backslash at the end of the file: a line put
    // after it would be taken as part of it.
    bool escapesNext = false;
};

bool endsInEscape(std::string_view line) {
    size_t backslashes = 0;
    while (backslashes < line.size() && line[line.size() - 1 - backslashes] == '\\') ++backslashes;
    return backslashes % 2 == 1;
}

std::string sectionFromHeader(std::string_view name) {
    const std::string section = unescapedIniKey(std::string(name));
    if (section == "General") return {};
    if (section == "%General") return "General";
    return section;
}

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// The lines after the byte order mark some editors put first, which Qt
// reads past.
std::vector<IniLine> parseIni(const std::string& content) {
    std::vector<IniLine> lines;
    std::string section;
    size_t at = startsWith(content, kByteOrderMark) ? kByteOrderMark.size() : 0;
    while (at < content.size()) {
        IniLine line;
        std::string body;  // the line without its ends, escaped line ends joined
        // Every line but a comment goes on after an escaping backslash (a
        // section header and a line starting with '#' too). What it starts
        // with stands in its first piece, looked at once: looking again at
        // the whole line for each piece made a long one quadratic.
        bool goesOn = true;
        for (bool first = true;; first = false) {
            size_t end = content.find_first_of("\r\n", at);
            if (end == std::string::npos) end = content.size();
            std::string_view piece(content.data() + at, end - at);
            size_t next = end;
            if (next < content.size() && content[next] == '\r') ++next;
            if (next < content.size() && content[next] == '\n') ++next;
            line.raw.append(content, at, next - at);
            body += piece;
            at = next;
            if (first) {
                const std::string_view start = trimmed(piece);
                goesOn = !start.empty() && start[0] != ';';
            }
            if (!goesOn || !endsInEscape(piece)) break;
            if (at >= content.size()) {
                line.escapesNext = true;
                break;
            }
            body += '\n';  // the escaped line end, dropped when the value is read
        }
        const std::string_view text = trimmed(body);
        if (!text.empty() && text[0] == '[') {
            line.isHeader = true;
            const size_t close = text.find(']');
            section = sectionFromHeader(trimmed(
                text.substr(1, close == std::string_view::npos ? text.size() - 1 : close - 1)));
        } else if (!text.empty() && text[0] != ';') {
            const size_t equals = text.find('=');
            if (equals != std::string_view::npos) {
                line.isEntry = true;
                line.key = unescapedIniKey(std::string(trimmed(text.substr(0, equals))));
                line.value = std::string(text.substr(equals + 1));
            }
        }
        line.section = section;
        lines.push_back(std::move(line));
    }
    return lines;
}

std::string sectionHeader(const std::string& section) {
    if (section.empty()) return "[General]\n";
    if (section == "General") return "[%General]\n";
    return "[" + escapedIniKey(section) + "]\n";
}

// The file holds the password (shifted, not enciphered): only its owner may
// read it. One an earlier version left open to others is closed up as soon
// as it is read; every file this store writes is made 0600.
void closeUp(const std::string& path) {
    struct stat st;
    if (::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && (st.st_mode & 077) != 0)
        ::chmod(path.c_str(), st.st_mode & 0700 & ~S_IXUSR);
}

// A settings file that is a link (into a folder of dotfiles, say) is read
// and rewritten where it leads, and stays a link, as with QSettings.
std::string linkTarget(const std::string& path) {
    std::string target = path;
    if (char* resolved = ::realpath(path.c_str(), nullptr)) {
        target = resolved;
        std::free(resolved);
    }
    return target;
}

// Makes the folder and those above it, like QDir::mkpath; one that is there
// (a link to one included) is fine.
bool makeFolders(const std::string& folder) {
    if (folder.empty() || folder == "/") return true;
    struct stat st;
    if (::stat(folder.c_str(), &st) == 0) return S_ISDIR(st.st_mode);
    const size_t slash = folder.find_last_of('/', folder.size() - 2);
    if (slash != std::string::npos && !makeFolders(folder.substr(0, slash))) return false;
    const IoError e = makeFolderDurably(folder);
    return e == IoError::ok || e == IoError::exists;
}

}  // namespace

IniSettingsStore::IniSettingsStore(std::string configFolder, std::chrono::milliseconds lockWait)
    : configFolder_(std::move(configFolder)), lockWait_(lockWait) {
    if (!configFolder_.empty()) return;
    // Where QSettings looks: $XDG_CONFIG_HOME when it is an absolute path,
    // else ~/.config.
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg != nullptr && xdg[0] == '/') {
        configFolder_ = xdg;
    } else {
        const char* home = std::getenv("HOME");
        configFolder_ = std::string(home != nullptr ? home : "") + "/.config";
    }
}

std::string IniSettingsStore::settingsFilePath(const std::string& application) const {
    std::string folder = configFolder_;
    if (!folder.empty() && folder.back() != '/') folder += '/';
    return folder + application + ".conf";
}

void IniSettingsStore::report(const std::string& problem) {
    if (report_) report_(problem);
}

bool IniSettingsStore::readFile(const std::string& path, std::string& content) {
    content.clear();
    lastReadFailed_ = true;
    struct stat st;
    bool tooLarge = ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
                    static_cast<uintmax_t>(st.st_size) > kMaxFileSize;
    if (!tooLarge) {
        const IoError e = readWholeFile(path, content);
        if (e == IoError::notFound) {
            lastReadFailed_ = false;  // no settings yet
            return true;
        }
        if (e != IoError::ok) {
            report("the settings file " + path + " cannot be read");
            return false;
        }
        tooLarge = content.size() > kMaxFileSize;  // grown since
    }
    if (tooLarge) {
        content.clear();
        report("the settings file " + path + " is too large to read");
        return false;
    }
    lastReadFailed_ = false;
    return true;
}

std::string IniSettingsStore::getSetting(const std::string& application, const std::string& section,
                                         const std::string& key) {
    const std::string path = linkTarget(settingsFilePath(application));
    closeUp(path);
    std::string content;
    if (!readFile(path, content)) return {};
    std::string value;
    for (const IniLine& line : parseIni(content)) {
        if (line.isEntry && line.section == section && line.key == key)
            value = unescapedIniValue(line.value);  // the last one counts
    }
    return value;
}

bool IniSettingsStore::saveSetting(const std::string& application, const std::string& section,
                                   const std::string& key, const std::string& value) {
    const std::string named = settingsFilePath(application);
    if (!makeFolders(configFolder_)) return false;
    // Read, changed and written back under the window's lock, or one of the
    // two writes would undo the other. QSettings names the lock after the
    // settings file's path as given, a link or not.
    IniFileLock lock(named + ".lock");
    switch (lock.take(lockWait_)) {
        case IniFileLock::Outcome::taken:
            break;
        case IniFileLock::Outcome::busy:
            report("the settings file " + named + " is locked by another program");
            return false;
        case IniFileLock::Outcome::failed:
            report("the settings file " + named +
                   " cannot be locked: " + std::strerror(lock.error()));
            return false;
    }
    const std::string path = linkTarget(named);
    closeUp(path);
    std::string content;
    // A file that is there but cannot be read is never replaced: its other
    // settings would be lost.
    if (!readFile(path, content)) return false;
    std::vector<IniLine> lines = parseIni(content);
    const std::string entry = escapedIniKey(key) + "=" + escapedIniValue(value) + "\n";

    // The entry replaces the last one under this key (earlier ones go, as
    // QSettings keeps one), or follows the last line of its section.
    size_t last = lines.size(), placeAfter = lines.size();
    for (size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].section != section) continue;
        if (lines[i].isEntry && lines[i].key == key) last = i;
        if (lines[i].isEntry || (lines[i].isHeader && placeAfter == lines.size())) placeAfter = i;
    }
    std::string text;
    auto endLine = [&text] {
        if (!text.empty() && text.back() != '\n' && text.back() != '\r') text += '\n';
    };
    auto appendLine = [&text, &endLine](const std::string& raw) {
        endLine();
        text += raw;
    };
    // Ended the way the line before it is: after a lone CR, a LF would only
    // make that line's end CR LF.
    auto appendEmptyLine = [&text, &endLine] {
        endLine();
        if (!text.empty()) text += text.back();
    };
    bool written = false;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].isEntry && lines[i].section == section && lines[i].key == key) {
            if (i == last) {
                appendLine(entry);
                written = true;
            }
            continue;
        }
        appendLine(lines[i].raw);
        // An empty line for its escape to take, so that nothing is joined to it.
        if (lines[i].escapesNext) appendEmptyLine();
        if (i == placeAfter && last == lines.size()) {
            appendLine(entry);
            written = true;
        }
    }
    if (!written) {
        appendEmptyLine();
        appendLine(sectionHeader(section) + entry);
    }
    if (startsWith(content, kByteOrderMark)) text.insert(0, kByteOrderMark);

    // Written beside it and then put in its place: a crash leaves the old
    // file or the new one. The new file is created 0600.
    AtomicFile file(path, AtomicFile::Mode::replaceExisting);
    return file.open() == IoError::ok && file.write(text) == IoError::ok &&
           file.commit() == IoError::ok;
}

}  // namespace vellumar
