#pragma once

#include "Services/TutorialStep.h"

#include <QWidget>

class QAbstractButton;
class TextButton;
class ThemedLabel;
class TutorialManager;

// The card of the spotlight: the wordmark, the step counter and a close control, the step's
// title and message, and, on the steps the user reads rather than acts on, a footer with a
// secondary button (Skip, or Done on the try-it step) and a primary one that moves on.
// The card draws nothing itself: the overlay beneath paints its glass and shadow, so that
// both move together.
class TutorialTooltip : public QWidget {
    Q_OBJECT
public:
    static constexpr int cardWidth = 270;
    static constexpr qreal cornerRadius = 14;
    // The steps that show a card; the last step waits in another application.
    static constexpr int shownSteps = 7;

    TutorialTooltip(TutorialManager& tutorial, QWidget* parent = nullptr);

    // Shows `step`, the step at `index`; `trigger` stands in for "{TRIGGER}" in its message.
    void showStep(const TutorialStep& step, int index, const QString& trigger);
    // The card's height at its fixed width, for what it shows now.
    int cardHeight() const;

    QAbstractButton* closeButton() const { return m_close; }
    QAbstractButton* primaryButton() const { return m_primary; }
    QAbstractButton* secondaryButton() const;
    QString counterText() const;

protected:
    // A click on the card outside its buttons stays on the card.
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    TutorialManager& m_tutorial;
    TutorialStep::AdvanceMode m_advance = TutorialStep::AdvanceMode::tapToContinue;
    ThemedLabel* m_counter;
    ThemedLabel* m_title;
    ThemedLabel* m_message;
    QWidget* m_footer;
    QAbstractButton* m_close;
    QAbstractButton* m_primary;
    TextButton* m_secondary;
};
