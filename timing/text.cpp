// Bounded text output and decimal number scanning for the timing library.
#include <string.h>

#include "timing/internal.h"

void StartText(Tag_Text_Sink *sink, char *buffer, size_t size) {
    sink->buffer = buffer;
    sink->size = buffer != nullptr ? size : 0;
    sink->length = 0;
    sink->overflow = false;
    if (sink->size > 0)
        buffer[0] = '\0';
}

void AppendText(Tag_Text_Sink *sink, std::string_view text) {
    if (sink->size == 0) {
        sink->overflow = sink->overflow || !text.empty();
        return;
    }
    size_t room = sink->size - 1 - sink->length;
    size_t n = text.size();
    if (n > room) {
        n = room;
        sink->overflow = true;
    }
    memcpy(sink->buffer + sink->length, text.data(), n);
    sink->length += n;
    sink->buffer[sink->length] = '\0';
}

void AppendInteger(Tag_Text_Sink *sink, int64_t value) {
    char digits[24];
    size_t at = sizeof digits;
    // Work on the magnitude as unsigned, so that INT64_MIN needs no special case.
    uint64_t magnitude =
        value < 0 ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
    do {
        digits[--at] = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    if (value < 0)
        digits[--at] = '-';
    AppendText(sink, std::string_view(digits + at, sizeof digits - at));
}

void AppendThousandths(Tag_Text_Sink *sink, int64_t thousandths) {
    // The magnitude as unsigned, so that INT64_MIN needs no special case.
    uint64_t magnitude = thousandths < 0 ? 0 - static_cast<uint64_t>(thousandths)
                                         : static_cast<uint64_t>(thousandths);
    if (thousandths < 0)
        AppendText(sink, "-");
    char digits[24];
    size_t at = sizeof digits;
    uint64_t whole = magnitude / 1000;
    do {
        digits[--at] = static_cast<char>('0' + whole % 10);
        whole /= 10;
    } while (whole != 0);
    AppendText(sink, std::string_view(digits + at, sizeof digits - at));
    uint64_t part = magnitude % 1000;
    char fraction[4] = {'.', static_cast<char>('0' + part / 100),
                        static_cast<char>('0' + part / 10 % 10),
                        static_cast<char>('0' + part % 10)};
    AppendText(sink, std::string_view(fraction, sizeof fraction));
}

void AppendMhz(Tag_Text_Sink *sink, int64_t clock_hz) {
    AppendThousandths(sink, GetClockKhz(clock_hz));
}

void AppendHex(Tag_Text_Sink *sink, uint64_t value, int32_t digits) {
    static const char kDigits[] = "0123456789abcdef";
    char text[18] = {'0', 'x'};
    if (digits > 16)
        digits = 16;
    for (int32_t i = 0; i < digits; ++i)
        text[2 + i] = kDigits[(value >> (4 * (digits - 1 - i))) & 15];
    AppendText(sink, std::string_view(text, 2 + static_cast<size_t>(digits > 0 ? digits : 0)));
}

void AppendQuoted(Tag_Text_Sink *sink, std::string_view text) {
    const size_t kShownMax = 40;
    static const char kHex[] = "0123456789abcdef";
    AppendText(sink, "'");
    for (size_t i = 0; i < text.size() && i < kShownMax; ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (c < 32 || c > 126 || c == '\'' || c == '\\') {
            char escaped[4] = {'\\', 'x', kHex[c >> 4], kHex[c & 15]};
            AppendText(sink, std::string_view(escaped, sizeof escaped));
        } else {
            AppendText(sink, std::string_view(text.data() + i, 1));
        }
    }
    AppendText(sink, text.size() > kShownMax ? "'..." : "'");
}

Tag_Text_Sink StartReason(Tag_Timing_Error *error, Timing_Error_Code code) {
    Tag_Text_Sink sink;
    if (error == nullptr) {
        StartText(&sink, nullptr, 0);
        return sink;
    }
    error->code = code;
    StartText(&sink, error->reason, sizeof error->reason);
    return sink;
}

Scan_Result ScanDecimal(std::string_view text, bool allow_sign, int32_t fraction_digits,
                        int64_t limit, int64_t *value) {
    *value = 0;
    size_t at = 0;
    bool negative = false;
    if (allow_sign && at < text.size() && (text[at] == '+' || text[at] == '-')) {
        negative = text[at] == '-';
        ++at;
    }
    // The magnitude, scaled by 10^fraction_digits, stops growing once it is
    // beyond the limit, so it never overflows; the verdict waits until the
    // whole text is known to be a number.
    const uint64_t cap = static_cast<uint64_t>(limit);
    uint64_t magnitude = 0;
    bool beyond = false;
    bool any_digit = false;
    bool round_up = false;
    int32_t scale_left = fraction_digits;
    auto push = [&](int digit) {
        if (beyond)
            return;
        if (magnitude > cap / 10) {
            beyond = true;
            return;
        }
        magnitude = magnitude * 10 + static_cast<uint64_t>(digit); // at most cap + 9
        beyond = magnitude > cap;
    };
    for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at) {
        push(text[at] - '0');
        any_digit = true;
    }
    if (at < text.size() && text[at] == '.' && fraction_digits > 0) {
        ++at;
        for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at) {
            if (scale_left > 0) {
                push(text[at] - '0');
                --scale_left;
            } else if (scale_left == 0) {
                round_up = text[at] >= '5'; // only the first dropped digit decides
                scale_left = -1;
            }
            any_digit = true;
        }
    }
    if (!any_digit || at != text.size())
        return Scan_Result::kNotNumber;
    for (; scale_left > 0; --scale_left)
        push(0);
    if (round_up && !beyond) {
        ++magnitude;
        beyond = magnitude > cap;
    }
    if (beyond)
        return Scan_Result::kOutOfRange;
    *value = negative ? -static_cast<int64_t>(magnitude) : static_cast<int64_t>(magnitude);
    return Scan_Result::kOk;
}
