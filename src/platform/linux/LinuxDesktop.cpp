#include "LinuxDesktop.h"

#include "AtspiAccessibility.h"
#include "AtspiTextFieldEvents.h"
#include "LinuxAccessibilityTrust.h"
#include "PortalRemoteDesktopKeyboard.h"
#include "PostedKeyLedger.h"
#include "QtClipboardPasteboard.h"
#include "WaylandConnection.h"
#include "WaylandDataControlPasteboard.h"
#include "WaylandPrimarySelection.h"
#include "WaylandVirtualKeyboard.h"
#include "X11Connection.h"
#include "X11EventSource.h"
#include "X11KeyboardHold.h"
#include "X11KeyboardLayout.h"
#include "X11KeyboardPoster.h"
#include "X11PrimarySelection.h"
#include "X11Workspace.h"
#include "XWaylandPasteboard.h"

#include <QDBusConnection>

LinuxDesktop::LinuxDesktop(SessionType session)
    : m_connection(session == SessionType::x11 ? X11Connection::open() : nullptr)
    , m_ledger(std::make_unique<PostedKeyLedger>())
{
    m_layout = X11KeyboardLayout::following(m_connection.get());
    m_keyboardHold = std::make_unique<X11KeyboardHold>(m_connection, m_layout.get(), *m_ledger);
    m_keyboard = std::make_unique<X11KeyboardPoster>(m_connection, m_layout.get(), *m_ledger);
    m_keyboard->setHold(m_keyboardHold.get());
    m_eventSource = std::make_unique<X11EventSource>(m_connection, m_layout.get(), *m_ledger, m_keyboardHold.get());
    m_workspace = std::make_unique<X11Workspace>(m_connection);
    m_accessibility = std::make_unique<AtspiAccessibility>();
    m_accessibility->start();
    m_trust = std::make_unique<LinuxAccessibilityTrust>(m_connection, session);
    m_pasteboard = std::make_unique<QtClipboardPasteboard>();
    if (m_connection)
        m_primarySelection = std::make_unique<X11PrimarySelection>();
    if (session == SessionType::wayland) {
        m_textFieldEvents = std::make_unique<AtspiTextFieldEvents>();
        m_wayland = WaylandConnection::session();
        m_waylandKeyboard = WaylandVirtualKeyboard::create(m_wayland);
        m_waylandPasteboard = WaylandDataControlPasteboard::create(m_wayland);
        // Compositors that lend neither to a client without the focus (GNOME's mutter): the
        // portal's keyboard, allowed by the user, and the clipboard through XWayland. Neither
        // is touched before a field needs them.
        if (!m_waylandKeyboard || !m_waylandPasteboard) {
            m_waylandKeyboard.reset();
            m_waylandPasteboard.reset();
            m_xwaylandPasteboard = XWaylandPasteboard::create();
            if (m_xwaylandPasteboard)
                m_portalKeyboard = std::make_unique<PortalRemoteDesktopKeyboard>(QDBusConnection::sessionBus());
        }
        if (m_waylandPasteboard && m_waylandPasteboard->offersPrimary())
            m_waylandPrimary = std::make_unique<WaylandPrimarySelection>(*m_waylandPasteboard);
    }
}

LinuxDesktop::~LinuxDesktop() = default;

Desktop LinuxDesktop::desktop() const
{
    Desktop desktop;
    desktop.eventSource = m_eventSource.get();
    desktop.accessibility = m_accessibility.get();
    desktop.trust = m_trust.get();
    desktop.keyboard = m_keyboard.get();
    desktop.pasteboard = m_pasteboard.get();
    desktop.workspace = m_workspace.get();
    desktop.keyboardHold = m_keyboardHold.get();
    desktop.primarySelection = m_primarySelection.get();
    desktop.textFieldEvents = m_textFieldEvents.get();
    if (m_waylandKeyboard && m_waylandPasteboard) {
        desktop.keyboard = m_waylandKeyboard.get();
        desktop.pasteboard = m_waylandPasteboard.get();
        desktop.primarySelection = m_waylandPrimary.get();
        desktop.pastesIntoFields = true;
    } else if (m_portalKeyboard && m_xwaylandPasteboard) {
        desktop.keyboard = m_portalKeyboard.get();
        desktop.pasteboard = m_xwaylandPasteboard.get();
        desktop.pastesIntoFields = true;
    }
    return desktop;
}

void LinuxDesktop::keepClipboardAfterExit(const QString& program)
{
    if (m_pasteboard && m_connection)
        m_pasteboard->keepAfterExit(program);
}
