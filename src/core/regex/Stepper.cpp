#include "Stepper.h"

#include <algorithm>

namespace qv::regex {

Stepper::Stepper(const Program& prog) : prog_(prog), mark_(prog.insts.size(), 0) { }

bool Stepper::closure(const std::vector<std::uint32_t>& pending, Ctx prev, int next)
{
    if (++generation_ == 0) {
        std::fill(mark_.begin(), mark_.end(), 0);
        generation_ = 1;
    }
    byteInsts_.clear();
    bool matched = false;
    const auto visit = [&](std::uint32_t root) {
        FollowEmpty(
            prog_, stack_, root, prev, next, [&](std::uint32_t i) { return MarkOnce(mark_, i, generation_); },
            [&](std::uint32_t i) { byteInsts_.push_back(i); }, [&] { matched = true; });
    };
    for (std::uint32_t i : pending)
        visit(i);
    visit(prog_.start);
    return matched;
}

bool Stepper::step(const std::vector<std::uint32_t>& pending, Ctx prev, int next, std::vector<std::uint32_t>* out)
{
    const bool matched = closure(pending, prev, next);
    if (out != nullptr) {
        out->clear();
        if (next != kEndOfText) {
            const std::uint8_t rep = prog_.classes.representative[static_cast<std::size_t>(next)];
            for (std::uint32_t i : byteInsts_) {
                const Inst& inst = prog_.insts[i];
                if (prog_.accepts(inst, rep))
                    out->push_back(inst.out);
            }
            std::sort(out->begin(), out->end());
            out->erase(std::unique(out->begin(), out->end()), out->end());
        }
    }
    return matched;
}

bool Stepper::lineEnd(const std::vector<std::uint32_t>& pending, Ctx prev)
{
    const ByteClasses& bc = prog_.classes;
    const int cr = bc.classOf['\r'];
    const int lf = bc.classOf['\n'];
    bool matched = false;
    const std::vector<std::uint32_t>* cur = &pending;
    if (prev != kCtxCR) {
        matched |= step(*cur, prev, cr, &scratchA_);
        cur = &scratchA_;
    }
    matched |= step(*cur, kCtxCR, lf, &scratchB_);
    matched |= step(scratchB_, kCtxAfterLineEnd, kEndOfText, nullptr);
    return matched;
}

bool Stepper::lastLineEnd(const std::vector<std::uint32_t>& pending, Ctx prev)
{
    const ByteClasses& bc = prog_.classes;
    bool matched = step(pending, prev, bc.classOf['\r'], &scratchA_);
    matched |= step(scratchA_, kCtxCR, bc.classOf['\n'], &scratchB_);
    matched |= step(scratchB_, kCtxAfterLineEnd, kEndOfText, nullptr);
    return matched;
}

} // namespace qv::regex
