#pragma once

#include "Ast.h"
#include "Dfa.h"
#include "Prefilter.h"
#include "Program.h"

#include <memory>
#include <optional>
#include <string_view>
#include <variant>
#include <vector>

namespace qv::regex {

// Knobs for tests and benchmarks that need to force a particular engine path.
struct RegexOptions {
    std::size_t dfaBudget = Dfa::kDefaultBudget; // a tiny budget makes the DFAs give up at once
    bool prefilters = true;
};

// One conjunct of a compiled pattern: its program and literal prefilter. Immutable once built, so
// any number of threads search with it at once; the automata that grow caches as they are used
// live in an Automata object of each searching thread.
class Conjunct {
public:
    Conjunct(const Node& ast, const RegexOptions& options);
    Conjunct(const Conjunct&) = delete;
    Conjunct& operator=(const Conjunct&) = delete;

    [[nodiscard]] const Program& program() const { return program_; }
    // Candidate search for the literals every match contains, if there are such literals.
    [[nodiscard]] const Prefilter* prefilter() const { return prefilter_ ? &*prefilter_ : nullptr; }
    // A line holding a literal occurrence always matches (each branch is a plain literal).
    [[nodiscard]] bool exactLines() const { return exactLines_; }
    // The only branch is a plain literal: its occurrences are exactly the matches.
    [[nodiscard]] bool exactBuffer() const { return exactBuffer_; }
    // Relative cost of the prefilter (lower is better); infinite without one.
    [[nodiscard]] double prefilterCost() const { return prefilterCost_; }
    [[nodiscard]] std::size_t dfaBudget() const { return dfaBudget_; }

private:
    Program program_;
    std::optional<Prefilter> prefilter_;
    bool exactLines_ = false;
    bool exactBuffer_ = false;
    double prefilterCost_;
    std::size_t dfaBudget_;
};

class Regex;
// A compiled pattern is shared, read-only, by every search that uses it.
using RegexPtr = std::shared_ptr<const Regex>;

class Regex {
public:
    static std::variant<RegexPtr, CompileError> compile(std::string_view pattern, bool caseSensitive, const RegexOptions& options = {});

    [[nodiscard]] std::size_t size() const { return conjuncts_.size(); }
    [[nodiscard]] const Conjunct& conjunct(std::size_t k) const { return *conjuncts_[k]; }
    // The conjunct whose prefilter is cheapest: it drives the search, the others confirm.
    [[nodiscard]] std::size_t driver() const { return driver_; }

private:
    std::vector<std::unique_ptr<Conjunct>> conjuncts_;
    std::size_t driver_ = 0;
};

} // namespace qv::regex
