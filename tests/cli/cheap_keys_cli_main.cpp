// tessarin-cli for the tests alone, built from the same library: identity
// files of the least work factor, cheap to make and open. Never installed.

#include "cli/program_main.h"
#include "locking/sealing_keys.h"

int main(int argc, char* argv[]) {
    vellumar::setIdentityWorkFactor(10);
    return vellumar::programMain(argc, argv);
}
