// IP address text: our validators and comparison against glibc's inet_pton on one fixed corpus.
//
// Each benchmark walks the whole corpus once per iteration; the per-text time is the iteration
// time divided by the corpus size. After the run the program prints our time per text over the
// anchor's for each pair.

#include <arpa/inet.h>
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "util/base/cstring.h"
#include "util/ipformat/ip_format.h"

namespace {

// A small deterministic generator, so that every run measures the same texts.
struct Random {
    uint64_t state = 0x2545F4914F6CDD1DULL;
    uint32_t Next() {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        return static_cast<uint32_t>(state >> 11);
    }
    uint32_t Below(uint32_t n) { return Next() % n; }
};

std::string Hex(uint32_t value, bool upper) {
    char buffer[8];
    std::snprintf(buffer, sizeof buffer, upper ? "%X" : "%x", value & 0xFFFF);
    return buffer;
}

std::string IPv4(Random& r) {
    return std::to_string(r.Below(256)) + "." + std::to_string(r.Below(256)) + "." +
           std::to_string(r.Below(256)) + "." + std::to_string(r.Below(256));
}

// Eight groups, written in full or with the longest zero run compressed.
std::string IPv6(Random& r, bool compress) {
    uint32_t groups[8];
    for (uint32_t& g : groups) g = r.Below(3) == 0 ? 0 : r.Next() & 0xFFFF;
    bool upper = r.Below(4) == 0;
    if (!compress) {
        std::string s;
        for (int i = 0; i < 8; ++i) s += (i ? ":" : "") + Hex(groups[i], upper);
        return s;
    }
    int start = static_cast<int>(r.Below(7)), length = 1 + static_cast<int>(r.Below(7 - start));
    std::string s;
    for (int i = 0; i < start; ++i) s += (i ? ":" : "") + Hex(groups[i], upper);
    s += "::";
    for (int i = start + length; i < 8; ++i)
        s += (i > start + length ? ":" : "") + Hex(groups[i], upper);
    return s;
}

std::string Invalid(Random& r) {
    switch (r.Below(8)) {
        case 0:
            return IPv4(r) + ".1";  // five fields
        case 1:
            return std::to_string(256 + r.Below(700)) + ".1.2.3";
        case 2:
            return IPv6(r, false) + ":1";  // nine groups
        case 3:
            return "1:::" + Hex(r.Next(), false);  // "::" twice
        case 4:
            return "fe80::" + Hex(r.Next(), false) + "g";
        case 5:
            return "12345::" + Hex(r.Next(), false);  // group too long
        case 6:
            return "printer" + std::to_string(r.Below(100));
        default:
            return "1::" + IPv4(r);  // "::" before a tail, not at the start
    }
}

struct Corpus {
    std::vector<std::string> narrow;  // what inet_pton reads
    std::vector<CString> wide;        // the same texts for us
    std::vector<std::pair<size_t, size_t>> pairs;
};

const Corpus& TheCorpus() {
    static const Corpus corpus = [] {
        Corpus c;
        Random r;
        for (int i = 0; i < 12000; ++i) {
            std::string text;
            switch (r.Below(10)) {
                case 0:
                case 1:
                case 2:
                    text = IPv4(r);
                    break;
                case 3:
                case 4:
                    text = IPv6(r, true);
                    break;
                case 5:
                    text = IPv6(r, false);
                    break;
                case 6:
                    text = "::ffff:" + IPv4(r);
                    break;
                default:
                    text = Invalid(r);
                    break;
            }
            c.narrow.push_back(text);
            c.wide.push_back(CString::FromUtf8(text));
        }
        // Comparison pairs: neighbours, and every fourth text against itself respelled in upper
        // case (the same address for IPv6, the same text otherwise).
        for (size_t i = 0; i + 1 < c.narrow.size(); ++i) {
            if (i % 4 == 0) {
                std::string upper = c.narrow[i];
                for (char& ch : upper)
                    if (ch >= 'a' && ch <= 'f') ch = static_cast<char>(ch - 32);
                c.narrow.push_back(upper);
                c.wide.push_back(CString::FromUtf8(upper));
                c.pairs.emplace_back(i, c.narrow.size() - 1);
            } else {
                c.pairs.emplace_back(i, i + 1);
            }
        }
        return c;
    }();
    return corpus;
}

constexpr size_t kTexts = 12000;  // the validators walk the first kTexts entries

// Walks the validators' share of the corpus once per iteration, checking each text with
// check(corpus, index).
template <typename Check>
void WalkTexts(benchmark::State& state, Check check) {
    const Corpus& c = TheCorpus();
    for (auto _ : state)
        for (size_t i = 0; i < kTexts; ++i) benchmark::DoNotOptimize(check(c, i));
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * kTexts));
}

int InetPton(int family, const std::string& text) {
    unsigned char out[16];
    return inet_pton(family, text.c_str(), out);
}

void BM_IsIPV4Address_Ours(benchmark::State& state) {
    WalkTexts(state, [](const Corpus& c, size_t i) { return CIPFormat::IsIPV4Address(c.wide[i]); });
}
void BM_IsIPV4Address_InetPton(benchmark::State& state) {
    WalkTexts(state, [](const Corpus& c, size_t i) { return InetPton(AF_INET, c.narrow[i]); });
}
void BM_IsValidIPV6Address_Ours(benchmark::State& state) {
    WalkTexts(state,
              [](const Corpus& c, size_t i) { return CIPFormat::IsValidIPV6Address(c.wide[i]); });
}
void BM_IsValidIPV6Address_InetPton(benchmark::State& state) {
    WalkTexts(state, [](const Corpus& c, size_t i) { return InetPton(AF_INET6, c.narrow[i]); });
}

void BM_IsSameIPAddress_Ours(benchmark::State& state) {
    const Corpus& c = TheCorpus();
    for (auto _ : state)
        for (const auto& [a, b] : c.pairs)
            benchmark::DoNotOptimize(CIPFormat::IsSameIPAddress(c.wide[a], c.wide[b]));
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * c.pairs.size()));
}

// The anchor's comparison: parse each text as IPv4, else as IPv6, and compare the bytes.
int ParseEither(const char* text, unsigned char out[16]) {
    if (inet_pton(AF_INET, text, out) == 1) return AF_INET;
    if (inet_pton(AF_INET6, text, out) == 1) return AF_INET6;
    return 0;
}

void BM_IsSameIPAddress_InetPton(benchmark::State& state) {
    const Corpus& c = TheCorpus();
    unsigned char x[16], y[16];
    for (auto _ : state) {
        for (const auto& [a, b] : c.pairs) {
            int fa = ParseEither(c.narrow[a].c_str(), x);
            int fb = ParseEither(c.narrow[b].c_str(), y);
            bool same = fa == fb && (fa == 0 ? c.narrow[a] == c.narrow[b]
                                             : std::memcmp(x, y, fa == AF_INET ? 4 : 16) == 0);
            benchmark::DoNotOptimize(same);
        }
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * c.pairs.size()));
}

BENCHMARK(BM_IsIPV4Address_Ours);
BENCHMARK(BM_IsIPV4Address_InetPton);
BENCHMARK(BM_IsValidIPV6Address_Ours);
BENCHMARK(BM_IsValidIPV6Address_InetPton);
BENCHMARK(BM_IsSameIPAddress_Ours);
BENCHMARK(BM_IsSameIPAddress_InetPton);

// Prints the usual table and remembers each benchmark's time for the ratios at the end.
class RatioReporter : public benchmark::ConsoleReporter {
  public:
    // With repetitions the median is used; a single run counts as it is.
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.run_type == Run::RT_Iteration ||
                (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median"))
                times_[run.run_name.function_name] = run.GetAdjustedCPUTime();
        }
        ConsoleReporter::ReportRuns(runs);
    }
    void PrintRatios() const {
        for (const char* name : {"IsIPV4Address", "IsValidIPV6Address", "IsSameIPAddress"}) {
            auto ours = times_.find(std::string("BM_") + name + "_Ours");
            auto anchor = times_.find(std::string("BM_") + name + "_InetPton");
            if (ours == times_.end() || anchor == times_.end() || anchor->second <= 0) continue;
            std::printf("ratio %-20s ours / inet_pton = %.2f (CPU time per text)\n", name,
                        ours->second / anchor->second);
        }
    }

  private:
    std::map<std::string, double> times_;
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    std::printf("corpus: %zu texts, %zu comparison pairs\n", kTexts, TheCorpus().pairs.size());
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintRatios();
    benchmark::Shutdown();
    return 0;
}
