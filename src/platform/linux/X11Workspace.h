#pragma once

#include "platform/Workspace.h"

#include <memory>

class X11Connection;

// The frontmost application on X11: the process of the window manager's active window (or of
// the input focus when no window manager publishes one), and the manager's announcements of
// a newly active window. Without X11 there is no frontmost application.
class X11Workspace : public Workspace {
    Q_OBJECT
public:
    explicit X11Workspace(std::shared_ptr<X11Connection> connection, QObject* parent = nullptr);

    std::optional<qint64> frontmostProcessId() override;

private:
    std::shared_ptr<X11Connection> m_connection;
    qint64 m_activeProcess = 0;
};
