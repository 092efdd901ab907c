// The lint of one timing block on arbitrary text: every finding names a line
// of the block (or its header) and a sentence; and a block lint finds nothing
// wrong with is one the installer reads as the keys say: the same counts in
// the same slots, the refresh in slot 7, the same polarities.
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <string>

#include "fuzz_common.h"
#include "install/crt_timing.h"
#include "timing/timing.h"
#include "tools/lint/lint.h"

namespace {

struct Tag_Fuzz_Lint {
    int32_t first_line;
    int32_t last_line;
    long findings;
};

void Check(void *context, const Tag_Lint_Finding *finding) {
    Tag_Fuzz_Lint *lint = static_cast<Tag_Fuzz_Lint *>(context);
    ++lint->findings;
    if (finding->line < lint->first_line || finding->line > lint->last_line)
        Broken("a finding outside the block", std::to_string(finding->line));
    if (finding->rule < 0 || finding->rule >= kLintRuleCount)
        Broken("a finding of no rule");
    if (memchr(finding->text, '\0', sizeof finding->text) == nullptr || finding->text[0] == '\0')
        Broken("a finding without a sentence");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size > 5119)
        return 0; // a block of the data file holds at most 5119 characters
    std::string text(reinterpret_cast<const char *>(data), size);
    text = text.substr(0, text.find('\0'));
    int32_t lines = static_cast<int32_t>(std::count(text.begin(), text.end(), '\n')) + 1;
    Tag_Fuzz_Lint lint{100, 100 + lines, 0};
    Tag_Lint_Block block{text.c_str(), "640x480", "60", 100};
    Tag_Lint_Range range{30e3, 70e3, 50, 120, 110e6};
    LintTimingBlock(&block, &range, Check, &lint);
    if (lint.findings > 0)
        return 0;

    Tag_Timing_Block_Report report;
    uint32_t slots[TIMING_SLOTS];
    if (!ParseTimingBlock(text.c_str(), &report) || EncodeTimingBlock(text.c_str(), 0, slots) < 0)
        Broken("a clean block that is not whole");
    const Tag_Video_Timing &t = report.timing;
    const int64_t counts[TIMING_SLOTS] = {-1,
                                          t.h_sync,
                                          t.h_back_porch,
                                          t.h_active,
                                          t.h_front_porch,
                                          t.h_cursor_offset,
                                          -1,
                                          t.nominal_refresh,
                                          t.v_sync,
                                          t.v_back_porch,
                                          t.v_active,
                                          t.v_front_porch,
                                          t.v_cursor_offset,
                                          -1};
    for (int slot = 0; slot < TIMING_SLOTS; ++slot)
        if (counts[slot] >= 0 && counts[slot] <= INT32_MAX && slots[slot] != counts[slot])
            Broken("a clean block the installer reads otherwise", timing_field_keys[slot]);
    if (slots[6] != (t.h_sync_positive ? 1u : 0u) || slots[13] != (t.v_sync_positive ? 1u : 0u))
        Broken("a clean block whose polarities the installer reads otherwise");
    return 0;
}
