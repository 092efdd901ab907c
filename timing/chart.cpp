// A monitor's range chart drawn as an SVG document.
#include <math.h>

#include "timing/internal.h"
#include "timing/svg.h"

namespace {

const int32_t kPageWidth = 960;
const int32_t kPageHeight = 600;
// The plot area.
const double kLeft = 90;
const double kRight = 920;
const double kTop = 70;
const double kBottom = 500;
const double kRadius = 5;

// The colours of a point by its place, and without a range.
const char *const kPlaceColours[3] = {"#2e7d32", "#c62828", "#ef6c00"};
const char *const kPlaceNames[3] = {"inside the range", "outside the range",
                                    "over the clock limit"};
const char *const kPlainColour = "#1565c0";
const char *const kRangeFill = "#e3f2fd";

// An axis: from low to high in steps.
struct Tag_Axis {
    double low, high, step;
};

// An axis taking in low .. high with room on both sides, at a step of 1, 2
// or 5 times a power of 10 that gives about six intervals.
Tag_Axis MakeAxis(double low, double high) {
    // Values that (nearly) coincide get a span of their own, so that the
    // steps stay far above the values' precision.
    double span = high - low;
    if (span <= fabs(high) * 1e-9)
        span = high > 0 ? high / 5 : 1;
    const double raw = span / 6;
    const double magnitude = pow(10, floor(log10(raw)));
    const double ratio = raw / magnitude;
    const double step = magnitude * (ratio <= 1 ? 1 : ratio <= 2 ? 2 : ratio <= 5 ? 5 : 10);
    Tag_Axis axis = {floor(low / step) * step, ceil(high / step) * step, step};
    if (axis.low >= low)
        axis.low -= step;
    if (axis.high <= high)
        axis.high += step;
    return axis;
}

double Across(const Tag_Axis &axis, double value) {
    return kLeft + (kRight - kLeft) * (value - axis.low) / (axis.high - axis.low);
}

double Up(const Tag_Axis &axis, double value) {
    return kBottom - (kBottom - kTop) * (value - axis.low) / (axis.high - axis.low);
}

void AppendLine(Tag_Text_Sink *sink, double x1, double y1, double x2, double y2,
                const char *stroke) {
    static const char *const names[4] = {" x1", " y1", " x2", " y2"};
    const double values[4] = {x1, y1, x2, y2};
    AppendText(sink, "<line");
    AppendSvgAttributes(sink, names, values, 4);
    AppendText(sink, " stroke=\"");
    AppendText(sink, stroke);
    AppendText(sink, "\"/>\n");
}

// A tick value: whole, or with the decimals the step needs (at most three).
void AppendTick(Tag_Text_Sink *sink, double value, double step) {
    if (step >= 1) {
        AppendInteger(sink, static_cast<int64_t>(floor(value + 0.5)));
        return;
    }
    AppendThousandths(sink, static_cast<int64_t>(floor(value * 1000 + 0.5)));
}

// The axes, their ticks, grid lines and names.
void AppendAxes(Tag_Text_Sink *sink, const Tag_Axis &x, const Tag_Axis &y) {
    const int32_t kTicksMax = 64;
    for (int32_t i = 0; i < kTicksMax && x.low + i * x.step <= x.high + x.step / 2; ++i) {
        const double v = x.low + i * x.step;
        const double at = Across(x, v);
        AppendLine(sink, at, kTop, at, kBottom, "#eeeeee");
        OpenSvgText(sink, at, kBottom + 18, " text-anchor=\"middle\"");
        AppendTick(sink, v, x.step);
        AppendText(sink, "</text>\n");
    }
    for (int32_t i = 0; i < kTicksMax && y.low + i * y.step <= y.high + y.step / 2; ++i) {
        const double v = y.low + i * y.step;
        const double at = Up(y, v);
        AppendLine(sink, kLeft, at, kRight, at, "#eeeeee");
        OpenSvgText(sink, kLeft - 8, at + 4, " text-anchor=\"end\"");
        AppendTick(sink, v, y.step);
        AppendText(sink, "</text>\n");
    }
    AppendSvgRect(sink, kLeft, kTop, kRight - kLeft, kBottom - kTop, "none", "#555555");
    OpenSvgText(sink, (kLeft + kRight) / 2, kBottom + 40, " text-anchor=\"middle\"");
    AppendText(sink, "horizontal frequency (kHz)</text>\n");
    OpenSvgText(sink, kLeft - 8, kTop - 10, " text-anchor=\"end\"");
    AppendText(sink, "refresh (Hz)</text>\n");
}

// A legend entry: a swatch (a circle or a square) and its words.
void AppendLegend(Tag_Text_Sink *sink, double x, const char *colour, bool square,
                  const char *words) {
    const double y = kBottom + 70;
    if (square) {
        AppendSvgRect(sink, x, y - 10, 14, 14, colour, "#90caf9");
    } else {
        AppendText(sink, "<circle cx=\"");
        AppendCoordinate(sink, x + 7);
        AppendText(sink, "\" cy=\"");
        AppendCoordinate(sink, y - 3);
        AppendText(sink, "\" r=\"5\" fill=\"");
        AppendText(sink, colour);
        AppendText(sink, "\"/>\n");
    }
    OpenSvgText(sink, x + 20, y + 2, "");
    AppendText(sink, words);
    AppendText(sink, "</text>\n");
}

} // namespace

Chart_Place GetChartPlace(const Tag_Video_Timing *timing, const Tag_Edid_Range *range) {
    const double h = GetTimingHFreq(timing);
    const double v = GetTimingRefresh(timing);
    if (h < range->h_min_khz * 1e3 || h > range->h_max_khz * 1e3 || v < range->v_min_hz ||
        v > range->v_max_hz)
        return Chart_Place::kOutside;
    return timing->clock_hz > int64_t{range->max_clock_khz} * 1000 ? Chart_Place::kOverClock
                                                                   : Chart_Place::kInside;
}

size_t GetRangeChartSvgSize(int32_t count) {
    // The frame, axes, range and legend take less than 8 KB; a point its
    // circle and a title of at most 6 bytes for each of kTimingSvgTitleMax
    // characters and the figures.
    return 8192 + static_cast<size_t>(count > 0 ? count : 0) * (6 * kTimingSvgTitleMax + 256);
}

bool RenderRangeChartSvg(const char *title, const Tag_Chart_Mode *modes, int32_t count,
                         const Tag_Edid_Range *range, char *buffer, size_t size,
                         Tag_Timing_Error *error) {
    Tag_Text_Sink sink;
    StartText(&sink, buffer, size);
    if (count < 1) {
        Tag_Text_Sink reason = StartReason(error, Timing_Error_Code::kRequest);
        AppendText(&reason, "a chart needs modes: ");
        AppendInteger(&reason, count);
        AppendText(&reason, " given");
        return false;
    }
    for (int32_t i = 0; i < count; ++i) {
        Tag_Timing_Error shape;
        if (CheckTimingShape(modes[i].timing, &shape))
            continue;
        Tag_Text_Sink reason = StartReason(error, Timing_Error_Code::kRequest);
        AppendText(&reason, "mode ");
        AppendQuoted(&reason, modes[i].name != nullptr ? modes[i].name : "");
        AppendText(&reason, " is no mode: ");
        AppendText(&reason, shape.reason);
        return false;
    }
    const bool ranged = range != nullptr && range->present;

    // The axes take in every mode and the range.
    double h_low = GetTimingHFreq(modes[0].timing) / 1e3, h_high = h_low;
    double v_low = GetTimingRefresh(modes[0].timing), v_high = v_low;
    for (int32_t i = 0; i < count; ++i) {
        const double h = GetTimingHFreq(modes[i].timing) / 1e3;
        const double v = GetTimingRefresh(modes[i].timing);
        h_low = fmin(h_low, h), h_high = fmax(h_high, h);
        v_low = fmin(v_low, v), v_high = fmax(v_high, v);
    }
    if (ranged) {
        h_low = fmin(h_low, range->h_min_khz), h_high = fmax(h_high, range->h_max_khz);
        v_low = fmin(v_low, range->v_min_hz), v_high = fmax(v_high, range->v_max_hz);
    }
    const Tag_Axis x = MakeAxis(h_low, h_high);
    const Tag_Axis y = MakeAxis(v_low, v_high);

    const std::string_view title_text = title != nullptr ? title : "";
    AppendSvgStart(&sink, kPageWidth, kPageHeight, title_text);
    OpenSvgText(&sink, kLeft, 34, " font-size=\"16\" font-weight=\"bold\"");
    AppendSvgText(&sink, title_text);
    AppendText(&sink, "</text>\n");
    if (ranged) {
        const double left = Across(x, range->h_min_khz), right = Across(x, range->h_max_khz);
        const double top = Up(y, range->v_max_hz), bottom = Up(y, range->v_min_hz);
        AppendSvgRect(&sink, left, top, right - left, bottom - top, kRangeFill, "#90caf9");
    }
    AppendAxes(&sink, x, y);
    for (int32_t i = 0; i < count; ++i) {
        const Tag_Video_Timing &t = *modes[i].timing;
        const Chart_Place place = ranged ? GetChartPlace(&t, range) : Chart_Place::kInside;
        AppendText(&sink, "<g><title>");
        AppendSvgText(&sink, modes[i].name != nullptr ? modes[i].name : "");
        AppendText(&sink, ": ");
        AppendInteger(&sink, t.h_active);
        AppendText(&sink, "x");
        AppendInteger(&sink, t.v_active);
        AppendText(&sink, ", ");
        AppendFrequency(&sink, GetTimingHFreq(&t), 1e3);
        AppendText(&sink, " kHz, ");
        AppendFrequency(&sink, GetTimingRefresh(&t), 1);
        AppendText(&sink, " Hz, ");
        AppendMhz(&sink, t.clock_hz);
        AppendText(&sink, " MHz");
        if (place != Chart_Place::kInside) {
            AppendText(&sink, ", ");
            AppendText(&sink, kPlaceNames[static_cast<int32_t>(place)]);
        }
        AppendText(&sink, "</title><circle cx=\"");
        AppendCoordinate(&sink, Across(x, GetTimingHFreq(&t) / 1e3));
        AppendText(&sink, "\" cy=\"");
        AppendCoordinate(&sink, Up(y, GetTimingRefresh(&t)));
        AppendText(&sink, "\" r=\"");
        AppendCoordinate(&sink, kRadius);
        AppendText(&sink, "\" fill=\"");
        AppendText(&sink, ranged ? kPlaceColours[static_cast<int32_t>(place)] : kPlainColour);
        AppendText(&sink, "\"/></g>\n");
    }
    if (ranged) {
        char words[64];
        Tag_Text_Sink range_words;
        StartText(&range_words, words, sizeof words);
        AppendText(&range_words, "the monitor's range, clock up to ");
        AppendMhz(&range_words, int64_t{range->max_clock_khz} * 1000);
        AppendText(&range_words, " MHz");
        AppendLegend(&sink, kLeft, kRangeFill, true, words);
        for (int32_t place = 0; place < 3; ++place)
            AppendLegend(&sink, kLeft + 340 + 160 * place, kPlaceColours[place], false,
                         kPlaceNames[place]);
    }
    return FinishSvg(&sink, buffer, size, error);
}
