// The VESA DMT list (DMT 1.0 rev. 13), progressive modes, and its look-ups.
#include <math.h>

#include "timing/internal.h"
#include "timing/vesa.h"

namespace {

const bool P = true;  // positive sync
const bool N = false; // negative sync
const bool RB = true; // reduced blanking
const bool CRT = false;

// The 120 Hz reduced blanking modes, 0x43 and 0x4B among them, are the CVT
// reduced blanking timings of their size (vertical totals 1474 and 1525).
//
// id, width, height, named refresh, clock kHz,
// h front porch, sync, back porch, border, v front porch, sync, back porch, border,
// h polarity, v polarity, blanking.
const Tag_Dmt_Mode dmt_modes[] = {
    {0x01, 640, 350, 85, 31500, 32, 64, 96, 0, 32, 3, 60, 0, P, N, CRT},
    {0x02, 640, 400, 85, 31500, 32, 64, 96, 0, 1, 3, 41, 0, N, P, CRT},
    {0x03, 720, 400, 85, 35500, 36, 72, 108, 0, 1, 3, 42, 0, N, P, CRT},
    {0x04, 640, 480, 60, 25175, 8, 96, 40, 8, 2, 2, 25, 8, N, N, CRT},
    {0x05, 640, 480, 72, 31500, 16, 40, 120, 8, 1, 3, 20, 8, N, N, CRT},
    {0x06, 640, 480, 75, 31500, 16, 64, 120, 0, 1, 3, 16, 0, N, N, CRT},
    {0x07, 640, 480, 85, 36000, 56, 56, 80, 0, 1, 3, 25, 0, N, N, CRT},
    {0x08, 800, 600, 56, 36000, 24, 72, 128, 0, 1, 2, 22, 0, P, P, CRT},
    {0x09, 800, 600, 60, 40000, 40, 128, 88, 0, 1, 4, 23, 0, P, P, CRT},
    {0x0A, 800, 600, 72, 50000, 56, 120, 64, 0, 37, 6, 23, 0, P, P, CRT},
    {0x0B, 800, 600, 75, 49500, 16, 80, 160, 0, 1, 3, 21, 0, P, P, CRT},
    {0x0C, 800, 600, 85, 56250, 32, 64, 152, 0, 1, 3, 27, 0, P, P, CRT},
    {0x0D, 800, 600, 120, 73250, 48, 32, 80, 0, 3, 4, 29, 0, P, N, RB},
    {0x0E, 848, 480, 60, 33750, 16, 112, 112, 0, 6, 8, 23, 0, P, P, CRT},
    // 0x0F: 1024x768 at 43 Hz, interlaced (not offered).
    {0x10, 1024, 768, 60, 65000, 24, 136, 160, 0, 3, 6, 29, 0, N, N, CRT},
    {0x11, 1024, 768, 70, 75000, 24, 136, 144, 0, 3, 6, 29, 0, N, N, CRT},
    {0x12, 1024, 768, 75, 78750, 16, 96, 176, 0, 1, 3, 28, 0, P, P, CRT},
    {0x13, 1024, 768, 85, 94500, 48, 96, 208, 0, 1, 3, 36, 0, P, P, CRT},
    {0x14, 1024, 768, 120, 115500, 48, 32, 80, 0, 3, 4, 38, 0, P, N, RB},
    {0x15, 1152, 864, 75, 108000, 64, 128, 256, 0, 1, 3, 32, 0, P, P, CRT},
    {0x16, 1280, 768, 60, 68250, 48, 32, 80, 0, 3, 7, 12, 0, P, N, RB},
    {0x17, 1280, 768, 60, 79500, 64, 128, 192, 0, 3, 7, 20, 0, N, P, CRT},
    {0x18, 1280, 768, 75, 102250, 80, 128, 208, 0, 3, 7, 27, 0, N, P, CRT},
    {0x19, 1280, 768, 85, 117500, 80, 136, 216, 0, 3, 7, 31, 0, N, P, CRT},
    {0x1A, 1280, 768, 120, 140250, 48, 32, 80, 0, 3, 7, 35, 0, P, N, RB},
    {0x1B, 1280, 800, 60, 71000, 48, 32, 80, 0, 3, 6, 14, 0, P, N, RB},
    {0x1C, 1280, 800, 60, 83500, 72, 128, 200, 0, 3, 6, 22, 0, N, P, CRT},
    {0x1D, 1280, 800, 75, 106500, 80, 128, 208, 0, 3, 6, 29, 0, N, P, CRT},
    {0x1E, 1280, 800, 85, 122500, 80, 136, 216, 0, 3, 6, 34, 0, N, P, CRT},
    {0x1F, 1280, 800, 120, 146250, 48, 32, 80, 0, 3, 6, 38, 0, P, N, RB},
    {0x20, 1280, 960, 60, 108000, 96, 112, 312, 0, 1, 3, 36, 0, P, P, CRT},
    {0x21, 1280, 960, 85, 148500, 64, 160, 224, 0, 1, 3, 47, 0, P, P, CRT},
    {0x22, 1280, 960, 120, 175500, 48, 32, 80, 0, 3, 4, 50, 0, P, N, RB},
    {0x23, 1280, 1024, 60, 108000, 48, 112, 248, 0, 1, 3, 38, 0, P, P, CRT},
    {0x24, 1280, 1024, 75, 135000, 16, 144, 248, 0, 1, 3, 38, 0, P, P, CRT},
    {0x25, 1280, 1024, 85, 157500, 64, 160, 224, 0, 1, 3, 44, 0, P, P, CRT},
    {0x26, 1280, 1024, 120, 187250, 48, 32, 80, 0, 3, 7, 50, 0, P, N, RB},
    {0x27, 1360, 768, 60, 85500, 64, 112, 256, 0, 3, 6, 18, 0, P, P, CRT},
    {0x28, 1360, 768, 120, 148250, 48, 32, 80, 0, 3, 5, 37, 0, P, N, RB},
    {0x29, 1400, 1050, 60, 101000, 48, 32, 80, 0, 3, 4, 23, 0, P, N, RB},
    {0x2A, 1400, 1050, 60, 121750, 88, 144, 232, 0, 3, 4, 32, 0, N, P, CRT},
    {0x2B, 1400, 1050, 75, 156000, 104, 144, 248, 0, 3, 4, 42, 0, N, P, CRT},
    {0x2C, 1400, 1050, 85, 179500, 104, 152, 256, 0, 3, 4, 48, 0, N, P, CRT},
    {0x2D, 1400, 1050, 120, 208000, 48, 32, 80, 0, 3, 4, 55, 0, P, N, RB},
    {0x2E, 1440, 900, 60, 88750, 48, 32, 80, 0, 3, 6, 17, 0, P, N, RB},
    {0x2F, 1440, 900, 60, 106500, 80, 152, 232, 0, 3, 6, 25, 0, N, P, CRT},
    {0x30, 1440, 900, 75, 136750, 96, 152, 248, 0, 3, 6, 33, 0, N, P, CRT},
    {0x31, 1440, 900, 85, 157000, 104, 152, 256, 0, 3, 6, 39, 0, N, P, CRT},
    {0x32, 1440, 900, 120, 182750, 48, 32, 80, 0, 3, 6, 44, 0, P, N, RB},
    {0x33, 1600, 1200, 60, 162000, 64, 192, 304, 0, 1, 3, 46, 0, P, P, CRT},
    {0x34, 1600, 1200, 65, 175500, 64, 192, 304, 0, 1, 3, 46, 0, P, P, CRT},
    {0x35, 1600, 1200, 70, 189000, 64, 192, 304, 0, 1, 3, 46, 0, P, P, CRT},
    {0x36, 1600, 1200, 75, 202500, 64, 192, 304, 0, 1, 3, 46, 0, P, P, CRT},
    {0x37, 1600, 1200, 85, 229500, 64, 192, 304, 0, 1, 3, 46, 0, P, P, CRT},
    {0x38, 1600, 1200, 120, 268250, 48, 32, 80, 0, 3, 4, 64, 0, P, N, RB},
    {0x39, 1680, 1050, 60, 119000, 48, 32, 80, 0, 3, 6, 21, 0, P, N, RB},
    {0x3A, 1680, 1050, 60, 146250, 104, 176, 280, 0, 3, 6, 30, 0, N, P, CRT},
    {0x3B, 1680, 1050, 75, 187000, 120, 176, 296, 0, 3, 6, 40, 0, N, P, CRT},
    {0x3C, 1680, 1050, 85, 214750, 128, 176, 304, 0, 3, 6, 46, 0, N, P, CRT},
    {0x3D, 1680, 1050, 120, 245500, 48, 32, 80, 0, 3, 6, 53, 0, P, N, RB},
    {0x3E, 1792, 1344, 60, 204750, 128, 200, 328, 0, 1, 3, 46, 0, N, P, CRT},
    {0x3F, 1792, 1344, 75, 261000, 96, 216, 352, 0, 1, 3, 69, 0, N, P, CRT},
    {0x40, 1792, 1344, 120, 333250, 48, 32, 80, 0, 3, 4, 72, 0, P, N, RB},
    {0x41, 1856, 1392, 60, 218250, 96, 224, 352, 0, 1, 3, 43, 0, N, P, CRT},
    {0x42, 1856, 1392, 75, 288000, 128, 224, 352, 0, 1, 3, 104, 0, N, P, CRT},
    {0x43, 1856, 1392, 120, 356500, 48, 32, 80, 0, 3, 4, 75, 0, P, N, RB},
    {0x44, 1920, 1200, 60, 154000, 48, 32, 80, 0, 3, 6, 26, 0, P, N, RB},
    {0x45, 1920, 1200, 60, 193250, 136, 200, 336, 0, 3, 6, 36, 0, N, P, CRT},
    {0x46, 1920, 1200, 75, 245250, 136, 208, 344, 0, 3, 6, 46, 0, N, P, CRT},
    {0x47, 1920, 1200, 85, 281250, 144, 208, 352, 0, 3, 6, 53, 0, N, P, CRT},
    {0x48, 1920, 1200, 120, 317000, 48, 32, 80, 0, 3, 6, 62, 0, P, N, RB},
    {0x49, 1920, 1440, 60, 234000, 128, 208, 344, 0, 1, 3, 56, 0, N, P, CRT},
    {0x4A, 1920, 1440, 75, 297000, 144, 224, 352, 0, 1, 3, 56, 0, N, P, CRT},
    {0x4B, 1920, 1440, 120, 380500, 48, 32, 80, 0, 3, 4, 78, 0, P, N, RB},
    {0x4C, 2560, 1600, 60, 268500, 48, 32, 80, 0, 3, 6, 37, 0, P, N, RB},
    {0x4D, 2560, 1600, 60, 348500, 192, 280, 472, 0, 3, 6, 49, 0, N, P, CRT},
    {0x4E, 2560, 1600, 75, 443250, 208, 280, 488, 0, 3, 6, 63, 0, N, P, CRT},
    {0x4F, 2560, 1600, 85, 505250, 208, 280, 488, 0, 3, 6, 73, 0, N, P, CRT},
    {0x50, 2560, 1600, 120, 552750, 48, 32, 80, 0, 3, 6, 85, 0, P, N, RB},
    {0x51, 1366, 768, 60, 85500, 70, 143, 213, 0, 3, 3, 24, 0, P, P, CRT},
    {0x52, 1920, 1080, 60, 148500, 88, 44, 148, 0, 4, 5, 36, 0, P, P, CRT},
    {0x53, 1600, 900, 60, 108000, 24, 80, 96, 0, 1, 3, 96, 0, P, P, RB},
    {0x54, 2048, 1152, 60, 162000, 26, 80, 96, 0, 1, 3, 44, 0, P, P, RB},
    {0x55, 1280, 720, 60, 74250, 110, 40, 220, 0, 5, 5, 20, 0, P, P, CRT},
    {0x56, 1366, 768, 60, 72000, 14, 56, 64, 0, 1, 3, 28, 0, P, P, RB},
    {0x57, 4096, 2160, 60, 556744, 8, 32, 40, 0, 48, 8, 6, 0, P, N, RB},
    {0x58, 4096, 2160, 60, 556188, 8, 32, 40, 0, 48, 8, 6, 0, P, N, RB},
};

const int32_t kDmtModeCount = static_cast<int32_t>(sizeof dmt_modes / sizeof dmt_modes[0]);
const int64_t kDmtInterlacedId = 0x0F;
const int32_t kReasonNearestMax = 3;

// The mode's rate in Hz, borders counted in the totals.
double ModeRate(const Tag_Dmt_Mode &mode) {
    double h_total =
        mode.width + mode.h_front_porch + mode.h_sync + mode.h_back_porch + 2.0 * mode.h_border;
    double v_total =
        mode.height + mode.v_front_porch + mode.v_sync + mode.v_back_porch + 2.0 * mode.v_border;
    return mode.clock_khz * 1000.0 / (h_total * v_total);
}

// |a - b| for a table value b and any request a, without overflow.
int64_t Distance(int64_t request, int64_t value) {
    const int64_t kFar = INT64_C(1) << 40; // beyond every table value
    if (request > kFar)
        request = kFar;
    if (request < -kFar)
        request = -kFar;
    return request > value ? request - value : value - request;
}

// Whether a is nearer the request than b (FindNearestDmtModes' order).
bool Nearer(const Tag_Dmt_Mode &a, const Tag_Dmt_Mode &b, int64_t width, int64_t height,
            int64_t refresh) {
    int64_t size_a = Distance(width, a.width) + Distance(height, a.height);
    int64_t size_b = Distance(width, b.width) + Distance(height, b.height);
    if (size_a != size_b)
        return size_a < size_b;
    int64_t rate_a = Distance(refresh, a.refresh);
    int64_t rate_b = Distance(refresh, b.refresh);
    if (rate_a != rate_b)
        return rate_a < rate_b;
    if (a.reduced_blanking != b.reduced_blanking)
        return !a.reduced_blanking;
    return a.id < b.id;
}

// Between two modes of the same size and named refresh: whether a is the one
// to take over b (without reduced blanking first, then the rate nearer the
// named one; the table holds no two that tie).
bool PreferredTwin(const Tag_Dmt_Mode &a, const Tag_Dmt_Mode &b) {
    if (a.reduced_blanking != b.reduced_blanking)
        return !a.reduced_blanking;
    return fabs(ModeRate(a) - a.refresh) < fabs(ModeRate(b) - b.refresh);
}

void AppendHexId(Tag_Text_Sink *sink, int64_t id) {
    AppendHex(sink, static_cast<uint64_t>(id), 2);
}

void AppendMode(Tag_Text_Sink *sink, const Tag_Dmt_Mode &mode) {
    AppendInteger(sink, mode.width);
    AppendText(sink, "x");
    AppendInteger(sink, mode.height);
    AppendText(sink, " at ");
    AppendInteger(sink, mode.refresh);
    AppendText(sink, mode.reduced_blanking ? " Hz reduced blanking (" : " Hz (");
    AppendHexId(sink, mode.id);
    AppendText(sink, ")");
}

} // namespace

const Tag_Dmt_Mode *FindDmtModeById(int64_t id, Tag_Timing_Error *error) {
    for (const Tag_Dmt_Mode &mode : dmt_modes)
        if (mode.id == id)
            return &mode;
    Tag_Text_Sink reason = StartReason(error, Timing_Error_Code::kNotFound);
    if (id == kDmtInterlacedId) {
        AppendText(&reason, "DMT 0x0f is 1024x768 at 43 Hz interlaced: a timing block cannot "
                            "describe interlace");
    } else {
        AppendText(&reason, "no DMT mode has id ");
        AppendInteger(&reason, id);
        if (id >= 0 && id <= 0xFF) {
            AppendText(&reason, " (");
            AppendHexId(&reason, id);
            AppendText(&reason, ")");
        }
        AppendText(&reason, "; the ids run from 0x01 to 0x58");
    }
    return nullptr;
}

const Tag_Dmt_Mode *FindDmtMode(int64_t width, int64_t height, int64_t refresh,
                                Tag_Timing_Error *error) {
    const Tag_Dmt_Mode *best = nullptr;
    for (const Tag_Dmt_Mode &mode : dmt_modes) {
        if (mode.width != width || mode.height != height || mode.refresh != refresh)
            continue;
        if (best == nullptr || PreferredTwin(mode, *best))
            best = &mode;
    }
    if (best != nullptr)
        return best;
    Tag_Text_Sink reason = StartReason(error, Timing_Error_Code::kNotFound);
    AppendText(&reason, "no DMT mode ");
    AppendInteger(&reason, width);
    AppendText(&reason, "x");
    AppendInteger(&reason, height);
    AppendText(&reason, " at ");
    AppendInteger(&reason, refresh);
    AppendText(&reason, " Hz; nearest: ");
    const Tag_Dmt_Mode *nearest[kReasonNearestMax];
    int32_t count = FindNearestDmtModes(width, height, refresh, nearest, kReasonNearestMax);
    for (int32_t i = 0; i < count; ++i) {
        AppendText(&reason, i > 0 ? ", " : "");
        AppendMode(&reason, *nearest[i]);
    }
    return nullptr;
}

int32_t FindNearestDmtModes(int64_t width, int64_t height, int64_t refresh,
                            const Tag_Dmt_Mode **nearest, int32_t max) {
    int32_t count = 0;
    // Selection: each round takes the nearest mode not taken yet, which is
    // any mode that comes after the previous pick in the order.
    const Tag_Dmt_Mode *previous = nullptr;
    while (count < max && count < kDmtModeCount) {
        const Tag_Dmt_Mode *pick = nullptr;
        for (const Tag_Dmt_Mode &mode : dmt_modes) {
            if (previous != nullptr && !Nearer(*previous, mode, width, height, refresh))
                continue;
            if (pick == nullptr || Nearer(mode, *pick, width, height, refresh))
                pick = &mode;
        }
        nearest[count++] = pick;
        previous = pick;
    }
    return count;
}

void GetDmtModeTiming(const Tag_Dmt_Mode *mode, Tag_Video_Timing *timing) {
    *timing = Tag_Video_Timing();
    timing->clock_hz = static_cast<int64_t>(mode->clock_khz) * 1000;
    timing->h_active = mode->width;
    timing->h_front_porch = mode->h_front_porch + mode->h_border;
    timing->h_sync = mode->h_sync;
    timing->h_back_porch = mode->h_back_porch + mode->h_border;
    timing->v_active = mode->height;
    timing->v_front_porch = mode->v_front_porch + mode->v_border;
    timing->v_sync = mode->v_sync;
    timing->v_back_porch = mode->v_back_porch + mode->v_border;
    timing->nominal_refresh = mode->refresh;
    timing->h_sync_positive = mode->h_sync_positive;
    timing->v_sync_positive = mode->v_sync_positive;
}
