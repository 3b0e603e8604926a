#pragma once

#include <cstdint>
#include <string_view>

namespace qv::regex {

// The part of a text that is in memory: bytes [base, base + size) of it.
struct TextWindow {
    const std::uint8_t* data = nullptr;
    std::uint64_t base = 0;
    std::size_t size = 0;
    bool eof = false; // the window reaches the end of the text
    [[nodiscard]] std::uint64_t endPos() const { return base + size; }
    [[nodiscard]] const std::uint8_t* at(std::uint64_t pos) const { return data + (pos - base); }
};

// A text read front to back through a window. Searches tell the source which bytes they may
// still need, so a file is never held whole.
class TextSource {
public:
    virtual ~TextSource() = default;
    [[nodiscard]] virtual TextWindow window() const = 0;
    // Brings more of the text into the window, dropping bytes before keepFrom. Returns false when
    // nothing more came (the end of the text, or the window cannot grow).
    virtual bool advance(std::uint64_t keepFrom) = 0;
};

// A text held in memory as a whole.
class MemorySource final : public TextSource {
public:
    explicit MemorySource(std::string_view text) : window_{reinterpret_cast<const std::uint8_t*>(text.data()), 0, text.size(), true} { }
    [[nodiscard]] TextWindow window() const override { return window_; }
    bool advance(std::uint64_t) override { return false; }

private:
    TextWindow window_;
};

} // namespace qv::regex
