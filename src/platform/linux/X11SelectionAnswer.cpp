#include "X11SelectionAnswer.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <optional>

namespace {

const QString utf8TextType = QStringLiteral("text/plain;charset=utf-8");
const QString plainTextType = QStringLiteral("text/plain");

std::optional<QByteArray> bytesOf(const PasteboardItem& item, const QString& type)
{
    for (const auto& [itemType, bytes] : item) {
        if (itemType == type)
            return bytes;
    }
    return std::nullopt;
}

std::optional<QByteArray> textOf(const PasteboardItem& item)
{
    if (std::optional<QByteArray> text = bytesOf(item, utf8TextType))
        return text;
    return bytesOf(item, plainTextType);
}

} // namespace

X11SelectionAnswer::X11SelectionAnswer(xcb_connection_t* connection)
    : m_connection(connection)
    , m_clientMask(~xcb_get_setup(connection)->resource_id_mask)
    , m_targets(atom("TARGETS"))
    , m_timestamp(atom("TIMESTAMP"))
    , m_multiple(atom("MULTIPLE"))
    , m_utf8String(atom("UTF8_STRING"))
    , m_text(atom("TEXT"))
{
}

xcb_atom_t X11SelectionAnswer::atom(const char* name) const
{
    xcb_intern_atom_reply_t* reply
        = xcb_intern_atom_reply(m_connection, xcb_intern_atom(m_connection, 0, strlen(name), name), nullptr);
    const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    free(reply);
    return atom;
}

quint32 X11SelectionAnswer::ownClient() const
{
    return clientOf(xcb_get_setup(m_connection)->resource_id_base);
}

quint32 X11SelectionAnswer::focusedClient() const
{
    xcb_get_input_focus_reply_t* reply
        = xcb_get_input_focus_reply(m_connection, xcb_get_input_focus(m_connection), nullptr);
    const xcb_window_t focus = reply ? reply->focus : xcb_window_t(XCB_WINDOW_NONE);
    free(reply);
    if (focus == XCB_WINDOW_NONE || focus == XCB_INPUT_FOCUS_POINTER_ROOT)
        return 0;
    return clientOf(focus);
}

bool X11SelectionAnswer::isQuestionAboutOffer(const xcb_selection_request_event_t& request) const
{
    return request.target == m_targets || request.target == m_timestamp;
}

void X11SelectionAnswer::refuse(const xcb_selection_request_event_t& request) const
{
    notify(request, XCB_ATOM_NONE);
}

void X11SelectionAnswer::answer(const xcb_selection_request_event_t& request, const PasteboardItem& item) const
{
    // Clients from before ICCCM 2 name no property: the target's name serves.
    const xcb_atom_t property = request.property == XCB_ATOM_NONE ? request.target : request.property;
    if (request.target == m_targets) {
        QList<xcb_atom_t> targets{m_targets};
        for (const auto& [type, bytes] : item)
            targets.append(atom(type.toUtf8().constData()));
        if (textOf(item))
            targets << m_utf8String << XCB_ATOM_STRING << m_text << atom("text/plain");
        xcb_change_property(m_connection, XCB_PROP_MODE_REPLACE, request.requestor, property, XCB_ATOM_ATOM, 32,
            quint32(targets.size()), targets.constData());
        return notify(request, property);
    }
    if (request.target == m_multiple || request.target == m_timestamp)
        return refuse(request);
    xcb_get_atom_name_reply_t* reply
        = xcb_get_atom_name_reply(m_connection, xcb_get_atom_name(m_connection, request.target), nullptr);
    if (!reply)
        return refuse(request);
    const QString name = QString::fromUtf8(xcb_get_atom_name_name(reply), xcb_get_atom_name_name_length(reply));
    free(reply);
    std::optional<QByteArray> bytes = bytesOf(item, name);
    xcb_atom_t type = request.target;
    if (!bytes && (request.target == m_utf8String || request.target == m_text || name == plainTextType)) {
        bytes = textOf(item);
        type = request.target == m_text ? m_utf8String : request.target;
    } else if (!bytes && request.target == XCB_ATOM_STRING) {
        if (const std::optional<QByteArray> text = textOf(item))
            bytes = QString::fromUtf8(*text).toLatin1();
    }
    // Larger contents go in pieces (INCR), which an answer of last resort does not attempt.
    const quint64 largest = quint64(xcb_get_maximum_request_length(m_connection)) * 4 - 64;
    if (!bytes || quint64(bytes->size()) > largest)
        return refuse(request);
    xcb_change_property(m_connection, XCB_PROP_MODE_REPLACE, request.requestor, property, type, 8,
        quint32(bytes->size()), bytes->constData());
    notify(request, property);
}

void X11SelectionAnswer::notify(const xcb_selection_request_event_t& request, xcb_atom_t property) const
{
    xcb_selection_notify_event_t event{};
    event.response_type = XCB_SELECTION_NOTIFY;
    event.time = request.time;
    event.requestor = request.requestor;
    event.selection = request.selection;
    event.target = request.target;
    event.property = property;
    // An event of 32 bytes, as the server sends them.
    char raw[32] = {};
    static_assert(sizeof(event) <= sizeof(raw));
    std::memcpy(raw, &event, sizeof(event));
    xcb_send_event(m_connection, 0, request.requestor, XCB_EVENT_MASK_NO_EVENT, raw);
    xcb_flush(m_connection);
}

void OwedExpansions::add(quint32 client, const PasteboardItem& item)
{
    m_owed.append(Owed{client, item, QDeadlineTimer(keptMilliseconds)});
}

void OwedExpansions::forget(quint32 client)
{
    m_owed.removeIf([client](const Owed& owed) { return owed.client == client; });
}

bool OwedExpansions::isEmpty()
{
    m_owed.removeIf([](const Owed& owed) { return owed.expiry.hasExpired(); });
    return m_owed.isEmpty();
}

bool OwedExpansions::answer(const X11SelectionAnswer& answer, const xcb_selection_request_event_t& request)
{
    if (isEmpty())
        return false;
    const quint32 requestor = answer.clientOf(request.requestor);
    const auto owed
        = std::find_if(m_owed.begin(), m_owed.end(), [&](const Owed& owed) { return owed.client == requestor; });
    if (owed == m_owed.end())
        return false;
    const PasteboardItem item = owed->item;
    if (!answer.isQuestionAboutOffer(request))
        m_owed.erase(owed);
    answer.answer(request, item);
    return true;
}
