#include "app/plain_folder_names.h"

#include "engine/formats/locked_folder_name.h"
#include "engine/platform/platform.h"
#include "engine/formats/text_shift.h"
#include "folders/folder_lists.h"
#include "folders/folder_paths.h"

namespace vellumar {
namespace {

// A locked name ends where a name ends: at a separator, at the end, or
// before the words of a message around it.
bool endsAName(const std::string& text, size_t at) {
    if (at == text.size()) return true;
    const char next = text[at];
    return next == kSeparator || next == '/' || next == ':' || next == ' ' || next == '\r' ||
           next == '\n' || next == '.' || next == ',';
}

void replaceWholeNames(std::string& text, const std::string& locked, const std::string& shown) {
    for (size_t at = text.find(locked); at != std::string::npos; at = text.find(locked, at)) {
        if (!endsAName(text, at + locked.size())) {
            ++at;
            continue;
        }
        text.replace(at, locked.size(), shown);
        at += shown.size();
    }
}

}  // namespace

std::string withPlainFolderNames(const std::string& text, const std::vector<std::string>& records) {
    std::string shown = text;
    for (const std::string& record : records) {
        std::string name = record;
        std::string parent;
        splitFolderPath(name, parent);
        if (name.empty() || parent.empty()) continue;
        const std::string plainShown = parent + name + " (locked)";
        // This version's name, and the raw shifted one of earlier versions.
        for (const std::string& locked : {lockedFolderName(name), encodeText(name)}) {
            if (locked != name) replaceWholeNames(shown, parent + locked, plainShown);
        }
    }
    return shown;
}

std::string withPlainFolderNames(const std::string& text) {
    std::vector<std::string> records;
    if (readFolderRecords(records) != IoError::ok) return text;
    return withPlainFolderNames(text, records);
}

}  // namespace vellumar
