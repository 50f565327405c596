#pragma once

#include "Utilities/VelmoraError.h"

#include <QString>
#include <exception>
#include <gtest/gtest.h>
#include <optional>

// The error of type `Error` that `operation` throws, or nullopt when it throws none. An error
// of another type is a test failure.
template <class Error, class Operation> std::optional<Error> thrownBy(Operation&& operation)
{
    try {
        operation();
    } catch (const Error& error) {
        return error;
    } catch (const std::exception& other) {
        ADD_FAILURE() << "threw another error: " << other.what();
    }
    return std::nullopt;
}

// As thrownBy, for an operation that must fail: throwing nothing is a test failure too.
template <class Error, class Operation> std::optional<Error> errorThrownBy(Operation&& operation)
{
    bool threw = true;
    std::optional<Error> error = thrownBy<Error>([&] {
        operation();
        threw = false;
    });
    if (!threw)
        ADD_FAILURE() << "threw nothing";
    return error;
}

// The user-facing sentence of whatever VelmoraError `operation` throws; empty, with a test
// failure, when it throws none.
template <class Operation> QString descriptionThrownBy(Operation&& operation)
{
    try {
        operation();
    } catch (const VelmoraError& error) {
        return error.errorDescription();
    } catch (const std::exception& other) {
        ADD_FAILURE() << "threw another error: " << other.what();
        return {};
    }
    ADD_FAILURE() << "threw nothing";
    return {};
}
