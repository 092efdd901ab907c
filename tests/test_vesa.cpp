// The VESA timings apart from the reference calculator: the bundled example's
// blocks are DMT modes, the DMT look-ups and their misses, the DMT modes the
// standard defines by the CVT formula, the formulas off the reference's grid,
// and the requests they refuse.
#include <string>
#include <vector>

#include "support/testutil.h"
#include "support/timing_fields.h"
#include "timing/vesa.h"

namespace {

class VesaExample : public FreshDatabase {};

// Each block of the example is the DMT mode of its size and rate, borders
// folded into the porches (640x480 at 60 and 72 Hz have borders).
TEST_F(VesaExample, BlocksAreDmtModes) {
    ASSERT_TRUE(ReadDatFile(ExampleDatPath().c_str()));
    int blocks = 0;
    for (Tag_Timing_Info *info = GetTimingInfoHead(); info != nullptr; info = info->next) {
        Tag_Timing_Block_Report report;
        ASSERT_TRUE(ParseTimingBlock(info->info_block, &report));
        const Tag_Video_Timing &t = report.timing;
        const Tag_Dmt_Mode *mode = FindDmtMode(t.h_active, t.v_active, t.nominal_refresh, nullptr);
        ASSERT_NE(mode, nullptr) << info->res_id_string;
        Tag_Video_Timing dmt;
        GetDmtModeTiming(mode, &dmt);
        EXPECT_EQ(TimingFields(dmt), TimingFields(t)) << info->res_id_string;
        ++blocks;
    }
    EXPECT_EQ(blocks, 13);
}

TEST(Dmt, LookUpMisses) {
    struct Miss {
        int64_t width, height, refresh;
        const char *reason;
    };
    const Miss misses[] = {
        {1000, 700, 60,
         "no DMT mode 1000x700 at 60 Hz; nearest: 1024x768 at 60 Hz (0x10), 1024x768 at 70 Hz "
         "(0x11), 1024x768 at 75 Hz (0x12)"},
        {640, 480, 73,
         "no DMT mode 640x480 at 73 Hz; nearest: 640x480 at 72 Hz (0x05), 640x480 at 75 Hz "
         "(0x06), 640x480 at 85 Hz (0x07)"},
        {1366, 768, 59,
         "no DMT mode 1366x768 at 59 Hz; nearest: 1366x768 at 60 Hz (0x51), 1366x768 at 60 Hz "
         "reduced blanking (0x56), 1360x768 at 60 Hz (0x27)"},
        {INT64_MIN, INT64_MAX, INT64_MIN,
         "no DMT mode -9223372036854775808x9223372036854775807 at -9223372036854775808 Hz; "
         "nearest: 640x480 at 60 Hz (0x04), 640x480 at 72 Hz (0x05), 640x480 at 75 Hz (0x06)"},
    };
    for (const Miss &m : misses) {
        Tag_Timing_Error error;
        EXPECT_EQ(FindDmtMode(m.width, m.height, m.refresh, &error), nullptr);
        EXPECT_EQ(error.code, Timing_Error_Code::kNotFound);
        EXPECT_STREQ(error.reason, m.reason);
    }
    const Tag_Dmt_Mode *nearest[100];
    EXPECT_EQ(FindNearestDmtModes(640, 480, 60, nearest, 100),
              static_cast<int32_t>(DmtModes().size()))
        << "each mode once";
    EXPECT_EQ(nearest[0]->id, 0x04);
    EXPECT_EQ(FindNearestDmtModes(640, 480, 60, nearest, 0), 0);

    const struct {
        int64_t id;
        const char *reason;
    } ids[] = {
        {0x0F,
         "DMT 0x0f is 1024x768 at 43 Hz interlaced: a timing block cannot describe interlace"},
        {0x59, "no DMT mode has id 89 (0x59); the ids run from 0x01 to 0x58"},
        {0, "no DMT mode has id 0 (0x00); the ids run from 0x01 to 0x58"},
        {-1, "no DMT mode has id -1; the ids run from 0x01 to 0x58"},
    };
    for (const auto &c : ids) {
        Tag_Timing_Error error;
        EXPECT_EQ(FindDmtModeById(c.id, &error), nullptr);
        EXPECT_EQ(error.code, Timing_Error_Code::kNotFound);
        EXPECT_STREQ(error.reason, c.reason);
    }
    EXPECT_EQ(FindDmtModeById(0x0F, nullptr), nullptr);
}

// The modes the standard names "CVT" or "CVT (Reduced Blanking)" are the CVT
// formula's timings of their size and named refresh. (0x28, 1360x768 at 120 Hz,
// is too, but with the vertical sync of 16:9, which its size is only nearly.)
TEST(Dmt, ModesDefinedByCvt) {
    const std::vector<int64_t> crt = {0x17, 0x18, 0x19, 0x1C, 0x1D, 0x1E, 0x2A,
                                      0x2B, 0x2C, 0x2F, 0x30, 0x31, 0x3A, 0x3B,
                                      0x3C, 0x45, 0x46, 0x47, 0x4D, 0x4E, 0x4F};
    const std::vector<int64_t> reduced = {0x0D, 0x14, 0x16, 0x1A, 0x1B, 0x1F, 0x22, 0x26,
                                          0x29, 0x2D, 0x2E, 0x32, 0x38, 0x39, 0x3D, 0x40,
                                          0x43, 0x44, 0x48, 0x4B, 0x4C, 0x50};
    for (bool rb : {false, true}) {
        for (int64_t id : rb ? reduced : crt) {
            const Tag_Dmt_Mode *mode = FindDmtModeById(id, nullptr);
            ASSERT_NE(mode, nullptr);
            EXPECT_EQ(mode->reduced_blanking, rb) << id;
            Tag_Video_Timing dmt, cvt;
            GetDmtModeTiming(mode, &dmt);
            ASSERT_TRUE(MakeCvtTiming(mode->width, mode->height, mode->refresh,
                                      rb ? Cvt_Blanking::kReducedV1 : Cvt_Blanking::kCrt, &cvt,
                                      nullptr));
            EXPECT_EQ(TimingFields(cvt), TimingFields(dmt)) << "DMT " << id;
        }
    }
}

// Off the grid of the reference test: widths off the character cell, aspect
// ratios 15:9 and none, the twin rule.
TEST(Formulas, RoundingAndAspect) {
    struct Case {
        bool gtf; // else CVT with blanking
        Cvt_Blanking blanking;
        int64_t width, height;
        int64_t h_active, v_sync;
    };
    const Case cases[] = {
        {false, Cvt_Blanking::kCrt, 1366, 768, 1366, 10},
        {false, Cvt_Blanking::kReducedV1, 1366, 768, 1366, 10},
        {false, Cvt_Blanking::kReducedV2, 1366, 768, 1366, 8},
        {true, Cvt_Blanking::kCrt, 1366, 768, 1368, 3},
        {false, Cvt_Blanking::kCrt, 1285, 960, 1285, 10},
        {false, Cvt_Blanking::kCrt, 1365, 768, 1365, 5},
        {false, Cvt_Blanking::kCrt, 1280, 768, 1280, 7},
        {false, Cvt_Blanking::kCrt, 1000, 1000, 1000, 10},
    };
    for (const Case &c : cases) {
        Tag_Video_Timing t;
        ASSERT_TRUE(!c.gtf ? MakeCvtTiming(c.width, c.height, 60, c.blanking, &t, nullptr)
                           : MakeGtfTiming(c.width, c.height, 60, &t, nullptr));
        EXPECT_EQ(t.h_active, c.h_active) << static_cast<int>(c.blanking) << " " << c.width;
        EXPECT_EQ(t.v_sync, c.v_sync)
            << static_cast<int>(c.blanking) << " " << c.width << "x" << c.height;
        EXPECT_EQ(t.nominal_refresh, 60);
    }
    EXPECT_EQ(FindDmtMode(1366, 768, 60, nullptr)->id, 0x51) << "without reduced blanking";
    EXPECT_EQ(FindDmtMode(4096, 2160, 60, nullptr)->id, 0x57) << "the rate nearer 60 Hz";
}

TEST(Formulas, Refusals) {
    struct Case {
        bool gtf; // else CVT with blanking
        Cvt_Blanking blanking;
        int64_t width, height, refresh;
        const char *reason;
    };
    const Case cases[] = {
        {false, Cvt_Blanking::kCrt, 0, 0, 60, "CVT 0x0 at 60 Hz: width 0 is outside 8 .. 16384"},
        {true, Cvt_Blanking::kCrt, 640, 480, 0,
         "GTF 640x480 at 0 Hz: refresh 0 is outside 1 .. 1000"},
        {false, Cvt_Blanking::kReducedV1, 100000, 768, 60,
         "CVT-RB 100000x768 at 60 Hz: width 100000 is outside 8 .. 16384"},
        {false, Cvt_Blanking::kReducedV2, 640, 16385, 60,
         "CVT-RBv2 640x16385 at 60 Hz: height 16385 is outside 8 .. 16384"},
        {true, Cvt_Blanking::kCrt, INT64_MIN, 480, 60,
         "GTF -9223372036854775808x480 at 60 Hz: width -9223372036854775808 is outside 8 .. 16384"},
        {false, static_cast<Cvt_Blanking>(3), 640, 480, 60,
         "CVT blanking 3 is none of 0 (CRT), 1 (reduced v1) and 2 (reduced v2)"},
        {false, Cvt_Blanking::kCrt, 8, 8, 1,
         "CVT 8x8 at 1 Hz: pixel clock 0.000 MHz is not above 0"},
        {false, Cvt_Blanking::kCrt, 16384, 16384, 1000,
         "CVT 16384x16384 at 1000 Hz: pixel clock 851832.500 MHz is above 100000.000 MHz"},
    };
    for (const Case &c : cases) {
        Tag_Video_Timing t = Tag_Video_Timing();
        t.h_active = 12345;
        Tag_Timing_Error error;
        EXPECT_FALSE(!c.gtf ? MakeCvtTiming(c.width, c.height, c.refresh, c.blanking, &t, &error)
                            : MakeGtfTiming(c.width, c.height, c.refresh, &t, &error));
        EXPECT_EQ(error.code, Timing_Error_Code::kRequest) << c.reason;
        EXPECT_STREQ(error.reason, c.reason);
        EXPECT_EQ(t.h_active, 12345) << "the timing is left alone";
    }
    // The largest requests within the limits, and a GTF timing the formula
    // gives a negative front porch, as it is.
    Tag_Video_Timing t;
    EXPECT_TRUE(MakeCvtTiming(16384, 16384, 60, Cvt_Blanking::kCrt, &t, nullptr));
    EXPECT_TRUE(MakeCvtTiming(8, 8, 1000, Cvt_Blanking::kReducedV2, &t, nullptr));
    ASSERT_TRUE(MakeGtfTiming(320, 240, 50, &t, nullptr));
    EXPECT_EQ(t.h_front_porch, -16);
    EXPECT_EQ(FindTimingShapeFault(&t), Timing_Item::kHFrontPorch);
}

// A curve of the caller's refuses what the default curve returns as it is.
TEST(Formulas, CurveRefusals) {
    struct Case {
        Tag_Gtf_Curve curve;
        const char *reason;
    };
    const Case cases[] = {
        {{80, 3600, 128, 70},
         "GTF (C 40, M 3600, K 128, J 35) 640x480 at 60 Hz: horizontal front porch -96 is below 0"},
        {{255, 0, 255, 0},
         "GTF (C 127.5, M 0, K 255, J 0) 640x480 at 60 Hz: the curve's duty cycle reaches 100 %: "
         "no room for the active line"},
        {{80, 65536, 128, 40}, "GTF curve: M 65536 is outside 0 .. 65535"},
        {{80, 600, 128, -1}, "GTF curve: J x 2 -1 is outside 0 .. 255"},
    };
    for (const Case &c : cases) {
        Tag_Video_Timing t = Tag_Video_Timing();
        Tag_Timing_Error error;
        EXPECT_FALSE(MakeGtfCurveTiming(640, 480, 60, &c.curve, &t, &error)) << c.reason;
        EXPECT_EQ(error.code, Timing_Error_Code::kRequest) << c.reason;
        EXPECT_STREQ(error.reason, c.reason);
        EXPECT_EQ(t.h_active, 0) << "the timing is left alone";
    }
    // The default curve through either function.
    Tag_Video_Timing on_curve, by_default;
    ASSERT_TRUE(MakeGtfCurveTiming(1366, 768, 60, &kGtfDefaultCurve, &on_curve, nullptr));
    ASSERT_TRUE(MakeGtfTiming(1366, 768, 60, &by_default, nullptr));
    EXPECT_EQ(TimingFields(on_curve), TimingFields(by_default));
}

} // namespace
