#include "tests/support/faulty_file_system.h"

#include <cstdlib>

#ifdef _WIN32
#include <process.h>
#else
#include <unistd.h>
#endif

namespace vellumar::test {

bool FaultyFileSystem::hit(const char* name) {
    std::lock_guard<std::mutex> hold(mutex_);
    log_.push_back(name);
    if (++calls_ != target_ || fault_ == Fault::none) return false;
    if (fault_ == Fault::crash) _exit(42);  // no destructors, no flushing: a crash
    triggered_ = true;
    return true;
}

}  // namespace vellumar::test
