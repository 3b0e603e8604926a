#include "GrepEngine.h"

namespace qv {

CompileResult CompileRGrep(std::string_view pattern, bool caseSensitive)
{
    auto compiled = regex::Regex::compile(pattern, caseSensitive);
    if (auto* err = std::get_if<CompileError>(&compiled))
        return *err;
    return CompiledPattern(std::get<std::shared_ptr<regex::Regex>>(std::move(compiled)));
}

BufferGrep::BufferGrep(const CompiledPattern& pattern, std::string_view text, const ByteMap& map)
    : source_(text), search_(pattern.regex(), source_, map)
{
}

std::optional<Match> BufferGrep::RGrep(std::size_t from)
{
    return search_.RGrep(from);
}

bool GrepEngine::SCompileRGrep(std::string_view pattern, bool caseSensitive)
{
    auto compiled = CompileRGrep(pattern, caseSensitive);
    if (auto* err = std::get_if<CompileError>(&compiled)) {
        error_ = *err;
        search_.reset();
        return false;
    }
    SCompileRGrep(std::get<CompiledPattern>(compiled));
    return true;
}

void GrepEngine::SCompileRGrep(const CompiledPattern& pattern)
{
    error_.reset();
    open_ = false;
    // The same pattern again (a run compiles once for all its files): keep the search and its buffer.
    if (search_ && searchRegex_ == pattern.regex())
        return;
    search_ = std::make_unique<regex::LineSearch>(pattern.regex());
    searchRegex_ = pattern.regex();
}

void GrepEngine::SFileSetFlags(SFileMode mode)
{
    mode_ = mode;
    if (search_)
        search_->setListing(mode == SFileMode::List);
}

bool GrepEngine::SFileOpen(const std::string& path)
{
    open_ = search_ && search_->open(path);
    if (open_)
        search_->setListing(mode_ == SFileMode::List);
    return open_;
}

bool GrepEngine::SFileAdopt(int fd, std::string_view firstBytes, bool atEof)
{
    if (!search_)
        return false;
    search_->adopt(fd, firstBytes, atEof);
    search_->setListing(mode_ == SFileMode::List);
    open_ = true;
    return true;
}

bool GrepEngine::SFileAdoptBlock(int fd, std::vector<std::uint8_t>& buffer, std::size_t filled, bool atEof)
{
    if (!search_)
        return false;
    search_->adoptBuffer(fd, buffer, filled, atEof);
    search_->setListing(mode_ == SFileMode::List);
    open_ = true;
    return true;
}

std::optional<std::string_view> GrepEngine::SFileRGrep()
{
    if (!open_ || !search_->next())
        return std::nullopt;
    return mode_ == SFileMode::List ? search_->line() : std::string_view();
}

std::uint64_t GrepEngine::SFileClose()
{
    if (!open_)
        return 0;
    open_ = false;
    return search_->close();
}

} // namespace qv
