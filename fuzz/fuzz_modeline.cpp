// The modeline reader on arbitrary text (up to the first NUL). A refusal has
// a code and a reason of one line; a line that reads is in shape, is written,
// and the written line reads back into the same numbers.
#include <string.h>

#include <string>

#include "fuzz_common.h"
#include "tests/support/timing_fields.h"
#include "timing/modeline.h"

static void CheckReason(const Tag_Timing_Error &error, const char *what) {
    CheckReasonText(error.reason, sizeof error.reason, what);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const std::string text(reinterpret_cast<const char *>(data), size);
    Tag_Video_Timing timing;
    Tag_Timing_Error error;
    if (!ParseModeline(text.c_str(), &timing, &error)) {
        if (error.code != Timing_Error_Code::kSyntax && error.code != Timing_Error_Code::kShape)
            Broken("a refusal with another code", std::to_string(static_cast<int32_t>(error.code)));
        CheckReason(error, "a refusal");
        return 0;
    }
    if (!CheckTimingShape(&timing, nullptr))
        Broken("a modeline read into a timing out of shape", TimingFields(timing));
    char line[kModelineTextSize];
    if (!FormatModeline(&timing, line, sizeof line, &error))
        Broken("a timing read from a modeline is not written", error.reason);
    Tag_Video_Timing back;
    if (!ParseModeline(line, &back, &error))
        Broken("a written modeline does not read back", std::string(line) + "\n" + error.reason);
    if (TimingFields(back) != TimingFields(timing))
        Broken("a written modeline reads back other numbers",
               std::string(line) + "\n" + TimingFields(timing) + "\n" + TimingFields(back));
    return 0;
}
