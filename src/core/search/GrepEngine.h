#pragma once

#include "regex/Ast.h"
#include "regex/BufferSearch.h"
#include "regex/LineSearch.h"
#include "regex/MatchScanner.h"
#include "regex/Regex.h"
#include "regex/TextSource.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace qv {

using regex::ByteMap;
using regex::CompileError;
using regex::Match;

// A compiled pattern. Compile once, then search any number of buffers and files with it, one
// search at a time (its automata grow caches as they are used).
class CompiledPattern {
public:
    explicit CompiledPattern(std::shared_ptr<regex::Regex> regex) : regex_(std::move(regex)) {}
    [[nodiscard]] const std::shared_ptr<regex::Regex>& regex() const { return regex_; }

private:
    std::shared_ptr<regex::Regex> regex_;
};

using CompileResult = std::variant<CompiledPattern, CompileError>;

// Compiles `pattern`; with caseSensitive off, ASCII letters match either case.
CompileResult CompileRGrep(std::string_view pattern, bool caseSensitive);

// The buffer search over one text held in memory: RGrep(from) gives the leftmost-longest match
// starting at or after `from`. Continuing from a match's end (one byte further after an empty
// match) walks through all matches in one pass.
class BufferGrep {
public:
    BufferGrep(const CompiledPattern& pattern, std::string_view text, const ByteMap& map = regex::identityByteMap());
    std::optional<Match> RGrep(std::size_t from);

private:
    regex::MemorySource source_;
    regex::BufferSearch search_;
};

// What SFileRGrep does: count matching lines, or hand each one out as "number:text" + CR LF.
enum class SFileMode { Count, List };
inline constexpr SFileMode CountFlags = SFileMode::Count;
inline constexpr SFileMode ListFlags = SFileMode::List;

// The line search of one file at a time.
class GrepEngine {
public:
    // Compiles for the line search; on failure error() tells why.
    bool SCompileRGrep(std::string_view pattern, bool caseSensitive);
    // Uses a pattern compiled earlier (compile once per run, search many files).
    void SCompileRGrep(const CompiledPattern& pattern);
    [[nodiscard]] const std::optional<CompileError>& error() const { return error_; }

    void SFileSetFlags(SFileMode mode);
    // Starts the search of a file. False when there is no compiled pattern or the file cannot
    // be opened; the search then counts nothing.
    bool SFileOpen(const std::string& path);
    // Starts the search of a file already open, whose first bytes were read.
    bool SFileAdopt(int fd, std::string_view firstBytes, bool atEof);
    // The same, taking the buffer that holds the first `filled` bytes (swapped for another).
    bool SFileAdoptBlock(int fd, std::vector<std::uint8_t>& buffer, std::size_t filled, bool atEof);
    // Count: an empty view while the file goes on, nothing at its end. List: the next matching
    // line, valid until the next call, or nothing at the end.
    std::optional<std::string_view> SFileRGrep();
    // Ends the search of the file; the number of matching lines found.
    std::uint64_t SFileClose();
    [[nodiscard]] bool readError() const { return search_ && search_->readError(); }

private:
    std::optional<CompileError> error_;
    std::unique_ptr<regex::LineSearch> search_;
    std::shared_ptr<regex::Regex> searchRegex_;
    SFileMode mode_ = SFileMode::Count;
    bool open_ = false;
};

} // namespace qv
