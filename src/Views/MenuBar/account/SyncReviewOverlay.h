#pragma once

#include "Services/SyncReview.h"

#include <QPointer>
#include <QWidget>

class AuthService;
class QBoxLayout;
class OverlayScrollArea;
class QAbstractButton;
class QVariantAnimation;
class ScaleFadeEffect;
class SyncCoordinator;
class ThemedLabel;

// A sync paused for the user's choice, laid over the whole account screen: the screen dimmed,
// and one card that says why a choice is needed, how many shortcuts each side holds, and the
// ways forward (download the cloud library, upload this computer's, or keep sync paused). It
// decides nothing: each choice goes to the coordinator quoting the review's id, and the
// overlay is removed when the coordinator clears its review. While a choice is saving, the
// whole card is inert.
class SyncReviewOverlay : public QWidget {
    Q_OBJECT
public:
    static constexpr int maximumCardWidth = 360;
    static constexpr qreal startScale = 0.95;
    static constexpr double transitionSeconds = 0.2;

    SyncReviewOverlay(
        const SyncReview& review, SyncCoordinator& sync, const AuthService& auth, QWidget* parent = nullptr);

    const SyncReview& review() const { return m_review; }
    QWidget* card() const { return m_card; }

    // "0 shortcuts", "1 shortcut", "2 shortcuts".
    static QString shortcutCount(qsizetype count);
    static QString title(SyncReview::Reason reason);
    static QString explanation(SyncReview::Reason reason);

    // Shows the overlay over its parent, fading in and growing from startScale.
    void present();
    // Fades out and shrinks, then deletes itself.
    void leave();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    QWidget* buildCard(const AuthService& auth);
    QWidget* libraryTiles();
    void addChoices(QBoxLayout* column);
    void refresh();
    void animate(qreal to, std::function<void()> done);

    SyncReview m_review;
    SyncCoordinator& m_sync;
    OverlayScrollArea* m_scroll = nullptr;
    QWidget* m_content = nullptr;
    QWidget* m_card = nullptr;
    QWidget* m_saving = nullptr;
    ScaleFadeEffect* m_effect = nullptr;
    QPointer<QVariantAnimation> m_animation;
};
