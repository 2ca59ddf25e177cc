// Lines per second of the log against spdlog, in the same run.
//
// Both sides write the same text ("[" timestamp "] Download step N of tm4200.bin" and a line end)
// from 1, 2, 4 and 8 threads to a file in a fresh folder, and both hand every line to the operating
// system before the call returns: the log by design (no buffer of its own; writers that wait share
// one write), spdlog through a basic_file_sink_mt with flush_on(trace), i.e. a flush after every
// message. At the end the program prints the ratio ours / spdlog in lines per second per thread
// count (above 1: we are faster), and how much of spdlog's time per line a bare write() takes.
//
// The *_Busy rows measure the same pair while two CPU-bound spinner threads run beside the
// writers for the whole measurement, as on a machine whose cores other work keeps busy: there a
// writer that spins or yields while it waits takes processor time from the one that writes. The
// BM_OneLockedWritePerLine_Busy rows give the floor on busy cores for a log that serialises its
// writes with a lock.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <pthread.h>
#include <sched.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "util/base/cstring.h"
#include "util/logging/logging.h"

#if __has_include(<spdlog/spdlog.h>)
#include <spdlog/logger.h>
#include <spdlog/sinks/basic_file_sink.h>
#define LOG_BENCH_HAVE_SPDLOG 1
#endif

namespace {

std::filesystem::path g_folder;
#ifdef LOG_BENCH_HAVE_SPDLOG
std::shared_ptr<spdlog::logger> g_spdlog;
#endif

std::filesystem::path FreshFolder(const char* tag) {
    std::mt19937_64 random(static_cast<unsigned long long>(
        std::chrono::steady_clock::now().time_since_epoch().count()));
    auto folder = std::filesystem::temp_directory_path() /
                  (std::string("log-bench-") + tag + "-" + std::to_string(random() % 1000000000));
    std::filesystem::create_directories(folder);
    return folder;
}

// Two threads that keep both cores busy until stopped: the load of the *_Busy rows. Each is
// bound to a core of its own, so that every core has one busy neighbour for the writers whatever
// the scheduler does with them; left free, the spinners sometimes shared one core and left the
// other to the writers, and a row's figure then changed by half from one repetition to the next.
class Spinners {
  public:
    void Start() {
        stop_.store(false);
        const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
        for (unsigned i = 0; i < 2; ++i) {
            threads_.emplace_back([this] {
                unsigned long long x = 0;
                while (!stop_.load(std::memory_order_relaxed)) x = x * 6364136223846793005ULL + 1;
                sink_.fetch_add(x, std::memory_order_relaxed);
            });
            cpu_set_t core;
            CPU_ZERO(&core);
            CPU_SET(i % cores, &core);
            pthread_setaffinity_np(threads_.back().native_handle(), sizeof(core), &core);
        }
    }
    void Stop() {
        stop_.store(true);
        for (std::thread& thread : threads_) thread.join();
        threads_.clear();
    }

  private:
    std::atomic<bool> stop_{false};
    std::atomic<unsigned long long> sink_{0};
    std::vector<std::thread> threads_;
};
Spinners g_spinners;

// A busy row's setup and teardown: the quiet row's, with the spinners running in between.
using StateHook = void (*)(const benchmark::State&);

template <StateHook Open>
void OpenBusy(const benchmark::State& state) {
    Open(state);
    g_spinners.Start();
}

template <StateHook Close>
void CloseBusy(const benchmark::State& state) {
    g_spinners.Stop();
    Close(state);
}

void RemoveFolder() {
    std::error_code ec;
    std::filesystem::remove_all(g_folder, ec);
}

void OpenOurs(const benchmark::State&) {
    g_folder = FreshFolder("util");
    Logging::Init(CString::FromUtf8(g_folder.string()), false);
}

void CloseOurs(const benchmark::State&) {
    Logging::Term();
    RemoveFolder();
}

void BM_Logging_WriteV(benchmark::State& state) {
    if (!Logging::IsInitialized()) {
        state.SkipWithError("the log could not be opened");
        return;
    }
    int step = 0;
    for (auto _ : state) Logging::WriteV(u"Download step %d of %s", ++step, u"tm4200.bin");
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_Logging_WriteV)
    ->Setup(OpenOurs)
    ->Teardown(CloseOurs)
    ->ThreadRange(1, 8)
    ->UseRealTime();

void BM_Logging_WriteV_Busy(benchmark::State& state) {
    BM_Logging_WriteV(state);
}
BENCHMARK(BM_Logging_WriteV_Busy)
    ->Setup(OpenBusy<OpenOurs>)
    ->Teardown(CloseBusy<CloseOurs>)
    ->ThreadRange(1, 8)
    ->UseRealTime();

// The floor under both: one write() per line of the log's size and nothing else, no clock, no
// formatting, no lock. A single writer must make one such call per line to keep the promise that
// a line is in the file when the call returns, so this bounds what any design can reach there.
int g_floorFile = -1;
constexpr char16_t kFloorLine[] = u"[2026-12-06 06:00:00.000] Download step 1 of tm4200.bin\r\n";

void OpenFloorFile() {
    g_floorFile = ::open((g_folder / "floor.log").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
}

void CloseFloorFile() {
    if (g_floorFile >= 0) ::close(g_floorFile);
    g_floorFile = -1;
}

// One line of the floor; false when the write failed.
bool WriteFloorLine() {
    return ::write(g_floorFile, kFloorLine, sizeof(kFloorLine) - sizeof(char16_t)) >= 0;
}

void OpenFloor(const benchmark::State&) {
    g_folder = FreshFolder("floor");
    OpenFloorFile();
}

void CloseFloor(const benchmark::State&) {
    CloseFloorFile();
    RemoveFolder();
}

void BM_OneWritePerLine(benchmark::State& state) {
    if (g_floorFile < 0) {
        state.SkipWithError("the file could not be opened");
        return;
    }
    for (auto _ : state) {
        if (!WriteFloorLine()) {
            state.SkipWithError("write failed");
            break;
        }
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_OneWritePerLine)->Setup(OpenFloor)->Teardown(CloseFloor)->UseRealTime();

// One writer against the floor, measured in turns within one benchmark: blocks of lines through
// the log and blocks of bare write() calls alternate, each timed on its own. This machine's speed
// drifts by a quarter within minutes, and two separate benchmarks then compare different moments;
// in turns of a few hundred lines both sides meet the same moments. The counters give each
// side's lines per second and their ratio, the log's time per line over the floor's.
void BM_OneWriterInTurnsWithFloor(benchmark::State& state) {
    if (!Logging::IsInitialized() || g_floorFile < 0) {
        state.SkipWithError("the files could not be opened");
        return;
    }
    constexpr int kTurn = 256;
    using Clock = std::chrono::steady_clock;
    Clock::duration ours{}, floor{};
    int step = 0;
    for (auto _ : state) {
        const Clock::time_point start = Clock::now();
        for (int i = 0; i < kTurn; ++i)
            Logging::WriteV(u"Download step %d of %s", ++step, u"tm4200.bin");
        const Clock::time_point middle = Clock::now();
        for (int i = 0; i < kTurn; ++i)
            if (!WriteFloorLine()) {
                state.SkipWithError("write failed");
                return;
            }
        const Clock::time_point end = Clock::now();
        ours += middle - start;
        floor += end - middle;
    }
    const double lines = static_cast<double>(state.iterations()) * kTurn;
    const double oursSeconds = std::chrono::duration<double>(ours).count();
    const double floorSeconds = std::chrono::duration<double>(floor).count();
    if (oursSeconds <= 0 || floorSeconds <= 0) return;
    state.counters["ours_per_second"] = lines / oursSeconds;
    state.counters["floor_per_second"] = lines / floorSeconds;
    state.counters["time_ratio"] = oursSeconds / floorSeconds;
}

void OpenOursAndFloor(const benchmark::State& state) {
    OpenOurs(state);
    OpenFloorFile();
}

void CloseOursAndFloor(const benchmark::State& state) {
    CloseFloorFile();
    CloseOurs(state);
}
BENCHMARK(BM_OneWriterInTurnsWithFloor)
    ->Setup(OpenOursAndFloor)
    ->Teardown(CloseOursAndFloor)
    ->UseRealTime();

// The floor of writers that take turns under one lock, each holding it for its one write() per
// line, as the writers of a log whose lock serialises its file writes do when they find nobody
// to share a write with. With the cores busy, a writer that the scheduler stops while it holds
// the lock stops the others too, and writers that share a core run one at a time: a log that
// makes one write per line under its lock cannot be faster than this row, and sharing writes
// only helps where several writers wait at the same moment.
std::mutex g_floorLock;

void BM_OneLockedWritePerLine_Busy(benchmark::State& state) {
    if (g_floorFile < 0) {
        state.SkipWithError("the file could not be opened");
        return;
    }
    for (auto _ : state) {
        std::lock_guard<std::mutex> hold(g_floorLock);
        if (!WriteFloorLine()) {
            state.SkipWithError("write failed");
            break;
        }
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_OneLockedWritePerLine_Busy)
    ->Setup(OpenBusy<OpenFloor>)
    ->Teardown(CloseBusy<CloseFloor>)
    ->ThreadRange(2, 8)
    ->UseRealTime();

#ifdef LOG_BENCH_HAVE_SPDLOG
void OpenSpdlog(const benchmark::State&) {
    g_folder = FreshFolder("spdlog");
    auto sink =
        std::make_shared<spdlog::sinks::basic_file_sink_mt>((g_folder / "spd.log").string(), true);
    g_spdlog = std::make_shared<spdlog::logger>("bench", sink);
    g_spdlog->set_pattern("[%Y-%m-%d %H:%M:%S.%e] %v");
    g_spdlog->flush_on(spdlog::level::trace);
}

void CloseSpdlog(const benchmark::State&) {
    g_spdlog.reset();
    RemoveFolder();
}

void BM_Spdlog_FlushEveryLine(benchmark::State& state) {
    int step = 0;
    for (auto _ : state) g_spdlog->info("Download step {} of {}", ++step, "tm4200.bin");
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_Spdlog_FlushEveryLine)
    ->Setup(OpenSpdlog)
    ->Teardown(CloseSpdlog)
    ->ThreadRange(1, 8)
    ->UseRealTime();

void BM_Spdlog_FlushEveryLine_Busy(benchmark::State& state) {
    BM_Spdlog_FlushEveryLine(state);
}
BENCHMARK(BM_Spdlog_FlushEveryLine_Busy)
    ->Setup(OpenBusy<OpenSpdlog>)
    ->Teardown(CloseBusy<CloseSpdlog>)
    ->ThreadRange(1, 8)
    ->UseRealTime();
#endif

// Prints the usual table and remembers lines per second per benchmark for the ratio.
class RatioReporter : public benchmark::ConsoleReporter {
  public:
    RatioReporter() : ConsoleReporter(OO_None) {}

    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            // With repetitions the median stands for the benchmark; other aggregates are skipped.
            const bool aggregate = run.run_type == Run::RT_Aggregate;
            if (run.error_occurred || (aggregate && run.aggregate_name != "median")) continue;
            std::string name = run.benchmark_name();
            if (aggregate) name.resize(name.size() - std::string("_median").size());
            auto ratio = run.counters.find("time_ratio");
            if (ratio != run.counters.end()) ratios_[name] = ratio->second.value;
            auto it = run.counters.find("items_per_second");
            if (it == run.counters.end()) continue;
            rates_[name] = it->second.value;
        }
    }
    void PrintRatios() const {
        auto floor = rates_.find("BM_OneWritePerLine/real_time");
        auto single = rates_.find("BM_Spdlog_FlushEveryLine/real_time/threads:1");
        if (floor != rates_.end() && single != rates_.end() && floor->second > 0)
            std::printf("floor: one write() per line alone takes %.2f of spdlog's time per line\n",
                        single->second / floor->second);
        auto turns = ratios_.find("BM_OneWriterInTurnsWithFloor/real_time");
        if (turns != ratios_.end())
            std::printf("one writer in turns with the floor takes %.2f times its time per line\n",
                        turns->second);
        for (const char* load : {"", "_Busy"}) {
            for (const char* threads : {"1", "2", "4", "8"}) {
                std::string suffix = std::string(load) + "/real_time/threads:" + threads;
                auto ours = rates_.find("BM_Logging_WriteV" + suffix);
                auto anchor = rates_.find("BM_Spdlog_FlushEveryLine" + suffix);
                if (ours == rates_.end() || anchor == rates_.end() || anchor->second <= 0) continue;
                std::printf("ratio ours/spdlog%s, %s thread(s): %.2f  (%.0f vs %.0f lines/s)\n",
                            *load ? " (busy cores)" : "", threads, ours->second / anchor->second,
                            ours->second, anchor->second);
                auto locked = rates_.find("BM_OneLockedWritePerLine" + suffix);
                if (locked != rates_.end())
                    std::printf("  one locked write() per line: %.2f times spdlog's lines/s\n",
                                locked->second / anchor->second);
            }
        }
    }

  private:
    std::map<std::string, double> rates_;
    std::map<std::string, double> ratios_;
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintRatios();
    benchmark::Shutdown();
    return 0;
}
