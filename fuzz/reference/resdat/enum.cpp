// Cursor walks over the monitors, one monitor's resolutions and one monitor's
// timing blocks. Each walk has one cursor; restarting it discards the last walk.
#include "resdat/internal.h"
#include "resdat/resdat.h"

static Tag_Monitor_Entry *enum_monitor_ptr = nullptr;
static Tag_Resolution_Entry *enum_resolution_ptr = nullptr;
static Tag_Resolution_Entry *enum_timing_ptr = nullptr;

void ResetEnumCursors(void) {
    enum_monitor_ptr = nullptr;
    enum_resolution_ptr = nullptr;
    enum_timing_ptr = nullptr;
}

// The resolution list of the named monitor; null (an empty walk) when the
// database holds no monitor of that name.
static Tag_Resolution_Entry *ResListOf(const char *monitor_id_string) {
    Tag_Monitor_Entry *monitor = FindMonitorEntry(monitor_id_string, GetMonitorEntryHead());
    return monitor != nullptr ? monitor->res_list : nullptr;
}

char *EnumMonitorNames(BOOLEAN first_time) {
    if (first_time)
        enum_monitor_ptr = GetMonitorEntryHead();
    if (enum_monitor_ptr == nullptr)
        return nullptr;
    char *name = enum_monitor_ptr->monitor_id_string;
    enum_monitor_ptr = enum_monitor_ptr->next;
    return name;
}

char *EnumResNames(const char *monitor_id_string) {
    if (monitor_id_string != nullptr)
        enum_resolution_ptr = ResListOf(monitor_id_string);
    if (enum_resolution_ptr == nullptr)
        return nullptr;
    char *res_id = enum_resolution_ptr->res_id_string;
    enum_resolution_ptr = enum_resolution_ptr->next;
    return res_id;
}

char *EnumTimingBlocks(const char *monitor_id_string, char **resolution_id_string) {
    if (monitor_id_string != nullptr)
        enum_timing_ptr = ResListOf(monitor_id_string);
    // An entry is always linked after a successful load; an unlinked one (a
    // list built by hand) ends the walk rather than hand out nothing.
    if (enum_timing_ptr == nullptr || enum_timing_ptr->timing_info == nullptr)
        return nullptr;
    Tag_Timing_Info *info = enum_timing_ptr->timing_info;
    if (resolution_id_string != nullptr)
        *resolution_id_string = info->res_id_string;
    enum_timing_ptr = enum_timing_ptr->next;
    return info->info_block;
}
