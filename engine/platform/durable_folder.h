#pragma once
// A new folder's name is only durable once its parent is flushed: without
// that, a crash can lose the folder together with every file written below
// it, each of which was flushed on its own.

#include <string>

#include "engine/platform/file_system.h"

namespace vellumar {

// Flushes the folder that holds `path` (after `path` was made there).
IoError flushParentOf(const std::string& path);

// Creates the folder `path`, whose parent exists, through the engine's file
// system and flushes the parent. `exists` when it is there already (nothing
// to flush then).
IoError makeFolderDurably(const std::string& path);

}  // namespace vellumar
