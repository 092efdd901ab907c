// The CTA-861 video formats by VIC (CTA-861-G, VICs 1 .. 127 and 193 .. 219):
// the published timings of the progressive ones.
#include <math.h>

#include "timing/edid.h"
#include "timing/internal.h"

namespace {

// One row of the table. A format that differs from another only in picture
// aspect names that one in same_as and has no numbers of its own; an
// interlaced one has none either (a timing block cannot hold it).
struct Tag_Vic_Row {
    int16_t vic;
    int16_t same_as; // the VIC whose timing this is, or 0
    bool interlaced;
    int32_t clock_khz;
    int16_t h_active, h_front_porch, h_sync, h_back_porch;
    int16_t v_active, v_front_porch, v_sync, v_back_porch;
    bool positive; // both syncs positive (high definition); negative otherwise
};

const bool I = true;  // interlaced
const bool P = true;  // positive syncs
const bool N = false; // negative syncs

// Rows of a timing of their own: vic, 0, false, clock, h active, front
// porch, sync, back porch, v active, front porch, sync, back porch, syncs.
#define VIC(vic, clock, ha, hf, hs, hb, va, vf, vs, vb, pol)                                       \
    { vic, 0, false, clock, ha, hf, hs, hb, va, vf, vs, vb, pol }
#define SAME(vic, as)                                                                              \
    { vic, as, false, 0, 0, 0, 0, 0, 0, 0, 0, 0, false }
#define INTERLACED(vic)                                                                            \
    { vic, 0, I, 0, 0, 0, 0, 0, 0, 0, 0, 0, false }

const Tag_Vic_Row vic_rows[] = {
    VIC(1, 25175, 640, 16, 96, 48, 480, 10, 2, 33, N),
    VIC(2, 27000, 720, 16, 62, 60, 480, 9, 6, 30, N),
    SAME(3, 2),
    VIC(4, 74250, 1280, 110, 40, 220, 720, 5, 5, 20, P),
    INTERLACED(5),
    INTERLACED(6),
    INTERLACED(7),
    VIC(8, 27000, 1440, 38, 124, 114, 240, 4, 3, 15, N),
    SAME(9, 8),
    INTERLACED(10),
    INTERLACED(11),
    VIC(12, 54000, 2880, 76, 248, 228, 240, 4, 3, 15, N),
    SAME(13, 12),
    VIC(14, 54000, 1440, 32, 124, 120, 480, 9, 6, 30, N),
    SAME(15, 14),
    VIC(16, 148500, 1920, 88, 44, 148, 1080, 4, 5, 36, P),
    VIC(17, 27000, 720, 12, 64, 68, 576, 5, 5, 39, N),
    SAME(18, 17),
    VIC(19, 74250, 1280, 440, 40, 220, 720, 5, 5, 20, P),
    INTERLACED(20),
    INTERLACED(21),
    INTERLACED(22),
    VIC(23, 27000, 1440, 24, 126, 138, 288, 2, 3, 19, N),
    SAME(24, 23),
    INTERLACED(25),
    INTERLACED(26),
    VIC(27, 54000, 2880, 48, 252, 276, 288, 2, 3, 19, N),
    SAME(28, 27),
    VIC(29, 54000, 1440, 24, 128, 136, 576, 5, 5, 39, N),
    SAME(30, 29),
    VIC(31, 148500, 1920, 528, 44, 148, 1080, 4, 5, 36, P),
    VIC(32, 74250, 1920, 638, 44, 148, 1080, 4, 5, 36, P),
    VIC(33, 74250, 1920, 528, 44, 148, 1080, 4, 5, 36, P),
    VIC(34, 74250, 1920, 88, 44, 148, 1080, 4, 5, 36, P),
    VIC(35, 108000, 2880, 64, 248, 240, 480, 9, 6, 30, N),
    SAME(36, 35),
    VIC(37, 108000, 2880, 48, 256, 272, 576, 5, 5, 39, N),
    SAME(38, 37),
    INTERLACED(39),
    INTERLACED(40),
    VIC(41, 148500, 1280, 440, 40, 220, 720, 5, 5, 20, P),
    VIC(42, 54000, 720, 12, 64, 68, 576, 5, 5, 39, N),
    SAME(43, 42),
    INTERLACED(44),
    INTERLACED(45),
    INTERLACED(46),
    VIC(47, 148500, 1280, 110, 40, 220, 720, 5, 5, 20, P),
    VIC(48, 54000, 720, 16, 62, 60, 480, 9, 6, 30, N),
    SAME(49, 48),
    INTERLACED(50),
    INTERLACED(51),
    VIC(52, 108000, 720, 12, 64, 68, 576, 5, 5, 39, N),
    SAME(53, 52),
    INTERLACED(54),
    INTERLACED(55),
    VIC(56, 108000, 720, 16, 62, 60, 480, 9, 6, 30, N),
    SAME(57, 56),
    INTERLACED(58),
    INTERLACED(59),
    VIC(60, 59400, 1280, 1760, 40, 220, 720, 5, 5, 20, P),
    VIC(61, 74250, 1280, 2420, 40, 220, 720, 5, 5, 20, P),
    VIC(62, 74250, 1280, 1760, 40, 220, 720, 5, 5, 20, P),
    VIC(63, 297000, 1920, 88, 44, 148, 1080, 4, 5, 36, P),
    VIC(64, 297000, 1920, 528, 44, 148, 1080, 4, 5, 36, P),
    SAME(65, 60),
    SAME(66, 61),
    SAME(67, 62),
    SAME(68, 19),
    SAME(69, 4),
    SAME(70, 41),
    SAME(71, 47),
    SAME(72, 32),
    SAME(73, 33),
    SAME(74, 34),
    SAME(75, 31),
    SAME(76, 16),
    SAME(77, 64),
    SAME(78, 63),
    VIC(79, 59400, 1680, 1360, 40, 220, 720, 5, 5, 20, P),
    VIC(80, 59400, 1680, 1228, 40, 220, 720, 5, 5, 20, P),
    VIC(81, 59400, 1680, 700, 40, 220, 720, 5, 5, 20, P),
    VIC(82, 82500, 1680, 260, 40, 220, 720, 5, 5, 20, P),
    VIC(83, 99000, 1680, 260, 40, 220, 720, 5, 5, 20, P),
    VIC(84, 165000, 1680, 60, 40, 220, 720, 5, 5, 95, P),
    VIC(85, 198000, 1680, 60, 40, 220, 720, 5, 5, 95, P),
    VIC(86, 99000, 2560, 998, 44, 148, 1080, 4, 5, 11, P),
    VIC(87, 90000, 2560, 448, 44, 148, 1080, 4, 5, 36, P),
    VIC(88, 118800, 2560, 768, 44, 148, 1080, 4, 5, 36, P),
    VIC(89, 185625, 2560, 548, 44, 148, 1080, 4, 5, 36, P),
    VIC(90, 198000, 2560, 248, 44, 148, 1080, 4, 5, 11, P),
    VIC(91, 371250, 2560, 218, 44, 148, 1080, 4, 5, 161, P),
    VIC(92, 495000, 2560, 548, 44, 148, 1080, 4, 5, 161, P),
    VIC(93, 297000, 3840, 1276, 88, 296, 2160, 8, 10, 72, P),
    VIC(94, 297000, 3840, 1056, 88, 296, 2160, 8, 10, 72, P),
    VIC(95, 297000, 3840, 176, 88, 296, 2160, 8, 10, 72, P),
    VIC(96, 594000, 3840, 1056, 88, 296, 2160, 8, 10, 72, P),
    VIC(97, 594000, 3840, 176, 88, 296, 2160, 8, 10, 72, P),
    VIC(98, 297000, 4096, 1020, 88, 296, 2160, 8, 10, 72, P),
    VIC(99, 297000, 4096, 968, 88, 128, 2160, 8, 10, 72, P),
    VIC(100, 297000, 4096, 88, 88, 128, 2160, 8, 10, 72, P),
    VIC(101, 594000, 4096, 968, 88, 128, 2160, 8, 10, 72, P),
    VIC(102, 594000, 4096, 88, 88, 128, 2160, 8, 10, 72, P),
    SAME(103, 93),
    SAME(104, 94),
    SAME(105, 95),
    SAME(106, 96),
    SAME(107, 97),
    VIC(108, 90000, 1280, 960, 40, 220, 720, 5, 5, 20, P),
    SAME(109, 108),
    VIC(110, 99000, 1680, 810, 40, 220, 720, 5, 5, 20, P),
    VIC(111, 148500, 1920, 638, 44, 148, 1080, 4, 5, 36, P),
    SAME(112, 111),
    VIC(113, 198000, 2560, 998, 44, 148, 1080, 4, 5, 11, P),
    VIC(114, 594000, 3840, 1276, 88, 296, 2160, 8, 10, 72, P),
    VIC(115, 594000, 4096, 1020, 88, 296, 2160, 8, 10, 72, P),
    SAME(116, 114),
    VIC(117, 1188000, 3840, 1056, 88, 296, 2160, 8, 10, 72, P),
    VIC(118, 1188000, 3840, 176, 88, 296, 2160, 8, 10, 72, P),
    SAME(119, 117),
    SAME(120, 118),
    VIC(121, 396000, 5120, 1996, 88, 296, 2160, 8, 10, 22, P),
    VIC(122, 396000, 5120, 1696, 88, 296, 2160, 8, 10, 22, P),
    VIC(123, 396000, 5120, 664, 88, 128, 2160, 8, 10, 22, P),
    VIC(124, 742500, 5120, 746, 88, 296, 2160, 8, 10, 297, P),
    VIC(125, 742500, 5120, 1096, 88, 296, 2160, 8, 10, 72, P),
    VIC(126, 742500, 5120, 164, 88, 128, 2160, 8, 10, 72, P),
    VIC(127, 1485000, 5120, 1096, 88, 296, 2160, 8, 10, 72, P),
    VIC(193, 1485000, 5120, 164, 88, 128, 2160, 8, 10, 72, P),
    VIC(194, 1188000, 7680, 2552, 176, 592, 4320, 16, 20, 144, P),
    VIC(195, 1188000, 7680, 2352, 176, 592, 4320, 16, 20, 44, P),
    VIC(196, 1188000, 7680, 552, 176, 592, 4320, 16, 20, 44, P),
    VIC(197, 2376000, 7680, 2552, 176, 592, 4320, 16, 20, 144, P),
    VIC(198, 2376000, 7680, 2352, 176, 592, 4320, 16, 20, 44, P),
    VIC(199, 2376000, 7680, 552, 176, 592, 4320, 16, 20, 44, P),
    VIC(200, 4752000, 7680, 2112, 176, 592, 4320, 16, 20, 144, P),
    VIC(201, 4752000, 7680, 352, 176, 592, 4320, 16, 20, 144, P),
    SAME(202, 194),
    SAME(203, 195),
    SAME(204, 196),
    SAME(205, 197),
    SAME(206, 198),
    SAME(207, 199),
    SAME(208, 200),
    SAME(209, 201),
    VIC(210, 1485000, 10240, 1492, 176, 592, 4320, 16, 20, 594, P),
    VIC(211, 1485000, 10240, 2492, 176, 592, 4320, 16, 20, 44, P),
    VIC(212, 1485000, 10240, 288, 176, 296, 4320, 16, 20, 144, P),
    VIC(213, 2970000, 10240, 1492, 176, 592, 4320, 16, 20, 594, P),
    VIC(214, 2970000, 10240, 2492, 176, 592, 4320, 16, 20, 44, P),
    VIC(215, 2970000, 10240, 288, 176, 296, 4320, 16, 20, 144, P),
    VIC(216, 5940000, 10240, 2192, 176, 592, 4320, 16, 20, 144, P),
    VIC(217, 5940000, 10240, 288, 176, 296, 4320, 16, 20, 144, P),
    VIC(218, 1188000, 4096, 800, 88, 296, 2160, 8, 10, 72, P),
    VIC(219, 1188000, 4096, 88, 88, 128, 2160, 8, 10, 72, P),
};

#undef VIC
#undef SAME
#undef INTERLACED

const Tag_Vic_Row *FindRow(int64_t vic) {
    for (const Tag_Vic_Row &row : vic_rows)
        if (row.vic == vic)
            return &row;
    return nullptr;
}

} // namespace

Cta_Vic_Result GetCtaVicTiming(int64_t vic, Tag_Video_Timing *timing, Tag_Timing_Error *error) {
    const Tag_Vic_Row *row = FindRow(vic);
    if (row != nullptr && row->same_as != 0)
        row = FindRow(row->same_as);
    if (row == nullptr || row->interlaced) {
        Tag_Text_Sink reason = StartReason(error, Timing_Error_Code::kNotFound);
        AppendText(&reason, row == nullptr ? "no CTA-861 VIC " : "CTA-861 VIC ");
        AppendInteger(&reason, vic);
        AppendText(&reason, row == nullptr ? "" : " is an interlaced format");
        return row == nullptr ? Cta_Vic_Result::kUnknown : Cta_Vic_Result::kInterlaced;
    }
    Tag_Video_Timing t = Tag_Video_Timing();
    t.clock_hz = int64_t{row->clock_khz} * 1000;
    t.h_active = row->h_active;
    t.h_front_porch = row->h_front_porch;
    t.h_sync = row->h_sync;
    t.h_back_porch = row->h_back_porch;
    t.v_active = row->v_active;
    t.v_front_porch = row->v_front_porch;
    t.v_sync = row->v_sync;
    t.v_back_porch = row->v_back_porch;
    t.h_sync_positive = row->positive;
    t.v_sync_positive = row->positive;
    t.nominal_refresh = GetNearestWholeRefresh(&t);
    *timing = t;
    return Cta_Vic_Result::kProgressive;
}
