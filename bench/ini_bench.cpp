// GetKeyValues on one section of 10,000 and 100,000 pairs (the time should grow linearly with
// the section), against an anchor on the same file: reading it with fread and splitting its
// lines into a std::map of narrow strings by hand, the least a settings reader has to do.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <string>

#include "util/files/inifile.h"

namespace {

std::string SectionFile(int pairs) {
    auto path =
        std::filesystem::temp_directory_path() / ("ini_bench_" + std::to_string(pairs) + ".ini");
    if (!std::filesystem::exists(path)) {
        std::FILE* out = std::fopen(path.string().c_str(), "wb");
        std::fputs("[Other]\r\nx=1\r\n[Big]\r\n", out);
        for (int i = 0; i < pairs; ++i) std::fprintf(out, "Key%07d = value number %d\r\n", i, i);
        std::fputs("[Tail]\r\ny=2\r\n", out);
        std::fclose(out);
    }
    return path.string();
}

void BM_GetKeyValues(benchmark::State& state) {
    const int pairs = static_cast<int>(state.range(0));
    const CString file = CString::FromUtf8(SectionFile(pairs));
    for (auto _ : state) {
        KeyValueMap values;
        if (!common::sdk::inifile::GetKeyValues(file, u"Big", &values) ||
            values.size() != static_cast<size_t>(pairs))
            state.SkipWithError("wrong result");
        benchmark::DoNotOptimize(values);
    }
    state.SetItemsProcessed(state.iterations() * pairs);
}

void BM_FreadSplitAnchor(benchmark::State& state) {
    const int pairs = static_cast<int>(state.range(0));
    const std::string file = SectionFile(pairs);
    for (auto _ : state) {
        std::string text;
        std::FILE* in = std::fopen(file.c_str(), "rb");
        char chunk[1 << 16];
        for (size_t n; (n = std::fread(chunk, 1, sizeof chunk, in)) > 0;) text.append(chunk, n);
        std::fclose(in);
        std::map<std::string, std::string> values;
        bool inSection = false;
        for (size_t pos = 0; pos < text.size();) {
            size_t end = text.find_first_of("\r\n", pos);
            if (end == std::string::npos) end = text.size();
            std::string line = text.substr(pos, end - pos);
            pos = text.find_first_not_of("\r\n", end);
            if (pos == std::string::npos) pos = text.size();
            if (!line.empty() && line[0] == '[') {
                inSection = line == "[Big]";
                continue;
            }
            size_t eq = line.find('=');
            if (!inSection || eq == std::string::npos) continue;
            size_t keyEnd = line.find_last_not_of(' ', eq - 1);
            size_t valueStart = line.find_first_not_of(' ', eq + 1);
            values[line.substr(0, keyEnd + 1)] =
                valueStart == std::string::npos ? std::string() : line.substr(valueStart);
        }
        if (values.size() != static_cast<size_t>(pairs)) state.SkipWithError("wrong result");
        benchmark::DoNotOptimize(values);
    }
    state.SetItemsProcessed(state.iterations() * pairs);
}

BENCHMARK(BM_GetKeyValues)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FreadSplitAnchor)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
