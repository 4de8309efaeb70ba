#pragma once
// tessarin-cli's main: the user's settings store for this system, the
// process's terminal, and the run. A test build of the program calls it too.

namespace vellumar {

int programMain(int argc, char* argv[]);

}  // namespace vellumar
