#pragma once
// The terminal the command line talks through: standard input, output and
// error, and whether they are a terminal. Tests hand it string streams.

#include <functional>
#include <iosfwd>
#include <string>

namespace vellumar {

struct Console {
    std::istream& in;
    std::ostream& out;
    std::ostream& err;
    bool inIsTerminal = false;
    bool errIsTerminal = false;
    // Reads one line from the terminal without showing what is typed; false
    // at the end of the input.
    std::function<bool(std::string& line)> readHidden;
    // Whether the person asked to stop the run under way (an interrupt);
    // none: never.
    std::function<bool()> cancelRequested;
};

// The process's own standard streams.
Console systemConsole();

// Reads one line, without its line end; false at the end of the input.
bool readLine(std::istream& in, std::string& line);

}  // namespace vellumar
