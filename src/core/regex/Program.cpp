#include "Program.h"

#include <algorithm>
#include <map>

namespace qv::regex {
namespace {

// A hole is an unfilled out pointer of an instruction: (index << 1) | which.
using Hole = std::uint32_t;

struct Fragment {
    std::uint32_t start;
    std::vector<Hole> holes;
};

class Compiler {
public:
    Program run(const Node& conjunct)
    {
        Fragment f = compile(conjunct);
        const auto match = addInst(Inst{Inst::Op::Match, {}, 0, 0, 0});
        patch(f.holes, match);
        prog_.start = f.start;
        computeLengths(conjunct);
        buildClasses();
        return std::move(prog_);
    }

private:
    std::uint32_t addInst(const Inst& inst)
    {
        prog_.insts.push_back(inst);
        return static_cast<std::uint32_t>(prog_.insts.size() - 1);
    }

    void patch(const std::vector<Hole>& holes, std::uint32_t target)
    {
        for (Hole h : holes) {
            Inst& inst = prog_.insts[h >> 1];
            (h & 1U) ? inst.out1 = target : inst.out = target;
        }
    }

    std::uint32_t setIndex(const ByteSet& s)
    {
        auto it = setIds_.find(s.words());
        if (it != setIds_.end())
            return it->second;
        prog_.sets.push_back(s);
        const auto id = static_cast<std::uint32_t>(prog_.sets.size() - 1);
        setIds_.emplace(s.words(), id);
        if (s.contains('\n'))
            prog_.canMatchLF = true;
        return id;
    }

    Fragment compile(const Node& n)
    {
        switch (n.kind) {
        case NodeKind::Bytes: {
            const auto i = addInst(Inst{Inst::Op::Byte, {}, 0, 0, setIndex(n.bytes)});
            return {i, {i << 1}};
        }
        case NodeKind::LineBegin:
        case NodeKind::LineEnd:
        case NodeKind::WordBegin:
        case NodeKind::WordEnd: {
            const auto i = addInst(Inst{Inst::Op::Assert, assertionOf(n.kind), 0, 0, 0});
            return {i, {i << 1}};
        }
        case NodeKind::Concat: {
            Fragment f = compile(n.children.front());
            for (std::size_t k = 1; k < n.children.size(); ++k) {
                Fragment g = compile(n.children[k]);
                patch(f.holes, g.start);
                f.holes = std::move(g.holes);
            }
            return f;
        }
        case NodeKind::Alternate:
        case NodeKind::Letter: {
            Fragment f = compile(n.children.back());
            for (std::size_t k = n.children.size() - 1; k-- > 0;) {
                Fragment g = compile(n.children[k]);
                const auto s = addInst(Inst{Inst::Op::Split, {}, g.start, f.start, 0});
                g.holes.insert(g.holes.end(), f.holes.begin(), f.holes.end());
                f = Fragment{s, std::move(g.holes)};
            }
            return f;
        }
        case NodeKind::Star: {
            Fragment body = compile(n.children.front());
            const auto s = addInst(Inst{Inst::Op::Split, {}, body.start, 0, 0});
            patch(body.holes, s);
            return {s, {(s << 1) | 1U}};
        }
        case NodeKind::Plus: {
            Fragment body = compile(n.children.front());
            const auto s = addInst(Inst{Inst::Op::Split, {}, body.start, 0, 0});
            patch(body.holes, s);
            return {body.start, {(s << 1) | 1U}};
        }
        case NodeKind::Optional: {
            Fragment body = compile(n.children.front());
            const auto s = addInst(Inst{Inst::Op::Split, {}, body.start, 0, 0});
            body.holes.push_back((s << 1) | 1U);
            return {s, std::move(body.holes)};
        }
        }
        return {0, {}};
    }

    static Assertion assertionOf(NodeKind k)
    {
        switch (k) {
        case NodeKind::LineBegin: return Assertion::LineBegin;
        case NodeKind::LineEnd: return Assertion::LineEnd;
        case NodeKind::WordBegin: return Assertion::WordBegin;
        default: return Assertion::WordEnd;
        }
    }

    // Shortest and longest match lengths.
    static std::pair<std::size_t, std::optional<std::size_t>> lengths(const Node& n)
    {
        switch (n.kind) {
        case NodeKind::Bytes: return {1, 1};
        case NodeKind::Concat: {
            std::size_t lo = 0;
            std::optional<std::size_t> hi = 0;
            for (const Node& c : n.children) {
                auto [l, h] = lengths(c);
                lo += l;
                hi = (hi && h) ? std::optional<std::size_t>(*hi + *h) : std::nullopt;
            }
            return {lo, hi};
        }
        case NodeKind::Alternate:
        case NodeKind::Letter: {
            std::size_t lo = SIZE_MAX;
            std::optional<std::size_t> hi = 0;
            for (const Node& c : n.children) {
                auto [l, h] = lengths(c);
                lo = std::min(lo, l);
                hi = (hi && h) ? std::optional<std::size_t>(std::max(*hi, *h)) : std::nullopt;
            }
            return {lo, hi};
        }
        case NodeKind::Star: return {0, std::nullopt};
        case NodeKind::Plus: return {lengths(n.children.front()).first, std::nullopt};
        case NodeKind::Optional: return {0, lengths(n.children.front()).second};
        default: return {0, 0};
        }
    }

    void computeLengths(const Node& conjunct) { prog_.maxLength = lengths(conjunct).second; }

    // Partition refinement of the alphabet by every byte set and by the assertion-relevant
    // properties (word byte, CR, LF).
    void buildClasses()
    {
        ByteClasses& bc = prog_.classes;
        bc.classOf.fill(0);
        int count = 1;
        auto refine = [&](auto&& contains) {
            std::vector<int> split(static_cast<std::size_t>(count) * 2, -1);
            int next = 0;
            std::array<std::uint8_t, 256> fresh{};
            for (unsigned b = 0; b < 256; ++b) {
                const int key = bc.classOf[b] * 2 + (contains(static_cast<std::uint8_t>(b)) ? 1 : 0);
                if (split[static_cast<std::size_t>(key)] < 0)
                    split[static_cast<std::size_t>(key)] = next++;
                fresh[b] = static_cast<std::uint8_t>(split[static_cast<std::size_t>(key)]);
            }
            bc.classOf = fresh;
            count = next;
        };
        refine([](std::uint8_t b) { return isWordByte(b); });
        refine([](std::uint8_t b) { return b == '\r'; });
        refine([](std::uint8_t b) { return b == '\n'; });
        for (const ByteSet& s : prog_.sets) {
            if (count == 256)
                break;
            refine([&](std::uint8_t b) { return s.contains(b); });
        }
        bc.representative.assign(static_cast<std::size_t>(count), 0);
        bc.isWord.assign(static_cast<std::size_t>(count), 0);
        bc.isCR.assign(static_cast<std::size_t>(count), 0);
        bc.isLF.assign(static_cast<std::size_t>(count), 0);
        for (unsigned b = 256; b-- > 0;) {
            const auto c = bc.classOf[b];
            bc.representative[c] = static_cast<std::uint8_t>(b);
            bc.isWord[c] = isWordByte(static_cast<std::uint8_t>(b)) ? 1 : 0;
            bc.isCR[c] = b == '\r' ? 1 : 0;
            bc.isLF[c] = b == '\n' ? 1 : 0;
        }
    }

    Program prog_;
    std::map<std::array<std::uint64_t, 4>, std::uint32_t> setIds_;
};

} // namespace

Program compileProgram(const Node& conjunct)
{
    return Compiler().run(conjunct);
}

} // namespace qv::regex
