#pragma once

#include "Views/MenuBar/achievements/AchievementUnlockView.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QRect>

// Announces earned achievements, one banner at a time, near the top-right corner of the
// screen under the pointer, over every other window and without taking the keyboard from
// the application being typed in. Each banner stays until it is dismissed, then fades out
// and the next queued one follows.
class AchievementUnlockToast : public QObject {
    Q_OBJECT
public:
    static constexpr int edgeMargin = 16;
    static constexpr double fadeSeconds = 0.25;
    static constexpr int fadeSteps = 10;

    static AchievementUnlockToast& shared();

    ~AchievementUnlockToast() override;

    // Nothing where a banner cannot float without taking the keyboard; the achievement is
    // earned all the same.
    void show(const Achievement& achievement);

    bool isPresenting() const { return m_presenting; }
    int queuedCount() const { return int(m_queue.size()); }
    // The banner on screen (fading out included), if any.
    AchievementUnlockView* banner() const { return m_banner; }

    // Where a banner goes: 16 px in from the top-right corner of the available area of the
    // screen under the pointer (the primary screen when the pointer is on none).
    static QRect originRectForActiveScreen();

private:
    void playNext();
    void fadeOutAndClose(AchievementUnlockView* banner);

    QList<Achievement> m_queue;
    bool m_presenting = false;
    QPointer<AchievementUnlockView> m_banner;
};
