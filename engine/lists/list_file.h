#pragma once
// The program's list files ("files", "folders", "encfile"): plain text, one
// full path per line, every line ended by CR LF. They are only ever replaced
// by a complete new copy, so a crash leaves the old list or the new one.
// Every change holds the list lock (engine/list_lock.h), so that processes
// changing a list at once lose none of each other's lines.

#include <functional>
#include <string>
#include <vector>

#include "engine/platform/file_system.h"

namespace vellumar {

// The lines of a list's text. A lone LF ends a line too, and a last line
// without its end still counts; empty lines are kept where they stand.
std::vector<std::string> splitListLines(const std::string& text);
// Every line followed by CR LF.
std::string joinListLines(const std::vector<std::string>& lines);

// Reads every line of a list file.
IoError readListFile(const std::string& path, std::vector<std::string>& lines);
// Replaces the list file by a complete copy holding `lines`: written beside
// it, flushed, then renamed over it.
IoError replaceListFile(const std::string& path, const std::vector<std::string>& lines);

// Adds lines at the end of a list file (created when missing), through a
// complete copy. A list that exists but cannot be read is left alone.
IoError appendListLines(const std::string& path, const std::vector<std::string>& lines);

// Reads the list (a missing one has no lines), lets `edit` change its lines
// and, when `edit` returns true, replaces the list by them: all under the
// list lock, so no other process changes the list in between. A list that
// exists but cannot be read is left alone.
IoError editListFile(const std::string& path,
                     const std::function<bool(std::vector<std::string>&)>& edit);
// Deletes a list file, under the list lock.
IoError removeListFile(const std::string& path);

}  // namespace vellumar
