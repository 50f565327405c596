#pragma once

#include "Utilities/VelmoraError.h"

// Work that its owner called off before it finished; its result, if any came, was dropped.
class CancellationError final : public VelmoraError {
public:
    QString errorDescription() const override { return QStringLiteral("The operation was cancelled."); }
};
