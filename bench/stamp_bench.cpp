// Stamping a job client ID into a copy of a large firmware file, against two ways of copying the
// same file in the same run: the system's `cp`, and a plain loop of 512 KiB reads and writes.
// The source is written once and read once before timing, so every contender copies from the
// page cache to the same file system. Besides time, each benchmark reports how much the
// process's peak resident memory grew while it ran: stamping holds one fixed buffer, so the
// growth must not follow the file size.
//
//   build/bench-build/bin/stamp_bench [--benchmark_filter=...]
//   STAMP_BENCH_DIR=/some/folder   (default: the temporary folder) chooses where files go.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "util/files/file_access.h"

namespace {

namespace fs = std::filesystem;

fs::path WorkDir() {
    static const fs::path dir = [] {
        const char* chosen = std::getenv("STAMP_BENCH_DIR");
        fs::path base = chosen && *chosen ? fs::path(chosen) : fs::temp_directory_path();
        fs::path path = base / ("stamp-bench-" + std::to_string(::getpid()));
        fs::create_directories(path);
        return path;
    }();
    return dir;
}

long PeakRssKiB() {
    struct rusage usage;
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// Writes a source of `mib` MiB in 1 MiB pieces (never the whole file in memory) and reads it
// once so that it sits in the page cache.
fs::path Source(int64_t mib) {
    fs::path path = WorkDir() / ("src-" + std::to_string(mib) + ".bin");
    if (fs::exists(path) && fs::file_size(path) == static_cast<uintmax_t>(mib) << 20) return path;
    std::vector<char> piece(1 << 20);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    uint32_t state = 7;
    for (int64_t i = 0; i < mib; ++i) {
        for (char& byte : piece)
            byte = static_cast<char>((state = state * 1664525u + 1013904223u) >> 24);
        out.write(piece.data(), static_cast<std::streamsize>(piece.size()));
    }
    out.close();
    std::ifstream in(path, std::ios::binary);
    while (in.read(piece.data(), static_cast<std::streamsize>(piece.size()))) {
    }
    return path;
}

bool PlainCopy(const fs::path& from, const fs::path& to) {
    int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
    int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    bool ok = in >= 0 && out >= 0;
    static std::vector<char> buffer(512 * 1024);
    while (ok) {
        ssize_t got = ::read(in, buffer.data(), buffer.size());
        if (got <= 0) {
            ok = got == 0;
            break;
        }
        ok = ::write(out, buffer.data(), static_cast<size_t>(got)) == got;
    }
    if (in >= 0) ::close(in);
    if (out >= 0) ::close(out);
    return ok;
}

// Mean seconds per copy of each contender, by name and size, for the closing ratios.
std::map<std::string, double>& Means() {
    static std::map<std::string, double> means;
    return means;
}

template <typename Copy>
void RunCopies(benchmark::State& state, const char* name, Copy copy) {
    const int64_t mib = state.range(0);
    const fs::path source = Source(mib);
    const fs::path destination = WorkDir() / (std::string(name) + ".out");
    const long rssBefore = PeakRssKiB();
    double seconds = 0;
    for (auto _ : state) {
        state.PauseTiming();
        fs::remove(destination);
        ::sync();  // each copy starts without the previous one's dirty pages to write back
        state.ResumeTiming();
        auto start = std::chrono::steady_clock::now();
        if (!copy(source, destination)) state.SkipWithError("copy failed");
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    state.SetBytesProcessed(state.iterations() * (mib << 20));
    state.counters["peak_rss_KiB"] = static_cast<double>(PeakRssKiB());
    state.counters["peak_rss_growth_KiB"] = static_cast<double>(PeakRssKiB() - rssBefore);
    Means()[std::string(name) + "/" + std::to_string(mib)] =
        seconds / static_cast<double>(state.iterations());
    fs::remove(destination);
}

void BM_Stamp(benchmark::State& state) {
    RunCopies(state, "stamp", [](const fs::path& from, const fs::path& to) {
        CFileAccess files;
        return files.FA_FileAddJobClientID(CString::FromUtf8(from.string()),
                                           CString::FromUtf8(to.string()), u"JOB-2026-0042") == 1;
    });
}

void BM_Cp(benchmark::State& state) {
    RunCopies(state, "cp", [](const fs::path& from, const fs::path& to) {
        std::string command = "cp '" + from.string() + "' '" + to.string() + "'";
        return std::system(command.c_str()) == 0;
    });
}

void BM_ReadWriteLoop(benchmark::State& state) {
    RunCopies(state, "loop", PlainCopy);
}

// Stamping runs first, before the anchors could raise the peak, and on a small file first, so
// the peak growth of the 256 MiB run shows what the larger file added. Wall time throughout:
// `cp` does its work in a child process.
BENCHMARK(BM_Stamp)
    ->Arg(16)
    ->Arg(256)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(10);
BENCHMARK(BM_Cp)->Arg(16)->Arg(256)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(10);
BENCHMARK(BM_ReadWriteLoop)
    ->Arg(16)
    ->Arg(256)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(10);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    auto& means = Means();
    for (const char* size : {"16", "256"}) {
        auto stamp = means.find(std::string("stamp/") + size);
        if (stamp == means.end()) continue;
        for (const char* anchor : {"cp", "loop"}) {
            auto other = means.find(std::string(anchor) + "/" + size);
            if (other != means.end() && other->second > 0)
                std::printf("ratio stamp/%s at %s MiB: %.3f\n", anchor, size,
                            stamp->second / other->second);
        }
    }
    std::error_code ec;
    fs::remove_all(WorkDir(), ec);
    return 0;
}
