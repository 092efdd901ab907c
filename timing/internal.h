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

// The refresh of a timing rounded to the nearest whole Hz (halves up): the
// nominal refresh of a mode known only by its numbers (a DTD, a CTA-861
// format).
int64_t GetNearestWholeRefresh(const Tag_Video_Timing *timing);

// SVG pieces the pictures share (svg.cpp). A coordinate with one decimal
// ("123.4"); a frequency in Hz in units of scale Hz with three decimals; 8-bit
// text read as ISO 8859-1 as element content or attribute value (entities,
// character references, control characters as '?'), at most
// kTimingSvgTitleMax bytes of it, then "..."; the document's start (XML
// declaration, the svg element of the page's size, its title, a white page)
// and its end, which refuses, with Timing_Error_Code::kBuffer and "" in the buffer, a
// document that did not fit; attributes of coordinates (' x="12.0" ...', each
// name with its leading space); a <text> opened at x, y with extra attributes
// (the caller writes the content and closes it); a rectangle, with a stroke
// when one is given.
void AppendCoordinate(Tag_Text_Sink *sink, double value);
void AppendFrequency(Tag_Text_Sink *sink, double hz, double scale);
void AppendSvgText(Tag_Text_Sink *sink, std::string_view text);
void AppendSvgStart(Tag_Text_Sink *sink, int32_t width, int32_t height, std::string_view title);
void AppendSvgAttributes(Tag_Text_Sink *sink, const char *const names[], const double values[],
                         int32_t count);
void OpenSvgText(Tag_Text_Sink *sink, double x, double y, const char *extra);
void AppendSvgRect(Tag_Text_Sink *sink, double x, double y, double width, double height,
                   const char *fill, const char *stroke);
bool FinishSvg(Tag_Text_Sink *sink, char *buffer, size_t size, Tag_Timing_Error *error);

// The EDID base block's layout, which the decoder and the encoder share: the
// header, and the four 18-byte descriptors from byte 54.
const uint8_t kEdidHeader[8] = {0x00, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0x00};
const size_t kEdidDescriptorStart = 54;
const size_t kEdidDescriptorSize = 18;
const int32_t kEdidDescriptorCount = 4;
// The established timing bits I and II and the manufacturer's (byte 37 bit 7).
const int32_t kEdidEstablishedBits = 17;
// A detailed timing states its clock in units of 10 kHz; the range
// descriptor its clock limit in units of 10 MHz.
const int64_t kEdidDtdClockUnitHz = 10000;
const int64_t kEdidRangeClockUnitKhz = 10000;
// The mode as a detailed timing states it: its clock in those units
// (GetDetailedClock), every other number as it is (edid.cpp).
Tag_Video_Timing GetDetailedTiming(const Tag_Video_Timing &timing);
// The checksum byte (byte 127) that makes a block's 128 bytes sum to 0
// modulo 256 (edid.cpp): the encoder writes it, a checksum refusal names it.
uint8_t GetEdidChecksum(const uint8_t *block);
// A standard timing's aspect ratios by code (width, height): 16:10 (1:1
// before EDID 1.3), 4:3, 5:4, 16:9 (edid.cpp).
extern const int64_t kStandardAspects[4][2];

// What the EDID decoder (edid.cpp) makes of an established timing bit (0 ..
// 16, byte 35 bit 7 first) and of a standard timing code in an EDID of a
// revision and range limits: kMade with *mode filled (but for its block and
// index), kUnused for an unused code, or kSkipped with *skip the kind that
// keeps it out. The encoder (edid_encode.cpp) places a mode there only when
// this gives it back.
enum class Code_Reading { kMade, kUnused, kSkipped };
struct Tag_Edid_Mode;
struct Tag_Edid_Range;
enum class Edid_Skip : int32_t;
Code_Reading DecodeEstablishedBit(int32_t bit, Tag_Edid_Mode *mode, Edid_Skip *skip);
Code_Reading DecodeStandardCode(uint8_t first, uint8_t second, int32_t revision,
                                const Tag_Edid_Range *range, Tag_Edid_Mode *mode, Edid_Skip *skip);

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
