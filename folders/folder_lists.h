#pragma once
// The list files of the folder operations, in the application directory:
//   "folders"  the encrypted folders, one plain path per line, in the order
//              they were encrypted;
//   "encfile"  the pending folder: the one the chooser accepted for the next
//              "Encrypt a Folder" run.
// Both are only ever replaced by a complete copy (written beside, flushed,
// renamed over), so the list of encrypted folders is never lost or torn, and
// each change holds the list lock, so that parallel runs lose no record.

#include <string>
#include <vector>

#include "engine/lists/list_names.h"
#include "engine/platform/file_system.h"

namespace vellumar {

// Every line of "folders", empty ones included, in order.
IoError readFolderLines(std::vector<std::string>& lines);
// The encrypted folders as the window lists them: the lines up to the first
// empty one.
IoError readFolderRecords(std::vector<std::string>& records);
// Creates "folders" empty when it is missing.
IoError ensureFolderList();
// Adds one record at the end. An empty path is refused (IoError::other);
// empty lines already in the list are dropped, so the new record is listed.
// A list that exists but cannot be read is left alone and the call fails.
IoError appendFolderRecord(const std::string& plainPath);
// Drops every line that is exactly `plainPath`, rereading the list under the
// list lock so that records other processes add or drop meanwhile stay as
// they are. Ok when there was none.
IoError removeFolderRecord(const std::string& plainPath);
// Drops the last line that is exactly `plainPath`: the record a run has just
// added, and no earlier one of the same folder. Under the list lock, like
// removeFolderRecord. Ok when there was none.
IoError removeAddedFolderRecord(const std::string& plainPath);
// Replaces "folders" by a complete copy holding `lines`.
IoError replaceFolderLines(const std::vector<std::string>& lines);

// "encfile" holds exactly the accepted folder.
IoError writePendingFolder(const std::string& plainPath);
// Its first line; notFound when there is no pending folder, ok with an
// empty path when the file is empty.
IoError readPendingFolder(std::string& plainPath);
void deletePendingFolder();

}  // namespace vellumar
