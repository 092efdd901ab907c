// Comparing two resolution data files by what they mean ("orvexres diff"),
// not by their text: block numbers, the order of blocks and monitors, blank
// lines, comments and the way a value is spelt in a block do not count.
//
// The database holds one file at a time, so a comparison takes what it needs
// from each loaded file into a snapshot of plain records (TakeDiffSnapshot),
// and compares two snapshots (CompareDiffSnapshots):
// - the header variables, as the reader takes their values;
// - the monitors, by name ignoring case (the spelling of a name counts: the
//   installer stores it), not by their order;
// - each monitor's resolutions, by id ignoring case, in list order (the
//   installer walks them in order);
// - each resolution's timing block read by key (timing/timing.h): its
//   fourteen fields, as a block writes them (FormatTimingBlock).
// Timing blocks that no monitor lists are not compared.
//
// Memory: a snapshot owns its records; a function that allocates returns
// false when memory runs out and leaves nothing allocated behind it.
#ifndef ORVEX_TOOLS_DIFF_H
#define ORVEX_TOOLS_DIFF_H

#include <stddef.h>
#include <stdint.h>

#include "timing/timing.h"

// The header variables.
enum Diff_Variable {
    kDiffBusType,
    kDiffMemAddr,
    kDiffMemSize,
    kDiffMemConfig,
    kDiffDefMode,
    kDiffVariableCount
};

// A variable's key as a file writes it ("BusType"); "" for a value that is
// no variable.
const char *GetDiffVariableName(int32_t variable);

// One resolution a monitor lists, with its block read by key.
struct Tag_Diff_Mode {
    const char *id;          // as listed, "640x480x60"
    int32_t occurrence;      // 1; n for the n-th listing of one id (ignoring case)
    Tag_Video_Timing timing; // the fields read; a field not read is 0
    uint32_t fields_read;    // bit n: Timing_Field n was given and read
};

struct Tag_Diff_Monitor {
    const char *name;
    Tag_Diff_Mode *modes; // in list order
    int32_t mode_count;
};

struct Tag_Diff_Snapshot {
    const char *variables[kDiffVariableCount]; // null when unset
    Tag_Diff_Monitor *monitors;                // in file order
    int32_t monitor_count;
    char *text;           // owned: every text above
    Tag_Diff_Mode *store; // owned: every monitor's modes
};

// Take the loaded database into *snapshot (overwritten). False when memory
// runs out; *snapshot is then empty (as after FreeDiffSnapshot).
bool TakeDiffSnapshot(Tag_Diff_Snapshot *snapshot);

// Release what a snapshot owns and leave it empty.
void FreeDiffSnapshot(Tag_Diff_Snapshot *snapshot);

// What a difference is.
enum class Diff_What : int32_t {
    kVariable = 0,       // a header variable changed (set, unset or another value)
    kMonitorAdded = 1,   // a monitor only B has
    kMonitorRemoved = 2, // a monitor only A has
    kMonitorName = 3,    // a monitor's name spelt otherwise
    kModeAdded = 4,      // a resolution only B's monitor lists
    kModeRemoved = 5,    // a resolution only A's monitor lists
    kPosition = 6,       // a resolution listed at another place, among those both list
    kField = 7,          // a field of a resolution's block
};

// One difference, valid during the call of the sink.
struct Tag_Diff_Item {
    Diff_What what;
    int32_t variable;       // kVariable: the Diff_Variable
    const char *monitor;    // the monitor's name (A's spelling; B's for one only B has)
    const char *resolution; // kMode..., kPosition, kField: the resolution's id (A's; B's for
                            // one only B has)
    int32_t occurrence;     // with resolution: its occurrence (Tag_Diff_Mode)
    int32_t field;          // kField: the Timing_Field
    // kVariable, kMonitorName, kPosition, kField: A's value and B's. Null for
    // a variable unset or a field not read; a position is counted from 1; a
    // field is written as a block writes it ("25.175mHz", "negative", "60Hz").
    const char *old_value;
    const char *new_value;
};

typedef void (*Diff_Sink)(void *context, const Tag_Diff_Item *item);

// Compare snapshot a (the old file) with b (the new one), giving each
// difference to the sink in this order: the variables in the order of
// Diff_Variable; then A's monitors in file order, each one B lacks removed,
// each one B has followed by its own differences (its name, the resolutions
// only A lists in A's order, then in B's order the resolutions only B lists,
// those listed at another place and the fields that differ, field by field);
// last B's monitors that A lacks, in B's order. A resolution is at another
// place when it is not among the most resolutions both list in the same
// order: a resolution added or removed moves no other. False, before any
// difference is given, when memory for the comparison's tables runs out.
bool CompareDiffSnapshots(const Tag_Diff_Snapshot *a, const Tag_Diff_Snapshot *b, Diff_Sink sink,
                          void *context);

#endif
