// Lock-and-unlock round trips of one file at the size where the two formats
// meet: 199999 bytes (the small format's largest) and 200000 bytes (the large
// format's smallest). Every round trip writes and flushes two files; the
// folder is the system's temporary folder, or BENCH_FOLDER when set.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "engine/runs/desktop.h"
#include "engine/formats/large_file.h"
#include "engine/formats/small_file.h"

namespace vellumar {
namespace {

class QuietDesktop final : public Desktop {
public:
    using Desktop::message;
    void message(const std::string&, Icon, const std::string&) override { ++messages; }
    int messages = 0;
};

std::string makeFolder() {
    const char* base = std::getenv("BENCH_FOLDER");
    std::string pattern = std::string(base ? base : "/tmp") + "/vellumar-bench-XXXXXX";
    return mkdtemp(pattern.data()) ? pattern : std::string();
}

void roundTrips(benchmark::State& state, size_t length) {
    const std::string folder = makeFolder();
    const std::string plain = folder + "/report.txt";
    const std::string locked =
        folder + (length < kLargeFileThreshold ? "/ercbeg.gkt.VKL" : "/ercbeg.gkt.VKW");
    {
        std::ofstream out(plain, std::ios::binary);
        std::string bytes(length, '\0');
        for (size_t i = 0; i < length; ++i) bytes[i] = static_cast<char>(i * 131 + (i >> 7));
        out << bytes;
    }
    QuietDesktop desktop;
    for (auto _ : state) {
        const bool done = length < kLargeFileThreshold
                              ? lockSmallFile(plain, desktop).done() && unlockSmallFile(locked, desktop).done()
                              : lockLargeFile(plain, desktop).done() && unlockLargeFile(locked, desktop).done();
        if (!done) {
            state.SkipWithError("a lock or an unlock failed");
            break;
        }
    }
    state.SetItemsProcessed(state.iterations());
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * length));
    unlink(plain.c_str());
    rmdir(folder.c_str());
}

void BM_SmallFormatRoundTrip(benchmark::State& state) {
    roundTrips(state, 199999);
}
void BM_LargeFormatRoundTrip(benchmark::State& state) {
    roundTrips(state, 200000);
}

BENCHMARK(BM_SmallFormatRoundTrip)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_LargeFormatRoundTrip)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace vellumar
