// Removal of a temporary tree: ScopedTempDir::Delete (listing through open folders, never
// following links, with the existence check and second pass) against std::filesystem::remove_all
// on the same tree in the same folder.

#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "util/files/scoped_temp_dir.h"

namespace {

namespace fs = std::filesystem;

// folders x files_per_folder small files, plus a link per folder.
void FillTree(const fs::path& root, int folders, int files_per_folder) {
    for (int f = 0; f < folders; ++f) {
        fs::path folder = root / ("part" + std::to_string(f)) / "inner";
        fs::create_directories(folder);
        for (int i = 0; i < files_per_folder; ++i)
            std::ofstream(folder / ("chunk" + std::to_string(i) + ".bin")) << "firmware";
        fs::create_symlink("/nonexistent", root / ("part" + std::to_string(f)) / "link");
    }
}

void BM_ScopedTempDirDelete(benchmark::State& state) {
    const int folders = static_cast<int>(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        common::sdk::ScopedTempDir dir;
        dir.Create();
        CPath path;
        dir.GetPath(&path);
        FillTree(fs::path(path.ToUtf8()), folders, 20);
        state.ResumeTiming();
        dir.Delete();
    }
    state.SetItemsProcessed(state.iterations() * folders * 23);
}

void BM_AnchorFilesystemRemoveAll(benchmark::State& state) {
    const int folders = static_cast<int>(state.range(0));
    const fs::path root = fs::temp_directory_path() / "util-bench-remove-all";
    fs::remove_all(root);  // what an interrupted run left behind
    for (auto _ : state) {
        state.PauseTiming();
        fs::create_directory(root);
        FillTree(root, folders, 20);
        state.ResumeTiming();
        fs::remove_all(root);
    }
    state.SetItemsProcessed(state.iterations() * folders * 23);
}

BENCHMARK(BM_ScopedTempDirDelete)->Arg(1)->Arg(10)->Arg(50)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_AnchorFilesystemRemoveAll)->Arg(1)->Arg(10)->Arg(50)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
