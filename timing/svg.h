// Pictures as standalone SVG documents: one timing, the horizontal and the
// vertical timing of a Tag_Video_Timing (timing/timing.h) so that it reads
// without the data file's text; and a monitor's range chart, its modes
// placed by horizontal frequency and refresh against its range limits.
//
// Conventions as in timing/timing.h.
#ifndef ORVEX_TIMING_SVG_H
#define ORVEX_TIMING_SVG_H

#include <stddef.h>

#include "timing/edid.h"
#include "timing/timing.h"

// The title is shown up to this many bytes, then "...".
const size_t kTimingSvgTitleMax = 90;

// Room that any document RenderTimingSvg writes fits in, NUL included.
const size_t kTimingSvgSize = 4096;

// Draw the timing as an SVG document (UTF-8, 960 x 380 user units):
// - the title, in a <title> element and as a heading;
// - the pixel clock (MHz), the horizontal frequency (kHz), the refresh (Hz,
//   with the nominal refresh it is named by), and the horizontal and the
//   vertical sync polarity, each in a <text> of its own;
// - for each direction a heading with the total, then one row per part in
//   scan order: active, front porch, sync, back porch. Each row shows the
//   whole line (or frame) as a grey track and the part as a coloured band at
//   its place, its width in proportion to its count (at least one unit, so
//   that a zero porch still shows where it lies). The label, "front porch 16"
//   ("sync 96, negative" for the sync), stands inside the band when it fits
//   there, else beside it: after it when there is room up to the right edge,
//   before it otherwise (one of the two always has room). A row holds one
//   label, so labels never overlap.
// The figures come from GetTimingHTotal, GetTimingVTotal, GetTimingHFreq and
// GetTimingRefresh; frequencies are written with three decimals.
//
// title may be null (no title). Its bytes are 8-bit text read as ISO 8859-1:
// &, <, >, " and ' are written as entities, bytes above 127 as character
// references, control characters as '?'; beyond kTimingSvgTitleMax bytes it
// is cut short with "...".
//
// False with Timing_Error_Code::kShape when CheckTimingShape refuses the timing (a
// picture needs positive totals), and with Timing_Error_Code::kBuffer when the
// document and its NUL do not fit in size bytes; the buffer then holds ""
// (when size > 0). kTimingSvgSize bytes always suffice.
bool RenderTimingSvg(const Tag_Video_Timing *timing, const char *title, char *buffer, size_t size,
                     Tag_Timing_Error *error);

// ---------------------------------------------------------------------------
// The range chart
// ---------------------------------------------------------------------------

// One mode of a chart: its timing and the name it goes by (a resolution id).
struct Tag_Chart_Mode {
    const Tag_Video_Timing *timing;
    const char *name;
};

// Where a mode lies against range limits (Tag_Edid_Range: rates in whole kHz
// and Hz, the clock in kHz, the bounds included).
enum class Chart_Place : int32_t {
    kInside = 0,    // within the rates and the clock
    kOutside = 1,   // a rate outside the range
    kOverClock = 2, // within the rates, the clock above the limit
};
Chart_Place GetChartPlace(const Tag_Video_Timing *timing, const Tag_Edid_Range *range);

// Room a chart of count modes always fits in, NUL included.
size_t GetRangeChartSvgSize(int32_t count);

// Draw the modes as an SVG document (UTF-8, 960 x 600 user units): the title
// (as for RenderTimingSvg); axes of horizontal frequency (kHz, across) and
// refresh (Hz, up) with ticks at steps of 1, 2 or 5 times a power of 10 that
// take in every mode and the range; each mode a circle at its horizontal
// frequency and refresh, in a group whose <title> reads "NAME: WxH, 37.879
// kHz, 60.317 Hz, 40.000 MHz" (and ", outside the range" or ", over the clock
// limit"); without a range (null, or not present) every circle blue; with
// one, the range as a shaded rectangle, the circles green inside it, red
// outside it, orange over the clock limit, and a legend of the rectangle (with
// the clock limit) and the three colours. Names are escaped and cut as
// titles are.
//
// False with Timing_Error_Code::kRequest when count is below 1 or a mode's timing is
// refused by CheckTimingShape (the reason names the mode), and with
// Timing_Error_Code::kBuffer when the document does not fit in size bytes; the buffer
// then holds "" (when size > 0). GetRangeChartSvgSize(count) bytes suffice.
bool RenderRangeChartSvg(const char *title, const Tag_Chart_Mode *modes, int32_t count,
                         const Tag_Edid_Range *range, char *buffer, size_t size,
                         Tag_Timing_Error *error);

#endif
