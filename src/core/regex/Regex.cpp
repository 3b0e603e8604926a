#include "Regex.h"

#include "Parser.h"

#include <limits>

namespace qv::regex {
namespace {
// More literals than this are not worth separate passes; the DFA is faster then.
constexpr std::size_t kMaxPrefilterLiterals = 6;
} // namespace

Conjunct::Conjunct(const Node& ast, const RegexOptions& options)
    : program_(compileProgram(ast)), prefilterCost_(std::numeric_limits<double>::infinity()), dfaBudget_(options.dfaBudget)
{
    if (!options.prefilters)
        return;
    auto required = requiredLiterals(ast);
    if (!required || required->literals.size() > kMaxPrefilterLiterals)
        return;
    double cost = 0;
    for (const Literal& lit : required->literals)
        cost += literalCost(lit);
    prefilterCost_ = cost;
    prefilter_.emplace(required->literals);
    exactLines_ = required->exactLines;
    exactBuffer_ = required->exactLines && ast.children.size() == 1;
}

std::variant<RegexPtr, CompileError> Regex::compile(std::string_view pattern, bool caseSensitive, const RegexOptions& options)
{
    auto parsed = parse(pattern, caseSensitive);
    if (auto* err = std::get_if<CompileError>(&parsed))
        return *err;
    auto regex = std::make_shared<Regex>();
    for (const Node& c : std::get<ParsedPattern>(parsed).conjuncts)
        regex->conjuncts_.push_back(std::make_unique<Conjunct>(c, options));
    for (std::size_t k = 1; k < regex->conjuncts_.size(); ++k)
        if (regex->conjuncts_[k]->prefilterCost() < regex->conjuncts_[regex->driver_]->prefilterCost())
            regex->driver_ = k;
    return RegexPtr(std::move(regex));
}

} // namespace qv::regex
