#include "Views/MenuBar/list/CardHeightEstimate.h"

#include "App/State/AppState.h"
#include "Views/Components/AccessibleRoles.h"
#include "Views/Components/ClampedTextLabel.h"
#include "Views/Components/FolderNameLine.h"
#include "Views/MenuBar/list/FolderCard.h"
#include "Views/MenuBar/list/ShortcutCard.h"

#include <QLayout>
#include <cmath>

namespace {

// No text this long fits on one preview line: even its narrowest characters are wider.
constexpr qreal narrowestCharacter = 2;
// How far a line's width may stray from the sum of its characters' own widths.
constexpr qreal kerningMargin = 0.1;

ScreenBinding inertBinding()
{
    return ScreenBinding([] { return PopoverScreen::main(); }, [](const PopoverScreen&) {});
}

// Sample cards are laid out like shown ones but never appear. As windows of their own they
// would take their layout's minimum as theirs, and keep the tallest one measured. A screen
// reader hears nothing of them: their showing would be read out as a row and a blank
// "Edit" button each time the list is built.
template <class Card> void keepOffScreen(Card& card)
{
    card.layout()->setSizeConstraint(QLayout::SetNoConstraint);
    card.setAttribute(Qt::WA_DontShowOnScreen);
    AccessibleRoles::keepUnseen(&card);
    card.show();
}

} // namespace

CardHeightEstimate::CardHeightEstimate(AppState& appState, PopoverCommands& commands)
    : m_appState(appState)
{
    Group group;
    group.name = QStringLiteral("x");
    m_folder = std::make_unique<FolderCard>(appState, group, inertBinding(), commands);
    m_shortcut = std::make_unique<ShortcutCard>(appState, Shortcut{}, inertBinding(), commands);
    keepOffScreen(*m_folder);
    keepOffScreen(*m_shortcut);
}

CardHeightEstimate::~CardHeightEstimate() = default;

int CardHeightEstimate::heightOf(const QWidget& card, int width)
{
    const int height = card.layout() ? card.layout()->totalHeightForWidth(width) : card.heightForWidth(width);
    return std::clamp(height, card.minimumHeight(), card.maximumHeight());
}

const CardHeightEstimate::Measures& CardHeightEstimate::measuresAt(int width)
{
    const bool wholeText = m_appState.settings().expandText;
    if (m_measures.width == width && m_measures.wholeText == wholeText)
        return m_measures;
    Measures measures;
    measures.width = width;
    measures.wholeText = wholeText;
    measures.folder = heightOf(*m_folder, width);
    ClampedTextLabel* preview = m_shortcut->previewLabel();
    FolderNameLine* folderLine = m_shortcut->folderLine();
    folderLine->setFolder(QStringLiteral("x"), std::nullopt, {});
    for (const bool shown : {false, true}) {
        folderLine->setVisible(shown);
        preview->setText(QStringLiteral("x"));
        measures.shortcut[shown] = heightOf(*m_shortcut, width);
        preview->setText(QStringLiteral("x\nx"));
        measures.lineStep = heightOf(*m_shortcut, width) - measures.shortcut[shown];
    }
    const QMargins card = m_shortcut->layout()->contentsMargins();
    const QMargins label = preview->contentsMargins();
    measures.metrics.emplace(preview->font());
    for (char16_t c = u' '; c < 127; ++c)
        measures.asciiAdvance[c] = measures.metrics->horizontalAdvance(QChar(c));
    measures.previewWidth = std::max(1, width - card.left() - card.right() - label.left() - label.right());
    m_measures = measures;
    return m_measures;
}

int CardHeightEstimate::previewLines(const CompactText& text, const Measures& measures) const
{
    if (text.isEmpty())
        return 1;
    const QFontMetricsF& metrics = *measures.metrics;
    // Measured on the text's own bytes: the estimate runs over every card of a large library.
    const QByteArrayView utf8(text.utf8());
    if (measures.wholeText) {
        qreal lines = 0;
        for (qsizetype from = 0; from <= utf8.size();) {
            qsizetype end = utf8.indexOf('\n', from);
            if (end < 0)
                end = utf8.size();
            const qsizetype characters = CompactText::utf16Size(utf8.sliced(from, end - from));
            lines += std::max<qreal>(1, std::ceil(characters * metrics.averageCharWidth() / measures.previewWidth));
            from = end + 1;
        }
        return int(lines);
    }
    const qreal longestOnOneLine = measures.previewWidth / narrowestCharacter;
    // A character takes at most three bytes of UTF-8 for each of its UTF-16 units.
    if (utf8.size() > 3 * longestOnOneLine || utf8.contains('\n'))
        return ShortcutCard::previewLines;
    if (text.isAscii()) {
        if (utf8.size() > longestOnOneLine)
            return ShortcutCard::previewLines;
        // Laying a text out costs far more than adding up its characters' widths, and only
        // kerning tells the two apart, by a few per cent at most: only a text that nearly
        // fills the line is laid out.
        qreal sum = 0;
        bool printable = true;
        for (const char c : utf8) {
            printable = printable && c >= ' ' && c < 127;
            sum += measures.asciiAdvance[uchar(c) & 127];
        }
        if (printable && sum < measures.previewWidth * (1 - kerningMargin))
            return 1;
        if (printable && sum > measures.previewWidth * (1 + kerningMargin))
            return ShortcutCard::previewLines;
    } else {
        // Other characters only widen a line: when its ASCII characters alone overfill it,
        // the text is not laid out, which for scripts and emoji drawn from other fonts costs
        // more than for ASCII.
        qreal ascii = 0;
        for (const char c : utf8) {
            if (uchar(c) >= ' ' && uchar(c) < 127)
                ascii += measures.asciiAdvance[uchar(c)];
        }
        if (ascii > measures.previewWidth * (1 + kerningMargin))
            return ShortcutCard::previewLines;
    }
    const QString whole = text.toString();
    if (whole.size() > longestOnOneLine)
        return ShortcutCard::previewLines;
    return metrics.horizontalAdvance(whole) <= measures.previewWidth ? 1 : ShortcutCard::previewLines;
}

int CardHeightEstimate::folder(int width)
{
    return measuresAt(width).folder;
}

int CardHeightEstimate::shortcut(const Shortcut& shortcut, bool folderLine, int width)
{
    return this->shortcut(previewLines(shortcut, width), folderLine, width);
}

int CardHeightEstimate::previewLines(const Shortcut& shortcut, int width)
{
    return previewLines(shortcut.expansion, measuresAt(width));
}

int CardHeightEstimate::shortcut(int previewLines, bool folderLine, int width)
{
    const Measures& measures = measuresAt(width);
    return measures.shortcut[folderLine] + (previewLines - 1) * measures.lineStep;
}
