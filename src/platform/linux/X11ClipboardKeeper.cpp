#include "X11ClipboardKeeper.h"

#include "QtClipboardPasteboard.h"
#include "X11SelectionAnswer.h"

#include <QClipboard>
#include <QDataStream>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QIODevice>
#include <QTimer>
#include <QtGlobal>
#include <X11/Xlib.h>
#include <algorithm>
#include <cerrno>
#include <csignal>
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
constexpr int repliesDescriptor = 6;
// Where the giving back counts the reads of the expansion it offers, in the header.
constexpr off_t readsOffset = 4;
// Asks the giving back to offer the expansion record's expansion.
constexpr char offerCommand = 'o';
// How long an offer may take before we offer the expansion ourselves.
constexpr int offerReplyMilliseconds = 300;
// Larger expansions need transfers in pieces, which Qt's answers do.
constexpr qsizetype largestOfferedBytes = 200'000;
// Contents nobody took over are offered this long at most.
constexpr int longestOfferMilliseconds = 3'600'000;
// Without an expansion of ours held for it, a paste that was on its way when this program
// ended has found the clipboard empty by then; taken sooner, the user's contents could land
// where the expansion was meant to.
constexpr int giveBackDelayMilliseconds = 1000;
// How often, and how many times, an owner of the clipboard is looked at before it counts as
// someone who copied.
constexpr int ownerLookMilliseconds = 50;
constexpr int ownerLooks = 10;

[[noreturn]] void startGivingBack(int channel, int contents, int expansion, int replies, const char* program)
{
    // Out of the way of the descriptors they are handed over as, then there.
    const int sources[] = {fcntl(contents, F_DUPFD, 16), fcntl(channel, F_DUPFD, 16), fcntl(expansion, F_DUPFD, 16),
        fcntl(replies, F_DUPFD, 16)};
    const int targets[] = {contentsDescriptor, channelDescriptor, expansionDescriptor, repliesDescriptor};
    for (int index = 0; index < 4; ++index) {
        if (sources[index] < 0 || dup2(sources[index], targets[index]) < 0)
            _exit(0);
    }
    for (int fd = repliesDescriptor + 1; fd < 4096; ++fd)
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

// The giving back while the program runs and just after it ended: offers the expansions it is
// asked to (the clipboard then stays offered should the program end with a paste on its way),
// answering only the application each is for; others get the user's contents it stands in for.
class Standby {
public:
    explicit Standby(xcb_connection_t* connection)
        : m_connection(connection)
        , m_answer(connection)
        , m_clipboard(m_answer.atom("CLIPBOARD"))
    {
        if (const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data) {
            m_window = xcb_generate_id(connection);
            xcb_create_window(connection, XCB_COPY_FROM_PARENT, m_window, screen->root, 0, 0, 1, 1, 0,
                XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, 0, nullptr);
            xcb_flush(connection);
        }
    }

    // Offers the expansion record's expansion unless the program offers its own contents
    // already; answers the window that owns the clipboard now, 0 when not ours.
    quint32 offer()
    {
        retire();
        const std::optional<QByteArray> record = readRecord(expansionDescriptor);
        std::optional<HeldExpansion> expansion = record ? decodeExpansion(*record) : std::nullopt;
        if (!expansion || m_window == 0)
            return 0;
        const xcb_window_t owner = selectionOwner(m_connection, m_clipboard);
        if (owner != m_window && owner != XCB_WINDOW_NONE && m_answer.clientOf(owner) == expansion->owner)
            return 0;
        setReads(0);
        m_owed.forget(expansion->client);
        if (owner != m_window)
            xcb_set_selection_owner(m_connection, m_window, m_clipboard, XCB_CURRENT_TIME);
        if (selectionOwner(m_connection, m_clipboard) != m_window)
            return 0;
        m_offered = std::move(expansion);
        return m_window;
    }

    // Once the program has ended with an expansion on its way: offers it (taking the clipboard
    // over from the ended program where it offered the expansion itself) until its application
    // has asked for it or a moment has passed. False when another program has the clipboard:
    // its contents stay.
    bool answerPasteOnItsWay(bool& answered)
    {
        handleEvents();
        // A program that quit, or had put the user's contents back, left no paste on its way.
        if (!readRecord(expansionDescriptor)) {
            m_offered.reset();
            return release();
        }
        if (m_offered) {
            answered = true;
            return (m_asked || serveFor(X11ClipboardKeeper::pasteWaitMilliseconds)) && release();
        }
        return takeOverFromEnded(answered);
    }

    // Answers requests until the time is up or the clipboard is taken; false when taken.
    bool serveFor(qint64 milliseconds)
    {
        QElapsedTimer elapsed;
        elapsed.start();
        qint64 until = milliseconds;
        while (elapsed.elapsed() < until && !xcb_connection_has_error(m_connection)) {
            pollfd wait{xcb_get_file_descriptor(m_connection), POLLIN, 0};
            poll(&wait, 1, int(until - elapsed.elapsed()));
            const bool askedBefore = m_asked;
            if (!handleEvents())
                return false;
            if (m_asked && !askedBefore)
                until = std::min(until, elapsed.elapsed() + X11ClipboardKeeper::afterPasteMilliseconds);
        }
        return true;
    }

    // Answers what has arrived; false once the clipboard was taken from an offered expansion.
    bool handleEvents()
    {
        bool kept = true;
        while (xcb_generic_event_t* event = xcb_poll_for_event(m_connection)) {
            const int type = event->response_type & ~0x80;
            if (type == XCB_SELECTION_CLEAR) {
                // The notice of a loss may come after the clipboard was taken again (cleared by
                // the program, then offered anew): the offer made since stands.
                if (selectionOwner(m_connection, m_clipboard) == m_window) {
                    free(event);
                    continue;
                }
                kept = !m_offered;
                retire();
            } else if (type == XCB_SELECTION_REQUEST) {
                answer(*reinterpret_cast<const xcb_selection_request_event_t*>(event));
            }
            free(event);
        }
        return kept;
    }

private:
    void answer(const xcb_selection_request_event_t& request)
    {
        const bool question = m_answer.isQuestionAboutOffer(request);
        const quint32 requestor = m_answer.clientOf(request.requestor);
        if (request.selection != m_clipboard)
            return m_answer.refuse(request);
        // A request sent while the clipboard was ours may arrive once it is no longer: it is
        // answered as it would have been (a refusal after the list of types offered text
        // makes the application paste nothing over the selected trigger).
        if (m_offered && (m_offered->client == 0 || m_offered->client == requestor)) {
            if (!question) {
                m_asked = true;
                setReads(m_reads + 1);
            }
            return m_answer.answer(request, m_offered->item);
        }
        if (m_owed.answer(m_answer, request))
            return;
        const std::optional<QByteArray> contents = readRecord(contentsDescriptor);
        QList<PasteboardItem> items;
        if (contents) {
            QDataStream stream(*contents);
            stream >> items;
        }
        if (items.isEmpty())
            return m_answer.refuse(request);
        m_answer.answer(request, items.first());
    }

    // The offered expansion leaves the clipboard; an application that has not asked for it yet
    // may still send its paste's request.
    void retire()
    {
        if (m_offered && !m_asked && m_offered->client != 0)
            m_owed.add(m_offered->client, m_offered->item);
        m_offered.reset();
        m_asked = false;
    }

    void setReads(quint32 reads)
    {
        m_reads = reads;
        // Unwritten, the program sees no read and waits longer for the paste: no harm.
        [[maybe_unused]] const ssize_t written = pwrite(expansionDescriptor, &m_reads, sizeof(m_reads), readsOffset);
    }

    bool release()
    {
        if (selectionOwner(m_connection, m_clipboard) == m_window) {
            xcb_set_selection_owner(m_connection, XCB_WINDOW_NONE, m_clipboard, XCB_CURRENT_TIME);
            selectionOwner(m_connection, m_clipboard);
        }
        return true;
    }

    // The ended program offered an expansion itself: the clipboard is taken over at once.
    bool takeOverFromEnded(bool& answered)
    {
        const std::optional<QByteArray> record = readRecord(expansionDescriptor);
        const std::optional<HeldExpansion> expansion = record ? decodeExpansion(*record) : std::nullopt;
        if (!expansion || m_window == 0 || xcb_connection_has_error(m_connection))
            return true;
        // Still the ended program's until the server has noticed its end.
        const xcb_window_t owner = selectionOwner(m_connection, m_clipboard);
        if (owner != XCB_WINDOW_NONE && owner != m_window && m_answer.clientOf(owner) != expansion->owner)
            return false;
        xcb_set_selection_owner(m_connection, m_window, m_clipboard, XCB_CURRENT_TIME);
        if (selectionOwner(m_connection, m_clipboard) != m_window)
            return false;
        m_offered = expansion;
        m_asked = false;
        answered = true;
        return serveFor(X11ClipboardKeeper::pasteWaitMilliseconds) && release();
    }

    xcb_connection_t* m_connection;
    X11SelectionAnswer m_answer;
    xcb_atom_t m_clipboard;
    xcb_window_t m_window = 0;
    std::optional<HeldExpansion> m_offered;
    bool m_asked = false;
    quint32 m_reads = 0;
    OwedExpansions m_owed;
};

// The giving back outlives the program by up to an hour, and may be the last of the session's
// processes: it must end when asked to, whatever the program that started it had done with its
// signals (a mask and ignored signals outlive the start of a new program).
void endsWithItsSession()
{
    sigset_t all;
    sigfillset(&all);
    sigprocmask(SIG_UNBLOCK, &all, nullptr);
    for (const int signal : {SIGTERM, SIGINT, SIGHUP})
        std::signal(signal, SIG_DFL);
}

// The giving back needs the display's clipboard and nothing else. The accessibility bridge, the
// desktop's theme and input methods would reach the session bus and the accessibility bus, whose
// answers, once the session ends, may never come: the display's end must find it in its own
// event loop, which ends it.
void touchOnlyTheDisplay()
{
    qputenv("QT_QPA_PLATFORM", "xcb");
    qputenv("DBUS_SESSION_BUS_ADDRESS", "disabled:");
    qunsetenv("AT_SPI_BUS_ADDRESS");
    qunsetenv("QT_LINUX_ACCESSIBILITY_ALWAYS_ON");
    qputenv("QT_QPA_PLATFORMTHEME", "generic");
    qputenv("QT_NO_XDG_DESKTOP_PORTAL", "1");
    qputenv("QT_IM_MODULE", "compose");
    QGuiApplication::setDesktopSettingsAware(false);
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
    int replies[2];
    if (m_contents.descriptor() < 0 || m_expansion.descriptor() < 0 || path.isEmpty()
        || pipe2(channel, O_CLOEXEC) != 0)
        return;
    if (pipe2(replies, O_CLOEXEC | O_NONBLOCK) != 0) {
        close(channel[0]);
        close(channel[1]);
        return;
    }
    const pid_t child = fork();
    if (child == 0)
        startGivingBack(channel[0], m_contents.descriptor(), m_expansion.descriptor(), replies[1], path.constData());
    close(channel[0]);
    close(replies[1]);
    if (child < 0) {
        close(channel[1]);
        close(replies[0]);
        return;
    }
    m_child = child;
    m_channel = channel[1];
    m_replies = replies[0];
}

X11ClipboardKeeper::~X11ClipboardKeeper()
{
    // Contents still entrusted are the user's, which we took over with a paste and put back:
    // they would go with this process like any X client's selection. The giving back offers
    // them once we have ended, as after a kill. Its channel stays open until the process is
    // gone (the kernel closes it), so that it does not look at the clipboard while we still
    // own it; and it outlives us, so it is not waited for.
    if (m_contents.isLive() && m_channel >= 0)
        return;
    m_expansion.setLive(false);
    m_contents.setLive(false);
    if (m_channel >= 0)
        close(m_channel);
    if (m_replies >= 0)
        close(m_replies);
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

quint32 X11ClipboardKeeper::offerExpansion(const PasteboardItem& expansion, quint32 client, quint32 owner)
{
    lendExpansion(expansion, client, owner);
    qsizetype bytes = 0;
    for (const auto& representation : expansion)
        bytes += representation.second.size();
    if (m_channel < 0 || m_replies < 0 || bytes > largestOfferedBytes)
        return 0;
    // A late answer to an earlier offer is no answer to this one.
    quint32 window = 0;
    while (read(m_replies, &window, sizeof(window)) > 0) { }
    if (write(m_channel, &offerCommand, 1) != 1)
        return 0;
    // A signal arriving meanwhile (the quit of a session ending) interrupts the wait, not the
    // offer: taken for a refusal, the expansion would be offered twice, ours failing or leaving
    // the clipboard ownerless when we end, and the giving back's offer orphaned.
    const QDeadlineTimer deadline(offerReplyMilliseconds);
    for (;;) {
        pollfd wait{m_replies, POLLIN, 0};
        const int ready = poll(&wait, 1, int(deadline.remainingTime()));
        if (ready > 0)
            break;
        if (ready == 0 || errno != EINTR || deadline.hasExpired())
            return 0;
    }
    return read(m_replies, &window, sizeof(window)) == sizeof(window) ? window : 0;
}

qint64 X11ClipboardKeeper::expansionReads() const
{
    quint32 reads = 0;
    if (pread(m_expansion.descriptor(), &reads, sizeof(reads), readsOffset) != sizeof(reads))
        return 0;
    return reads;
}

int X11ClipboardKeeper::giveBack(int& argc, char** argv)
{
    endsWithItsSession();
    // Connected before it is needed: once the program ends, the target's paste comes within
    // milliseconds.
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    std::optional<Standby> standby;
    if (connection && !xcb_connection_has_error(connection))
        standby.emplace(connection);
    // Until the program ends: its offers, and the requests for what we offer.
    for (;;) {
        // The display is gone, and the session with it: there is nobody left to give back to.
        if (standby && xcb_connection_has_error(connection)) {
            standby.reset();
            xcb_disconnect(connection);
            return 0;
        }
        if (standby)
            standby->handleEvents();
        pollfd waits[2] = {{channelDescriptor, POLLIN, 0}, {standby ? xcb_get_file_descriptor(connection) : -1, POLLIN, 0}};
        if (poll(waits, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        if (waits[0].revents == 0)
            continue;
        char command = 0;
        const ssize_t got = read(channelDescriptor, &command, 1);
        if (got < 0 && errno == EINTR)
            continue;
        // The channel ends with the process that held it.
        if (got <= 0)
            break;
        if (command == offerCommand) {
            const quint32 window = standby ? standby->offer() : 0;
            if (write(repliesDescriptor, &window, sizeof(window)) != sizeof(window))
                continue;
        }
    }
    bool answered = false;
    // Taken from the offered expansion by another owner: the user copied, or the program put
    // the user's contents back just before it ended. Which one, the owner tells below.
    const bool taken = standby && !standby->answerPasteOnItsWay(answered);
    standby.reset();
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
    touchOnlyTheDisplay();
    const QGuiApplication application(argc, argv);
    QtClipboardPasteboard pasteboard;
    // Someone who copied since has the clipboard; theirs stays. The ended program's own
    // clipboard is dropped by the server a moment after its end, which it may not have seen
    // yet: an owner is looked at a few times before it counts as someone else.
    int looks = 0;
    QTimer look;
    look.setInterval(ownerLookMilliseconds);
    const auto check = [&] {
        auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
        Display* display = x11 ? x11->display() : nullptr;
        if (!display)
            return QGuiApplication::quit();
        if (XGetSelectionOwner(display, XInternAtom(display, "CLIPBOARD", False)) != None) {
            if (++looks >= ownerLooks) {
                look.stop();
                QGuiApplication::quit();
            }
            return;
        }
        look.stop();
        pasteboard.clearContents();
        if (!pasteboard.writeItems(items))
            QGuiApplication::quit();
    };
    QObject::connect(&look, &QTimer::timeout, qGuiApp, check);
    QTimer::singleShot(answered && !taken ? 0 : giveBackDelayMilliseconds, qGuiApp, [&look, &check] {
        look.start();
        check();
    });
    QClipboard* clipboard = QGuiApplication::clipboard();
    QObject::connect(clipboard, &QClipboard::changed, qGuiApp, [clipboard](QClipboard::Mode mode) {
        if (mode == QClipboard::Clipboard && !clipboard->ownsClipboard())
            QGuiApplication::quit();
    });
    QTimer::singleShot(longestOfferMilliseconds, qGuiApp, &QGuiApplication::quit);
    return QGuiApplication::exec();
}
