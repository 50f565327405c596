#include "platform/linux/X11MouseWatch.h"

#include "platform/linux/PostedKeyLedger.h"
#include "platform/linux/X11Connection.h"
#include "platform/linux/X11EventSource.h"
#include "platform/linux/X11KeyboardLayout.h"

X11MouseWatch::X11MouseWatch()
    : m_connection(X11Connection::open())
    , m_ledger(std::make_unique<PostedKeyLedger>())
{
    m_layout = X11KeyboardLayout::following(m_connection.get());
    m_events = std::make_unique<X11EventSource>(m_connection, m_layout.get(), *m_ledger);
}

X11MouseWatch::~X11MouseWatch() = default;

EventSource& X11MouseWatch::events()
{
    return *m_events;
}
