#pragma once
// Rows of the target list as the window shows them.

#include <optional>
#include <string>

#include "app/window_model.h"

namespace vellumar {

// A row for a file: its type and size, and for a locked file the plain name
// it had and the lock image. A folder is a "File folder" without a size.
ListRow targetRow(const std::string& path);

// The folder in hand of Encrypt a Folder or Decrypt a Folder, once it is
// ready to run: its name and how many files the run will take.
std::optional<ListRow> folderRow(const WindowModel& model);

}  // namespace vellumar
