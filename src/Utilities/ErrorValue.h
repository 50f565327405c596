#pragma once

#include "Utilities/VelmoraError.h"

#include <QString>
#include <concepts>
#include <exception>

// A failure as a value, the form in which errors cross a layer's public boundary: it carries
// the typed error (whose own kind tells what went wrong, read with `as<E>()`) and the sentence
// a user may see. Exceptions stay inside parsers and validators; where one is caught it becomes
// an ErrorValue with `current()`.
class ErrorValue {
public:
    template <class E>
    requires std::derived_from<E, VelmoraError> ErrorValue(E error)
        : ErrorValue(std::make_exception_ptr(std::move(error)))
    {
    }

    // The exception being handled, in a catch block. One that is no VelmoraError keeps its
    // message as the sentence; one that is no std::exception has none.
    static ErrorValue current() { return ErrorValue(std::current_exception()); }

    QString sentence() const { return m_sentence; }

    // The error as an E, or null when it is of another type.
    template <class E> const E* as() const { return dynamic_cast<const E*>(m_error); }
    template <class E> bool is() const { return as<E>() != nullptr; }

    // Throws the error again, for code that unwraps results inside a guarded block.
    [[noreturn]] void raise() const;

private:
    explicit ErrorValue(std::exception_ptr exception);

    std::exception_ptr m_exception;
    // Points into the exception object that m_exception keeps alive.
    const VelmoraError* m_error = nullptr;
    QString m_sentence;
};
