// orvexres end to end, the commands on timings: lint, timing, modeline,
// modelines and add-mode.
#include <algorithm>
#include <string>
#include <vector>

#include "support/orvexres_tool.h"

namespace {

using namespace orvexres_tool;

const char kHead[] = "MemSize=2\nMemConfig=1\nDefMode=640x480\n\n[M0]\nname=Generic\n"
                     "t0=T0:640x480x60\n\n";
const char kBody640[] = "hdr=25.175mHz\nhsp=96\nhbp=48\nhad=640\nhfp=16\nhco=0\nhp =negative\n"
                        "vlr=60Hz\nvsp=2\nvbp=33\nvad=480\nvfp=10\nvco=0\nvp =negative\n";

using OrvexresLint = Orvexres;

TEST_F(OrvexresLint, TheExampleIsCleanAndExits0) {
    Result r = Tool({"lint", example});
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(r.out, example + ": 0 errors, 0 warnings\n");
    EXPECT_EQ(r.err, "");
}

TEST_F(OrvexresLint, FindingsSortedByLineThenTheSummary) {
    // A comment with "=" shifts the slots of the block (line 10); the unused
    // block (line 26) has a polarity word the installer takes as negative.
    std::string body = kBody640;
    std::string file = DataFile(
        "faults.dat", std::string(kHead) + "[T0:640x480x60]\n; hbp=50 before\n" + body + "\n" +
                          "[T1:640x480x61]\n" + body.substr(0, body.size() - 13) + "vp =neg\n");
    Result r = Tool({"lint", file});
    EXPECT_EQ(r.status, 1) << r.err;
    Strings lines = Lines(r.out);
    ASSERT_EQ(lines.size(), 5u) << r.out;
    EXPECT_TRUE(StartsWith(lines[0], file + ":10: error: the installer reads slot 0 (hdr)"))
        << lines[0];
    EXPECT_TRUE(StartsWith(lines[1], file + ":26: warning: no monitor lists")) << lines[1];
    EXPECT_EQ(lines[2],
              file + ":34: error: vlr=60, but the block's id says refresh 61 [id-mismatch]");
    EXPECT_TRUE(StartsWith(lines[3], file + ":40: warning: \"vp =neg\"")) << lines[3];
    EXPECT_EQ(lines[4], file + ": 2 errors, 2 warnings");
}

TEST_F(OrvexresLint, RangeFromTheCommandLine) {
    Result r = Tool({"lint", example, "--range", "30-40,50-70,40"});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(Contains(r.out, "[out-of-range]")) << r.out;
    EXPECT_TRUE(Contains(r.out, "kHz is outside the monitor's 30-40 kHz")) << r.out;
    Result bad = Tool({"lint", example, "--range=30-70"});
    EXPECT_EQ(bad.status, 2);
    EXPECT_TRUE(Contains(bad.err, "--range needs HMIN-HMAX,VMIN-VMAX,CLOCKMAX")) << bad.err;
}

TEST_F(OrvexresLint, AFileThatDoesNotLoadIsReportedAsCheckReportsItWithExit2) {
    std::string file = DataFile("broken.dat", std::string(kHead));
    Result lint = Tool({"lint", file});
    Result check = Tool({"check", file});
    EXPECT_EQ(lint.status, 2);
    EXPECT_EQ(lint.out, "");
    EXPECT_EQ(lint.err, check.err);
}

// ---------------------------------------------------------------------------
// timing, modeline, modelines
// ---------------------------------------------------------------------------

using OrvexresTiming = Orvexres;

// The example's blocks, by id "WxHxR", as the database holds them.
std::vector<std::pair<std::string, std::string>> ExampleBlocks() {
    std::vector<std::pair<std::string, std::string>> blocks;
    ResDatReset();
    EXPECT_TRUE(ReadDatFile(ExampleDatPath().c_str()));
    for (const Tag_Timing_Info *t = GetTimingInfoHead(); t != nullptr; t = t->next)
        blocks.emplace_back(std::string(t->res_id_string) + "x" + t->refresh_string, t->info_block);
    ResDatReset();
    return blocks;
}

// The bundled example's blocks are the DMT modes of their ids, written as
// the tool writes blocks.
TEST_F(OrvexresTiming, DmtGivesTheExampleBlocks) {
    for (const auto &block : ExampleBlocks()) {
        Result r = Tool({"timing", "--dmt", block.first});
        EXPECT_EQ(r.status, 0) << block.first << ": " << r.err;
        EXPECT_EQ(r.out, block.second) << block.first;
    }
    EXPECT_EQ(Tool({"timing", "--dmt-id", "0x05"}).out,
              Tool({"timing", "--dmt", "640x480x72"}).out);
}

// Every block of the example as a modeline, and the modeline turned back into
// a block: the same numbers (the refresh the modeline gives is rounded).
TEST_F(OrvexresTiming, ModelinesTurnBackIntoTheSameBlocks) {
    Result all = Tool({"modelines", example});
    ASSERT_EQ(all.status, 0) << all.err;
    Strings modelines = Lines(all.out);
    auto blocks = ExampleBlocks();
    ASSERT_EQ(modelines.size(), blocks.size());
    for (size_t i = 0; i < blocks.size(); ++i) {
        EXPECT_TRUE(
            StartsWith(modelines[i],
                       "Modeline \"" + blocks[i].first.substr(0, blocks[i].first.rfind('x')) + "_"))
            << modelines[i];
        Result back = Tool({"timing", "--modeline", modelines[i]});
        ASSERT_EQ(back.status, 0) << modelines[i] << ": " << back.err;
        Strings got = Lines(back.out);
        Strings want = Lines(blocks[i].second);
        ASSERT_EQ(got.size(), 14u);
        for (size_t f = 0; f < 14; ++f)
            if (f != 7) // vlr
                EXPECT_EQ(got[f], want[f]) << modelines[i];
    }
    Result one = Tool({"modeline", example, "generic", "640X480X60"});
    EXPECT_EQ(one.status, 0);
    EXPECT_EQ(one.out,
              "Modeline \"640x480_60\" 25.175 640 656 752 800 480 490 492 525 -hsync -vsync\n");
}

TEST_F(OrvexresTiming, RefusalsAndUsageErrors) {
    struct Row {
        Strings args;
        int status;
        const char *words;
    };
    const Row rows[] = {
        {{"timing", "--dmt", "1000x700x60"}, 1, "nearest: 1024x768 at 60 Hz"},
        {{"timing", "--dmt-id", "0x0f"}, 1, "interlace"},
        {{"timing", "--cvt", "0x0x0"}, 1, "orvexres timing: error:"},
        {{"timing", "--gtf", "100000x768x60"}, 1, "100000"},
        {{"timing", "--modeline", "25.175 640 656 752 800 480 490 492"}, 1, "orvexres timing"},
        {{"timing", "--modeline", "25.175 640 752 656 800 480 490 492 525"}, 1, "orvexres timing"},
        {{"timing"}, 2, "a timing source is needed"},
        {{"timing", "--dmt", "640x480x60", "--gtf", "640x480x60"}, 2, "give one timing source"},
        {{"timing", "--cvt", "640x480"}, 2, "WIDTHxHEIGHTxREFRESH"},
        {{"timing", "--gtf", "640x480x60", "--rb", "1"}, 2, "--rb goes with --cvt"},
        {{"timing", "--cvt", "640x480x60", "--rb", "3"}, 2, "--rb needs 1 or 2"},
        {{"modeline", example, "Generic", "1x1x1"}, 1, "has no resolution"},
    };
    for (const Row &row : rows) {
        Result r = Tool(row.args);
        EXPECT_EQ(r.status, row.status) << row.args[1] << " " << r.err;
        EXPECT_EQ(r.out, "") << row.args[1];
        EXPECT_TRUE(Contains(r.err, row.words)) << r.err;
    }
}

TEST_F(OrvexresTiming, ABlockThatIsNoWholeModeIsReportedByModelines) {
    std::string file = DataFile("part.dat", std::string(kHead) + "[T0:640x480x60]\n" +
                                                std::string(kBody640).substr(14) + "\n" +
                                                "[T1:640x480x61]\n" + kBody640);
    Result r = Tool({"modelines", file});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(Lines(r.out).size(), 1u) << "the whole block is still printed";
    EXPECT_TRUE(StartsWith(r.err, file + ":9: error: timing block T0:640x480x60 is no whole mode"))
        << r.err;
}

// ---------------------------------------------------------------------------
// add-mode
// ---------------------------------------------------------------------------

using OrvexresAddMode = Orvexres;

// The text with the given lines (from 1, of the text after the change) taken
// out: what the file held before.
std::string Without(const std::string &text, std::vector<int> lines) {
    std::string out;
    int line = 1;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        end = end == std::string::npos ? text.size() : end + 1;
        if (std::find(lines.begin(), lines.end(), line) == lines.end())
            out += text.substr(start, end - start);
        start = end;
        ++line;
    }
    return out;
}

TEST_F(OrvexresAddMode, NewBlockAfterTheLastAndALineInTheMonitorEverythingElseKept) {
    std::string file = DataFile("ORVEXRES.DAT", ReadBytes(example));
    const std::string before = ReadBytes(file);
    Result r = Tool({"add-mode", file, "orvex proview 14", "--cvt", "1280x800x60", "--rb", "1"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
              file + ": added to monitor orvex proview 14: 1 mode (1 new block, 0 reused)\n");
    const std::string after = ReadBytes(file);
    // The monitor's line after its last (line 39), the block after the file's
    // last line (279), a blank line first; both with the file's CR LF.
    EXPECT_EQ(LineOf(after, "timing4 = T13:1280x800x60\r"), 40);
    EXPECT_EQ(LineOf(after, "[T13:1280x800x60]"), 282);
    std::vector<int> added{40, 281};
    for (int line = 282; line <= 296; ++line)
        added.push_back(line);
    EXPECT_EQ(Without(after, added), before) << "every other byte stays";
    EXPECT_EQ(Tool({"lint", file}).status, 0);
    EXPECT_EQ(Tool({"modeline", file, "Orvex ProView 14", "1280x800x60"}).status, 0);
}

TEST_F(OrvexresAddMode, AnEqualBlockIsReusedAndLfFilesStayLf) {
    std::string file = DataFile("lf.dat", std::string(kHead) + "[M1]\nname=Other\n\n" +
                                              "[T0:640x480x60]\n" + kBody640);
    Result r = Tool({"add-mode", file, "Other", "--dmt", "640x480x60"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(Contains(r.out, "(0 new blocks, 1 reused)")) << r.out;
    EXPECT_EQ(ReadBytes(file), std::string(kHead) +
                                   "[M1]\nname=Other\ntiming0 = T0:640x480x60\n\n" +
                                   "[T0:640x480x60]\n" + kBody640);
    Result again = Tool({"add-mode", file, "Other", "--dmt", "640x480x60"});
    EXPECT_EQ(again.status, 1);
    EXPECT_TRUE(Contains(again.err, "already offers this mode (block T0:640x480x60)")) << again.err;
}

TEST_F(OrvexresAddMode, RefusalsLeaveTheFileUntouched) {
    std::string file = DataFile("ORVEXRES.DAT", ReadBytes(example));
    const std::string before = ReadBytes(file);
    struct Row {
        Strings args;
        int status;
        const char *words;
    };
    const Row rows[] = {
        {{"add-mode", file, "Nobody", "--dmt", "640x480x60"}, 1, "no monitor named"},
        {{"add-mode", file, "Generic", "--gtf", "320x240x50"}, 1, "lint errors"},
        {{"add-mode", file, "Generic", "--dmt", "1x1x1"}, 1, "no DMT mode"},
        {{"add-mode", file, "Generic"}, 2, "a timing source is needed"},
    };
    for (const Row &row : rows) {
        Result r = Tool(row.args);
        EXPECT_EQ(r.status, row.status) << r.err;
        EXPECT_TRUE(Contains(r.err, row.words)) << r.err;
        EXPECT_EQ(ReadBytes(file), before);
    }
}

} // namespace
