// The keyed timing block reader on arbitrary text (up to the first NUL). The
// report must hold together: findings within the room, in line order, inside
// the text, one per field not read. Whatever model it gives is written within
// the documented room; a complete block, written and read back, gives the same
// model, clean; and a model in shape goes through a modeline unchanged.
#include <string.h>

#include <string>

#include "fuzz_common.h"
#include "tests/support/timing_fields.h"
#include "timing/modeline.h"
#include "timing/timing.h"

static void CheckReport(const Tag_Timing_Block_Report &report, size_t length) {
    if (report.finding_count < 0 || report.finding_count > kBlockFindingMax ||
        report.dropped_findings < 0)
        Broken("finding counts out of range");
    int32_t missing = 0;
    int32_t previous_line = 1;
    for (int32_t i = 0; i < report.finding_count; ++i) {
        const Tag_Block_Finding &f = report.findings[i];
        if (f.kind < Block_Finding::kMissingKey || f.kind > Block_Finding::kBadPolarity ||
            f.field < -1 || f.field >= kTimingFieldCount)
            Broken("a finding of no kind or field", std::to_string(i));
        if (f.kind == Block_Finding::kMissingKey) {
            if (f.line != 0 || f.field < 0 || report.fields[f.field].line != 0)
                Broken("a missing key that is there");
            ++missing;
            continue;
        }
        if (missing > 0 || f.line < previous_line || f.line > report.line_count)
            Broken("line findings out of order", std::to_string(f.line));
        if (f.offset > length || f.length > length - f.offset)
            Broken("a finding outside the text");
        previous_line = f.line;
    }
    bool complete = true;
    int32_t absent = 0;
    for (int32_t field = 0; field < kTimingFieldCount; ++field) {
        complete = complete && report.fields[field].finding == Block_Finding::kNone;
        absent += report.fields[field].line == 0;
    }
    if (complete != report.complete || missing != absent)
        Broken("the fields and the findings disagree");
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const std::string text(reinterpret_cast<const char *>(data), size);
    Tag_Timing_Block_Report report;
    bool complete = ParseTimingBlock(text.c_str(), &report);
    CheckReport(report, strlen(text.c_str()));

    char written[kTimingBlockTextSize];
    if (!FormatTimingBlock(&report.timing, written, sizeof written))
        Broken("a model read from a block does not fit the documented room");
    if (complete) {
        Tag_Timing_Block_Report back;
        if (!ParseTimingBlock(written, &back) || back.finding_count != 0 || back.line_count != 14)
            Broken("a written block does not read back complete and clean", written);
        if (TimingFields(back.timing) != TimingFields(report.timing))
            Broken("a written block reads back another model",
                   TimingFields(report.timing) + "\n" + TimingFields(back.timing));
    }

    (void)GetTimingRefresh(&report.timing);
    if (CheckTimingShape(&report.timing, nullptr)) {
        char line[kModelineTextSize];
        Tag_Video_Timing back;
        if (!FormatModeline(&report.timing, line, sizeof line, nullptr) ||
            !ParseModeline(line, &back, nullptr))
            Broken("a model in shape does not go through a modeline", TimingFields(report.timing));
        back.nominal_refresh = report.timing.nominal_refresh; // computed by the reader
        back.h_cursor_offset = report.timing.h_cursor_offset; // not in a modeline
        back.v_cursor_offset = report.timing.v_cursor_offset;
        if (TimingFields(back) != TimingFields(report.timing))
            Broken("a model comes back from a modeline changed", line);
    }
    return 0;
}
