#include "X11SelectionReply.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>

X11SelectionReply::X11SelectionReply(Display* display, const XEvent& event)
    : m_display(display)
    , m_requestor(event.xselectionrequest.requestor)
    , m_selection(event.xselectionrequest.selection)
    , m_target(event.xselectionrequest.target)
    , m_time(event.xselectionrequest.time)
    // Obsolete requestors name no property: the target's name is the one to use.
    , m_property(event.xselectionrequest.property == None ? m_target : event.xselectionrequest.property)
{
}

// Sent on destruction so that every path through an answer replies exactly once: a requestor
// that hears nothing waits for its own timeout, which in a paste is the user's wait.
X11SelectionReply::~X11SelectionReply()
{
    XEvent reply{};
    reply.xselection.type = SelectionNotify;
    reply.xselection.display = m_display;
    reply.xselection.requestor = m_requestor;
    reply.xselection.selection = m_selection;
    reply.xselection.target = m_target;
    reply.xselection.time = m_time;
    reply.xselection.property = m_filled ? m_property : None;
    XSendEvent(m_display, m_requestor, False, NoEventMask, &reply);
    XFlush(m_display);
}

void X11SelectionReply::setAtoms(const QList<long>& atoms)
{
    XChangeProperty(m_display, m_requestor, m_property, XA_ATOM, 32, PropModeReplace,
        reinterpret_cast<const unsigned char*>(atoms.constData()), int(atoms.size()));
    m_filled = true;
}

void X11SelectionReply::setTimestamp(unsigned long time)
{
    const long value = long(time);
    XChangeProperty(m_display, m_requestor, m_property, XA_INTEGER, 32, PropModeReplace,
        reinterpret_cast<const unsigned char*>(&value), 1);
    m_filled = true;
}

void X11SelectionReply::setBytes(Atom type, const QByteArray& bytes)
{
    XChangeProperty(m_display, m_requestor, m_property, type, 8, PropModeReplace,
        reinterpret_cast<const unsigned char*>(bytes.constData()), int(bytes.size()));
    m_filled = true;
}
