// tessarin-cli: the lock and unlock runs from a terminal.

#include "cli/program_main.h"

int main(int argc, char* argv[]) {
    return vellumar::programMain(argc, argv);
}
