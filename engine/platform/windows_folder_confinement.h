#pragma once
// The Windows side of FolderConfinement: below the confined root, a path whose
// folders include a reparse point (a junction, a symbolic link, a mount
// point) is refused, since it could lead anywhere.
#ifdef _WIN32

#include <string>

#include "engine/platform/file_system.h"

namespace vellumar {

// outsideFolder when a folder between the active root and the last name of
// `path` (and the last name too when `withLast`) is a reparse point; ok for
// paths that are not below the root.
IoError checkConfinedPath(const std::string& path, bool withLast);

}  // namespace vellumar

#endif
