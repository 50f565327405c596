#include "X11Workspace.h"

#include "X11Connection.h"

X11Workspace::X11Workspace(std::shared_ptr<X11Connection> connection, QObject* parent)
    : Workspace(parent)
    , connection_(std::move(connection))
{
    if (!connection_)
        return;
    activeProcess_ = connection_->frontmostProcess();
    // The window manager announces every new active window; only a change of process is an
    // application switch (moving between two windows of one application is not).
    connect(connection_.get(), &X11Connection::activeWindowChanged, this, [this] {
        const qint64 process = connection_->frontmostProcess();
        if (process == activeProcess_)
            return;
        activeProcess_ = process;
        Q_EMIT applicationActivated();
    });
}

std::optional<qint64> X11Workspace::frontmostProcessId()
{
    const qint64 process = connection_ ? connection_->frontmostProcess() : 0;
    if (process <= 0)
        return std::nullopt;
    return process;
}
