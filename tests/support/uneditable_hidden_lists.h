#pragma once
// The kinds of ".hidden" list a run cannot edit, for the front ends' tables:
// how each is made in a folder, and the cause the front ends name.
#ifndef _WIN32

#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "engine/platform/file_system.h"
#include "engine/lists/hidden_list.h"
#include "tests/support/temp_folder.h"

namespace vellumar::test {

struct UneditableList {
    const char* what;
    // Makes the list of `folder` (relative to the test's folder).
    void (*make)(const TempFolder& temp, const std::string& folder);
    const char* cause;
    // The list is edited by another program while the run rewrites it
    // (ListEditedMeanwhile is in use during the run).
    bool editedMeanwhile = false;
};

inline const UneditableList kUneditableLists[] = {
    {"a symbolic link",
     [](const TempFolder& t, const std::string& f) {
         const std::string outside = t.write(f + "-outside", "mine\n");
         t.makeFolder(f);
         // A link not made leaves no list: the case's expected cause then fails it.
         (void)!::symlink(outside.c_str(), (t / (f + "/.hidden")).c_str());
     },
     "it is a symbolic link"},
    {"a named pipe",
     [](const TempFolder& t, const std::string& f) {
         t.makeFolder(f);
         ::mkfifo((t / (f + "/.hidden")).c_str(), 0600);
     },
     "it is not a regular file"},
    {"a folder", [](const TempFolder& t, const std::string& f) { t.makeFolder(f + "/.hidden"); },
     "it is not a regular file"},
    {"read-only",
     [](const TempFolder& t, const std::string& f) {
         ::chmod(t.write(f + "/.hidden", "mine\n").c_str(), 0444);
     },
     "it is read-only"},
    {"1 MiB and a byte",
     [](const TempFolder& t, const std::string& f) {
         t.write(f + "/.hidden", std::string(kHiddenListMaxSize, 'a') + "\n");
     },
     "it is larger than 1 MiB"},
    {"changed while it was rewritten",
     [](const TempFolder& t, const std::string& f) { t.write(f + "/.hidden", "mine\n"); },
     "it changed while it was being rewritten", true},
};

}  // namespace vellumar::test

#endif
