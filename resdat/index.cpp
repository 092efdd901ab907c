// Name tables that let the loader find records by name in constant time, so
// that a load grows linearly with the file.
#include <stdlib.h>
#include <string.h>

#include "resdat/internal.h"

// A hint to the processor; compilers without it fetch nothing ahead.
#if !defined(__GNUC__) && !defined(__clang__)
#define __builtin_prefetch(address) ((void)(address))
#endif

uint32_t NameHash(const char *name) {
    // Eight characters at a time, each with bit 5 set: letters that differ only
    // in case hash alike (so do a few other pairs, which the comparison sorts
    // out).
    const uint64_t kFold = 0x2020202020202020ull;
    const uint64_t kMultiplier = 0xff51afd7ed558ccdull;
    size_t length = strlen(name);
    uint64_t hash = 0x9e3779b97f4a7c15ull ^ length;
    const char *p = name;
    for (; length >= 8; p += 8, length -= 8) {
        uint64_t word;
        memcpy(&word, p, 8);
        hash = (hash ^ (word | kFold)) * kMultiplier;
        hash ^= hash >> 32;
    }
    uint64_t tail = 0;
    memcpy(&tail, p, length);
    hash = (hash ^ (tail | kFold)) * kMultiplier;
    hash ^= hash >> 29;
    return static_cast<uint32_t>(hash);
}

void FreeNameIndex(NameIndex *index) {
    free(index->slots);
    *index = EmptyNameIndex();
}

static bool SlotInUse(const NameIndex *index, const NameSlot &slot) {
    return slot.name != nullptr && slot.generation == index->generation;
}

void ClearNameIndex(NameIndex *index) {
    index->count = 0;
    if (++index->generation == 0 && index->slots != nullptr) {
        // The generations came round: forget every slot for real.
        memset(index->slots, 0, (index->mask + 1) * sizeof(NameSlot));
        index->generation = 1;
    }
}

void *FindInNameIndex(const NameIndex *index, const char *name, uint32_t hash) {
    if (index->slots == nullptr)
        return nullptr;
    for (size_t i = hash & index->mask;; i = (i + 1) & index->mask) {
        const NameSlot &slot = index->slots[i];
        if (!SlotInUse(index, slot))
            return nullptr;
        if (slot.hash == hash && TextEqualNoCase(slot.name, name))
            return slot.record;
    }
}

static void PlaceSlot(const NameIndex *index, NameSlot *slots, size_t mask, const NameSlot &slot) {
    size_t i = slot.hash & mask;
    while (SlotInUse(index, slots[i]))
        i = (i + 1) & mask;
    slots[i] = slot;
}

bool AddToNameIndex(NameIndex *index, const char *name, uint32_t hash, void *record) {
    // Keep the table at most three quarters full: probes stay short, and the
    // table stays small enough for the processor's caches as long as it can.
    if (index->slots == nullptr || (index->count + 1) * 4 > (index->mask + 1) * 3) {
        size_t capacity = index->slots == nullptr ? 64 : (index->mask + 1) * 2;
        if (capacity > SIZE_MAX / sizeof(NameSlot))
            return false;
        NameSlot *slots = static_cast<NameSlot *>(malloc(capacity * sizeof(NameSlot)));
        if (slots == nullptr)
            return false;
        memset(slots, 0, capacity * sizeof(NameSlot));
        if (index->slots != nullptr) {
            for (size_t i = 0; i <= index->mask; ++i)
                if (SlotInUse(index, index->slots[i]))
                    PlaceSlot(index, slots, capacity - 1, index->slots[i]);
            free(index->slots);
        }
        index->slots = slots;
        index->mask = capacity - 1;
    }
    PlaceSlot(index, index->slots, index->mask, NameSlot{name, record, hash, index->generation});
    ++index->count;
    return true;
}

void PrefetchNameIndex(const NameIndex *index, uint32_t hash) {
    if (index->slots != nullptr)
        __builtin_prefetch(&index->slots[hash & index->mask]);
}

void FindManyInNameIndex(const NameIndex *index, const char *const names[], const uint32_t hashes[],
                         void *records[], int n) {
    // Three passes over the batch, so that the memory of each step is fetched
    // for all names before any of it is used: the slots, then the names the
    // slots point to, then the comparisons.
    size_t first[64];
    if (index->slots == nullptr || n > 64) {
        for (int i = 0; i < n; ++i)
            records[i] = FindInNameIndex(index, names[i], hashes[i]);
        return;
    }
    for (int i = 0; i < n; ++i) {
        first[i] = hashes[i] & index->mask;
        __builtin_prefetch(&index->slots[first[i]]);
    }
    for (int i = 0; i < n; ++i) {
        const NameSlot &slot = index->slots[first[i]];
        if (SlotInUse(index, slot) && slot.hash == hashes[i])
            __builtin_prefetch(slot.name);
    }
    for (int i = 0; i < n; ++i)
        records[i] = FindInNameIndex(index, names[i], hashes[i]);
}
