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

// Prose in French, Greek and Russian, each word in lower, upper or title case.
const std::string& utf8Text()
{
    static const std::string t = [] {
        std::mt19937 rng(2);
        static const char* words[][3] = {
            {"\xC3\xA9\x63ole", "\xC3\x89\x43OLE", "\xC3\x89\x63ole"},
            {"caf\xC3\xA9", "CAF\xC3\x89", "Caf\xC3\xA9"},
            {"le", "LE", "Le"},
            {"\xCF\x89\xCE\xBC\xCE\xAD\xCE\xB3\xCE\xB1", "\xCE\xA9\xCE\x9C\xCE\x88\xCE\x93\xCE\x91",
             "\xCE\xA9\xCE\xBC\xCE\xAD\xCE\xB3\xCE\xB1"},
            {"\xCE\xBA\xCE\xB1\xCE\xB9", "\xCE\x9A\xCE\x91\xCE\x99", "\xCE\x9A\xCE\xB1\xCE\xB9"},
            {"\xD0\xBC\xD0\xB8\xD1\x80", "\xD0\x9C\xD0\x98\xD0\xA0", "\xD0\x9C\xD0\xB8\xD1\x80"},
            {"\xD0\xB8", "\xD0\x98", "\xD0\x98"},
            {"\xD0\xB4\xD0\xBE\xD0\xBC", "\xD0\x94\xD0\x9E\xD0\x9C", "\xD0\x94\xD0\xBE\xD0\xBC"},
        };
        std::string s;
        while (s.size() < (std::size_t{32} << 20)) {
            const int n = 3 + static_cast<int>(rng() % 10);
            for (int i = 0; i < n; ++i) {
                s += words[rng() % std::size(words)][rng() % 10 < 8 ? 0 : 1 + rng() % 2];
                s += ' ';
            }
            // One line in a thousand holds the rarer words searched for.
            if (rng() % 1000 == 0)
                s += rng() % 2 != 0 ? "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82 " : "Cr\xC3\xA8me ";
            s += '\n';
        }
        return s;
    }();
    return t;
}

void countLinesIn(benchmark::State& state, const std::string& text, const char* pattern, bool caseSensitive)
{
    const auto compiled = std::get<qv::regex::RegexPtr>(qv::regex::Regex::compile(pattern, caseSensitive));
    std::uint64_t n = 0;
    // One search object for all rounds, as a run keeps one for all its files (the copy of the
    // text into its buffer is part of the measure, as a read would be).
    qv::regex::LineSearch search(compiled);
    for (auto _ : state) {
        search.adopt({}, text, true);
        while (search.next()) { }
        n = search.close();
        benchmark::DoNotOptimize(n);
    }
    state.counters["lines"] = static_cast<double>(n);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}

void countLines(benchmark::State& state, const char* pattern, bool caseSensitive)
{
    countLinesIn(state, text(), pattern, caseSensitive); // the text is built before timing starts
}

void countUtf8Lines(benchmark::State& state, const char* pattern, bool caseSensitive)
{
    countLinesIn(state, utf8Text(), pattern, caseSensitive);
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
BENCHMARK_CAPTURE(countLines, literal_nocase_s, "struct", false)->Unit(benchmark::kMillisecond);
// UTF-8 letters folded: rare words, a common one, and the same spelled with its case.
BENCHMARK_CAPTURE(countUtf8Lines, folded_rare_cyrillic, "\xD0\x9F\xD0\xA0\xD0\x98\xD0\x92\xD0\x95\xD0\xA2", false)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(countUtf8Lines, folded_rare_latin, "CR\xC3\x88ME", false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(countUtf8Lines, folded_common_greek, "\xCE\xA9\xCE\x9C\xCE\x88\xCE\x93\xCE\x91", false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(countUtf8Lines, exact_rare_cyrillic, "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82", true)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(bufferMatches, literal, "PATH_MAX")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(bufferMatches, words, "\\<int\\>|\\<void\\>")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(bufferMatches, dense, "[a-z]+")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(compile, alternation, "alpha|beta|gamma|delta|epsilon&\\<x[a-z]*\\>")->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
