#pragma once
// Tessarin's own options, read before the window exists: --help and
// --version need no display, and a long option it does not know is refused
// before Qt looks for one. Qt's own options (-style, -platform...) are
// single-dash and pass; those Qt leaves are read with the paths later.

#include <string>
#include <vector>

namespace vellumar {

// What the program prints, and the status it ends with, before any window.
struct StartExit {
    bool ends = false;  // false: go on and open the window
    int status = 0;
    std::string out;  // for standard output
    std::string err;  // for standard error
};

// The arguments after the program's name.
StartExit readStartOptions(const std::vector<std::string>& arguments);

// A bad command line: `problem` named, the way to the help, status 2.
StartExit startUsageError(const std::string& problem);

}  // namespace vellumar
