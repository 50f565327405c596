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
    std::atomic<bool> serverGrabbed{false};
    std::atomic<quint32> focusWindow{0};
    std::atomic<quint32> holdGrabWindow{0};
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
        // The connection is non-blocking: a server slow to read must not cut a batch of keys
        // short, which could leave one pressed.
        if (written < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            pollfd wait{socket, POLLOUT, 0};
            if (poll(&wait, 1, 1000) > 0)
                continue;
            return false;
        }
        if (written <= 0)
            return false;
        data += written;
        size -= size_t(written);
    }
    return true;
}

struct Requests;

// The watchdog's own connection. It reads everything that comes on it to nothing while it
// watches, keeping count of where a message begins; letting go, it waits for the replies to the
// requests it sends by their sequence numbers, and keeps the keys that its own grab of the
// keyboard takes meanwhile.
struct Typing {
    int socket = -1;
    int opcode = 0;
    quint32 markWindow = 0;
    quint32 markAtom = 0;
    quint32 root = 0;
    // Made before the fork, for the grab that stands in for the hold's as it lets go.
    quint32 grabWindow = 0;
    // A resource of the hold's connection, through which the server ends it; 0 for none.
    quint32 holdResource = 0;
    // The grab is on that window, made inside the focused one (otherwise on the root).
    bool grabInside = false;
    // The sequence number of the last request sent on the connection.
    quint16 sequence = 0;
    size_t misalignment = 0;
    // The keys the watchdog's grab took, in their order.
    Key* caught = nullptr;
    int caughtCount = 0;

    void discard()
    {
        unsigned char ignored[4096];
        const ssize_t got = read(socket, ignored, sizeof ignored);
        if (got > 0)
            misalignment = (misalignment + size_t(got)) % messageSize;
        else if (got == 0 || errno != EINTR)
            socket = -1; // the server is gone: there is nothing to type on
    }

    bool send(const Requests& requests);

    // The reply to request `number`, `size` bytes long in all; false for an error in its place
    // or none by `until`. Other replies and errors are passed over; keys are kept.
    bool awaitReply(quint16 number, unsigned char* message, size_t size, qint64 until)
    {
        if (misalignment != 0 && !readExactly(socket, message, messageSize - misalignment, until))
            return false;
        misalignment = 0;
        for (;;) {
            if (!readExactly(socket, message, messageSize, until))
                return false;
            const int type = message[0] & 0x7f;
            quint16 sequenceNumber = 0;
            std::memcpy(&sequenceNumber, message + 2, sizeof sequenceNumber);
            if (type == X_Error && sequenceNumber == number)
                return false;
            if (type == X_Reply || type == GenericEvent) {
                quint32 extra = 0;
                std::memcpy(&extra, message + 4, sizeof extra);
                size_t left = size_t(extra) * 4;
                const bool wanted = type == X_Reply && sequenceNumber == number;
                if (wanted) {
                    const size_t part = std::min(left, size > messageSize ? size - messageSize : 0);
                    if (!readExactly(socket, message + messageSize, part, until))
                        return false;
                    left -= part;
                }
                static unsigned char skipped[1 << 12];
                while (left > 0) {
                    const size_t part = std::min(left, sizeof skipped);
                    if (!readExactly(socket, skipped, part, until))
                        return false;
                    left -= part;
                }
                if (wanted)
                    return true;
            } else if ((type == KeyPress || type == KeyRelease) && caught && caughtCount < Shared::capacity) {
                const auto* event = reinterpret_cast<const xEvent*>(message);
                caught[caughtCount++] = Key{
                    type == KeyPress, event->u.u.detail, event->u.keyButtonPointer.state, event->u.keyButtonPointer.time};
            }
        }
    }

    // Which keys are down, from the server's answer to QueryKeymap request `number`.
    bool readKeymap(quint16 number, unsigned char (&keys)[32], qint64 until)
    {
        unsigned char message[sizeof(xQueryKeymapReply)];
        if (!awaitReply(number, message, sizeof message, until))
            return false;
        std::memcpy(keys, reinterpret_cast<const xQueryKeymapReply*>(message)->map, sizeof keys);
        return true;
    }

    // The last mark the hold wrote after keys it sent, 0 for none or when it cannot be read.
    quint32 sentMark();
};

struct Requests {
    // Two per key at most (the collapsing key's two included), and a release for each key code
    // at the end.
    unsigned char data[128 + (4 * Shared::capacity + 4 + 256) * sz_xXTestFakeInputReq];
    size_t size = 0;
    int count = 0;

    // Each returns the sequence number its request will have once `typing` has sent it.
    quint16 simple(const Typing& typing, CARD8 opcode)
    {
        const xReq request{opcode, 0, 1};
        return append(typing, &request, sizeof request);
    }
    quint16 resource(const Typing& typing, CARD8 opcode, quint32 id)
    {
        xResourceReq request{};
        request.reqType = opcode;
        request.length = sz_xResourceReq / 4;
        request.id = id;
        return append(typing, &request, sizeof request);
    }
    void key(const Typing& typing, unsigned keyCode, bool press)
    {
        xXTestFakeInputReq request{};
        request.reqType = CARD8(typing.opcode);
        request.xtReqType = X_XTestFakeInput;
        request.length = sz_xXTestFakeInputReq / 4;
        request.type = press ? KeyPress : KeyRelease;
        request.detail = CARD8(keyCode);
        append(typing, &request, sizeof request);
    }
    // An input-only window inside `parent` and out of sight, which no window manager takes for
    // one to manage (the hold's grab window is made the same way, for the same reasons).
    void hiddenWindow(const Typing& typing, quint32 window, quint32 parent)
    {
        struct {
            xCreateWindowReq request;
            CARD32 overrideRedirect;
        } create{};
        create.request.reqType = X_CreateWindow;
        create.request.length = (sz_xCreateWindowReq + 4) / 4;
        create.request.wid = window;
        create.request.parent = parent;
        create.request.x = -1;
        create.request.y = -1;
        create.request.width = 1;
        create.request.height = 1;
        create.request.c_class = InputOnly;
        create.request.mask = CWOverrideRedirect;
        create.overrideRedirect = 1;
        append(typing, &create, sizeof create);
        resource(typing, X_MapWindow, window);
    }
    quint16 grabKeyboard(const Typing& typing, quint32 window)
    {
        xGrabKeyboardReq request{};
        request.reqType = X_GrabKeyboard;
        request.length = sz_xGrabKeyboardReq / 4;
        request.grabWindow = window;
        request.pointerMode = GrabModeAsync;
        request.keyboardMode = GrabModeAsync;
        return append(typing, &request, sizeof request);
    }
    quint16 append(const Typing& typing, const void* request, size_t size)
    {
        if (this->size + size > sizeof data)
            return 0;
        std::memcpy(data + this->size, request, size);
        this->size += size;
        return quint16(typing.sequence + ++count);
    }
    void clear()
    {
        size = 0;
        count = 0;
    }
};

bool Typing::send(const Requests& requests)
{
    if (socket < 0 || !writeAll(socket, requests.data, requests.size))
        return false;
    sequence = quint16(sequence + requests.count);
    return true;
}

quint32 Typing::sentMark()
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
    static Requests requests;
    requests.clear();
    const quint16 number = requests.append(*this, &request, sizeof request);
    if (!send(requests))
        return 0;
    // Written with one 32-bit value, which is all the reply can carry.
    unsigned char message[sizeof(xGetPropertyReply) + 4];
    if (!awaitReply(number, message, sizeof message, now() + 500))
        return 0;
    const auto* reply = reinterpret_cast<const xGetPropertyReply*>(message);
    if (reply->format != 32 || reply->nItems != 1 || reply->length != 1)
        return 0;
    quint32 mark = 0;
    std::memcpy(&mark, message + sizeof(xGetPropertyReply), sizeof mark);
    return mark;
}

// Where the keys stand as the watchdog types them: which are down, and which it pressed.
struct Keyboard {
    bool down[256] = {};
    bool ours[256] = {};

    void read(Typing& typing)
    {
        static Requests requests;
        requests.clear();
        const quint16 number = requests.simple(typing, X_QueryKeymap);
        unsigned char keymap[32] = {};
        if (!typing.send(requests) || !typing.readKeymap(number, keymap, now() + 500))
            return;
        for (unsigned keyCode = 0; keyCode < 256; ++keyCode)
            down[keyCode] = keymap[keyCode / 8] & (1 << (keyCode % 8));
    }

    // Types the keys in their order, as a keyboard would have sent them. A key already down
    // (a typist on the XTest device is in the middle of it) is let go of first, or the device
    // would drop the press; a release only goes for a key that is down.
    void type(Requests& requests, const Typing& typing, const Key* keys, int count)
    {
        for (int i = 0; i < count; ++i) {
            const unsigned keyCode = keys[i].keyCode;
            if (keys[i].press) {
                if (down[keyCode])
                    requests.key(typing, keyCode, false);
                requests.key(typing, keyCode, true);
                down[keyCode] = ours[keyCode] = true;
            } else if (down[keyCode]) {
                requests.key(typing, keyCode, false);
                down[keyCode] = false;
            }
        }
    }

    // Nothing it pressed is left down.
    void releaseOurs(Requests& requests, const Typing& typing)
    {
        for (unsigned keyCode = 0; keyCode < 256; ++keyCode) {
            if (ours[keyCode] && down[keyCode])
                requests.key(typing, keyCode, false);
        }
    }
};

// Ends the hold's connection with the server grabbed, and takes the keyboard in the same moment
// on a window inside `focus` (the window the hold grabbed in, or the root): the server drops the
// hold's grab with its connection, and a key typed then would reach the focused window at once,
// in front of the held keys that are still to be typed (seen with a process stopped or killed
// while someone types on). Nothing waits for an answer in between. The server stays grabbed.
// False when the hold's connection was ended without the grab being taken.
bool takeOver(int connectionSocket, Typing& typing, bool holdGrabsServer, quint32 focus)
{
    static Requests requests;
    requests.clear();
    requests.simple(typing, X_GrabServer);
    // The hold's connection grabs the server while it types keys again, with the keyboard let
    // go of: only its end lets our requests through, and until then the user's keys reach the
    // field unheld. Ours wait at the server for that end.
    if (!holdGrabsServer)
        requests.resource(typing, X_KillClient, typing.holdResource);
    typing.grabInside = focus != 0 && focus != typing.root && typing.grabWindow != 0;
    if (typing.grabInside)
        requests.hiddenWindow(typing, typing.grabWindow, focus);
    const quint16 grabNumber = requests.grabKeyboard(typing, typing.grabInside ? typing.grabWindow : typing.root);
    if (!typing.send(requests))
        return false;
    if (holdGrabsServer)
        shutdown(connectionSocket, SHUT_WR);
    xGrabKeyboardReply reply{};
    auto* message = reinterpret_cast<unsigned char*>(&reply);
    bool answered = typing.awaitReply(grabNumber, message, sizeof reply, now() + (holdGrabsServer ? 1000 : 300));
    if (!answered && !holdGrabsServer) {
        // Someone's server grab holds ours up, the hold's own perhaps: ended, it lets ours
        // through (the kill then finds the connection gone, which does no harm).
        shutdown(connectionSocket, SHUT_WR);
        answered = typing.awaitReply(grabNumber, message, sizeof reply, now() + 1000);
    }
    return answered && reply.status == GrabSuccess;
}

// Has the hold's own connection grab the keyboard again and let the server go, as if it had
// finished its batch: the hold stopped or died in the middle of one, with the keyboard let go of
// and the server grabbed. Ended as it is, its server grab would go, and a key that someone typing
// through XTest sent meanwhile (held off by that grab) could be carried out before the watchdog's
// grab, in front of the held keys. Written between the hold's requests, which go out whole.
bool handBack(int connectionSocket, quint32 grabWindow)
{
    if (grabWindow == 0)
        return false;
    struct {
        xGrabKeyboardReq grab;
        xReq ungrabServer;
    } requests{};
    requests.grab.reqType = X_GrabKeyboard;
    requests.grab.length = sz_xGrabKeyboardReq / 4;
    requests.grab.grabWindow = grabWindow;
    requests.grab.pointerMode = GrabModeAsync;
    requests.grab.keyboardMode = GrabModeAsync;
    requests.ungrabServer = xReq{X_UngrabServer, 0, 1};
    return writeAll(connectionSocket, reinterpret_cast<const unsigned char*>(&requests), sizeof requests);
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
    static Key caught[Shared::capacity];
    typing.caught = caught;
    typing.caughtCount = 0;
    const bool tookOver = typing.holdResource != 0;
    bool holdGrabsServer = shared->serverGrabbed.load();
    if (tookOver && holdGrabsServer && handBack(connectionSocket, shared->holdGrabWindow.load()))
        holdGrabsServer = false;
    const bool grabbed
        = tookOver && takeOver(connectionSocket, typing, holdGrabsServer, shared->focusWindow.load());
    if (!grabbed) {
        // Only our side's writing ends: the server reads the end of the connection, drops it
        // with its grabs, and closes it after the keys it had sent us. A grab of ours whose
        // answer came too late is let go of.
        static Requests requests;
        requests.clear();
        if (tookOver) {
            requests.resource(typing, X_UngrabKeyboard, CurrentTime);
            if (typing.grabInside)
                requests.resource(typing, X_DestroyWindow, typing.grabWindow);
        }
        requests.simple(typing, X_UngrabServer);
        typing.send(requests);
        shutdown(connectionSocket, SHUT_WR);
    }
    static unsigned char stream[1 << 16];
    const size_t size = readToEnd(connectionSocket, stream, sizeof stream);

    // With the connection ended, the server has carried out everything the hold sent: what a
    // mark it wrote follows has gone out.
    const unsigned collapse = shared->collapseKey.load();
    const quint32 collapseUnless = shared->collapseUnlessMark.load();
    const bool sending = owed.sending > 0 && owed.sending <= owed.count;
    const quint32 mark = sending || (collapse != 0 && collapseUnless != 0) ? typing.sentMark() : 0;

    static Key keys[3 * Shared::capacity + 2];
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

    static Requests requests;
    requests.clear();
    if (!grabbed)
        requests.simple(typing, X_GrabServer);
    typing.send(requests);
    // Read with the server grabbed, so that no other program's key changes it before ours go.
    Keyboard keyboard;
    keyboard.read(typing);
    // Behind them, the keys that came to our grab (typed after the hold's end), in their order;
    // those that come while these go out are read once the grab has ended, and go last.
    int taken = 0;
    for (int round = 0; round < 2; ++round) {
        for (; taken < typing.caughtCount && count < int(std::size(keys)); ++taken)
            keys[count++] = caught[taken];
        if (round > 0 && count == 0)
            break;
        requests.clear();
        if (round == 0 && grabbed) {
            requests.resource(typing, X_UngrabKeyboard, CurrentTime);
            if (typing.grabInside)
                requests.resource(typing, X_DestroyWindow, typing.grabWindow);
        }
        keyboard.type(requests, typing, keys, count);
        const quint16 settled = requests.simple(typing, X_GetInputFocus);
        count = 0;
        if (!typing.send(requests))
            break;
        unsigned char reply[sizeof(xGetInputFocusReply)];
        typing.awaitReply(settled, reply, sizeof reply, now() + 500);
    }
    for (int i = 0; i < typing.caughtCount && shared->typedCount < Shared::capacity; ++i)
        shared->typed[shared->typedCount++] = caught[i];
    requests.clear();
    keyboard.releaseOurs(requests, typing);
    requests.simple(typing, X_UngrabServer);
    typing.send(requests);
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

X11HoldWatchdog::X11HoldWatchdog(int connectionSocket, const char* displayName, quint32 connectionResource)
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
            typing.root = screen->root;
            typing.grabWindow = xcb_generate_id(m_typing);
            typing.holdResource = connectionResource;
            static constexpr char name[] = "_VELMORA_HOLD_SENT";
            const xcb_intern_atom_cookie_t cookie = xcb_intern_atom(m_typing, 0, sizeof name - 1, name);
            // The last request before the fork: the watchdog numbers its own from here.
            typing.sequence = quint16(cookie.sequence);
            xcb_intern_atom_reply_t* atom = xcb_intern_atom_reply(m_typing, cookie, nullptr);
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

void X11HoldWatchdog::setServerGrabbed(bool grabbed)
{
    if (m_shared)
        m_shared->serverGrabbed.store(grabbed);
}

void X11HoldWatchdog::setFocusWindow(quint32 window)
{
    if (m_shared)
        m_shared->focusWindow.store(window);
}

void X11HoldWatchdog::setGrabWindow(quint32 window)
{
    if (m_shared)
        m_shared->holdGrabWindow.store(window);
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
