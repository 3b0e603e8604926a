#include "Stepper.h"

#include <algorithm>

namespace qv::regex {

Stepper::Stepper(const Program& prog) : prog_(prog), mark_(prog.insts.size(), 0) {}

bool Stepper::closure(const std::vector<std::uint32_t>& pending, Ctx prev, int next)
{
    if (++generation_ == 0) {
        std::fill(mark_.begin(), mark_.end(), 0);
        generation_ = 1;
    }
    byteInsts_.clear();
    bool matched = false;
    const auto visit = [&](std::uint32_t root) {
        stack_.push_back(root);
        while (!stack_.empty()) {
            const std::uint32_t i = stack_.back();
            stack_.pop_back();
            if (mark_[i] == generation_)
                continue;
            mark_[i] = generation_;
            const Inst& inst = prog_.insts[i];
            switch (inst.op) {
            case Inst::Op::Byte:
                byteInsts_.push_back(i);
                break;
            case Inst::Op::Match:
                matched = true;
                break;
            case Inst::Op::Split:
                stack_.push_back(inst.out1);
                stack_.push_back(inst.out);
                break;
            case Inst::Op::Assert:
                if (assertionHolds(prog_.classes, inst.assertion, prev, next))
                    stack_.push_back(inst.out);
                break;
            }
        }
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
