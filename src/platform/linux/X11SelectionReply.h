#pragma once

#include <QByteArray>
#include <QList>

typedef struct _XDisplay Display;
typedef unsigned long Atom;
typedef unsigned long Window;
union _XEvent;

// The answer to one request for a selection we own: the data goes on the property the requestor
// named and the SelectionNotify tells it where. A request left unfilled is refused (no property),
// which is the answer for a target we do not offer or a request older than our ownership.
class X11SelectionReply {
public:
    // `event` is a SelectionRequest.
    X11SelectionReply(Display* display, const _XEvent& event);
    ~X11SelectionReply();
    X11SelectionReply(const X11SelectionReply&) = delete;
    X11SelectionReply& operator=(const X11SelectionReply&) = delete;

    void setAtoms(const QList<long>& atoms);
    void setTimestamp(unsigned long time);
    void setBytes(Atom type, const QByteArray& bytes);

private:
    Display* m_display;
    Window m_requestor;
    Atom m_selection;
    Atom m_target;
    unsigned long m_time;
    Atom m_property;
    bool m_filled = false;
};
