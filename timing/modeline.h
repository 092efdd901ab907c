// X11 modelines: reading one into a timing and writing a timing as one.
//
//   Modeline "640x480_60" 25.175 640 656 752 800 480 490 492 525 -hsync -vsync
//
// The numbers are CLOCK (MHz) HDISP HSS HSE HTOT VDISP VSS VSE VTOT: active,
// sync start, sync end and total of a line (pixels) and of a frame (lines).
// Conventions as in timing/timing.h.
#ifndef ORVEX_TIMING_MODELINE_H
#define ORVEX_TIMING_MODELINE_H

#include <stddef.h>

#include "timing/timing.h"

// Read a modeline: the word "Modeline" (any case) and a name in double quotes
// are optional; then the nine numbers in the order above, then at most one
// of "+hsync"/"-hsync" and at most one of "+vsync"/"-vsync" (any case, either
// order). Words are separated by blanks (spaces, tabs); blanks and a line end
// ("\n" or "\r\n") may close the text.
//
// CLOCK is a decimal number of MHz ("25.175", "148.5"), read to the nearest
// kHz (halves away from zero) as a modeline writes it; the eight counts are
// whole numbers without sign. An absent polarity flag means negative sync
// (the VGA default). The nominal refresh is the rate of a name of the form
// "WxH_R" (whole numbers, W and H the active counts) when R is within 1 Hz of
// the refresh the numbers give ("640x480_72" of DMT 0x05's 72.809 Hz gives
// 72); otherwise that refresh rounded to the nearest whole Hz (halves up).
//
// False with Timing_Error_Code::kSyntax when a number is missing, is not a number, or
// a word is out of place (interlace and the other X flags are refused: a
// timing block cannot hold them); with Timing_Error_Code::kShape when the numbers are
// out of order (HSS before HDISP, HSE not after HSS, HTOT before HSE, the same
// vertically) or their porches, syncs or clock beyond the limits of
// CheckTimingShape. The reason names the field at fault.
bool ParseModeline(const char *text, Tag_Video_Timing *timing, Tag_Timing_Error *error);

// Room that any modeline FormatModeline writes fits in, NUL included.
const size_t kModelineTextSize = 192;

// Write the timing as
//   Modeline "WxH_R" CLOCK HDISP HSS HSE HTOT VDISP VSS VSE VTOT ±hsync ±vsync
// with W, H the active counts, R the nominal refresh and CLOCK in MHz with
// three decimals (rounded as GetClockKhz), without a line end. False with
// Timing_Error_Code::kShape when CheckTimingShape refuses the timing, and with
// Timing_Error_Code::kBuffer when the text and its NUL do not fit in size bytes; the
// buffer then holds "" (when size > 0). ParseModeline reads a written line
// back into the same numbers, but for the clock's rounding to the kHz, and
// the same nominal refresh whenever it is within 1 Hz of the refresh the
// numbers give (as with DMT 0x05, named 72 at 72.809 Hz).
bool FormatModeline(const Tag_Video_Timing *timing, char *buffer, size_t size,
                    Tag_Timing_Error *error);

#endif
