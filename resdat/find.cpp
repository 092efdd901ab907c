// Looking records up by name. Names compare ignoring case; the first record in
// list order wins.
#include "resdat/internal.h"
#include "resdat/resdat.h"

Tag_Monitor_Entry *FindMonitorEntry(const char *monitor_id_string, Tag_Monitor_Entry *entry_list) {
    if (monitor_id_string == nullptr)
        return nullptr;
    for (Tag_Monitor_Entry *entry = entry_list; entry != nullptr; entry = entry->next)
        if (SameName(entry->monitor_id_string, monitor_id_string))
            return entry;
    return nullptr;
}

Tag_Resolution_Entry *FindResolutionEntry(const char *res_id_string,
                                          Tag_Resolution_Entry *res_list) {
    if (res_id_string == nullptr)
        return nullptr;
    for (Tag_Resolution_Entry *entry = res_list; entry != nullptr; entry = entry->next)
        if (SameName(entry->res_id_string, res_id_string))
            return entry;
    return nullptr;
}

Tag_Timing_Info *FindTimingInfo(const char *res_id_string, Tag_Timing_Info *timing_list) {
    if (res_id_string == nullptr)
        return nullptr;
    for (Tag_Timing_Info *info = timing_list; info != nullptr; info = info->next)
        if (SameName(info->res_id_string, res_id_string))
            return info;
    return nullptr;
}
