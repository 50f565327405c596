#pragma once

#include "Services/TutorialStep.h"

#include <QPointer>
#include <QWidget>
#include <functional>
#include <optional>

class QShortcut;
class QVariantAnimation;
class TutorialManager;
class TutorialTooltip;

// The spotlight of the guided tutorial, laid over the whole popover: it dims everything but
// a rounded hole around the control the current step speaks of, outlines that hole with a
// softly pulsing ring on the steps where the user works in the popover, and shows the step
// in a card next to it. It keeps no tutorial state: what it shows comes from the tutorial
// and what the user does on it goes back there.
//
// On the steps where the user works in the popover, clicks inside the hole reach the
// control beneath (the hole is cut out of the overlay's input region as well as its
// painting); elsewhere a click on the dimmed area moves a reading step on and does nothing
// on the others. Escape ends the tutorial while the overlay is shown. The keyboard stays on
// the card too: Tab cycles its buttons (and the highlighted control where the step asks the
// user to act on it), Return presses the focused button or the card's default one. Hidden while the
// tutorial is idle and on its last step, which waits in another application.
class TutorialOverlay : public QWidget {
    Q_OBJECT
public:
    static constexpr int holeMarginX = 8;
    static constexpr int holeMarginY = 6;
    static constexpr qreal holeRadius = 12;
    static constexpr qreal dimOpacity = 0.24;
    // A dark page needs more to look dimmed at all.
    static constexpr qreal darkDimOpacity = 0.45;
    // The hole and the card glide to the next step, and the overlay fades in and out, in
    // this time.
    static constexpr double glideSeconds = 0.2;
    // The ring fades from its rest opacity to its faint one and back over twice this time.
    static constexpr double pulseSeconds = 1.3;
    static constexpr qreal ringRestOpacity = 0.8;
    static constexpr qreal ringFaintOpacity = 0.45;
    static constexpr qreal initialTooltipHeight = 170;

    TutorialOverlay(TutorialManager& tutorial, QWidget* parent = nullptr);

    // Where the card's centre stands in an overlay of `size`, for a target at `target` (in
    // the overlay's coordinates; none when the step has no target or it has not reported
    // its frame yet) and a card `tooltipHeight` high: next to the target as `position`
    // asks, kept inside the overlay; centred for a centred step or a missing target.
    static QPointF computeTooltipPos(const std::optional<QRectF>& target, TutorialStep::TooltipPosition position,
        const QSizeF& size, qreal tooltipHeight);

    // The hole as drawn now, in the overlay's coordinates; empty when everything is dimmed.
    QRectF hole() const { return m_hole; }
    bool showsRing() const;
    qreal ringOpacity() const { return m_ringOpacity; }
    TutorialTooltip* tooltip() const { return m_tooltip; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The controls the keyboard may reach while the spotlight is up, in Tab order.
    QList<QWidget*> reachable() const;
    QWidget* focusedInWindow() const;
    void focusCard();
    bool isCovered() const;
    // Follows the tutorial; `glide` moves the hole and the card smoothly to the new step.
    void refresh(bool glide);
    // Takes the overlay off the popover, fading it out where motion is allowed.
    void leave();
    // Cancels a fade-out: the tutorial came back before the overlay was gone.
    void stayAfterAll();
    void fadeTo(qreal opacity, std::function<void()> done);
    std::optional<QRectF> targetRect() const;
    void setHole(const QRectF& hole);
    void placeTooltip(const QPointF& centre);
    void updateInputRegion();
    void updatePulse();

    TutorialManager& m_tutorial;
    // What had the focus before the card took it.
    QPointer<QWidget> m_focusBefore;
    TutorialTooltip* m_tooltip;
    QRectF m_hole;
    // Where the hole is going: what the keyboard may reach while it glides there.
    QRectF m_holeTarget;
    QPointF m_tooltipPos;
    bool m_passthrough = false;
    bool m_pressOnDim = false;
    bool m_leaving = false;
    qreal m_ringOpacity = ringRestOpacity;
    QPointer<QVariantAnimation> m_holeAnimation;
    QPointer<QVariantAnimation> m_tooltipAnimation;
    QPointer<QVariantAnimation> m_fade;
    QShortcut* m_escape;
    QVariantAnimation* m_pulse;
};
