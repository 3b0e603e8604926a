#pragma once

#include <optional>
#include <string>
#include <utility>

namespace qv::platform {

// How errors travel in the core: as values. An operation that gives nothing back answers with a
// Failure, empty when it worked, else the reason as the user is to read it; one that gives a
// value answers with an Outcome, the value or that reason. Callers decide what the user is told.
using Failure = std::optional<std::string>;

template <class T> class Outcome {
public:
    Outcome(T value) : value_(std::move(value)) { } // NOLINT: a value is an outcome
    static Outcome failed(std::string reason)
    {
        Outcome o;
        o.reason_ = std::move(reason);
        return o;
    }

    [[nodiscard]] explicit operator bool() const { return value_.has_value(); }
    [[nodiscard]] const T& operator*() const { return *value_; }
    [[nodiscard]] T valueOr(T fallback) const { return value_ ? *value_ : std::move(fallback); }
    // Why there is no value; empty when there is one.
    [[nodiscard]] const std::string& reason() const { return reason_; }

    friend bool operator==(const Outcome& o, const T& value) { return o.value_ && *o.value_ == value; }

private:
    Outcome() = default;
    std::optional<T> value_;
    std::string reason_;
};

} // namespace qv::platform
