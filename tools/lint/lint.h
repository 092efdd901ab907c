// Checking timing blocks and the database as a whole: the rules of
// "orvexres lint". A block is read twice, as the installer reads it (by
// position: the n-th "=" fills slot n, install/crt_timing.h) and by key
// (timing/timing.h), and the two readings and the numbers are checked against
// each other, against the block's id and against a monitor's range.
//
// Findings go to a callback, one at a time, in the order the checks meet them;
// the caller sorts them by line. Nothing here allocates but LintDatabase's one
// table of the blocks the monitors use.
#ifndef ORVEX_TOOLS_LINT_H
#define ORVEX_TOOLS_LINT_H

#include <stddef.h>
#include <stdint.h>

#include "resdat/resdat.h"

// The rules, with their stable names (kLintRules).
enum Lint_Rule {
    kRuleSlotShift,       // error: the positional reading differs from the keyed one
    kRuleMissingKey,      // error
    kRuleDuplicateKey,    // error
    kRuleUnknownKey,      // warning
    kRuleBadNumber,       // error
    kRuleBadPolarity,     // warning
    kRuleIdMismatch,      // error: had/vad/vlr against the block's id
    kRuleRefreshMismatch, // error: clock and totals against vlr
    kRuleZeroField,       // error: zero sync, zero total, negative porch
    kRuleOutOfRange,      // error: outside the monitor's range (when one is given)
    kRuleUnusedBlock,     // warning: no monitor lists the block
    kRuleNoGeneric,       // warning: no monitor "Generic"
    kRuleDefmodeMissing,  // warning: "Generic" offers no block of the DefMode size
    kLintRuleCount
};

struct Tag_Lint_Rule_Info {
    const char *name; // "slot-shift"
    bool error;       // an error, else a warning
};
extern const Tag_Lint_Rule_Info kLintRules[kLintRuleCount];

// A monitor's range: horizontal frequency and refresh in Hz, clock in Hz.
struct Tag_Lint_Range {
    double h_min, h_max; // horizontal frequency, Hz
    double v_min, v_max; // refresh, Hz
    double clock_max;    // pixel clock, Hz
};

const size_t kLintTextSize = 320;

// One finding: the file line it concerns (0 for the file as a whole), its rule
// and a sentence without a line end.
struct Tag_Lint_Finding {
    int32_t line;
    Lint_Rule rule;
    char text[kLintTextSize];
};

typedef void (*Lint_Sink)(void *context, const Tag_Lint_Finding *finding);

// Where a block stands and what its id says: the file line of its header (the
// block's first line is the next one), its size "WxH" and refresh text.
struct Tag_Lint_Block {
    const char *text;
    const char *res_id_string;  // "640x480"
    const char *refresh_string; // "60"
    int32_t header_line;
};

// Check one timing block (every rule but the database's). range may be null.
void LintTimingBlock(const Tag_Lint_Block *block, const Tag_Lint_Range *range, Lint_Sink sink,
                     void *context);

// Check every timing block of the loaded database and the database's own
// rules. False (nothing reported) when memory for the table of used blocks
// cannot be had.
bool LintDatabase(const Tag_Lint_Range *range, Lint_Sink sink, void *context);

// Read "HMIN-HMAX,VMIN-VMAX,CLOCKMAX" in kHz, Hz and MHz ("30-70,50-120,110").
// False when the text is not of that form or a minimum exceeds its maximum.
bool ParseLintRange(const char *text, Tag_Lint_Range *range);

#endif
