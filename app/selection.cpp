#include "app/selection.h"

#include <algorithm>

#include "engine/platform/paths.h"
#include "engine/platform/platform.h"

namespace vellumar {

std::string joinSelection(const std::vector<std::string>& parts) {
    std::string selection;
    for (size_t i = 0; i < parts.size(); ++i) {
        if (i > 0) selection += '\0';
        selection += parts[i];
    }
    return selection;
}

long countSelectedFiles(const std::string& selection) {
    long nuls = static_cast<long>(std::count(selection.begin(), selection.end(), '\0'));
    return nuls == 0 ? 1 : nuls;
}

std::string getSelectedFile(const std::string& selection, long n) {
    size_t first = selection.find('\0');
    if (first == std::string::npos) return selection;
    // A drive's root already ends with the separator.
    std::string folder = addBackslash(selection.substr(0, first));

    std::string text = selection + '\0';
    long count = 0;
    size_t start = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\0') continue;
        ++count;
        if (count == n) start = i + 1;
        if (count == n + 1) return folder + text.substr(start, i - start);
    }
    return folder;
}

std::vector<std::string> dialogSelection(const std::vector<std::string>& paths) {
    if (paths.size() <= 1) return paths;
    // The longest folder that holds every path, ending at a separator.
    std::string folder = getFolderPart(paths.front());
    for (const std::string& path : paths) {
        while (!folder.empty() && path.compare(0, folder.size(), folder) != 0)
            folder = getFolderPart(folder.substr(0, folder.size() - 1));
    }
    std::vector<std::string> parts;
    // The dialog gives a folder without its last separator, except a root.
    std::string shown = folder;
    if (shown.size() > 1 && !(shown.size() == 3 && shown[1] == ':')) shown = stripBackslash(shown);
    parts.push_back(shown);
    for (const std::string& path : paths) parts.push_back(path.substr(folder.size()));
    return parts;
}

}  // namespace vellumar
