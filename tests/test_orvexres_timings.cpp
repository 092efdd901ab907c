// orvexres end to end, the commands on timings: lint.
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

} // namespace
