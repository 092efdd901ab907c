// The VESA timing formulas: CVT 1.2 (CRT blanking, reduced blanking v1 and v2)
// and GTF on its default curve or on a curve of the caller's.
//
// The published formulas are written with real numbers; here every quantity
// is kept as an exact fraction of whole numbers, so that each ROUNDDOWN and
// ROUND of the formulas falls on the same side on every machine. With the
// request limits of vesa.h every product stays far below 2^63.
//
// Names follow the formulas: R is the refresh asked for (Hz), V the active
// lines. The estimated line period H_PERIOD_EST, in microseconds, is
// (1000000 / R - blank) / lines = (1000000 - blank * R) / (R * lines), kept as
// the numerator q and the denominator p.
#include "timing/internal.h"
#include "timing/vesa.h"

namespace {

// CVT constants.
const int64_t kCellGranularity = 8;        // CELL_GRAN, pixels
const int64_t kCrtMinVSyncBackPorch = 550; // MIN_VSYNC_BP, microseconds
const int64_t kCrtVFrontPorch = 3;         // MIN_V_PORCH_RND, lines
const int64_t kMinVBackPorch = 7; // MIN_V_BPORCH, lines (CRT blanking and reduced blanking v1)
const int64_t kCrtClockStepHz = 250000; // CLOCK_STEP, 0.25 MHz
const int64_t kRbMinVBlank = 460;       // RB_MIN_V_BLANK, microseconds
const int64_t kRb1HBlank = 160;         // RB_H_BLANK, pixels
const int64_t kRb1HSync = 32;           // RB_H_SYNC, pixels
const int64_t kRb1VFrontPorch = 3;      // RB_V_FPORCH, lines
const int64_t kRb2HBlank = 80;
const int64_t kRb2HSync = 32;
const int64_t kRb2HFrontPorch = 8;
const int64_t kRb2VSync = 8;
const int64_t kRb2VBackPorch = 6; // reduced blanking v2: fixed
const int64_t kRb2MinVFrontPorch = 1;
const int64_t kRb2ClockStepHz = 1000; // 0.001 MHz

// GTF constants. The curve's parameters come with the request (the default
// curve is kGtfDefaultCurve).
const int64_t kGtfMinVSyncBackPorch = 550; // microseconds
const int64_t kGtfVFrontPorch = 1;         // MIN_PORCH, lines
const int64_t kGtfVSync = 3;               // V_SYNC_RQD, lines

// a / b rounded to the nearest whole number, halves away from zero (ROUND), b > 0.
int64_t DivideRound(int64_t a, int64_t b) {
    return a >= 0 ? (2 * a + b) / (2 * b) : -((-2 * a + b) / (2 * b));
}

// The CVT vertical sync width of an active area, by its aspect ratio: the
// ratio whose width for this height, rounded down, is the width (1365 x 768
// is 16:9, 1366 x 768 none).
int64_t CvtVSync(int64_t width, int64_t height) {
    const struct {
        int64_t across, down, v_sync;
    } ratios[] = {{4, 3, 4}, {16, 9, 5}, {16, 10, 6}, {5, 4, 7}, {15, 9, 7}};
    for (const auto &ratio : ratios)
        if (height * ratio.across / ratio.down == width)
            return ratio.v_sync;
    return 10;
}

void SetSyncs(Tag_Video_Timing *t, int64_t h_active, int64_t h_blank, int64_t h_sync,
              int64_t h_front_porch) {
    t->h_active = h_active;
    t->h_sync = h_sync;
    t->h_front_porch = h_front_porch;
    t->h_back_porch = h_blank - h_sync - h_front_porch;
}

void AppendRequest(Tag_Text_Sink *reason, const char *formula, int64_t width, int64_t height,
                   int64_t refresh) {
    AppendText(reason, formula);
    AppendText(reason, " ");
    AppendInteger(reason, width);
    AppendText(reason, "x");
    AppendInteger(reason, height);
    AppendText(reason, " at ");
    AppendInteger(reason, refresh);
    AppendText(reason, " Hz: ");
}

// The request within the limits; else false with the reason.
bool CheckRequest(const char *formula, int64_t width, int64_t height, int64_t refresh,
                  Tag_Timing_Error *error) {
    struct Tag_Request_Limit {
        const char *name;
        int64_t value, low, high;
    };
    const Tag_Request_Limit limits[] = {{"width ", width, kVesaMinSize, kVesaMaxSize},
                                        {"height ", height, kVesaMinSize, kVesaMaxSize},
                                        {"refresh ", refresh, 1, kVesaMaxRefresh}};
    for (const Tag_Request_Limit &limit : limits) {
        if (limit.value >= limit.low && limit.value <= limit.high)
            continue;
        Tag_Text_Sink reason = StartReason(error, Timing_Error_Code::kRequest);
        AppendRequest(&reason, formula, width, height, refresh);
        AppendText(&reason, limit.name);
        AppendInteger(&reason, limit.value);
        AppendText(&reason, " is outside ");
        AppendInteger(&reason, limit.low);
        AppendText(&reason, " .. ");
        AppendInteger(&reason, limit.high);
        return false;
    }
    return true;
}

// The computed clock in range; else false with its reason after the request.
bool CheckResult(const char *formula, int64_t width, int64_t height, int64_t refresh,
                 const Tag_Video_Timing *timing, Tag_Timing_Error *error) {
    Tag_Timing_Error shape;
    if (CheckTimingClock(timing->clock_hz, &shape))
        return true;
    Tag_Text_Sink reason = StartReason(error, Timing_Error_Code::kRequest);
    AppendRequest(&reason, formula, width, height, refresh);
    AppendText(&reason, shape.reason);
    return false;
}

// CVT computes the blanking, the sync and the pixel clock from the width
// rounded down to the character cell; the active width stays the one asked
// for, and the pixels the rounding left out lengthen the line (1366 gives the
// blanking, sync and clock of 1360 and a total of 1366 + 416).
void Cvt(int64_t width, int64_t height, int64_t r, Cvt_Blanking blanking, Tag_Video_Timing *t) {
    const int64_t v = height;
    t->v_active = v;
    t->nominal_refresh = r;
    if (blanking == Cvt_Blanking::kCrt) {
        const int64_t w = width / kCellGranularity * kCellGranularity;
        const int64_t v_sync = CvtVSync(width, v);
        // H_PERIOD_EST = q / p microseconds.
        const int64_t q = 1000000 - kCrtMinVSyncBackPorch * r;
        const int64_t p = r * (v + kCrtVFrontPorch);
        // V_SYNC_BP = ROUNDDOWN(MIN_VSYNC_BP / H_PERIOD_EST) + 1, at least
        // the sync and the minimum back porch.
        int64_t v_sync_bp = kCrtMinVSyncBackPorch * p / q + 1;
        if (v_sync_bp < v_sync + kMinVBackPorch)
            v_sync_bp = v_sync + kMinVBackPorch;
        t->v_front_porch = kCrtVFrontPorch;
        t->v_sync = v_sync;
        t->v_back_porch = v_sync_bp - v_sync;
        // IDEAL_DUTY_CYCLE = C' - M' * H_PERIOD_EST / 1000 = (300p - 3q) / (10p)
        // percent; below 20 % it is taken as 20 %. H_BLANK = ROUNDDOWN(active *
        // duty / (100 - duty) / (2 * CELL_GRAN)) * (2 * CELL_GRAN).
        const int64_t cell2 = 2 * kCellGranularity;
        int64_t h_blank;
        if (3 * q > 100 * p) // duty cycle below 20 %
            h_blank = w * 20 / (80 * cell2) * cell2;
        else
            h_blank = w * (300 * p - 3 * q) / (cell2 * (700 * p + 3 * q)) * cell2;
        const int64_t h_total = w + h_blank;
        // H_SYNC = ROUNDDOWN(8 % of the total / CELL_GRAN) * CELL_GRAN; the
        // back porch is half the blanking.
        const int64_t h_sync = h_total * 8 / (100 * kCellGranularity) * kCellGranularity;
        SetSyncs(t, width, h_blank, h_sync, h_blank / 2 - h_sync);
        // ACT_PIXEL_FREQ = CLOCK_STEP * ROUNDDOWN(TOTAL_PIXELS / H_PERIOD_EST
        // / CLOCK_STEP); total / (q / p) MHz = total * p * 1000000 / q Hz.
        t->clock_hz = h_total * p * 1000000 / (q * kCrtClockStepHz) * kCrtClockStepHz;
        t->h_sync_positive = false;
        t->v_sync_positive = true;
        return;
    }
    // Reduced blanking: H_PERIOD_EST = q / p with the minimum vertical blank;
    // VBI_LINES = ROUNDDOWN(RB_MIN_V_BLANK / H_PERIOD_EST) + 1, at least the
    // front porch, sync and minimum back porch.
    const int64_t q = 1000000 - kRbMinVBlank * r;
    const int64_t p = r * v;
    int64_t vbi = kRbMinVBlank * p / q + 1;
    if (blanking == Cvt_Blanking::kReducedV1) {
        const int64_t w = width / kCellGranularity * kCellGranularity;
        const int64_t v_sync = CvtVSync(width, v);
        if (vbi < kRb1VFrontPorch + v_sync + kMinVBackPorch)
            vbi = kRb1VFrontPorch + v_sync + kMinVBackPorch;
        t->v_front_porch = kRb1VFrontPorch;
        t->v_sync = v_sync;
        t->v_back_porch = vbi - kRb1VFrontPorch - v_sync;
        // Front porch 48, sync 32, back porch 80 (half the blank).
        SetSyncs(t, width, kRb1HBlank, kRb1HSync, kRb1HBlank / 2 - kRb1HSync);
        const int64_t h_total = w + kRb1HBlank;
        t->clock_hz = r * (v + vbi) * h_total / kCrtClockStepHz * kCrtClockStepHz;
    } else {
        if (vbi < kRb2MinVFrontPorch + kRb2VSync + kRb2VBackPorch)
            vbi = kRb2MinVFrontPorch + kRb2VSync + kRb2VBackPorch;
        t->v_front_porch = vbi - kRb2VSync - kRb2VBackPorch;
        t->v_sync = kRb2VSync;
        t->v_back_porch = kRb2VBackPorch;
        SetSyncs(t, width, kRb2HBlank, kRb2HSync, kRb2HFrontPorch);
        const int64_t h_total = width + kRb2HBlank;
        t->clock_hz = r * (v + vbi) * h_total / kRb2ClockStepHz * kRb2ClockStepHz;
    }
    t->h_sync_positive = true;
    t->v_sync_positive = false;
}

// The curve's C' and M' as fractions of 512: C' = ((C - J) * K / 256 + J)
// = a / 512 percent and M' = K / 256 * M = b / 512 percent per kHz, with C
// and J given doubled.
void CurveFractions(const Tag_Gtf_Curve &c, int64_t *a, int64_t *b) {
    *a = int64_t{c.c2 - c.j2} * c.k + int64_t{256} * c.j2;
    *b = int64_t{2} * c.k * c.m;
}

// False when the curve's ideal duty cycle reaches 100 % at this line rate
// (the blanking would be endless); else the timing.
bool Gtf(int64_t width, int64_t height, int64_t r, const Tag_Gtf_Curve &curve,
         Tag_Video_Timing *t) {
    // H_PIXELS_RND = ROUND(width / CELL_GRAN) * CELL_GRAN.
    const int64_t w = DivideRound(width, kCellGranularity) * kCellGranularity;
    const int64_t v = height;
    // H_PERIOD_EST = q / p; V_SYNC_BP = ROUND(MIN_VSYNC_BP / H_PERIOD_EST).
    const int64_t q = 1000000 - kGtfMinVSyncBackPorch * r;
    const int64_t p = r * (v + kGtfVFrontPorch);
    const int64_t v_sync_bp = DivideRound(kGtfMinVSyncBackPorch * p, q);
    const int64_t v_total = v + v_sync_bp + kGtfVFrontPorch;
    t->v_active = v;
    t->v_front_porch = kGtfVFrontPorch;
    t->v_sync = kGtfVSync;
    t->v_back_porch = v_sync_bp - kGtfVSync;
    // The line period that gives exactly R: H_PERIOD = 1000000 / (R * v_total)
    // = 1000000 / s microseconds. IDEAL_DUTY_CYCLE = C' - M' * H_PERIOD / 1000
    // = (a s - 1000 b) / (512 s) percent; H_BLANK = ROUND(active * duty / (100
    // - duty) / (2 * CELL_GRAN)) * (2 * CELL_GRAN).
    const int64_t s = r * v_total;
    int64_t a, b;
    CurveFractions(curve, &a, &b);
    const int64_t rest = 51200 * s - a * s + 1000 * b; // (100 - duty) * 512 s
    if (rest <= 0)
        return false;
    const int64_t cell2 = 2 * kCellGranularity;
    const int64_t h_blank = DivideRound(w * (a * s - 1000 * b), cell2 * rest) * cell2;
    const int64_t h_total = w + h_blank;
    // H_SYNC = ROUND(8 % of the total / CELL_GRAN) * CELL_GRAN; the back
    // porch is half the blanking.
    const int64_t h_sync = DivideRound(h_total * 8, 100 * kCellGranularity) * kCellGranularity;
    SetSyncs(t, w, h_blank, h_sync, h_blank / 2 - h_sync);
    // PIXEL_FREQ = TOTAL_PIXELS / H_PERIOD: h_total * s Hz, to the kHz.
    t->clock_hz = DivideRound(h_total * s, 1000) * 1000;
    t->nominal_refresh = r;
    t->h_sync_positive = false;
    t->v_sync_positive = true;
    return true;
}

// "GTF (C 40, M 3600, K 128, J 35)": C and J with their half when they have one.
void AppendCurveName(Tag_Text_Sink *sink, const Tag_Gtf_Curve &c) {
    const struct {
        const char *name;
        int64_t value;
        bool doubled;
    } parts[4] = {
        {"C ", c.c2, true}, {", M ", c.m, false}, {", K ", c.k, false}, {", J ", c.j2, true}};
    AppendText(sink, "GTF (");
    for (const auto &part : parts) {
        AppendText(sink, part.name);
        AppendInteger(sink, part.doubled ? part.value / 2 : part.value);
        if (part.doubled && part.value % 2 != 0)
            AppendText(sink, ".5");
    }
    AppendText(sink, ")");
}

} // namespace

bool MakeCvtTiming(int64_t width, int64_t height, int64_t refresh, Cvt_Blanking blanking,
                   Tag_Video_Timing *timing, Tag_Timing_Error *error) {
    const char *formula = blanking == Cvt_Blanking::kCrt         ? "CVT"
                          : blanking == Cvt_Blanking::kReducedV1 ? "CVT-RB"
                          : blanking == Cvt_Blanking::kReducedV2 ? "CVT-RBv2"
                                                                 : nullptr;
    if (formula == nullptr) {
        Tag_Text_Sink reason = StartReason(error, Timing_Error_Code::kRequest);
        AppendText(&reason, "CVT blanking ");
        AppendInteger(&reason, static_cast<int32_t>(blanking));
        AppendText(&reason, " is none of 0 (CRT), 1 (reduced v1) and 2 (reduced v2)");
        return false;
    }
    if (!CheckRequest(formula, width, height, refresh, error))
        return false;
    Tag_Video_Timing t = Tag_Video_Timing();
    Cvt(width, height, refresh, blanking, &t);
    if (!CheckResult(formula, width, height, refresh, &t, error))
        return false;
    *timing = t;
    return true;
}

bool MakeGtfTiming(int64_t width, int64_t height, int64_t refresh, Tag_Video_Timing *timing,
                   Tag_Timing_Error *error) {
    if (!CheckRequest("GTF", width, height, refresh, error))
        return false;
    Tag_Video_Timing t = Tag_Video_Timing();
    Gtf(width, height, refresh, kGtfDefaultCurve, &t); // its duty cycle stays below 30 %
    if (!CheckResult("GTF", width, height, refresh, &t, error))
        return false;
    *timing = t;
    return true;
}

bool MakeGtfCurveTiming(int64_t width, int64_t height, int64_t refresh, const Tag_Gtf_Curve *curve,
                        Tag_Video_Timing *timing, Tag_Timing_Error *error) {
    char name[64];
    Tag_Text_Sink sink;
    StartText(&sink, name, sizeof name);
    AppendCurveName(&sink, *curve);
    const struct {
        const char *name;
        int32_t value, high;
    } parts[4] = {{"C x 2 ", curve->c2, 255},
                  {"M ", curve->m, 65535},
                  {"K ", curve->k, 255},
                  {"J x 2 ", curve->j2, 255}};
    for (const auto &part : parts) {
        if (part.value >= 0 && part.value <= part.high)
            continue;
        Tag_Text_Sink reason = StartReason(error, Timing_Error_Code::kRequest);
        AppendText(&reason, "GTF curve: ");
        AppendText(&reason, part.name);
        AppendInteger(&reason, part.value);
        AppendText(&reason, " is outside 0 .. ");
        AppendInteger(&reason, part.high);
        return false;
    }
    if (!CheckRequest(name, width, height, refresh, error))
        return false;
    Tag_Video_Timing t = Tag_Video_Timing();
    if (!Gtf(width, height, refresh, *curve, &t)) {
        Tag_Text_Sink reason = StartReason(error, Timing_Error_Code::kRequest);
        AppendRequest(&reason, name, width, height, refresh);
        AppendText(&reason, "the curve's duty cycle reaches 100 %: no room for the active line");
        return false;
    }
    if (!CheckResult(name, width, height, refresh, &t, error))
        return false;
    Tag_Timing_Error shape;
    if (!CheckTimingShape(&t, &shape)) {
        Tag_Text_Sink reason = StartReason(error, Timing_Error_Code::kRequest);
        AppendRequest(&reason, name, width, height, refresh);
        AppendText(&reason, shape.reason);
        return false;
    }
    *timing = t;
    return true;
}
