#pragma once

#include "Views/MenuBar/screen/ScreenKeyActions.h"

#include <QEvent>
#include <QKeyEvent>
#include <QWidget>

// Stands in for the popover around a screen shown on its own: the Escape and Return that no
// control of the screen took go to the screen's key actions, as the popover hands them on.
class ScreenKeysHost : public QObject {
public:
    explicit ScreenKeysHost(QWidget* screen)
        : QObject(screen)
        , m_screen(screen)
    {
        screen->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        return watched == m_screen && event->type() == QEvent::KeyPress
            && ScreenKeyActions::dispatch(m_screen, static_cast<QKeyEvent*>(event));
    }

private:
    QWidget* m_screen;
};
