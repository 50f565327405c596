#include "AtspiCaretLook.h"

#include "AtspiRequestCounter.h"

#include <atspi/atspi.h>
#include <dbus/dbus.h>

namespace {

DBusPendingCall* send(DBusConnection* bus, DBusMessage* message, int timeoutMilliseconds)
{
    DBusPendingCall* pending = nullptr;
    if (message && !dbus_connection_send_with_reply(bus, message, &pending, timeoutMilliseconds))
        pending = nullptr;
    if (message)
        dbus_message_unref(message);
    if (pending)
        AtspiRequestCounter::note();
    return pending;
}

// The int32 a request sent with send() was answered with, directly or inside a variant (a
// property's value); nothing for an error or no answer.
std::optional<int> integerAnswer(DBusPendingCall* pending)
{
    if (!pending)
        return std::nullopt;
    dbus_pending_call_block(pending);
    DBusMessage* reply = dbus_pending_call_steal_reply(pending);
    dbus_pending_call_unref(pending);
    if (!reply)
        return std::nullopt;
    std::optional<int> result;
    DBusMessageIter iter;
    if (dbus_message_get_type(reply) == DBUS_MESSAGE_TYPE_METHOD_RETURN && dbus_message_iter_init(reply, &iter)) {
        DBusMessageIter inner;
        if (dbus_message_iter_get_arg_type(&iter) == DBUS_TYPE_VARIANT) {
            dbus_message_iter_recurse(&iter, &inner);
            iter = inner;
        }
        if (dbus_message_iter_get_arg_type(&iter) == DBUS_TYPE_INT32) {
            dbus_int32_t value = 0;
            dbus_message_iter_get_basic(&iter, &value);
            result = int(value);
        }
    }
    dbus_message_unref(reply);
    return result;
}

} // namespace

std::optional<AtspiCaretLook> lookAtCaret(AtspiAccessible* text, int timeoutMilliseconds, bool& asked)
{
    const AtspiObject* object = ATSPI_OBJECT(text);
    DBusConnection* bus = object->app ? object->app->bus : nullptr;
    const char* destination = object->app ? object->app->bus_name : nullptr;
    asked = bus && destination && object->path;
    if (!asked)
        return std::nullopt;
    const char* interface = "org.a11y.atspi.Text";
    const char* property = "CaretOffset";
    DBusMessage* caret = dbus_message_new_method_call(destination, object->path, DBUS_INTERFACE_PROPERTIES, "Get");
    if (caret
        && !dbus_message_append_args(
            caret, DBUS_TYPE_STRING, &interface, DBUS_TYPE_STRING, &property, DBUS_TYPE_INVALID)) {
        dbus_message_unref(caret);
        caret = nullptr;
    }
    DBusPendingCall* caretAsked = send(bus, caret, timeoutMilliseconds);
    DBusPendingCall* selectionsAsked = send(
        bus, dbus_message_new_method_call(destination, object->path, interface, "GetNSelections"), timeoutMilliseconds);
    dbus_connection_flush(bus);
    const std::optional<int> offset = integerAnswer(caretAsked);
    const std::optional<int> selections = integerAnswer(selectionsAsked);
    if (!offset || !selections)
        return std::nullopt;
    return AtspiCaretLook{*offset, *selections};
}
