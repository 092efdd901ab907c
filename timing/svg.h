// A picture of one timing: a standalone SVG document that shows the
// horizontal and the vertical timing of a Tag_Video_Timing (timing/timing.h)
// so that it reads without the data file's text.
//
// Conventions as in timing/timing.h.
#ifndef ORVEX_TIMING_SVG_H
#define ORVEX_TIMING_SVG_H

#include <stddef.h>

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

#endif
