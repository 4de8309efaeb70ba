// Locks or unlocks one file in the large format, for the timing script:
//   lock_file_driver lock <plain path>
//   lock_file_driver unlock <locked path>
// Messages go to stderr; the exit code tells whether the operation succeeded.
// Printed to stderr: "call-seconds <s>", the time the call itself took (what
// the window waits for), and "max-rss-kib <n>", the peak resident memory.
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

#include "engine/runs/desktop.h"
#include "engine/formats/large_file.h"

namespace {

class SilentDesktop final : public vellumar::Desktop {
public:
    using Desktop::message;
    void message(const std::string& text, vellumar::Icon, const std::string& title) override {
        std::fprintf(stderr, "%s: %s\n", title.c_str(), text.c_str());
    }
};

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3 || (std::strcmp(argv[1], "lock") != 0 && std::strcmp(argv[1], "unlock") != 0)) {
        std::fprintf(stderr, "usage: %s lock|unlock <path>\n", argv[0]);
        return 2;
    }
    SilentDesktop desktop;
    const auto start = std::chrono::steady_clock::now();
    const bool done = std::strcmp(argv[1], "lock") == 0 ? vellumar::lockLargeFile(argv[2], desktop).done()
                                                        : vellumar::unlockLargeFile(argv[2], desktop).done();
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    std::fprintf(stderr, "call-seconds %.3f\n", took.count());
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::fprintf(stderr, "max-rss-kib %ld\n", usage.ru_maxrss);
    return done ? 0 : 1;
}
