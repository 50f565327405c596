#pragma once

#include "Models/Shortcut.h"

#include <QFontMetricsF>
#include <array>
#include <memory>
#include <optional>

class AppState;
class FolderCard;
class PopoverCommands;
class QWidget;
class ShortcutCard;

// The height a card would take at a width, without building it: the main list arranges
// every row but builds cards only near the screen. Measured on one sample card of each
// kind, so it matches a built card whenever the preview's line count is known without
// laying the text out (always for the two-line preview, bar texts that only just fit on
// one line); with whole texts shown, long texts are estimated. The list measures every card
// it builds and corrects its arrangement where the two differ.
class CardHeightEstimate {
public:
    CardHeightEstimate(AppState& appState, PopoverCommands& commands);
    ~CardHeightEstimate();

    int folder(int width);
    int shortcut(const Shortcut& shortcut, bool folderLine, int width);
    // The same in two steps: the lines its preview takes, which do not depend on the folder
    // line, and the card's height with them.
    int previewLines(const Shortcut& shortcut, int width);
    int shortcut(int previewLines, bool folderLine, int width);

    // A built card's height at `width`, as a layout asks for it.
    static int heightOf(const QWidget& card, int width);

private:
    struct Measures {
        int width = -1;
        bool wholeText = false;
        int folder = 0;
        int shortcut[2] = {0, 0}; // one preview line, without and with the folder line
        int lineStep = 0;
        qreal previewWidth = 0;
        std::optional<QFontMetricsF> metrics;
        // Of each printable ASCII character alone.
        std::array<qreal, 128> asciiAdvance{};
    };

    const Measures& measuresAt(int width);
    int previewLines(const CompactText& text, const Measures& measures) const;

    AppState& m_appState;
    std::unique_ptr<FolderCard> m_folder;
    std::unique_ptr<ShortcutCard> m_shortcut;
    Measures m_measures;
};
