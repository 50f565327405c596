#pragma once

#include "App/State/ConfirmationRequest.h"

#include <QImage>
#include <QPointer>
#include <QWidget>
#include <functional>

class QAbstractButton;
class QVariantAnimation;
class ScaleFadeEffect;

// A yes-or-no question as a modal card over the whole popover: the screen beneath is
// blurred and dimmed, and the card holds an optional symbol, the title, an optional
// message and the buttons "Cancel" and the request's confirm label. Return or the confirm
// button confirms; Escape, "Cancel" or a click on the dimmed backdrop cancels. A click on
// the card itself does nothing. Tab stays inside the card while it is shown.
//
// The overlay answers once: after the first answer (or once it starts to leave) further
// clicks and keys do nothing, so a double click cannot run an action twice.
class ConfirmationOverlay : public QWidget {
    Q_OBJECT
public:
    static constexpr int cardWidth = 280;
    static constexpr qreal startScale = 0.95;
    static constexpr double transitionSeconds = 0.15;
    // The confirm button takes the keyboard focus this long after the card appears.
    static constexpr double focusDelay = 0.05;

    ConfirmationOverlay(const ConfirmationRequest& request, std::function<void()> confirm, std::function<void()> cancel,
        QWidget* parent = nullptr);

    // Gives what lies beneath as it looks now; drawn blurred and dimmed behind the card.
    // Read when the overlay shows and whenever `refreshBackdrop` is called.
    void setBackdropSource(std::function<QImage()> source);
    void refreshBackdrop();

    // Shows the overlay over its parent, fading in and growing from 0.95, and takes the
    // keyboard focus; the confirm button takes it `focusDelay` later.
    void present();
    // Fades out and shrinks, then deletes itself. Takes no answer from here on.
    void dismiss();
    bool isDismissed() const { return m_dismissed; }

    const ConfirmationRequest& request() const { return m_request; }
    QAbstractButton* confirmButton() const { return m_confirmButton; }
    QAbstractButton* cancelButton() const { return m_cancelButton; }
    QWidget* card() const { return m_card; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    bool focusNextPrevChild(bool next) override;

private:
    void answer(bool confirmed);
    void animate(qreal to, std::function<void()> done);

    ConfirmationRequest m_request;
    std::function<void()> m_confirm;
    std::function<void()> m_cancel;
    bool m_answered = false;
    bool m_dismissed = false;
    bool m_pressOnBackdrop = false;
    std::function<QImage()> m_backdropSource;
    QImage m_backdrop;
    QWidget* m_card = nullptr;
    QAbstractButton* m_cancelButton = nullptr;
    QAbstractButton* m_confirmButton = nullptr;
    QPointer<ScaleFadeEffect> m_effect;
    QPointer<QVariantAnimation> m_animation;
};
