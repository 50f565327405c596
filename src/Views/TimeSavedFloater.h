#pragma once

#include "Utilities/Scheduler.h"

#include <QImage>
#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QRegion>
#include <QString>
#include <optional>

class FloatingPicture;
class QLabel;
class QWidget;

// After an expansion, a small "+1.2s saved" label next to the pointer that rises 50 px and
// fades within 2.5 s. At most one is visible: a new one replaces the previous at once. The
// window is made once and shown again for each expansion; its text is drawn only when it
// changes, and each step of the rise only moves the window.
class TimeSavedFloater : public QObject {
    Q_OBJECT
public:
    static constexpr int width = 160;
    static constexpr int height = 40;
    static constexpr int steps = 50;
    static constexpr double stepInterval = 0.05;
    static constexpr int rise = 50;

    static TimeSavedFloater& shared();

    // Nothing for a time that is not a positive number, nor where the window system would give
    // the label's window the keyboard of the application just typed in.
    void show(double timeSaved);

    // "+1.2s saved", "+1m saved", "+1m 1s saved"; nothing for a time that is not positive.
    static std::optional<QString> text(double timeSaved);
    // Opacity at progress p (0 to 1): full until 70 %, then falling linearly to 0.
    static double opacityAt(double progress);

    // The window while a label shows in it; null otherwise.
    QWidget* window() const;

private:
    void createAndAnimate(const QString& text);
    QWidget* makeWindow();
    void play(FloatingPicture& picture, QWidget& window);
    void step();

    QPointer<QWidget> m_window;
    QPointer<QLabel> m_label;
    // The text last drawn, kept: the same shortcut saves the same time again.
    QString m_drawnText;
    QImage m_drawn;
    // The pixels of the text, where nothing composites the window.
    QRegion m_shape;
    // Where the window stands at the start of the rise.
    QPoint m_start;
    // The steps of the label shown now; a newer label cancels them.
    ScheduledTask m_steps;
    int m_step = 0;
};
