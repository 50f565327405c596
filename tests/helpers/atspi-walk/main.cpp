// velmora-atspi-walk PID: the accessibility tree of the application of process PID, depth
// first, one element a line of tab-separated fields:
//   depth, role, name, description, states (comma-separated), number of actions
// Tabs and line breaks in names and descriptions are written as spaces. Exit status 1 when no
// application of that process is on the bus, 2 on a usage error.
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

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s PID\n", argv[0]);
        return 2;
    }
    const long process = std::strtol(argv[1], nullptr, 10);
    if (atspi_init() > 1)
        return 1;
    atspi_set_timeout(3000, 3000);
    AtspiAccessible* desktop = atspi_get_desktop(0);
    const int count = desktop ? atspi_accessible_get_child_count(desktop, nullptr) : 0;
    bool found = false;
    for (int i = 0; i < count && !found; ++i) {
        AtspiAccessible* application = atspi_accessible_get_child_at_index(desktop, i, nullptr);
        if (!application)
            continue;
        if (atspi_accessible_get_process_id(application, nullptr) == guint(process)) {
            atspi_accessible_set_cache_mask(application, ATSPI_CACHE_NONE);
            atspi_accessible_clear_cache(application);
            walk(application, 0);
            found = true;
        }
        g_object_unref(application);
    }
    if (desktop)
        g_object_unref(desktop);
    std::fflush(stdout);
    return found ? 0 : 1;
}
