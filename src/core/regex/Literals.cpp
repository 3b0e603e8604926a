#include "Literals.h"

#include <algorithm>
#include <array>

namespace qv::regex {
namespace {

constexpr std::array<std::uint8_t, 256> makeFrequencies()
{
    std::array<std::uint8_t, 256> f{};
    // Above ASCII, UTF-8's lead bytes recur with every letter of a script, while the bytes
    // that follow them tell the letters apart.
    for (int b = 0; b < 256; ++b)
        f[b] = b < 32 ? 4 : (b < 127 ? 60 : (b < 0xC0 ? 8 : 100));
    const char* tiers[] = {
        " ", // 255
        "etaoinsr", // 220
        "lcdhu_mpf\t", // 190
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
    std::uint8_t mask;
};
using Atoms = std::vector<Atom>;
using Spellings = std::vector<Atoms>; // the ways one piece of a branch is written, each in atoms

// A literal atom: one byte, or the two cases of one ASCII letter, or two bytes of UTF-8 that
// differ in one bit (the last bytes of a letter's two cases, often). CR and LF are excluded.
std::optional<Atom> atomOf(const ByteSet& bytes)
{
    const int count = bytes.count();
    const std::uint8_t b = bytes.first();
    if (b == '\r' || b == '\n')
        return std::nullopt;
    if (count == 1)
        return Atom{b, 0};
    if (count != 2)
        return std::nullopt;
    if (isAsciiLetter(b) && bytes.contains(otherCase(b)))
        return Atom{static_cast<std::uint8_t>(b | 0x20), 0x20};
    if (b >= 0x80) {
        ByteSet rest = bytes;
        rest.remove(b);
        const std::uint8_t other = rest.first();
        const auto bit = static_cast<std::uint8_t>(b ^ other);
        if ((bit & (bit - 1)) == 0)
            return Atom{other, bit};
    }
    return std::nullopt;
}

// The spellings a piece of a branch stands for: one atom for a byte set, one or more runs of
// atoms for a letter (whose case variants may differ in length or in their first bytes).
struct Piece {
    Atom atom{}; // when `spellings` is empty
    Spellings spellings; // a letter's
    [[nodiscard]] std::size_t count() const { return spellings.empty() ? 1 : spellings.size(); }
    template <class F> void forEachSpelling(F f) const
    {
        if (spellings.empty())
            f(&atom, &atom + 1);
        for (const Atoms& a : spellings)
            f(a.data(), a.data() + a.size());
    }
};

std::optional<Piece> pieceOf(const Node& n)
{
    if (n.kind == NodeKind::Bytes) {
        if (auto a = atomOf(n.bytes))
            return Piece{*a, {}};
        return std::nullopt;
    }
    if (n.kind != NodeKind::Letter)
        return std::nullopt;
    Piece piece;
    for (const Node& spelling : n.children) {
        Atoms atoms;
        for (const Node& b : spelling.children) {
            auto a = atomOf(b.bytes);
            if (!a)
                return std::nullopt;
            atoms.push_back(*a);
        }
        piece.spellings.push_back(std::move(atoms));
    }
    return piece;
}

Literal toLiteral(const Atoms& run)
{
    Literal lit;
    for (const Atom& a : run) {
        lit.bytes.push_back(static_cast<char>(a.byte));
        lit.mask.push_back(a.mask);
    }
    return lit;
}

double cost(const std::vector<Literal>& literals)
{
    double c = 0;
    for (const Literal& lit : literals)
        c += literalCost(lit);
    return c;
}

// A run: consecutive pieces.
using Run = std::vector<Piece>;

std::size_t spellingCount(const Run& run)
{
    std::size_t n = 1;
    for (const Piece& p : run)
        n *= p.count();
    return n;
}

// Every spelling of the pieces [first, last) of a run, with where piece `mark` begins in each.
std::vector<std::pair<Atoms, std::size_t>> spell(const Run& run, std::size_t first, std::size_t last, std::size_t mark)
{
    std::vector<std::pair<Atoms, std::size_t>> out{{{}, 0}};
    for (std::size_t k = first; k < last; ++k) {
        std::vector<std::pair<Atoms, std::size_t>> longer;
        for (const auto& spelt : out)
            run[k].forEachSpelling([&](const Atom* b, const Atom* e) {
                longer.emplace_back(spelt.first, k == mark ? spelt.first.size() : spelt.second);
                longer.back().first.insert(longer.back().first.end(), b, e);
            });
        out = std::move(longer);
    }
    return out;
}

// The literals that find a run: itself when it is spelled one way; else the cheapest stretch of
// pieces spelled one way, with the run's spellings around it; else each spelling on its own.
std::vector<Literal> runLiterals(const Run& run)
{
    if (spellingCount(run) == 1) {
        Literal lit;
        for (const Piece& piece : run)
            piece.forEachSpelling([&](const Atom* b, const Atom* e) {
                for (; b != e; ++b) {
                    lit.bytes.push_back(static_cast<char>(b->byte));
                    lit.mask.push_back(b->mask);
                }
            });
        return {std::move(lit)};
    }
    std::optional<std::pair<std::size_t, std::size_t>> core;
    double coreCost = 0;
    for (std::size_t k = 0; k < run.size();) {
        if (run[k].count() != 1) {
            ++k;
            continue;
        }
        std::size_t e = k;
        while (e < run.size() && run[e].count() == 1)
            ++e;
        const double c = literalCost(toLiteral(spell(run, k, e, k).front().first));
        if (!core || c < coreCost) {
            core = std::make_pair(k, e);
            coreCost = c;
        }
        k = e;
    }
    std::vector<Literal> literals;
    for (const auto& [atoms, at] : spell(run, 0, run.size(), core ? core->first : run.size())) {
        literals.push_back(toLiteral(atoms));
        literals.back().offset = at;
    }
    if (!core)
        return literals;
    Literal shared = toLiteral(spell(run, core->first, core->second, core->first).front().first);
    shared.around = std::move(literals);
    return {shared};
}

struct BranchLiteral {
    std::vector<Literal> best; // one of them occurs in every match of the branch
    bool exact = false; // the branch consists of what they find alone
};

// A run's spellings are tried where the part they share occurs, so a few letters spelled in
// two ways each keep the run whole; beyond this many spellings the run is cut.
constexpr std::size_t kMaxSpellings = 16;

BranchLiteral branchLiteral(const Node& branch)
{
    BranchLiteral result;
    Run run;
    std::size_t spellings = 1; // of the run, kept as it grows: a long literal is a long run
    bool exact = true;
    auto consider = [&] {
        if (run.empty())
            return;
        std::vector<Literal> literals = runLiterals(run);
        if (result.best.empty() || cost(literals) < cost(result.best))
            result.best = std::move(literals);
    };
    // Adds the piece to the run unless that makes too many spellings.
    auto extend = [&](const Piece& piece) {
        if (spellings * piece.count() > kMaxSpellings)
            return false;
        run.push_back(piece);
        spellings *= piece.count();
        return true;
    };
    auto restart = [&] {
        run.clear();
        spellings = 1;
    };
    for (const Node& piece : branch.children) {
        if (auto p = pieceOf(piece)) {
            if (extend(*p))
                continue;
            // Too many spellings: the run ends here and starts again with this piece.
            exact = false;
            consider();
            restart();
            extend(*p);
            continue;
        }
        exact = false;
        if (piece.kind == NodeKind::Plus) {
            if (auto p = pieceOf(piece.children.front())) {
                // One occurrence is required and ends the run; it also starts the next one.
                extend(*p);
                consider();
                restart();
                extend(*p);
                continue;
            }
        }
        if (piece.kind == NodeKind::LineBegin || piece.kind == NodeKind::LineEnd || piece.kind == NodeKind::WordBegin ||
            piece.kind == NodeKind::WordEnd)
            continue; // zero width: the bytes on either side are still adjacent
        consider();
        restart();
    }
    consider();
    // Every piece an atom or a letter: the run is the whole branch.
    result.exact = exact && !result.best.empty();
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
        if (lit.mask[i] != 0)
            freq += byteFrequency(static_cast<std::uint8_t>(b & ~lit.mask[i])) + 1.0;
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
        if (bl.best.empty())
            return std::nullopt;
        result.exactLines = result.exactLines && bl.exact;
        for (Literal& lit : bl.best)
            if (std::find(result.literals.begin(), result.literals.end(), lit) == result.literals.end())
                result.literals.push_back(std::move(lit));
    }
    return result;
}

} // namespace qv::regex
