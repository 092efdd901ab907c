// Comparing two data files by what they mean (see diff.h).
#include "tools/diff/diff.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>

#include "common/ascii.h"
#include "common/name_table.h"
#include "resdat/resdat.h"

namespace {

// The header variables: a file's key and the database's accessor.
struct Tag_Variable_Row {
    const char *name;
    char *(*get)(void);
};
const Tag_Variable_Row kVariables[kDiffVariableCount] = {
    {"BusType", GetBusType},     {"MemAddr", GetMemAddr},    {"MemSize", GetMemSize},
    {"MemConfig", GetMemConfig}, {"DefMode", GetDefaultRes},
};

// A table of entries by name (ignoring case) and occurrence: slots hold an
// entry's index + 1 (0: empty); mask + 1 slots, a power of two, at least
// twice the entries.
struct Tag_Name_Table {
    int32_t *slots;
    size_t mask;
};

// A table for entries over slots (at least NameTableSlots(entries) of them),
// emptied.
Tag_Name_Table EmptyTable(int32_t *slots, size_t entries) {
    const size_t count = NameTableSlots(entries);
    memset(slots, 0, count * sizeof *slots);
    return Tag_Name_Table{slots, count - 1};
}

// The slot of (name, occurrence): the one holding its entry, or the empty
// one where it goes. key_of(index, &name, &occurrence) gives an entry's key.
template <typename Key_Of>
size_t FindSlot(const Tag_Name_Table &table, const char *name, int32_t occurrence, Key_Of key_of) {
    const uint32_t hash =
        AsciiHashIgnoringCase(name) ^ static_cast<uint32_t>(occurrence) * 2654435761u;
    return FindNameSlot(table.slots, table.mask, hash, [&](int32_t slot) {
        const char *other = "";
        int32_t other_occurrence = 0;
        key_of(slot - 1, &other, &other_occurrence);
        return other_occurrence == occurrence && AsciiEqualIgnoringCase(other, name);
    });
}

// ---------------------------------------------------------------------------
// Snapshots
// ---------------------------------------------------------------------------

// Where a snapshot's texts go as it is taken.
struct Tag_Text_Store {
    char *text;
    size_t used;
};

size_t TextSize(const char *text) {
    return text != nullptr ? strlen(text) + 1 : 0;
}

// A copy of text in the store (null for null).
const char *Keep(Tag_Text_Store *store, const char *text) {
    if (text == nullptr)
        return nullptr;
    const size_t size = strlen(text) + 1;
    char *copy = store->text + store->used;
    memcpy(copy, text, size);
    store->used += size;
    return copy;
}

// A resolution's block read by key into mode.
void ReadMode(const Tag_Resolution_Entry *entry, Tag_Diff_Mode *mode) {
    static Tag_Timing_Block_Report report; // large for the stack
    mode->timing = Tag_Video_Timing();
    mode->fields_read = 0;
    if (entry->timing_info == nullptr)
        return;
    ParseTimingBlock(entry->timing_info->info_block, &report);
    mode->timing = report.timing;
    for (int32_t field = 0; field < kTimingFieldCount; ++field)
        if (report.fields[field].line != 0 && report.fields[field].finding == Block_Finding::kNone)
            mode->fields_read |= 1u << field;
}

// One monitor into out, its modes into modes; slots room for a table of its
// resolutions.
void TakeMonitor(const Tag_Monitor_Entry *monitor, Tag_Text_Store *store, Tag_Diff_Mode *modes,
                 int32_t *slots, Tag_Diff_Monitor *out) {
    int32_t count = 0;
    for (const Tag_Resolution_Entry *r = monitor->res_list; r != nullptr; r = r->next)
        ++count;
    const Tag_Name_Table ids = EmptyTable(slots, static_cast<size_t>(count));
    const auto key_of = [modes](int32_t i, const char **name, int32_t *occurrence) {
        *name = modes[i].id;
        *occurrence = 1;
    };
    *out = Tag_Diff_Monitor{Keep(store, monitor->monitor_id_string), modes, 0};
    for (const Tag_Resolution_Entry *r = monitor->res_list; r != nullptr; r = r->next) {
        Tag_Diff_Mode *mode = &modes[out->mode_count];
        mode->id = Keep(store, r->res_id_string);
        ReadMode(r, mode);
        // The table holds the latest listing of each id.
        const size_t slot = FindSlot(ids, mode->id, 1, key_of);
        mode->occurrence = ids.slots[slot] != 0 ? modes[ids.slots[slot] - 1].occurrence + 1 : 1;
        ids.slots[slot] = ++out->mode_count;
    }
}

} // namespace

const char *GetDiffVariableName(int32_t variable) {
    return variable >= 0 && variable < kDiffVariableCount ? kVariables[variable].name : "";
}

bool TakeDiffSnapshot(Tag_Diff_Snapshot *snapshot) {
    *snapshot = Tag_Diff_Snapshot();
    size_t monitors = 0;
    size_t modes = 0;
    size_t text = 0;
    size_t longest = 0;
    for (const Tag_Variable_Row &variable : kVariables)
        text += TextSize(variable.get());
    for (const Tag_Monitor_Entry *m = GetMonitorEntryHead(); m != nullptr; m = m->next) {
        size_t count = 0;
        for (const Tag_Resolution_Entry *r = m->res_list; r != nullptr; r = r->next, ++count)
            text += TextSize(r->res_id_string);
        ++monitors;
        modes += count;
        text += TextSize(m->monitor_id_string);
        longest = std::max(longest, count);
    }
    snapshot->monitors = static_cast<Tag_Diff_Monitor *>(
        malloc(std::max<size_t>(monitors, 1) * sizeof(Tag_Diff_Monitor)));
    snapshot->store =
        static_cast<Tag_Diff_Mode *>(malloc(std::max<size_t>(modes, 1) * sizeof(Tag_Diff_Mode)));
    snapshot->text = static_cast<char *>(malloc(std::max<size_t>(text, 1)));
    int32_t *slots = static_cast<int32_t *>(malloc(NameTableSlots(longest) * sizeof(int32_t)));
    if (snapshot->monitors == nullptr || snapshot->store == nullptr || snapshot->text == nullptr ||
        slots == nullptr) {
        free(slots);
        FreeDiffSnapshot(snapshot);
        return false;
    }
    Tag_Text_Store store{snapshot->text, 0};
    for (int32_t v = 0; v < kDiffVariableCount; ++v)
        snapshot->variables[v] = Keep(&store, kVariables[v].get());
    Tag_Diff_Mode *next = snapshot->store;
    for (const Tag_Monitor_Entry *m = GetMonitorEntryHead(); m != nullptr; m = m->next) {
        Tag_Diff_Monitor *monitor = &snapshot->monitors[snapshot->monitor_count++];
        TakeMonitor(m, &store, next, slots, monitor);
        next += monitor->mode_count;
    }
    free(slots);
    return true;
}

void FreeDiffSnapshot(Tag_Diff_Snapshot *snapshot) {
    free(snapshot->monitors);
    free(snapshot->store);
    free(snapshot->text);
    *snapshot = Tag_Diff_Snapshot();
}

namespace {

// ---------------------------------------------------------------------------
// The comparison
// ---------------------------------------------------------------------------

// One comparison and its tables, in one allocation (block).
struct Tag_Compare {
    Diff_Sink sink;
    void *context;
    void *block;
    int32_t *monitor_slots;  // B's monitors
    int32_t *mode_slots;     // one B monitor's modes
    int32_t *b_of_a;         // an A mode's B mode, or -1
    int32_t *a_of_b;         // a B mode's A mode, or -1
    int32_t *tails;          // the longest run in order: its last entries by length
    int32_t *previous;       // an A mode's entry before it in its run
    unsigned char *in_order; // an A mode is in the longest run
    unsigned char *matched;  // a B monitor is A's too
};

int32_t LongestMonitor(const Tag_Diff_Snapshot *s) {
    int32_t longest = 0;
    for (int32_t i = 0; i < s->monitor_count; ++i)
        longest = std::max(longest, s->monitors[i].mode_count);
    return longest;
}

// The tables for comparing a with b; false when memory runs out.
bool StartCompare(const Tag_Diff_Snapshot *a, const Tag_Diff_Snapshot *b, Tag_Compare *c) {
    const size_t a_modes = static_cast<size_t>(LongestMonitor(a)) + 1;
    const size_t b_modes = static_cast<size_t>(LongestMonitor(b)) + 1;
    const size_t b_monitors = static_cast<size_t>(b->monitor_count) + 1;
    const size_t monitor_slots = NameTableSlots(b_monitors);
    const size_t mode_slots = NameTableSlots(b_modes);
    const size_t numbers = monitor_slots + mode_slots + 3 * a_modes + b_modes;
    c->block = malloc(numbers * sizeof(int32_t) + a_modes + b_monitors);
    if (c->block == nullptr)
        return false;
    int32_t *n = static_cast<int32_t *>(c->block);
    c->monitor_slots = n, n += monitor_slots;
    c->mode_slots = n, n += mode_slots;
    c->b_of_a = n, n += a_modes;
    c->a_of_b = n, n += b_modes;
    c->tails = n, n += a_modes;
    c->previous = n, n += a_modes;
    c->in_order = reinterpret_cast<unsigned char *>(n);
    c->matched = c->in_order + a_modes;
    memset(c->matched, 0, b_monitors);
    return true;
}

void Emit(const Tag_Compare *c, Diff_What what, const char *monitor, const Tag_Diff_Mode *mode,
          int32_t field, const char *old_value, const char *new_value) {
    const Tag_Diff_Item item = {what,
                                -1,
                                monitor,
                                mode != nullptr ? mode->id : nullptr,
                                mode != nullptr ? mode->occurrence : 0,
                                field,
                                old_value,
                                new_value};
    c->sink(c->context, &item);
}

bool SameText(const char *a, const char *b) {
    return a == b || (a != nullptr && b != nullptr && strcmp(a, b) == 0);
}

void CompareVariables(const Tag_Compare *c, const Tag_Diff_Snapshot *a,
                      const Tag_Diff_Snapshot *b) {
    for (int32_t v = 0; v < kDiffVariableCount; ++v) {
        if (SameText(a->variables[v], b->variables[v]))
            continue;
        Tag_Diff_Item item = {Diff_What::kVariable, v, nullptr, nullptr, 0, -1, a->variables[v],
                              b->variables[v]};
        c->sink(c->context, &item);
    }
}

// Each field's value as a block writes it (text receives the block), null
// where the field was not read; false when the block cannot be written.
bool FieldValues(const Tag_Diff_Mode &mode, char *text, const char *values[kTimingFieldCount]) {
    if (!FormatTimingBlock(&mode.timing, text, kTimingBlockTextSize))
        return false;
    char *line = text;
    for (int32_t field = 0; field < kTimingFieldCount; ++field) {
        char *end = strchr(line, '\n');
        char *equals = strchr(line, '=');
        if (end == nullptr || equals == nullptr || equals > end)
            return false;
        *end = '\0';
        values[field] = (mode.fields_read >> field & 1u) != 0 ? equals + 1 : nullptr;
        line = end + 1;
    }
    return true;
}

void CompareFields(const Tag_Compare *c, const char *monitor, const Tag_Diff_Mode &a,
                   const Tag_Diff_Mode &b) {
    char a_text[kTimingBlockTextSize];
    char b_text[kTimingBlockTextSize];
    const char *a_values[kTimingFieldCount];
    const char *b_values[kTimingFieldCount];
    if (!FieldValues(a, a_text, a_values) || !FieldValues(b, b_text, b_values))
        return;
    for (int32_t field = 0; field < kTimingFieldCount; ++field)
        if (!SameText(a_values[field], b_values[field]))
            Emit(c, Diff_What::kField, monitor, &a, field, a_values[field], b_values[field]);
}

// Mark the A modes of the longest run both monitors list in the same order
// (of count A modes, b_of_a set).
void MarkInOrder(Tag_Compare *c, int32_t count) {
    int32_t length = 0;
    for (int32_t i = 0; i < count; ++i) {
        c->in_order[i] = 0;
        const int32_t j = c->b_of_a[i];
        if (j < 0)
            continue;
        int32_t low = 0;
        int32_t high = length;
        while (low < high) { // the first run end whose B mode is not before j
            const int32_t middle = low + (high - low) / 2;
            if (c->b_of_a[c->tails[middle]] < j)
                low = middle + 1;
            else
                high = middle;
        }
        c->previous[i] = low > 0 ? c->tails[low - 1] : -1;
        c->tails[low] = i;
        length = std::max(length, low + 1);
    }
    for (int32_t i = length > 0 ? c->tails[length - 1] : -1; i >= 0; i = c->previous[i])
        c->in_order[i] = 1;
}

// b_of_a and a_of_b of two monitors' modes, by id and occurrence.
void MatchModes(Tag_Compare *c, const Tag_Diff_Monitor &ma, const Tag_Diff_Monitor &mb) {
    const Tag_Name_Table table = EmptyTable(c->mode_slots, static_cast<size_t>(mb.mode_count));
    const auto key_of = [&mb](int32_t j, const char **name, int32_t *occurrence) {
        *name = mb.modes[j].id;
        *occurrence = mb.modes[j].occurrence;
    };
    for (int32_t j = 0; j < mb.mode_count; ++j) {
        c->a_of_b[j] = -1;
        table.slots[FindSlot(table, mb.modes[j].id, mb.modes[j].occurrence, key_of)] = j + 1;
    }
    for (int32_t i = 0; i < ma.mode_count; ++i) {
        const Tag_Diff_Mode &mode = ma.modes[i];
        const int32_t j = table.slots[FindSlot(table, mode.id, mode.occurrence, key_of)] - 1;
        c->b_of_a[i] = j;
        if (j >= 0)
            c->a_of_b[j] = i;
    }
}

// The differences of a monitor both files have.
void CompareMonitor(Tag_Compare *c, const Tag_Diff_Monitor &ma, const Tag_Diff_Monitor &mb) {
    if (strcmp(ma.name, mb.name) != 0)
        Emit(c, Diff_What::kMonitorName, ma.name, nullptr, -1, ma.name, mb.name);
    MatchModes(c, ma, mb);
    for (int32_t i = 0; i < ma.mode_count; ++i)
        if (c->b_of_a[i] < 0)
            Emit(c, Diff_What::kModeRemoved, ma.name, &ma.modes[i], -1, nullptr, nullptr);
    MarkInOrder(c, ma.mode_count);
    for (int32_t j = 0; j < mb.mode_count; ++j) {
        const int32_t i = c->a_of_b[j];
        if (i < 0) {
            Emit(c, Diff_What::kModeAdded, ma.name, &mb.modes[j], -1, nullptr, nullptr);
            continue;
        }
        if (!c->in_order[i]) {
            char old_place[16];
            char new_place[16];
            snprintf(old_place, sizeof old_place, "%d", i + 1);
            snprintf(new_place, sizeof new_place, "%d", j + 1);
            Emit(c, Diff_What::kPosition, ma.name, &ma.modes[i], -1, old_place, new_place);
        }
        CompareFields(c, ma.name, ma.modes[i], mb.modes[j]);
    }
}

} // namespace

bool CompareDiffSnapshots(const Tag_Diff_Snapshot *a, const Tag_Diff_Snapshot *b, Diff_Sink sink,
                          void *context) {
    Tag_Compare c{};
    c.sink = sink;
    c.context = context;
    if (!StartCompare(a, b, &c))
        return false;
    CompareVariables(&c, a, b);
    const Tag_Name_Table table =
        EmptyTable(c.monitor_slots, static_cast<size_t>(b->monitor_count) + 1);
    const auto key_of = [b](int32_t j, const char **name, int32_t *occurrence) {
        *name = b->monitors[j].name;
        *occurrence = 1;
    };
    for (int32_t j = 0; j < b->monitor_count; ++j)
        table.slots[FindSlot(table, b->monitors[j].name, 1, key_of)] = j + 1;
    for (int32_t i = 0; i < a->monitor_count; ++i) {
        const Tag_Diff_Monitor &ma = a->monitors[i];
        const int32_t j = table.slots[FindSlot(table, ma.name, 1, key_of)] - 1;
        if (j < 0) {
            Emit(&c, Diff_What::kMonitorRemoved, ma.name, nullptr, -1, nullptr, nullptr);
            continue;
        }
        c.matched[j] = 1;
        CompareMonitor(&c, ma, b->monitors[j]);
    }
    for (int32_t j = 0; j < b->monitor_count; ++j)
        if (!c.matched[j])
            Emit(&c, Diff_What::kMonitorAdded, b->monitors[j].name, nullptr, -1, nullptr, nullptr);
    free(c.block);
    return true;
}
