#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct UCollator;

namespace qv::platform {

// The one order of file and folder names in the whole program: the walk, the folder tree, the
// folder listing and the result list's columns. Names compare as the user's language orders
// them, case ignored; names equal that way are ordered by their bytes, so the order is total
// and stable. Names are UTF-8; a byte sequence that is not counts as U+FFFD there. Thread-safe
// (the collation is only read).
class NameOrder {
public:
    // The order of the user's collation locale as the C library takes it from the environment
    // (LC_ALL, LC_COLLATE, LANG); the C and POSIX locales have the language-neutral order.
    static const NameOrder& System();

    // The order of a locale named as the C library names them ("sv_SE.UTF-8", "C").
    explicit NameOrder(std::string_view localeName);
    ~NameOrder();
    NameOrder(const NameOrder&) = delete;
    NameOrder& operator=(const NameOrder&) = delete;

    // Negative, zero (the same bytes) or positive.
    [[nodiscard]] int compare(std::string_view a, std::string_view b) const;
    [[nodiscard]] bool less(std::string_view a, std::string_view b) const { return compare(a, b) < 0; }
    // Bytes that compare, byte by byte, as the names do: for sorting many names, each key made
    // once.
    [[nodiscard]] std::string sortKey(std::string_view name) const;
    // The positions of names in their order (`order` receives them): what a folder's listing
    // needs, sorted faster than by comparing pairs (ASCII names are weighed once each).
    void sortedOrder(const std::vector<std::string_view>& names, std::vector<std::size_t>& order) const;
    // Sorts items by the name each has.
    template <class T, class NameOf> void sort(std::vector<T>& items, NameOf nameOf) const
    {
        // Kept from folder to folder: a walk sorts thousands of them.
        thread_local std::vector<std::string_view> names;
        thread_local std::vector<std::size_t> from;
        names.clear();
        for (const T& item : items)
            names.push_back(nameOf(item));
        sortedOrder(names, from);
        // Each item to its place, one cycle of the order at a time; a place done points to itself.
        for (std::size_t start = 0; start < items.size(); ++start) {
            if (from[start] == start)
                continue;
            T held = std::move(items[start]);
            std::size_t at = start;
            while (from[at] != start) {
                const std::size_t next = from[at];
                items[at] = std::move(items[next]);
                from[at] = at;
                at = next;
            }
            items[at] = std::move(held);
            from[at] = at;
        }
    }

    // Whether ASCII names are compared without the collation's full machinery (the locale has
    // no contractions or expansions among ASCII characters), for tests.
    [[nodiscard]] bool asciiShortcut() const { return asciiShortcut_; }
    // The comparison through the collation itself, without the shortcut, for tests.
    [[nodiscard]] int collate(std::string_view a, std::string_view b) const;

private:
    void prepareAsciiShortcut();
    [[nodiscard]] std::optional<int> compareAscii(std::string_view a, std::string_view b) const;

    UCollator* collator_ = nullptr;
    // Primary rank of each ASCII character; 0 for those the collation ignores, kBeyondAscii
    // for the bytes above.
    static constexpr std::uint8_t kBeyondAscii = 0xFF;
    std::array<std::uint8_t, 256> asciiRank_{};
    bool asciiShortcut_ = false;
};

} // namespace qv::platform
