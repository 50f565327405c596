#include "X11Workspace.h"

#include "X11Connection.h"

X11Workspace::X11Workspace(std::shared_ptr<X11Connection> connection, QObject* parent)
    : Workspace(parent)
    , m_connection(std::move(connection))
{
    if (!m_connection)
        return;
    m_activeProcess = m_connection->frontmostProcess();
    // The window manager announces every new active window; only a change of process is an
    // application switch (moving between two windows of one application is not).
    connect(m_connection.get(), &X11Connection::activeWindowChanged, this, [this] {
        const qint64 process = m_connection->frontmostProcess();
        if (process == m_activeProcess)
            return;
        m_activeProcess = process;
        Q_EMIT applicationActivated();
    });
}

std::optional<qint64> X11Workspace::frontmostProcessId()
{
    const qint64 process = m_connection ? m_connection->frontmostProcess() : 0;
    if (process <= 0)
        return std::nullopt;
    return process;
}
