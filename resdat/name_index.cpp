// Tables of names that let the Add operations find a list's records by name in
// constant time, so that a load grows linearly with the file.
#include <stdlib.h>
#include <string.h>

#include "resdat/internal.h"

uint32_t NameHash(const char *name) {
    return AsciiHashIgnoringCase(name);
}

void FreeNameIndex(NameIndex *index) {
    free(index->slots);
    *index = EmptyNameIndex();
}

void *FindInNameIndex(const NameIndex *index, const char *name, uint32_t hash) {
    if (index->slots == nullptr)
        return nullptr;
    for (size_t i = hash & index->mask; index->slots[i].name != nullptr;
         i = (i + 1) & index->mask) {
        const NameSlot &slot = index->slots[i];
        if (slot.hash == hash && SameName(slot.name, name))
            return slot.record;
    }
    return nullptr;
}

static void PlaceSlot(NameSlot *slots, size_t mask, const NameSlot &slot) {
    size_t i = slot.hash & mask;
    while (slots[i].name != nullptr)
        i = (i + 1) & mask;
    slots[i] = slot;
}

bool AddToNameIndex(NameIndex *index, const char *name, uint32_t hash, void *record) {
    // At most three quarters full, so that probes stay short.
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
                if (index->slots[i].name != nullptr)
                    PlaceSlot(slots, capacity - 1, index->slots[i]);
            free(index->slots);
        }
        index->slots = slots;
        index->mask = capacity - 1;
    }
    PlaceSlot(index->slots, index->mask, NameSlot{name, record, hash});
    ++index->count;
    return true;
}
