#include "engine/platform/media_volume.h"

#include <fstream>
#include <iterator>
#include <sstream>
#include <vector>

#include "engine/platform/paths.h"

#ifndef _WIN32
#include <sys/sysmacros.h>
#endif

namespace vellumar {
namespace {

#ifndef _WIN32
// mountinfo writes a space, tab, line break and backslash as \ooo.
std::string unescaped(const std::string& field) {
    std::string out;
    for (size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size() && field[i + 1] >= '0' &&
            field[i + 1] <= '3' && field[i + 2] >= '0' && field[i + 2] <= '7' &&
            field[i + 3] >= '0' && field[i + 3] <= '7') {
            out += static_cast<char>((field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 +
                                     (field[i + 3] - '0'));
            i += 3;
        } else {
            out += field[i];
        }
    }
    return out;
}

bool holds(const std::string& mountPoint, const std::string& path) {
    if (mountPoint == "/") return true;
    return path.compare(0, mountPoint.size(), mountPoint) == 0 &&
           (path.size() == mountPoint.size() || path[mountPoint.size()] == '/');
}
#endif

}  // namespace

std::string mountPointIn(const std::string& mountinfo, uint64_t device, const std::string& path) {
#ifdef _WIN32
    (void)mountinfo;
    (void)device;
    (void)path;
    return {};
#else
    const std::string wanted = std::to_string(major(device)) + ':' + std::to_string(minor(device));
    std::istringstream lines(mountinfo);
    std::string line, found, first;
    while (std::getline(lines, line)) {
        // ID PARENT MAJOR:MINOR ROOT MOUNT-POINT ...
        std::istringstream fields(line);
        std::string id, parent, number, root, mountPoint;
        if (!(fields >> id >> parent >> number >> root >> mountPoint) || number != wanted) continue;
        mountPoint = unescaped(mountPoint);
        if (first.empty()) first = mountPoint;
        if (holds(mountPoint, path) && mountPoint.size() > found.size()) found = mountPoint;
    }
    return found.empty() ? first : found;
#endif
}

std::string volumeName(const std::string& path, uint64_t device) {
#ifndef _WIN32
    std::ifstream file("/proc/self/mountinfo");
    const std::string mountinfo{std::istreambuf_iterator<char>(file), {}};
    if (std::string mountPoint = mountPointIn(mountinfo, device, path); !mountPoint.empty())
        return mountPoint;
#else
    (void)device;
    // The drive ("D:\"), or the share of a network path ("\\server\share\").
    if (path.size() >= 3 && path[1] == ':' && path[2] == '\\') return path.substr(0, 3);
    if (path.compare(0, 2, "\\\\") == 0) {
        const size_t server = path.find('\\', 2);
        const size_t share = server == std::string::npos ? server : path.find('\\', server + 1);
        if (share != std::string::npos) return path.substr(0, share + 1);
    }
#endif
    std::string folder = getFolderPart(path);
    if (folder.size() > 1) folder.pop_back();  // the separator
    return folder;
}

}  // namespace vellumar
