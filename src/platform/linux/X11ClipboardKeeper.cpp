#include "X11ClipboardKeeper.h"

#include "QtClipboardPasteboard.h"

#include <QClipboard>
#include <QDataStream>
#include <QGuiApplication>
#include <QIODevice>
#include <QTimer>
#include <QtGlobal>
#include <X11/Xlib.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// The first byte says whether the contents after the header are to be given back.
constexpr off_t headerBytes = 8;
constexpr int contentsDescriptor = 3;
// Contents nobody took over are offered this long at most.
constexpr int longestOfferMilliseconds = 3'600'000;
// A paste that was on its way when this program ended has found the clipboard empty by then;
// taken sooner, the user's contents could land where the expansion was meant to.
constexpr int giveBackDelayMilliseconds = 1000;

[[noreturn]] void keep(int channel, int contents, const char* program)
{
    for (int fd = 3; fd < 4096; ++fd) {
        if (fd != channel && fd != contents)
            close(fd);
    }
    char byte = 0;
    for (;;) {
        pollfd wait{channel, POLLIN, 0};
        if (poll(&wait, 1, -1) < 0)
            continue;
        // Nothing is ever written: the channel only ends, with the process that held it.
        if (read(channel, &byte, 1) <= 0)
            break;
    }
    char live = 0;
    if (pread(contents, &live, 1, 0) != 1 || live != 1)
        _exit(0);
    if (dup2(contents, contentsDescriptor) < 0)
        _exit(0);
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

} // namespace

X11ClipboardKeeper::X11ClipboardKeeper(const QString& program)
{
    const QByteArray path = program.toLocal8Bit();
    m_contents = memfd_create("velmora-clipboard", MFD_CLOEXEC);
    int channel[2];
    if (m_contents < 0 || path.isEmpty() || pipe2(channel, O_CLOEXEC) != 0)
        return;
    const pid_t child = fork();
    if (child == 0)
        keep(channel[0], m_contents, path.constData());
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
    setLive(false);
    if (m_channel >= 0)
        close(m_channel);
    if (m_child > 0) {
        int status = 0;
        waitpid(m_child, &status, 0);
    }
    if (m_contents >= 0)
        close(m_contents);
}

void X11ClipboardKeeper::setLive(bool live)
{
    if (m_contents < 0 || live == m_live)
        return;
    const char flag = live ? 1 : 0;
    m_live = pwrite(m_contents, &flag, 1, 0) == 1 ? live : false;
}

void X11ClipboardKeeper::entrust(const QList<PasteboardItem>& items)
{
    if (m_channel < 0)
        return;
    if (items.isEmpty())
        return setLive(false);
    // Most expansions stand in for the same contents as the one before.
    if (items != m_entrusted) {
        setLive(false);
        QByteArray bytes;
        QDataStream stream(&bytes, QIODevice::WriteOnly);
        stream << items;
        m_entrusted.clear();
        if (ftruncate(m_contents, headerBytes + bytes.size()) != 0
            || pwrite(m_contents, bytes.constData(), size_t(bytes.size()), headerBytes) != bytes.size())
            return;
        m_entrusted = items;
    }
    setLive(true);
}

int X11ClipboardKeeper::giveBack()
{
    const off_t size = lseek(contentsDescriptor, 0, SEEK_END);
    if (size <= headerBytes)
        return 0;
    QByteArray bytes(qsizetype(size - headerBytes), Qt::Uninitialized);
    if (pread(contentsDescriptor, bytes.data(), size_t(bytes.size()), headerBytes) != bytes.size())
        return 0;
    close(contentsDescriptor);
    QList<PasteboardItem> items;
    QDataStream stream(bytes);
    stream >> items;
    if (stream.status() != QDataStream::Ok || items.isEmpty())
        return 0;
    QtClipboardPasteboard pasteboard;
    QTimer::singleShot(giveBackDelayMilliseconds, qGuiApp, [&pasteboard, &items] {
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
