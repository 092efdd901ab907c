// Checking timing blocks and the database as a whole: the rules of
// "orvexres lint". A block is read twice, as the installer reads it (by
// position: the n-th "=" fills slot n, install/crt_timing.h) and by key
// (timing/timing.h), and the two readings and the numbers are checked against
// each other, against the block's id and against a monitor's range.
//
// Findings go to a callback, one at a time, in the order the checks meet them;
// the caller sorts them by line. Nothing here allocates but LintDatabase's
// tables of the blocks the monitors use and of one monitor's resolutions.
#ifndef ORVEX_TOOLS_LINT_H
#define ORVEX_TOOLS_LINT_H

#include <stddef.h>
#include <stdint.h>

#include "resdat/resdat.h"

// The rules; kLintRules says what each is.
enum Lint_Rule {
    kRuleSlotShift,
    kRuleMissingKey,
    kRuleDuplicateKey,
    kRuleUnknownKey,
    kRuleNotKeyValue,
    kRuleBadNumber,
    kRuleBadPolarity,
    kRuleTooManyFindings,
    kRuleIdMismatch,
    kRuleRefreshMismatch,
    kRuleZeroField,
    kRuleOutOfRange,
    kRuleUnusedBlock,
    kRuleDuplicateMode,
    kRuleDroppedLine,
    kRuleNoGeneric,
    kRuleDefmodeMissing,
    kLintRuleCount
};

// One rule: its stable name, its kind and what it finds, in the words of the
// README's table of rules and of "orvexres lint --help", which are made
// from this table.
struct Tag_Lint_Rule_Info {
    Lint_Rule rule;
    const char *name;  // "slot-shift"
    bool error;        // an error, else a warning
    const char *finds; // one sentence, Markdown (`code` for keys and options)
};
// Every rule, in the order of Lint_Rule.
extern const Tag_Lint_Rule_Info kLintRules[kLintRuleCount];

// The row of a rule; a row named "?" for a value that is no rule.
const Tag_Lint_Rule_Info &GetLintRule(Lint_Rule rule);

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
// rules. range (may be null) is one monitor's: it applies to the blocks
// range_monitor lists, or to every block when range_monitor is null. False
// (nothing reported) when memory for its tables cannot be had.
bool LintDatabase(const Tag_Lint_Range *range, const Tag_Monitor_Entry *range_monitor,
                  Lint_Sink sink, void *context);

// Read "HMIN-HMAX,VMIN-VMAX,CLOCKMAX" in kHz, Hz and MHz ("30-70,50-120,110").
// False when the text is not of that form, a minimum is above its maximum or
// the clock is not above 0; *fault (when fault is not null) then receives
// what is wrong, e.g. "horizontal minimum above maximum".
bool ParseLintRange(const char *text, Tag_Lint_Range *range, const char **fault);

#endif
