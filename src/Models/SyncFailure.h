#pragma once

#include "Utilities/VelmoraError.h"

#include <QString>
#include <array>

// Why a sync stopped, with the sentence the user sees. Failures are equal when their kinds
// are equal.
class SyncFailure : public VelmoraError {
public:
    enum class Kind {
        storageUnavailable,
        localChanged,
        cloudChanged,
        accountChanged,
        busy,
        invalidResponse,
        reviewRequired,
        interrupted,
        duplicateTriggers,
    };
    static constexpr std::array<Kind, 9> allKinds{
        Kind::storageUnavailable,
        Kind::localChanged,
        Kind::cloudChanged,
        Kind::accountChanged,
        Kind::busy,
        Kind::invalidResponse,
        Kind::reviewRequired,
        Kind::interrupted,
        Kind::duplicateTriggers,
    };

    explicit SyncFailure(Kind kind) noexcept
        : m_kind(kind)
    {
    }

    Kind kind() const { return m_kind; }
    QString errorDescription() const override;

    friend bool operator==(const SyncFailure& a, const SyncFailure& b) { return a.m_kind == b.m_kind; }

private:
    Kind m_kind;
};
size_t qHash(const SyncFailure& failure, size_t seed = 0);
