// Micro-benchmarks of the pattern engine on a synthetic source-like text held in memory.
#include "regex/BufferSearch.h"
#include "regex/LineSearch.h"

#include <benchmark/benchmark.h>

#include <random>

namespace {

const std::string& text()
{
    static const std::string t = [] {
        std::mt19937 rng(1);
        static const char* words[] = {"int",      "void",   "static", "return", "if",        "else",     "struct", "buffer", "length",
                                      "PATH_MAX", "printf", "(",      ")",      ";",         "{",        "}",      "=",      "const",
                                      "char",     "*",      "x",      "count",  "_internal", "uint32_t", "size_t", "NULL"};
        std::string s;
        while (s.size() < (std::size_t{32} << 20)) {
            const int n = 3 + static_cast<int>(rng() % 10);
            for (int i = 0; i < n; ++i) {
                s += words[rng() % std::size(words)];
                s += ' ';
            }
            s += '\n';
        }
        return s;
    }();
    return t;
}

void countLines(benchmark::State& state, const char* pattern, bool caseSensitive)
{
    const auto compiled = std::get<qv::regex::RegexPtr>(qv::regex::Regex::compile(pattern, caseSensitive));
    benchmark::DoNotOptimize(text().size()); // built before timing starts
    std::uint64_t n = 0;
    // One search object for all rounds, as a run keeps one for all its files (the copy of the
    // text into its buffer is part of the measure, as a read would be).
    qv::regex::LineSearch search(compiled);
    for (auto _ : state) {
        search.adopt(-1, text(), true);
        while (search.next()) { }
        n = search.close();
        benchmark::DoNotOptimize(n);
    }
    state.counters["lines"] = static_cast<double>(n);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text().size()));
}

void bufferMatches(benchmark::State& state, const char* pattern)
{
    const auto compiled = std::get<qv::regex::RegexPtr>(qv::regex::Regex::compile(pattern, true));
    benchmark::DoNotOptimize(text().size());
    std::uint64_t n = 0;
    for (auto _ : state) {
        qv::regex::MemorySource source(text());
        qv::regex::BufferSearch grep(compiled, source);
        n = 0;
        std::size_t from = 0;
        while (auto m = grep.RGrep(from)) {
            ++n;
            from = m->end + (m->begin == m->end ? 1 : 0);
        }
        benchmark::DoNotOptimize(n);
    }
    state.counters["matches"] = static_cast<double>(n);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text().size()));
}

void compile(benchmark::State& state, const char* pattern)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(qv::regex::Regex::compile(pattern, false));
}

BENCHMARK_CAPTURE(countLines, literal, "PATH_MAX", true)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(countLines, literal_nocase, "path_max", false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(countLines, class_then_literal, "[a-z]+_MAX", true)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(countLines, words, "\\<int\\>|\\<void\\>", true)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(countLines, no_literal, "[0-9][0-9][0-9]", true)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(countLines, conjunction, "static&return", true)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(bufferMatches, literal, "PATH_MAX")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(bufferMatches, words, "\\<int\\>|\\<void\\>")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(bufferMatches, dense, "[a-z]+")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(compile, alternation, "alpha|beta|gamma|delta|epsilon&\\<x[a-z]*\\>")->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
