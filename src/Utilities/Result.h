#pragma once

#include "Utilities/ErrorValue.h"

#include <functional>
#include <optional>
#include <utility>
#include <variant>

// The outcome of asynchronous work: a value, or the ErrorValue it failed with. Completions
// receive one, so that a failure of any type travels to the caller with its kind and sentence.
template <class T> class Result {
public:
    Result(T value)
        : m_outcome(std::in_place_index<0>, std::move(value))
    {
    }
    Result(ErrorValue error)
        : m_outcome(std::in_place_index<1>, std::move(error))
    {
    }
    template <class E> static Result failure(E error) { return Result(ErrorValue(std::move(error))); }

    bool succeeded() const { return m_outcome.index() == 0; }
    // The value; throws the error of a failure (for continuations run inside a guarded block).
    const T& value() const
    {
        if (!succeeded())
            error().raise();
        return std::get<0>(m_outcome);
    }
    // The failure; only for a result that did not succeed.
    const ErrorValue& error() const { return std::get<1>(m_outcome); }

    // The error as an E, or nothing when the failure is of another type or there is none.
    template <class E> std::optional<E> errorAs() const
    {
        if (const E* error = succeeded() ? nullptr : this->error().template as<E>())
            return *error;
        return std::nullopt;
    }

private:
    std::variant<T, ErrorValue> m_outcome;
};

template <class T> using Completion = std::function<void(Result<T>)>;
