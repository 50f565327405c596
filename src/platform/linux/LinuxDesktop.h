#pragma once

#include "SessionType.h"
#include "platform/Desktop.h"

#include <QString>
#include <memory>

class AtspiAccessibility;
class AtspiTextFieldEvents;
class LinuxAccessibilityTrust;
class PortalRemoteDesktopKeyboard;
class PostedKeyLedger;
class QtClipboardPasteboard;
class WaylandConnection;
class WaylandDataControlPasteboard;
class WaylandPrimarySelection;
class WaylandVirtualKeyboard;
class X11Connection;
class X11EventSource;
class X11KeyboardHold;
class X11KeyboardLayout;
class X11KeyboardPoster;
class X11PrimarySelection;
class X11Workspace;
class XWaylandPasteboard;

// The Linux back ends of every desktop service the engine uses, made and wired together once
// the QGuiApplication exists. Without an X display the parts that need one stay unavailable and
// say why; nothing else is refused. On a Wayland session no X11 connection is made at all:
// typing is followed and fields are edited through the accessibility bus; where the compositor
// offers a keyboard and the clipboard to any client (wlroots compositors), fields that take no
// edits by offsets are pasted into through those; elsewhere through the desktop portal's
// remote-desktop keyboard, once the user allowed it, and the clipboard of the compositor's
// XWayland, which is connected to only then.
class LinuxDesktop {
public:
    explicit LinuxDesktop(SessionType session = SessionTypes::current());
    ~LinuxDesktop();
    LinuxDesktop(const LinuxDesktop&) = delete;
    LinuxDesktop& operator=(const LinuxDesktop&) = delete;

    Desktop desktop() const;
    // The user's clipboard survives this process ending mid-replacement (X11 only): `program`
    // is this program, started again to give it back.
    void keepClipboardAfterExit(const QString& program);

private:
    std::shared_ptr<X11Connection> m_connection;
    std::unique_ptr<X11KeyboardLayout> m_layout;
    std::unique_ptr<PostedKeyLedger> m_ledger;
    std::unique_ptr<X11KeyboardHold> m_keyboardHold;
    std::unique_ptr<X11EventSource> m_eventSource;
    std::unique_ptr<X11KeyboardPoster> m_keyboard;
    std::unique_ptr<X11Workspace> m_workspace;
    std::unique_ptr<AtspiAccessibility> m_accessibility;
    std::unique_ptr<LinuxAccessibilityTrust> m_trust;
    std::unique_ptr<QtClipboardPasteboard> m_pasteboard;
    std::unique_ptr<X11PrimarySelection> m_primarySelection;
    std::unique_ptr<AtspiTextFieldEvents> m_textFieldEvents;
    std::shared_ptr<WaylandConnection> m_wayland;
    std::unique_ptr<WaylandVirtualKeyboard> m_waylandKeyboard;
    std::unique_ptr<WaylandDataControlPasteboard> m_waylandPasteboard;
    std::unique_ptr<WaylandPrimarySelection> m_waylandPrimary;
    std::unique_ptr<PortalRemoteDesktopKeyboard> m_portalKeyboard;
    std::unique_ptr<XWaylandPasteboard> m_xwaylandPasteboard;
};
