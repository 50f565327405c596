#pragma once

#include <QByteArray>
#include <optional>

// What the tutorial records in the user's preferences under "velmora_onboarded".
struct OnboardState {
    bool seeded = false;
    bool tutorialShown = false;
    bool tutorialCompleted = false;

    // Compact JSON with the three keys; all three are required when reading.
    QByteArray encode() const;
    static std::optional<OnboardState> decode(const QByteArray& bytes);

    friend bool operator==(const OnboardState&, const OnboardState&) = default;
};
