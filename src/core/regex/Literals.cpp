#include "Literals.h"

#include <algorithm>
#include <array>

namespace qv::regex {
namespace {

constexpr std::array<std::uint8_t, 256> makeFrequencies()
{
    std::array<std::uint8_t, 256> f{};
    for (int b = 0; b < 256; ++b)
        f[b] = b < 32 ? 4 : (b < 127 ? 60 : 8);
    const char* tiers[] = {
        " ",                  // 255
        "etaoinsr",           // 220
        "lcdhu_mpf\t",        // 190
        "gby,.()=;*/-0\"#1v", // 160
        "kwxEATSINRLCOD>{}<2:[]&'+3", // 130
        "PMUFBH4|5G6789!%jz\\@V$YKWXq?~`^JQZ", // 100
    };
    const std::uint8_t values[] = {255, 220, 190, 160, 130, 100};
    for (int t = 0; t < 6; ++t)
        for (const char* p = tiers[t]; *p != '\0'; ++p)
            f[static_cast<unsigned char>(*p)] = values[t];
    f['\n'] = 200;
    f['\r'] = 60;
    return f;
}

constexpr std::array<std::uint8_t, 256> kFrequencies = makeFrequencies();

struct Atom {
    std::uint8_t byte;
    bool fold;
};

// A literal atom: one byte, or the two cases of one ASCII letter. CR and LF are excluded.
std::optional<Atom> atomOf(const Node& n)
{
    if (n.kind != NodeKind::Bytes)
        return std::nullopt;
    const int count = n.bytes.count();
    const std::uint8_t b = n.bytes.first();
    if (b == '\r' || b == '\n')
        return std::nullopt;
    if (count == 1)
        return Atom{b, false};
    if (count == 2 && isAsciiLetter(b) && n.bytes.contains(otherCase(b)))
        return Atom{static_cast<std::uint8_t>(b | 0x20), true};
    return std::nullopt;
}

Literal toLiteral(const std::vector<Atom>& run)
{
    Literal lit;
    for (const Atom& a : run) {
        lit.bytes.push_back(static_cast<char>(a.byte));
        lit.fold.push_back(a.fold ? 1 : 0);
    }
    return lit;
}

struct BranchLiteral {
    std::optional<Literal> best;
    bool exact = false; // the branch consists of its literal alone
};

BranchLiteral branchLiteral(const Node& branch)
{
    BranchLiteral result;
    std::vector<Atom> run;
    bool exact = true;
    auto consider = [&] {
        if (run.empty())
            return;
        Literal lit = toLiteral(run);
        if (!result.best || literalCost(lit) < literalCost(*result.best))
            result.best = std::move(lit);
    };
    for (const Node& piece : branch.children) {
        if (auto atom = atomOf(piece)) {
            run.push_back(*atom);
            continue;
        }
        exact = false;
        if (piece.kind == NodeKind::Plus) {
            if (auto atom = atomOf(piece.children.front())) {
                // One occurrence is required and ends the run; it also starts the next one.
                run.push_back(*atom);
                consider();
                run.assign(1, *atom);
                continue;
            }
        }
        if (piece.kind == NodeKind::LineBegin || piece.kind == NodeKind::LineEnd || piece.kind == NodeKind::WordBegin ||
            piece.kind == NodeKind::WordEnd)
            continue; // zero width: the bytes on either side are still adjacent
        consider();
        run.clear();
    }
    consider();
    result.exact = exact && result.best && result.best->bytes.size() == branch.children.size();
    return result;
}

} // namespace

std::uint8_t byteFrequency(std::uint8_t b)
{
    return kFrequencies[b];
}

double literalCost(const Literal& lit)
{
    // The two rarest bytes decide how often a candidate turns up; a longer literal is verified
    // more cheaply per candidate than it costs, so length only breaks ties.
    std::vector<double> p;
    for (std::size_t i = 0; i < lit.bytes.size(); ++i) {
        auto b = static_cast<std::uint8_t>(lit.bytes[i]);
        double freq = byteFrequency(b) + 1.0;
        if (lit.fold[i])
            freq += byteFrequency(otherCase(b)) + 1.0;
        p.push_back(freq / 256.0);
    }
    std::sort(p.begin(), p.end());
    double cost = p[0] * (p.size() > 1 ? p[1] : 1.0);
    return cost / (1.0 + 0.01 * static_cast<double>(lit.bytes.size()));
}

std::optional<RequiredLiterals> requiredLiterals(const Node& conjunct)
{
    RequiredLiterals result;
    result.exactLines = true;
    for (const Node& branch : conjunct.children) {
        BranchLiteral bl = branchLiteral(branch);
        if (!bl.best)
            return std::nullopt;
        result.exactLines = result.exactLines && bl.exact;
        if (std::find(result.literals.begin(), result.literals.end(), *bl.best) == result.literals.end())
            result.literals.push_back(std::move(*bl.best));
    }
    return result;
}

} // namespace qv::regex
