// Marking the monitor and resolution that the INI writer is to write.
#include "resdat/internal.h"
#include "resdat/resdat.h"

BOOLEAN MarkMon(const char *monitor_id_string) {
    Tag_Monitor_Entry *monitor = FindMonitorEntry(monitor_id_string, GetMonitorEntryHead());
    if (monitor == nullptr) {
        res_dat_err_flag = RES_DAT_ERR_NOT_FOUND;
        return FALSE;
    }
    monitor->marked = 1;
    return TRUE;
}

BOOLEAN MarkRes(const char *monitor_id_string, const char *res_id_string) {
    Tag_Monitor_Entry *monitor = FindMonitorEntry(monitor_id_string, GetMonitorEntryHead());
    Tag_Resolution_Entry *entry =
        monitor != nullptr ? FindResolutionEntry(res_id_string, monitor->res_list) : nullptr;
    if (entry == nullptr) {
        res_dat_err_flag = RES_DAT_ERR_NOT_FOUND;
        return FALSE;
    }
    entry->marked = 1;
    return TRUE;
}

void ClearFFMarks(void) {
    for (Tag_Monitor_Entry *monitor = GetMonitorEntryHead(); monitor != nullptr;
         monitor = monitor->next) {
        monitor->marked = 0;
        for (Tag_Resolution_Entry *entry = monitor->res_list; entry != nullptr; entry = entry->next)
            entry->marked = 0;
    }
}

Tag_Monitor_Entry *GetMarkedMonEntry(void) {
    for (Tag_Monitor_Entry *monitor = GetMonitorEntryHead(); monitor != nullptr;
         monitor = monitor->next)
        if (monitor->marked)
            return monitor;
    return nullptr;
}
