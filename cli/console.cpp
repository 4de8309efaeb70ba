#include "cli/console.h"

#include <csignal>
#include <cstdio>
#include <iostream>

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <termios.h>
#include <unistd.h>
#endif

namespace vellumar {
namespace {

bool isTerminal(FILE* stream) {
#ifdef _WIN32
    return _isatty(_fileno(stream)) != 0;
#else
    return ::isatty(fileno(stream)) != 0;
#endif
}

// Echo off while the line is read, and back on whatever happens.
bool readWithoutEcho(std::string& line) {
#ifdef _WIN32
    HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    DWORD mode = 0;
    const bool console = GetConsoleMode(input, &mode) != 0;
    if (console) SetConsoleMode(input, mode & ~static_cast<DWORD>(ENABLE_ECHO_INPUT));
    const bool read = readLine(std::cin, line);
    if (console) SetConsoleMode(input, mode);
#else
    termios saved{};
    const bool terminal = ::tcgetattr(STDIN_FILENO, &saved) == 0;
    if (terminal) {
        termios quiet = saved;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
    }
    const bool read = readLine(std::cin, line);
    if (terminal) ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
#endif
    std::cerr << '\n';  // the Enter that was not echoed
    return read;
}

volatile std::sig_atomic_t interrupted = 0;

extern "C" void noteInterrupt(int) { interrupted = 1; }

// Asked first when a run begins: from then on an interrupt (Ctrl+C) stops
// the run between two files, and what was done stays done. Before, it ends
// the program at once, as anywhere else.
bool interruptRequested() {
    static const bool caught = std::signal(SIGINT, noteInterrupt) != SIG_ERR;
    return caught && interrupted != 0;
}

}  // namespace

bool readLine(std::istream& in, std::string& line) {
    if (!std::getline(in, line)) return false;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return true;
}

Console systemConsole() {
    return Console{std::cin,          std::cout,          std::cerr,
                   isTerminal(stdin), isTerminal(stderr), readWithoutEcho,
                   interruptRequested};
}

}  // namespace vellumar
