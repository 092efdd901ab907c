// Helpers shared by the database's modules; not part of the public interface.
#ifndef ORVEX_RESDAT_INTERNAL_H
#define ORVEX_RESDAT_INTERNAL_H

#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include <charconv>

#include "common/ascii.h"
#include "resdat/resdat.h"

// ---------------------------------------------------------------------------
// Texts (add.cpp)
// ---------------------------------------------------------------------------

// Two names equal as the database compares them: ignoring the case of ASCII
// letters. The exact comparison first is a speed device (names usually
// match exactly; docs/performance.md).
inline bool SameName(const char *a, const char *b) {
    return strcmp(a, b) == 0 || AsciiEqualIgnoringCase(a, b);
}

// A malloc'ed copy of length bytes of text plus a NUL, or null (no code set).
char *CopyTextN(const char *text, size_t length);
char *CopyText(const char *text);

// ---------------------------------------------------------------------------
// Name tables (name_index.cpp)
// ---------------------------------------------------------------------------

// A table of a list's records by name (compared ignoring case), and the list's
// tail, with which the Add operations refuse a duplicate and append in constant
// time. Names are borrowed from the records.
struct NameSlot {
    const char *name; // null: empty slot
    void *record;
    uint32_t hash;
};
struct NameIndex {
    NameSlot *slots;
    size_t mask; // capacity - 1; capacity is a power of two
    size_t count;
    void *tail; // the list's last record, null for an empty list
};

// An empty table; nothing allocated until the first insert.
inline NameIndex EmptyNameIndex() {
    return NameIndex{nullptr, 0, 0, nullptr};
}
void FreeNameIndex(NameIndex *index);
// A hash of a name that ignores the case of ASCII letters, as the comparisons do.
uint32_t NameHash(const char *name);
// The record of the name (whose NameHash is hash), or null.
void *FindInNameIndex(const NameIndex *index, const char *name, uint32_t hash);
// Adds a name that is not in the table; false (table unchanged) when memory
// runs out.
bool AddToNameIndex(NameIndex *index, const char *name, uint32_t hash, void *record);

// Enter every record of a list in the table (the first of each name), and
// make the last one its tail; false when memory runs out.
template <typename Record>
bool IndexList(NameIndex *index, Record *list, const char *(*name_of)(const Record *)) {
    for (Record *record = list; record != nullptr; record = record->next) {
        uint32_t hash = NameHash(name_of(record));
        if (FindInNameIndex(index, name_of(record), hash) == nullptr &&
            !AddToNameIndex(index, name_of(record), hash, record))
            return false;
        index->tail = record;
    }
    return true;
}
inline const char *MonitorName(const Tag_Monitor_Entry *monitor) {
    return monitor->monitor_id_string;
}
inline const char *TimingId(const Tag_Timing_Info *info) {
    return info->res_id_string;
}

// ---------------------------------------------------------------------------
// Adding records (add.cpp)
// ---------------------------------------------------------------------------

// The one implementation of the Add operations. Without an index the list is
// walked for a duplicate and for its tail. With one (holding every record of
// the list and its tail) both take constant time, and the new record is
// entered in it. On failure: null, res_dat_err_flag set, *finding says why,
// and the list and the index are as they were.
Tag_Monitor_Entry *AddMonitorTo(const char *monitor_id_string, Tag_Monitor_Entry **list_ptr,
                                NameIndex *index, ResDatFinding *finding);
Tag_Resolution_Entry *AddResolutionTo(Tag_Monitor_Entry *monitor, const char *res_id_string,
                                      NameIndex *index, ResDatFinding *finding);
Tag_Timing_Info *AddTimingTo(const char *res_id_string, const char *info_block, int16_t block_size,
                             Tag_Timing_Info **list_ptr, NameIndex *index, ResDatFinding *finding);

// Link the unlinked resolution entries through a table of every timing record
// by full-form id (see LinkResEntryToTimingInfo); code 2 at the first entry
// without a timing record.
BOOLEAN LinkResEntries(const NameIndex *timings);

// ---------------------------------------------------------------------------
// The data file's syntax (syntax.cpp): each element written once, for the
// writer's file and for the composers' buffers. Out is a record with a
// PutBytes(Out *, const char *, size_t) of its own; "\n" ends a line.
// ---------------------------------------------------------------------------

// A block id: a record's number, "WxH" and refresh, or (whole not null) an id
// as a text of its own.
struct Tag_Block_Id {
    const char *whole;
    int64_t number;
    const char *size;
    const char *refresh;
};

template <typename Out> void PutString(Out *out, const char *text) {
    PutBytes(out, text, strlen(text));
}

template <typename Out> void PutDecimal(Out *out, int64_t value) {
    char digits[24];
    std::to_chars_result end = std::to_chars(digits, digits + sizeof digits, value);
    PutBytes(out, digits, static_cast<size_t>(end.ptr - digits));
}

// "T3:640x480x60".
template <typename Out> void PutBlockId(Out *out, const Tag_Block_Id &id) {
    if (id.whole != nullptr)
        return PutString(out, id.whole);
    PutBytes(out, "T", 1);
    PutDecimal(out, id.number);
    PutBytes(out, ":", 1);
    PutString(out, id.size);
    PutBytes(out, "x", 1);
    PutString(out, id.refresh);
}

// The id WriteResDatFile gives a linked timing record.
inline Tag_Block_Id TimingBlockId(const Tag_Timing_Info *info) {
    return Tag_Block_Id{nullptr, info->index, info->res_id_string, info->refresh_string};
}

// "[M3]\n".
template <typename Out> void PutMonitorHeader(Out *out, int64_t number) {
    PutBytes(out, "[M", 2);
    PutDecimal(out, number);
    PutBytes(out, "]\n", 2);
}

// The key of a monitor's name line, and of its resolution line number n.
template <typename Out> void PutNameKey(Out *out) {
    PutBytes(out, "name=", 5);
}
template <typename Out> void PutResolutionKey(Out *out, int64_t number) {
    PutBytes(out, "timing", 6);
    PutDecimal(out, number);
    PutBytes(out, " = ", 3);
}

// "[T3:640x480x60]\n".
template <typename Out> void PutTimingHeader(Out *out, const Tag_Block_Id &id) {
    PutBytes(out, "[", 1);
    PutBlockId(out, id);
    PutBytes(out, "]\n", 2);
}

// ---------------------------------------------------------------------------
// Database state (database.cpp) and errors (errors.cpp)
// ---------------------------------------------------------------------------

// The header variables, in the order the reader's table lists them.
enum HeaderVar { kBusType, kMemAddr, kDefMode, kMemSize, kMemConfig };
// Where the database keeps a header variable's text (owned, or null).
char **HeaderVarSlot(HeaderVar var);
// Where the database keeps its list heads.
Tag_Monitor_Entry **MonitorListSlot(void);
Tag_Timing_Info **TimingListSlot(void);

// Reset the enumeration cursors, and forget which header variables the loads
// gave (ResDatReset).
void ResetEnumCursors(void);
void ForgetHeaderData(void);

// Record what a failing load found (its code goes to res_dat_err_flag) with
// the line and up to two texts for the detail sentence; returns FALSE.
BOOLEAN ReportFinding(ResDatFinding finding, int32_t line, const char *a = nullptr,
                      const char *b = nullptr);
// Forget the last finding (a new load, ResDatReset).
void ClearFinding(void);

#endif
