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
#include "install/crt_timing.h"
#include "timing/timing.h"

const Tag_Lint_Rule_Info kLintRules[kLintRuleCount] = {
    {"slot-shift", true},       {"missing-key", true},      {"duplicate-key", true},
    {"unknown-key", false},     {"bad-number", true},       {"bad-polarity", false},
    {"id-mismatch", true},      {"refresh-mismatch", true}, {"zero-field", true},
    {"out-of-range", true},     {"unused-block", false},    {"no-generic", false},
    {"defmode-missing", false},
};

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

// The longest part of a line a sentence quotes.
const size_t kQuoteMax = 60;

struct Tag_Block_Check {
    const Tag_Lint_Block *block;
    Lint_Sink sink;
    void *context;
};

void Emit(const Tag_Block_Check *check, int32_t block_line, Lint_Rule rule, const char *format,
          ...) {
    Tag_Lint_Finding finding;
    finding.line = check->block->header_line + block_line;
    finding.rule = rule;
    va_list args;
    va_start(args, format);
    vsnprintf(finding.text, sizeof finding.text, format, args);
    va_end(args);
    check->sink(check->context, &finding);
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
        const char *key = f.field >= 0 ? timing_field_keys[f.field] : "";
        switch (f.kind) {
        case Block_Finding::kMissingKey:
            Emit(check, 0, kRuleMissingKey, "no %s line: %s is missing", key,
                 kFieldMeaning[f.field]);
            break;
        case Block_Finding::kDuplicateKey:
            Emit(check, f.line, kRuleDuplicateKey, "%s given again (first on line %d): \"%s\"", key,
                 check->block->header_line + report->fields[f.field].line, quote);
            break;
        case Block_Finding::kUnknownKey:
            Emit(check, f.line, kRuleUnknownKey, "unknown key: \"%s\"", quote);
            break;
        case Block_Finding::kNotKeyValue:
            Emit(check, f.line, kRuleUnknownKey,
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
                 kFieldMeaning[f.field]);
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
        Emit(check, 0, kRuleUnknownKey, "%d more lines of this block are not shown",
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
             first, timing_field_keys[first], quote, shifted);
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

// The rules on the numbers, each where the fields it needs were read.
void CheckNumbers(const Tag_Block_Check *check, const Tag_Timing_Block_Report *report,
                  const Tag_Lint_Range *range) {
    const Tag_Video_Timing &t = report->timing;
    const Tag_Block_Field *fields = report->fields;
    auto read = [fields](std::initializer_list<int> wanted) {
        for (int field : wanted)
            if (fields[field].line == 0 || fields[field].finding != Block_Finding::kNone)
                return false;
        return true;
    };
    struct Count {
        int field;
        int64_t value;
    };
    bool shape_ok = true;
    for (Count sync : {Count{kFieldHsp, t.h_sync}, Count{kFieldVsp, t.v_sync}}) {
        if (read({sync.field}) && sync.value == 0) {
            Emit(check, fields[sync.field].line, kRuleZeroField, "%s=0: %s is zero",
                 timing_field_keys[sync.field], kFieldMeaning[sync.field]);
            shape_ok = false;
        }
    }
    for (Count porch : {Count{kFieldHfp, t.h_front_porch}, Count{kFieldHbp, t.h_back_porch},
                        Count{kFieldVfp, t.v_front_porch}, Count{kFieldVbp, t.v_back_porch}}) {
        if (read({porch.field}) && porch.value < 0) {
            Emit(check, fields[porch.field].line, kRuleZeroField, "%s=%lld: a negative porch",
                 timing_field_keys[porch.field], static_cast<long long>(porch.value));
            shape_ok = false;
        }
    }
    bool horizontal = read({kFieldHad, kFieldHfp, kFieldHsp, kFieldHbp});
    bool vertical = read({kFieldVad, kFieldVfp, kFieldVsp, kFieldVbp});
    if (horizontal && GetTimingHTotal(&t) <= 0) {
        Emit(check, 0, kRuleZeroField, "a horizontal total of %lld",
             static_cast<long long>(GetTimingHTotal(&t)));
        shape_ok = false;
    }
    if (vertical && GetTimingVTotal(&t) <= 0) {
        Emit(check, 0, kRuleZeroField, "a vertical total of %lld",
             static_cast<long long>(GetTimingVTotal(&t)));
        shape_ok = false;
    }

    // The id "WxH" and its refresh text.
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
        if (read({c.field}) && c.wanted >= 0 && c.value != c.wanted)
            Emit(check, fields[c.field].line, kRuleIdMismatch,
                 "%s=%lld, but the block's id says %s %lld", timing_field_keys[c.field],
                 static_cast<long long>(c.value), c.what, static_cast<long long>(c.wanted));
    }

    bool clock = read({kFieldHdr}) && t.clock_hz > 0;
    if (range != nullptr && clock && static_cast<double>(t.clock_hz) > range->clock_max)
        Emit(check, fields[kFieldHdr].line, kRuleOutOfRange,
             "pixel clock %.3f MHz is above the monitor's %g MHz",
             static_cast<double>(t.clock_hz) / 1e6, range->clock_max / 1e6);
    if (!shape_ok || !clock || !horizontal)
        return;
    double h_freq = GetTimingHFreq(&t);
    if (range != nullptr && (h_freq < range->h_min || h_freq > range->h_max))
        Emit(check, fields[kFieldHdr].line, kRuleOutOfRange,
             "horizontal frequency %.3f kHz is outside the monitor's %g-%g kHz", h_freq / 1e3,
             range->h_min / 1e3, range->h_max / 1e3);
    if (!vertical)
        return;
    double computed = GetTimingRefresh(&t);
    if (read({kFieldVlr}) && fabs(computed - static_cast<double>(t.nominal_refresh)) >= 1.0)
        Emit(check, fields[kFieldVlr].line, kRuleRefreshMismatch,
             "the clock and the totals give %.2f Hz, but vlr says %lld Hz", computed,
             static_cast<long long>(t.nominal_refresh));
    if (range != nullptr && (computed < range->v_min || computed > range->v_max))
        Emit(check, read({kFieldVlr}) ? fields[kFieldVlr].line : 0, kRuleOutOfRange,
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
    CheckNumbers(&check, &report, range);
}

bool LintDatabase(const Tag_Lint_Range *range, Lint_Sink sink, void *context) {
    // Which blocks the monitors use, by position.
    size_t blocks = 0;
    for (const Tag_Timing_Info *t = GetTimingInfoHead(); t != nullptr; t = t->next)
        blocks =
            static_cast<size_t>(t->index) + 1 > blocks ? static_cast<size_t>(t->index) + 1 : blocks;
    unsigned char *used = static_cast<unsigned char *>(malloc(blocks > 0 ? blocks : 1));
    if (used == nullptr)
        return false;
    memset(used, 0, blocks);
    for (const Tag_Monitor_Entry *m = GetMonitorEntryHead(); m != nullptr; m = m->next)
        for (const Tag_Resolution_Entry *r = m->res_list; r != nullptr; r = r->next)
            if (r->timing_info != nullptr && r->timing_info->index >= 0)
                used[r->timing_info->index] = 1;

    for (const Tag_Timing_Info *t = GetTimingInfoHead(); t != nullptr; t = t->next) {
        int32_t first = 0;
        int32_t last = 0;
        GetResDatTimingLines(t, &first, &last);
        Tag_Lint_Block block{t->info_block, t->res_id_string, t->refresh_string, first};
        LintTimingBlock(&block, range, sink, context);
        if (t->index < 0 || !used[t->index]) {
            Tag_Block_Check check{&block, sink, context};
            Emit(&check, 0, kRuleUnusedBlock, "no monitor lists block T%d:%sx%s",
                 static_cast<int>(t->index), t->res_id_string, t->refresh_string);
        }
    }
    free(used);

    const Tag_Monitor_Entry *generic = FindMonitorEntry("Generic", GetMonitorEntryHead());
    Tag_Lint_Block whole{"", "", "", 0};
    Tag_Block_Check file{&whole, sink, context};
    if (generic == nullptr) {
        Emit(&file, 0, kRuleNoGeneric,
             "no monitor \"Generic\": the installer stores no \"CrtTiming\"");
        return true;
    }
    const char *mode = GetDefaultRes();
    if (mode == nullptr)
        return true;
    for (const Tag_Resolution_Entry *r = generic->res_list; r != nullptr; r = r->next)
        if (r->timing_info != nullptr &&
            AsciiEqualIgnoringCase(r->timing_info->res_id_string, mode))
            return true;
    int32_t first = 0;
    int32_t last = 0;
    GetResDatMonitorLines(generic, &first, &last);
    whole.header_line = first;
    Emit(&file, 0, kRuleDefmodeMissing, "monitor %s offers no block of the DefMode size %s",
         generic->monitor_id_string, mode);
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

bool ParseLintRange(const char *text, Tag_Lint_Range *range) {
    double v[5];
    const char *p = text;
    const char separators[] = "-,-,";
    for (int i = 0; i < 5; ++i) {
        if (!ReadDecimal(&p, &v[i]))
            return false;
        if (i < 4 && *p++ != separators[i])
            return false;
    }
    if (*p != '\0' || v[0] > v[1] || v[2] > v[3] || v[4] <= 0)
        return false;
    *range = Tag_Lint_Range{v[0] * 1e3, v[1] * 1e3, v[2], v[3], v[4] * 1e6};
    return true;
}
