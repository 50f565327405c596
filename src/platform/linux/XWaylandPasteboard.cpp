#include "XWaylandPasteboard.h"

#include "X11SelectionReply.h"

#include "PasteboardTypes.h"
#include "X11Connection.h"

#include <QAbstractEventDispatcher>
#include <QSocketNotifier>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/Xfixes.h>
#include <algorithm>
#include <cerrno>
#include <climits>
#include <poll.h>

namespace {
// How many of our own changes of owner are remembered until the server reports them.
constexpr qsizetype rememberedOwnTimes = 8;

// Bytes read from a property, with the form the owner gave them.
struct Fetched {
    Atom type = None;
    int format = 0;
    QByteArray bytes;
};

// Reads a property whole and deletes it; format-32 values come as the longs Xlib makes of them.
std::optional<Fetched> takeProperty(Display* display, Window window, Atom property)
{
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long remaining = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(display, window, property, 0, LONG_MAX / 4, True, AnyPropertyType, &type, &format, &count,
            &remaining, &data)
            != Success
        || type == None) {
        return std::nullopt;
    }
    Fetched fetched{type, format, {}};
    const qsizetype unit = format == 32 ? qsizetype(sizeof(long)) : format / 8;
    if (data)
        fetched.bytes = QByteArray(reinterpret_cast<const char*>(data), qsizetype(count) * unit);
    XFree(data);
    return fetched;
}
} // namespace

std::optional<QByteArray> XWaylandPasteboard::Source::bytes(const QString& type) const
{
    return PasteboardTypes::bytesOf(item, aliases, type);
}

std::unique_ptr<XWaylandPasteboard> XWaylandPasteboard::create(const QString& display)
{
    // The display is the one named now, also when the environment changes later.
    const QByteArray name = display.isEmpty() ? qgetenv("DISPLAY") : display.toLocal8Bit();
    if (name.isEmpty())
        return nullptr;
    return std::unique_ptr<XWaylandPasteboard>(new XWaylandPasteboard(name));
}

XWaylandPasteboard::XWaylandPasteboard(QByteArray displayName)
    : m_displayName(std::move(displayName))
{
}

XWaylandPasteboard::~XWaylandPasteboard()
{
    dropConnection();
}

void XWaylandPasteboard::dropConnection()
{
    if (!m_display)
        return;
    delete std::exchange(m_notifier, nullptr);
    QObject::disconnect(m_aboutToBlock);
    if (!m_lost)
        XDestroyWindow(m_display, m_window);
    X11Connection::stopSurvivingLossOf(m_display);
    X11Connection::stopIgnoringErrorsOn(m_display);
    // A connection Xlib has marked dead sends nothing more; closing it only frees it.
    XCloseDisplay(std::exchange(m_display, nullptr));
    m_source.reset();
}

bool XWaylandPasteboard::connected()
{
    // A server gone (XWayland stopped or crashed) turns this clipboard off for good: what we
    // lent is gone with it, and the route that needs it leaves triggers as typed.
    if (m_lost && m_display) {
        dropConnection();
        m_failed = true;
        ++m_changeCount;
    }
    if (m_display)
        return true;
    if (m_failed)
        return false;
    m_display = XOpenDisplay(m_displayName.constData());
    int errorBase = 0;
    if (!m_display || !XFixesQueryExtension(m_display, &m_fixesEventBase, &errorBase)) {
        if (m_display)
            XCloseDisplay(m_display);
        m_display = nullptr;
        m_failed = true;
        return false;
    }
    X11Connection::ignoreErrorsOn(m_display);
    X11Connection::surviveLossOf(m_display, [this] { m_lost = true; });
    XSetWindowAttributes attributes{};
    attributes.event_mask = PropertyChangeMask;
    m_window = XCreateWindow(m_display, DefaultRootWindow(m_display), -1, -1, 1, 1, 0, CopyFromParent, InputOnly,
        nullptr, CWEventMask, &attributes);
    XFixesSelectSelectionInput(m_display, m_window, atom(QStringLiteral("CLIPBOARD")),
        XFixesSetSelectionOwnerNotifyMask | XFixesSelectionWindowDestroyNotifyMask
            | XFixesSelectionClientCloseNotifyMask);
    XFlush(m_display);
    m_notifier = new QSocketNotifier(ConnectionNumber(m_display), QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &XWaylandPasteboard::processEvents);
    // A round trip can move events into Xlib's queue, after which the socket stays quiet.
    if (QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance()) {
        m_aboutToBlock = connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this, [this] {
            if (m_display && !m_lost && XEventsQueued(m_display, QueuedAlready) > 0)
                processEvents();
        });
    }
    return true;
}

unsigned long XWaylandPasteboard::atom(const QString& name)
{
    const auto found = m_atoms.constFind(name);
    if (found != m_atoms.constEnd())
        return *found;
    const Atom made = XInternAtom(m_display, name.toUtf8().constData(), False);
    m_atoms.insert(name, made);
    m_names.insert(made, name);
    return made;
}

QString XWaylandPasteboard::atomName(unsigned long atom)
{
    const auto found = m_names.constFind(atom);
    if (found != m_names.constEnd())
        return *found;
    char* text = atom == None ? nullptr : XGetAtomName(m_display, atom);
    QString name = text ? QString::fromUtf8(text) : QString();
    XFree(text);
    if (!name.isEmpty()) {
        m_names.insert(atom, name);
        m_atoms.insert(name, atom);
    }
    return name;
}

bool XWaylandPasteboard::waitFor(
    XEvent& event, const std::function<bool(const XEvent&)>& wanted, const QDeadlineTimer& deadline)
{
    struct Filter {
        const std::function<bool(const XEvent&)>* wanted;
        Window window;
    } filter{&wanted, m_window};
    const auto matches = [](Display*, XEvent* candidate, XPointer argument) -> Bool {
        const auto* filter = reinterpret_cast<const Filter*>(argument);
        return candidate->xany.window == filter->window && (*filter->wanted)(*candidate) ? True : False;
    };
    XFlush(m_display);
    for (;;) {
        if (XCheckIfEvent(m_display, &event, matches, reinterpret_cast<XPointer>(&filter)))
            return true;
        if (m_lost || deadline.hasExpired())
            return false;
        pollfd readable{ConnectionNumber(m_display), POLLIN, 0};
        const int waited = ::poll(&readable, 1, int(std::clamp<qint64>(deadline.remainingTime(), 0, INT_MAX)));
        if (waited < 0 && errno != EINTR)
            return false;
    }
}

unsigned long XWaylandPasteboard::serverTime()
{
    // An empty append changes nothing but brings a property notice stamped with the server's time.
    const Atom property = atom(QStringLiteral("_VELMORA_TIME"));
    XChangeProperty(m_display, m_window, property, XA_STRING, 8, PropModeAppend, nullptr, 0);
    XEvent event;
    if (waitFor(
            event,
            [property](const XEvent& candidate) {
                return candidate.type == PropertyNotify && candidate.xproperty.atom == property;
            },
            QDeadlineTimer(readTimeoutMilliseconds))) {
        return event.xproperty.time;
    }
    return CurrentTime;
}

void XWaylandPasteboard::processEvents()
{
    if (!m_display)
        return;
    while (!m_lost && XPending(m_display) > 0) {
        XEvent event;
        XNextEvent(m_display, &event);
        handle(event);
    }
}

void XWaylandPasteboard::handle(XEvent& event)
{
    if (event.type == m_fixesEventBase + XFixesSelectionNotify) {
        const auto& notice = reinterpret_cast<const XFixesSelectionNotifyEvent&>(event);
        const bool ours = notice.subtype == XFixesSetSelectionOwnerNotify && notice.owner == m_window
            && m_ownTimes.contains(notice.selection_timestamp);
        if (ours)
            return;
        ++m_changeCount;
        if (notice.owner != m_window)
            m_source.reset();
        return;
    }
    if (event.type == SelectionRequest) {
        answer(event);
        return;
    }
    if (event.type == SelectionClear && m_source && event.xselectionclear.time >= m_source->time) {
        m_source.reset();
        ++m_changeCount;
    }
}

void XWaylandPasteboard::answer(const XEvent& event)
{
    const XSelectionRequestEvent& request = event.xselectionrequest;
    X11SelectionReply reply(m_display, event);
    const bool current = m_source && request.selection == atom(QStringLiteral("CLIPBOARD"))
        && (request.time == CurrentTime || request.time >= m_source->time);
    if (!current)
        return;
    const QString target = atomName(request.target);
    if (target == QLatin1String("TARGETS")) {
        QList<long> targets{long(atom(QStringLiteral("TARGETS"))), long(atom(QStringLiteral("TIMESTAMP")))};
        for (const auto& representation : std::as_const(m_source->item))
            targets.append(long(atom(representation.first)));
        for (const QString& alias : std::as_const(m_source->aliases))
            targets.append(long(atom(alias)));
        reply.setAtoms(targets);
    } else if (target == QLatin1String("TIMESTAMP")) {
        reply.setTimestamp(m_source->time);
    } else if (!PasteboardTypes::isMetaTarget(target)) {
        const std::optional<QByteArray> bytes = m_source->bytes(target);
        if (bytes && bytes->size() <= largestTransfer()) {
            reply.setBytes(request.target, *bytes);
            ++m_source->reads;
        }
    }
}

qint64 XWaylandPasteboard::largestTransfer() const
{
    long words = XExtendedMaxRequestSize(m_display);
    if (words == 0)
        words = XMaxRequestSize(m_display);
    // Room for the request's own fields.
    return qint64(words) * 4 - 1024;
}

std::optional<QByteArray> XWaylandPasteboard::convert(unsigned long target, unsigned long* type)
{
    const Atom clipboard = atom(QStringLiteral("CLIPBOARD"));
    const Atom property = atom(QStringLiteral("_VELMORA_SELECTION"));
    XDeleteProperty(m_display, m_window, property);
    XConvertSelection(m_display, clipboard, target, property, m_window, CurrentTime);
    const QDeadlineTimer deadline(readTimeoutMilliseconds);
    XEvent event;
    const bool answered = waitFor(
        event,
        [clipboard, target](const XEvent& candidate) {
            return candidate.type == SelectionNotify && candidate.xselection.selection == clipboard
                && candidate.xselection.target == target;
        },
        deadline);
    // What arrived meanwhile (requests, reports of owners) is handled once this read is done.
    QMetaObject::invokeMethod(this, &XWaylandPasteboard::processEvents, Qt::QueuedConnection);
    if (!answered || event.xselection.property == None)
        return std::nullopt;
    std::optional<Fetched> fetched = takeProperty(m_display, m_window, property);
    if (!fetched)
        return std::nullopt;
    if (type)
        *type = fetched->type;
    if (fetched->type != atom(QStringLiteral("INCR"))) {
        if (fetched->format != 8 && target != atom(QStringLiteral("TARGETS")))
            return std::nullopt;
        return fetched->bytes;
    }
    // Sent in parts: each new value of the property is the next part, an empty one the end.
    QByteArray bytes;
    for (;;) {
        if (!waitFor(
                event,
                [property](const XEvent& candidate) {
                    return candidate.type == PropertyNotify && candidate.xproperty.atom == property
                        && candidate.xproperty.state == PropertyNewValue;
                },
                deadline)) {
            return std::nullopt;
        }
        std::optional<Fetched> part = takeProperty(m_display, m_window, property);
        if (!part || part->format != 8)
            return std::nullopt;
        if (part->bytes.isEmpty())
            break;
        bytes.append(part->bytes);
        if (bytes.size() > largestTransfer())
            return std::nullopt;
    }
    if (type)
        *type = fetched->type;
    return bytes;
}

qint64 XWaylandPasteboard::changeCount()
{
    finishClearing();
    if (connected())
        processEvents();
    // A loss noticed just now.
    connected();
    return m_changeCount;
}

qsizetype XWaylandPasteboard::itemCount()
{
    finishClearing();
    if (m_source)
        return m_source->item.isEmpty() ? 0 : 1;
    return types().isEmpty() ? 0 : 1;
}

QStringList XWaylandPasteboard::itemTypes(qsizetype item)
{
    return item == 0 ? types() : QStringList();
}

QStringList XWaylandPasteboard::types()
{
    const qint64 count = changeCount();
    if (m_source) {
        QStringList names;
        for (const auto& representation : std::as_const(m_source->item))
            names.append(representation.first);
        return names;
    }
    if (!m_display || XGetSelectionOwner(m_display, atom(QStringLiteral("CLIPBOARD"))) == None)
        return {};
    if (m_types && m_types->first == count)
        return m_types->second;
    QStringList names;
    unsigned long type = None;
    const std::optional<QByteArray> targets = convert(atom(QStringLiteral("TARGETS")), &type);
    if (targets && type == XA_ATOM) {
        const auto* atoms = reinterpret_cast<const long*>(targets->constData());
        for (qsizetype index = 0; index < targets->size() / qsizetype(sizeof(long)); ++index) {
            const QString name = atomName(static_cast<unsigned long>(atoms[index]));
            if (!name.isEmpty() && !PasteboardTypes::isMetaTarget(name) && !names.contains(name))
                names.append(name);
        }
    }
    // An owner that did not answer is asked again at the next change.
    if (targets)
        m_types = std::pair(count, names);
    return names;
}

std::optional<QByteArray> XWaylandPasteboard::data(qsizetype item, const QString& type)
{
    if (item != 0)
        return std::nullopt;
    finishClearing();
    // Asking the server for our own contents would wait on this very thread to send them.
    if (m_source)
        return m_source->bytes(type);
    if (!types().contains(type))
        return std::nullopt;
    return convert(atom(type));
}

bool XWaylandPasteboard::own(std::unique_ptr<Source> source)
{
    if (!connected())
        return false;
    const Atom clipboard = atom(QStringLiteral("CLIPBOARD"));
    source->time = serverTime();
    m_ownTimes.append(source->time);
    if (m_ownTimes.size() > rememberedOwnTimes)
        m_ownTimes.removeFirst();
    XSetSelectionOwner(m_display, clipboard, m_window, source->time);
    m_source = std::move(source);
    if (XGetSelectionOwner(m_display, clipboard) != m_window || !connected()) {
        m_source.reset();
        ++m_changeCount;
        return false;
    }
    return true;
}

qint64 XWaylandPasteboard::clearContents()
{
    ++m_changeCount;
    // Emptied for the server only if no write follows at once: each change of owner has the
    // compositor read the new contents' types, and one made only to be replaced a moment later
    // would race with the one that replaces it.
    m_clearPending = true;
    return m_changeCount;
}

void XWaylandPasteboard::finishClearing()
{
    // Taken with nothing in it rather than left without an owner: the compositor would put
    // back a copy of its own into a clipboard left empty.
    if (std::exchange(m_clearPending, false) && connected())
        own(std::make_unique<Source>());
}

bool XWaylandPasteboard::writeItems(const QList<PasteboardItem>& items)
{
    if (items.size() > 1 || !connected())
        return false;
    auto source = std::make_unique<Source>();
    if (!items.isEmpty())
        source->item = items.first();
    bool hasPlainText = false;
    bool isExpansion = false;
    for (const auto& [type, bytes] : std::as_const(source->item)) {
        if (bytes.size() > largestTransfer())
            return false;
        hasPlainText = hasPlainText || type == QLatin1String("text/plain") || type == QLatin1String("UTF8_STRING");
        isExpansion = isExpansion || type == ClipboardFormats::expansionMarker;
    }
    m_clearPending = false;
    // Only an expansion of ours gets the X name of its text; the user's contents go back with
    // their own types.
    if (isExpansion && !hasPlainText && source->bytes(ClipboardFormats::utf8Text))
        source->aliases = QStringList{QStringLiteral("UTF8_STRING"), QStringLiteral("text/plain")};
    return own(std::move(source));
}

std::optional<qint64> XWaylandPasteboard::readsByFocusedApplication()
{
    finishClearing();
    if (!connected())
        return std::nullopt;
    processEvents();
    if (m_source)
        return m_source->reads;
    return std::nullopt;
}

std::optional<bool> XWaylandPasteboard::holdsOwnWrite(qint64 changeCount)
{
    if (this->changeCount() != changeCount)
        return false;
    if (!m_source)
        return std::nullopt;
    const bool owner = XGetSelectionOwner(m_display, atom(QStringLiteral("CLIPBOARD"))) == m_window;
    return owner && this->changeCount() == changeCount;
}
