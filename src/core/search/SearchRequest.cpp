#include "SearchRequest.h"

#include "platform/AsciiCase.h"
#include "regex/Regex.h"

#include <algorithm>

namespace qv {
namespace {

constexpr std::string_view kMetacharacters = "\\|&^$.*+-[]";

bool isBlankOrControl(char c)
{
    return static_cast<unsigned char>(c) <= ' ';
}

std::string trim(std::string_view s)
{
    std::size_t b = 0, e = s.size();
    while (b < e && isBlankOrControl(s[b]))
        ++b;
    while (e > b && isBlankOrControl(s[e - 1]))
        --e;
    return std::string(s.substr(b, e - b));
}

// Whether the byte at i stands after a backslash that escapes it.
bool isEscaped(std::string_view text, std::size_t i)
{
    std::size_t backslashes = 0;
    while (i > backslashes && text[i - backslashes - 1] == '\\')
        ++backslashes;
    return backslashes % 2 == 1;
}

// A "$" that a backslash escapes stands for itself and is not the line end.
bool endsWithLineEnd(std::string_view text)
{
    return !text.empty() && text.back() == '$' && !isEscaped(text, text.size() - 1);
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

// Each alternative and each conjunct made a whole word of its own; a "^" or "$" anchor is
// already a word edge, so it gets none. Blanks around a piece ("cat | dog") stay outside its
// word edges. "|" and "&" inside a byte class or after a backslash do not separate.
std::string wholeWords(std::string_view pattern)
{
    std::string out;
    std::size_t start = 0;
    const auto piece = [&](std::size_t end) {
        const std::string_view p = pattern.substr(start, end - start);
        std::size_t b = 0, e = p.size();
        while (b < e && isBlank(p[b]))
            ++b;
        while (e > b && isBlank(p[e - 1]) && !isEscaped(p, e - 1))
            --e;
        const std::string_view word = p.substr(b, e - b);
        out += p.substr(0, b);
        if (b > 0 || word.empty() || word.front() != '^')
            out += "\\<";
        out += word;
        if (e < p.size() || !endsWithLineEnd(word))
            out += "\\>";
        out += p.substr(e);
    };
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const char c = pattern[i];
        if (c == '\\') {
            ++i;
        } else if (c == '[') {
            ++i;
            if (i < pattern.size() && pattern[i] == '^')
                ++i;
            if (i < pattern.size() && pattern[i] == ']')
                ++i;
            for (; i < pattern.size() && pattern[i] != ']'; ++i)
                if (pattern[i] == '\\')
                    ++i;
        } else if (c == '|' || c == '&') {
            piece(i);
            out += c;
            start = i + 1;
        }
    }
    piece(pattern.size());
    return out;
}

RequestVerdict refuse(std::string message, std::string caption)
{
    RequestVerdict v;
    v.message = std::move(message);
    v.caption = std::move(caption);
    return v;
}

} // namespace

RequestVerdict PrepareRequest(const SearchRequest& r)
{
    if (r.StartDirectory.empty() || r.RootSelected)
        return refuse("A directory must be selected - You cannot select " + r.SelectedCaption, "Error");
    if (r.SearchText.empty() || (r.FileSpecs.empty() && !r.SearchListed))
        return refuse("File specification and search text must be entered", "Error");
    if (!r.Literal) {
        if (std::find(BarePatterns.begin(), BarePatterns.end(), r.SearchText) != BarePatterns.end())
            return refuse("Search pattern cannot consist only of \"" + r.SearchText + "\"", "Regular Expression Error");
        auto compiled = regex::Regex::compile(r.SearchText, false);
        if (auto* err = std::get_if<regex::CompileError>(&compiled))
            return refuse(err->message, "Regular Expression Error");
    }
    RequestVerdict ok;
    ok.accepted = true;
    ok.pattern = PreparePattern(r.SearchText, r.Literal, r.Word);
    // What passed the test compile compiles again once prepared; a failure is still told, never
    // searched with.
    auto compiled = regex::Regex::compile(ok.pattern, r.Case);
    if (auto* err = std::get_if<regex::CompileError>(&compiled))
        return refuse(err->message, "Regular Expression Error");
    ok.regex = std::get<regex::RegexPtr>(std::move(compiled));
    return ok;
}

std::string PreparePattern(std::string_view searchText, bool literal, bool word)
{
    std::string pattern;
    if (literal) {
        for (char c : searchText) {
            if (kMetacharacters.find(c) != std::string_view::npos)
                pattern += '\\';
            pattern += c;
        }
        return word ? "\\<" + pattern + "\\>" : pattern;
    }
    pattern = word ? wholeWords(searchText) : std::string(searchText);
    if (endsWithLineEnd(pattern)) {
        pattern.pop_back();
        pattern += "\\r\\n";
    }
    return pattern;
}

std::vector<std::string> SplitFileSpecs(std::string_view fileSpecs, bool searchZip)
{
    std::string text = platform::AsciiUpper(fileSpecs);
    if (searchZip && text.find("*.*") == std::string::npos && text.find("*.ZIP") == std::string::npos)
        text += ",*.ZIP";
    std::vector<std::string> masks;
    std::size_t pos = 0;
    for (;;) {
        bool quoted = false;
        std::size_t cut = std::string::npos;
        for (std::size_t i = pos; i < text.size(); ++i) {
            if (text[i] == '"')
                quoted = !quoted;
            else if (text[i] == ',' && !quoted) {
                cut = i;
                break;
            }
        }
        if (cut == std::string::npos) {
            masks.push_back(trim(std::string_view(text).substr(std::min(pos, text.size()))));
            break;
        }
        masks.push_back(trim(std::string_view(text).substr(pos, cut - pos)));
        pos = cut + 1;
        if (pos >= text.size())
            break;
    }
    return masks;
}

} // namespace qv
