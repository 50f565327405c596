#include "platform/linux/X11MouseWatch.h"

#include "platform/linux/PostedKeyLedger.h"
#include "platform/linux/X11Connection.h"
#include "platform/linux/X11EventSource.h"
#include "platform/linux/X11KeyboardLayout.h"

X11MouseWatch::X11MouseWatch()
    : m_connection(X11Connection::open())
    , m_ledger(std::make_unique<PostedKeyLedger>())
{
    if (m_connection) {
        m_layout = std::make_unique<X11KeyboardLayout>(m_connection->display());
        QObject::connect(m_connection.get(), &X11Connection::keyboardMappingChanged, m_connection.get(),
            [layout = m_layout.get()] { layout->reload(); });
    }
    m_events = std::make_unique<X11EventSource>(m_connection, m_layout.get(), *m_ledger);
}

X11MouseWatch::~X11MouseWatch() = default;

EventSource& X11MouseWatch::events()
{
    return *m_events;
}
