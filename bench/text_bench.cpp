// ReadFileToString on 64 MiB text files against the plain way of getting the same text: fread
// of the whole file plus ICU's u_strFromUTF8 (UTF-8), or fread alone (UTF-16LE, which needs no
// conversion). Each benchmark also reports its peak memory as a multiple of the file size.
// At the end the ratios anchor time / our time are printed (>= 1.0: we are at least as fast).

#include <benchmark/benchmark.h>
#include <unicode/ustring.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>

#include "util/files/file_util.h"

namespace {

constexpr size_t kFileBytes = size_t{64} << 20;

// A text of lines like a tool's notes: mostly ASCII, some accented letters and symbols.
std::string TextFile(bool utf16) {
    auto path = std::filesystem::temp_directory_path() /
                (utf16 ? "text_bench_utf16le.txt" : "text_bench_utf8.txt");
    if (!std::filesystem::exists(path) || std::filesystem::file_size(path) < kFileBytes - 4096) {
        const std::u16string lines[] = {
            u"Firmware TX-200 version 4.2.17 loaded into bank A, checksum 0x5F3A19C2 verified.\n",
            u"Gerät bereit; Übertragung läuft mit 115200 Baud über die serielle Schnittstelle.\n",
            u"Coût estimé: 12,50 € par unité — délai de livraison: trois à cinq jours ouvrés.\n",
        };
        std::string bytes = utf16 ? "\xFF\xFE" : "\xEF\xBB\xBF";
        for (size_t i = 0; bytes.size() < kFileBytes - 256; ++i) {
            for (char16_t unit : lines[i % 3]) {
                if (utf16) {
                    bytes += static_cast<char>(unit & 0xFF);
                    bytes += static_cast<char>(unit >> 8);
                } else if (unit < 0x80) {
                    bytes += static_cast<char>(unit);
                } else if (unit < 0x800) {
                    bytes += static_cast<char>(0xC0 | (unit >> 6));
                    bytes += static_cast<char>(0x80 | (unit & 0x3F));
                } else {
                    bytes += static_cast<char>(0xE0 | (unit >> 12));
                    bytes += static_cast<char>(0x80 | ((unit >> 6) & 0x3F));
                    bytes += static_cast<char>(0x80 | (unit & 0x3F));
                }
            }
        }
        std::ofstream(path, std::ios::binary).write(bytes.data(), bytes.size());
    }
    return path.string();
}

long ReadStatusKb(const char* field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(field, 0) == 0) return std::stol(line.substr(std::strlen(field)));
    return 0;
}

// Peak resident memory of one benchmark, measured from a reset high-water mark.
class PeakMemory {
  public:
    PeakMemory() {
        std::ofstream("/proc/self/clear_refs") << "5";
        base_ = ReadStatusKb("VmRSS:");
    }
    double TimesFile(size_t fileBytes) const {
        return double(ReadStatusKb("VmHWM:") - base_) * 1024.0 / double(fileBytes);
    }

  private:
    long base_;
};

void BM_ReadFileToString(benchmark::State& state, bool utf16) {
    const std::string name = TextFile(utf16);
    const CPath path(CString::FromUtf8(name));
    const size_t fileBytes = std::filesystem::file_size(name);
    PeakMemory peak;
    for (auto _ : state) {
        CString text;
        if (!common::sdk::file_util::ReadFileToString(path, &text)) state.SkipWithError("failed");
        benchmark::DoNotOptimize(text.GetString());
    }
    state.counters["peak_x_file"] = peak.TimesFile(fileBytes);
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(fileBytes));
}

void BM_FreadIcuAnchor(benchmark::State& state, bool utf16) {
    const std::string name = TextFile(utf16);
    const size_t fileBytes = std::filesystem::file_size(name);
    PeakMemory peak;
    for (auto _ : state) {
        std::unique_ptr<char[]> bytes(new char[fileBytes]);
        std::FILE* in = std::fopen(name.c_str(), "rb");
        size_t got = std::fread(bytes.get(), 1, fileBytes, in);
        std::fclose(in);
        if (utf16) {
            benchmark::DoNotOptimize(bytes.get());
        } else {
            std::unique_ptr<UChar[]> text(new UChar[got]);
            int32_t length = 0;
            UErrorCode status = U_ZERO_ERROR;
            u_strFromUTF8(text.get(), int32_t(got), &length, bytes.get() + 3, int32_t(got - 3),
                          &status);
            if (U_FAILURE(status)) state.SkipWithError("ICU failed");
            benchmark::DoNotOptimize(text.get());
        }
    }
    state.counters["peak_x_file"] = peak.TimesFile(fileBytes);
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(fileBytes));
}

BENCHMARK_CAPTURE(BM_ReadFileToString, utf8, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_FreadIcuAnchor, utf8, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ReadFileToString, utf16le, true)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_FreadIcuAnchor, utf16le, true)->Unit(benchmark::kMillisecond);

// Prints anchor / ours for each pair after the usual table.
class RatioReporter : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) times_[run.benchmark_name()] = run.GetAdjustedRealTime();
        ConsoleReporter::ReportRuns(runs);
    }
    void Finalize() override {
        ConsoleReporter::Finalize();
        for (const char* kind : {"utf8", "utf16le"}) {
            const double ours = times_[std::string("BM_ReadFileToString/") + kind];
            const double anchor = times_[std::string("BM_FreadIcuAnchor/") + kind];
            if (ours > 0) std::printf("ratio %-8s anchor/ours = %.2f\n", kind, anchor / ours);
        }
    }

  private:
    std::map<std::string, double> times_;
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
