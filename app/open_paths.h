#pragma once
// Paths handed to the program from outside (its command line, a second
// start, a drop on the target page): which operation they call for and the
// paths that operation takes. Paths stay the OS's bytes throughout.

#include <string>
#include <vector>

#include "app/window_model.h"

namespace vellumar {

// A plain open lets each path's kind choose the operation; the Lock and
// Unlock actions of the desktop entry fix the direction.
enum class OpenIntent { open, lock, unlock };

struct OpenRequest {
    OpenIntent intent = OpenIntent::open;
    std::vector<std::string> paths;  // absolute
    // Only brings the running window to the front.
    bool raiseOnly() const { return paths.empty(); }
    bool operator==(const OpenRequest&) const = default;
};

// The arguments after the program's name: "--lock" or "--unlock", then
// paths ("--" ends the options). Relative paths are taken from
// `currentFolder`. False, with `error` set, for an unknown option.
bool parseOpenArguments(const std::vector<std::string>& arguments, const std::string& currentFolder,
                        OpenRequest& request, std::string& error);

// A request as a running copy receives it, and back. Paths never hold a
// NUL, so NULs separate the fields and an empty field ends the request.
std::string encodeOpenRequest(const OpenRequest& request);
// False while `bytes` does not yet hold a whole request, or holds a bad one.
bool decodeOpenRequest(const std::string& bytes, OpenRequest& request);

// The local paths of a dropped "text/uri-list", percent-escapes undone
// byte for byte; other addresses are left out.
std::vector<std::string> pathsFromUriList(const std::string& uriList);

struct RefusedPath {
    std::string path;
    std::string cause;
    bool operator==(const RefusedPath&) const = default;
};

struct OpenPlan {
    Option option = Option::none;    // none: nothing to open
    std::vector<std::string> files;  // for Encrypt File(s) and Decrypt File(s)
    // For Encrypt a Folder, the folder; for Decrypt a Folder, its record in
    // the list of encrypted folders (its plain path).
    std::string folder;
    std::vector<RefusedPath> refused;
};

// Sorts the paths into one operation. The first path that can be worked on
// chooses it, unless `fixed` names the operation already (a drop onto the
// target page); the paths that call for another are refused, saying why.
OpenPlan planOpenedPaths(const std::vector<std::string>& paths, OpenIntent intent,
                         Option fixed = Option::none);

// The operation's name as its option button shows it.
std::string optionName(Option option);

// The message that names every refused path with its cause.
std::string refusedPathsText(const std::vector<RefusedPath>& refused);

}  // namespace vellumar
