#include "Engine.h"

#include <gtest/gtest.h>

namespace qvtest {

qv::regex::RegexPtr Compile(std::string_view pattern, bool caseSensitive)
{
    auto c = qv::regex::Regex::compile(pattern, caseSensitive);
    if (auto* r = std::get_if<qv::regex::RegexPtr>(&c))
        return *r;
    ADD_FAILURE() << "does not compile: " << pattern;
    return std::get<qv::regex::RegexPtr>(qv::regex::Regex::compile("\\[never", true));
}

std::string CompileError(std::string_view pattern)
{
    auto c = qv::regex::Regex::compile(pattern, false);
    if (auto* e = std::get_if<qv::regex::CompileError>(&c))
        return e->message;
    return "";
}

std::vector<std::string> ListLines(qv::regex::LineSearch& search, const std::string& path)
{
    std::vector<std::string> out;
    EXPECT_TRUE(search.open(path)) << path;
    search.setListing(true);
    while (search.next())
        out.push_back(std::to_string(search.lineNumber()) + ":" + std::string(search.lineText()));
    search.close();
    return out;
}

std::vector<std::string> ListLines(const qv::regex::RegexPtr& regex, const std::string& path)
{
    qv::regex::LineSearch search(regex);
    return ListLines(search, path);
}

std::uint64_t CountLines(qv::regex::LineSearch& search, const std::string& path)
{
    if (!search.open(path))
        return 0;
    search.setListing(false);
    while (search.next()) { }
    return search.close();
}

std::uint64_t CountLines(const qv::regex::RegexPtr& regex, const std::string& path)
{
    qv::regex::LineSearch search(regex);
    return CountLines(search, path);
}

} // namespace qvtest
