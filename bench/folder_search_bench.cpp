// The file search alone over a tree of many files: its time should grow in
// step with the number of files (double the tree, about double the time).
//
// The tree: the start folder holds a few files and groups of 50 folders of
// 100 files each, so that every folder with subfolders also holds files.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include "engine/runs/desktop.h"
#include "app/file_search.h"
#include "app/window_model.h"

namespace {

namespace fs = std::filesystem;

constexpr int kFilesPerFolder = 100;
constexpr int kFoldersPerGroup = 50;

class QuietDesktop : public vellumar::Desktop {
  public:
    void message(const std::string&, vellumar::Icon, const std::string&) override {}
};

void touch(const fs::path& path) {
    std::ofstream(path, std::ios::binary) << 'x';
}

// Trees are made once per size and removed when the program ends.
class Trees {
  public:
    ~Trees() {
        std::error_code ec;
        if (!root_.empty()) fs::remove_all(root_, ec);
    }
    std::string tree(int files) {
        if (root_.empty()) {
            root_ =
                fs::temp_directory_path() / ("vellumar-search-bench-" + std::to_string(::getpid()));
            fs::create_directories(root_);
        }
        fs::path start = root_ / std::to_string(files);
        if (made_.count(files)) return start.string();
        fs::create_directories(start);
        for (int i = 0; i < 10; ++i) touch(start / ("s" + std::to_string(i)));
        int left = files - 10;
        for (int folder = 0; left > 0; ++folder) {
            fs::path group = start / ("g" + std::to_string(folder / kFoldersPerGroup));
            fs::path here = group / ("d" + std::to_string(folder));
            fs::create_directories(here);
            for (int i = 0; i < kFilesPerFolder && left > 0; ++i, --left)
                touch(here / ("file-" + std::to_string(i) + ".txt"));
        }
        made_[files] = true;
        return start.string();
    }

  private:
    fs::path root_;
    std::map<int, bool> made_;
};

Trees trees;

void BM_Search(benchmark::State& state) {
    const int files = static_cast<int>(state.range(0));
    const std::string start = trees.tree(files);
    QuietDesktop desktop;
    for (auto _ : state) {
        vellumar::WindowModel model;
        vellumar::ListRow row;
        row.text = row.path = start;
        model.targetList = {row};
        vellumar::FileSearch(model, desktop).cmdSearch_Click();
        if (model.foundFiles.size() != static_cast<size_t>(files) ||
            model.targetList.size() != static_cast<size_t>(files)) {
            state.SkipWithError("not every file was found");
            break;
        }
        benchmark::DoNotOptimize(model.targetList.data());
    }
    state.SetComplexityN(files);
    state.counters["files/s"] = benchmark::Counter(static_cast<double>(files),
                                                   benchmark::Counter::kIsIterationInvariantRate);
}

BENCHMARK(BM_Search)
    ->Arg(100000)
    ->Arg(200000)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(2.0)
    ->Complexity(benchmark::oN);

}  // namespace

BENCHMARK_MAIN();
