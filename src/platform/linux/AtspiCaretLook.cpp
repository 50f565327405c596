#include "AtspiCaretLook.h"

#include "AtspiRequestCounter.h"

#include <atspi/atspi.h>
#include <dbus/dbus.h>
#include <type_traits>

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

// The int32 or string a request sent with send() was answered with, directly or inside a
// variant (a property's value); nothing for an error or no answer.
template <typename Value> std::optional<Value> answer(DBusPendingCall* pending)
{
    if (!pending)
        return std::nullopt;
    dbus_pending_call_block(pending);
    DBusMessage* reply = dbus_pending_call_steal_reply(pending);
    dbus_pending_call_unref(pending);
    if (!reply)
        return std::nullopt;
    std::optional<Value> result;
    DBusMessageIter iter;
    if (dbus_message_get_type(reply) == DBUS_MESSAGE_TYPE_METHOD_RETURN && dbus_message_iter_init(reply, &iter)) {
        DBusMessageIter inner;
        if (dbus_message_iter_get_arg_type(&iter) == DBUS_TYPE_VARIANT) {
            dbus_message_iter_recurse(&iter, &inner);
            iter = inner;
        }
        if constexpr (std::is_same_v<Value, int>) {
            if (dbus_message_iter_get_arg_type(&iter) == DBUS_TYPE_INT32) {
                dbus_int32_t value = 0;
                dbus_message_iter_get_basic(&iter, &value);
                result = int(value);
            }
        } else if (dbus_message_iter_get_arg_type(&iter) == DBUS_TYPE_STRING) {
            const char* value = nullptr;
            dbus_message_iter_get_basic(&iter, &value);
            result = QString::fromUtf8(value);
        }
    }
    dbus_message_unref(reply);
    return result;
}

} // namespace

std::optional<AtspiCaretLook> lookAtCaret(
    AtspiAccessible* text, int timeoutMilliseconds, bool& asked, std::optional<std::pair<int, int>> along)
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
    DBusPendingCall* textAsked = nullptr;
    if (along) {
        DBusMessage* request = dbus_message_new_method_call(destination, object->path, interface, "GetText");
        const dbus_int32_t start = along->first;
        const dbus_int32_t end = along->second;
        if (request
            && !dbus_message_append_args(request, DBUS_TYPE_INT32, &start, DBUS_TYPE_INT32, &end, DBUS_TYPE_INVALID)) {
            dbus_message_unref(request);
            request = nullptr;
        }
        textAsked = send(bus, request, timeoutMilliseconds);
    }
    dbus_connection_flush(bus);
    const std::optional<int> offset = answer<int>(caretAsked);
    const std::optional<int> selections = answer<int>(selectionsAsked);
    std::optional<QString> textAlong = answer<QString>(textAsked);
    if (!offset || !selections)
        return std::nullopt;
    return AtspiCaretLook{*offset, *selections, std::move(textAlong)};
}
