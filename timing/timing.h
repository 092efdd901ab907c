// Display timings: the model of one video mode, and the timing block text of
// the resolution data file.
//
// A timing block is the free text of fourteen "key=value" lines:
//
//   hdr=25.175mHz   pixel clock, decimal MHz, optional unit "mHz" or "MHz"
//   hsp=96          horizontal sync width (pixels)
//   hbp=48          horizontal back porch
//   had=640         horizontal active
//   hfp=16          horizontal front porch
//   hco=0           horizontal cursor offset (kept, not part of the totals)
//   hp =negative    horizontal sync polarity: positive or negative
//   vlr=60Hz        nominal refresh, whole Hz, optional unit "Hz"
//   vsp=2           vertical sync (lines)
//   vbp=33          vertical back porch
//   vad=480         vertical active
//   vfp=10          vertical front porch
//   vco=0           vertical cursor offset
//   vp =negative    vertical sync polarity
//
// This header reads such a block by key (ParseTimingBlock), writes one
// (FormatTimingBlock) and gives the derived figures of a timing. The VESA
// generators are in timing/vesa.h, X11 modelines in timing/modeline.h.
//
// Conventions
//   Functions are pure: no global state, no allocation, safe to call from any
//   thread. Texts are 8-bit and NUL-terminated; output goes into the caller's
//   buffer, bounded by its size, and is always NUL-terminated.
//   A function that can refuse takes an optional Tag_Timing_Error (null when
//   the reason is not wanted) and fills it when it returns false.
#ifndef ORVEX_TIMING_TIMING_H
#define ORVEX_TIMING_TIMING_H

#include <stddef.h>
#include <stdint.h>

// ---------------------------------------------------------------------------
// The model
// ---------------------------------------------------------------------------

// One video mode. Counts are pixels (horizontal) and lines (vertical). The
// counts are signed and 64-bit so that a block's text, however absurd, can be
// held and reported; CheckTimingShape tells whether they describe a mode.
struct Tag_Video_Timing {
    int64_t clock_hz;        // pixel clock
    int64_t h_active;        // visible pixels of a line
    int64_t h_front_porch;   // from the end of the active line to the sync
    int64_t h_sync;          // sync width
    int64_t h_back_porch;    // from the end of the sync to the next line
    int64_t v_active;        // visible lines of a frame
    int64_t v_front_porch;   // lines
    int64_t v_sync;          // lines
    int64_t v_back_porch;    // lines
    int64_t h_cursor_offset; // kept as given, not part of the totals
    int64_t v_cursor_offset; // kept as given, not part of the totals
    int64_t nominal_refresh; // Hz: the rate the mode is named by ("vlr")
    bool h_sync_positive;    // true: positive, false: negative
    bool v_sync_positive;
};

// Limits of a timing that describes a mode (CheckTimingShape): the pixel
// clock lies in 1 Hz .. kTimingMaxClockHz (100,000 MHz), the active counts and
// sync widths in 1 .. kTimingMaxCount, the porches in 0 .. kTimingMaxCount.
// Far beyond any display, and small enough that no derived figure overflows.
const int64_t kTimingMaxClockHz = 100000000000;
const int64_t kTimingMaxCount = 1000000;

// Why a function refused: its code, and a reason in one line of English
// without a line end, naming the value at fault.
enum class Timing_Error_Code : int32_t {
    kNone = 0,
    kRequest = 1,  // a generator's request outside its limits
    kNotFound = 2, // no such mode in a table
    kSyntax = 3,   // a text that does not read as the notation
    kShape = 4,    // counts that do not describe a mode
    kBuffer = 5,   // the output does not fit the caller's buffer
    kEdid = 6,     // bytes that are not an EDID (timing/edid.h)
    kChecksum = 7, // an EDID block whose bytes do not sum to 0
};
const size_t kTimingReasonSize = 240;
struct Tag_Timing_Error {
    Timing_Error_Code code;
    char reason[kTimingReasonSize];
};

// Horizontal and vertical totals: active + front porch + sync + back porch
// (the cursor offsets are not counted). A sum beyond the 64-bit range is held
// at INT64_MAX or INT64_MIN.
int64_t GetTimingHTotal(const Tag_Video_Timing *timing);
int64_t GetTimingVTotal(const Tag_Video_Timing *timing);

// Horizontal frequency (clock / horizontal total) and refresh (horizontal
// frequency / vertical total), in Hz. 0 when a total is not above 0.
double GetTimingHFreq(const Tag_Video_Timing *timing);
double GetTimingRefresh(const Tag_Video_Timing *timing);

// Two timings equal in every number: clock, counts, cursor offsets and
// polarities. The nominal refresh, the rate a mode is named by, is not
// compared.
bool SameTimingNumbers(const Tag_Video_Timing *a, const Tag_Video_Timing *b);

// A clock in Hz rounded to the nearest kHz (halves away from zero), in kHz:
// the precision with which blocks and modelines write the clock.
int64_t GetClockKhz(int64_t clock_hz);

// The items CheckTimingShape looks at, in the order it looks at them; kNone
// for none.
enum class Timing_Item : int32_t {
    kNone = -1,
    kClock,
    kHActive,
    kHFrontPorch,
    kHSync,
    kHBackPorch,
    kVActive,
    kVFrontPorch,
    kVSync,
    kVBackPorch,
};
const int32_t kTimingItemCount = 9;

// The first item of the timing outside its range (see kTimingMaxCount), or
// Timing_Item::kNone when every item is in range. Polarities, cursor offsets
// and the nominal refresh are not looked at.
Timing_Item FindTimingShapeFault(const Tag_Video_Timing *timing);

// True when the timing describes a mode (FindTimingShapeFault finds nothing);
// otherwise false with Timing_Error_Code::kShape and a reason such as
// "horizontal front porch -8 is below 0".
bool CheckTimingShape(const Tag_Video_Timing *timing, Tag_Timing_Error *error);

// True when the clock alone is in range (CheckTimingShape's first item);
// otherwise false with Timing_Error_Code::kShape and the reason.
bool CheckTimingClock(int64_t clock_hz, Tag_Timing_Error *error);

// ---------------------------------------------------------------------------
// The timing block text
// ---------------------------------------------------------------------------

// The fourteen fields, in block order.
enum Timing_Field {
    kFieldHdr,
    kFieldHsp,
    kFieldHbp,
    kFieldHad,
    kFieldHfp,
    kFieldHco,
    kFieldHp,
    kFieldVlr,
    kFieldVsp,
    kFieldVbp,
    kFieldVad,
    kFieldVfp,
    kFieldVco,
    kFieldVp,
};
const int32_t kTimingFieldCount = 14;

// The key of each field as the block writes it, trimmed: "hdr" ... "hp" ... "vp".
extern const char *const timing_field_keys[kTimingFieldCount];

// What ParseTimingBlock found wrong. A line yields at most one finding.
enum class Block_Finding : int32_t {
    kNone = 0,
    kMissingKey,   // a field that no line gives (line 0)
    kDuplicateKey, // a field given again; the first line holds
    kUnknownKey,   // a "key=value" line whose key is no field's
    kNotKeyValue,  // a line that is not blank, not a comment, and has no "="
    kBadNumber,    // a value that is not a decimal number in the field's notation
    kOutOfRange,   // a number beyond kBlockValueLimit (a count) or
                   // kBlockClockKhzLimit (the clock)
    kBadPolarity,  // neither "positive" nor "negative"
};

// The largest magnitude a count holds when read (10^18 - 1), and that of a
// clock in kHz (10^15 - 1, just under 10^12 MHz). Beyond them a value is
// Block_Finding::kOutOfRange.
const int64_t kBlockValueLimit = 999999999999999999;
const int64_t kBlockClockKhzLimit = 999999999999999;

// One finding. offset and length locate the line in the text (the line
// without its line end), so that a checker can quote it.
struct Tag_Block_Finding {
    Block_Finding kind;
    int32_t field; // the Timing_Field concerned, or -1 when the line names none
    int32_t line;  // from 1 within the block; 0 for a missing key
    size_t offset; // where the line starts in the text (0 for a missing key)
    size_t length; // its characters without the line end
};

// Per field: the line that gives it (0 when none does) and its finding
// (Block_Finding::kNone when its value was read into the model).
struct Tag_Block_Field {
    int32_t line;
    Block_Finding finding;
};

// Room for findings: the line findings, in line order, take at most
// kBlockFindingMax - kTimingFieldCount entries (later ones are only counted),
// then come the missing keys, in field order.
const int32_t kBlockFindingMax = 64;

struct Tag_Timing_Block_Report {
    Tag_Video_Timing timing; // the fields read; a field not read is 0 (negative)
    Tag_Block_Field fields[kTimingFieldCount];
    Tag_Block_Finding findings[kBlockFindingMax];
    int32_t finding_count;    // entries of findings
    int32_t dropped_findings; // line findings beyond the room, not stored
    int32_t line_count;       // lines of the text
    bool complete;            // every field read: the model is whole
};

// Read a block's text by key into report (every member overwritten, but the
// entries of findings beyond finding_count, which mean nothing). Returns
// report->complete: true when each of the fourteen fields was given and read,
// so the model is whole. Duplicates, unknown keys and lines without "=" do not
// stop that; they are findings all the same (finding_count is 0 for a clean
// block).
//
// Lines end with "\n"; a "\r" before it is ignored, and so is a missing line
// end after the last line. Blank lines, and lines whose first non-blank
// character is ";" (comments), are skipped. Any other line without "=" is
// Block_Finding::kNotKeyValue and fills nothing. In a "key=value" line the key is
// the text before the first "=", the value the text after it; both are taken
// without surrounding blanks (spaces, tabs), and keys compare ignoring case
// ("hp =negative" gives hp).
//
// Values: counts (hsp hbp had hfp hco vsp vbp vad vfp vco) are whole decimal
// numbers with an optional sign ("-8" is read, for a checker to report); hdr
// is a decimal number of MHz with optional sign, fraction and unit "MHz"
// (any case; blanks may stand before the unit), read to the nearest kHz,
// halves away from zero; vlr is a whole number of Hz with optional unit "Hz"
// (any case); hp and vp are "positive" or "negative" (any case).
//
// A text of any length is read (a block of the data file holds at most 5119
// characters); the report has room for the first findings and counts the rest.
bool ParseTimingBlock(const char *text, Tag_Timing_Block_Report *report);

// Room that any block FormatTimingBlock writes fits in, NUL included.
const size_t kTimingBlockTextSize = 512;

// Write the timing as the fourteen lines, each ended by "\n":
//   hdr=<MHz with three decimals>mHz   (the clock rounded as GetClockKhz)
//   hsp= hbp= had= hfp= hco=           (whole numbers)
//   hp =positive|negative
//   vlr=<nominal refresh>Hz
//   vsp= vbp= vad= vfp= vco=
//   vp =positive|negative
// The cursor offsets are written as the model holds them (0 for every
// generated timing). False when the text and its NUL do not fit in size bytes;
// the buffer then holds "" (when size > 0). A block written from a timing that
// ParseTimingBlock could have read (counts within kBlockValueLimit, the clock
// within kBlockClockKhzLimit kHz) reads back complete, clean and equal to it,
// but for the clock's rounding to the kHz.
bool FormatTimingBlock(const Tag_Video_Timing *timing, char *buffer, size_t size);

#endif
