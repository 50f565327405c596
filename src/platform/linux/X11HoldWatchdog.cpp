#include "X11HoldWatchdog.h"

#include <X11/X.h>
#include <X11/Xproto.h>
#include <X11/extensions/xtestproto.h>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <poll.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <time.h>
#include <unistd.h>
#include <xcb/xcb.h>

using Key = X11HoldWatchdog::Key;

// Memory the two processes share: what the hold owes, and what the watchdog typed.
struct X11HoldWatchdog::Shared {
    static constexpr int capacity = 512;
    enum Phase : int { watching, lettingGo, letGo };
    std::atomic<int> phase{watching};
    // The hold writes the slot not in use and then switches, so that the watchdog never
    // reads one half written.
    std::atomic<int> active{0};
    // The key that collapses a selection standing in the field, or 0.
    std::atomic<unsigned> collapseKey{0};
    std::atomic<quint32> collapseUnlessMark{0};
    struct Owed {
        int count = 0; // -1: more than fit
        // The first `sending` keys went out unless the mark shows otherwise.
        int sending = 0;
        quint32 mark = 0;
        Key keys[capacity];
    } owed[2];
    bool typedOwed = false;
    int typedCount = 0;
    Key typed[capacity];
};

namespace {

using Shared = X11HoldWatchdog::Shared;
constexpr size_t messageSize = 32;

qint64 now()
{
    timespec time{};
    clock_gettime(CLOCK_MONOTONIC, &time);
    return qint64(time.tv_sec) * 1000 + time.tv_nsec / 1000000;
}

bool waitReadable(int socket, qint64 until)
{
    for (;;) {
        const qint64 left = until - now();
        if (left <= 0)
            return false;
        pollfd wait{socket, POLLIN, 0};
        const int ready = poll(&wait, 1, int(left));
        if (ready > 0)
            return true;
        if (ready < 0 && errno != EINTR)
            return false;
    }
}

// Reads exactly `size` bytes, or fails by `until`.
bool readExactly(int socket, unsigned char* data, size_t size, qint64 until)
{
    while (size > 0) {
        if (!waitReadable(socket, until))
            return false;
        const ssize_t got = read(socket, data, size);
        if (got <= 0)
            return false;
        data += got;
        size -= size_t(got);
    }
    return true;
}

bool writeAll(int socket, const unsigned char* data, size_t size)
{
    while (size > 0) {
        const ssize_t written = write(socket, data, size);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        data += written;
        size -= size_t(written);
    }
    return true;
}

// The watchdog's own connection. Outside its one request with a reply only events and errors
// come, 32 bytes each; it reads them to nothing so that the server never keeps them for it,
// and keeps count of where a message begins.
struct Typing {
    int socket = -1;
    int opcode = 0;
    quint32 markWindow = 0;
    quint32 markAtom = 0;
    size_t misalignment = 0;

    void discard()
    {
        unsigned char ignored[4096];
        const ssize_t got = read(socket, ignored, sizeof ignored);
        if (got > 0)
            misalignment = (misalignment + size_t(got)) % messageSize;
        else if (got == 0 || errno != EINTR)
            socket = -1; // the server is gone: there is nothing to type on
    }

    // The answer to the one request sent, whose reply is `size` bytes long in all; false for
    // an error in its place.
    bool readReply(unsigned char* message, size_t size, qint64 until)
    {
        if (misalignment != 0 && !readExactly(socket, message, messageSize - misalignment, until))
            return false;
        misalignment = 0;
        for (;;) {
            if (!readExactly(socket, message, messageSize, until))
                return false;
            if (message[0] == X_Error)
                return false;
            if (message[0] == X_Reply)
                return readExactly(socket, message + messageSize, size - messageSize, until);
        }
    }

    // Which keys are down, from the server's answer to a QueryKeymap.
    bool readKeymap(unsigned char (&keys)[32], qint64 until)
    {
        unsigned char message[sizeof(xQueryKeymapReply)];
        if (!readReply(message, sizeof message, until))
            return false;
        std::memcpy(keys, reinterpret_cast<const xQueryKeymapReply*>(message)->map, sizeof keys);
        return true;
    }

    // The last mark the hold wrote after keys it sent, 0 for none or when it cannot be read.
    quint32 sentMark()
    {
        if (socket < 0 || markWindow == 0 || markAtom == 0)
            return 0;
        xGetPropertyReq request{};
        request.reqType = X_GetProperty;
        request.length = sz_xGetPropertyReq / 4;
        request.window = markWindow;
        request.property = markAtom;
        request.type = AnyPropertyType;
        request.longLength = 1;
        if (!writeAll(socket, reinterpret_cast<const unsigned char*>(&request), sizeof request))
            return 0;
        // Written with one 32-bit value, which is all the reply can carry.
        unsigned char message[sizeof(xGetPropertyReply) + 4];
        if (!readReply(message, sizeof message, now() + 500))
            return 0;
        const auto* reply = reinterpret_cast<const xGetPropertyReply*>(message);
        if (reply->format != 32 || reply->nItems != 1 || reply->length != 1)
            return 0;
        quint32 mark = 0;
        std::memcpy(&mark, message + sizeof(xGetPropertyReply), sizeof mark);
        return mark;
    }
};

struct Requests {
    // Two per key at most (the collapsing key's two included), and a release for each key code
    // at the end.
    unsigned char data[64 + (4 * Shared::capacity + 4 + 256) * sz_xXTestFakeInputReq];
    size_t size = 0;

    void simple(CARD8 opcode)
    {
        const xReq request{opcode, 0, 1};
        append(&request, sizeof request);
    }
    void key(int xtest, unsigned keyCode, bool press)
    {
        xXTestFakeInputReq request{};
        request.reqType = CARD8(xtest);
        request.xtReqType = X_XTestFakeInput;
        request.length = sz_xXTestFakeInputReq / 4;
        request.type = press ? KeyPress : KeyRelease;
        request.detail = CARD8(keyCode);
        append(&request, sizeof request);
    }
    void append(const void* request, size_t size)
    {
        if (this->size + size > sizeof data)
            return;
        std::memcpy(data + this->size, request, size);
        this->size += size;
    }
};

// Types the keys in their order, as a keyboard would have sent them; nothing it presses is
// left down. A key already down (a typist on the XTest device is in the middle of it) is let
// go of first, or the device would drop the press; a release only goes for a key that is down.
void typeKeys(Typing& typing, const Key* keys, int count)
{
    static Requests requests;
    requests.size = 0;
    requests.simple(X_GrabServer);
    requests.simple(X_QueryKeymap);
    if (!writeAll(typing.socket, requests.data, requests.size))
        return;
    unsigned char keymap[32] = {};
    const bool known = typing.readKeymap(keymap, now() + 500);
    bool down[256] = {};
    bool ours[256] = {};
    for (unsigned keyCode = 0; keyCode < 256 && known; ++keyCode)
        down[keyCode] = keymap[keyCode / 8] & (1 << (keyCode % 8));
    requests.size = 0;
    for (int i = 0; i < count; ++i) {
        const unsigned keyCode = keys[i].keyCode;
        if (keys[i].press) {
            if (down[keyCode])
                requests.key(typing.opcode, keyCode, false);
            requests.key(typing.opcode, keyCode, true);
            down[keyCode] = ours[keyCode] = true;
        } else if (down[keyCode]) {
            requests.key(typing.opcode, keyCode, false);
            down[keyCode] = false;
        }
    }
    for (unsigned keyCode = 0; keyCode < 256; ++keyCode) {
        if (ours[keyCode] && down[keyCode])
            requests.key(typing.opcode, keyCode, false);
    }
    requests.simple(X_UngrabServer);
    writeAll(typing.socket, requests.data, requests.size);
}

// What the server sent and nobody read, up to the end of the connection.
size_t readToEnd(int socket, unsigned char* data, size_t capacity)
{
    const qint64 until = now() + 1000;
    size_t size = 0;
    while (size < capacity && waitReadable(socket, until)) {
        const ssize_t got = read(socket, data + size, capacity - size);
        if (got <= 0)
            break;
        size += size_t(got);
    }
    return size;
}

quint32 number32(const unsigned char* data)
{
    quint32 value = 0;
    std::memcpy(&value, data, sizeof value);
    return value;
}

void letGo(int connectionSocket, Typing& typing, Shared* shared)
{
    if (typing.socket < 0 || typing.opcode == 0) {
        shutdown(connectionSocket, SHUT_WR);
        return;
    }
    // From here on the hold neither reads the connection nor changes what it owes.
    shared->phase.store(Shared::lettingGo);
    const Shared::Owed& owed = shared->owed[shared->active.load()];
    // Only our side's writing ends: the server reads the end of the connection, drops it with
    // its grabs, and closes it after the keys it had sent us.
    shutdown(connectionSocket, SHUT_WR);
    static unsigned char stream[1 << 16];
    const size_t size = readToEnd(connectionSocket, stream, sizeof stream);

    // With the connection ended, the server has carried out everything the hold sent: what a
    // mark it wrote follows has gone out.
    const unsigned collapse = shared->collapseKey.load();
    const quint32 collapseUnless = shared->collapseUnlessMark.load();
    const bool sending = owed.sending > 0 && owed.sending <= owed.count;
    const quint32 mark = sending || (collapse != 0 && collapseUnless != 0) ? typing.sentMark() : 0;

    static Key keys[2 * Shared::capacity + 2];
    int count = 0;
    // Our selection, with no paste over it, would be replaced by the first key typed.
    if (collapse != 0 && collapse < 256 && (collapseUnless == 0 || mark < collapseUnless)) {
        keys[count++] = Key{true, quint8(collapse), 0, 0};
        keys[count++] = Key{false, quint8(collapse), 0, 0};
    }
    shared->typedOwed = owed.count >= 0;
    // Keys whose mark was written reached the field already. Unsure, they go again: twice
    // beats lost.
    const int sent = sending && mark >= owed.mark ? owed.sending : 0;
    for (int i = sent; i < owed.count; ++i)
        keys[count++] = owed.keys[i];
    // The connection's messages are whole: replies and generic events say how long they are,
    // everything else is 32 bytes.
    for (size_t at = 0; at + messageSize <= size;) {
        const unsigned char* message = stream + at;
        const int type = message[0];
        if ((type == KeyPress || type == KeyRelease) && shared->typedCount < Shared::capacity) {
            const auto* event = reinterpret_cast<const xEvent*>(message);
            const Key key{
                type == KeyPress, event->u.u.detail, event->u.keyButtonPointer.state, event->u.keyButtonPointer.time};
            keys[count++] = key;
            shared->typed[shared->typedCount++] = key;
        }
        at += messageSize;
        if (type == X_Reply || type == GenericEvent)
            at += size_t(number32(message + 4)) * 4;
    }
    typeKeys(typing, keys, count);
    shared->phase.store(Shared::letGo);
}

[[noreturn]] void watch(int channel, int connectionSocket, Typing typing, Shared* shared)
{
    for (int fd = 3; fd < 4096; ++fd) {
        if (fd != channel && fd != connectionSocket && fd != typing.socket)
            close(fd);
    }
    qint64 deadline = -1;
    for (;;) {
        pollfd waits[2] = {{channel, POLLIN, 0}, {typing.socket, POLLIN, 0}};
        const int timeout = deadline < 0 ? -1 : int(std::max<qint64>(0, deadline - now()));
        const int ready = poll(waits, typing.socket >= 0 ? 2 : 1, timeout);
        if (ready < 0 && errno != EINTR)
            _exit(0);
        if (ready > 0 && typing.socket >= 0 && (waits[1].revents & (POLLIN | POLLHUP | POLLERR)))
            typing.discard();
        if (ready > 0 && (waits[0].revents & (POLLIN | POLLHUP))) {
            qint64 milliseconds = 0;
            const ssize_t got = read(channel, &milliseconds, sizeof milliseconds);
            if (got <= 0) {
                // The hold's process is gone (killed, perhaps): with it still holding, the
                // keyboard is let go of now and what it held typed, rather than when the
                // deadline passes.
                if (got == 0 && deadline >= 0)
                    letGo(connectionSocket, typing, shared);
                _exit(0);
            }
            if (got == sizeof milliseconds)
                deadline = milliseconds < 0 ? -1 : now() + milliseconds;
            continue;
        }
        if (deadline >= 0 && now() >= deadline) {
            letGo(connectionSocket, typing, shared);
            deadline = -1;
        }
    }
}

} // namespace

X11HoldWatchdog::X11HoldWatchdog(int connectionSocket, const char* displayName)
{
    void* memory = mmap(nullptr, sizeof(Shared), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    if (memory == MAP_FAILED)
        return;
    m_shared = new (memory) Shared;
    Typing typing;
    if (displayName) {
        m_typing = xcb_connect(displayName, nullptr);
        xcb_query_extension_reply_t* xtest = xcb_connection_has_error(m_typing)
            ? nullptr
            : xcb_query_extension_reply(m_typing, xcb_query_extension(m_typing, 5, "XTEST"), nullptr);
        if (xtest && xtest->present) {
            typing.socket = xcb_get_file_descriptor(m_typing);
            typing.opcode = xtest->major_opcode;
        }
        free(xtest);
        if (typing.socket >= 0) {
            // A window of this connection outlives the hold's, which is where the mark is read.
            const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(m_typing)).data;
            const xcb_window_t window = xcb_generate_id(m_typing);
            xcb_create_window(m_typing, 0, window, screen->root, -1, -1, 1, 1, 0, XCB_WINDOW_CLASS_INPUT_ONLY,
                XCB_COPY_FROM_PARENT, 0, nullptr);
            static constexpr char name[] = "_VELMORA_HOLD_SENT";
            xcb_intern_atom_reply_t* atom
                = xcb_intern_atom_reply(m_typing, xcb_intern_atom(m_typing, 0, sizeof name - 1, name), nullptr);
            if (atom) {
                typing.markWindow = m_markWindow = window;
                typing.markAtom = m_markAtom = atom->atom;
            }
            free(atom);
        }
    }
    int channel[2];
    if (pipe2(channel, O_CLOEXEC) != 0)
        return;
    // It learns of our end from the channel closing, at once: only this process writes to it.
    const pid_t child = fork();
    if (child == 0)
        watch(channel[0], connectionSocket, typing, m_shared);
    close(channel[0]);
    if (child < 0) {
        close(channel[1]);
        return;
    }
    fcntl(channel[1], F_SETFL, O_NONBLOCK);
    m_child = child;
    m_channel = channel[1];
}

X11HoldWatchdog::~X11HoldWatchdog()
{
    if (m_channel >= 0)
        close(m_channel);
    if (m_child > 0) {
        int status = 0;
        waitpid(m_child, &status, 0);
    }
    // Only now: the watchdog may have been typing on it until it ended.
    if (m_typing)
        xcb_disconnect(m_typing);
    if (m_shared) {
        m_shared->~Shared();
        munmap(m_shared, sizeof(Shared));
    }
}

void X11HoldWatchdog::tell(qint64 milliseconds)
{
    // A watchdog that cannot take the message (stopped, gone) keeps its last deadline, which
    // only ever lets go of the keyboard too early.
    if (m_channel >= 0) [[maybe_unused]]
        const ssize_t written = write(m_channel, &milliseconds, sizeof milliseconds);
}

void X11HoldWatchdog::owe(const QList<Key>& keys, int sending, quint32 mark)
{
    if (!m_shared || m_shared->phase.load() != Shared::watching)
        return;
    const int next = 1 - m_shared->active.load();
    Shared::Owed& owed = m_shared->owed[next];
    owed.count = keys.size() <= Shared::capacity ? int(keys.size()) : -1;
    owed.sending = sending;
    owed.mark = mark;
    std::copy_n(keys.begin(), std::max(owed.count, 0), owed.keys);
    m_shared->active.store(next);
}

void X11HoldWatchdog::collapseSelectionFirst(unsigned keyCode, quint32 unlessMark)
{
    if (!m_shared)
        return;
    // Read together with the key only as the watchdog lets go, when nothing changes them any more.
    m_shared->collapseUnlessMark.store(unlessMark);
    m_shared->collapseKey.store(keyCode);
}

bool X11HoldWatchdog::hasLetGo() const
{
    return m_shared && m_shared->phase.load() != Shared::watching;
}

X11HoldWatchdog::LetGo X11HoldWatchdog::letGo()
{
    LetGo done;
    if (!hasLetGo())
        return done;
    // It reads and types within moments of ending the connection; one that cannot finish (it
    // was stopped too) leaves what is owed to the hold.
    const qint64 until = now() + 1500;
    while (m_shared->phase.load() != Shared::letGo && now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    if (m_shared->phase.load() != Shared::letGo)
        return done;
    done.typedOwed = m_shared->typedOwed;
    done.fromConnection = QList<Key>(m_shared->typed, m_shared->typed + m_shared->typedCount);
    return done;
}
