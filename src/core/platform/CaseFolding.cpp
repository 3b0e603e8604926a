#include "CaseFolding.h"

#include <unicode/uchar.h>
#include <unicode/uset.h>

#include <algorithm>
#include <memory>
#include <unordered_map>

namespace qv::platform {
namespace {

// The code points of each folded form that fold to it. The library answers "what does this fold
// to" but not the reverse, and folding all 1.1 million code points takes milliseconds, too long
// for a search's start: only the code points that some case mapping changes can fold to another.
// Folding is defined on the decomposed form, so one property alone misses characters such as
// U+1FBE, whose decomposition is folded already; the two together hold them all (a test checks
// this against folding every code point).
const std::unordered_map<char32_t, std::vector<char32_t>>& foldedFrom()
{
    static const auto table = [] {
        std::unordered_map<char32_t, std::vector<char32_t>> t;
        const std::unique_ptr<USet, decltype(&uset_close)> candidates(uset_openEmpty(), &uset_close);
        for (const UProperty p : {UCHAR_CHANGES_WHEN_CASEFOLDED, UCHAR_CHANGES_WHEN_CASEMAPPED}) {
            UErrorCode status = U_ZERO_ERROR;
            if (const USet* s = u_getBinaryPropertySet(p, &status); U_SUCCESS(status))
                uset_addAll(candidates.get(), s);
        }
        for (std::int32_t k = 0; k < uset_getItemCount(candidates.get()); ++k) {
            UChar32 first = 0, last = 0;
            UErrorCode status = U_ZERO_ERROR;
            if (uset_getItem(candidates.get(), k, &first, &last, nullptr, 0, &status) != 0)
                continue; // a string, not a range
            for (UChar32 c = first; c <= last; ++c) {
                const char32_t f = SimpleCaseFold(static_cast<char32_t>(c));
                if (f != static_cast<char32_t>(c))
                    t[f].push_back(static_cast<char32_t>(c));
            }
        }
        return t;
    }();
    return table;
}

} // namespace

char32_t SimpleCaseFold(char32_t code)
{
    return static_cast<char32_t>(u_foldCase(static_cast<UChar32>(code), U_FOLD_CASE_DEFAULT));
}

std::vector<char32_t> CaseVariants(char32_t code)
{
    const char32_t folded = SimpleCaseFold(code);
    const auto& table = foldedFrom();
    const auto it = table.find(folded);
    if (it == table.end())
        return {code};
    std::vector<char32_t> variants = it->second;
    variants.push_back(folded);
    std::sort(variants.begin(), variants.end());
    return variants;
}

} // namespace qv::platform
