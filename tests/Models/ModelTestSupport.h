#pragma once

#include "ErrorCapture.h"
#include "Models/VelmoraJSON.h"

#include <gtest/gtest.h>

// The description of the DecodingError that reading `json` as T fails with.
template <class T> QString readFailure(const QByteArray& json)
{
    const auto e = errorThrownBy<DecodingError>([&] { VelmoraJSON::decode<T>(json); });
    return e ? e->errorDescription() : QString();
}

// The coding path of the DecodingError that reading `json` as T fails with.
template <class T> QString readFailurePath(const QByteArray& json)
{
    const auto e = errorThrownBy<DecodingError>([&] { VelmoraJSON::decode<T>(json); });
    return e ? e->codingPath() : QStringLiteral("<no error>");
}

// Encoding, reading back and encoding again gives the first bytes.
template <class T>::testing::AssertionResult roundTripsByteForByte(const T& value)
{
    const QByteArray first = VelmoraJSON::encode(value);
    const QByteArray second = VelmoraJSON::encode(VelmoraJSON::decode<T>(first));
    if (first == second)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "first:\n" << first.constData() << "\nsecond:\n" << second.constData();
}

inline std::ostream& operator<<(std::ostream& os, const QString& s)
{
    return os << s.toStdString();
}
