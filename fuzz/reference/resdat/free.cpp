// Releasing lists. A null text field is skipped; the caller's head is left as
// it was.
#include <stdlib.h>

#include "resdat/resdat.h"

void FreeResolutionEntryList(Tag_Resolution_Entry *res_list) {
    while (res_list != nullptr) {
        Tag_Resolution_Entry *next = res_list->next;
        free(res_list->res_id_string); // the timing record is borrowed
        free(res_list);
        res_list = next;
    }
}

void FreeMonitorEntryList(Tag_Monitor_Entry *entry_list) {
    while (entry_list != nullptr) {
        Tag_Monitor_Entry *next = entry_list->next;
        free(entry_list->monitor_id_string);
        FreeResolutionEntryList(entry_list->res_list);
        free(entry_list);
        entry_list = next;
    }
}

void FreeTimingInfoList(Tag_Timing_Info *timing_list) {
    while (timing_list != nullptr) {
        Tag_Timing_Info *next = timing_list->next;
        free(timing_list->res_id_string);
        free(timing_list->refresh_string);
        free(timing_list->info_block);
        free(timing_list);
        timing_list = next;
    }
}
