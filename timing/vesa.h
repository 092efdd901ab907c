// VESA timings: the Display Monitor Timing list (DMT 1.0 rev. 13), the
// Coordinated Video Timing formula (CVT 1.2) and the Generalized Timing
// Formula (GTF, on its default curve or on a secondary curve).
//
// Every function fills a Tag_Video_Timing (timing/timing.h) whose nominal
// refresh is the rate the mode is named by, with cursor offsets 0. Each
// refusal comes with a Tag_Timing_Error (optional, may be null) whose reason
// names the request. Conventions as in timing/timing.h.
#ifndef ORVEX_TIMING_VESA_H
#define ORVEX_TIMING_VESA_H

#include <stddef.h>
#include <stdint.h>

#include "timing/timing.h"

// ---------------------------------------------------------------------------
// DMT: the standard list
// ---------------------------------------------------------------------------

// One progressive mode of the list, as published: porches without the
// borders, which are given apart (a border lies on each side of the active
// area, between it and each porch).
struct Tag_Dmt_Mode {
    int32_t id;        // DMT id, 0x01 .. 0x58
    int32_t width;     // active pixels
    int32_t height;    // active lines
    int32_t refresh;   // Hz, as the standard names the mode (see below)
    int32_t clock_khz; // pixel clock
    int32_t h_front_porch;
    int32_t h_sync;
    int32_t h_back_porch;
    int32_t h_border; // pixels, on each side
    int32_t v_front_porch;
    int32_t v_sync;
    int32_t v_back_porch;
    int32_t v_border; // lines, at top and bottom
    bool h_sync_positive;
    bool v_sync_positive;
    bool reduced_blanking;
};

// The named refresh is the nearest whole Hz of the mode's rate, but for
// 640x480 at 72.809 Hz (DMT 0x05), which the standard names 72.

// The list holds the modes of ids 0x01 to 0x58 but one: the one interlaced
// mode of the standard (DMT 0x0F, 1024x768 at 43 Hz interlaced), as a timing
// block cannot describe interlace.

// The mode of a DMT id, or null with Timing_Error_Code::kNotFound (the reason
// says when the id is the interlaced one).
const Tag_Dmt_Mode *FindDmtModeById(int64_t id, Tag_Timing_Error *error);

// The mode of a size and named refresh. Where two modes share them, the one
// without reduced blanking is taken; between two with reduced blanking
// (4096x2160 at 60 Hz: 0x57 at 59.99997 Hz and 0x58 at 59.94 Hz), the one
// whose rate is nearer the named refresh. Null with Timing_Error_Code::kNotFound when
// the list has no such mode; the reason names the nearest modes
// (FindNearestDmtModes, up to three).
const Tag_Dmt_Mode *FindDmtMode(int64_t width, int64_t height, int64_t refresh,
                                Tag_Timing_Error *error);

// Up to max modes nearest a request, nearest first: by size (the sum of the
// width's and the height's distance), then by named refresh, then without
// reduced blanking first, then by id. Returns how many were stored.
int32_t FindNearestDmtModes(int64_t width, int64_t height, int64_t refresh,
                            const Tag_Dmt_Mode **nearest, int32_t max);

// The timing of a mode, each border folded into its porch (DMT 0x05: front
// porch 16 and back porch 120 with borders 8 give 24 and 128), the nominal
// refresh the named one.
void GetDmtModeTiming(const Tag_Dmt_Mode *mode, Tag_Video_Timing *timing);

// ---------------------------------------------------------------------------
// CVT and GTF: the formulas
// ---------------------------------------------------------------------------

// Requests the formulas take: width and height kVesaMinSize .. kVesaMaxSize,
// refresh 1 .. kVesaMaxRefresh Hz. Others are refused with
// Timing_Error_Code::kRequest, and so is a result whose pixel clock CheckTimingClock
// refuses (one that rounds to 0, or exceeds kTimingMaxClockHz). Any other
// result is returned as the formula gives it, even where that is no usable
// mode: GTF's blanking at small sizes and low rates is narrower than its
// sync, which gives a negative front porch (320x240 at 50 Hz: -16), and tiny
// sizes can give a sync of 0. CheckTimingShape tells such timings apart.
const int64_t kVesaMinSize = 8;
const int64_t kVesaMaxSize = 16384;
const int64_t kVesaMaxRefresh = 1000;

// The blanking of a CVT timing.
enum class Cvt_Blanking : int32_t {
    kCrt = 0,       // CRT blanking
    kReducedV1 = 1, // reduced blanking, version 1
    kReducedV2 = 2, // reduced blanking, version 2
};

// The CVT 1.2 timing of width x height at refresh Hz, progressive, without
// margins. The active width is the width asked for, whatever it is. With CRT
// blanking and reduced blanking v1 the formula works on the width rounded down
// to the 8-pixel character cell, and the pixels that rounding leaves out
// lengthen the line: 1366 x 768 at 60 Hz has 1366 active pixels, the
// blanking, sync and clock of 1360 (416 pixels, sync 136, 84.75 MHz) and a
// total of 1782. The vertical sync width follows the aspect ratio of the size
// asked for, a ratio whose width for the height, rounded down, is the width
// (1365 x 768 is 16:9): 4 lines for 4:3, 5 for 16:9, 6 for 16:10, 7 for 5:4
// and 15:9, 10 for any other; the vertical back porch is at least 7 lines.
// CRT blanking: horizontal sync negative, vertical positive; the pixel clock
// in steps of 0.25 MHz. Reduced blanking v1: 160 pixels of horizontal
// blanking, sync positive and negative, steps of 0.25 MHz. Reduced blanking
// v2: 80 pixels of horizontal blanking, a vertical sync of 8 lines, steps of
// 1 kHz. The nominal refresh is refresh.
bool MakeCvtTiming(int64_t width, int64_t height, int64_t refresh, Cvt_Blanking blanking,
                   Tag_Video_Timing *timing, Tag_Timing_Error *error);

// The parameters of a GTF curve, in the units EDID's range limits store a
// secondary curve in: C and J (percent) doubled, so that halves are exact; M
// in percent per kHz; K. The formula's blanking follows the ideal duty cycle
// C' - M' * line period (ms), with C' = (C - J) * K / 256 + J and
// M' = K / 256 * M.
struct Tag_Gtf_Curve {
    int32_t c2; // 2 C: 0 .. 255 (C = 40 %: 80)
    int32_t m;  // M: 0 .. 65535
    int32_t k;  // K: 0 .. 255
    int32_t j2; // 2 J: 0 .. 255
};

// The default curve: C = 40 %, M = 600 %/kHz, K = 128, J = 20 % (C' = 30,
// M' = 300).
const Tag_Gtf_Curve kGtfDefaultCurve = {80, 600, 128, 40};

// The GTF timing of width x height at refresh Hz, progressive, without
// margins, on the default curve. The width is rounded to the nearest multiple
// of 8 (1366 gives 1368). Vertical sync 3 lines, front porch 1 line;
// horizontal sync negative, vertical positive. The pixel clock is the one that
// gives exactly refresh Hz, rounded to the nearest kHz. The nominal refresh is
// refresh.
bool MakeGtfTiming(int64_t width, int64_t height, int64_t refresh, Tag_Video_Timing *timing,
                   Tag_Timing_Error *error);

// The same on the caller's curve (a monitor's secondary curve: C 40, M 3600,
// K 128, J 35 gives 1920x1440 at 85 Hz 322.842 MHz, porches 96 and 296, sync
// 200). Where MakeGtfTiming returns what the formula gives, this refuses,
// with Timing_Error_Code::kRequest, a result CheckTimingShape refuses (a curve of
// little blanking leaves a negative porch at low line rates), a curve whose
// duty cycle reaches 100 % at the request's line rate, and a curve parameter
// outside its range; the reason names the curve, the request and the fault.
// The horizontal frequency does not depend on the curve: it is that of
// MakeGtfTiming's timing of the same request.
bool MakeGtfCurveTiming(int64_t width, int64_t height, int64_t refresh, const Tag_Gtf_Curve *curve,
                        Tag_Video_Timing *timing, Tag_Timing_Error *error);

#endif
