// Adding records to the lists, deriving the short forms of resolution ids, and
// linking resolution entries to their timing records.
#include <stdlib.h>
#include <string.h>

#include "resdat/internal.h"
#include "resdat/resdat.h"

int32_t res_dat_err_flag = 0;

bool TextEqualNoCase(const char *a, const char *b) {
    for (;; ++a, ++b) {
        if (FoldAscii(*a) != FoldAscii(*b))
            return false;
        if (*a == '\0')
            return true;
    }
}

bool PrefixEqualNoCase(const char *text, const char *prefix, size_t n) {
    for (size_t i = 0; i < n; ++i) {
        if (FoldAscii(text[i]) != FoldAscii(prefix[i]))
            return false;
        if (text[i] == '\0')
            return true;
    }
    return true;
}

char *CopyTextN(const char *text, size_t length) {
    char *copy = static_cast<char *>(malloc(length + 1));
    if (copy == nullptr)
        return nullptr;
    memcpy(copy, text, length);
    copy[length] = '\0';
    return copy;
}

char *CopyText(const char *text) {
    return CopyTextN(text, strlen(text));
}

// A full-form id needs a ":" and, after it, a lower-case "x" for the short
// forms to be derived from it.
static bool IsFullFormId(const char *id) {
    const char *colon = strchr(id, ':');
    return colon != nullptr && strrchr(colon, 'x') != nullptr;
}

static char *CopyOrFail(const char *text, size_t length) {
    char *copy = CopyTextN(text, length);
    if (copy == nullptr)
        res_dat_err_flag = 1;
    return copy;
}

char *GetRefreshFromResIDString(const char *res_id_string) {
    const char *last_x = strrchr(res_id_string, 'x');
    const char *start = last_x != nullptr ? last_x + 1 : res_id_string;
    return CopyOrFail(start, strlen(start));
}

char *StripRes(const char *res_id_string) {
    const char *colon = strchr(res_id_string, ':');
    const char *start = colon != nullptr ? colon + 1 : res_id_string;
    return CopyOrFail(start, strlen(start));
}

char *StripTiming(const char *res_id_string) {
    const char *colon = strchr(res_id_string, ':');
    const char *last_x = colon != nullptr ? strrchr(colon, 'x') : nullptr;
    if (last_x == nullptr)
        return CopyOrFail(res_id_string, strlen(res_id_string));
    return CopyOrFail(colon + 1, static_cast<size_t>(last_x - (colon + 1)));
}

Tag_Monitor_Entry *AddMonitorEntry(const char *monitor_id_string, Tag_Monitor_Entry **list_ptr) {
    if (monitor_id_string == nullptr || list_ptr == nullptr ||
        FindMonitorEntry(monitor_id_string, *list_ptr) != nullptr) {
        res_dat_err_flag = 2;
        return nullptr;
    }
    Tag_Monitor_Entry *entry = static_cast<Tag_Monitor_Entry *>(malloc(sizeof *entry));
    if (entry == nullptr) {
        res_dat_err_flag = 1;
        return nullptr;
    }
    entry->monitor_id_string = CopyText(monitor_id_string);
    if (entry->monitor_id_string == nullptr) {
        free(entry);
        res_dat_err_flag = 1;
        return nullptr;
    }
    entry->marked = 0;
    entry->res_list = nullptr;
    entry->next = nullptr;

    Tag_Monitor_Entry **link = list_ptr;
    while (*link != nullptr)
        link = &(*link)->next;
    *link = entry;
    return entry;
}

Tag_Resolution_Entry *AddResolutionEntry(const char *monitor_id_string, const char *res_id_string,
                                         Tag_Monitor_Entry *monitor_list) {
    Tag_Monitor_Entry *monitor =
        monitor_id_string != nullptr ? FindMonitorEntry(monitor_id_string, monitor_list) : nullptr;
    if (monitor == nullptr || res_id_string == nullptr || !IsFullFormId(res_id_string) ||
        FindResolutionEntry(res_id_string, monitor->res_list) != nullptr) {
        res_dat_err_flag = 2;
        return nullptr;
    }
    Tag_Resolution_Entry *entry = static_cast<Tag_Resolution_Entry *>(malloc(sizeof *entry));
    if (entry == nullptr) {
        res_dat_err_flag = 1;
        return nullptr;
    }
    entry->res_id_string = CopyText(res_id_string);
    if (entry->res_id_string == nullptr) {
        free(entry);
        res_dat_err_flag = 1;
        return nullptr;
    }
    entry->marked = 0;
    entry->timing_info = nullptr;
    entry->next = nullptr;

    Tag_Resolution_Entry **link = &monitor->res_list;
    while (*link != nullptr)
        link = &(*link)->next;
    *link = entry;
    return entry;
}

Tag_Timing_Info *AddTimingInfo(const char *res_id_string, const char *info_block,
                               int16_t block_size, Tag_Timing_Info **list_ptr) {
    if (res_id_string == nullptr || info_block == nullptr || list_ptr == nullptr ||
        block_size < 1 || !IsFullFormId(res_id_string) ||
        FindTimingInfo(res_id_string, *list_ptr) != nullptr) {
        res_dat_err_flag = 2;
        return nullptr;
    }
    Tag_Timing_Info *info = static_cast<Tag_Timing_Info *>(malloc(sizeof *info));
    if (info == nullptr) {
        res_dat_err_flag = 1;
        return nullptr;
    }
    info->res_id_string = CopyText(res_id_string);
    if (info->res_id_string == nullptr) {
        free(info);
        res_dat_err_flag = 1;
        return nullptr;
    }
    info->refresh_string = GetRefreshFromResIDString(info->res_id_string);
    if (info->refresh_string == nullptr) {
        free(info->res_id_string);
        free(info);
        res_dat_err_flag = 1;
        return nullptr;
    }
    size_t size = static_cast<size_t>(block_size);
    info->info_block = static_cast<char *>(malloc(size));
    if (info->info_block == nullptr) {
        free(info->refresh_string);
        free(info->res_id_string);
        free(info);
        res_dat_err_flag = 1;
        return nullptr;
    }
    memcpy(info->info_block, info_block, size);
    info->info_block[size - 1] = '\0';
    info->next = nullptr;

    if (*list_ptr == nullptr) {
        info->index = 0;
        *list_ptr = info;
    } else {
        Tag_Timing_Info *tail = *list_ptr;
        while (tail->next != nullptr)
            tail = tail->next;
        info->index = tail->index + 1;
        tail->next = info;
    }
    return info;
}

BOOLEAN LinkResEntryToTimingInfo(void) {
    for (Tag_Monitor_Entry *monitor = GetMonitorEntryHead(); monitor != nullptr;
         monitor = monitor->next) {
        for (Tag_Resolution_Entry *entry = monitor->res_list; entry != nullptr;
             entry = entry->next) {
            if (entry->timing_info != nullptr)
                continue; // linked by an earlier load
            Tag_Timing_Info *info = FindTimingInfo(entry->res_id_string, GetTimingInfoHead());
            if (info == nullptr) {
                res_dat_err_flag = 2;
                return FALSE;
            }
            char *short_id = StripRes(entry->res_id_string);
            if (short_id == nullptr)
                return FALSE;
            entry->timing_info = info;
            free(entry->res_id_string);
            entry->res_id_string = short_id;
        }
    }
    return TRUE;
}

BOOLEAN ReformatTimingInfoResIDStrings(void) {
    for (Tag_Timing_Info *info = GetTimingInfoHead(); info != nullptr; info = info->next) {
        char *short_id = StripTiming(info->res_id_string);
        if (short_id == nullptr)
            return FALSE;
        free(info->res_id_string);
        info->res_id_string = short_id;
    }
    return TRUE;
}
