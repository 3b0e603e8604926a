#include "Parser.h"

#include "platform/CaseFolding.h"
#include "platform/Utf8.h"

#include <algorithm>
#include <map>
#include <string>

namespace qv::regex {
namespace {

constexpr std::uint8_t kCR = '\r';
constexpr std::uint8_t kLF = '\n';

std::string quoted(std::uint8_t c)
{
    return std::string("\"") + static_cast<char>(c) + "\"";
}

CompileError errorAt(std::size_t index, std::string problem)
{
    // Positions are 1-based for the user.
    return CompileError{problem + " at position " + std::to_string(index + 1), index + 1};
}

class Parser {
public:
    Parser(std::string_view pattern, bool caseSensitive) : text_(pattern), caseSensitive_(caseSensitive) { }

    std::variant<ParsedPattern, CompileError> run()
    {
        if (text_.empty())
            return CompileError{"The pattern is empty", 0};
        ParsedPattern result;
        Node alternation{NodeKind::Alternate, {}, {}};
        Node branch{NodeKind::Concat, {}, {}};
        bool lastWasQuantifier = false;

        for (std::size_t i = 0; i < text_.size();) {
            const auto c = static_cast<std::uint8_t>(text_[i]);
            if (c == '|' || c == '&') {
                if (branch.children.empty())
                    return errorAt(i, std::string("Nothing to match before ") + quoted(c));
                if (i + 1 == text_.size())
                    return errorAt(i, std::string("Nothing to match after ") + quoted(c));
                alternation.children.push_back(std::move(branch));
                branch = Node{NodeKind::Concat, {}, {}};
                if (c == '&') {
                    result.conjuncts.push_back(std::move(alternation));
                    alternation = Node{NodeKind::Alternate, {}, {}};
                }
                lastWasQuantifier = false;
                ++i;
                continue;
            }
            if (c == '*' || c == '+' || c == '-') {
                if (canRepeat(branch, lastWasQuantifier)) {
                    Node& last = branch.children.back();
                    Node inner = std::move(last);
                    last = Node{c == '*' ? NodeKind::Star : (c == '+' ? NodeKind::Plus : NodeKind::Optional), {}, {}};
                    last.children.push_back(std::move(inner));
                    lastWasQuantifier = true;
                } else {
                    branch.children.push_back(literal(c));
                    lastWasQuantifier = false;
                }
                ++i;
                continue;
            }
            lastWasQuantifier = false;
            switch (c) {
            case '\\': {
                if (i + 1 == text_.size())
                    return errorAt(i, "The pattern ends with a lone \"\\\"");
                const auto e = static_cast<std::uint8_t>(text_[i + 1]);
                if (e == '<')
                    branch.children.push_back(Node{NodeKind::WordBegin, {}, {}});
                else if (e == '>')
                    branch.children.push_back(Node{NodeKind::WordEnd, {}, {}});
                else if (e == 'r' || e == 'n')
                    branch.children.push_back(literal(escaped(e)));
                else {
                    std::size_t length = 0;
                    branch.children.push_back(character(i + 1, length));
                    i += length - 1;
                }
                i += 2;
                break;
            }
            case '[': {
                auto cls = parseClass(i);
                if (auto* err = std::get_if<CompileError>(&cls))
                    return *err;
                branch.children.push_back(std::get<Node>(std::move(cls)));
                break;
            }
            case '.': {
                ByteSet any = ByteSet::all();
                any.remove(kCR);
                any.remove(kLF);
                branch.children.push_back(Node{NodeKind::Bytes, any, {}});
                ++i;
                break;
            }
            case '^':
                branch.children.push_back(branch.children.empty() ? Node{NodeKind::LineBegin, {}, {}} : literal(c));
                ++i;
                break;
            case '$':
                branch.children.push_back(atBranchEnd(i) ? Node{NodeKind::LineEnd, {}, {}} : literal(c));
                ++i;
                break;
            default: {
                std::size_t length = 0;
                branch.children.push_back(character(i, length));
                i += length;
                break;
            }
            }
        }
        alternation.children.push_back(std::move(branch));
        result.conjuncts.push_back(std::move(alternation));
        return result;
    }

private:
    static std::uint8_t escaped(std::uint8_t e)
    {
        if (e == 'r')
            return kCR;
        if (e == 'n')
            return kLF;
        return e;
    }

    // A quantifier repeats the atom before it; with nothing repeatable there (start of a branch,
    // an anchor, another quantifier) it stands for itself.
    static bool canRepeat(const Node& branch, bool lastWasQuantifier)
    {
        if (lastWasQuantifier || branch.children.empty())
            return false;
        const NodeKind k = branch.children.back().kind;
        return k == NodeKind::Bytes || k == NodeKind::Letter;
    }

    bool atBranchEnd(std::size_t i) const { return i + 1 == text_.size() || text_[i + 1] == '|' || text_[i + 1] == '&'; }

    Node literal(std::uint8_t c) const
    {
        ByteSet s = ByteSet::single(c);
        if (!caseSensitive_)
            s.add(otherCase(c));
        return Node{NodeKind::Bytes, s, {}};
    }

    // The UTF-8 letter with case variants that starts at i, when case is ignored. Bytes that are
    // not UTF-8 stand for themselves. An ASCII letter keeps to its two ASCII cases: the two
    // characters beyond ASCII that fold to ASCII letters (the Kelvin sign to "k", the long s to
    // "s") would cost every search for an ASCII word with those letters a second look at every
    // byte; a pattern that names them still finds the ASCII letters.
    std::optional<std::pair<platform::Utf8Char, std::vector<char32_t>>> foldedLetterAt(std::size_t i) const
    {
        if (caseSensitive_ || static_cast<std::uint8_t>(text_[i]) < 0x80)
            return std::nullopt;
        const auto c = platform::DecodeUtf8(text_.substr(i));
        if (!c)
            return std::nullopt;
        std::vector<char32_t> variants = platform::CaseVariants(c->code);
        if (variants.size() < 2)
            return std::nullopt;
        return std::make_pair(*c, std::move(variants));
    }

    // The character at i and its length in bytes: one byte, or a letter that matches each of its
    // case variants. The variants' UTF-8 spellings are grouped by length and all but their last
    // byte, so "é" and "É" (C3 A9, C3 89) become one spelling whose last byte is one of two.
    Node character(std::size_t i, std::size_t& length) const
    {
        const auto letter = foldedLetterAt(i);
        length = letter ? letter->first.length : 1;
        if (!letter)
            return literal(static_cast<std::uint8_t>(text_[i]));
        std::map<std::string, ByteSet> lastBytes; // by the spelling without its last byte
        for (const char32_t v : letter->second) {
            std::string spelling;
            platform::AppendUtf8(spelling, v);
            lastBytes[spelling.substr(0, spelling.size() - 1)].add(static_cast<std::uint8_t>(spelling.back()));
        }
        Node node{NodeKind::Letter, {}, {}};
        for (const auto& [start, last] : lastBytes) {
            Node spelling{NodeKind::Concat, {}, {}};
            for (const char b : start)
                spelling.children.push_back(Node{NodeKind::Bytes, ByteSet::single(static_cast<std::uint8_t>(b)), {}});
            spelling.children.push_back(Node{NodeKind::Bytes, last, {}});
            node.children.push_back(std::move(spelling));
        }
        return node;
    }

    std::variant<Node, CompileError> parseClass(std::size_t& i) const
    {
        const std::size_t open = i;
        std::size_t j = i + 1;
        bool negate = false;
        if (j < text_.size() && text_[j] == '^') {
            negate = true;
            ++j;
        }
        ByteSet set;
        bool first = true;
        bool previousIsSingle = false; // the last item was a single byte that may start a range
        std::uint8_t previous = 0;
        for (;;) {
            if (j >= text_.size())
                return errorAt(open, "Missing \"]\" to close the \"[\"");
            auto c = static_cast<std::uint8_t>(text_[j]);
            if (c == ']' && !first)
                break;
            const std::size_t itemPos = j;
            if (c == '\\') {
                if (j + 1 >= text_.size())
                    return errorAt(open, "Missing \"]\" to close the \"[\"");
                c = escaped(static_cast<std::uint8_t>(text_[j + 1]));
                j += 2;
            } else if (c == '-' && !first && previousIsSingle && j + 1 < text_.size() && text_[j + 1] != ']') {
                // A range: previous byte, '-', next byte (which may be escaped).
                std::size_t k = j + 1;
                auto hi = static_cast<std::uint8_t>(text_[k]);
                if (hi == '\\') {
                    if (k + 1 >= text_.size())
                        return errorAt(open, "Missing \"]\" to close the \"[\"");
                    hi = escaped(static_cast<std::uint8_t>(text_[k + 1]));
                    k += 2;
                } else {
                    ++k;
                }
                if (hi < previous)
                    return errorAt(itemPos - 1,
                                   "The range \"" + std::string(text_.substr(itemPos - 1, k - itemPos + 1)) + "\" runs backwards");
                set.addRange(previous, hi);
                previousIsSingle = false;
                first = false;
                j = k;
                continue;
            } else {
                ++j;
            }
            set.add(c);
            previous = c;
            previousIsSingle = true;
            first = false;
        }
        i = j + 1;
        if (!caseSensitive_) {
            ByteSet folded = set;
            for (unsigned b = 0; b < 256; ++b)
                if (set.contains(static_cast<std::uint8_t>(b)))
                    folded.add(otherCase(static_cast<std::uint8_t>(b)));
            set = folded;
        }
        if (negate) {
            set = set.complement();
            set.remove(kCR);
            set.remove(kLF);
        }
        return Node{NodeKind::Bytes, set, {}};
    }

    std::string_view text_;
    bool caseSensitive_;
};

} // namespace

std::variant<ParsedPattern, CompileError> parse(std::string_view pattern, bool caseSensitive)
{
    return Parser(pattern, caseSensitive).run();
}

} // namespace qv::regex
