#include "Automata.h"

namespace qv::regex {

Automata::Automata(RegexPtr regex, std::stop_token stop)
    : regex_(std::move(regex)), stop_(std::move(stop)), line_(regex_->size()), buffer_(regex_->size())
{
}

Dfa& Automata::lineDfa(std::size_t k)
{
    if (!line_[k])
        line_[k] = std::make_unique<Dfa>(regex_->conjunct(k).program(), Dfa::Mode::Line, regex_->conjunct(k).dfaBudget());
    return *line_[k];
}

Dfa& Automata::bufferDfa(std::size_t k)
{
    if (!buffer_[k])
        buffer_[k] = std::make_unique<Dfa>(regex_->conjunct(k).program(), Dfa::Mode::Buffer, regex_->conjunct(k).dfaBudget());
    return *buffer_[k];
}

void Automata::startText()
{
    for (auto& d : line_)
        if (d)
            d->startText();
    for (auto& d : buffer_)
        if (d)
            d->startText();
}

} // namespace qv::regex
