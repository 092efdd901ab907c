// Arguments and states that the topic tests leave out: null arguments to the
// list operations, resolution entries added by hand and never linked (walks,
// writers), names that differ only in bit 5 of a character that is no letter,
// a second load into a database whose short timing ids repeat, and encoder
// number texts that start with a control character.
#include <string.h>

#include <string>

#include "install/crt_timing.h"
#include "support/testutil.h"

namespace {

using Strings = std::vector<std::string>;

const char kRequired[] = "MemSize = 2\nMemConfig = 1\nDefMode = 640x480\n";

class ApiEdges : public FreshDatabase {
  protected:
    BOOLEAN Load(const std::string &text) { return LoadText(dir, text); }
    ScratchDir dir;
};

// ---------------------------------------------------------------------------
// Null arguments
// ---------------------------------------------------------------------------

TEST_F(ApiEdges, AddOperationsRefuseNullArgumentsWithCode2) {
    Tag_Monitor_Entry *monitors = nullptr;
    Tag_Timing_Info *timings = nullptr;
    res_dat_err_flag = 0;
    EXPECT_EQ(AddMonitorEntry(nullptr, &monitors), nullptr);
    EXPECT_EQ(res_dat_err_flag, 2);
    res_dat_err_flag = 0;
    EXPECT_EQ(AddMonitorEntry("Generic", nullptr), nullptr);
    EXPECT_EQ(res_dat_err_flag, 2);
    EXPECT_EQ(monitors, nullptr);

    ASSERT_NE(AddMonitorEntry("Generic", &monitors), nullptr);
    res_dat_err_flag = 0;
    EXPECT_EQ(AddResolutionEntry(nullptr, "T0:1x2x3", monitors), nullptr);
    EXPECT_EQ(res_dat_err_flag, 2);
    res_dat_err_flag = 0;
    EXPECT_EQ(AddResolutionEntry("Generic", nullptr, monitors), nullptr);
    EXPECT_EQ(res_dat_err_flag, 2);
    EXPECT_EQ(monitors->res_list, nullptr);

    res_dat_err_flag = 0;
    EXPECT_EQ(AddTimingInfo(nullptr, "a\n", 3, &timings), nullptr);
    EXPECT_EQ(res_dat_err_flag, 2);
    res_dat_err_flag = 0;
    EXPECT_EQ(AddTimingInfo("T0:1x2x3", nullptr, 3, &timings), nullptr);
    EXPECT_EQ(res_dat_err_flag, 2);
    res_dat_err_flag = 0;
    EXPECT_EQ(AddTimingInfo("T0:1x2x3", "a\n", 3, nullptr), nullptr);
    EXPECT_EQ(res_dat_err_flag, 2);
    for (int16_t size : {0, -1}) {
        res_dat_err_flag = 0;
        EXPECT_EQ(AddTimingInfo("T0:1x2x3", "a\n", size, &timings), nullptr) << size;
        EXPECT_EQ(res_dat_err_flag, 2);
    }
    EXPECT_EQ(timings, nullptr);
    FreeMonitorEntryList(monitors);
}

TEST_F(ApiEdges, FindOperationsGiveNullForANullName) {
    ASSERT_TRUE(ReadDatFile(ExampleDatPath().c_str()));
    res_dat_err_flag = 0;
    EXPECT_EQ(FindMonitorEntry(nullptr, GetMonitorEntryHead()), nullptr);
    EXPECT_EQ(FindResolutionEntry(nullptr, GetMonitorEntryHead()->res_list), nullptr);
    EXPECT_EQ(FindTimingInfo(nullptr, GetTimingInfoHead()), nullptr);
    EXPECT_EQ(res_dat_err_flag, 0) << "finding never touches the error code";
}

// ---------------------------------------------------------------------------
// Resolution entries added by hand and not linked
// ---------------------------------------------------------------------------

class UnlinkedEntry : public ApiEdges {
  protected:
    // The example, and a resolution of "Generic" added after it (full form,
    // not linked) between two linked ones.
    void SetUp() override {
        ApiEdges::SetUp();
        ASSERT_TRUE(Load(std::string(kRequired) +
                         "[M0]\nname=Generic\nt=T0:640x480x60\n\n[T0:640x480x60]\nhdr=25\n"));
        ASSERT_NE(AddResolutionEntry("Generic", "T9:800x600x60", GetMonitorEntryHead()), nullptr);
    }
};

TEST_F(UnlinkedEntry, EndsTheTimingBlockWalk) {
    char *resid = nullptr;
    EXPECT_STREQ(EnumTimingBlocks("Generic", &resid), "hdr=25\n");
    EXPECT_STREQ(resid, "640x480");
    EXPECT_EQ(EnumTimingBlocks(nullptr, &resid), nullptr);
    EXPECT_STREQ(resid, "640x480") << "an ended walk leaves the id as it was";
    EXPECT_STREQ(EnumResNames("Generic"), "640x480x60");
    EXPECT_STREQ(EnumResNames(nullptr), "T9:800x600x60") << "the name walk still lists it";
}

TEST_F(UnlinkedEntry, TimingWalkWithoutAnIdPointer) {
    EXPECT_STREQ(EnumTimingBlocks("Generic", nullptr), "hdr=25\n");
    EXPECT_EQ(EnumTimingBlocks(nullptr, nullptr), nullptr);
}

TEST_F(UnlinkedEntry, IsWrittenInItsFullForm) {
    std::string path = dir.File("written.dat");
    ASSERT_TRUE(WriteResDatFile(path.c_str()));
    std::string bytes = ReadBytes(path);
    EXPECT_NE(bytes.find("[M0]\r\nname=Generic\r\ntiming0 = T0:640x480x60\r\n"
                         "timing1 = T9:800x600x60\r\n\r\n"),
              std::string::npos)
        << bytes;
}

TEST_F(UnlinkedEntry, MarkedForTheIniIsRefusedWithCode2) {
    ASSERT_TRUE(MarkMon("Generic"));
    ASSERT_TRUE(MarkRes("Generic", "T9:800x600x60"));
    std::string path = dir.File("refused.ini");
    res_dat_err_flag = 0;
    EXPECT_FALSE(WriteResIniFile(path.c_str()));
    EXPECT_EQ(res_dat_err_flag, 2);
    EXPECT_FALSE(FileExists(path));
}

// ---------------------------------------------------------------------------
// Names
// ---------------------------------------------------------------------------

// "@" and "`" differ only in bit 5, as "A" and "a" do, but are no letters: two
// monitors, two blocks.
TEST_F(ApiEdges, CharactersThatAreNoLettersKeepTheirCase) {
    ASSERT_TRUE(Load(std::string(kRequired) +
                     "[M0]\nname=x@\nt=T0:1x2x@\n\n[M1]\nname=x`\nt=T1:1x2x`\n\n"
                     "[T0:1x2x@]\na=1\n\n[T1:1x2x`]\nb=2\n"))
        << GetResDatErrDetail();
    EXPECT_EQ(MonitorNames(), (Strings{"x@", "x`"}));
    EXPECT_EQ(TimingIds(), (Strings{"0:1x2@@", "1:1x2@`"}));
    ASSERT_NE(FindMonitorEntry("X@", GetMonitorEntryHead()), nullptr);
    EXPECT_STREQ(FindMonitorEntry("X`", GetMonitorEntryHead())->monitor_id_string, "x`");
    EXPECT_STREQ(GetMonitorEntryHead()->next->res_list->timing_info->info_block, "b=2\n");
}

// A lone CR is an ordinary character in a line too long for one piece, and in
// an unended last line.
TEST_F(ApiEdges, LoneCrInLongAndInUnendedLines) {
    std::string a(100, 'a');
    std::string b(200, 'b');
    ASSERT_TRUE(Load(std::string(kRequired) + "BusType = " + a + "\r" + b + "\nMemAddr = 80\r"));
    EXPECT_EQ(std::string(GetBusType()), a + "\r" + std::string(144, 'b'))
        << "the first piece of the line: 255 characters";
    EXPECT_STREQ(GetMemAddr(), "80\r");
}

// A file whose monitors list resolutions but that has no timing block at all.
TEST_F(ApiEdges, ResolutionsInAFileWithoutTimingBlocks) {
    res_dat_err_flag = 0;
    EXPECT_FALSE(Load(std::string(kRequired) + "[M0]\nname=g\nt=T0:1x2x3\nu=T1:1x2x4\n"));
    EXPECT_EQ(res_dat_err_flag, 2);
    EXPECT_EQ(GetResDatErrLine(), 6);
    EXPECT_STREQ(GetResDatErrDetail(), "resolution T0:1x2x3 of monitor g has no timing block");
}

// After a load the timing ids are short ("WxH") and may repeat; a second load
// into that database still adds its own records.
TEST_F(ApiEdges, SecondLoadBesideRepeatedShortTimingIds) {
    ASSERT_TRUE(Load(std::string(kRequired) +
                     "[M0]\nname=First\nt=T0:640x480x60\nu=T1:640x480x72\n\n"
                     "[T0:640x480x60]\na=1\n\n[T1:640x480x72]\nb=2\n"));
    ASSERT_EQ(TimingIds(), (Strings{"0:640x480@60", "1:640x480@72"}));
    ASSERT_TRUE(Load(std::string(kRequired) +
                     "[M0]\nname=Second\nt=T0:640x480x60\n\n[T0:640x480x60]\nc=3\n"))
        << GetResDatErrDetail();
    EXPECT_EQ(TimingIds(), (Strings{"0:640x480@60", "1:640x480@72", "2:640x480@60"}));
    EXPECT_EQ(MonitorNames(), (Strings{"First", "Second"}));
    EXPECT_STREQ(
        FindMonitorEntry("Second", GetMonitorEntryHead())->res_list->timing_info->info_block,
        "c=3\n");
}

// ---------------------------------------------------------------------------
// The CRT timing encoder
// ---------------------------------------------------------------------------

// A number text starting with a control character below TAB holds no number:
// the slot is 0, and a minus sign after it counts for nothing.
TEST_F(ApiEdges, EncoderNumbersStartingWithAControlCharacterAreZero) {
    std::string block = std::string("hdr=") + '\x01' + "-25\n";
    for (const char *field : {"hsp", "hbp", "had", "hfp", "hco", "hp ", "vlr", "vsp", "vbp", "vad",
                              "vfp", "vco", "vp "})
        block += std::string(field) + "=" + (field[2] == ' ' ? "positive" : "7") + "\n";
    uint32_t slots[TIMING_SLOTS];
    ASSERT_EQ(EncodeTimingBlock(block.c_str(), 7, slots), 1);
    EXPECT_EQ(slots[0], 0u);
    EXPECT_EQ(slots[1], 7u);
    EXPECT_EQ(slots[6], 1u);
    EXPECT_EQ(slots[13], 1u);
}

} // namespace
