#include "engine/platform/durable_folder.h"

#include "engine/platform/platform.h"

namespace vellumar {

IoError flushParentOf(const std::string& path) {
    const size_t end = path.find_last_not_of(kSeparator);
    const size_t slash = end == std::string::npos ? end : path.rfind(kSeparator, end);
    return fileSystem().flushFolder(slash == std::string::npos ? std::string(".")
                                                               : path.substr(0, slash + 1));
}

IoError makeFolderDurably(const std::string& path) {
    if (IoError e = fileSystem().createFolder(path); e != IoError::ok) return e;
    return flushParentOf(path);
}

}  // namespace vellumar
