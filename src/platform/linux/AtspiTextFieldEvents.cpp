#include "AtspiTextFieldEvents.h"

#include "AtspiBus.h"
#include "AtspiEditableTextField.h"
#include "AtspiFieldKind.h"
#include "AtspiRequestCounter.h"

#include <atspi/atspi.h>
#include <cstring>
#include <unistd.h>
#include <utility>

namespace {

constexpr const char* eventTypes[] = {
    "object:state-changed:focused",
    "object:text-changed:insert",
    "object:text-changed:delete",
    "object:text-caret-moved",
};

bool startsWith(const char* text, const char* prefix)
{
    return text && std::strncmp(text, prefix, std::strlen(prefix)) == 0;
}

QString fieldName(AtspiAccessible* accessible)
{
    const AtspiObject* object = ATSPI_OBJECT(accessible);
    return QString::fromUtf8(object->app && object->app->bus_name ? object->app->bus_name : "") + QLatin1Char(' ')
        + QString::fromUtf8(object->path ? object->path : "");
}

} // namespace

AtspiTextFieldEvents::AtspiTextFieldEvents() = default;

AtspiTextFieldEvents::~AtspiTextFieldEvents()
{
    remove();
}

bool AtspiTextFieldEvents::install(Handler handler)
{
    remove();
    if (!AtspiBus::answers())
        return false;
    const int initialized = atspi_init();
    if (initialized != 0 && initialized != 1)
        return false;
    m_listener = atspi_event_listener_new(&AtspiTextFieldEvents::receive, this, nullptr);
    for (const char* type : eventTypes) {
        if (!atspi_event_listener_register(m_listener, type, nullptr)) {
            remove();
            return false;
        }
    }
    m_handler = std::move(handler);
    return true;
}

void AtspiTextFieldEvents::remove()
{
    if (m_listener) {
        for (const char* type : eventTypes)
            atspi_event_listener_deregister(m_listener, type, nullptr);
        g_object_unref(m_listener);
    }
    m_listener = nullptr;
    m_handler = nullptr;
}

void AtspiTextFieldEvents::receive(AtspiEvent* event, void* self)
{
    static_cast<AtspiTextFieldEvents*>(self)->deliver(event);
    g_boxed_free(ATSPI_TYPE_EVENT, event);
}

bool AtspiTextFieldEvents::isOwn(AtspiAccessible* accessible)
{
    const AtspiObject* object = ATSPI_OBJECT(accessible);
    const QString application
        = object->app && object->app->bus_name ? QString::fromUtf8(object->app->bus_name) : QString();
    auto it = m_own.find(application);
    if (it == m_own.end()) {
        // Asking this process's own tree over the bus would wait for an answer only this
        // thread could give.
        const qint64 process = qint64(atspi_accessible_get_process_id(accessible, nullptr));
        it = m_own.insert(application, process == qint64(getpid()));
    }
    return it.value();
}

void AtspiTextFieldEvents::deliver(AtspiEvent* event)
{
    if (!m_handler || !event->source || isOwn(event->source))
        return;
    TextFieldEvent delivered;
    const char* type = event->type;
    if (startsWith(type, "object:state-changed:focused")) {
        delivered.kind = event->detail1 ? TextFieldEvent::Kind::focused : TextFieldEvent::Kind::unfocused;
    } else if (startsWith(type, "object:text-changed:insert") || startsWith(type, "object:text-changed:delete")) {
        delivered.kind = startsWith(type, "object:text-changed:insert") ? TextFieldEvent::Kind::inserted
                                                                        : TextFieldEvent::Kind::deleted;
        delivered.offset = event->detail1;
        delivered.length = event->detail2;
        if (G_VALUE_HOLDS_STRING(&event->any_data)) {
            const gchar* text = g_value_get_string(&event->any_data);
            delivered.text = QString::fromUtf8(text ? text : "");
        }
        m_corrected.reset();
        if (delivered.kind == TextFieldEvent::Kind::inserted && reportsInsertionsBehind(event->source)) {
            delivered.offset += delivered.length;
            m_corrected = Insertion{fieldName(event->source), delivered.offset, delivered.length};
        }
    } else if (startsWith(type, "object:text-caret-moved")) {
        delivered.kind = TextFieldEvent::Kind::caretMoved;
        delivered.offset = event->detail1;
        if (const std::optional<Insertion> insertion = std::exchange(m_corrected, std::nullopt);
            insertion && insertion->start == delivered.offset && insertion->field == fieldName(event->source))
            delivered.offset += insertion->length;
    } else {
        return;
    }
    delivered.field = std::make_shared<AtspiEditableTextField>(event->source);
    // The handler may remove this listener; keep it alive for the call.
    const Handler handler = m_handler;
    handler(delivered);
}

bool AtspiTextFieldEvents::reportsInsertionsBehind(AtspiAccessible* accessible)
{
    const std::optional<QVersionNumber> gtk = atspiGtkVersion(accessible);
    if (!gtk || gtk->majorVersion() != 4 || gtk->minorVersion() >= 14)
        return false;
    AtspiRequestCounter::note();
    AtspiStateSet* states = atspi_accessible_get_state_set(accessible);
    const bool multiLine = states && atspi_state_set_contains(states, ATSPI_STATE_MULTI_LINE);
    if (states)
        g_object_unref(states);
    return multiLine;
}
