#include "X11ClipboardKeeper.h"

#include "QtClipboardPasteboard.h"
#include "X11SelectionAnswer.h"

#include <QClipboard>
#include <QDataStream>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QIODevice>
#include <QTimer>
#include <QtGlobal>
#include <X11/Xlib.h>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <optional>
#include <poll.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>
#include <xcb/xproto.h>

namespace {

// The first byte says whether the bytes after the header are to be used.
constexpr off_t headerBytes = 8;
// Where the giving back finds what it is given.
constexpr int contentsDescriptor = 3;
constexpr int channelDescriptor = 4;
constexpr int expansionDescriptor = 5;
// Contents nobody took over are offered this long at most.
constexpr int longestOfferMilliseconds = 3'600'000;
// Without an expansion of ours held for it, a paste that was on its way when this program
// ended has found the clipboard empty by then; taken sooner, the user's contents could land
// where the expansion was meant to.
constexpr int giveBackDelayMilliseconds = 1000;

[[noreturn]] void startGivingBack(int channel, int contents, int expansion, const char* program)
{
    // Out of the way of the descriptors they are handed over as, then there.
    const int sources[] = {fcntl(contents, F_DUPFD, 16), fcntl(channel, F_DUPFD, 16), fcntl(expansion, F_DUPFD, 16)};
    const int targets[] = {contentsDescriptor, channelDescriptor, expansionDescriptor};
    for (int index = 0; index < 3; ++index) {
        if (sources[index] < 0 || dup2(sources[index], targets[index]) < 0)
            _exit(0);
    }
    for (int fd = expansionDescriptor + 1; fd < 4096; ++fd)
        close(fd);
    // The giving back outlives the program it stands in for, by up to an hour: it holds none of
    // the terminal's or the session's pipes that the program was started with, which whoever
    // started it would otherwise wait on.
    if (const int nothing = open("/dev/null", O_RDWR); nothing >= 0) {
        for (const int stream : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO})
            dup2(nothing, stream);
        if (nothing > STDERR_FILENO)
            close(nothing);
    }
    char* const arguments[] = {const_cast<char*>(program), const_cast<char*>(X11ClipboardKeeper::giveBackArgument),
        nullptr};
    execv(program, arguments);
    _exit(0);
}

// The bytes after the header when the record is live.
std::optional<QByteArray> readRecord(int descriptor)
{
    char live = 0;
    if (pread(descriptor, &live, 1, 0) != 1 || live != 1)
        return std::nullopt;
    const off_t size = lseek(descriptor, 0, SEEK_END);
    if (size < headerBytes)
        return std::nullopt;
    QByteArray bytes(qsizetype(size - headerBytes), Qt::Uninitialized);
    if (pread(descriptor, bytes.data(), size_t(bytes.size()), headerBytes) != bytes.size())
        return std::nullopt;
    return bytes;
}

struct HeldExpansion {
    quint32 client = 0;
    quint32 owner = 0;
    PasteboardItem item;
};

QByteArray encode(const HeldExpansion& expansion)
{
    QByteArray bytes;
    QDataStream stream(&bytes, QIODevice::WriteOnly);
    stream << expansion.client << expansion.owner << expansion.item;
    return bytes;
}

std::optional<HeldExpansion> decodeExpansion(const QByteArray& bytes)
{
    HeldExpansion expansion;
    QDataStream stream(bytes);
    stream >> expansion.client >> expansion.owner >> expansion.item;
    if (stream.status() != QDataStream::Ok || expansion.item.isEmpty())
        return std::nullopt;
    return expansion;
}

xcb_window_t selectionOwner(xcb_connection_t* connection, xcb_atom_t selection)
{
    xcb_get_selection_owner_reply_t* reply
        = xcb_get_selection_owner_reply(connection, xcb_get_selection_owner(connection, selection), nullptr);
    const xcb_window_t owner = reply ? reply->owner : xcb_window_t(XCB_WINDOW_NONE);
    free(reply);
    return owner;
}

// Takes the clipboard over from the ended program and answers its target's paste with the
// expansion. False when another program has the clipboard: its contents stay.
bool answerPasteOnItsWay(xcb_connection_t* connection, const HeldExpansion& expansion)
{
    const X11SelectionAnswer answer(connection);
    const xcb_atom_t clipboard = answer.atom("CLIPBOARD");
    // Still the ended program's until the server has noticed its end.
    const xcb_window_t owner = selectionOwner(connection, clipboard);
    if (owner != XCB_WINDOW_NONE && answer.clientOf(owner) != answer.clientOf(expansion.owner))
        return false;
    const xcb_window_t window = xcb_generate_id(connection);
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
    if (!screen)
        return true;
    xcb_create_window(connection, XCB_COPY_FROM_PARENT, window, screen->root, 0, 0, 1, 1, 0,
        XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, 0, nullptr);
    xcb_set_selection_owner(connection, window, clipboard, XCB_CURRENT_TIME);
    if (selectionOwner(connection, clipboard) != window)
        return false;
    QElapsedTimer elapsed;
    elapsed.start();
    qint64 until = X11ClipboardKeeper::pasteWaitMilliseconds;
    bool ours = true;
    while (ours && elapsed.elapsed() < until) {
        pollfd wait{xcb_get_file_descriptor(connection), POLLIN, 0};
        poll(&wait, 1, int(until - elapsed.elapsed()));
        while (xcb_generic_event_t* event = xcb_poll_for_event(connection)) {
            const int type = event->response_type & ~0x80;
            if (type == XCB_SELECTION_CLEAR) {
                ours = false;
            } else if (type == XCB_SELECTION_REQUEST) {
                const auto* request = reinterpret_cast<const xcb_selection_request_event_t*>(event);
                const bool fromTarget
                    = expansion.client == 0 || answer.clientOf(request->requestor) == expansion.client;
                // Others (a clipboard manager) are told there is nothing: the user's contents are
                // about to come back.
                if (request->selection != clipboard || (!fromTarget && !answer.isQuestionAboutOffer(*request))) {
                    answer.refuse(*request);
                } else {
                    answer.answer(*request, expansion.item);
                    if (fromTarget && !answer.isQuestionAboutOffer(*request))
                        until = std::min(until, elapsed.elapsed() + X11ClipboardKeeper::afterPasteMilliseconds);
                }
            }
            free(event);
        }
        if (xcb_connection_has_error(connection))
            return true;
    }
    if (!ours)
        return false;
    xcb_set_selection_owner(connection, XCB_WINDOW_NONE, clipboard, XCB_CURRENT_TIME);
    selectionOwner(connection, clipboard);
    return true;
}

} // namespace

X11ClipboardKeeper::Record::Record(const char* name)
    : m_descriptor(memfd_create(name, MFD_CLOEXEC))
{
}

X11ClipboardKeeper::Record::~Record()
{
    if (m_descriptor >= 0)
        close(m_descriptor);
}

void X11ClipboardKeeper::Record::setLive(bool live)
{
    if (m_descriptor < 0 || live == m_live)
        return;
    const char flag = live ? 1 : 0;
    m_live = pwrite(m_descriptor, &flag, 1, 0) == 1 ? live : false;
}

void X11ClipboardKeeper::Record::put(const QByteArray& bytes)
{
    if (m_descriptor < 0)
        return;
    // Most expansions stand in for the same contents as the one before.
    if (!m_hasWritten || bytes != m_written) {
        setLive(false);
        m_hasWritten = false;
        if (ftruncate(m_descriptor, headerBytes + bytes.size()) != 0
            || pwrite(m_descriptor, bytes.constData(), size_t(bytes.size()), headerBytes) != bytes.size())
            return;
        m_written = bytes;
        m_hasWritten = true;
    }
    setLive(true);
}

X11ClipboardKeeper::X11ClipboardKeeper(const QString& program)
{
    const QByteArray path = program.toLocal8Bit();
    int channel[2];
    if (m_contents.descriptor() < 0 || m_expansion.descriptor() < 0 || path.isEmpty()
        || pipe2(channel, O_CLOEXEC) != 0)
        return;
    const pid_t child = fork();
    if (child == 0)
        startGivingBack(channel[0], m_contents.descriptor(), m_expansion.descriptor(), path.constData());
    close(channel[0]);
    if (child < 0) {
        close(channel[1]);
        return;
    }
    m_child = child;
    m_channel = channel[1];
}

X11ClipboardKeeper::~X11ClipboardKeeper()
{
    m_expansion.setLive(false);
    m_contents.setLive(false);
    if (m_channel >= 0)
        close(m_channel);
    if (m_child > 0) {
        int status = 0;
        waitpid(m_child, &status, 0);
    }
}

void X11ClipboardKeeper::entrust(const QList<PasteboardItem>& items)
{
    if (m_channel < 0)
        return;
    if (items.isEmpty())
        return m_contents.setLive(false);
    QByteArray bytes;
    QDataStream stream(&bytes, QIODevice::WriteOnly);
    stream << items;
    m_contents.put(bytes);
}

void X11ClipboardKeeper::lendExpansion(const PasteboardItem& expansion, quint32 client, quint32 owner)
{
    if (m_channel < 0)
        return;
    if (expansion.isEmpty())
        return m_expansion.setLive(false);
    m_expansion.put(encode(HeldExpansion{client, owner, expansion}));
}

int X11ClipboardKeeper::giveBack(int& argc, char** argv)
{
    // Connected before it is needed: once the program ends, the target's paste comes within
    // milliseconds.
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    char byte = 0;
    for (;;) {
        pollfd wait{channelDescriptor, POLLIN, 0};
        if (poll(&wait, 1, -1) < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        // Nothing is ever written: the channel only ends, with the process that held it.
        if (read(channelDescriptor, &byte, 1) <= 0)
            break;
    }
    bool answered = false;
    if (const std::optional<QByteArray> record = readRecord(expansionDescriptor)) {
        const std::optional<HeldExpansion> expansion = decodeExpansion(*record);
        if (expansion && connection && !xcb_connection_has_error(connection)) {
            // Another program's contents stay.
            if (!answerPasteOnItsWay(connection, *expansion)) {
                xcb_disconnect(connection);
                return 0;
            }
            answered = true;
        }
    }
    if (connection)
        xcb_disconnect(connection);

    const std::optional<QByteArray> bytes = readRecord(contentsDescriptor);
    close(contentsDescriptor);
    close(expansionDescriptor);
    if (!bytes)
        return 0;
    QList<PasteboardItem> items;
    QDataStream stream(*bytes);
    stream >> items;
    if (stream.status() != QDataStream::Ok || items.isEmpty())
        return 0;
    qputenv("QT_QPA_PLATFORM", "xcb");
    const QGuiApplication application(argc, argv);
    QtClipboardPasteboard pasteboard;
    QTimer::singleShot(answered ? 0 : giveBackDelayMilliseconds, qGuiApp, [&pasteboard, &items] {
        // Someone who copied since has the clipboard; theirs stays.
        auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
        Display* display = x11 ? x11->display() : nullptr;
        if (!display || XGetSelectionOwner(display, XInternAtom(display, "CLIPBOARD", False)) != None)
            return QGuiApplication::quit();
        pasteboard.clearContents();
        if (!pasteboard.writeItems(items))
            QGuiApplication::quit();
    });
    QClipboard* clipboard = QGuiApplication::clipboard();
    QObject::connect(clipboard, &QClipboard::changed, qGuiApp, [clipboard](QClipboard::Mode mode) {
        if (mode == QClipboard::Clipboard && !clipboard->ownsClipboard())
            QGuiApplication::quit();
    });
    QTimer::singleShot(longestOfferMilliseconds, qGuiApp, &QGuiApplication::quit);
    return QGuiApplication::exec();
}
