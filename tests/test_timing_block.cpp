// The timing model and the timing block text: derived figures, the shape
// check, what the keyed reader finds line by line, and the writer (against
// the bundled example, bounded, and read back).
#include <string.h>

#include <string>
#include <vector>

#include "support/testutil.h"
#include "support/timing_fields.h"
#include "timing/timing.h"

namespace {

const char kBlock[] = "hdr=25.175mHz\nhsp=96\nhbp=48\nhad=640\nhfp=16\nhco=0\nhp =negative\n"
                      "vlr=60Hz\nvsp=2\nvbp=33\nvad=480\nvfp=10\nvco=0\nvp =negative\n";

// kBlock with its line `line` (from 1) replaced by `text` (no line end: the
// line is dropped), or with text appended when line is 15.
std::string Edit(int line, const std::string &text) {
    std::string block = kBlock, out;
    size_t at = 0;
    for (int n = 1; at < block.size(); ++n) {
        size_t end = block.find('\n', at) + 1;
        out += n == line ? (text.empty() ? "" : text + "\n") : block.substr(at, end - at);
        at = end;
    }
    return line > 14 ? out + text + "\n" : out;
}

// One row per kind of finding: the block with one line changed, and the one
// finding it must give.
struct Block_Case {
    const char *name;
    std::string text;
    bool complete;
    Block_Finding kind;
    int32_t field, line;
};

TEST(TimingBlock, OneFindingOfEachKind) {
    const Block_Case cases[] = {
        {"missing key", Edit(13, ""), false, Block_Finding::kMissingKey, kFieldVco, 0},
        {"duplicate key, any case and blanks", Edit(15, " HSP = 100"), true,
         Block_Finding::kDuplicateKey, kFieldHsp, 15},
        {"unknown key", Edit(15, "hsx=5"), true, Block_Finding::kUnknownKey, -1, 15},
        {"line without '='", Edit(15, "640 wide"), true, Block_Finding::kNotKeyValue, -1, 15},
        {"count not a number", Edit(2, "hsp=9six"), false, Block_Finding::kBadNumber, kFieldHsp, 2},
        {"clock in Hz", Edit(1, "hdr=25.175Hz"), false, Block_Finding::kBadNumber, kFieldHdr, 1},
        {"refresh not whole", Edit(8, "vlr=59.94Hz"), false, Block_Finding::kBadNumber, kFieldVlr,
         8},
        {"count beyond the limit", Edit(11, "vad=1000000000000000000"), false,
         Block_Finding::kOutOfRange, kFieldVad, 11},
        {"polarity word", Edit(7, "hp =positiv"), false, Block_Finding::kBadPolarity, kFieldHp, 7},
    };
    for (const Block_Case &c : cases) {
        Tag_Timing_Block_Report report;
        EXPECT_EQ(ParseTimingBlock(c.text.c_str(), &report), c.complete) << c.name;
        EXPECT_EQ(report.complete, c.complete) << c.name;
        ASSERT_EQ(report.finding_count, 1) << c.name;
        const Tag_Block_Finding &f = report.findings[0];
        EXPECT_EQ(f.kind, c.kind) << c.name;
        EXPECT_EQ(f.field, c.field) << c.name;
        EXPECT_EQ(f.line, c.line) << c.name;
        if (c.field >= 0 && c.kind != Block_Finding::kDuplicateKey) {
            EXPECT_EQ(report.fields[c.field].finding, c.kind) << c.name;
        }
    }
    // One finding per line, in line order, the missing keys after them.
    Tag_Timing_Block_Report report;
    EXPECT_FALSE(ParseTimingBlock("junk\nhdr=x\nhdr=25\n", &report));
    ASSERT_EQ(report.finding_count, 3 + 13);
    const Block_Finding kinds[] = {Block_Finding::kNotKeyValue, Block_Finding::kBadNumber,
                                   Block_Finding::kDuplicateKey, Block_Finding::kMissingKey};
    const int32_t lines[] = {1, 2, 3, 0};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(report.findings[i].kind, kinds[i]) << i;
        EXPECT_EQ(report.findings[i].line, lines[i]) << i;
    }
    EXPECT_EQ(report.findings[3].field, kFieldHsp);
    ASSERT_TRUE(ParseTimingBlock(kBlock, &report));
    EXPECT_EQ(report.finding_count, 0);
}

TEST(TimingBlock, ReadsTheModelAndWhereEachFieldIs) {
    // Comments, blank lines, CR LF, blanks, any case, signs, units apart, no
    // final line end, fields out of order.
    const char text[] = "; T0\r\n\r\n  HDR = 25.1755 MHZ\r\nhsp=+96\r\nhbp=-48\r\nhad=640\r\n"
                        "hfp=16\r\nhco=7\r\nHp=POSITIVE\r\nvlr=60\r\n\t;vsp=1\r\nvsp= 2 \r\n"
                        "vad=480\r\nvbp=33\r\nvfp=10\r\nvco=-3\r\nvp =Negative";
    Tag_Timing_Block_Report report;
    ASSERT_TRUE(ParseTimingBlock(text, &report));
    EXPECT_EQ(report.finding_count, 0);
    EXPECT_EQ(report.line_count, 17);
    const Tag_Video_Timing &t = report.timing;
    EXPECT_EQ(t.clock_hz, 25176000) << "to the kHz, halves away from zero";
    EXPECT_EQ(t.h_sync, 96);
    EXPECT_EQ(t.h_back_porch, -48);
    EXPECT_EQ(t.h_cursor_offset, 7);
    EXPECT_EQ(t.v_cursor_offset, -3);
    EXPECT_EQ(t.nominal_refresh, 60);
    EXPECT_EQ(t.v_sync, 2);
    EXPECT_TRUE(t.h_sync_positive);
    EXPECT_FALSE(t.v_sync_positive);
    const int32_t lines[kTimingFieldCount] = {3, 4, 5, 6, 7, 8, 9, 10, 12, 14, 13, 15, 16, 17};
    for (int32_t f = 0; f < kTimingFieldCount; ++f)
        EXPECT_EQ(report.fields[f].line, lines[f]) << timing_field_keys[f];

    // A finding locates its line, for quoting.
    std::string odd = std::string(kBlock) + "  hsx = 1\r\n";
    ParseTimingBlock(odd.c_str(), &report);
    ASSERT_EQ(report.finding_count, 1);
    EXPECT_EQ(odd.substr(report.findings[0].offset, report.findings[0].length), "  hsx = 1");
}

TEST(TimingBlock, FindingsBeyondTheRoomAreCounted) {
    std::string text;
    for (int i = 0; i < 200; ++i)
        text += "x\n";
    Tag_Timing_Block_Report report;
    EXPECT_FALSE(ParseTimingBlock(text.c_str(), &report));
    EXPECT_EQ(report.finding_count, kBlockFindingMax);
    EXPECT_EQ(report.dropped_findings, 200 - (kBlockFindingMax - kTimingFieldCount));
    EXPECT_EQ(report.findings[kBlockFindingMax - 1].kind, Block_Finding::kMissingKey)
        << "the missing keys always have room";
    EXPECT_EQ(report.findings[kBlockFindingMax - 1].field, kFieldVp);
}

TEST(TimingModel, DerivedFigures) {
    Tag_Timing_Block_Report report;
    ASSERT_TRUE(ParseTimingBlock(kBlock, &report));
    const Tag_Video_Timing &t = report.timing;
    EXPECT_EQ(GetTimingHTotal(&t), 800);
    EXPECT_EQ(GetTimingVTotal(&t), 525);
    EXPECT_DOUBLE_EQ(GetTimingHFreq(&t), 31468.75);
    EXPECT_NEAR(GetTimingRefresh(&t), 59.9405, 1e-4);

    // Totals held at the ends of the range, exact wherever the sum is inside.
    const int64_t totals[][5] = {
        {INT64_MAX, 0, 0, 1, INT64_MAX},
        {INT64_MIN, -100, 2, 33, INT64_MIN},
        {INT64_MAX, 1, -2, 0, INT64_MAX - 1},
    };
    for (const auto &c : totals) {
        Tag_Video_Timing huge = t;
        huge.v_active = c[0];
        huge.v_front_porch = c[1];
        huge.v_sync = c[2];
        huge.v_back_porch = c[3];
        EXPECT_EQ(GetTimingVTotal(&huge), c[4]) << c[0] << " " << c[1] << " " << c[2];
    }
    Tag_Video_Timing none = t;
    none.h_active = -800;
    EXPECT_EQ(GetTimingRefresh(&none), 0.0);
    EXPECT_EQ(GetTimingHFreq(&none), 0.0);

    const int64_t clocks[][2] = {{499, 0},
                                 {500, 1},
                                 {-499, 0},
                                 {-500, -1},
                                 {25175499, 25175},
                                 {INT64_MAX, INT64_MAX / 1000 + 1},
                                 {INT64_MIN, INT64_MIN / 1000 - 1}};
    for (const auto &c : clocks)
        EXPECT_EQ(GetClockKhz(c[0]), c[1]) << c[0];
}

TEST(TimingModel, ShapeNamesTheFirstItemOutOfRange) {
    Tag_Timing_Block_Report report;
    ASSERT_TRUE(ParseTimingBlock(kBlock, &report));
    Tag_Timing_Error error;
    EXPECT_TRUE(CheckTimingShape(&report.timing, &error));
    EXPECT_EQ(FindTimingShapeFault(&report.timing), Timing_Item::kNone);
    struct Shape_Case {
        int64_t Tag_Video_Timing::*member;
        int64_t value;
        Timing_Item item;
        const char *reason;
    };
    const Shape_Case cases[] = {
        {&Tag_Video_Timing::clock_hz, 0, Timing_Item::kClock,
         "pixel clock 0.000 MHz is not above 0"},
        {&Tag_Video_Timing::clock_hz, kTimingMaxClockHz + 1000, Timing_Item::kClock,
         "pixel clock 100000.001 MHz is above 100000.000 MHz"},
        {&Tag_Video_Timing::h_front_porch, -8, Timing_Item::kHFrontPorch,
         "horizontal front porch -8 is below 0"},
        {&Tag_Video_Timing::h_back_porch, kTimingMaxCount + 1, Timing_Item::kHBackPorch,
         "horizontal back porch 1000001 is above 1000000"},
        {&Tag_Video_Timing::v_sync, INT64_MAX, Timing_Item::kVSync,
         "vertical sync 9223372036854775807 is above 1000000"},
        {&Tag_Video_Timing::v_back_porch, -1, Timing_Item::kVBackPorch,
         "vertical back porch -1 is below 0"},
    };
    for (const Shape_Case &c : cases) {
        Tag_Video_Timing t = report.timing;
        t.*c.member = c.value;
        t.v_back_porch = c.item == Timing_Item::kVBackPorch ? c.value : -5; // a later fault too
        EXPECT_EQ(FindTimingShapeFault(&t), c.item) << c.reason;
        EXPECT_FALSE(CheckTimingShape(&t, &error));
        EXPECT_EQ(error.code, Timing_Error_Code::kShape);
        EXPECT_STREQ(error.reason, c.reason);
    }
    EXPECT_TRUE(CheckTimingClock(1, nullptr));
    EXPECT_FALSE(CheckTimingClock(-25175000, &error));
    EXPECT_STREQ(error.reason, "pixel clock -25.175 MHz is not above 0");
}

// Every block of the bundled example is written back as it stands.
class TimingBlockExample : public FreshDatabase {};

TEST_F(TimingBlockExample, WrittenAsTheExampleHasIt) {
    ASSERT_TRUE(ReadDatFile(ExampleDatPath().c_str()));
    int blocks = 0;
    for (Tag_Timing_Info *info = GetTimingInfoHead(); info != nullptr; info = info->next) {
        Tag_Timing_Block_Report report;
        ASSERT_TRUE(ParseTimingBlock(info->info_block, &report)) << info->res_id_string;
        EXPECT_EQ(report.finding_count, 0);
        char text[kTimingBlockTextSize];
        ASSERT_TRUE(FormatTimingBlock(&report.timing, text, sizeof text));
        EXPECT_STREQ(text, info->info_block);
        ++blocks;
    }
    EXPECT_EQ(blocks, 13);
}

TEST(TimingBlockWriter, BoundedByTheBuffer) {
    Tag_Timing_Block_Report report;
    ASSERT_TRUE(ParseTimingBlock(kBlock, &report));
    const size_t length = strlen(kBlock);
    std::string buffer;
    for (size_t size = 0; size <= length; ++size) {
        buffer.assign(length + 1, 'x');
        EXPECT_FALSE(FormatTimingBlock(&report.timing, &buffer[0], size)) << size;
        EXPECT_EQ(buffer.find_first_not_of('x', size), std::string::npos)
            << "written beyond " << size;
        if (size > 0) {
            EXPECT_EQ(buffer[0], '\0') << size;
        }
    }
    EXPECT_TRUE(FormatTimingBlock(&report.timing, &buffer[0], length + 1));
    EXPECT_STREQ(buffer.c_str(), kBlock);
}

// Extreme models fit the documented room, and a model at the edges of what the
// reader takes reads back equal.
TEST(TimingBlockWriter, ExtremesFitAndReadBack) {
    int64_t Tag_Video_Timing::*const counts[] = {
        &Tag_Video_Timing::h_active,        &Tag_Video_Timing::h_front_porch,
        &Tag_Video_Timing::h_sync,          &Tag_Video_Timing::h_back_porch,
        &Tag_Video_Timing::v_active,        &Tag_Video_Timing::v_front_porch,
        &Tag_Video_Timing::v_sync,          &Tag_Video_Timing::v_back_porch,
        &Tag_Video_Timing::h_cursor_offset, &Tag_Video_Timing::v_cursor_offset,
        &Tag_Video_Timing::nominal_refresh, &Tag_Video_Timing::clock_hz};
    Tag_Video_Timing widest = Tag_Video_Timing();
    for (auto count : counts)
        widest.*count = INT64_MIN;
    char text[kTimingBlockTextSize];
    EXPECT_TRUE(FormatTimingBlock(&widest, text, sizeof text));

    const int64_t kClockEdge = kBlockClockKhzLimit * 1000 + 499; // rounds down to the limit
    for (int64_t sign : {1, -1, 0}) {
        Tag_Video_Timing t = Tag_Video_Timing();
        for (auto count : counts)
            t.*count = sign * kBlockValueLimit;
        t.clock_hz = sign * kClockEdge;
        t.h_sync_positive = sign > 0;
        ASSERT_TRUE(FormatTimingBlock(&t, text, sizeof text));
        Tag_Timing_Block_Report report;
        ASSERT_TRUE(ParseTimingBlock(text, &report)) << text;
        EXPECT_EQ(report.finding_count, 0) << text;
        t.clock_hz = sign * kBlockClockKhzLimit * 1000;
        EXPECT_EQ(TimingFields(report.timing), TimingFields(t)) << text;
    }
}

} // namespace
