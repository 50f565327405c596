#pragma once

#include <QObject>
#include <optional>

// The desktop's applications as a whole: which one is in front, and when that changes.
// Main thread only.
class Workspace : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // Process id of the application whose window is active (X11: _NET_WM_PID of the
    // _NET_ACTIVE_WINDOW); nothing when no window is active or its owner is unknown.
    virtual std::optional<qint64> frontmostProcessId() = 0;

Q_SIGNALS:
    // An application became the active one (any application, this one included). Emitted
    // on the main thread.
    void applicationActivated();
};
