// X11 modelines: what the reader takes and refuses, and the writer read back.
#include <string.h>

#include <string>

#include "support/timing_fields.h"
#include "support/testutil.h"
#include "timing/modeline.h"
#include "timing/vesa.h"

namespace {

struct Good_Case {
    const char *text;
    int64_t clock_hz;
    int64_t counts[8]; // HDISP HSS HSE HTOT VDISP VSS VSE VTOT
    bool h_positive, v_positive;
    int64_t nominal_refresh;
};

TEST(Modeline, Reads) {
    const Good_Case cases[] = {
        {"Modeline \"640x480_60\" 25.175 640 656 752 800 480 490 492 525 -hsync -vsync",
         25175000,
         {640, 656, 752, 800, 480, 490, 492, 525},
         false,
         false,
         60},
        // No keyword, no name, no flags: negative syncs.
        {"31.5 640 664 704 832 480 489 492 520",
         31500000,
         {640, 664, 704, 832, 480, 489, 492, 520},
         false,
         false,
         73},
        {"\t modeline \"1920 x 1080\"\t148.5 1920 2008 2052 2200 1080 1084 1089 1125 +HSync "
         "+vsync \r\n",
         148500000,
         {1920, 2008, 2052, 2200, 1080, 1084, 1089, 1125},
         true,
         true,
         60},
        {"\"x\" 148.5 1920 2008 2052 2200 1080 1084 1089 1125 +vsync -hsync",
         148500000,
         {1920, 2008, 2052, 2200, 1080, 1084, 1089, 1125},
         false,
         true,
         60},
        // The clock to the kHz, halves away from zero; a zero front porch.
        {"Modeline \"\" 23.8555 640 640 704 800 480 481 484 497 +hsync",
         23856000,
         {640, 640, 704, 800, 480, 481, 484, 497},
         true,
         false,
         60},
        {".5 8 8 9 10 8 8 9 10\n", 500000, {8, 8, 9, 10, 8, 8, 9, 10}, false, false, 5000},
        // Refresh halves round up: 1000 Hz clock over 400 pixels is 2.5 Hz.
        {"0.001 10 10 11 20 10 10 11 20", 1000, {10, 10, 11, 20, 10, 10, 11, 20}, false, false, 3},
    };
    for (const Good_Case &c : cases) {
        Tag_Video_Timing t;
        Tag_Timing_Error error;
        ASSERT_TRUE(ParseModeline(c.text, &t, &error)) << c.text << ": " << error.reason;
        const int64_t *n = c.counts;
        Tag_Video_Timing expected = Tag_Video_Timing();
        expected.clock_hz = c.clock_hz;
        expected.h_active = n[0];
        expected.h_front_porch = n[1] - n[0];
        expected.h_sync = n[2] - n[1];
        expected.h_back_porch = n[3] - n[2];
        expected.v_active = n[4];
        expected.v_front_porch = n[5] - n[4];
        expected.v_sync = n[6] - n[5];
        expected.v_back_porch = n[7] - n[6];
        expected.h_sync_positive = c.h_positive;
        expected.v_sync_positive = c.v_positive;
        expected.nominal_refresh = c.nominal_refresh;
        EXPECT_EQ(TimingFields(t), TimingFields(expected)) << c.text;
    }
}

struct Bad_Case {
    const char *text;
    int32_t code;
    const char *reason; // the whole reason, or its start when it ends with "..."
};

TEST(Modeline, Refuses) {
    const char *const kNine = " (a modeline has nine numbers: CLOCK HDISP HSS HSE HTOT VDISP VSS "
                              "VSE VTOT)";
    const std::string missing_clock = std::string("CLOCK is missing") + kNine;
    const std::string missing_vtot = std::string("VTOT is missing") + kNine;
    const std::string quoted_hdisp =
        std::string("a quoted word stands where HDISP belongs") + kNine;
    const Bad_Case cases[] = {
        {"", kTimingErrorSyntax, missing_clock.c_str()},
        {"Modeline \"640x480\"", kTimingErrorSyntax, missing_clock.c_str()},
        {"25.175 640 656 752 800 480 490 492", kTimingErrorSyntax, missing_vtot.c_str()},
        {"25.175 \"x\" 640 656 752 800 480 490 492 525", kTimingErrorSyntax, quoted_hdisp.c_str()},
        {"Modeline \"640x480 25.175 640 656 752 800 480 490 492 525", kTimingErrorSyntax,
         "the name's closing double quote is missing"},
        {"25,175 640 656 752 800 480 490 492 525", kTimingErrorSyntax,
         "CLOCK '25,175' is not a decimal number of MHz"},
        {"-25.175 640 656 752 800 480 490 492 525", kTimingErrorSyntax,
         "CLOCK '-25.175' is not a decimal number of MHz"},
        {"25.175 640 656 752 800 480 490 492 5x5", kTimingErrorSyntax,
         "VTOT '5x5' is not a whole number"},
        {"25.175 640.0 656 752 800 480 490 492 525", kTimingErrorSyntax,
         "HDISP '640.0' is not a whole number"},
        {"25.175 640 656 752 800 480 490 \x01\xff' 525", kTimingErrorSyntax,
         "VSE '\\x01\\xff\\x27' is not a whole number"},
        {"25.175 640 656 752 99999999999999999999 480 490 492 525", kTimingErrorSyntax,
         "HTOT '99999999999999999999' is too large"},
        {"25.175 640 600 752 800 480 490 492 525", kTimingErrorShape,
         "HSS 600 is before HDISP 640"},
        {"25.175 640 656 656 800 480 490 492 525", kTimingErrorShape,
         "HSE 656 is not after HSS 656"},
        {"25.175 640 656 752 700 480 490 492 525", kTimingErrorShape, "HTOT 700 is before HSE 752"},
        {"25.175 640 656 752 800 0 490 492 525", kTimingErrorShape, "VDISP 0 is below 1"},
        {"25.175 640 656 752 800 480 470 492 525", kTimingErrorShape,
         "VSS 470 is before VDISP 480"},
        {"25.175 640 656 752 800 480 490 480 525", kTimingErrorShape,
         "VSE 480 is not after VSS 490"},
        {"25.175 640 656 752 800 480 490 492 491", kTimingErrorShape, "VTOT 491 is before VSE 492"},
        {"25.175 2000000 2000016 2000112 2000160 480 490 492 525", kTimingErrorShape,
         "HDISP 2000000 is above 1000000"},
        {"25.175 640 656 752 5000000 480 490 492 525", kTimingErrorShape,
         "HTOT 5000000: the horizontal back porch 4999248 is above 1000000"},
        {"0 640 656 752 800 480 490 492 525", kTimingErrorShape, "CLOCK 0.000 MHz is not above 0"},
        {"0.0004 640 656 752 800 480 490 492 525", kTimingErrorShape,
         "CLOCK 0.000 MHz is not above 0"},
        {"100000.001 640 656 752 800 480 490 492 525", kTimingErrorShape,
         "CLOCK 100000.001 MHz is above 100000.000 MHz"},
        {"25.175 640 656 752 800 480 490 492 525 +hsync -HSYNC", kTimingErrorSyntax,
         "the hsync polarity is given twice: '-HSYNC'"},
        {"25.175 640 656 752 800 480 490 492 525 -vsync -vsync", kTimingErrorSyntax,
         "the vsync polarity is given twice: '-vsync'"},
        {"25.175 640 656 752 800 480 490 492 525 -hsync Interlace", kTimingErrorSyntax,
         "the flag 'Interlace' is not supported: a timing block holds progressive modes with "
         "separate syncs"},
        {"25.175 640 656 752 800 480 490 492 525 26", kTimingErrorSyntax,
         "unexpected word '26' after the numbers (only +hsync, -hsync, +vsync, -vsync may follow)"},
        {"25.175 640 656 752 800 480 490 492 525 \"again\"", kTimingErrorSyntax,
         "unexpected quoted word 'again' after the numbers"},
        {"25.175 640 656 752 800 480 490 492 525 +hsync \"again", kTimingErrorSyntax,
         "the name's closing double quote is missing"},
        {"Modeline Modeline 25.175 640 656 752 800 480 490 492 525", kTimingErrorSyntax,
         "CLOCK 'Modeline' is not a decimal number of MHz"},
    };
    for (const Bad_Case &c : cases) {
        Tag_Video_Timing t = Tag_Video_Timing();
        t.h_active = 12345;
        Tag_Timing_Error error;
        EXPECT_FALSE(ParseModeline(c.text, &t, &error)) << c.text;
        EXPECT_EQ(error.code, c.code) << c.text;
        EXPECT_STREQ(error.reason, c.reason) << c.text;
        EXPECT_EQ(t.h_active, 12345) << "the timing is left alone";
        EXPECT_FALSE(ParseModeline(c.text, &t, nullptr)) << "without a reason";
    }
    // A long word is quoted cut short.
    std::string long_word(100, '9');
    long_word[0] = 'x';
    Tag_Video_Timing t;
    Tag_Timing_Error error;
    EXPECT_FALSE(ParseModeline((long_word + " 640").c_str(), &t, &error));
    EXPECT_STREQ(
        error.reason,
        ("CLOCK '" + long_word.substr(0, 40) + "'... is not a decimal number of MHz").c_str());
}

TEST(Modeline, WritesAndReadsBackEveryDmtMode) {
    int32_t count = 0;
    const Tag_Dmt_Mode *modes = GetDmtModes(&count);
    for (int32_t i = 0; i < count; ++i) {
        Tag_Video_Timing t, back;
        GetDmtModeTiming(&modes[i], &t);
        char line[kModelineTextSize];
        Tag_Timing_Error error;
        ASSERT_TRUE(FormatModeline(&t, line, sizeof line, &error)) << error.reason;
        ASSERT_TRUE(ParseModeline(line, &back, &error)) << line << ": " << error.reason;
        if (modes[i].id == 0x05) {
            EXPECT_EQ(back.nominal_refresh, 73) << "computed, not the name's 72";
            back.nominal_refresh = 72;
        }
        EXPECT_EQ(TimingFields(back), TimingFields(t)) << line;
        if (modes[i].id == 0x04) {
            EXPECT_STREQ(line, "Modeline \"640x480_60\" 25.175 640 656 752 800 480 490 492 525 "
                               "-hsync -vsync");
        }
    }
}

TEST(Modeline, WriterRefusals) {
    Tag_Video_Timing t;
    GetDmtModeTiming(FindDmtModeById(0x52, nullptr), &t);
    const char kLine[] =
        "Modeline \"1920x1080_60\" 148.500 1920 2008 2052 2200 1080 1084 1089 1125 +hsync +vsync";
    Tag_Timing_Error error;
    std::string buffer;
    for (size_t size : {size_t{0}, size_t{1}, sizeof kLine - 1}) {
        buffer.assign(sizeof kLine, 'x');
        EXPECT_FALSE(FormatModeline(&t, &buffer[0], size, &error)) << size;
        EXPECT_EQ(error.code, kTimingErrorBuffer);
        EXPECT_STREQ(error.reason,
                     ("the modeline does not fit in " + std::to_string(size) + " bytes").c_str());
        EXPECT_EQ(buffer.find_first_not_of('x', size), std::string::npos) << size;
        EXPECT_EQ(buffer[0], size > 0 ? '\0' : 'x');
    }
    EXPECT_TRUE(FormatModeline(&t, &buffer[0], sizeof kLine, nullptr));
    EXPECT_STREQ(buffer.c_str(), kLine);

    t.h_front_porch = -8;
    EXPECT_FALSE(FormatModeline(&t, &buffer[0], sizeof kLine, &error));
    EXPECT_EQ(error.code, kTimingErrorShape);
    EXPECT_STREQ(error.reason, "horizontal front porch -8 is below 0");
    EXPECT_EQ(buffer[0], '\0');
}

} // namespace
