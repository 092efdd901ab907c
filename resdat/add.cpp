// Adding records to the lists, deriving the short forms of resolution ids, and
// linking resolution entries to their timing records.
//
// Each rule of adding (a duplicate name, a malformed id, a block size below 1,
// an allocation that fails) is written once, in the Add...To functions, which
// the public Add operations and the data file reader share.
#include <stdlib.h>
#include <string.h>

#include "resdat/internal.h"
#include "resdat/resdat.h"

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

// ---------------------------------------------------------------------------
// The forms of an id
// ---------------------------------------------------------------------------

// A full-form id ("T3:640x480x60") holds a ":" and, after it, a lower-case
// "x", from which the short forms are derived.
static bool IsFullFormId(const char *id) {
    const char *colon = strchr(id, ':');
    return colon != nullptr && strrchr(colon, 'x') != nullptr;
}

// Where a short form lies within an id.
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
        res_dat_err_flag = RES_DAT_ERR_OUT_OF_MEMORY;
    return copy;
}

// Replace a text by a copy of its short form and release the old one; false
// (code 1, the text as it was) when the copy cannot be made.
static bool ReplaceByForm(char **text, Span (*form)(const char *)) {
    char *copy = CopySpan(form(*text));
    if (copy == nullptr)
        return false;
    free(*text);
    *text = copy;
    return true;
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

// ---------------------------------------------------------------------------
// Adding
// ---------------------------------------------------------------------------

// A refused add: the code, and why for the reader. Arguments that are not
// there are refused as content (nothing to report a finding for).
template <typename Record>
static Record *Refuse(ResDatFinding *finding, ResDatFinding why, int32_t code) {
    *finding = why;
    res_dat_err_flag = code;
    return nullptr;
}

// The record of that name in the list, through the index when there is one
// (hash is the name's NameHash then).
template <typename Record>
static Record *FindIn(const char *name, Record *list, const NameIndex *index, uint32_t hash,
                      Record *(*find)(const char *, Record *)) {
    if (index != nullptr)
        return static_cast<Record *>(FindInNameIndex(index, name, hash));
    return find(name, list);
}

static uint32_t HashFor(const NameIndex *index, const char *name) {
    return index != nullptr ? NameHash(name) : 0;
}

// The list's last record, or null.
template <typename Record> static Record *TailOf(Record *list, const NameIndex *index) {
    if (index != nullptr)
        return static_cast<Record *>(index->tail);
    while (list != nullptr && list->next != nullptr)
        list = list->next;
    return list;
}

// Enter a new record in the index (when there is one) and behind the tail;
// false, with the record released and nothing changed, when the index cannot
// grow.
template <typename Record>
static bool Append(Record *record, const char *name, uint32_t hash, Record **list_ptr, Record *tail,
                   NameIndex *index, void (*release)(Record *)) {
    if (index != nullptr) {
        if (!AddToNameIndex(index, name, hash, record)) {
            release(record);
            return false;
        }
        index->tail = record;
    }
    *(tail != nullptr ? &tail->next : list_ptr) = record;
    return true;
}

Tag_Monitor_Entry *AddMonitorTo(const char *monitor_id_string, Tag_Monitor_Entry **list_ptr,
                                NameIndex *index, ResDatFinding *finding) {
    using Record = Tag_Monitor_Entry;
    if (monitor_id_string == nullptr || list_ptr == nullptr)
        return Refuse<Record>(finding, RES_DAT_FOUND_NOTHING, RES_DAT_ERR_CONTENT);
    uint32_t hash = HashFor(index, monitor_id_string);
    if (FindIn(monitor_id_string, *list_ptr, index, hash, FindMonitorEntry) != nullptr)
        return Refuse<Record>(finding, RES_DAT_FOUND_DUPLICATE_MONITOR, RES_DAT_ERR_CONTENT);
    Record *entry = static_cast<Record *>(malloc(sizeof *entry));
    char *name = entry != nullptr ? CopyText(monitor_id_string) : nullptr;
    if (name == nullptr) {
        free(entry);
        return Refuse<Record>(finding, RES_DAT_FOUND_NO_MEMORY, RES_DAT_ERR_OUT_OF_MEMORY);
    }
    *entry = Record{name, 0, nullptr, nullptr};
    if (!Append(entry, name, hash, list_ptr, TailOf(*list_ptr, index), index, FreeMonitorEntryList))
        return Refuse<Record>(finding, RES_DAT_FOUND_NO_MEMORY, RES_DAT_ERR_OUT_OF_MEMORY);
    return entry;
}

Tag_Resolution_Entry *AddResolutionTo(Tag_Monitor_Entry *monitor, const char *res_id_string,
                                      NameIndex *index, ResDatFinding *finding) {
    using Record = Tag_Resolution_Entry;
    if (monitor == nullptr || res_id_string == nullptr)
        return Refuse<Record>(finding, RES_DAT_FOUND_NOTHING, RES_DAT_ERR_CONTENT);
    // An id that repeats an earlier one is a duplicate, even when it is
    // malformed as well.
    uint32_t hash = HashFor(index, res_id_string);
    if (FindIn(res_id_string, monitor->res_list, index, hash, FindResolutionEntry) != nullptr)
        return Refuse<Record>(finding, RES_DAT_FOUND_DUPLICATE_RESOLUTION, RES_DAT_ERR_CONTENT);
    if (!IsFullFormId(res_id_string))
        return Refuse<Record>(finding, RES_DAT_FOUND_MALFORMED_RESOLUTION, RES_DAT_ERR_CONTENT);
    Record *entry = static_cast<Record *>(malloc(sizeof *entry));
    char *id = entry != nullptr ? CopyText(res_id_string) : nullptr;
    if (id == nullptr) {
        free(entry);
        return Refuse<Record>(finding, RES_DAT_FOUND_NO_MEMORY, RES_DAT_ERR_OUT_OF_MEMORY);
    }
    *entry = Record{id, 0, nullptr, nullptr};
    if (!Append(entry, id, hash, &monitor->res_list, TailOf(monitor->res_list, index), index,
                FreeResolutionEntryList))
        return Refuse<Record>(finding, RES_DAT_FOUND_NO_MEMORY, RES_DAT_ERR_OUT_OF_MEMORY);
    return entry;
}

// A timing record holding copies of the texts, not yet in any list; null when
// memory runs out, with nothing left allocated.
static Tag_Timing_Info *NewTimingInfo(const char *res_id_string, const char *info_block,
                                      size_t size) {
    Tag_Timing_Info *info = static_cast<Tag_Timing_Info *>(malloc(sizeof *info));
    if (info == nullptr)
        return nullptr;
    *info = Tag_Timing_Info{CopyText(res_id_string), nullptr, 0, nullptr, nullptr};
    if (info->res_id_string != nullptr)
        info->refresh_string = GetRefreshFromResIDString(info->res_id_string);
    if (info->refresh_string != nullptr)
        info->info_block = static_cast<char *>(malloc(size));
    if (info->info_block == nullptr) {
        FreeTimingInfoList(info);
        return nullptr;
    }
    memcpy(info->info_block, info_block, size);
    info->info_block[size - 1] = '\0';
    return info;
}

Tag_Timing_Info *AddTimingTo(const char *res_id_string, const char *info_block, int16_t block_size,
                             Tag_Timing_Info **list_ptr, NameIndex *index, ResDatFinding *finding) {
    using Record = Tag_Timing_Info;
    if (res_id_string == nullptr || info_block == nullptr || list_ptr == nullptr || block_size < 1)
        return Refuse<Record>(finding, RES_DAT_FOUND_NOTHING, RES_DAT_ERR_CONTENT);
    // A repeated id is a duplicate, even when it is malformed as well.
    uint32_t hash = HashFor(index, res_id_string);
    if (FindIn(res_id_string, *list_ptr, index, hash, FindTimingInfo) != nullptr)
        return Refuse<Record>(finding, RES_DAT_FOUND_DUPLICATE_TIMING, RES_DAT_ERR_CONTENT);
    if (!IsFullFormId(res_id_string))
        return Refuse<Record>(finding, RES_DAT_FOUND_MALFORMED_TIMING, RES_DAT_ERR_CONTENT);
    Record *info = NewTimingInfo(res_id_string, info_block, static_cast<size_t>(block_size));
    if (info == nullptr)
        return Refuse<Record>(finding, RES_DAT_FOUND_NO_MEMORY, RES_DAT_ERR_OUT_OF_MEMORY);
    Record *tail = TailOf(*list_ptr, index);
    info->index = tail != nullptr ? tail->index + 1 : 0;
    if (!Append(info, info->res_id_string, hash, list_ptr, tail, index, FreeTimingInfoList))
        return Refuse<Record>(finding, RES_DAT_FOUND_NO_MEMORY, RES_DAT_ERR_OUT_OF_MEMORY);
    return info;
}

Tag_Monitor_Entry *AddMonitorEntry(const char *monitor_id_string, Tag_Monitor_Entry **list_ptr) {
    ResDatFinding finding;
    return AddMonitorTo(monitor_id_string, list_ptr, nullptr, &finding);
}

Tag_Resolution_Entry *AddResolutionEntry(const char *monitor_id_string, const char *res_id_string,
                                         Tag_Monitor_Entry *monitor_list) {
    ResDatFinding finding;
    return AddResolutionTo(FindMonitorEntry(monitor_id_string, monitor_list), res_id_string,
                           nullptr, &finding);
}

Tag_Timing_Info *AddTimingInfo(const char *res_id_string, const char *info_block,
                               int16_t block_size, Tag_Timing_Info **list_ptr) {
    ResDatFinding finding;
    return AddTimingTo(res_id_string, info_block, block_size, list_ptr, nullptr, &finding);
}

// ---------------------------------------------------------------------------
// Linking and reformatting
// ---------------------------------------------------------------------------

BOOLEAN LinkResEntries(const NameIndex *timings) {
    for (Tag_Monitor_Entry *monitor = GetMonitorEntryHead(); monitor != nullptr;
         monitor = monitor->next) {
        for (Tag_Resolution_Entry *entry = monitor->res_list; entry != nullptr;
             entry = entry->next) {
            if (entry->timing_info != nullptr)
                continue; // linked by an earlier load
            Tag_Timing_Info *info = static_cast<Tag_Timing_Info *>(
                FindInNameIndex(timings, entry->res_id_string, NameHash(entry->res_id_string)));
            if (info == nullptr) {
                res_dat_err_flag = RES_DAT_ERR_CONTENT;
                return FALSE;
            }
            // Linked and shortened together, so that an entry is either linked
            // in its short form or still as it was added.
            if (!ReplaceByForm(&entry->res_id_string, StripResSpan))
                return FALSE;
            entry->timing_info = info;
        }
    }
    return TRUE;
}

BOOLEAN LinkResEntryToTimingInfo(void) {
    // The timing records by full-form id, the first in list order for each
    // name, so that linking takes one look-up per entry.
    NameIndex timings = EmptyNameIndex();
    if (!IndexList(&timings, GetTimingInfoHead(), TimingId)) {
        FreeNameIndex(&timings);
        res_dat_err_flag = RES_DAT_ERR_OUT_OF_MEMORY;
        return FALSE;
    }
    BOOLEAN result = LinkResEntries(&timings);
    FreeNameIndex(&timings);
    return result;
}

BOOLEAN ReformatTimingInfoResIDStrings(void) {
    for (Tag_Timing_Info *info = GetTimingInfoHead(); info != nullptr; info = info->next)
        if (!ReplaceByForm(&info->res_id_string, StripTimingSpan))
            return FALSE;
    return TRUE;
}
