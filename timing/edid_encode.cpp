// EDID: a base block encoded from a monitor's name, range limits and modes.
#include <string.h>

#include "timing/edid.h"
#include "timing/internal.h"

namespace {

const int32_t kStandardSlots = 8;
const size_t kNameMax = 13;

// A detailed timing's fields: clock units in 16 bits, active and blanking in
// 12 bits, horizontal front porch and sync in 10, vertical in 6.
const int64_t kDtdClockMaxHz = 65535 * kEdidDtdClockUnitHz;
const int64_t kDtdCountMax = 4095;
const int64_t kDtdHPartMax = 1023;
const int64_t kDtdVPartMax = 63;

// The range descriptor's bytes: rates 1 .. 255, the clock in its units.
const int64_t kRangeRateMax = 255;
const int64_t kRangeClockMaxKhz = 255 * kEdidRangeClockUnitKhz;

// sRGB's primaries and white point as 10-bit fractions: red x y, green x y,
// blue x y, white x y.
const int32_t kChromaticity[8] = {655, 338, 307, 614, 154, 61, 320, 337};

// Why a detailed timing cannot hold the mode exactly; Edid_Unplaced::kNone when
// it can.
Edid_Unplaced DetailedFault(const Tag_Video_Timing &t) {
    if (t.clock_hz % kEdidDtdClockUnitHz != 0 || t.clock_hz > kDtdClockMaxHz)
        return Edid_Unplaced::kClock;
    const int64_t h_blank = t.h_front_porch + t.h_sync + t.h_back_porch;
    const int64_t v_blank = t.v_front_porch + t.v_sync + t.v_back_porch;
    if (t.h_active > kDtdCountMax || h_blank > kDtdCountMax || t.v_active > kDtdCountMax ||
        v_blank > kDtdCountMax || t.h_front_porch > kDtdHPartMax || t.h_sync > kDtdHPartMax ||
        t.v_front_porch > kDtdVPartMax || t.v_sync > kDtdVPartMax || t.h_cursor_offset != 0 ||
        t.v_cursor_offset != 0)
        return Edid_Unplaced::kFields;
    if (t.nominal_refresh != GetNearestWholeRefresh(&t))
        return Edid_Unplaced::kRefresh;
    return Edid_Unplaced::kNone;
}

void WriteDetailed(const Tag_Video_Timing &t, uint8_t *p) {
    const int64_t clock = t.clock_hz / kEdidDtdClockUnitHz;
    const int64_t h_blank = t.h_front_porch + t.h_sync + t.h_back_porch;
    const int64_t v_blank = t.v_front_porch + t.v_sync + t.v_back_porch;
    const int64_t fields[18] = {clock & 0xff,
                                clock >> 8,
                                t.h_active & 0xff,
                                h_blank & 0xff,
                                (t.h_active >> 8) << 4 | h_blank >> 8,
                                t.v_active & 0xff,
                                v_blank & 0xff,
                                (t.v_active >> 8) << 4 | v_blank >> 8,
                                t.h_front_porch & 0xff,
                                t.h_sync & 0xff,
                                (t.v_front_porch & 0x0f) << 4 | (t.v_sync & 0x0f),
                                (t.h_front_porch >> 8) << 6 | (t.h_sync >> 8) << 4 |
                                    (t.v_front_porch >> 4) << 2 | t.v_sync >> 4,
                                0, // image size: not given
                                0,
                                0,
                                0, // no borders
                                0,
                                0x18 | (t.h_sync_positive ? 0x02 : 0) |
                                    (t.v_sync_positive ? 0x04 : 0)};
    for (size_t i = 0; i < kEdidDescriptorSize; ++i)
        p[i] = static_cast<uint8_t>(fields[i]);
}

// A display descriptor's header: 00 00 00 tag 00.
uint8_t *StartDescriptor(uint8_t *p, uint8_t tag) {
    memset(p, 0, kEdidDescriptorSize);
    p[3] = tag;
    return p + 5;
}

bool Refuse(Tag_Timing_Error *error, const char *what, int64_t value, const char *rest) {
    Tag_Text_Sink reason = StartReason(error, Timing_Error_Code::kRequest);
    AppendText(&reason, what);
    AppendInteger(&reason, value);
    AppendText(&reason, rest);
    return false;
}

// "mode 3 (1280x1024@60): "
void AppendMode(Tag_Text_Sink *sink, int32_t index, const Tag_Video_Timing &t) {
    AppendText(sink, "mode ");
    AppendInteger(sink, index + 1);
    AppendText(sink, " (");
    AppendInteger(sink, t.h_active);
    AppendText(sink, "x");
    AppendInteger(sink, t.v_active);
    AppendText(sink, "@");
    AppendInteger(sink, t.nominal_refresh);
    AppendText(sink, ")");
}

// The range limits: the given ones checked, or derived from the modes.
bool MakeRange(const Tag_Edid_Request &request, Tag_Edid_Range *range, Tag_Timing_Error *error) {
    if (request.range != nullptr) {
        *range = *request.range;
        range->max_clock_khz = (range->max_clock_khz + kEdidRangeClockUnitKhz - 1) /
                               kEdidRangeClockUnitKhz * kEdidRangeClockUnitKhz;
    } else {
        *range = Tag_Edid_Range();
        for (int32_t i = 0; i < request.mode_count; ++i) {
            const Tag_Video_Timing &t = request.modes[i];
            const int64_t h_total = GetTimingHTotal(&t);
            const int64_t frame = h_total * GetTimingVTotal(&t);
            // Rounded outward: kHz and Hz down for the minimum, up for the
            // maximum; the clock up to 10 MHz.
            const int64_t h_low = t.clock_hz / h_total / 1000;
            const int64_t h_high = (t.clock_hz + h_total * 1000 - 1) / (h_total * 1000);
            const int64_t v_low = t.clock_hz / frame;
            const int64_t v_high = (t.clock_hz + frame - 1) / frame;
            const int64_t clock = (t.clock_hz + kEdidRangeClockUnitKhz * 1000 - 1) /
                                  (kEdidRangeClockUnitKhz * 1000) * kEdidRangeClockUnitKhz;
            const int64_t cap = INT32_MAX;
            auto low = [&](int32_t *field, int64_t value) {
                *field = static_cast<int32_t>(i == 0 || value < *field ? value : *field);
            };
            auto high = [&](int32_t *field, int64_t value) {
                value = value < cap ? value : cap;
                *field = static_cast<int32_t>(i == 0 || value > *field ? value : *field);
            };
            low(&range->h_min_khz, h_low);
            high(&range->h_max_khz, h_high);
            low(&range->v_min_hz, v_low);
            high(&range->v_max_hz, v_high);
            high(&range->max_clock_khz, clock);
        }
    }
    range->present = true;
    range->support = Edid_Range_Support::kGtf;
    const struct {
        const char *name;
        int64_t low, high, max;
        const char *unit;
    } checks[3] = {
        {"vertical rate ", range->v_min_hz, range->v_max_hz, kRangeRateMax, " Hz"},
        {"horizontal rate ", range->h_min_khz, range->h_max_khz, kRangeRateMax, " kHz"},
        {"pixel clock ", 1, range->max_clock_khz / 1000, kRangeClockMaxKhz / 1000, " MHz"},
    };
    for (const auto &c : checks) {
        if (c.low >= 1 && c.low <= c.high && c.high <= c.max)
            continue;
        Tag_Text_Sink reason = StartReason(error, Timing_Error_Code::kRequest);
        AppendText(&reason, "range limits: ");
        AppendText(&reason, c.name);
        AppendInteger(&reason, c.low);
        AppendText(&reason, " .. ");
        AppendInteger(&reason, c.high);
        AppendText(&reason, c.unit);
        AppendText(&reason, " is not within 1 .. ");
        AppendInteger(&reason, c.max);
        AppendText(&reason, c.unit);
        AppendText(&reason, request.range == nullptr ? " (as the modes need it)" : "");
        return false;
    }
    return true;
}

// The standard timing code that decodes into the mode exactly, if any.
bool FindStandardCode(const Tag_Video_Timing &t, const Tag_Edid_Range &range, uint8_t code[2]) {
    if (t.h_active % 8 != 0 || t.h_active < 256 || t.h_active > 2288 || t.nominal_refresh < 60 ||
        t.nominal_refresh > 123)
        return false;
    for (int32_t aspect = 0; aspect < 4; ++aspect) {
        if (t.h_active * kStandardAspects[aspect][1] / kStandardAspects[aspect][0] != t.v_active)
            continue;
        code[0] = static_cast<uint8_t>(t.h_active / 8 - 31);
        code[1] = static_cast<uint8_t>(aspect << 6 | (t.nominal_refresh - 60));
        Tag_Edid_Mode mode;
        Edid_Skip skip;
        return DecodeStandardCode(code[0], code[1], 3, &range, &mode, &skip) ==
                   Code_Reading::kMade &&
               SameTimingNumbers(&mode.timing, &t) &&
               mode.timing.nominal_refresh == t.nominal_refresh;
    }
    return false;
}

// The established timing bit that decodes into the mode exactly, or -1.
int32_t FindEstablishedBit(const Tag_Video_Timing &t) {
    for (int32_t bit = 0; bit < kEdidEstablishedBits; ++bit) {
        Tag_Edid_Mode mode;
        Edid_Skip skip;
        if (DecodeEstablishedBit(bit, &mode, &skip) == Code_Reading::kMade &&
            SameTimingNumbers(&mode.timing, &t) && mode.timing.nominal_refresh == t.nominal_refresh)
            return bit;
    }
    return -1;
}

// A repeat of an earlier mode, or a mode of an earlier one's size and
// refresh (which decoding would drop); where nowhere otherwise, other -1.
Tag_Edid_Placement EarlierTwin(const Tag_Edid_Request &r, int32_t i) {
    const Tag_Video_Timing &t = r.modes[i];
    for (int32_t k = 0; k < i; ++k) {
        const Tag_Video_Timing &e = r.modes[k];
        if (e.h_active != t.h_active || e.v_active != t.v_active ||
            e.nominal_refresh != t.nominal_refresh)
            continue;
        if (SameTimingNumbers(&e, &t))
            return {Edid_Placed::kRepeat, Edid_Unplaced::kNone, k};
        return {Edid_Placed::kNowhere, Edid_Unplaced::kSameId, k};
    }
    return {Edid_Placed::kNowhere, Edid_Unplaced::kNone, -1};
}

} // namespace

bool EncodeEdid(const Tag_Edid_Request *request, uint8_t block[kEdidBlockSize],
                Tag_Edid_Placement *placements, Tag_Edid_Range *range_written,
                Tag_Timing_Error *error) {
    const Tag_Edid_Request &r = *request;
    if (r.mode_count < 1 || r.mode_count > kEdidEncodeModeMax || r.modes == nullptr)
        return Refuse(error, "the monitor has ", r.mode_count,
                      " modes: an EDID is made of 1 .. 1024");
    for (int32_t i = 0; i < r.mode_count; ++i) {
        Tag_Timing_Error shape;
        if (CheckTimingShape(&r.modes[i], &shape))
            continue;
        Tag_Text_Sink reason = StartReason(error, Timing_Error_Code::kRequest);
        AppendMode(&reason, i, r.modes[i]);
        AppendText(&reason, " is no mode: ");
        AppendText(&reason, shape.reason);
        return false;
    }
    const char *vendor = r.vendor != nullptr ? r.vendor : "ORV";
    uint32_t letters = 0;
    for (size_t i = 0; i < 4; ++i) {
        const char c = AsciiUpper(vendor[i]);
        if (i == 3 ? vendor[i] != '\0' : c < 'A' || c > 'Z') {
            Tag_Text_Sink reason = StartReason(error, Timing_Error_Code::kRequest);
            AppendText(&reason, "the vendor ");
            AppendQuoted(&reason, vendor);
            AppendText(&reason, " is not three letters A .. Z");
            return false;
        }
        if (i < 3)
            letters = letters << 5 | static_cast<uint32_t>(c - 'A' + 1);
    }
    if (r.product_code < 0 || r.product_code > 65535)
        return Refuse(error, "the product code ", r.product_code, " is outside 0 .. 65535");
    const std::string_view name = r.name != nullptr ? std::string_view(r.name) : "";
    if (TrimBlanks(name).empty()) {
        Tag_Text_Sink reason = StartReason(error, Timing_Error_Code::kRequest);
        AppendText(&reason, "the monitor's name is blank: an EDID names the monitor");
        return false;
    }
    Tag_Edid_Range range;
    if (!MakeRange(r, &range, error))
        return false;
    // The preferred mode: exact in a detailed timing, or exact in a list and
    // in a detailed timing but for the clock's rounding (a standard code then
    // has a slot whatever the modes before it took).
    int32_t preferred = -1;
    bool preferred_rounded = false;
    for (int32_t i = 0; i < r.mode_count && preferred < 0; ++i) {
        const Tag_Video_Timing &t = r.modes[i];
        uint8_t code[2];
        if (EarlierTwin(r, i).other >= 0)
            continue;
        if (DetailedFault(t) == Edid_Unplaced::kNone)
            preferred = i;
        else if (DetailedFault(GetDetailedTiming(t)) == Edid_Unplaced::kNone &&
                 (FindEstablishedBit(t) >= 0 ||
                  (i < kStandardSlots && FindStandardCode(t, range, code))))
            preferred = i, preferred_rounded = true;
    }
    if (preferred < 0) {
        Tag_Text_Sink reason = StartReason(error, Timing_Error_Code::kRequest);
        AppendText(&reason, "no mode fits a detailed timing exactly for the preferred one; ");
        AppendMode(&reason, 0, r.modes[0]);
        AppendText(&reason, ": ");
        AppendText(&reason, DescribeEdidUnplaced(DetailedFault(r.modes[0])));
        return false;
    }

    uint8_t b[kEdidBlockSize] = {};
    memcpy(b, kEdidHeader, sizeof kEdidHeader);
    b[8] = static_cast<uint8_t>(letters >> 8);
    b[9] = static_cast<uint8_t>(letters);
    b[10] = static_cast<uint8_t>(r.product_code);
    b[11] = static_cast<uint8_t>(r.product_code >> 8);
    b[17] = 2026 - 1990; // the year made; no week
    b[18] = 1;
    b[19] = 3;
    b[20] = 0x08; // analog, 0.7 V, separate syncs
    b[23] = 120;  // gamma 2.2
    b[24] = 0x0e; // RGB colour, sRGB; the first detailed timing is the preferred one
    for (int i = 0; i < 4; ++i) {
        b[25] |= static_cast<uint8_t>((kChromaticity[i] & 3) << (6 - 2 * i));
        b[26] |= static_cast<uint8_t>((kChromaticity[4 + i] & 3) << (6 - 2 * i));
    }
    for (int i = 0; i < 8; ++i)
        b[27 + i] = static_cast<uint8_t>(kChromaticity[i] >> 2);
    for (int32_t i = 0; i < kStandardSlots; ++i)
        b[38 + 2 * i] = b[39 + 2 * i] = 0x01;

    // Descriptor slots: the preferred timing, one more timing, the range
    // limits, the name.
    uint8_t *slot[kEdidDescriptorCount];
    for (int32_t i = 0; i < kEdidDescriptorCount; ++i)
        slot[i] = b + kEdidDescriptorStart + i * kEdidDescriptorSize;
    WriteDetailed(GetDetailedTiming(r.modes[preferred]), slot[0]);
    int32_t free_slot = 1;
    const int32_t timing_slots = 2;
    int32_t standard_count = 0;
    for (int32_t i = 0; i < r.mode_count; ++i) {
        const Tag_Video_Timing &t = r.modes[i];
        Tag_Edid_Placement place = EarlierTwin(r, i);
        uint8_t code[2];
        const int32_t bit = place.other < 0 ? FindEstablishedBit(t) : -1;
        if (place.other >= 0) {
            // placed as the earlier one was
        } else if (i == preferred && !preferred_rounded) {
            place.where = Edid_Placed::kDetailed;
        } else if (bit >= 0) {
            b[35 + bit / 8] |= static_cast<uint8_t>(0x80 >> bit % 8);
            place.where = Edid_Placed::kEstablished;
        } else if (standard_count < kStandardSlots && FindStandardCode(t, range, code)) {
            b[38 + 2 * standard_count] = code[0];
            b[39 + 2 * standard_count] = code[1];
            ++standard_count;
            place.where = Edid_Placed::kStandard;
        } else if ((place.reason = DetailedFault(t)) == Edid_Unplaced::kNone) {
            if (free_slot < timing_slots) {
                WriteDetailed(t, slot[free_slot++]);
                place.where = Edid_Placed::kDetailed;
            } else {
                place.reason = Edid_Unplaced::kNoRoom;
            }
        }
        if (placements != nullptr)
            placements[i] = place;
    }
    if (free_slot < timing_slots)
        StartDescriptor(slot[free_slot], 0x10); // a dummy

    uint8_t *p = StartDescriptor(slot[2], 0xfd);
    p[0] = static_cast<uint8_t>(range.v_min_hz);
    p[1] = static_cast<uint8_t>(range.v_max_hz);
    p[2] = static_cast<uint8_t>(range.h_min_khz);
    p[3] = static_cast<uint8_t>(range.h_max_khz);
    p[4] = static_cast<uint8_t>(range.max_clock_khz / kEdidRangeClockUnitKhz);
    p[5] = static_cast<uint8_t>(Edid_Range_Support::kGtf);
    p[6] = 0x0a;
    memset(p + 7, ' ', 6);
    p = StartDescriptor(slot[3], 0xfc);
    size_t length = 0;
    for (; length < name.size() && length < kNameMax; ++length) {
        const unsigned char c = static_cast<unsigned char>(name[length]);
        p[length] = c >= 0x20 && c <= 0x7e ? c : '?';
    }
    if (length < kNameMax)
        p[length++] = 0x0a;
    memset(p + length, ' ', kNameMax - length);

    b[kEdidBlockSize - 1] = GetEdidChecksum(b);
    memcpy(block, b, kEdidBlockSize);
    if (range_written != nullptr)
        *range_written = range;
    return true;
}

const char *DescribeEdidUnplaced(Edid_Unplaced reason) {
    static const char *const reasons[kEdidUnplacedKinds] = {
        "",
        "no descriptor is left for it",
        "its clock is above the 655.35 MHz a detailed timing holds or no multiple of 10 kHz",
        "a count is beyond what a detailed timing holds, or a cursor offset is not 0",
        "a detailed timing would name it by its rate rounded, another refresh",
        "another mode of its size and refresh is written",
    };
    const int32_t index = static_cast<int32_t>(reason);
    return index >= 0 && index < kEdidUnplacedKinds ? reasons[index] : "";
}
