#include "WaylandVirtualKeyboard.h"

#include "WaylandConnection.h"
#include "virtual-keyboard-unstable-v1-client.h"

#include <QElapsedTimer>
#include <QString>
#include <cstdlib>
#include <cstring>
#include <linux/input-event-codes.h>
#include <optional>
#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>
#include <xkbcommon/xkbcommon.h>

namespace {
// Key states of the keyboard protocol.
constexpr quint32 released = 0;
constexpr quint32 pressed = 1;
// Evdev codes are X key codes less this.
constexpr quint32 evdevOffset = 8;

// The keymap every application focused after one of our keys is handed (the compositor gives a
// window the keymap of the keyboard typed on last): only the keys the engine posts, at their
// evdev places (the letters, End, and the modifiers that go with them), and nothing taken from
// the environment (XKB_DEFAULT_*) or the user's keymap files, whose layouts and options no one
// can vouch every client compiles. Its key codes stay within X's (8 to 255), which XWayland and
// clients built around X key codes take; a keymap this small is what tools that type for the
// user (wtype) hand over, and every toolkit takes theirs.
QByteArray ownKeymap()
{
    static constexpr int letters[26] = {KEY_A, KEY_B, KEY_C, KEY_D, KEY_E, KEY_F, KEY_G, KEY_H, KEY_I, KEY_J,
        KEY_K, KEY_L, KEY_M, KEY_N, KEY_O, KEY_P, KEY_Q, KEY_R, KEY_S, KEY_T, KEY_U, KEY_V, KEY_W, KEY_X, KEY_Y,
        KEY_Z};
    struct Key {
        QString name;
        int code;
        QString symbols;
    };
    QList<Key> keys{{"LCTL", KEY_LEFTCTRL, "Control_L"}, {"LFSH", KEY_LEFTSHIFT, "Shift_L"},
        {"LALT", KEY_LEFTALT, "Alt_L"}, {"LWIN", KEY_LEFTMETA, "Super_L"}, {"END", KEY_END, "End"}};
    for (int index = 0; index < 26; ++index) {
        const QChar letter(u'a' + index);
        keys.append({QStringLiteral("L%1").arg(letter.toUpper()), letters[index],
            QStringLiteral("%1, %2").arg(letter).arg(letter.toUpper())});
    }
    QString codes;
    QString symbols;
    for (const Key& key : std::as_const(keys)) {
        codes += QStringLiteral("<%1> = %2;\n").arg(key.name).arg(key.code + evdevOffset);
        symbols += QStringLiteral("key <%1> { [ %2 ] };\n").arg(key.name, key.symbols);
    }
    return QStringLiteral("xkb_keymap {\n"
                          "xkb_keycodes \"velmora\" {\nminimum = 8;\nmaximum = 255;\n%1};\n"
                          "xkb_types \"velmora\" { include \"complete\" };\n"
                          "xkb_compatibility \"velmora\" { include \"complete\" };\n"
                          "xkb_symbols \"velmora\" {\n%2"
                          "modifier_map Control { <LCTL> };\nmodifier_map Shift { <LFSH> };\n"
                          "modifier_map Mod1 { <LALT> };\nmodifier_map Mod4 { <LWIN> };\n};\n};\n")
        .arg(codes, symbols)
        .toUtf8();
}

quint32 milliseconds()
{
    static QElapsedTimer clock;
    if (!clock.isValid())
        clock.start();
    return quint32(clock.elapsed());
}
} // namespace

std::unique_ptr<WaylandVirtualKeyboard> WaylandVirtualKeyboard::create(std::shared_ptr<WaylandConnection> connection)
{
    if (!connection || !connection->virtualKeyboards() || !connection->seat())
        return nullptr;
    std::unique_ptr<WaylandVirtualKeyboard> keyboard(new WaylandVirtualKeyboard(std::move(connection)));
    // Made now rather than with the first paste: sway takes a new keyboard by sending the focused
    // window the keyboard's leave and enter, and Firefox, entered again, put the caret of the
    // page's rich-text region at its start, after the trigger had been selected and shown so: the
    // keys typed on and the paste landed there, the trigger kept ("Best regards, AnnaHi /sig ok",
    // only ever at a session's first paste).
    if (!keyboard->m_keymap || !keyboard->makeKeyboard())
        return nullptr;
    return keyboard;
}

WaylandVirtualKeyboard::WaylandVirtualKeyboard(std::shared_ptr<WaylandConnection> connection)
    : m_connection(std::move(connection))
    , m_context(xkb_context_new(XKB_CONTEXT_NO_FLAGS))
{
    if (m_context)
        m_keymap = xkb_keymap_new_from_string(
            m_context, ownKeymap().constData(), XKB_KEYMAP_FORMAT_TEXT_V1, XKB_KEYMAP_COMPILE_NO_FLAGS);
}

WaylandVirtualKeyboard::~WaylandVirtualKeyboard()
{
    if (m_keyboard) {
        zwp_virtual_keyboard_v1_destroy(m_keyboard);
        m_connection->flush();
    }
    xkb_keymap_unref(m_keymap);
    xkb_context_unref(m_context);
}

bool WaylandVirtualKeyboard::makeKeyboard()
{
    if (m_keyboard)
        return true;
    char* text = xkb_keymap_get_as_string(m_keymap, XKB_KEYMAP_FORMAT_TEXT_V1);
    if (!text)
        return false;
    const size_t size = std::strlen(text) + 1;
    const int fd = memfd_create("velmora-keymap", MFD_CLOEXEC);
    const bool written = fd >= 0 && ::write(fd, text, size) == ssize_t(size);
    std::free(text);
    if (!written) {
        if (fd >= 0)
            ::close(fd);
        return false;
    }
    m_keyboard = zwp_virtual_keyboard_manager_v1_create_virtual_keyboard(
        m_connection->virtualKeyboards(), m_connection->seat());
    zwp_virtual_keyboard_v1_keymap(m_keyboard, WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1, fd, quint32(size));
    ::close(fd);
    // The compositor refuses a keyboard by ending the connection: find out now.
    return m_connection->roundtrip();
}

std::optional<quint32> WaylandVirtualKeyboard::keyFor(int key) const
{
    xkb_keysym_t wanted = XKB_KEY_NoSymbol;
    if (key >= Qt::Key_A && key <= Qt::Key_Z)
        wanted = XKB_KEY_a + xkb_keysym_t(key - Qt::Key_A);
    else if (key == Qt::Key_End)
        wanted = XKB_KEY_End;
    else
        return std::nullopt;
    for (xkb_keycode_t code = xkb_keymap_min_keycode(m_keymap); code <= xkb_keymap_max_keycode(m_keymap); ++code) {
        const xkb_keysym_t* symbols = nullptr;
        const int count = xkb_keymap_key_get_syms_by_level(m_keymap, code, 0, 0, &symbols);
        for (int index = 0; index < count; ++index) {
            if (symbols[index] == wanted && code >= evdevOffset)
                return code - evdevOffset;
        }
    }
    return std::nullopt;
}

quint32 WaylandVirtualKeyboard::modifierMask(Qt::KeyboardModifiers modifiers) const
{
    quint32 mask = 0;
    const auto add = [&](Qt::KeyboardModifier modifier, const char* name) {
        const xkb_mod_index_t index = xkb_keymap_mod_get_index(m_keymap, name);
        if ((modifiers & modifier) && index != XKB_MOD_INVALID)
            mask |= 1u << index;
    };
    add(Qt::ShiftModifier, XKB_MOD_NAME_SHIFT);
    add(Qt::ControlModifier, XKB_MOD_NAME_CTRL);
    add(Qt::AltModifier, XKB_MOD_NAME_ALT);
    add(Qt::MetaModifier, XKB_MOD_NAME_LOGO);
    return mask;
}

bool WaylandVirtualKeyboard::post(qint64, const QList<SyntheticKeyEvent>& events)
{
    QList<quint32> keys;
    for (const SyntheticKeyEvent& event : events) {
        const std::optional<quint32> key = keyFor(event.key);
        if (!key)
            return false;
        keys.append(*key);
    }
    if (!makeKeyboard())
        return false;
    for (qsizetype index = 0; index < events.size(); ++index) {
        const SyntheticKeyEvent& event = events.at(index);
        zwp_virtual_keyboard_v1_modifiers(m_keyboard, modifierMask(event.modifiers), 0, 0, 0);
        zwp_virtual_keyboard_v1_key(m_keyboard, milliseconds(), keys.at(index), event.press ? pressed : released);
    }
    // No modifier stays down on our keyboard for the user's next key.
    zwp_virtual_keyboard_v1_modifiers(m_keyboard, 0, 0, 0, 0);
    m_connection->flush();
    return true;
}
