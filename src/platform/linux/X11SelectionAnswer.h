#pragma once

#include "platform/Pasteboard.h"

#include <QDeadlineTimer>
#include <QList>
#include <QtGlobal>
#include <xcb/xcb.h>
#include <xcb/xproto.h>

// Answers requests for a selection we own with contents of our choosing, where the toolkit's own
// answer would hand out the wrong ones (another field's expansion) or no one is left to answer
// (this program was killed mid-paste): the contents' MIME types are offered under their own
// names, and text also under the X text targets older clients ask for.
class X11SelectionAnswer {
public:
    explicit X11SelectionAnswer(xcb_connection_t* connection);

    xcb_connection_t* connection() const { return m_connection; }

    // The bits of a window id that name the client owning it: the windows of one application's
    // connection share them.
    quint32 clientOf(xcb_window_t window) const { return window & m_clientMask; }
    // Our own connection's.
    quint32 ownClient() const;
    // The client that owns the window with the keyboard focus; 0 when there is none (no focus
    // window, or keys follow the pointer), when anyone may be the one pasting.
    quint32 focusedClient() const;
    // Requests for the list of types or our ownership's time, which everyone asks alike.
    bool isQuestionAboutOffer(const xcb_selection_request_event_t& request) const;

    // Writes the bytes of the requested type of `item` (or its list of types) to the requestor
    // and tells it so; refuses what `item` does not hold, and what is too large for one request.
    void answer(const xcb_selection_request_event_t& request, const PasteboardItem& item) const;
    void refuse(const xcb_selection_request_event_t& request) const;

    xcb_atom_t atom(const char* name) const;

private:
    void notify(const xcb_selection_request_event_t& request, xcb_atom_t property) const;

    xcb_connection_t* m_connection;
    quint32 m_clientMask;
    xcb_atom_t m_targets;
    xcb_atom_t m_timestamp;
    xcb_atom_t m_multiple;
    xcb_atom_t m_utf8String;
    xcb_atom_t m_text;
};

// Expansions whose application had not asked for them when they left the clipboard: its paste
// may still come (a stalled application sends the request once it gets to the paste key), and
// gets its own expansion, once, for a while.
class OwedExpansions {
public:
    static constexpr int keptMilliseconds = 30'000;

    void add(quint32 client, const PasteboardItem& item);
    // A newer expansion for the application is what its paste gets.
    void forget(quint32 client);
    void clear() { m_owed.clear(); }
    // Whether any application is still owed an expansion.
    bool isEmpty();
    // Answers the request with what its application is owed; false when it is owed nothing.
    bool answer(const X11SelectionAnswer& answer, const xcb_selection_request_event_t& request);

private:
    struct Owed {
        quint32 client = 0;
        PasteboardItem item;
        QDeadlineTimer expiry;
    };
    QList<Owed> m_owed;
};
