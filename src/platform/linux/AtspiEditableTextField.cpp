#include "AtspiEditableTextField.h"

#include "AtspiFieldKind.h"
#include "AtspiRequestCounter.h"

#include <QList>
#include <QString>
#include <atspi/atspi.h>
#include <cmath>
#include <cstring>
#include <dbus/dbus.h>

namespace {

bool succeeded(GError*& error)
{
    if (!error)
        return true;
    g_clear_error(&error);
    return false;
}

void setTimeout(double seconds)
{
    const int milliseconds = std::max(1, int(std::lround(seconds * 1000)));
    atspi_set_timeout(milliseconds, milliseconds);
}

// Bounds the requests made while it lives by the longer timeout of a change.
class ChangeTimeout {
public:
    ChangeTimeout() { setTimeout(AtspiEditableTextField::changeTimeout); }
    ~ChangeTimeout() { setTimeout(AtspiEditableTextField::readTimeout); }
    ChangeTimeout(const ChangeTimeout&) = delete;
    ChangeTimeout& operator=(const ChangeTimeout&) = delete;
};

bool hasInterface(AtspiAccessible* accessible, bool editable)
{
    GObject* object = editable ? G_OBJECT(atspi_accessible_get_editable_text_iface(accessible))
                               : G_OBJECT(atspi_accessible_get_text_iface(accessible));
    if (!object)
        return false;
    g_object_unref(object);
    return true;
}

// The length InsertText is given, in the unit the toolkit reads it in: GTK 3 hands it on to
// its own insertion, which counts bytes, as do GTK 4's text views (its entries and Gecko read up
// to the end of the text); Qt 5 and 6 cut or pad the text to that many UTF-16 units, so bytes
// give them the expansion followed by whatever the padding held.
gint insertionLength(const AtspiToolkit& toolkit, const QString& text, const QByteArray& bytes)
{
    return gint(toolkit.isQt() ? text.size() : bytes.size());
}

// A method call to the object behind `accessible`, on its application's own connection; nothing
// when that connection is not known.
DBusMessage* methodCall(AtspiAccessible* accessible, const char* interface, const char* method)
{
    const AtspiObject* object = ATSPI_OBJECT(accessible);
    if (!object->app || !object->app->bus || !object->app->bus_name || !object->path)
        return nullptr;
    return dbus_message_new_method_call(object->app->bus_name, object->path, interface, method);
}

// Sends `calls` (taken over) one right behind the other, without waiting for an answer in
// between, and waits for the answers: how many in a row from the first answered true. A call
// that cannot be sent ends the row; none behind it goes out.
int answeredTrueInARow(AtspiAccessible* accessible, const QList<DBusMessage*>& calls, int timeoutMilliseconds)
{
    DBusConnection* bus = ATSPI_OBJECT(accessible)->app->bus;
    QList<DBusPendingCall*> pending;
    for (DBusMessage* call : calls) {
        DBusPendingCall* asked = nullptr;
        if (pending.size() == calls.indexOf(call)
            && dbus_connection_send_with_reply(bus, call, &asked, timeoutMilliseconds) && asked) {
            AtspiRequestCounter::note();
            pending.append(asked);
        }
        dbus_message_unref(call);
    }
    dbus_connection_flush(bus);
    int yes = 0;
    bool inARow = true;
    for (DBusPendingCall* asked : pending) {
        dbus_pending_call_block(asked);
        DBusMessage* reply = dbus_pending_call_steal_reply(asked);
        dbus_pending_call_unref(asked);
        dbus_bool_t answer = false;
        inARow = inARow && reply && dbus_message_get_type(reply) == DBUS_MESSAGE_TYPE_METHOD_RETURN
            && dbus_message_get_args(reply, nullptr, DBUS_TYPE_BOOLEAN, &answer, DBUS_TYPE_INVALID) && answer;
        yes += inARow;
        if (reply)
            dbus_message_unref(reply);
    }
    return yes;
}

} // namespace

AtspiEditableTextField::AtspiEditableTextField(AtspiAccessible* accessible)
    : m_accessible(static_cast<AtspiAccessible*>(g_object_ref(accessible)))
{
}

AtspiEditableTextField::~AtspiEditableTextField()
{
    g_object_unref(m_accessible);
}

std::optional<EditableTextField::State> AtspiEditableTextField::state()
{
    setTimeout(readTimeout);
    AtspiRequestCounter::note();
    AtspiStateSet* states = atspi_accessible_get_state_set(m_accessible);
    if (!states)
        return std::nullopt;
    if (atspi_state_set_contains(states, ATSPI_STATE_DEFUNCT)) {
        g_object_unref(states);
        return std::nullopt;
    }
    State state;
    state.focused = atspi_state_set_contains(states, ATSPI_STATE_FOCUSED);
    // GTK 4 leaves out "enabled", LibreOffice "sensitive" (its paragraphs are editable and
    // enabled only); a field that takes no input has neither.
    state.editable = atspi_state_set_contains(states, ATSPI_STATE_EDITABLE)
        && (atspi_state_set_contains(states, ATSPI_STATE_SENSITIVE)
            || atspi_state_set_contains(states, ATSPI_STATE_ENABLED));
    const bool multiLine = atspi_state_set_contains(states, ATSPI_STATE_MULTI_LINE);
    g_object_unref(states);
    GError* error = nullptr;
    AtspiRequestCounter::note();
    const AtspiRole role = atspi_accessible_get_role(m_accessible, &error);
    if (!succeeded(error))
        return std::nullopt;
    state.kind = atspiFieldKind(role, multiLine);
    // Known before any change is made: an insertion needs it.
    const std::optional<AtspiToolkit> toolkit = atspiToolkit(m_accessible);
    if (!toolkit)
        return std::nullopt;
    // GTK 4 shows an entry that hides its text exactly like any other entry: role "text", its
    // text readable, each typed character reported; only what it draws tells.
    if (state.kind == FieldKind::singleLine && toolkit->isGtk() && toolkit->version.majorVersion() >= 4
        && !atspiShowsItsText(m_accessible).value_or(false))
        state.kind = FieldKind::password;
    state.offersEditing = hasInterface(m_accessible, false) && hasInterface(m_accessible, true);
    return state;
}

QString AtspiEditableTextField::applicationName()
{
    AtspiRequestCounter::note();
    AtspiAccessible* application = atspi_accessible_get_application(m_accessible, nullptr);
    if (!application)
        return {};
    AtspiRequestCounter::note();
    gchar* name = atspi_accessible_get_name(application, nullptr);
    g_object_unref(application);
    QString result = QString::fromUtf8(name ? name : "");
    g_free(name);
    return result;
}

bool AtspiEditableTextField::isSameField(const EditableTextField& other) const
{
    const auto* field = dynamic_cast<const AtspiEditableTextField*>(&other);
    if (!field)
        return false;
    if (field->m_accessible == m_accessible)
        return true;
    const AtspiObject* mine = ATSPI_OBJECT(m_accessible);
    const AtspiObject* theirs = ATSPI_OBJECT(field->m_accessible);
    return mine->app && theirs->app && mine->path && theirs->path && mine->app->bus_name && theirs->app->bus_name
        && std::strcmp(mine->app->bus_name, theirs->app->bus_name) == 0 && std::strcmp(mine->path, theirs->path) == 0;
}

std::optional<qint64> AtspiEditableTextField::processId()
{
    setTimeout(readTimeout);
    GError* error = nullptr;
    AtspiRequestCounter::note();
    const guint process = atspi_accessible_get_process_id(m_accessible, &error);
    if (!succeeded(error) || process == 0)
        return std::nullopt;
    return qint64(process);
}

std::optional<QString> AtspiEditableTextField::text(qint64 start, qint64 end)
{
    if (start < 0 || end < start || !hasInterface(m_accessible, false))
        return std::nullopt;
    GError* error = nullptr;
    AtspiRequestCounter::note();
    gchar* text = atspi_text_get_text(ATSPI_TEXT(m_accessible), gint(start), gint(end), &error);
    if (!succeeded(error) || !text)
        return std::nullopt;
    QString result = QString::fromUtf8(text, qsizetype(std::strlen(text)));
    g_free(text);
    return result;
}

std::optional<qint64> AtspiEditableTextField::caret()
{
    if (!hasInterface(m_accessible, false))
        return std::nullopt;
    GError* error = nullptr;
    AtspiRequestCounter::note();
    const gint caret = atspi_text_get_caret_offset(ATSPI_TEXT(m_accessible), &error);
    if (!succeeded(error) || caret < 0)
        return std::nullopt;
    return caret;
}

std::optional<qint64> AtspiEditableTextField::characterCount()
{
    if (!hasInterface(m_accessible, false))
        return std::nullopt;
    GError* error = nullptr;
    AtspiRequestCounter::note();
    const gint count = atspi_text_get_character_count(ATSPI_TEXT(m_accessible), &error);
    if (!succeeded(error) || count < 0)
        return std::nullopt;
    return count;
}

bool AtspiEditableTextField::setCaret(qint64 offset)
{
    if (offset < 0 || !hasInterface(m_accessible, false))
        return false;
    const ChangeTimeout timeout;
    GError* error = nullptr;
    AtspiRequestCounter::note();
    const bool done = atspi_text_set_caret_offset(ATSPI_TEXT(m_accessible), gint(offset), &error);
    return succeeded(error) && done;
}

bool AtspiEditableTextField::deleteText(qint64 start, qint64 end)
{
    if (start < 0 || end < start || !hasInterface(m_accessible, true))
        return false;
    const ChangeTimeout timeout;
    GError* error = nullptr;
    AtspiRequestCounter::note();
    const bool done
        = atspi_editable_text_delete_text(ATSPI_EDITABLE_TEXT(m_accessible), gint(start), gint(end), &error);
    return succeeded(error) && done;
}

bool AtspiEditableTextField::insertText(qint64 offset, const QString& text)
{
    if (offset < 0 || !hasInterface(m_accessible, true))
        return false;
    const std::optional<AtspiToolkit> toolkit = atspiToolkit(m_accessible);
    if (!toolkit)
        return false;
    const QByteArray bytes = text.toUtf8();
    const ChangeTimeout timeout;
    GError* error = nullptr;
    AtspiRequestCounter::note();
    const bool done = atspi_editable_text_insert_text(ATSPI_EDITABLE_TEXT(m_accessible), gint(offset),
        bytes.constData(), insertionLength(*toolkit, text, bytes), &error);
    return succeeded(error) && done;
}

EditableTextField::Replaced AtspiEditableTextField::replaceText(
    qint64 start, qint64 end, const QString& text, bool caretToTheEnd)
{
    const std::optional<AtspiToolkit> toolkit = atspiToolkit(m_accessible);
    if (!toolkit || start < 0 || end < start || !hasInterface(m_accessible, true))
        return EditableTextField::replaceText(start, end, text, caretToTheEnd);
    // GTK takes -1 for the end of the text as it stands when the request is made; other toolkits
    // are not known to, and their caret is left where the insertion put it.
    const bool caretAsked = caretToTheEnd && toolkit->isGtk();
    const QByteArray bytes = text.toUtf8();
    const char* chars = bytes.constData();
    const dbus_int32_t from = dbus_int32_t(start);
    const dbus_int32_t to = dbus_int32_t(end);
    const dbus_int32_t length = insertionLength(*toolkit, text, bytes);
    const dbus_int32_t theEnd = -1;
    QList<DBusMessage*> calls{methodCall(m_accessible, "org.a11y.atspi.EditableText", "DeleteText"),
        methodCall(m_accessible, "org.a11y.atspi.EditableText", "InsertText")};
    if (caretAsked)
        calls.append(methodCall(m_accessible, "org.a11y.atspi.Text", "SetCaretOffset"));
    const bool built = !calls.contains(nullptr)
        && dbus_message_append_args(calls.at(0), DBUS_TYPE_INT32, &from, DBUS_TYPE_INT32, &to, DBUS_TYPE_INVALID)
        && dbus_message_append_args(
            calls.at(1), DBUS_TYPE_INT32, &from, DBUS_TYPE_STRING, &chars, DBUS_TYPE_INT32, &length, DBUS_TYPE_INVALID)
        && (!caretAsked || dbus_message_append_args(calls.at(2), DBUS_TYPE_INT32, &theEnd, DBUS_TYPE_INVALID));
    if (!built) {
        for (DBusMessage* call : calls) {
            if (call)
                dbus_message_unref(call);
        }
        return EditableTextField::replaceText(start, end, text, caretToTheEnd);
    }
    const int yes = answeredTrueInARow(m_accessible, calls, int(std::lround(changeTimeout * 1000)));
    if (yes < 2)
        return yes == 0 ? Replaced::nothing : Replaced::deleted;
    return yes == 3 ? Replaced::caretAtTheEnd : Replaced::inserted;
}

bool AtspiEditableTextField::caretStaysWithTypedKeys()
{
    const std::optional<AtspiToolkit> toolkit = atspiToolkit(m_accessible);
    return toolkit && toolkit->isQt();
}

bool AtspiEditableTextField::sendsCaretToTheEnd()
{
    // A Qt line edit's accessible deletion and insertion set its text anew, which puts the caret
    // at the end: a key typed into the middle of the text before the caret is set back lands
    // there.
    const std::optional<AtspiToolkit> toolkit = atspiToolkit(m_accessible);
    if (!toolkit || !toolkit->isQt())
        return false;
    const std::optional<State> current = state();
    return current && current->kind == FieldKind::singleLine;
}

bool AtspiEditableTextField::leavesCaretInFrontOfInsertion()
{
    // GTK 4's entries move their caret only for text inserted before it; its text views, like
    // GTK 3's fields and Qt's, put it behind an insertion at it.
    const std::optional<AtspiToolkit> toolkit = atspiToolkit(m_accessible);
    if (!toolkit || !toolkit->isGtk() || toolkit->version.majorVersion() < 4)
        return false;
    const std::optional<State> current = state();
    return current && current->kind == FieldKind::singleLine;
}
