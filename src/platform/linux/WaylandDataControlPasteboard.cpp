#include "WaylandDataControlPasteboard.h"

#include "PasteboardTypes.h"
#include "WaylandConnection.h"
#include "wlr-data-control-unstable-v1-client.h"

#include <QSocketNotifier>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>
#include <wayland-client.h>

struct WaylandDataControlPasteboard::Offer {
    zwlr_data_control_offer_v1* offer = nullptr;
    QStringList types;
};

struct WaylandDataControlPasteboard::Source {
    zwlr_data_control_source_v1* source = nullptr;
    PasteboardItem item;
    // Offered as well, without being part of the contents: toolkits that ask for plain text by
    // its short name find ours.
    QStringList aliases;
    bool cancelled = false;
    qint64 reads = 0;

    ~Source()
    {
        if (source)
            zwlr_data_control_source_v1_destroy(source);
    }
    std::optional<QByteArray> bytes(const QString& type) const { return PasteboardTypes::bytesOf(item, aliases, type); }
};

namespace {

// Writes one type's bytes to a reader as fast as it reads, without blocking the main thread,
// then closes the pipe.
class PipeWriter : public QObject {
public:
    PipeWriter(int fd, QByteArray bytes)
        : m_fd(fd)
        , m_bytes(std::move(bytes))
        , m_notifier(fd, QSocketNotifier::Write)
    {
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
        QObject::connect(&m_notifier, &QSocketNotifier::activated, this, [this] { writeSome(); });
        writeSome();
    }
    ~PipeWriter() override { ::close(m_fd); }

private:
    void writeSome()
    {
        while (m_written < m_bytes.size()) {
            const ssize_t written = ::write(m_fd, m_bytes.constData() + m_written, size_t(m_bytes.size() - m_written));
            if (written < 0 && errno == EINTR)
                continue;
            if (written < 0 && errno == EAGAIN)
                return;
            if (written <= 0)
                break;
            m_written += written;
        }
        m_notifier.setEnabled(false);
        deleteLater();
    }

    int m_fd;
    QByteArray m_bytes;
    qint64 m_written = 0;
    QSocketNotifier m_notifier;
};

} // namespace

std::unique_ptr<WaylandDataControlPasteboard> WaylandDataControlPasteboard::create(
    std::shared_ptr<WaylandConnection> connection)
{
    if (!connection || !connection->dataControl() || !connection->seat())
        return nullptr;
    zwlr_data_control_device_v1* device
        = zwlr_data_control_manager_v1_get_data_device(connection->dataControl(), connection->seat());
    std::unique_ptr<WaylandDataControlPasteboard> board(
        new WaylandDataControlPasteboard(std::move(connection), device));
    // The compositor announces the current selection at once.
    if (!board->m_connection->roundtrip())
        return nullptr;
    return board;
}

WaylandDataControlPasteboard::WaylandDataControlPasteboard(
    std::shared_ptr<WaylandConnection> connection, zwlr_data_control_device_v1* device)
    : m_connection(std::move(connection))
    , m_device(device)
{
    static const zwlr_data_control_device_v1_listener listener = {
        .data_offer = &WaylandDataControlPasteboard::announceOffer,
        .selection = &WaylandDataControlPasteboard::announceSelection,
        .finished = &WaylandDataControlPasteboard::finish,
        .primary_selection = &WaylandDataControlPasteboard::announcePrimary,
    };
    zwlr_data_control_device_v1_add_listener(m_device, &listener, this);
}

WaylandDataControlPasteboard::~WaylandDataControlPasteboard()
{
    for (Offer* offer : std::as_const(m_offers)) {
        zwlr_data_control_offer_v1_destroy(offer->offer);
        delete offer;
    }
    m_source.reset();
    m_primarySource.reset();
    if (m_device)
        zwlr_data_control_device_v1_destroy(m_device);
    m_connection->flush();
}

void WaylandDataControlPasteboard::offerType(void* data, zwlr_data_control_offer_v1*, const char* type)
{
    static_cast<Offer*>(data)->types.append(QString::fromUtf8(type));
}

void WaylandDataControlPasteboard::announceOffer(
    void* data, zwlr_data_control_device_v1*, zwlr_data_control_offer_v1* offer)
{
    static const zwlr_data_control_offer_v1_listener listener = {
        .offer = &WaylandDataControlPasteboard::offerType,
    };
    auto* self = static_cast<WaylandDataControlPasteboard*>(data);
    auto* announced = new Offer{offer, {}};
    zwlr_data_control_offer_v1_add_listener(offer, &listener, announced);
    self->m_offers.append(announced);
}

void WaylandDataControlPasteboard::announceSelection(
    void* data, zwlr_data_control_device_v1*, zwlr_data_control_offer_v1* offer)
{
    static_cast<WaylandDataControlPasteboard*>(data)->takeSelection(offer, false);
}

void WaylandDataControlPasteboard::announcePrimary(
    void* data, zwlr_data_control_device_v1*, zwlr_data_control_offer_v1* offer)
{
    static_cast<WaylandDataControlPasteboard*>(data)->takeSelection(offer, true);
}

void WaylandDataControlPasteboard::takeSelection(zwlr_data_control_offer_v1* offer, bool primary)
{
    // Every offer announced before this one is spent, but the other selection's.
    const Offer* other = primary ? m_selection : m_primary;
    Offer* taken = nullptr;
    for (qsizetype index = m_offers.size() - 1; index >= 0; --index) {
        Offer* announced = m_offers.at(index);
        if (offer && announced->offer == offer) {
            taken = announced;
            continue;
        }
        if (announced == other)
            continue;
        zwlr_data_control_offer_v1_destroy(announced->offer);
        delete announced;
        m_offers.removeAt(index);
    }
    if (primary) {
        m_primary = taken;
        if (!m_writingPrimary)
            ++m_primaryChangeCount;
        return;
    }
    m_selection = taken;
    if (!m_writing)
        ++m_changeCount;
}

void WaylandDataControlPasteboard::finish(void* data, zwlr_data_control_device_v1*)
{
    auto* self = static_cast<WaylandDataControlPasteboard*>(data);
    zwlr_data_control_device_v1_destroy(self->m_device);
    self->m_device = nullptr;
    ++self->m_changeCount;
}

void WaylandDataControlPasteboard::send(void* data, zwlr_data_control_source_v1*, const char* type, int32_t fd)
{
    auto* source = static_cast<Source*>(data);
    const std::optional<QByteArray> bytes = source->bytes(QString::fromUtf8(type));
    if (!bytes) {
        ::close(fd);
        return;
    }
    ++source->reads;
    new PipeWriter(fd, *bytes);
}

void WaylandDataControlPasteboard::cancel(void* data, zwlr_data_control_source_v1*)
{
    static_cast<Source*>(data)->cancelled = true;
}

const WaylandDataControlPasteboard::Source* WaylandDataControlPasteboard::ownSelection() const
{
    return m_source && !m_source->cancelled ? m_source.get() : nullptr;
}

qint64 WaylandDataControlPasteboard::changeCount()
{
    m_connection->dispatchArrived();
    return m_changeCount;
}

qsizetype WaylandDataControlPasteboard::itemCount()
{
    if (const Source* own = ownSelection())
        return own->item.isEmpty() ? 0 : 1;
    return m_selection && !m_selection->types.isEmpty() ? 1 : 0;
}

QStringList WaylandDataControlPasteboard::itemTypes(qsizetype item)
{
    return item == 0 ? types() : QStringList();
}

QStringList WaylandDataControlPasteboard::types()
{
    if (const Source* own = ownSelection()) {
        QStringList names;
        for (const auto& representation : own->item)
            names.append(representation.first);
        return names;
    }
    if (!m_selection)
        return {};
    QStringList names;
    for (const QString& type : std::as_const(m_selection->types)) {
        if (!names.contains(type))
            names.append(type);
    }
    return names;
}

std::optional<QByteArray> WaylandDataControlPasteboard::data(qsizetype item, const QString& type)
{
    if (item != 0)
        return std::nullopt;
    // Asking the compositor for our own contents would wait on this very thread to send them.
    if (const Source* own = ownSelection())
        return own->bytes(type);
    if (!m_selection || !m_selection->types.contains(type))
        return std::nullopt;
    return read(*m_connection, m_selection->offer, type, QDeadlineTimer(readTimeoutMilliseconds));
}

std::optional<QByteArray> WaylandDataControlPasteboard::read(
    WaylandConnection& connection, zwlr_data_control_offer_v1* offer, const QString& type, QDeadlineTimer deadline)
{
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        return std::nullopt;
    zwlr_data_control_offer_v1_receive(offer, type.toUtf8().constData(), fds[1]);
    ::close(fds[1]);
    connection.flush();
    QByteArray bytes;
    char chunk[65536];
    std::optional<QByteArray> result;
    while (connection.waitReadable(fds[0], deadline)) {
        const ssize_t read = ::read(fds[0], chunk, sizeof chunk);
        if (read < 0 && errno == EINTR)
            continue;
        if (read < 0)
            break;
        if (read == 0) {
            result = std::move(bytes);
            break;
        }
        bytes.append(chunk, read);
        if (bytes.size() > largestRead)
            break;
    }
    ::close(fds[0]);
    return result;
}

bool WaylandDataControlPasteboard::select(std::unique_ptr<Source> source, bool primary)
{
    if (!m_device)
        return false;
    static const zwlr_data_control_source_v1_listener listener = {
        .send = &WaylandDataControlPasteboard::send,
        .cancelled = &WaylandDataControlPasteboard::cancel,
    };
    if (source) {
        source->source = zwlr_data_control_manager_v1_create_data_source(m_connection->dataControl());
        zwlr_data_control_source_v1_add_listener(source->source, &listener, source.get());
        for (const auto& representation : source->item)
            zwlr_data_control_source_v1_offer(source->source, representation.first.toUtf8().constData());
        for (const QString& alias : std::as_const(source->aliases))
            zwlr_data_control_source_v1_offer(source->source, alias.toUtf8().constData());
    }
    zwlr_data_control_source_v1* selected = source ? source->source : nullptr;
    std::unique_ptr<Source>& kept = primary ? m_primarySource : m_source;
    if (primary)
        zwlr_data_control_device_v1_set_primary_selection(m_device, selected);
    else
        zwlr_data_control_device_v1_set_selection(m_device, selected);
    kept = std::move(source);
    // The selection the compositor announces in answer is this write; another client's that
    // came after it cancels our source, and counts as a change of its own.
    bool& writing = primary ? m_writingPrimary : m_writing;
    writing = true;
    const bool answered = m_connection->roundtrip();
    writing = false;
    if (!answered || (kept && kept->cancelled)) {
        ++(primary ? m_primaryChangeCount : m_changeCount);
        return false;
    }
    return true;
}

qint64 WaylandDataControlPasteboard::clearContents()
{
    m_connection->dispatchArrived();
    ++m_changeCount;
    select(nullptr);
    return m_changeCount;
}

bool WaylandDataControlPasteboard::writeItems(const QList<PasteboardItem>& items)
{
    if (items.size() > 1)
        return false;
    if (items.isEmpty())
        return true;
    auto source = std::make_unique<Source>();
    source->item = items.first();
    // Only an expansion of ours gets the alias; the user's contents go back with their own types.
    bool hasPlainText = false;
    bool hasUtf8Text = false;
    bool isExpansion = false;
    for (const auto& representation : source->item) {
        hasPlainText = hasPlainText || representation.first == QLatin1String("text/plain");
        hasUtf8Text = hasUtf8Text || representation.first == ClipboardFormats::utf8Text;
        isExpansion = isExpansion || representation.first == ClipboardFormats::expansionMarker;
    }
    if (isExpansion && hasUtf8Text && !hasPlainText)
        source->aliases.append(QStringLiteral("text/plain"));
    return select(std::move(source));
}

std::optional<qint64> WaylandDataControlPasteboard::readsByFocusedApplication()
{
    m_connection->dispatchArrived();
    if (const Source* own = ownSelection())
        return own->reads;
    return std::nullopt;
}

std::optional<bool> WaylandDataControlPasteboard::holdsOwnWrite(qint64 changeCount)
{
    m_connection->dispatchArrived();
    if (m_changeCount != changeCount)
        return false;
    // An emptied board has no source to tell by.
    if (!m_source)
        return std::nullopt;
    return !m_source->cancelled;
}

bool WaylandDataControlPasteboard::offersPrimary() const
{
    return m_device && zwlr_data_control_device_v1_get_version(m_device) >= ZWLR_DATA_CONTROL_DEVICE_V1_SET_PRIMARY_SELECTION_SINCE_VERSION;
}

qint64 WaylandDataControlPasteboard::primaryChangeCount()
{
    m_connection->dispatchArrived();
    return m_primaryChangeCount;
}

std::optional<PasteboardItem> WaylandDataControlPasteboard::primaryContents(int milliseconds)
{
    m_connection->dispatchArrived();
    if (m_primarySource && !m_primarySource->cancelled)
        return m_primarySource->item;
    PasteboardItem item;
    if (!m_primary)
        return item;
    const QDeadlineTimer deadline(milliseconds);
    const QStringList types = m_primary->types;
    for (const QString& type : types) {
        const qint64 count = m_primaryChangeCount;
        std::optional<QByteArray> bytes = read(*m_connection, m_primary->offer, type, deadline);
        // Another selection meanwhile: what was read is no longer what it holds.
        if (!bytes || m_primaryChangeCount != count || !m_primary)
            return std::nullopt;
        bool seen = false;
        for (const auto& representation : std::as_const(item))
            seen = seen || representation.first == type;
        if (!seen)
            item.append({type, std::move(*bytes)});
    }
    return item;
}

bool WaylandDataControlPasteboard::writePrimary(const PasteboardItem& item)
{
    if (!offersPrimary())
        return false;
    m_connection->dispatchArrived();
    if (item.isEmpty())
        return select(nullptr, true);
    auto source = std::make_unique<Source>();
    source->item = item;
    return select(std::move(source), true);
}
