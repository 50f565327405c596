#pragma once

#include "Utilities/VelmoraError.h"

#include <QString>
#include <gtest/gtest.h>
#include <optional>

// The error of type `Error` that `operation` throws, or nullopt (with a test failure) when it
// throws nothing or something else.
template <class Error, class Operation>
std::optional<Error> errorThrownBy(Operation&& operation)
{
    try {
        operation();
    } catch (const Error& error) {
        return error;
    } catch (const std::exception& other) {
        ADD_FAILURE() << "threw another error: " << other.what();
        return std::nullopt;
    }
    ADD_FAILURE() << "threw nothing";
    return std::nullopt;
}

// The user-facing sentence of whatever VelmoraError `operation` throws.
template <class Operation>
QString descriptionThrownBy(Operation&& operation)
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
