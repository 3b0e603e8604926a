#pragma once

#include "regex/LineSearch.h"
#include "regex/Regex.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Shorthands for tests that drive the engine directly.
namespace qvtest {

// The compiled pattern; a failure to compile fails the test.
qv::regex::RegexPtr Compile(std::string_view pattern, bool caseSensitive = true);
// The compile error's message, empty when the pattern compiles.
std::string CompileError(std::string_view pattern);
// The listing of a file as "number:text", one entry per matching line.
std::vector<std::string> ListLines(qv::regex::LineSearch& search, const std::string& path);
std::vector<std::string> ListLines(const qv::regex::RegexPtr& regex, const std::string& path);
// The matching lines of a file counted; 0 when it cannot be opened.
std::uint64_t CountLines(qv::regex::LineSearch& search, const std::string& path);
std::uint64_t CountLines(const qv::regex::RegexPtr& regex, const std::string& path);

} // namespace qvtest
