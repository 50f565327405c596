#pragma once

#include <QList>
#include <QString>
#include <optional>

// One step of the guided tutorial: the view it points at, its texts, where the tooltip
// stands, what moves the tutorial on, and whether clicks reach the popover beneath.
struct TutorialStep {
    enum class TooltipPosition { above, below, center };
    enum class AdvanceMode { tapToContinue, onNewShortcutScreen, onShortcutSaved, tryShortcut, onExpansion };

    std::optional<QString> targetId;
    QString title;
    QString message;
    TooltipPosition position = TooltipPosition::center;
    AdvanceMode advance = AdvanceMode::onExpansion;
    bool passthrough = false;

    friend bool operator==(const TutorialStep&, const TutorialStep&) = default;

    // The eight steps, in order.
    static const QList<TutorialStep>& all();
};
