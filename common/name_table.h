// Open-addressed tables of names over slots their user holds: a power of two
// of slots, at least twice as many as the names, so that a probe always
// reaches an empty slot. The user chooses the hash (AsciiHashIgnoringCase,
// say) and what a slot holds.
#ifndef ORVEX_COMMON_NAME_TABLE_H
#define ORVEX_COMMON_NAME_TABLE_H

#include <stddef.h>
#include <stdint.h>

// The slots of a table for that many names: a power of two, at least 2 and
// at least twice the names.
inline size_t NameTableSlots(size_t names) {
    size_t slots = 2;
    while (slots < 2 * names)
        slots *= 2;
    return slots;
}

// The slot of a name of that hash among slots (mask + 1 of them): from the
// hash on, the first slot that holds the name (holds(slot) is true) or is
// empty (equals Slot()), where the name goes.
template <typename Slot, typename Holds>
size_t FindNameSlot(const Slot *slots, size_t mask, uint32_t hash, Holds holds) {
    size_t i = hash & mask;
    while (!(slots[i] == Slot()) && !holds(slots[i]))
        i = (i + 1) & mask;
    return i;
}

#endif
