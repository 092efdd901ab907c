// Helpers shared by the modules of the timing library; not part of its
// interface.
#ifndef ORVEX_TIMING_INTERNAL_H
#define ORVEX_TIMING_INTERNAL_H

#include <stddef.h>
#include <stdint.h>

#include <string_view>

#include "common/ascii.h"
#include "timing/timing.h"

// A bounded output text. Appends stop at the end of the buffer and set
// overflow; the text is NUL-terminated after every append (when size > 0).
struct Tag_Text_Sink {
    char *buffer;
    size_t size;   // bytes of the buffer, NUL included
    size_t length; // characters written
    bool overflow; // something did not fit
};

void StartText(Tag_Text_Sink *sink, char *buffer, size_t size);
void AppendText(Tag_Text_Sink *sink, std::string_view text);
void AppendInteger(Tag_Text_Sink *sink, int64_t value);
// A number of thousandths as a decimal with three decimals ("-1.005").
void AppendThousandths(Tag_Text_Sink *sink, int64_t thousandths);
// A clock as MHz with three decimals ("25.175"), rounded as GetClockKhz.
void AppendMhz(Tag_Text_Sink *sink, int64_t clock_hz);
// The low digits hex digits of value, lower case, after "0x" ("0x0f").
void AppendHex(Tag_Text_Sink *sink, uint64_t value, int32_t digits);

// A piece of outside text in single quotes, at most 40 characters of it
// (then "..."), with control characters, quotes, backslashes and bytes above
// 126 as \xNN, so that it stays one line of plain text.
void AppendQuoted(Tag_Text_Sink *sink, std::string_view text);

// Start the reason of a refusal: sets the code and returns a sink over the
// reason (a sink of size 0 when error is null). A reason too long for its
// buffer is cut short.
Tag_Text_Sink StartReason(Tag_Timing_Error *error, Timing_Error_Code code);

inline bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r';
}

// The text without leading and trailing blanks (space, tab, carriage return).
inline std::string_view TrimBlanks(std::string_view text) {
    size_t first = 0;
    size_t end = text.size();
    while (first < end && IsBlank(text[first]))
        ++first;
    while (end > first && IsBlank(text[end - 1]))
        --end;
    return text.substr(first, end - first);
}

// Read text, all of it, as a decimal number: an optional sign (when
// allow_sign), digits, and when fraction_digits > 0 an optional "." with
// digits (at least one digit in all). The value is the number times
// 10^fraction_digits, rounded to the nearest whole number (halves away from
// zero). Magnitudes above limit are Scan_Result::kOutOfRange; the value is then 0.
enum class Scan_Result { kOk, kNotNumber, kOutOfRange };
Scan_Result ScanDecimal(std::string_view text, bool allow_sign, int32_t fraction_digits,
                        int64_t limit, int64_t *value);

#endif
