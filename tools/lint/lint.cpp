// The rules of "orvexres lint" (see lint.h).
#include "tools/lint/lint.h"

#include <math.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <initializer_list>

#include "common/ascii.h"
#include "common/name_table.h"
#include "install/crt_timing.h"
#include "timing/timing.h"

constexpr Tag_Lint_Rule_Info kLintRules[kLintRuleCount] = {
    {kRuleSlotShift, "slot-shift", true,
     "the installer's positional reading differs from the reading by key: the first slot read "
     "from another line (say, a comment holding \"=\"), or a polarity word the installer reads "
     "otherwise (`hp = positive`: it takes the eight characters right after the \"=\")"},
    {kRuleMissingKey, "missing-key", true, "one of the fourteen keys has no line"},
    {kRuleDuplicateKey, "duplicate-key", true,
     "a key given again (the reading by key keeps the first)"},
    {kRuleUnknownKey, "unknown-key", false, "a `key=value` line of another key"},
    {kRuleNotKeyValue, "not-key-value", false,
     "a line that is neither a `key=value` line nor a comment"},
    {kRuleBadNumber, "bad-number", true,
     "a value that is not a decimal number (`hdr` in MHz, optional `mHz`; `vlr` in whole Hz, "
     "optional `Hz`; the others whole numbers)"},
    {kRuleBadPolarity, "bad-polarity", false,
     "a word other than positive or negative, which the installer takes as negative"},
    {kRuleTooManyFindings, "too-many-findings", true,
     "a block with more faulty lines than lint can show; those not shown may hold errors"},
    {kRuleIdMismatch, "id-mismatch", true,
     "`had`, `vad` or `vlr` differ from the width, height or refresh of the block's id"},
    {kRuleRefreshMismatch, "refresh-mismatch", true,
     "the refresh the clock and the totals give differs from `vlr` by 1 Hz or more"},
    {kRuleZeroField, "zero-field", true,
     "a zero sync width, a zero or negative total, a negative porch"},
    {kRuleOutOfRange, "out-of-range", true,
     "with `--range` or `--edid`: horizontal frequency, refresh or clock outside the monitor's "
     "range"},
    {kRuleUnusedBlock, "unused-block", false, "no monitor lists the block"},
    {kRuleDuplicateMode, "duplicate-mode", true,
     "a monitor lists a resolution twice (the installer and the tools use only the first)"},
    {kRuleDroppedLine, "dropped-line", false,
     "the file's last line, in a block, has no line end: the installer drops it"},
    {kRuleNoGeneric, "no-generic", false,
     "no monitor \"Generic\": the installer stores no \"CrtTiming\""},
    {kRuleDefmodeMissing, "defmode-missing", false,
     "\"Generic\" offers no block of the DefMode size"},
};

namespace {

// The table lists every rule once, in the order of their values.
constexpr bool RulesInOrder() {
    for (int32_t i = 0; i < kLintRuleCount; ++i)
        if (kLintRules[i].rule != i || kLintRules[i].name == nullptr ||
            kLintRules[i].finds == nullptr)
            return false;
    return true;
}
static_assert(RulesInOrder(), "one row per rule, in the order of their values");

} // namespace

const Tag_Lint_Rule_Info &GetLintRule(Lint_Rule rule) {
    static const Tag_Lint_Rule_Info kNoRule = {kLintRuleCount, "?", true, ""};
    return rule >= 0 && rule < kLintRuleCount ? kLintRules[rule] : kNoRule;
}

namespace {

// What each field holds, for the sentences.
const char *const kFieldMeaning[kTimingFieldCount] = {
    "the pixel clock",
    "the horizontal sync width",
    "the horizontal back porch",
    "the active width",
    "the horizontal front porch",
    "the horizontal cursor offset",
    "the horizontal sync polarity",
    "the refresh rate",
    "the vertical sync width",
    "the vertical back porch",
    "the active height",
    "the vertical front porch",
    "the vertical cursor offset",
    "the vertical sync polarity",
};

// What a field holds, and its key; "" for a value that is no field.
const char *FieldMeaning(int32_t field) {
    return field >= 0 && field < kTimingFieldCount ? kFieldMeaning[field] : "";
}
const char *FieldKey(int32_t field) {
    return field >= 0 && field < kTimingFieldCount ? timing_field_keys[field] : "";
}

// The longest part of a line a sentence quotes.
const size_t kQuoteMax = 60;

struct Tag_Block_Check {
    const Tag_Lint_Block *block;
    Lint_Sink sink;
    void *context;
};

void EmitWith(Lint_Sink sink, void *context, int32_t line, Lint_Rule rule, const char *format,
              va_list args) {
    Tag_Lint_Finding finding;
    finding.line = line;
    finding.rule = rule;
    vsnprintf(finding.text, sizeof finding.text, format, args);
    sink(context, &finding);
}

// A finding at a line of the block (0: its header).
void Emit(const Tag_Block_Check *check, int32_t block_line, Lint_Rule rule, const char *format,
          ...) {
    va_list args;
    va_start(args, format);
    EmitWith(check->sink, check->context, check->block->header_line + block_line, rule, format,
             args);
    va_end(args);
}

// A finding of the file as a whole, at a line of the file (0: none).
void EmitForFile(Lint_Sink sink, void *context, int32_t line, Lint_Rule rule, const char *format,
                 ...) {
    va_list args;
    va_start(args, format);
    EmitWith(sink, context, line, rule, format, args);
    va_end(args);
}

// The block line at offset, in a quotable form: at most kQuoteMax characters,
// without its line end.
void QuoteLine(const char *text, size_t offset, char quote[kQuoteMax + 4]) {
    size_t length = strcspn(text + offset, "\r\n");
    bool cut = length > kQuoteMax;
    if (cut)
        length = kQuoteMax;
    memcpy(quote, text + offset, length);
    strcpy(quote + length, cut ? "..." : "");
}

// Where block line `line` (from 1) starts in the text, or null.
const char *LineStart(const char *text, int32_t line) {
    const char *p = text;
    for (int32_t n = 1; n < line; ++n) {
        p = strchr(p, '\n');
        if (p == nullptr)
            return nullptr;
        ++p;
    }
    return p;
}

void ReportKeyedFindings(const Tag_Block_Check *check, const Tag_Timing_Block_Report *report) {
    const char *text = check->block->text;
    for (int32_t i = 0; i < report->finding_count; ++i) {
        const Tag_Block_Finding &f = report->findings[i];
        char quote[kQuoteMax + 4];
        QuoteLine(text, f.offset, quote);
        const char *key = FieldKey(f.field);
        switch (f.kind) {
        case Block_Finding::kMissingKey:
            Emit(check, 0, kRuleMissingKey, "no %s line: %s is missing", key,
                 FieldMeaning(f.field));
            break;
        case Block_Finding::kDuplicateKey:
            Emit(check, f.line, kRuleDuplicateKey, "%s given again (first on line %d): \"%s\"", key,
                 check->block->header_line + report->fields[f.field].line, quote);
            break;
        case Block_Finding::kUnknownKey:
            Emit(check, f.line, kRuleUnknownKey, "unknown key: \"%s\"", quote);
            break;
        case Block_Finding::kNotKeyValue:
            Emit(check, f.line, kRuleNotKeyValue,
                 "neither a \"key=value\" line nor a comment: \"%s\"", quote);
            break;
        case Block_Finding::kBadNumber:
            Emit(check, f.line, kRuleBadNumber, "\"%s\": %s", quote,
                 f.field == kFieldHdr   ? "not a decimal number of MHz (e.g. 25.175mHz)"
                 : f.field == kFieldVlr ? "not a whole number of Hz (e.g. 60Hz)"
                                        : "not a whole number");
            break;
        case Block_Finding::kOutOfRange:
            Emit(check, f.line, kRuleBadNumber, "\"%s\": a number too large to be %s", quote,
                 FieldMeaning(f.field));
            break;
        case Block_Finding::kBadPolarity:
            Emit(check, f.line, kRuleBadPolarity,
                 "\"%s\": neither positive nor negative; the installer takes it as negative",
                 quote);
            break;
        default:
            break;
        }
    }
    if (report->dropped_findings > 0)
        Emit(check, 0, kRuleTooManyFindings,
             "%d more faulty lines of this block are not shown; they may hold errors",
             report->dropped_findings);
}

// The positional reading against the keyed one: the line each slot is read
// from, and the polarity words the installer reads differently.
void CheckSlots(const Tag_Block_Check *check, const Tag_Timing_Block_Report *report) {
    const char *text = check->block->text;
    const char *slots[TIMING_SLOTS];
    int found = FindTimingSlots(text, slots);
    if (found < TIMING_SLOTS) {
        Emit(check, 0, kRuleSlotShift,
             "the installer finds %d of the 14 fields by their '=' signs and stores no "
             "\"CrtTiming\" for this block",
             found);
        return;
    }
    int32_t slot_line[TIMING_SLOTS];
    int32_t line = 1;
    const char *p = text;
    for (int slot = 0; slot < TIMING_SLOTS; ++slot) {
        line += static_cast<int32_t>(std::count(p, slots[slot], '\n'));
        p = slots[slot];
        slot_line[slot] = line;
    }
    int first = -1;
    int shifted = 0;
    for (int slot = 0; slot < TIMING_SLOTS; ++slot) {
        if (slot_line[slot] != report->fields[slot].line) {
            shifted += 1;
            if (first < 0)
                first = slot;
        }
    }
    if (first >= 0) {
        char quote[kQuoteMax + 4];
        QuoteLine(text, static_cast<size_t>(LineStart(text, slot_line[first]) - text), quote);
        Emit(check, slot_line[first], kRuleSlotShift,
             "the installer reads slot %d (%s) from this line, \"%s\"; %d of the 14 slots are "
             "read from other lines than their keys'",
             first, FieldKey(first), quote, shifted);
        return;
    }
    for (int field : {kFieldHp, kFieldVp}) {
        const Tag_Block_Field &keyed = report->fields[field];
        if (keyed.finding != Block_Finding::kNone)
            continue;
        bool positive =
            field == kFieldHp ? report->timing.h_sync_positive : report->timing.v_sync_positive;
        if ((ReadPolaritySlot(slots[field]) != 0) != positive) {
            char quote[kQuoteMax + 4];
            QuoteLine(text, static_cast<size_t>(LineStart(text, keyed.line) - text), quote);
            Emit(check, keyed.line, kRuleSlotShift,
                 "the installer reads \"%s\" as %s: it takes the word right after the '='", quote,
                 positive ? "negative" : "positive");
        }
    }
}

// A whole decimal number (the id's width, height or refresh), or -1.
int64_t IdNumber(const char *text, size_t length) {
    if (length == 0 || length > 9)
        return -1;
    int64_t value = 0;
    for (size_t i = 0; i < length; ++i) {
        if (text[i] < '0' || text[i] > '9')
            return -1;
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

// Whether every field wanted was given and read.
bool Read(const Tag_Timing_Block_Report *report, std::initializer_list<int> wanted) {
    for (int field : wanted)
        if (report->fields[field].line == 0 ||
            report->fields[field].finding != Block_Finding::kNone)
            return false;
    return true;
}

// Zero syncs, negative porches and totals not above 0; whether there are
// none.
bool CheckShape(const Tag_Block_Check *check, const Tag_Timing_Block_Report *report) {
    const Tag_Video_Timing &t = report->timing;
    const Tag_Block_Field *fields = report->fields;
    struct Count {
        int field;
        int64_t value;
    };
    bool shape_ok = true;
    for (Count sync : {Count{kFieldHsp, t.h_sync}, Count{kFieldVsp, t.v_sync}}) {
        if (Read(report, {sync.field}) && sync.value == 0) {
            Emit(check, fields[sync.field].line, kRuleZeroField, "%s=0: %s is zero",
                 FieldKey(sync.field), FieldMeaning(sync.field));
            shape_ok = false;
        }
    }
    for (Count porch : {Count{kFieldHfp, t.h_front_porch}, Count{kFieldHbp, t.h_back_porch},
                        Count{kFieldVfp, t.v_front_porch}, Count{kFieldVbp, t.v_back_porch}}) {
        if (Read(report, {porch.field}) && porch.value < 0) {
            Emit(check, fields[porch.field].line, kRuleZeroField, "%s=%lld: a negative porch",
                 FieldKey(porch.field), static_cast<long long>(porch.value));
            shape_ok = false;
        }
    }
    if (Read(report, {kFieldHad, kFieldHfp, kFieldHsp, kFieldHbp}) && GetTimingHTotal(&t) <= 0) {
        Emit(check, 0, kRuleZeroField, "a horizontal total of %lld",
             static_cast<long long>(GetTimingHTotal(&t)));
        shape_ok = false;
    }
    if (Read(report, {kFieldVad, kFieldVfp, kFieldVsp, kFieldVbp}) && GetTimingVTotal(&t) <= 0) {
        Emit(check, 0, kRuleZeroField, "a vertical total of %lld",
             static_cast<long long>(GetTimingVTotal(&t)));
        shape_ok = false;
    }
    return shape_ok;
}

// had, vad and vlr against the block's id "WxH" and its refresh text.
void CheckId(const Tag_Block_Check *check, const Tag_Timing_Block_Report *report) {
    const Tag_Video_Timing &t = report->timing;
    const char *id = check->block->res_id_string;
    size_t width_length = strcspn(id, "x");
    int64_t width = IdNumber(id, width_length);
    int64_t height = id[width_length] == 'x'
                         ? IdNumber(id + width_length + 1, strlen(id + width_length + 1))
                         : -1;
    int64_t refresh = IdNumber(check->block->refresh_string, strlen(check->block->refresh_string));
    struct IdCheck {
        int field;
        int64_t value;
        int64_t wanted;
        const char *what;
    };
    for (IdCheck c : {IdCheck{kFieldHad, t.h_active, width, "width"},
                      IdCheck{kFieldVad, t.v_active, height, "height"},
                      IdCheck{kFieldVlr, t.nominal_refresh, refresh, "refresh"}}) {
        if (Read(report, {c.field}) && c.wanted >= 0 && c.value != c.wanted)
            Emit(check, report->fields[c.field].line, kRuleIdMismatch,
                 "%s=%lld, but the block's id says %s %lld", FieldKey(c.field),
                 static_cast<long long>(c.value), c.what, static_cast<long long>(c.wanted));
    }
}

// The clock, the frequencies and vlr against each other and the range, where
// the block has a shape to compute them from.
void CheckRates(const Tag_Block_Check *check, const Tag_Timing_Block_Report *report,
                const Tag_Lint_Range *range, bool shape_ok) {
    const Tag_Video_Timing &t = report->timing;
    const Tag_Block_Field *fields = report->fields;
    bool clock = Read(report, {kFieldHdr}) && t.clock_hz > 0;
    if (range != nullptr && clock && static_cast<double>(t.clock_hz) > range->clock_max)
        Emit(check, fields[kFieldHdr].line, kRuleOutOfRange,
             "pixel clock %.3f MHz is above the monitor's %g MHz",
             static_cast<double>(t.clock_hz) / 1e6, range->clock_max / 1e6);
    if (!shape_ok || !clock || !Read(report, {kFieldHad, kFieldHfp, kFieldHsp, kFieldHbp}))
        return;
    double h_freq = GetTimingHFreq(&t);
    if (range != nullptr && (h_freq < range->h_min || h_freq > range->h_max))
        Emit(check, fields[kFieldHdr].line, kRuleOutOfRange,
             "horizontal frequency %.3f kHz is outside the monitor's %g-%g kHz", h_freq / 1e3,
             range->h_min / 1e3, range->h_max / 1e3);
    if (!Read(report, {kFieldVad, kFieldVfp, kFieldVsp, kFieldVbp}))
        return;
    double computed = GetTimingRefresh(&t);
    bool vlr = Read(report, {kFieldVlr});
    if (vlr && fabs(computed - static_cast<double>(t.nominal_refresh)) >= 1.0)
        Emit(check, fields[kFieldVlr].line, kRuleRefreshMismatch,
             "the clock and the totals give %.2f Hz, but vlr says %lld Hz", computed,
             static_cast<long long>(t.nominal_refresh));
    if (range != nullptr && (computed < range->v_min || computed > range->v_max))
        Emit(check, vlr ? fields[kFieldVlr].line : 0, kRuleOutOfRange,
             "refresh %.2f Hz is outside the monitor's %g-%g Hz", computed, range->v_min,
             range->v_max);
}

} // namespace

void LintTimingBlock(const Tag_Lint_Block *block, const Tag_Lint_Range *range, Lint_Sink sink,
                     void *context) {
    Tag_Block_Check check{block, sink, context};
    Tag_Timing_Block_Report report;
    ParseTimingBlock(block->text, &report);
    ReportKeyedFindings(&check, &report);
    CheckSlots(&check, &report);
    bool shape_ok = CheckShape(&check, &report);
    CheckId(&check, &report);
    CheckRates(&check, &report, range, shape_ok);
}

namespace {

// What the table of MarkUsedBlocks holds for a block.
const unsigned char kListed = 1;  // a monitor lists it
const unsigned char kInRange = 2; // the range applies to it

// Which blocks the monitors use, and which range_monitor lists (every block
// when it is null), by position: a table of the blocks' count (at least 1
// byte), or null when memory runs out.
unsigned char *MarkUsedBlocks(const Tag_Monitor_Entry *range_monitor) {
    size_t blocks = 0;
    for (const Tag_Timing_Info *t = GetTimingInfoHead(); t != nullptr; t = t->next)
        blocks = std::max(blocks, static_cast<size_t>(t->index) + 1);
    unsigned char *used = static_cast<unsigned char *>(calloc(blocks > 0 ? blocks : 1, 1));
    if (used == nullptr)
        return nullptr;
    if (range_monitor == nullptr)
        memset(used, kInRange, blocks);
    for (const Tag_Monitor_Entry *m = GetMonitorEntryHead(); m != nullptr; m = m->next)
        for (const Tag_Resolution_Entry *r = m->res_list; r != nullptr; r = r->next)
            if (r->timing_info != nullptr && r->timing_info->index >= 0)
                used[r->timing_info->index] |= m == range_monitor ? kListed | kInRange : kListed;
    return used;
}

// Every block's rules (the range where it applies), and whether a monitor
// lists it.
void LintBlocks(const Tag_Lint_Range *range, const unsigned char *used, Lint_Sink sink,
                void *context) {
    for (const Tag_Timing_Info *t = GetTimingInfoHead(); t != nullptr; t = t->next) {
        int32_t first = 0;
        int32_t last = 0;
        GetResDatTimingLines(t, &first, &last);
        Tag_Lint_Block block{t->info_block, t->res_id_string, t->refresh_string, first};
        const bool in_range = t->index >= 0 && (used[t->index] & kInRange) != 0;
        LintTimingBlock(&block, in_range ? range : nullptr, sink, context);
        if (t->index >= 0 && (used[t->index] & kListed) != 0)
            continue;
        char id[kResDatLineSize];
        ComposeTimingId(id, sizeof id, t);
        EmitForFile(sink, context, first, kRuleUnusedBlock, "no monitor lists block %s", id);
    }
}

// A table of one monitor's resolutions by their text (ignoring case): slots
// of entries, NameTableSlots of the longest list.
struct Tag_Resolution_Table {
    const Tag_Resolution_Entry **slots;
    size_t mask;
};

// A resolution a monitor lists again, at the line of the repeat, naming the
// block of the first.
void LintMonitorResolutions(const Tag_Monitor_Entry *monitor, Tag_Resolution_Table table,
                            Lint_Sink sink, void *context) {
    memset(table.slots, 0, (table.mask + 1) * sizeof *table.slots);
    for (const Tag_Resolution_Entry *r = monitor->res_list; r != nullptr; r = r->next) {
        const size_t i =
            FindNameSlot(table.slots, table.mask, AsciiHashIgnoringCase(r->res_id_string),
                         [r](const Tag_Resolution_Entry *listed) {
                             return AsciiEqualIgnoringCase(listed->res_id_string, r->res_id_string);
                         });
        const Tag_Resolution_Entry *first = table.slots[i];
        if (first == nullptr) {
            table.slots[i] = r;
            continue;
        }
        char id[kResDatLineSize] = "";
        if (first->timing_info != nullptr)
            ComposeTimingId(id, sizeof id, first->timing_info);
        int32_t line = 0;
        GetResDatResolutionLine(r, &line);
        EmitForFile(sink, context, line, kRuleDuplicateMode,
                    "monitor %s lists %s again: the installer and the tools use only the first, "
                    "block %s",
                    monitor->monitor_id_string, r->res_id_string, id);
    }
}

// Every monitor's list of resolutions; false when memory runs out.
bool LintMonitors(Lint_Sink sink, void *context) {
    size_t longest = 1;
    for (const Tag_Monitor_Entry *m = GetMonitorEntryHead(); m != nullptr; m = m->next) {
        size_t count = 0;
        for (const Tag_Resolution_Entry *r = m->res_list; r != nullptr; r = r->next)
            ++count;
        longest = std::max(longest, count);
    }
    const size_t slots = NameTableSlots(longest);
    Tag_Resolution_Table table{
        static_cast<const Tag_Resolution_Entry **>(malloc(slots * sizeof(Tag_Resolution_Entry *))),
        slots - 1};
    if (table.slots == nullptr)
        return false;
    for (const Tag_Monitor_Entry *m = GetMonitorEntryHead(); m != nullptr; m = m->next)
        LintMonitorResolutions(m, table, sink, context);
    free(table.slots);
    return true;
}

// The rules of the installer's monitor "Generic" and of the file's end.
void LintFile(Lint_Sink sink, void *context) {
    if (int32_t dropped = GetResDatDroppedLine())
        EmitForFile(sink, context, dropped, kRuleDroppedLine,
                    "the file's last line has no line end: the installer drops it");
    const Tag_Monitor_Entry *generic = FindMonitorEntry("Generic", GetMonitorEntryHead());
    if (generic == nullptr) {
        EmitForFile(sink, context, 0, kRuleNoGeneric,
                    "no monitor \"Generic\": the installer stores no \"CrtTiming\"");
        return;
    }
    const char *mode = GetDefaultRes();
    if (mode == nullptr)
        return;
    for (const Tag_Resolution_Entry *r = generic->res_list; r != nullptr; r = r->next)
        if (r->timing_info != nullptr &&
            AsciiEqualIgnoringCase(r->timing_info->res_id_string, mode))
            return;
    int32_t first = 0;
    int32_t last = 0;
    GetResDatMonitorLines(generic, &first, &last);
    EmitForFile(sink, context, first, kRuleDefmodeMissing,
                "monitor %s offers no block of the DefMode size %s", generic->monitor_id_string,
                mode);
}

} // namespace

bool LintDatabase(const Tag_Lint_Range *range, const Tag_Monitor_Entry *range_monitor,
                  Lint_Sink sink, void *context) {
    unsigned char *used = MarkUsedBlocks(range_monitor);
    if (used == nullptr)
        return false;
    LintBlocks(range, used, sink, context);
    free(used);
    if (!LintMonitors(sink, context))
        return false;
    LintFile(sink, context);
    return true;
}

// A decimal number at *p (digits, one optional point), moving *p past it.
static bool ReadDecimal(const char **p, double *value) {
    char *end = nullptr;
    if (!((**p >= '0' && **p <= '9') || **p == '.'))
        return false;
    *value = strtod(*p, &end);
    if (end == *p)
        return false;
    *p = end;
    return true;
}

bool ParseLintRange(const char *text, Tag_Lint_Range *range, const char **fault) {
    const char *why = nullptr;
    double v[5];
    const char *p = text;
    const char separators[] = "-,-,";
    for (int i = 0; i < 5 && why == nullptr; ++i) {
        if (!ReadDecimal(&p, &v[i]) || (i < 4 && *p++ != separators[i]))
            why = "not of the form HMIN-HMAX,VMIN-VMAX,CLOCKMAX";
    }
    if (why == nullptr && *p != '\0')
        why = "not of the form HMIN-HMAX,VMIN-VMAX,CLOCKMAX";
    else if (why == nullptr && v[0] > v[1])
        why = "horizontal minimum above maximum";
    else if (why == nullptr && v[2] > v[3])
        why = "vertical minimum above maximum";
    else if (why == nullptr && v[4] <= 0)
        why = "a clock maximum that is not above 0";
    if (why != nullptr) {
        if (fault != nullptr)
            *fault = why;
        return false;
    }
    *range = Tag_Lint_Range{v[0] * 1e3, v[1] * 1e3, v[2], v[3], v[4] * 1e6};
    return true;
}
