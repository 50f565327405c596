#pragma once

#include <exception>
#include <functional>
#include <optional>
#include <utility>

// The outcome of asynchronous work: a value, or the error it failed with. Completions receive
// one, so that failures of any type travel to the caller unchanged, as a thrown error would.
template <class T>
class Result {
public:
    Result(T value)
        : m_value(std::move(value))
    {
    }
    Result(std::exception_ptr error)
        : m_error(std::move(error))
    {
    }
    template <class E>
    static Result failure(E error)
    {
        return Result(std::make_exception_ptr(std::move(error)));
    }

    bool succeeded() const { return m_value.has_value(); }
    // The value; throws the error of a failure.
    const T& value() const
    {
        if (m_error)
            std::rethrow_exception(m_error);
        return *m_value;
    }
    std::exception_ptr error() const { return m_error; }

    // The error as an E, or nothing when the failure is of another type or there is none.
    template <class E>
    std::optional<E> errorAs() const
    {
        if (!m_error)
            return std::nullopt;
        try {
            std::rethrow_exception(m_error);
        } catch (const E& error) {
            return error;
        } catch (...) {
            return std::nullopt;
        }
    }

private:
    std::optional<T> m_value;
    std::exception_ptr m_error;
};

template <class T>
using Completion = std::function<void(Result<T>)>;
