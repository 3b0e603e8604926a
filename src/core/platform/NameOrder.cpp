#include "NameOrder.h"

#include <unicode/ucol.h>
#include <unicode/ucoleitr.h>
#include <unicode/uset.h>
#include <unicode/ustring.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <numeric>
#include <vector>

namespace qv::platform {
namespace {

constexpr UChar32 kReplacement = 0xFFFD;

// UTF-16 for the collation; ill-formed sequences become U+FFFD.
std::u16string utf16(std::string_view s)
{
    std::u16string out(s.size(), u'\0'); // UTF-8 never takes fewer code units in UTF-16
    std::int32_t length = 0;
    UErrorCode status = U_ZERO_ERROR;
    u_strFromUTF8WithSub(reinterpret_cast<UChar*>(out.data()), static_cast<std::int32_t>(out.size()), &length, s.data(),
                         static_cast<std::int32_t>(s.size()), kReplacement, nullptr, &status);
    out.resize(U_SUCCESS(status) ? static_cast<std::size_t>(length) : 0);
    return out;
}

const UChar* units(const std::u16string& s)
{
    return reinterpret_cast<const UChar*>(s.data());
}

int sign(int v)
{
    return v < 0 ? -1 : (v > 0 ? 1 : 0);
}

// "de_DE.UTF-8@euro" as the collation wants it: without the character set; the C locale is
// the language-neutral root.
std::string collationLocale(std::string_view name)
{
    std::string id(name.substr(0, name.find_first_of(".@")));
    if (id == "C" || id == "POSIX")
        return {};
    return id;
}

std::string environmentLocale()
{
    for (const char* variable : {"LC_ALL", "LC_COLLATE", "LANG"})
        if (const char* v = std::getenv(variable); v != nullptr && *v != '\0')
            return v;
    return "C";
}

bool singleElement(const UCollator* collator, UChar c)
{
    UErrorCode status = U_ZERO_ERROR;
    UCollationElements* elements = ucol_openElements(collator, &c, 1, &status);
    int count = 0;
    for (std::int32_t ce = 0; U_SUCCESS(status) && (ce = ucol_next(elements, &status)) != UCOL_NULLORDER;)
        count += ce != 0 ? 1 : 0;
    ucol_closeElements(elements);
    return count == 1 && U_SUCCESS(status);
}

} // namespace

const NameOrder& NameOrder::System()
{
    // Never destroyed: threads that still sort at exit must not find it gone.
    static const NameOrder* order = new NameOrder(environmentLocale());
    return *order;
}

NameOrder::NameOrder(std::string_view localeName)
{
    UErrorCode status = U_ZERO_ERROR;
    collator_ = ucol_open(collationLocale(localeName).c_str(), &status);
    if (U_FAILURE(status)) {
        ucol_close(collator_);
        status = U_ZERO_ERROR;
        collator_ = ucol_open("", &status);
    }
    if (U_FAILURE(status)) {
        ucol_close(collator_);
        collator_ = nullptr;
        return;
    }
    // Case is the third level: comparing two levels ignores it and keeps the accents.
    ucol_setStrength(collator_, UCOL_SECONDARY);
    status = U_ZERO_ERROR;
    ucol_setAttribute(collator_, UCOL_CASE_LEVEL, UCOL_OFF, &status);
    prepareAsciiShortcut();
}

NameOrder::~NameOrder()
{
    ucol_close(collator_);
}

// Most names are ASCII, and a walk sorts every folder: where the collation orders ASCII strings
// character by character (no contractions such as a Danish "aa", no expansions, no numbers read
// as such, each character weighed on the first level alone), comparing ranks gives its answer at
// the speed of a byte comparison. Every condition is checked against the collation itself.
void NameOrder::prepareAsciiShortcut()
{
    UErrorCode status = U_ZERO_ERROR;
    if (ucol_getAttribute(collator_, UCOL_NUMERIC_COLLATION, &status) != UCOL_OFF || U_FAILURE(status))
        return;
    // Contractions come from a language's tailoring (the root order has none in ASCII).
    const std::unique_ptr<USet, decltype(&uset_close)> tailored(ucol_getTailoredSet(collator_, &status), &uset_close);
    if (U_FAILURE(status))
        return;
    bool asciiTailored = false;
    for (std::int32_t k = 0; k < uset_getItemCount(tailored.get()); ++k) {
        UChar32 first = 0, last = 0;
        UChar text[64];
        status = U_ZERO_ERROR;
        const std::int32_t length = uset_getItem(tailored.get(), k, &first, &last, text, 64, &status);
        if (length > 0 && std::all_of(text, text + std::min(length, 64), [](UChar u) { return u < 0x80; }))
            return;
        asciiTailored = asciiTailored || (length == 0 && first < 0x80);
    }

    const auto cmp = [&](UChar a, const UChar* b, std::int32_t bl) { return ucol_strcoll(collator_, &a, 1, b, bl); };
    std::vector<UChar> weighed;
    for (UChar c = 0; c < 0x80; ++c) {
        if (cmp(c, nullptr, 0) == UCOL_EQUAL)
            continue; // ignored on both levels
        // One collation element each, no expansion (only a tailoring can give one).
        if (asciiTailored && !singleElement(collator_, c))
            return;
        weighed.push_back(c);
    }
    ucol_setStrength(collator_, UCOL_PRIMARY);
    bool ok = std::all_of(weighed.begin(), weighed.end(), [&](UChar c) { return cmp(c, nullptr, 0) == UCOL_GREATER; });
    std::stable_sort(weighed.begin(), weighed.end(), [&](UChar a, UChar b) { return cmp(a, &b, 1) == UCOL_LESS; });
    std::uint8_t rank = 0;
    for (std::size_t k = 0; ok && k < weighed.size(); ++k) {
        const bool samePrimary = k > 0 && cmp(weighed[k - 1], &weighed[k], 1) == UCOL_EQUAL;
        if (samePrimary) {
            // Equal on the first level must mean equal on the second, or ranks would decide
            // what the second level only decides after the whole first.
            ucol_setStrength(collator_, UCOL_SECONDARY);
            ok = cmp(weighed[k - 1], &weighed[k], 1) == UCOL_EQUAL;
            ucol_setStrength(collator_, UCOL_PRIMARY);
        } else {
            ++rank;
        }
        asciiRank_[weighed[k]] = rank;
    }
    ucol_setStrength(collator_, UCOL_SECONDARY);
    asciiShortcut_ = ok;
    std::fill(asciiRank_.begin() + 0x80, asciiRank_.end(), kBeyondAscii);
}

// Ranks compared up to the first difference; nothing when a byte beyond ASCII comes first, or
// right after the difference (it could join the character there), and the collation decides.
std::optional<int> NameOrder::compareAscii(std::string_view a, std::string_view b) const
{
    // The bytes both start with weigh the same, as long as they are ASCII: eight at a time.
    const std::size_t n = std::min(a.size(), b.size());
    std::size_t k = 0;
    for (; k + 8 <= n; k += 8) {
        std::uint64_t x = 0, y = 0;
        std::memcpy(&x, a.data() + k, 8);
        std::memcpy(&y, b.data() + k, 8);
        if (x != y || (x & 0x8080808080808080ULL) != 0)
            break;
    }
    while (k < n && a[k] == b[k] && static_cast<unsigned char>(a[k]) < 0x80)
        ++k;
    const auto rankAt = [&](std::string_view s, std::size_t i) { return asciiRank_[static_cast<unsigned char>(s[i])]; };
    // Past ignored characters to the next one with a rank; false at a byte beyond ASCII.
    const auto next = [&](std::string_view s, std::size_t& i) {
        for (; i < s.size(); ++i) {
            const std::uint8_t r = rankAt(s, i);
            if (r == kBeyondAscii)
                return false;
            if (r != 0)
                break;
        }
        return true;
    };
    const auto beyondAsciiAfter = [&](std::string_view s, std::size_t i) { return i + 1 < s.size() && rankAt(s, i + 1) == kBeyondAscii; };
    for (std::size_t i = k, j = k;; ++i, ++j) {
        if (!next(a, i) || !next(b, j))
            return std::nullopt;
        if (i == a.size() || j == b.size())
            return (i == a.size() ? 0 : 1) - (j == b.size() ? 0 : 1);
        const int d = rankAt(a, i) - rankAt(b, j);
        if (d != 0)
            return beyondAsciiAfter(a, i) || beyondAsciiAfter(b, j) ? std::nullopt : std::optional<int>(d);
    }
}

int NameOrder::collate(std::string_view a, std::string_view b) const
{
    if (collator_ == nullptr)
        return 0;
    // Ill-formed UTF-8 counts as U+FFFD here as in the sort keys.
    UErrorCode status = U_ZERO_ERROR;
    return static_cast<int>(
        ucol_strcollUTF8(collator_, a.data(), static_cast<std::int32_t>(a.size()), b.data(), static_cast<std::int32_t>(b.size()), &status));
}

int NameOrder::compare(std::string_view a, std::string_view b) const
{
    std::optional<int> c;
    if (asciiShortcut_)
        c = compareAscii(a, b);
    if (!c)
        c = collate(a, b);
    if (*c != 0)
        return sign(*c);
    return sign(a.compare(b));
}

void NameOrder::sortedOrder(const std::vector<std::string_view>& names, std::vector<std::size_t>& order) const
{
    // An ASCII name's ranks, the ignored characters left out, compare as the name does with
    // another ASCII name; any other pair is compared in full.
    struct Weighed {
        std::size_t at = 0, length = 0;
        bool ascii = false;
    };
    thread_local std::string ranks; // all names' ranks, one after the other
    thread_local std::vector<Weighed> weighed;
    ranks.clear();
    weighed.assign(names.size(), Weighed{});
    for (std::size_t k = 0; asciiShortcut_ && k < names.size(); ++k) {
        weighed[k] = Weighed{ranks.size(), 0, true};
        for (const char c : names[k]) {
            const std::uint8_t r = asciiRank_[static_cast<unsigned char>(c)];
            if (r == kBeyondAscii) {
                weighed[k].ascii = false;
                break;
            }
            if (r != 0)
                ranks.push_back(static_cast<char>(r));
        }
        weighed[k].length = ranks.size() - weighed[k].at;
    }
    const std::string_view all = ranks;
    order.resize(names.size());
    std::iota(order.begin(), order.end(), 0);
    std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        if (weighed[a].ascii && weighed[b].ascii) {
            const int c = all.substr(weighed[a].at, weighed[a].length).compare(all.substr(weighed[b].at, weighed[b].length));
            return c != 0 ? c < 0 : names[a] < names[b];
        }
        return less(names[a], names[b]);
    });
}

std::string NameOrder::sortKey(std::string_view name) const
{
    std::string key;
    if (collator_ != nullptr) {
        const std::u16string u = utf16(name);
        key.resize(u.size() * 4 + 16);
        for (;;) {
            const std::int32_t n = ucol_getSortKey(collator_, units(u), static_cast<std::int32_t>(u.size()),
                                                   reinterpret_cast<std::uint8_t*>(key.data()), static_cast<std::int32_t>(key.size()));
            if (n <= static_cast<std::int32_t>(key.size())) {
                key.resize(static_cast<std::size_t>(n)); // ends in its 0 byte, the only one in it
                break;
            }
            key.resize(static_cast<std::size_t>(n));
        }
    }
    if (key.empty() || key.back() != '\0')
        key.push_back('\0');
    key.append(name);
    return key;
}

} // namespace qv::platform
