#pragma once

#include "platform/KeyboardPoster.h"

#include <memory>

class WaylandConnection;
struct xkb_context;
struct xkb_keymap;
struct zwp_virtual_keyboard_v1;

// Keys through a keyboard of our own on the compositor's seat (the virtual-keyboard interface of
// wlroots compositors, which any client may use there): the compositor hands them to the focused
// window like a real keyboard's, with the keymap we give it (a small one of our own, see the
// source), so the key a shortcut names is found in our keymap and the user's layout does not
// matter. The keyboard is made with this object, before any field needs it (see create()), and
// kept: a keyboard that goes away can take the window's keyboard focus with it.
// Letters only, which is all the engine posts (the paste shortcut).
class WaylandVirtualKeyboard : public KeyboardPoster {
public:
    // Nothing when the compositor offers no virtual keyboards or no seat.
    static std::unique_ptr<WaylandVirtualKeyboard> create(std::shared_ptr<WaylandConnection> connection);
    ~WaylandVirtualKeyboard() override;
    WaylandVirtualKeyboard(const WaylandVirtualKeyboard&) = delete;
    WaylandVirtualKeyboard& operator=(const WaylandVirtualKeyboard&) = delete;

    // The process is not asked for: keys go to the focused window, which the caller has just
    // confirmed is that process's.
    bool post(qint64 process, const QList<SyntheticKeyEvent>& events) override;

private:
    explicit WaylandVirtualKeyboard(std::shared_ptr<WaylandConnection> connection);
    bool makeKeyboard();
    // The evdev code of the key that types the letter in our keymap; nothing when there is none.
    std::optional<quint32> keyFor(int key) const;
    quint32 modifierMask(Qt::KeyboardModifiers modifiers) const;

    std::shared_ptr<WaylandConnection> m_connection;
    xkb_context* m_context = nullptr;
    xkb_keymap* m_keymap = nullptr;
    zwp_virtual_keyboard_v1* m_keyboard = nullptr;
};
