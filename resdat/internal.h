// Helpers shared by the database's modules; not part of the public interface.
#ifndef ORVEX_RESDAT_INTERNAL_H
#define ORVEX_RESDAT_INTERNAL_H

#include <stddef.h>
#include <stdint.h>

#include "resdat/resdat.h"

// ASCII-only case folding, whatever the C locale says.
inline char FoldAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
}

// Whole texts equal ignoring the case of ASCII letters.
bool TextEqualNoCase(const char *a, const char *b);

// The first n characters of text equal prefix (of length n) ignoring case.
bool PrefixEqualNoCase(const char *text, const char *prefix, size_t n);

// A malloc'ed copy of length bytes of text plus a NUL, or null (no code set).
char *CopyTextN(const char *text, size_t length);
char *CopyText(const char *text);

// A full-form id ("T3:640x480x60") holds a ":" and, after it, a lower-case "x",
// from which the short forms are derived.
bool IsFullFormId(const char *id);

// A new record holding copies of the texts, not yet in any list (next null,
// index 0); null with code 1 when memory runs out, nothing left allocated.
// block_size must be at least 1.
Tag_Monitor_Entry *NewMonitorEntry(const char *monitor_id_string);
Tag_Resolution_Entry *NewResolutionEntry(const char *res_id_string);
Tag_Timing_Info *NewTimingInfo(const char *res_id_string, const char *info_block,
                               int16_t block_size);

// A hash of a name that ignores the case of ASCII letters, as the comparisons do.
uint32_t NameHash(const char *name);

// An open-addressing table from names to records, for the loader: names are
// borrowed from the records and must not change while the table is in use.
struct NameSlot {
    const char *name; // null: empty slot
    void *record;
    uint32_t hash;
    uint32_t generation; // a slot of an older generation is empty
};
struct NameIndex {
    NameSlot *slots;
    size_t mask; // capacity - 1; capacity is a power of two
    size_t count;
    uint32_t generation;
};
// An empty table; nothing allocated until the first insert.
inline NameIndex EmptyNameIndex() {
    return NameIndex{nullptr, 0, 0, 1};
}
void FreeNameIndex(NameIndex *index);
// Empty the table in constant time, keeping its memory for reuse.
void ClearNameIndex(NameIndex *index);
// The record of the name (compared ignoring case), or null.
void *FindInNameIndex(const NameIndex *index, const char *name, uint32_t hash);
// Ask the processor to fetch the slot where the name's search starts, so that a
// look-up a little later finds it in the cache (large tables miss otherwise).
void PrefetchNameIndex(const NameIndex *index, uint32_t hash);
// The records of n names (at most 64; null where a name is not there), looked up
// together so that their memory is fetched in parallel.
void FindManyInNameIndex(const NameIndex *index, const char *const names[], const uint32_t hashes[],
                         void *records[], int n);
// Adds a name that is not in the table; false (table unchanged) when memory
// runs out.
bool AddToNameIndex(NameIndex *index, const char *name, uint32_t hash, void *record);

// Link the unlinked resolution entries through a table of the timing records
// by full-form id (see LinkResEntryToTimingInfo); code 2 at the first entry
// without a timing record.
BOOLEAN LinkResEntries(const NameIndex *timings);

// Reset the enumeration cursors (ResDatReset).
void ResetEnumCursors(void);

#endif
