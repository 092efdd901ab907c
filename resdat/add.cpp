// Adding records to the lists, deriving the short forms of resolution ids, and
// linking resolution entries to their timing records.
#include <stdlib.h>
#include <string.h>

#include "resdat/internal.h"
#include "resdat/resdat.h"

int32_t res_dat_err_flag = 0;

bool TextEqualNoCase(const char *a, const char *b) {
    if (strcmp(a, b) == 0) // the usual case, and a fast one
        return true;
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

bool IsFullFormId(const char *id) {
    const char *colon = strchr(id, ':');
    return colon != nullptr && strrchr(colon, 'x') != nullptr;
}

// Where the short forms lie within an id.
struct Span {
    const char *start;
    size_t length;
};

static Span WholeSpan(const char *text) {
    return Span{text, strlen(text)};
}

static Span RefreshSpan(const char *res_id_string) {
    const char *last_x = strrchr(res_id_string, 'x');
    return last_x != nullptr ? WholeSpan(last_x + 1) : WholeSpan(res_id_string);
}

static Span StripResSpan(const char *res_id_string) {
    const char *colon = strchr(res_id_string, ':');
    return colon != nullptr ? WholeSpan(colon + 1) : WholeSpan(res_id_string);
}

static Span StripTimingSpan(const char *res_id_string) {
    const char *colon = strchr(res_id_string, ':');
    const char *last_x = colon != nullptr ? strrchr(colon, 'x') : nullptr;
    if (last_x == nullptr)
        return WholeSpan(res_id_string);
    return Span{colon + 1, static_cast<size_t>(last_x - (colon + 1))};
}

static char *CopySpan(Span span) {
    char *copy = CopyTextN(span.start, span.length);
    if (copy == nullptr)
        res_dat_err_flag = 1;
    return copy;
}

// Replace a text by its short form within the same allocation: the short form
// is never longer, so the change can neither fail nor allocate.
static void ShortenInPlace(char *text, Span (*form)(const char *)) {
    Span span = form(text);
    memmove(text, span.start, span.length);
    text[span.length] = '\0';
}

char *GetRefreshFromResIDString(const char *res_id_string) {
    return CopySpan(RefreshSpan(res_id_string));
}

char *StripRes(const char *res_id_string) {
    return CopySpan(StripResSpan(res_id_string));
}

char *StripTiming(const char *res_id_string) {
    return CopySpan(StripTimingSpan(res_id_string));
}

Tag_Monitor_Entry *NewMonitorEntry(const char *monitor_id_string) {
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
    return entry;
}

Tag_Monitor_Entry *AddMonitorEntry(const char *monitor_id_string, Tag_Monitor_Entry **list_ptr) {
    if (monitor_id_string == nullptr || list_ptr == nullptr ||
        FindMonitorEntry(monitor_id_string, *list_ptr) != nullptr) {
        res_dat_err_flag = 2;
        return nullptr;
    }
    Tag_Monitor_Entry *entry = NewMonitorEntry(monitor_id_string);
    if (entry == nullptr)
        return nullptr;
    Tag_Monitor_Entry **link = list_ptr;
    while (*link != nullptr)
        link = &(*link)->next;
    *link = entry;
    return entry;
}

Tag_Resolution_Entry *NewResolutionEntry(const char *res_id_string) {
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
    Tag_Resolution_Entry *entry = NewResolutionEntry(res_id_string);
    if (entry == nullptr)
        return nullptr;
    Tag_Resolution_Entry **link = &monitor->res_list;
    while (*link != nullptr)
        link = &(*link)->next;
    *link = entry;
    return entry;
}

Tag_Timing_Info *NewTimingInfo(const char *res_id_string, const char *info_block,
                               int16_t block_size) {
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
    info->index = 0;
    info->next = nullptr;
    return info;
}

Tag_Timing_Info *AddTimingInfo(const char *res_id_string, const char *info_block,
                               int16_t block_size, Tag_Timing_Info **list_ptr) {
    if (res_id_string == nullptr || info_block == nullptr || list_ptr == nullptr ||
        block_size < 1 || !IsFullFormId(res_id_string) ||
        FindTimingInfo(res_id_string, *list_ptr) != nullptr) {
        res_dat_err_flag = 2;
        return nullptr;
    }
    Tag_Timing_Info *info = NewTimingInfo(res_id_string, info_block, block_size);
    if (info == nullptr)
        return nullptr;
    if (*list_ptr == nullptr) {
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

// The timing records by full-form id, the first in list order for each name,
// so that linking takes one look-up per entry. False when memory runs out.
static bool IndexTimingList(NameIndex *index) {
    for (Tag_Timing_Info *info = GetTimingInfoHead(); info != nullptr; info = info->next) {
        uint32_t hash = NameHash(info->res_id_string);
        if (FindInNameIndex(index, info->res_id_string, hash) == nullptr &&
            !AddToNameIndex(index, info->res_id_string, hash, info)) {
            FreeNameIndex(index);
            return false;
        }
    }
    return true;
}

// Link a batch of entries in list order; false (code 2) at the first entry
// whose id no timing record has.
static bool LinkBatch(const NameIndex *timings, Tag_Resolution_Entry *const batch[],
                      const uint32_t hashes[], int n) {
    const char *names[64];
    void *records[64];
    for (int i = 0; i < n; ++i)
        names[i] = batch[i]->res_id_string;
    FindManyInNameIndex(timings, names, hashes, records, n);
    for (int i = 0; i < n; ++i) {
        if (records[i] == nullptr) {
            res_dat_err_flag = 2;
            return false;
        }
        batch[i]->timing_info = static_cast<Tag_Timing_Info *>(records[i]);
        ShortenInPlace(batch[i]->res_id_string, StripResSpan);
    }
    return true;
}

BOOLEAN LinkResEntries(const NameIndex *timings) {
    enum { kBatch = 32 };
    Tag_Resolution_Entry *batch[kBatch];
    uint32_t hashes[kBatch];
    int n = 0;
    for (Tag_Monitor_Entry *monitor = GetMonitorEntryHead(); monitor != nullptr;
         monitor = monitor->next) {
        for (Tag_Resolution_Entry *entry = monitor->res_list; entry != nullptr;
             entry = entry->next) {
            if (entry->timing_info != nullptr)
                continue; // linked by an earlier load
            hashes[n] = NameHash(entry->res_id_string);
            batch[n++] = entry;
            if (n == kBatch) {
                if (!LinkBatch(timings, batch, hashes, n))
                    return FALSE;
                n = 0;
            }
        }
    }
    return LinkBatch(timings, batch, hashes, n) ? TRUE : FALSE;
}

BOOLEAN LinkResEntryToTimingInfo(void) {
    NameIndex index = EmptyNameIndex();
    if (!IndexTimingList(&index)) {
        res_dat_err_flag = 1;
        return FALSE;
    }
    BOOLEAN result = LinkResEntries(&index);
    FreeNameIndex(&index);
    return result;
}

BOOLEAN ReformatTimingInfoResIDStrings(void) {
    for (Tag_Timing_Info *info = GetTimingInfoHead(); info != nullptr; info = info->next)
        ShortenInPlace(info->res_id_string, StripTimingSpan);
    return TRUE;
}
