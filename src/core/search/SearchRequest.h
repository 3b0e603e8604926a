#pragma once

#include "regex/Regex.h"

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace qv {

// The inputs of one search, as the main window's controls hold them.
struct SearchRequest {
    std::string StartDirectory; // path of the selected folder; empty when it is not a folder
    bool RootSelected = false; // the folder tree's first node (not a folder) is selected
    std::string SelectedCaption; // caption of the selected tree node; empty when none
    std::string FileSpecs = "*.*";
    std::string SearchText; // exactly as typed
    bool InclSub = false;
    bool SearchListed = false;
    bool SearchZip = false;
    bool Case = false;
    bool Word = false;
    bool Literal = false;
    bool TextFiles = true;
    bool BinaryFiles = true;
};

// Whole patterns that would match everything (or nothing sensible) and are refused.
inline constexpr std::array<std::string_view, 7> BarePatterns = {"+", "*", ".", "^", "$", ".+", ".*"};

struct RequestVerdict {
    bool accepted = false;
    std::string message; // what to tell the user when refused
    std::string caption; // "Error" or "Regular Expression Error"
    std::string pattern; // the prepared pattern when accepted
    regex::RegexPtr regex; // ... compiled with the request's case sensitivity
};

// Checks a request in order (folder, inputs present, bare pattern, test compile) and prepares its
// pattern. A refused request changes nothing: the caller keeps the last search's text and pattern.
RequestVerdict PrepareRequest(const SearchRequest& request);

// The text handed to the engine: a final unescaped "$" becomes the line end "\r\n" (not in
// literal mode), literal mode escapes every metacharacter, whole words wrap it in "\<" "\>".
std::string PreparePattern(std::string_view searchText, bool literal, bool word);

// The file masks of a walk: upper case, ",*.ZIP" added when archives are searched and no mask
// covers them yet, cut at commas outside double quotes, each entry trimmed (entries may be empty).
std::vector<std::string> SplitFileSpecs(std::string_view fileSpecs, bool searchZip);

} // namespace qv
