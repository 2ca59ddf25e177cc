// The environment queries against the C++ standard library doing the same work:
//   - listing the subfolders of a locales folder (our platform listing vs
//     std::filesystem::directory_iterator with is_directory);
//   - the executable's folder (GetExeFolderPath vs read_symlink("/proc/self/exe").parent_path()).
// Compare each pair's time per iteration in the same run.

#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "util/environment/environment.h"
#include "util/platform/environment.h"

namespace {

namespace fs = std::filesystem;

// A locales folder with 16 language folders and 16 files beside them, made once.
const fs::path& LocalesFolder() {
    static const fs::path folder = [] {
        fs::path dir = fs::temp_directory_path() / "tessmar-env-bench" / "locales";
        fs::create_directories(dir);
        for (int i = 0; i < 16; ++i) {
            fs::create_directories(dir / ("lang-" + std::to_string(i)));
            std::ofstream(dir / ("file-" + std::to_string(i) + ".txt")) << "x";
        }
        return dir;
    }();
    return folder;
}

void BM_ListSubfolders_Util(benchmark::State& state) {
    const std::u16string folder = LocalesFolder().u16string();
    std::vector<std::u16string> names;
    for (auto _ : state) {
        util_platform::ListSubfolders(folder, &names);
        benchmark::DoNotOptimize(names.data());
    }
}
BENCHMARK(BM_ListSubfolders_Util);

void BM_ListSubfolders_StdFilesystem(benchmark::State& state) {
    const fs::path folder = LocalesFolder();
    std::vector<std::u16string> names;
    for (auto _ : state) {
        names.clear();
        for (const auto& entry : fs::directory_iterator(folder))
            if (entry.is_directory()) names.push_back(entry.path().filename().u16string());
        benchmark::DoNotOptimize(names.data());
    }
}
BENCHMARK(BM_ListSubfolders_StdFilesystem);

void BM_ExeFolder_Util(benchmark::State& state) {
    for (auto _ : state) {
        CPath folder;
        common::sdk::environment::GetExeFolderPath(&folder);
        benchmark::DoNotOptimize(folder.GetString());
    }
}
BENCHMARK(BM_ExeFolder_Util);

void BM_ExeFolder_StdFilesystem(benchmark::State& state) {
    for (auto _ : state) {
        fs::path folder = fs::read_symlink("/proc/self/exe").parent_path();
        benchmark::DoNotOptimize(folder.c_str());
    }
}
BENCHMARK(BM_ExeFolder_StdFilesystem);

}  // namespace

BENCHMARK_MAIN();
