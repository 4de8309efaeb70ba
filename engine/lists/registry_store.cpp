#include "engine/lists/registry_store.h"

#include <vector>

#include "engine/platform/atomic_file.h"
#include "engine/platform/file_system.h"
#include "engine/platform/paths.h"
#include "engine/lists/registry_hive.h"

namespace vellumar {
namespace {

bool sameName(const std::string& a, const std::string& b) { return toUpper(a) == toUpper(b); }

// An INI file as the private-profile functions see it: lines, sections in
// brackets, "key=value" entries; names compare without regard to case.
struct IniFile {
    std::vector<std::string> lines;

    static IniFile load(const std::string& path) {
        IniFile ini;
        std::string content;
        readWholeFile(path, content);
        size_t start = 0;
        while (start < content.size()) {
            size_t end = content.find('\n', start);
            if (end == std::string::npos) end = content.size();
            std::string line = content.substr(start, end - start);
            if (!line.empty() && line.back() == '\r') line.pop_back();
            ini.lines.push_back(line);
            start = end + 1;
        }
        return ini;
    }

    IoError save(const std::string& path) const {
        AtomicFile file(path, AtomicFile::Mode::replaceExisting);
        if (IoError e = file.open(); e != IoError::ok) return e;
        for (const std::string& line : lines)
            if (IoError e = file.write(line + "\r\n"); e != IoError::ok) return e;
        return file.commit();
    }

    static std::string sectionOf(const std::string& line) {
        std::string trimmed = trim(line);
        if (trimmed.size() < 2 || trimmed.front() != '[') return {};
        size_t close = trimmed.find(']');
        if (close == std::string::npos) return {};
        return trim(trimmed.substr(1, close - 1));
    }

    static bool isSection(const std::string& line) {
        std::string trimmed = trim(line);
        return !trimmed.empty() && trimmed.front() == '[' && trimmed.find(']') != std::string::npos;
    }

    // Index of the section's header line, or lines.size() when missing.
    size_t findSection(const std::string& section) const {
        for (size_t i = 0; i < lines.size(); ++i)
            if (isSection(lines[i]) && sameName(sectionOf(lines[i]), section)) return i;
        return lines.size();
    }

    // Index of the key's line within the section starting at `header`, or npos.
    size_t findKey(size_t header, const std::string& key) const {
        for (size_t i = header + 1; i < lines.size() && !isSection(lines[i]); ++i) {
            size_t equals = lines[i].find('=');
            if (equals != std::string::npos && sameName(trim(lines[i].substr(0, equals)), key))
                return i;
        }
        return std::string::npos;
    }

    // One past the section's last non-empty line: where a new key goes.
    size_t endOfSection(size_t header) const {
        size_t end = header + 1;
        for (size_t i = header + 1; i < lines.size() && !isSection(lines[i]); ++i)
            if (!trim(lines[i]).empty()) end = i + 1;
        return end;
    }
};

std::string unquote(std::string value) {
    if (value.size() >= 2 && ((value.front() == '"' && value.back() == '"') ||
                              (value.front() == '\'' && value.back() == '\'')))
        return value.substr(1, value.size() - 2);
    return value;
}

}  // namespace

StoreKind resolveRegRoot(const std::string& root) {
    static const char* const kHives[] = {"HKCU", "HKLM", "HKU", "HKDD", "HKCC", "HKCR"};
    std::string upper = toUpper(root);
    for (const char* hive : kHives)
        if (upper == hive) return StoreKind::hive;
    FileStatus status;
    if (!root.empty() && fileSystem().status(root, status) == IoError::ok &&
        status.kind == EntryKind::file)
        return StoreKind::iniFile;
    return StoreKind::none;
}

int writeRegValue(const std::string& root, const std::string& subkey, const std::string& name,
                  const std::string& kind, const std::string& value) {
    switch (resolveRegRoot(root)) {
        case StoreKind::none:
            return kNoStore;
        case StoreKind::hive:
            return writeHiveValue(root, subkey, name, kind, value);
        case StoreKind::iniFile:
            break;
    }
    if (toUpper(kind) != "S") return kNoStore;
    IniFile ini = IniFile::load(root);
    size_t header = ini.findSection(subkey);
    if (header == ini.lines.size()) {
        ini.lines.push_back("[" + subkey + "]");
        ini.lines.push_back(name + "=" + value);
    } else if (size_t line = ini.findKey(header, name); line != std::string::npos) {
        ini.lines[line] = name + "=" + value;
    } else {
        ini.lines.insert(ini.lines.begin() + static_cast<long>(ini.endOfSection(header)),
                         name + "=" + value);
    }
    return ini.save(root) == IoError::ok ? 0 : kNoStore;
}

int readRegValue(const std::string& root, const std::string& subkey, const std::string& name,
                 const std::string& kind, const std::string& fallback, std::string& result) {
    result = fallback;
    switch (resolveRegRoot(root)) {
        case StoreKind::none:
            return kNoStore;
        case StoreKind::hive:
            return readHiveValue(root, subkey, name, kind, fallback, result);
        case StoreKind::iniFile:
            break;
    }
    if (toUpper(kind) != "S") return 0;
    IniFile ini = IniFile::load(root);
    size_t header = ini.findSection(subkey);
    if (header == ini.lines.size()) return 0;
    size_t line = ini.findKey(header, name);
    if (line == std::string::npos) return 0;
    const std::string& text = ini.lines[line];
    result = unquote(trim(text.substr(text.find('=') + 1)));
    return 0;
}

int deleteRegValue(const std::string& root, const std::string& subkey, const std::string& name) {
    switch (resolveRegRoot(root)) {
        case StoreKind::none:
            return kNoStore;
        case StoreKind::hive:
            return deleteHiveValue(root, subkey, name);
        case StoreKind::iniFile:
            break;
    }
    IniFile ini = IniFile::load(root);
    size_t header = ini.findSection(subkey);
    if (header == ini.lines.size()) return 0;
    size_t line = ini.findKey(header, name);
    if (line == std::string::npos) return 0;
    ini.lines.erase(ini.lines.begin() + static_cast<long>(line));
    return ini.save(root) == IoError::ok ? 0 : kNoStore;
}

}  // namespace vellumar
