// velmora-atspi-walk PID: the accessibility tree of the application of process PID, depth
// first, one element a line of tab-separated fields:
//   depth, role, name, description, states (comma-separated), number of actions
// Tabs and line breaks in names and descriptions are written as spaces. Exit status 1 when no
// application of that process is on the bus, 2 on a usage error.
//
// velmora-atspi-walk --events PID: what a screen reader hears of process PID, as it happens:
// "ready" once listening, then one line per event of that process, tab-separated:
//   event type, role, name, detail1
// for focus changes and objects that show or hide (how notifications are announced). Runs
// until it is stopped.
#include <atspi/atspi.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

constexpr int maximumDepth = 60;

std::string flattened(gchar* text)
{
    std::string result = text ? text : "";
    g_free(text);
    for (char& c : result) {
        if (c == '\t' || c == '\n' || c == '\r')
            c = ' ';
    }
    return result;
}

std::string statesOf(AtspiAccessible* element)
{
    std::string result;
    AtspiStateSet* set = atspi_accessible_get_state_set(element);
    if (!set)
        return result;
    GArray* states = atspi_state_set_get_states(set);
    for (guint i = 0; states && i < states->len; ++i) {
        const auto state = g_array_index(states, AtspiStateType, i);
        GEnumClass* kinds = static_cast<GEnumClass*>(g_type_class_ref(ATSPI_TYPE_STATE_TYPE));
        const GEnumValue* value = g_enum_get_value(kinds, state);
        if (!result.empty())
            result += ',';
        result += value ? value->value_nick : "?";
        g_type_class_unref(kinds);
    }
    if (states)
        g_array_free(states, TRUE);
    g_object_unref(set);
    return result;
}

int actionCount(AtspiAccessible* element)
{
    AtspiAction* action = atspi_accessible_get_action_iface(element);
    if (!action)
        return 0;
    const int count = atspi_action_get_n_actions(action, nullptr);
    g_object_unref(action);
    return count;
}

void walk(AtspiAccessible* element, int depth)
{
    GError* error = nullptr;
    gchar* role = atspi_accessible_get_role_name(element, &error);
    if (error) {
        g_clear_error(&error);
        return;
    }
    const std::string name = flattened(atspi_accessible_get_name(element, nullptr));
    const std::string description = flattened(atspi_accessible_get_description(element, nullptr));
    std::printf("%d\t%s\t%s\t%s\t%s\t%d\n", depth, role ? role : "", name.c_str(), description.c_str(),
        statesOf(element).c_str(), actionCount(element));
    g_free(role);
    if (depth >= maximumDepth)
        return;
    const int count = atspi_accessible_get_child_count(element, nullptr);
    for (int i = 0; i < count; ++i) {
        if (AtspiAccessible* child = atspi_accessible_get_child_at_index(element, i, nullptr)) {
            walk(child, depth + 1);
            g_object_unref(child);
        }
    }
}

guint listenedProcess = 0;

void report(AtspiEvent* event, void*)
{
    if (!event->source || atspi_accessible_get_process_id(event->source, nullptr) != listenedProcess) {
        g_boxed_free(ATSPI_TYPE_EVENT, event);
        return;
    }
    gchar* role = atspi_accessible_get_role_name(event->source, nullptr);
    const std::string name = flattened(atspi_accessible_get_name(event->source, nullptr));
    std::printf("%s\t%s\t%s\t%d\n", event->type, role ? role : "", name.c_str(), event->detail1);
    std::fflush(stdout);
    g_free(role);
    g_boxed_free(ATSPI_TYPE_EVENT, event);
}

// The application of `process` on the bus, or null.
AtspiAccessible* applicationOf(guint process)
{
    AtspiAccessible* desktop = atspi_get_desktop(0);
    const int count = desktop ? atspi_accessible_get_child_count(desktop, nullptr) : 0;
    AtspiAccessible* found = nullptr;
    for (int i = 0; i < count && !found; ++i) {
        AtspiAccessible* application = atspi_accessible_get_child_at_index(desktop, i, nullptr);
        if (application && atspi_accessible_get_process_id(application, nullptr) == process)
            found = application;
        else if (application)
            g_object_unref(application);
    }
    if (desktop)
        g_object_unref(desktop);
    return found;
}

int listen(guint process)
{
    listenedProcess = process;
    AtspiEventListener* listener = atspi_event_listener_new(report, nullptr, nullptr);
    for (const char* type : {"object:state-changed:showing", "object:state-changed:focused", "focus:"}) {
        if (!atspi_event_listener_register(listener, type, nullptr))
            return 1;
    }
    AtspiAccessible* application = applicationOf(process);
    if (!application)
        return 1;
    // The application hears of the new listener before it answers this: from now on it
    // sends the events.
    atspi_accessible_set_cache_mask(application, ATSPI_CACHE_NONE);
    atspi_accessible_get_child_count(application, nullptr);
    g_object_unref(application);
    std::printf("ready\n");
    std::fflush(stdout);
    atspi_event_main();
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    const bool events = argc == 3 && std::string(argv[1]) == "--events";
    if (argc != 2 && !events) {
        std::fprintf(stderr, "usage: %s [--events] PID\n", argv[0]);
        return 2;
    }
    const long process = std::strtol(argv[argc - 1], nullptr, 10);
    if (atspi_init() > 1)
        return 1;
    atspi_set_timeout(3000, 3000);
    if (events)
        return listen(guint(process));
    AtspiAccessible* application = applicationOf(guint(process));
    if (!application)
        return 1;
    atspi_accessible_set_cache_mask(application, ATSPI_CACHE_NONE);
    atspi_accessible_clear_cache(application);
    walk(application, 0);
    g_object_unref(application);
    std::fflush(stdout);
    return 0;
}
