// Base64 encode and decode: ours against OpenSSL's EVP_EncodeBlock / EVP_DecodeBlock on the
// same bytes, at 1 KiB, 64 KiB and 16 MiB of input. Each benchmark reports MB/s of input
// (SetBytesProcessed); at the end the program prints ours / OpenSSL for every pair.
//
// OpenSSL writes into a buffer the caller prepared once; ours delivers a std::string as its
// interface does, so any allocation it needs is part of its measured time.

#include <benchmark/benchmark.h>
#include <openssl/evp.h>

#include <cstdio>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "util/common/base64.h"

namespace {

const std::vector<std::pair<const char*, size_t>> kSizes = {
    {"1KiB", size_t{1} << 10}, {"64KiB", size_t{1} << 16}, {"16MiB", size_t{1} << 24}};

std::string RandomBytes(size_t n) {
    std::mt19937_64 random(20261205);
    std::string bytes(n, '\0');
    for (char& b : bytes) b = static_cast<char>(random() & 0xFF);
    return bytes;
}

std::string EncodedText(size_t n) {
    std::string text;
    Base64::encode(RandomBytes(n), text);
    return text;
}

void EncodeOurs(benchmark::State& state, size_t n) {
    const std::string input = RandomBytes(n);
    std::string output;
    for (auto _ : state) {
        Base64::encode(input, output);
        benchmark::DoNotOptimize(output.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * n));
}

void EncodeOpenSsl(benchmark::State& state, size_t n) {
    const std::string input = RandomBytes(n);
    std::vector<unsigned char> output((n + 2) / 3 * 4 + 1);
    for (auto _ : state) {
        int written =
            EVP_EncodeBlock(output.data(), reinterpret_cast<const unsigned char*>(input.data()),
                            static_cast<int>(n));
        benchmark::DoNotOptimize(written);
        benchmark::DoNotOptimize(output.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * n));
}

// Decode throughput is counted in bytes of Base64 text read.
void DecodeOurs(benchmark::State& state, size_t n) {
    const std::string text = EncodedText(n);
    std::string output;
    for (auto _ : state) {
        bool ok = Base64::decode(text, output);
        benchmark::DoNotOptimize(ok);
        benchmark::DoNotOptimize(output.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}

void DecodeOpenSsl(benchmark::State& state, size_t n) {
    const std::string text = EncodedText(n);
    std::vector<unsigned char> output(text.size() / 4 * 3 + 3);
    for (auto _ : state) {
        int written =
            EVP_DecodeBlock(output.data(), reinterpret_cast<const unsigned char*>(text.data()),
                            static_cast<int>(text.size()));
        benchmark::DoNotOptimize(written);
        benchmark::DoNotOptimize(output.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}

// The console output, followed by a table of ours / OpenSSL for every operation and size. The
// JSON file written with --benchmark_out holds the raw figures.
class RatioReporter : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        // With --benchmark_repetitions the median stands; otherwise the (last) measured run.
        for (const Run& run : runs) {
            const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            if (run.error_occurred || (run.run_type != Run::RT_Iteration && !median)) continue;
            auto rate = run.counters.find("bytes_per_second");
            if (rate == run.counters.end()) continue;
            // Names are "<operation>/<implementation>/<size>".
            const std::string& name = run.run_name.function_name;
            size_t first = name.find('/'), last = name.rfind('/');
            if (first == std::string::npos || first == last) continue;
            const std::string key = name.substr(0, first) + " " + name.substr(last + 1);
            const std::string who = name.substr(first + 1, last - first - 1);
            if (rates_.find(key) == rates_.end()) order_.push_back(key);
            if (median)
                medians_.insert(key + " " + who);
            else if (medians_.count(key + " " + who))
                continue;
            rates_[key][who] = rate->second.value;
        }
    }
    void Finalize() override {
        ConsoleReporter::Finalize();
        std::printf("\n%-16s %12s %12s %8s\n", "", "ours MB/s", "OpenSSL MB/s", "ratio");
        for (const std::string& key : order_) {
            const auto& rates = rates_[key];
            auto ours = rates.find("ours"), anchor = rates.find("openssl");
            if (ours == rates.end() || anchor == rates.end() || anchor->second <= 0) continue;
            std::printf("%-16s %12.0f %12.0f %8.2f\n", key.c_str(), ours->second / 1e6,
                        anchor->second / 1e6, ours->second / anchor->second);
        }
    }

  private:
    std::vector<std::string> order_;  // as the benchmarks ran
    std::set<std::string> medians_;
    std::map<std::string, std::map<std::string, double>> rates_;
};

}  // namespace

int main(int argc, char** argv) {
    for (const auto& [label, n] : kSizes) {
        const std::string size = label;
        benchmark::RegisterBenchmark(("encode/ours/" + size).c_str(), EncodeOurs, n);
        benchmark::RegisterBenchmark(("encode/openssl/" + size).c_str(), EncodeOpenSsl, n);
        benchmark::RegisterBenchmark(("decode/ours/" + size).c_str(), DecodeOurs, n);
        benchmark::RegisterBenchmark(("decode/openssl/" + size).c_str(), DecodeOpenSsl, n);
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
