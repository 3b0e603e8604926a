#pragma once

#include "Program.h"
#include "Stepper.h"

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

namespace qv::regex {

// A lazily built DFA for the unanchored search of one program. States are built on demand and
// cached within a memory budget; when the cache is full it is emptied and rebuilt, and when that
// happens too often the DFA declares itself failed so the caller falls back to uncached
// simulation (bounded memory, still linear time).
//
// States are addressed by offsets into the transition table (state index * stride). The four
// idle states, one per context, come first: "no partial match under way".
//
// In line mode the LF byte ends a line: its transition feeds the line end (CR LF, end of text)
// and leads back to the idle state of a new line. In buffer mode LF is an ordinary byte.
class Dfa {
public:
    enum class Mode : std::uint8_t { Line, Buffer };
    static constexpr std::int32_t kUnknown = -1;
    static constexpr std::int32_t kMatch = -2; // the transition's byte is preceded by a match end
    static constexpr std::size_t kDefaultBudget = std::size_t{8} << 20;

    Dfa(const Program& prog, Mode mode, std::size_t budget = kDefaultBudget);

    [[nodiscard]] int stride() const { return stride_; }
    [[nodiscard]] const std::int32_t* table() const { return trans_.data(); }
    [[nodiscard]] std::int32_t idle(Ctx c) const { return static_cast<std::int32_t>(c) * stride_; }
    [[nodiscard]] std::int32_t idleLimit() const { return kCtxCount * stride_; }
    [[nodiscard]] Ctx contextOf(std::int32_t s) const { return states_[static_cast<std::size_t>(s / stride_)].ctx; }
    // The pending instructions of state s: what an uncached simulation continues from.
    [[nodiscard]] const std::vector<std::uint32_t>& instsOf(std::int32_t s) const
    {
        return states_[static_cast<std::size_t>(s / stride_)].insts;
    }
    [[nodiscard]] const ByteClasses& classes() const { return prog_.classes; }
    [[nodiscard]] bool failed() const { return failed_; }
    // A new text: a DFA that gave up on the last one starts afresh, so one hostile file does not
    // slow down the files after it.
    void startText();

    // The transition of state s on class cls; fills the table. The table may move.
    std::int32_t transition(std::int32_t s, int cls);
    // Line mode: does the last line of a text without a final LF match once it ends here?
    bool lastLineMatches(std::int32_t s);
    // Buffer mode: does a match end at the end of the text?
    bool endMatches(std::int32_t s);

private:
    struct State {
        std::vector<std::uint32_t> insts;
        Ctx ctx;
    };

    void clear();
    std::int32_t intern(const std::vector<std::uint32_t>& insts, Ctx ctx);

    const Program& prog_;
    Mode mode_;
    std::size_t budget_;
    int stride_;
    Stepper stepper_;
    std::vector<State> states_;
    std::vector<std::int32_t> trans_;
    std::vector<std::int8_t> endCache_;
    std::unordered_map<std::string, std::int32_t> index_;
    std::size_t memory_ = 0;
    int resets_ = 0;
    bool failed_ = false;
    std::vector<std::uint32_t> scratch_;
    std::string key_;
};

} // namespace qv::regex
