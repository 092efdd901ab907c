// The data file reader: header variables, monitor and timing blocks, the text
// file rules, the required variables, linking, and what every failure reports.
#include <string.h>

#include <string>

#include "support/testutil.h"

namespace {

using Strings = std::vector<std::string>;

const char kRequired[] = "MemSize = 2\nMemConfig = 1\nDefMode = 640x480\n";

class Reader : public FreshDatabase {
  protected:
    BOOLEAN Load(const std::string &text) { return LoadText(dir, text); }
    // Load text that must fail, and check the code and the line reported.
    void ExpectRefused(const std::string &text, int32_t code, int32_t line) {
        res_dat_err_flag = 0;
        EXPECT_FALSE(Load(text));
        EXPECT_EQ(res_dat_err_flag, code);
        EXPECT_EQ(GetResDatErrLine(), line) << GetResDatErrDetail();
    }
    ScratchDir dir;
};

TEST_F(Reader, BundledExampleLoadsLinked) {
    ASSERT_TRUE(ReadDatFile(ExampleDatPath().c_str())) << GetResDatErrDetail();
    EXPECT_STREQ(GetBusType(), "VESA");
    EXPECT_STREQ(GetMemAddr(), "8000");
    EXPECT_STREQ(GetMemSize(), "2");
    EXPECT_STREQ(GetMemConfig(), "1");
    EXPECT_STREQ(GetDefaultRes(), "640x480");
    EXPECT_EQ(MonitorNames(),
              (Strings{"Generic", "VGA 640x480 Only", "Orvex ProView 14", "Orvex ProView 15",
                       "Orvex ProView 17", "Orvex ProView 21"}));
    Strings generic = ResolutionIds("Generic");
    ASSERT_EQ(generic.size(), 10u);
    EXPECT_EQ(generic[0], "640x480x60");
    EXPECT_EQ(generic[9], "1024x768x75");
    Strings timings = TimingIds();
    ASSERT_EQ(timings.size(), 13u);
    EXPECT_EQ(timings[1], "1:640x480@72");
    EXPECT_EQ(timings[12], "12:1280x1024@75");
    for (Tag_Monitor_Entry *m = GetMonitorEntryHead(); m != nullptr; m = m->next)
        for (Tag_Resolution_Entry *r = m->res_list; r != nullptr; r = r->next) {
            ASSERT_NE(r->timing_info, nullptr) << r->res_id_string;
            EXPECT_EQ(std::string(r->res_id_string), std::string(r->timing_info->res_id_string) +
                                                         "x" + r->timing_info->refresh_string);
        }
    EXPECT_EQ(strncmp(GetTimingInfoHead()->info_block, "hdr=25.175mHz\nhsp=96\n", 21), 0)
        << "CR LF pairs are read as LF";
    EXPECT_EQ(res_dat_err_flag, 0);
}

TEST_F(Reader, TypicalFileLinksResolutionsToTheirBlocks) {
    ASSERT_TRUE(Load("BusType = VESA\nMemAddr = 8000\nMemSize = 2\nMemConfig = 1\n"
                     "DefMode = 640x480\n\n[M0]\nname=Generic\ntiming0 = T0:640x480x60\n"
                     "timing1 = T1:640x480x72\n\n[T0:640x480x60]\nhdr=25\n\n"
                     "[T1:640x480x72]\nhdr=31\n"));
    EXPECT_EQ(ResolutionIds("generic"), (Strings{"640x480x60", "640x480x72"}));
    EXPECT_EQ(TimingIds(), (Strings{"0:640x480@60", "1:640x480@72"}));
    Tag_Resolution_Entry *second = GetMonitorEntryHead()->res_list->next;
    EXPECT_EQ(second->timing_info, GetTimingInfoHead()->next);
    EXPECT_STREQ(second->timing_info->info_block, "hdr=31\n");
}

TEST_F(Reader, HeaderOnlyFileLoadsWithEmptyLists) {
    ASSERT_TRUE(Load(kRequired));
    EXPECT_EQ(GetMonitorEntryHead(), nullptr);
    EXPECT_EQ(GetTimingInfoHead(), nullptr);
    EXPECT_EQ(GetBusType(), nullptr);
    EXPECT_EQ(GetMemAddr(), nullptr);
}

TEST_F(Reader, EachRequiredVariableMustBeGiven) {
    ExpectRefused("", 2, 0);
    for (const char *missing : {"MemSize", "MemConfig", "DefMode"}) {
        ResDatReset();
        std::string text;
        for (const char *key : {"MemSize", "MemConfig", "DefMode"})
            if (strcmp(key, missing) != 0)
                text += std::string(key) + " = 1\n";
        ExpectRefused(text + "BusType = PCI\nMemAddr = 8000\n", 2, 0);
        EXPECT_NE(strstr(GetResDatErrDetail(), missing), nullptr) << GetResDatErrDetail();
    }
}

TEST_F(Reader, ValueSyntax) {
    ASSERT_TRUE(Load(std::string(kRequired) + "busType = pci\n"
                                              "MemAddr =   \"80;00\" trailing text\n"));
    EXPECT_STREQ(GetBusType(), "pci") << "keys compare ignoring case";
    EXPECT_STREQ(GetMemAddr(), "80;00") << "a quoted value keeps its semicolon";

    ResDatReset();
    ASSERT_TRUE(Load(std::string(kRequired) + "BusType = VESA ; local bus\nMemAddr=\"8000\n"));
    EXPECT_STREQ(GetBusType(), "VESA ") << "blanks before a comment belong to the value";
    EXPECT_STREQ(GetMemAddr(), "8000\n") << "an unclosed quote runs to the line end";

    ResDatReset();
    ASSERT_TRUE(Load("MemSize = 2Meg\nMemConfig=\t1\nDefMode =\nBusType = ;x\n"));
    EXPECT_STREQ(GetMemSize(), "2Meg");
    EXPECT_STREQ(GetMemConfig(), "\t1") << "only blanks are skipped";
    EXPECT_STREQ(GetDefaultRes(), "") << "an empty value is present";
    EXPECT_STREQ(GetBusType(), "");
}

TEST_F(Reader, HeaderVariableLinesThatDoNotCount) {
    // A leading blank, a missing "=", and "=" at the end of the file's text
    // give no value; a longer key that starts with a known one still counts.
    ASSERT_TRUE(Load(std::string(kRequired) +
                     " BusType = OPTI\nBusType\nMemSizeX = 4\nMemAddr = 1\nMemAddr = 2\n"
                     "MemAddr =  "));
    EXPECT_EQ(GetBusType(), nullptr);
    EXPECT_STREQ(GetMemSize(), "4");
    EXPECT_STREQ(GetMemAddr(), "2") << "a later line replaces an earlier one";
}

TEST_F(Reader, VariablesMayStandBetweenAndAfterBlocks) {
    ASSERT_TRUE(Load("[T0:1x2x3]\na=1\n\nMemSize = 2\n[M0]\nname=m\ntiming0=T0:1x2x3\n\n"
                     "MemConfig = 1\nDefMode = 1x2"));
    EXPECT_STREQ(GetDefaultRes(), "1x2") << "an unended last line counts at top level";
    EXPECT_EQ(ResolutionIds("m"), (Strings{"1x2x3"}));
}

TEST_F(Reader, BlockHeadersMustBeUpperCaseMOrT) {
    ExpectRefused(std::string(kRequired) + "[m0]\nname=x\n", 2, 4);
    ResDatReset();
    ExpectRefused(std::string(kRequired) + "\n[ T0:1x2x3]\n", 2, 5);
    ResDatReset();
    ExpectRefused("[Hardware]\n", 2, 1);
}

TEST_F(Reader, MonitorBlocks) {
    ASSERT_TRUE(Load(std::string(kRequired) +
                     "[M7] anything\nmonitor = \"Big ; Screen\"\nT0:1x1x1 = T0:1x2x3\n"
                     "[T0:1x2x3] = T1:1x2x4\n; = T2:1x2x5\n\n"
                     "[T0:1x2x3]\n\n[T1:1x2x4]\n\n[T2:1x2x5]\n"));
    EXPECT_EQ(MonitorNames(), (Strings{"Big ; Screen"}));
    EXPECT_EQ(ResolutionIds("big ; screen"), (Strings{"1x2x3", "1x2x4", "1x2x5"}))
        << "inside a monitor block every line is a resolution line";
}

TEST_F(Reader, MonitorBlockFaults) {
    ExpectRefused(std::string(kRequired) + "[M0]\n", 2, 4);
    ResDatReset();
    ExpectRefused(std::string(kRequired) + "[M0]\nGeneric\n", 2, 5);
    ResDatReset();
    ExpectRefused(std::string(kRequired) + "[M0]\nname=g\ntiming0\n", 2, 6);
    ResDatReset();
    ExpectRefused(std::string(kRequired) + "[M0]\nname=g\n\n[M1]\nname=G\n", 2, 8);
    EXPECT_EQ(MonitorNames(), (Strings{"g"})) << "records added before a failure stay";
    ResDatReset();
    ExpectRefused(std::string(kRequired) + "[M0]\nname=g\nt=T0:1x2x3\nt=t0:1X2x3\n", 2, 7);
    ResDatReset();
    ExpectRefused(std::string(kRequired) + "[M0]\nname=g\nt=640x480x60\n", 2, 6);
}

TEST_F(Reader, MonitorNameOnTheUnendedLastLineIsUsed) {
    ASSERT_TRUE(Load(std::string(kRequired) + "[M0]\nname=Last"));
    EXPECT_EQ(MonitorNames(), (Strings{"Last"}));
    EXPECT_EQ(GetMonitorEntryHead()->res_list, nullptr);
}

TEST_F(Reader, UnendedLastLineOfABlockIsDropped) {
    ASSERT_TRUE(Load(std::string(kRequired) +
                     "[T0:1x2x3]\na=1\n\n[T1:1x2x4]\nb=2\n\n[M0]\nname=g\nt=T0:1x2x3\nt=T1:1x2x4"));
    EXPECT_EQ(ResolutionIds("g"), (Strings{"1x2x3"}));

    ResDatReset();
    ASSERT_TRUE(Load(std::string(kRequired) + "[T0:1x2x3]\na=1\nb=2"));
    EXPECT_STREQ(GetTimingInfoHead()->info_block, "a=1\n");
    ResDatReset();
    ASSERT_TRUE(Load(std::string(kRequired) + "[T0:1x2x3]\na=1\nb=2\n"));
    EXPECT_STREQ(GetTimingInfoHead()->info_block, "a=1\nb=2\n");
}

TEST_F(Reader, TimingBlocks) {
    ASSERT_TRUE(Load(std::string(kRequired) +
                     "[T3:640x480x60] VESA\n0123456789\n;123456789\n[123456789\n\n"
                     "[T4:640x480x72\n\n[T5:1x2x3"));
    Tag_Timing_Info *t = GetTimingInfoHead();
    ASSERT_NE(t, nullptr);
    EXPECT_STREQ(t->res_id_string, "640x480");
    EXPECT_EQ(strlen(t->info_block), 33u) << "lines keep their line ends";
    EXPECT_STREQ(t->info_block, "0123456789\n;123456789\n[123456789\n");
    ASSERT_NE(t->next, nullptr);
    EXPECT_STREQ(t->next->info_block, "") << "a block with no lines is empty";
    ASSERT_NE(t->next->next, nullptr) << "a header on the unended last line still counts";
    EXPECT_STREQ(t->next->next->refresh_string, "3");
    EXPECT_EQ(t->next->next->index, 2);
}

TEST_F(Reader, TimingBlockFaults) {
    ExpectRefused(std::string(kRequired) + "[T0:1x2x3]\n\n[T0:1X2x3]\n", 2, 6);
    ResDatReset();
    ExpectRefused(std::string(kRequired) + "[T]\n", 2, 4);
}

TEST_F(Reader, ResolutionWithoutTimingBlockNamesItsLine) {
    ExpectRefused(std::string(kRequired) +
                      "[M0]\nname=Generic\ntiming0 = T0:640x480x60\ntiming1 = T9:800x600x60\n\n"
                      "[T0:640x480x60]\nhdr=25\n",
                  2, 7);
    EXPECT_STREQ(GetResDatErrDetail(),
                 "resolution T9:800x600x60 of monitor Generic has no timing block");
    ResDatReset();
    // A trailing comment leaves a blank on the id, which then names no block.
    ExpectRefused(std::string(kRequired) +
                      "[T0:640x480x60]\n\n[M0]\nname=Generic\ntiming0 = T0:640x480x60 ; note\n",
                  2, 8);
    ResDatReset();
    ASSERT_TRUE(
        Load(std::string(kRequired) + "[M0]\nname=g\nt=T0:640x480x60\n\n[T0:640x480x60]\nx\n"))
        << "a block may follow the monitor that names it";
}

TEST_F(Reader, CrLfCtrlZAndLoneCr) {
    ASSERT_TRUE(Load("MemSize = 2\r\nMemConfig = 1\r\nDefMode = 640x480\r\nBusType = a\rb\r\n"
                     "[T0:1x2x3]\r\nhdr=1\r\n\r\n[M0]\r\nname=g\r\nt=T0:1x2x3\r\n\x1A"
                     "[M1]\r\nname=after the end\r\n"));
    EXPECT_STREQ(GetDefaultRes(), "640x480");
    EXPECT_STREQ(GetBusType(), "a\rb") << "a lone CR is an ordinary character";
    EXPECT_STREQ(GetTimingInfoHead()->info_block, "hdr=1\n");
    EXPECT_EQ(MonitorNames(), (Strings{"g"})) << "Ctrl-Z ends the file";
}

TEST_F(Reader, LongLinesArriveInPiecesOf255) {
    // A 255-character line ends the block: the piece holding only its line end
    // reads as a blank line, and the lines after it are read at top level.
    std::string line255(255, 'a');
    ASSERT_TRUE(Load(std::string(kRequired) + "[T0:1x2x3]\n" + line255 + "\nBusType = PCI\n"));
    EXPECT_EQ(std::string(GetTimingInfoHead()->info_block), line255);
    EXPECT_STREQ(GetBusType(), "PCI");

    // A CR LF pair is one character of the 255.
    ResDatReset();
    ASSERT_TRUE(Load(std::string(kRequired) + "[T0:1x2x3]\n" + std::string(254, 'b') +
                     "\r\nBusType = PCI\n"));
    EXPECT_EQ(std::string(GetTimingInfoHead()->info_block),
              std::string(254, 'b') + "\n" + "BusType = PCI\n");
    // A 600-character variable line: its second piece is no header line.
    ResDatReset();
    ASSERT_TRUE(
        Load(std::string(kRequired) + "BusType = " + std::string(300, 'v') + "MemAddr = 1\n"));
    EXPECT_EQ(strlen(GetBusType()), 245u);
    EXPECT_EQ(GetMemAddr(), nullptr);
}

TEST_F(Reader, LargeFilesReadAlikeAcrossBufferRefills) {
    // Far beyond one read buffer: lines of every length up to 300 characters,
    // CR LF and LF, so that line ends, CR LF pairs and 255-character pieces
    // fall on every position of a refill. Each block must come back exactly.
    std::string text = kRequired;
    std::vector<std::string> expected;
    for (int b = 0; b < 1500; ++b) {
        std::string block;
        text += "[T" + std::to_string(b) + ":1x2x" + std::to_string(b) + "]\r\n";
        size_t len = 1 + static_cast<size_t>((b * 37) % 250);
        std::string line(len, static_cast<char>('a' + b % 26));
        line += (b % 6 == 1) ? "\r" : ""; // a lone CR before a CR LF
        text += line + ((b % 2) ? "\r\n" : "\n");
        block += line + "\n";
        text += "x=" + std::to_string(b) + "\r\n\r\n";
        block += "x=" + std::to_string(b) + "\n";
        expected.push_back(block);
    }
    text += "\x1A[T9999:1x2x3]\nafter the end\n";
    ASSERT_GT(text.size(), 3u * 65536u);
    ASSERT_TRUE(Load(text)) << GetResDatErrDetail();
    size_t i = 0;
    for (Tag_Timing_Info *t = GetTimingInfoHead(); t != nullptr; t = t->next, ++i) {
        ASSERT_LT(i, expected.size());
        ASSERT_EQ(t->info_block, expected[i]) << "block " << i;
    }
    EXPECT_EQ(i, expected.size()) << "nothing after the Ctrl-Z is read";
}

TEST_F(Reader, TimingTextLimit) {
    std::string block;
    for (int i = 0; i < 511; ++i)
        block += "123456789\n"; // 5110 characters
    ASSERT_TRUE(Load(std::string(kRequired) + "[T0:1x2x3]\n" + block + "12345678\n"));
    EXPECT_EQ(strlen(GetTimingInfoHead()->info_block), 5119u);
    ResDatReset();
    ExpectRefused(std::string(kRequired) + "[T0:1x2x3]\n" + block + "123456789\n", 2, 516);
}

TEST_F(Reader, FilesThatCannotBeRead) {
    res_dat_err_flag = 0;
    EXPECT_FALSE(ReadDatFile(dir.File("missing.dat").c_str()));
    EXPECT_EQ(res_dat_err_flag, 3);
    res_dat_err_flag = 0;
    EXPECT_FALSE(ReadDatFile(nullptr));
    EXPECT_EQ(res_dat_err_flag, 3);
#ifndef _WIN32
    res_dat_err_flag = 0;
    EXPECT_FALSE(ReadDatFile(dir.path().c_str())) << "a directory opens but cannot be read";
    EXPECT_EQ(res_dat_err_flag, 3);
#endif
}

TEST_F(Reader, ArbitraryBytesNeverOverrun) {
    std::string junk;
    for (int i = 0; i < 20000; ++i)
        junk += static_cast<char>((i * 7919) % 256);
    EXPECT_FALSE(Load(junk));
    ResDatReset();
    std::string nuls = std::string(kRequired) + "[T0:1x2x3]\nab" + std::string(3, '\0') + "cd\n";
    ASSERT_TRUE(Load(nuls));
    EXPECT_STREQ(GetTimingInfoHead()->info_block, "ab") << "a NUL ends what a line holds";
    ResDatReset();
    EXPECT_FALSE(Load("[M0]\n" + std::string(100000, '=')));
}

TEST_F(Reader, SecondLoadIntoFilledListsFailsOnDuplicates) {
    std::string text = std::string(kRequired) + "[M0]\nname=g\nt=T0:1x2x3\n\n[T0:1x2x3]\nx\n";
    ASSERT_TRUE(Load(text));
    ExpectRefused(text, 2, 5);
    EXPECT_EQ(MonitorNames(), (Strings{"g"}));
}

TEST_F(Reader, SettersReplaceTheHeaderTexts) {
    ASSERT_TRUE(ReadDatFile(ExampleDatPath().c_str()));
    EXPECT_TRUE(SetBusType("PCI"));
    EXPECT_TRUE(SetMemAddr("F000"));
    EXPECT_TRUE(SetMemSize("4"));
    EXPECT_TRUE(SetDefaultRes("800x600"));
    EXPECT_STREQ(GetBusType(), "PCI");
    EXPECT_STREQ(GetMemAddr(), "F000");
    EXPECT_STREQ(GetMemSize(), "4");
    EXPECT_STREQ(GetDefaultRes(), "800x600");
    EXPECT_STREQ(GetMemConfig(), "1");
    res_dat_err_flag = 0;
    EXPECT_FALSE(SetBusType(nullptr));
    EXPECT_EQ(res_dat_err_flag, 2);
    EXPECT_STREQ(GetBusType(), "PCI") << "a refused null leaves the text";
}

// ---------------------------------------------------------------------------
// Names, lone CRs, files without blocks, a second load
// ---------------------------------------------------------------------------

// "@" and "`" differ only in bit 5, as "A" and "a" do, but are no letters: two
// monitors, two blocks.
TEST_F(Reader, CharactersThatAreNoLettersKeepTheirCase) {
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
TEST_F(Reader, LoneCrInLongAndInUnendedLines) {
    std::string a(100, 'a');
    std::string b(200, 'b');
    ASSERT_TRUE(Load(std::string(kRequired) + "BusType = " + a + "\r" + b + "\nMemAddr = 80\r"));
    EXPECT_EQ(std::string(GetBusType()), a + "\r" + std::string(144, 'b'))
        << "the first piece of the line: 255 characters";
    EXPECT_STREQ(GetMemAddr(), "80\r");
}

// A file whose monitors list resolutions but that has no timing block at all.
TEST_F(Reader, ResolutionsInAFileWithoutTimingBlocks) {
    res_dat_err_flag = 0;
    EXPECT_FALSE(Load(std::string(kRequired) + "[M0]\nname=g\nt=T0:1x2x3\nu=T1:1x2x4\n"));
    EXPECT_EQ(res_dat_err_flag, 2);
    EXPECT_EQ(GetResDatErrLine(), 6);
    EXPECT_STREQ(GetResDatErrDetail(), "resolution T0:1x2x3 of monitor g has no timing block");
}

// After a load the timing ids are short ("WxH") and may repeat; a second load
// into that database still adds its own records.
TEST_F(Reader, SecondLoadBesideRepeatedShortTimingIds) {
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

// The tools point at the lines where a load found each block.
TEST_F(Reader, BlockLinesOfTheLastLoad) {
    ASSERT_TRUE(Load(std::string(kRequired) + "\n[M0]\nname=g\nt=T0:1x2x3\nu=T1:1x2x4\n\n"
                                              "[T0:1x2x3]\na=1\nb=2\n\n[T1:1x2x4]\n"));
    int32_t first = -1;
    int32_t last = -1;
    ASSERT_TRUE(GetResDatMonitorLines(GetMonitorEntryHead(), &first, &last));
    EXPECT_EQ(first, 5);
    EXPECT_EQ(last, 8);
    Tag_Timing_Info *t0 = GetTimingInfoHead();
    ASSERT_TRUE(GetResDatTimingLines(t0, &first, &last));
    EXPECT_EQ(first, 10);
    EXPECT_EQ(last, 12);
    ASSERT_TRUE(GetResDatTimingLines(t0->next, &first, &last));
    EXPECT_EQ(first, 14) << "an empty block at the end of the file";
    EXPECT_EQ(last, 14);

    ASSERT_NE(AddTimingInfo("T5:1x2x5", "c=3\n", 5, &t0), nullptr);
    EXPECT_FALSE(GetResDatTimingLines(t0->next->next, &first, &last)) << "added by hand";
    Tag_Monitor_Entry *monitors = GetMonitorEntryHead();
    ASSERT_NE(AddMonitorEntry("by hand", &monitors), nullptr);
    EXPECT_FALSE(GetResDatMonitorLines(monitors->next, &first, &last)) << "added by hand";

    // A second load: the lines are those of its own blocks.
    ASSERT_TRUE(Load(std::string(kRequired) + "[M0]\nname=second\n"));
    EXPECT_FALSE(GetResDatMonitorLines(monitors, &first, &last)) << "read by the first load";
    ASSERT_TRUE(GetResDatMonitorLines(monitors->next->next, &first, &last));
    EXPECT_EQ(first, 4);
    ResDatReset();
    EXPECT_FALSE(GetResDatTimingLines(nullptr, &first, &last));
}

} // namespace
