// X11 modelines: what the reader takes and refuses, and the writer read back.
#include <string.h>

#include <string>

#include "support/timing_fields.h"
#include "support/testutil.h"
#include "timing/modeline.h"
#include "timing/vesa.h"

namespace {

// Each line read, shown as the writer writes it (which the round trips below
// pin down): the numbers, the polarities and the computed nominal refresh.
TEST(Modeline, Reads) {
    const char *const cases[][2] = {
        {"Modeline \"640x480_60\" 25.175 640 656 752 800 480 490 492 525 -hsync -vsync",
         "Modeline \"640x480_60\" 25.175 640 656 752 800 480 490 492 525 -hsync -vsync"},
        // No keyword, no name, no flags: negative syncs; 72.809 Hz is 73.
        {"31.5 640 664 704 832 480 489 492 520",
         "Modeline \"640x480_73\" 31.500 640 664 704 832 480 489 492 520 -hsync -vsync"},
        {"\t modeline \"1920 x 1080\"\t148.5 1920 2008 2052 2200 1080 1084 1089 1125 +HSync "
         "+vsync \r\n",
         "Modeline \"1920x1080_60\" 148.500 1920 2008 2052 2200 1080 1084 1089 1125 +hsync +vsync"},
        {"\"x\" 148.5 1920 2008 2052 2200 1080 1084 1089 1125 +vsync -hsync",
         "Modeline \"1920x1080_60\" 148.500 1920 2008 2052 2200 1080 1084 1089 1125 -hsync +vsync"},
        // The clock to the kHz, halves away from zero; a zero front porch.
        {"Modeline \"\" 23.8555 640 640 704 800 480 481 484 497 +hsync",
         "Modeline \"640x480_60\" 23.856 640 640 704 800 480 481 484 497 +hsync -vsync"},
        {".5 8 8 9 10 8 8 9 10\n", "Modeline \"8x8_5000\" 0.500 8 8 9 10 8 8 9 10 -hsync -vsync"},
        // Refresh halves round up: 1000 Hz over 400 pixels is 2.5 Hz.
        {"0.001 10 10 11 20 10 10 11 20",
         "Modeline \"10x10_3\" 0.001 10 10 11 20 10 10 11 20 -hsync -vsync"},
        // The name's rate within 1 Hz of 72.809 Hz; not a rate 1 Hz off,
        // another size's or a name of another form.
        {"\"640x480_72\" 31.5 640 664 704 832 480 489 492 520",
         "Modeline \"640x480_72\" 31.500 640 664 704 832 480 489 492 520 -hsync -vsync"},
        {"\"640x480_71\" 31.5 640 664 704 832 480 489 492 520",
         "Modeline \"640x480_73\" 31.500 640 664 704 832 480 489 492 520 -hsync -vsync"},
        {"\"640x400_72\" 31.5 640 664 704 832 480 489 492 520",
         "Modeline \"640x480_73\" 31.500 640 664 704 832 480 489 492 520 -hsync -vsync"},
        {"\"640x480_72.8\" 31.5 640 664 704 832 480 489 492 520",
         "Modeline \"640x480_73\" 31.500 640 664 704 832 480 489 492 520 -hsync -vsync"},
        {"\"640x480_99999999999999999999\" 31.5 640 664 704 832 480 489 492 520",
         "Modeline \"640x480_73\" 31.500 640 664 704 832 480 489 492 520 -hsync -vsync"},
    };
    for (const auto &c : cases) {
        Tag_Video_Timing t;
        Tag_Timing_Error error;
        ASSERT_TRUE(ParseModeline(c[0], &t, &error)) << c[0] << ": " << error.reason;
        char line[kModelineTextSize];
        ASSERT_TRUE(FormatModeline(&t, line, sizeof line, &error)) << error.reason;
        EXPECT_STREQ(line, c[1]);
    }
}

struct Bad_Case {
    const char *text;
    Timing_Error_Code code;
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
        {"", Timing_Error_Code::kSyntax, missing_clock.c_str()},
        {"25.175 640 656 752 800 480 490 492", Timing_Error_Code::kSyntax, missing_vtot.c_str()},
        {"25.175 \"x\" 640 656 752 800 480 490 492 525", Timing_Error_Code::kSyntax,
         quoted_hdisp.c_str()},
        {"Modeline \"640x480 25.175 640 656 752 800 480 490 492 525", Timing_Error_Code::kSyntax,
         "the name's closing double quote is missing"},
        {"25,175 640 656 752 800 480 490 492 525", Timing_Error_Code::kSyntax,
         "CLOCK '25,175' is not a decimal number of MHz"},
        {"-25.175 640 656 752 800 480 490 492 525", Timing_Error_Code::kSyntax,
         "CLOCK '-25.175' is not a decimal number of MHz"},
        {"25.175 640 656 752 800 480 490 492 5x5", Timing_Error_Code::kSyntax,
         "VTOT '5x5' is not a whole number"},
        {"25.175 640 656 752 800 480 490 \x01\xff' 525", Timing_Error_Code::kSyntax,
         "VSE '\\x01\\xff\\x27' is not a whole number"},
        {"25.175 640 656 752 99999999999999999999 480 490 492 525", Timing_Error_Code::kSyntax,
         "HTOT '99999999999999999999' is too large"},
        {"25.175 640 600 752 800 480 490 492 525", Timing_Error_Code::kShape,
         "HSS 600 is before HDISP 640"},
        {"25.175 640 656 656 800 480 490 492 525", Timing_Error_Code::kShape,
         "HSE 656 is not after HSS 656"},
        {"25.175 640 656 752 700 480 490 492 525", Timing_Error_Code::kShape,
         "HTOT 700 is before HSE 752"},
        {"25.175 640 656 752 800 0 490 492 525", Timing_Error_Code::kShape, "VDISP 0 is below 1"},
        {"25.175 640 656 752 800 480 490 480 525", Timing_Error_Code::kShape,
         "VSE 480 is not after VSS 490"},
        {"25.175 640 656 752 5000000 480 490 492 525", Timing_Error_Code::kShape,
         "HTOT 5000000: the horizontal back porch 4999248 is above 1000000"},
        {"0 640 656 752 800 480 490 492 525", Timing_Error_Code::kShape,
         "CLOCK 0.000 MHz is not above 0"},
        {"100000.001 640 656 752 800 480 490 492 525", Timing_Error_Code::kShape,
         "CLOCK 100000.001 MHz is above 100000.000 MHz"},
        {"25.175 640 656 752 800 480 490 492 525 +hsync -HSYNC", Timing_Error_Code::kSyntax,
         "the hsync polarity is given twice: '-HSYNC'"},
        {"25.175 640 656 752 800 480 490 492 525 -hsync Interlace", Timing_Error_Code::kSyntax,
         "the flag 'Interlace' is not supported: a timing block holds progressive modes with "
         "separate syncs"},
        {"25.175 640 656 752 800 480 490 492 525 26", Timing_Error_Code::kSyntax,
         "unexpected word '26' after the numbers (only +hsync, -hsync, +vsync, -vsync may follow)"},
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
    for (const Tag_Dmt_Mode *mode : DmtModes()) {
        Tag_Video_Timing t, back;
        GetDmtModeTiming(mode, &t);
        char line[kModelineTextSize];
        Tag_Timing_Error error;
        ASSERT_TRUE(FormatModeline(&t, line, sizeof line, &error)) << error.reason;
        ASSERT_TRUE(ParseModeline(line, &back, &error)) << line << ": " << error.reason;
        EXPECT_EQ(TimingFields(back), TimingFields(t)) << line; // 0x05 named 72 again
        if (mode->id == 0x04) {
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
        EXPECT_EQ(error.code, Timing_Error_Code::kBuffer);
        EXPECT_STREQ(error.reason,
                     ("the modeline does not fit in " + std::to_string(size) + " bytes").c_str());
        EXPECT_EQ(buffer.find_first_not_of('x', size), std::string::npos) << size;
        EXPECT_EQ(buffer[0], size > 0 ? '\0' : 'x');
    }
    EXPECT_TRUE(FormatModeline(&t, &buffer[0], sizeof kLine, nullptr));
    EXPECT_STREQ(buffer.c_str(), kLine);

    t.h_front_porch = -8;
    EXPECT_FALSE(FormatModeline(&t, &buffer[0], sizeof kLine, &error));
    EXPECT_EQ(error.code, Timing_Error_Code::kShape);
    EXPECT_STREQ(error.reason, "horizontal front porch -8 is below 0");
    EXPECT_EQ(buffer[0], '\0');
}

} // namespace
