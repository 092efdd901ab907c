// orvexres end to end, the commands on timings: lint, timing, modeline,
// modelines, add-mode, edid, import-edid, show --svg, make-edid and chart.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "support/edid_builder.h"
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
    const std::pair<const char *, const char *> bad_ranges[] = {
        {"--range=30-70", "not of the form HMIN-HMAX,"},
        {"--range=50-30,50-75,80", "minimum above maximum"}};
    for (const auto &bad_range : bad_ranges) {
        Result bad = Tool({"lint", example, bad_range.first});
        EXPECT_EQ(bad.status, 2);
        EXPECT_TRUE(Contains(bad.err, bad_range.second)) << bad.err;
    }
}

TEST_F(OrvexresLint, AFileThatDoesNotLoadIsReportedAsCheckReportsIt) {
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
    EXPECT_EQ(Tool({"timing", "--dmt-id", "5"}).out, Tool({"timing", "--dmt-id", "0X05"}).out);
}

// A secondary GTF curve as an EDID declares it: C and J whole or with a half.
// The Iiyama HM903D's curve gives edid-decode's 322.842 MHz at 1920x1440x85.
TEST_F(OrvexresTiming, GtfOnASecondaryCurve) {
    const Strings mode = {"timing", "--gtf", "1920x1440x85", "--secondary"};
    auto on = [this, &mode](const char *curve) {
        Strings args = mode;
        args.push_back(curve);
        return Tool(args);
    };
    Result hm903d = on("40,3600,128,35");
    ASSERT_EQ(hm903d.status, 0) << hm903d.err;
    EXPECT_EQ(LineOf(hm903d.out, "hdr=322.842mHz"), 1) << hm903d.out;
    EXPECT_EQ(on("40.0,3600,128,35.0").out, hm903d.out);
    Result halves = on("40.5,3600,128,35.5");
    EXPECT_EQ(halves.status, 0) << halves.err;
    EXPECT_NE(halves.out, hm903d.out);
    EXPECT_NE(Tool({"timing", "--gtf", "1920x1440x85"}).out, hm903d.out);
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
        for (size_t f = 0; f < 14; ++f) {
            if (f != 7) { // vlr
                EXPECT_EQ(got[f], want[f]) << modelines[i];
            }
        }
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
        {{"timing", "--gtf", "640x480x60", "--secondary", "40,3600,128,35"},
         1,
         "horizontal front porch -96 is below 0"},
        {{"timing", "--cvt", "640x480x60", "--secondary", "40,3600,128,35"}, 2, "goes with --gtf"},
        {{"timing", "--gtf", "640x480x60", "--secondary", "40,3600,128"}, 2, "needs C,M,K,J"},
        {{"timing", "--gtf", "640x480x60", "--secondary", "40.3,3600,128,35"}, 2, "needs C,M,K,J"},
        {{"timing", "--gtf", "640x480x60", "--secondary", "40,3600,128,35,"}, 2, "needs C,M,K,J"},
        {{"timing", "--dmt-id", "0x"}, 2, "needs a DMT id"},
        {{"timing", "--dmt-id", "12g"}, 2, "needs a DMT id"},
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
        {{"add-mode", file, "Generic", "--gtf", "640x480x60"},
         1,
         "already has resolution 640x480x60, as block T0:640x480x60"},
        {{"add-mode", file, "Generic", "--dmt", "640x480x60", "--dmt", "800x600x60"},
         2,
         "--dmt is given twice"},
    };
    for (const Row &row : rows) {
        Result r = Tool(row.args);
        EXPECT_EQ(r.status, row.status) << r.err;
        EXPECT_TRUE(Contains(r.err, row.words)) << r.err;
        EXPECT_EQ(ReadBytes(file), before);
    }
}

TEST_F(OrvexresAddMode, AnEditKeepsALinkAndThePermissionsAndTakesADashedName) {
    std::string file = DataFile("target.dat", std::string(kHead) + "[M1]\nname=-dash\n\n" +
                                                  "[T0:640x480x60]\n" + kBody640);
    std::string link = dir.File("link.dat");
    ASSERT_EQ(chmod(file.c_str(), 0640), 0);
    ASSERT_EQ(symlink(file.c_str(), link.c_str()), 0);
    Result r = Tool({"add-mode", link, "--", "-dash", "--dmt", "800x600x60"});
    ASSERT_EQ(r.status, 0) << r.err;
    struct stat info;
    ASSERT_EQ(lstat(link.c_str(), &info), 0);
    EXPECT_TRUE(S_ISLNK(info.st_mode)) << "the link stays a link";
    ASSERT_EQ(stat(file.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
    EXPECT_TRUE(Contains(ReadBytes(file), "name=-dash\ntiming0 = T1:800x600x60\n"));
}

TEST_F(OrvexresAddMode, AFileWhoseLastLineTheInstallerDropsIsRefused) {
    std::string text = ReadBytes(example);
    ASSERT_EQ(text.substr(text.size() - 2), "\r\n");
    text.resize(text.size() - 2);
    std::string file = DataFile("ORVEXRES.DAT", text);
    std::string last = std::to_string(std::count(text.begin(), text.end(), '\n') + 1);
    for (const Strings &args :
         {Strings{"add-mode", file, "Generic", "--dmt", "800x600x72"},
          Strings{"import-edid", file, ORVEX_SOURCE_DIR "/examples/orvex-pv19.edid"}}) {
        Result r = Tool(args);
        EXPECT_EQ(r.status, 1) << args[0];
        EXPECT_TRUE(StartsWith(r.err, file + ":" + last +
                                          ": error: the file's last line has no line end: the "
                                          "installer drops it"))
            << r.err;
        EXPECT_EQ(ReadBytes(file), text);
    }
}

// ---------------------------------------------------------------------------
// edid, import-edid, lint --edid, show --svg
// ---------------------------------------------------------------------------

using namespace edid_builder;

// A monitor named "Test 17": a DTD of 1280x1024 at 60 Hz (the DMT mode), the
// established 640x480 at 60 Hz, the standard timing 1024x768 at 85 Hz, and a
// range of 30-80 kHz, 50-75 Hz, 200 MHz.
Bytes TestEdid() {
    Edid_Layout layout;
    layout.established[0] = 0x20;          // 640x480 at 60 Hz
    layout.standard = {Bytes{0x61, 0x59}}; // 1024x768, 4:3, 85 Hz
    layout.descriptors = {Dtd(kDtd1280), Name("Test 17\n"),
                          Descriptor(0xfd, 0, {50, 75, 30, 80, 20, 0x01, 0x0a})};
    return Build(layout);
}

class OrvexresEdid : public Orvexres {
  protected:
    std::string EdidFile(const std::string &name, const Bytes &bytes) {
        return DataFile(name, std::string(bytes.begin(), bytes.end()));
    }
};

TEST_F(OrvexresEdid, PrintsAMonitorBlockWithABlockPerModeAsTheDmtHasThem) {
    std::string edid = EdidFile("monitor.bin", TestEdid());
    Result r = Tool({"edid", edid});
    ASSERT_EQ(r.status, 0) << r.err;
    Strings lines = Lines(r.out);
    ASSERT_GE(lines.size(), 7u);
    EXPECT_EQ(lines[0], "; EDID 1.3 of Test 17, 1 block; range 30-80 kHz, 50-75 Hz, clock up to "
                        "200 MHz");
    EXPECT_EQ(lines[1], "[M0]");
    EXPECT_EQ(lines[2], "name=Test 17");
    EXPECT_EQ(lines[3], "timing0 = T0:1280x1024x60");
    EXPECT_EQ(lines[4], "timing1 = T1:640x480x60");
    EXPECT_EQ(lines[5], "timing2 = T2:1024x768x85");
    // Each block as the DMT gives it, after a comment saying where it came from.
    for (const char *id : {"1280x1024x60", "640x480x60", "1024x768x85"}) {
        std::string block = Tool({"timing", "--dmt", id}).out;
        size_t header = r.out.find(std::string(":") + id + "]\n");
        ASSERT_NE(header, std::string::npos) << id;
        EXPECT_EQ(r.out.compare(header + strlen(id) + 3, block.size(), block), 0) << id;
    }
    // The same from a hex dump, and under another name.
    std::string hex = "edid-decode (hex):\n\n";
    for (uint8_t byte : TestEdid()) {
        char pair[4];
        snprintf(pair, sizeof pair, "%02x ", byte);
        hex += pair;
    }
    std::string dump = DataFile("monitor.hex", hex + "\n");
    Result named = Tool({"edid", dump, "--name", "Front; desk"});
    ASSERT_EQ(named.status, 0) << named.err;
    EXPECT_EQ(LineStarting(named.out, "name="), "name=\"Front; desk\"");
}

TEST_F(OrvexresEdid, RefusalsNameTheFaultAndForceReadsABadChecksum) {
    Bytes bad = TestEdid();
    bad[127] ^= 1;
    std::string file = EdidFile("bad.bin", bad);
    Result r = Tool({"edid", file});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(Contains(r.err, "block 0 (base) checksum")) << r.err;
    EXPECT_TRUE(Contains(r.err, "--force")) << r.err;
    EXPECT_EQ(Tool({"edid", file, "--force"}).status, 0);
    Bytes good = TestEdid();
    Result cut = Tool({"edid", EdidFile("cut.bin", Bytes(good.begin(), good.begin() + 100))});
    EXPECT_EQ(cut.status, 1);
    EXPECT_TRUE(Contains(cut.err, "cut short")) << cut.err;
    Result odd = Tool({"edid", DataFile("odd.hex", "00 ff f")});
    EXPECT_EQ(odd.status, 1);
    EXPECT_EQ(odd.out, "");
}

TEST_F(OrvexresEdid, ImportAddsTheMonitorReusingEqualBlocks) {
    std::string file = DataFile("ORVEXRES.DAT", ReadBytes(example));
    const std::string before = ReadBytes(file);
    std::string edid = EdidFile("monitor.bin", TestEdid());
    Result r = Tool({"import-edid", file, edid});
    ASSERT_EQ(r.status, 0) << r.err;
    // 640x480 at 60 Hz and 1280x1024 at 60 Hz are blocks of the example.
    EXPECT_EQ(r.out, file + ": added monitor Test 17: 3 modes (1 new block, 2 reused)\n");
    std::string after = ReadBytes(file);
    EXPECT_NE(after.find("[M6]\r\nname=Test 17\r\ntiming0 = T11:1280x1024x60\r\n"
                         "timing1 = T0:640x480x60\r\ntiming2 = T13:1024x768x85\r\n\r\n"),
              std::string::npos)
        << after;
    // Everything else as it was: the monitor block with the blank line before
    // it, and the new block with its blank line at the end.
    int monitor = LineOf(after, "[M6]");
    int block = LineOf(after, "[T13:1024x768x85]");
    std::vector<int> added;
    for (int line = monitor - 1; line <= monitor + 4; ++line)
        added.push_back(line);
    for (int line = block - 1; line <= block + 14; ++line)
        added.push_back(line);
    EXPECT_EQ(Without(after, added), before);
    EXPECT_EQ(Tool({"lint", file}).status, 0);
    Result again = Tool({"import-edid", file, edid});
    EXPECT_EQ(again.status, 1);
    EXPECT_TRUE(Contains(again.err, "already has a monitor named \"Test 17\"")) << again.err;
    EXPECT_EQ(ReadBytes(file), after);
}

// A DTD of 640x480 at 60 Hz other than the DMT's comes first; the
// established 640x480 at 60 Hz is left out, naming the block listed.
TEST_F(OrvexresEdid, AModeOfAResolutionListedBeforeIsLeftOut) {
    Edid_Layout layout;
    layout.established[0] = 0x20;
    Dtd_Fields other = kDtd640;
    other.clock = 2517; // 25.17 MHz: still 60 Hz
    layout.descriptors = {Dtd(other), Name("Twice\n")};
    std::string edid = EdidFile("twice.bin", Build(layout));
    Result printed = Tool({"edid", edid});
    EXPECT_TRUE(Contains(printed.out, "; left out: established timing 640x480@60 (DMT 0x04): the "
                                      "monitor lists 640x480x60 as T0:640x480x60\n"))
        << printed.out;
    EXPECT_EQ(LineOf(printed.out, "timing1 ="), 0) << "one resolution line";
    EXPECT_EQ(LineOf(printed.out, "; skipped:"), 0) << "said once, in the left out line";
    std::string file = DataFile("ORVEXRES.DAT", ReadBytes(example));
    Result r = Tool({"import-edid", file, edid});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(Contains(r.err, "note: established timing 640x480@60 (DMT 0x04) left out: monitor "
                                "Twice lists 640x480x60 as block T13:640x480x60"))
        << r.err;
    EXPECT_EQ(Tool({"lint", file}).status, 0);
}

// The standard timing of the DTD's 1280x1024 at 60 Hz is folded into it; a
// CVT code (1024x768, 60 Hz) has a reserved bit set; the dump repeats the
// base block, which announces no extension.
TEST_F(OrvexresEdid, TheHeadingCountsTheFoldedTheNotesAndTheTrailingBlocks) {
    Edid_Layout layout;
    layout.standard = {Bytes{0x81, 0x80}};
    layout.descriptors = {Dtd(kDtd1280), Name("Notes\n"),
                          Descriptor(0xf8, 0, {0x01, 0x7f, 0x11, 0x28})};
    Bytes bytes = Build(layout);
    bytes = bytes + bytes;
    Result r = Tool({"edid", EdidFile("notes.bin", bytes)});
    ASSERT_EQ(r.status, 0) << r.err;
    Strings lines = Lines(r.out);
    ASSERT_GE(lines.size(), 4u);
    EXPECT_EQ(lines[0], "; EDID 1.3 of Notes, 1 block (the dump holds 1 more, not decoded); "
                        "folded into the detailed timings they repeat: 1 of the standard timings");
    EXPECT_TRUE(StartsWith(lines[1], "; note: the dump goes on after the blocks")) << lines[1];
    EXPECT_TRUE(StartsWith(lines[2], "; note: a CVT 3-byte code has reserved bits")) << lines[2];
    EXPECT_EQ(lines[3], "[M0]");
    EXPECT_EQ(LineStarting(r.out, "timing1 = "), "timing1 = T1:1024x768x60");
}

TEST_F(OrvexresEdid, LintTakesTheRangeFromTheEdid) {
    std::string edid = EdidFile("monitor.bin", TestEdid());
    Result r = Tool({"lint", example, "--edid", edid});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(Contains(r.out, "refresh 75.03 Hz is outside the monitor's 50-75 Hz")) << r.out;
    EXPECT_EQ(r.out, Tool({"lint", example, "--range", "30-80,50-75,200"}).out);
    EXPECT_TRUE(Contains(r.err, "has no monitor Test 17, the EDID's name: the range applies to "
                                "every monitor"))
        << r.err;
    Edid_Layout plain;
    Result none = Tool({"lint", example, "--edid", EdidFile("plain.bin", Build(plain))});
    EXPECT_EQ(none.status, 2);
    EXPECT_TRUE(Contains(none.err, "no Display Range Limits")) << none.err;
}

// Test 17's range (50-75 Hz) against its own 1024x768 at 85 Hz and the
// example's 1024x768 at 75.03 Hz (Generic's, among others).
TEST_F(OrvexresEdid, TheRangeAppliesToTheMonitorNamed) {
    std::string file = DataFile("ORVEXRES.DAT", ReadBytes(example));
    std::string edid = EdidFile("monitor.bin", TestEdid());
    ASSERT_EQ(Tool({"import-edid", file, edid}).status, 0);
    const char own[] = "refresh 85.00 Hz is outside", other[] = "refresh 75.03 Hz is outside";
    const std::string range = "--range=30-80,50-75,200";
    struct Row {
        Strings args;
        int status;
        std::vector<const char *> found, not_found;
    } rows[] = {
        {{"--edid", edid}, 1, {own}, {other}},
        {{range, "--monitor", "test 17"}, 1, {own}, {other}},
        {{"--edid", edid, "--monitor", "Generic"}, 1, {other}, {own}},
        {{range}, 1, {own, other}, {}},
        {{"--monitor", "Generic"}, 2, {}, {}},
        {{range, "--monitor", "Nobody"}, 1, {}, {own, other}},
    };
    for (const Row &row : rows) {
        Strings args = {"lint", file};
        args.insert(args.end(), row.args.begin(), row.args.end());
        Result r = Tool(args);
        EXPECT_EQ(r.status, row.status) << row.args.back() << r.err;
        for (const char *words : row.found)
            EXPECT_TRUE(Contains(r.out, words)) << row.args.back() << ": " << words;
        for (const char *words : row.not_found)
            EXPECT_FALSE(Contains(r.out, words)) << row.args.back() << ": " << words;
    }
}

TEST_F(OrvexresEdid, ShowDrawsTheBlockAsAPicture) {
    std::string svg = dir.File("mode.svg");
    Result r = Tool({"show", example, "Generic", "640x480x72", "--svg", svg});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(Contains(r.out, "picture: " + svg + "\n"));
    std::string picture = ReadBytes(svg);
    EXPECT_EQ(picture.rfind("<?xml", 0), 0u);
    for (const char *number : {">active 640<", "front porch 24", "sync 40", "back porch 128",
                               "31.500 MHz", "37.861 kHz", "Generic 640x480x72"})
        EXPECT_TRUE(Contains(picture, number)) << number;
    Result bad = Tool({"show", example, "Generic", "640x480x72", "--svg", dir.File("no/x.svg")});
    EXPECT_EQ(bad.status, 1);
}

// The bundled EDID goes into the bundled example as the README shows.
TEST_F(OrvexresEdid, TheBundledEdidImportsIntoTheBundledExample) {
    std::string edid = ORVEX_SOURCE_DIR "/examples/orvex-pv19.edid";
    std::string file = DataFile("ORVEXRES.DAT", ReadBytes(example));
    Result r = Tool({"import-edid", file, edid});
    EXPECT_EQ(r.out, file + ": added monitor ORVEX PV19: 7 modes (1 new block, 6 reused)\n")
        << r.err;
    EXPECT_EQ(Tool({"lint", file, "--edid", edid}).out, file + ": 0 errors, 0 warnings\n");
}

// ---------------------------------------------------------------------------
// make-edid, chart
// ---------------------------------------------------------------------------

// edid-decode's verdict: --check exits 0.
bool EdidDecodeChecks(const std::string &path) {
    return std::system(("edid-decode --check " + Quote(path) + " >/dev/null 2>&1").c_str()) == 0;
}

using OrvexresMakeEdid = Orvexres;

// Each monitor of the example: the EDID passes edid-decode --check, and edid
// prints each of its modes back as the example's own block (the example's
// blocks are written as edid writes blocks), and no other.
TEST_F(OrvexresMakeEdid, EveryMonitorOfTheExampleComesBack) {
    std::vector<std::pair<std::string, std::string>> blocks = ExampleBlocks();
    for (const std::string &line : Lines(Tool({"list", example}).out)) {
        const std::string name = line.substr(line.find('\t') + 1);
        const std::string out = dir.File(name + ".edid");
        Result made = Tool({"make-edid", example, name, out});
        ASSERT_EQ(made.status, 0) << name << ": " << made.err;
        EXPECT_TRUE(EdidDecodeChecks(out)) << name;
        Result back = Tool({"edid", out});
        Strings modes = Lines(Tool({"list", example, name}).out);
        EXPECT_EQ(LineOf(back.out, "timing" + std::to_string(modes.size()) + " = "), 0) << name;
        for (const std::string &mode : modes) {
            auto block = std::find_if(blocks.begin(), blocks.end(),
                                      [&](const auto &b) { return b.first == mode; });
            size_t at = back.out.find(":" + mode + "]\n");
            ASSERT_NE(at, std::string::npos) << name << " " << mode;
            EXPECT_EQ(back.out.compare(at + mode.size() + 3, block->second.size(), block->second),
                      0)
                << name << " " << mode;
        }
    }
}

TEST_F(OrvexresMakeEdid, BadInputWritesNothingOrAnEdidThatChecks) {
    const std::string forty = "A monitor name of forty characters, yes!";
    const std::string fast = Tool({"timing", "--cvt", "2560x1600x120"}).out; // 734.75 MHz
    std::string file =
        DataFile("ORVEXRES.DAT", std::string(kHead) + "[M1]\nname=Empty\n\n[M2]\nname=" + forty +
                                     "\nt=T0:640x480x60\n\n[M3]\nname=Fast\nt=T1:2560x1600x120\n"
                                     "t=T0:640x480x60\n\n[M4]\nname=Only fast\n"
                                     "t=T1:2560x1600x120\n\n[T0:640x480x60]\n" +
                                     kBody640 + "\n[T1:2560x1600x120]\n" + fast);
    const std::string out = dir.File("made.edid");
    struct Row {
        std::string monitor;
        Strings options;
        int status;
        const char *words; // on standard error
    } rows[] = {
        {"Empty", {}, 1, "the monitor has 0 modes"},
        {forty, {}, 0, "note: the EDID names the monitor \"A monitor nam\" (13 characters"},
        {"Fast", {}, 0, "2560x1600x120 (block T1:2560x1600x120) left out: its clock is above"},
        {"Only fast", {}, 1, "no mode fits a detailed timing exactly"},
        {"Fast", {"--vendor", "O1V"}, 1, "the vendor 'O1V' is not three letters"},
        {"Fast", {"--product", "65536"}, 1, "the product code 65536 is outside"},
        {"Fast", {"--product", "0x10"}, 2, "--product needs a decimal number"},
        {"Fast", {"--range", "30-300,50-75,100"}, 1, "horizontal rate 30 .. 300 kHz"},
        {"Fast", {"--range", "30-70,50.5-75,100"}, 2, "not whole kHz and Hz"},
        {"Fast", {"--range", "30-70,50-75,100", "--edid", out}, 2, "unknown option '--edid'"},
    };
    for (const Row &row : rows) {
        remove(out.c_str());
        Strings args = {"make-edid", file, row.monitor, out};
        args.insert(args.end(), row.options.begin(), row.options.end());
        Result r = Tool(args);
        EXPECT_EQ(r.status, row.status) << row.monitor << ": " << r.err;
        EXPECT_TRUE(Contains(r.err, row.words)) << row.monitor << ": " << r.err;
        EXPECT_EQ(FileExists(out), row.status == 0) << row.monitor;
        if (row.status == 0) {
            EXPECT_TRUE(EdidDecodeChecks(out)) << row.monitor;
        }
    }
    const std::string before = ReadBytes(file);
    EXPECT_EQ(Tool({"make-edid", file, "Fast", dir.path() + "/./ORVEXRES.DAT"}).status, 1);
    EXPECT_EQ(ReadBytes(file), before);
}

using OrvexresChart = Orvexres;

// Orvex ProView 17 against 30-64 kHz, 50-75 Hz, 100 MHz: 1024x768 at 75.03 Hz
// and 1152x864 at 67.5 kHz lie outside, 1280x1024 at 60 Hz (63.98 kHz) needs
// 108 MHz; the EDID's 30-81 kHz, 56-76 Hz, 140 MHz takes in all nine.
TEST_F(OrvexresChart, ModesAgainstTheRangeValidForXmllint) {
    const std::string edid = ORVEX_SOURCE_DIR "/examples/orvex-pv19.edid";
    const std::string svg = dir.File("chart.svg");
    const std::pair<Strings, const char *> rows[] = {
        {{}, "9 modes\n"},
        {{"--range", "30-64,50-75,100"},
         "9 modes, 6 inside the range, 2 outside it, 1 over the clock limit\n"},
        {{"--edid", edid}, "9 modes, 9 inside the range, 0 outside it, 0 over the clock limit\n"},
    };
    for (const auto &row : rows) {
        Strings args = {"chart", example, "Orvex ProView 17", "--svg", svg};
        args.insert(args.end(), row.first.begin(), row.first.end());
        Result r = Tool(args);
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out, svg + ": chart of Orvex ProView 17: " + row.second);
        EXPECT_EQ(std::system(("xmllint --noout " + Quote(svg)).c_str()), 0) << row.second;
        EXPECT_TRUE(Contains(ReadBytes(svg), "<title>1152x864x75: 1152x864, 67.500 kHz"));
    }
    const std::string empty = DataFile("empty.dat", std::string(kHead) + "[M1]\nname=Empty\n\n" +
                                                        "[T0:640x480x60]\n" + kBody640);
    const std::pair<Strings, int> bad[] = {
        {{"chart", example, "Generic"}, 2},
        {{"chart", example, "Generic", "--svg", example}, 1},
        {{"chart", example, "Generic", "--svg", edid, "--edid", edid}, 1},
        {{"chart", example, "Generic", "--svg", svg, "--edid", edid, "--range", "1-2,3-4,5"}, 2},
        {{"chart", empty, "Empty", "--svg", svg}, 1},
        {{"chart", example, "Nobody", "--svg", svg}, 1},
    };
    remove(svg.c_str());
    for (const auto &row : bad) {
        Result r = Tool(row.first);
        EXPECT_EQ(r.status, row.second) << r.err;
        EXPECT_EQ(r.out, "");
    }
    EXPECT_FALSE(FileExists(svg));
}

} // namespace
