// Inputs the fuzzing harnesses (fuzz/) found, kept as unit tests. Each input
// also stays in the harness's seed corpus under fuzz/corpus/.
#include <string.h>

#include <string>

#include "support/testutil.h"

namespace {

using Strings = std::vector<std::string>;

const char kRequired[] = "MemSize = 2\nMemConfig = 1\nDefMode = 640x480\n";
const char kAppendRequired[] = "MemSize = 2\r\nMemConfig = 1\r\n";

class FuzzFindings : public FreshDatabase {
  protected:
    BOOLEAN Load(const std::string &text) { return LoadText(dir, text); }
    // Write the database, add the two variables the writer leaves out, load it
    // again; the bytes written.
    std::string WriteAndReadBack() {
        std::string path = dir.File("written.dat");
        EXPECT_TRUE(WriteResDatFile(path.c_str())) << "code " << res_dat_err_flag;
        std::string bytes = ReadBytes(path);
        WriteBytes(path, bytes + kAppendRequired);
        ResDatReset();
        EXPECT_TRUE(ReadDatFile(path.c_str())) << GetResDatErrDetail();
        return bytes;
    }
    std::vector<std::string> Blocks() {
        std::vector<std::string> blocks;
        for (Tag_Timing_Info *t = GetTimingInfoHead(); t != nullptr; t = t->next)
            blocks.push_back(t->info_block);
        return blocks;
    }
    ScratchDir dir;
};

// fuzz_roundtrip, corpus nul-cuts-last-block-line.dat: a NUL cut the last line
// of a block short, so its text has no final line end. The writer put the next
// block's header right after it, and the reader took that block as part of
// this one.
TEST_F(FuzzFindings, BlockTextWithoutFinalLineEndKeepsTheNextBlockApart) {
    ASSERT_TRUE(Load(std::string(kRequired) + "[T0:1x2x3]\nhdr=1\nab" + std::string(1, '\0') +
                     "cd\n\n[T1:1x2x4]\nhdr=2\n\n[M0]\nname=g\nt=T1:1x2x4\n"));
    ASSERT_EQ(Blocks(), (Strings{"hdr=1\nab", "hdr=2\n"}));
    std::string written = WriteAndReadBack();
    EXPECT_NE(written.find("[T0:1x2x3]\r\nhdr=1\r\nab\r\n\r\n[T1:1x2x4]\r\n"), std::string::npos)
        << written;
    EXPECT_EQ(TimingIds(), (Strings{"0:1x2@3", "1:1x2@4"}));
    EXPECT_EQ(Blocks(), (Strings{"hdr=1\nab\n", "hdr=2\n"})) << "only the line end is added";
    EXPECT_EQ(ResolutionIds("g"), (Strings{"1x2x4"}));
    EXPECT_EQ(GetMonitorEntryHead()->res_list->timing_info, GetTimingInfoHead()->next);
}

// The other way a block text lacks its final line end: its last line fills a
// whole 255-character piece, and the line end that follows reads as a blank
// line. The text comes back exactly.
TEST_F(FuzzFindings, BlockEndingInAFullPieceRoundTripsExactly) {
    std::string line(255, 'q');
    ASSERT_TRUE(
        Load(std::string(kRequired) + "[T0:1x2x3]\nhdr=1\n" + line + "\n[T1:1x2x4]\nhdr=2\n"));
    ASSERT_EQ(Blocks(), (Strings{"hdr=1\n" + line, "hdr=2\n"}));
    WriteAndReadBack();
    EXPECT_EQ(Blocks(), (Strings{"hdr=1\n" + line, "hdr=2\n"}));
}

// An empty block text still gives exactly one blank line after its header.
TEST_F(FuzzFindings, EmptyBlockTextGetsNoExtraLine) {
    ASSERT_TRUE(Load(std::string(kRequired) + "[T0:1x2x3]\n\n[T1:1x2x4]\nb=2\n"));
    std::string written = WriteAndReadBack();
    EXPECT_NE(written.find("[T0:1x2x3]\r\n\r\n[T1:1x2x4]\r\nb=2\r\n\r\n"), std::string::npos)
        << written;
    EXPECT_EQ(Blocks(), (Strings{"", "b=2\n"}));
}

// corpus fuzz_readdat/duplicate-and-malformed-*.dat: an id that repeats an
// earlier one ignoring case but lacks the lower-case "x" is reported as the
// duplicate it also is, not as malformed.
TEST_F(FuzzFindings, DuplicateThatIsAlsoMalformedIsReportedAsTheDuplicate) {
    res_dat_err_flag = 0;
    EXPECT_FALSE(Load("[T0:x\n\n[T0:X\n\n[T::x"));
    EXPECT_EQ(res_dat_err_flag, 2);
    EXPECT_EQ(GetResDatErrLine(), 3);
    EXPECT_STREQ(GetResDatErrDetail(), "duplicate timing block T0:X");

    ResDatReset();
    res_dat_err_flag = 0;
    EXPECT_FALSE(Load(std::string(kRequired) + "[M0]\nname=g\nt=T0:1x2\nt=T0:1X2\n"));
    EXPECT_EQ(res_dat_err_flag, 2);
    EXPECT_EQ(GetResDatErrLine(), 7);
    EXPECT_STREQ(GetResDatErrDetail(), "duplicate resolution T0:1X2 in monitor g");

    // Malformed alone is still reported as malformed.
    ResDatReset();
    EXPECT_FALSE(Load(std::string(kRequired) + "[M0]\nname=g\nt=T0:1X2\n"));
    EXPECT_STREQ(GetResDatErrDetail(),
                 "malformed resolution id \"T0:1X2\" in monitor g (expected Tn:WxHxR)");
    ResDatReset();
    EXPECT_FALSE(Load("[T0:X\n"));
    EXPECT_STREQ(GetResDatErrDetail(), "malformed timing block id \"T0:X\" (expected Tn:WxHxR)");
}

} // namespace
