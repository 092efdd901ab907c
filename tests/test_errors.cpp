// The error codes and the loader's findings: each finding is reported with its
// code, its detail sentence and a hint, and the codes keep their values.
#include <string>

#include "support/testutil.h"

namespace {

const char kRequired[] = "MemSize = 2\nMemConfig = 1\nDefMode = 640x480\n";

struct FindingCase {
    const char *name;
    std::string text; // the data file
    ResDatFinding finding;
    int32_t code;
    int32_t line;
    const char *detail;
};

void PrintTo(const FindingCase &c, std::ostream *os) {
    *os << c.name;
}

class Findings : public FreshDatabase, public ::testing::WithParamInterface<FindingCase> {
  protected:
    ScratchDir dir;
};

TEST_P(Findings, ReportedWithCodeLineDetailAndHint) {
    const FindingCase &c = GetParam();
    res_dat_err_flag = 0;
    ASSERT_FALSE(LoadText(dir, c.text));
    EXPECT_EQ(GetResDatErrFinding(), c.finding);
    EXPECT_EQ(res_dat_err_flag, c.code);
    EXPECT_EQ(GetResDatErrLine(), c.line);
    EXPECT_STREQ(GetResDatErrDetail(), c.detail);
    EXPECT_STRNE(GetResDatFindingHint(c.finding), "");
}

const std::string kReq = kRequired;

INSTANTIATE_TEST_SUITE_P(
    EveryContentFinding, Findings,
    ::testing::Values(
        FindingCase{"UnknownBlock", kReq + "[X0]\n", RES_DAT_FOUND_UNKNOWN_BLOCK, 2, 4,
                    "unknown block header (expected [M or [T)"},
        FindingCase{"MonitorWithoutName", kReq + "[M0]\n", RES_DAT_FOUND_MONITOR_WITHOUT_NAME, 2, 4,
                    "monitor block without a name line"},
        FindingCase{"NameWithoutValue", kReq + "[M0]\nname\n", RES_DAT_FOUND_NAME_WITHOUT_VALUE, 2,
                    5, "monitor name line without a value"},
        FindingCase{"DuplicateMonitor", kReq + "[M0]\nname=a\n\n[M1]\nname=A\n",
                    RES_DAT_FOUND_DUPLICATE_MONITOR, 2, 8, "duplicate monitor A"},
        FindingCase{"ResolutionWithoutValue", kReq + "[M0]\nname=a\nt\n",
                    RES_DAT_FOUND_RESOLUTION_WITHOUT_VALUE, 2, 6,
                    "resolution line of monitor a without a value"},
        FindingCase{"DuplicateResolution", kReq + "[M0]\nname=a\nt=T0:1x2x3\nu=t0:1x2x3\n",
                    RES_DAT_FOUND_DUPLICATE_RESOLUTION, 2, 7,
                    "duplicate resolution t0:1x2x3 in monitor a"},
        FindingCase{"MalformedResolution", kReq + "[M0]\nname=a\nt=T0:1X2\n",
                    RES_DAT_FOUND_MALFORMED_RESOLUTION, 2, 6,
                    "malformed resolution id \"T0:1X2\" in monitor a (expected Tn:WxHxR)"},
        FindingCase{"BlockTooLong", kReq + "[T0:1x2x3]\n" + std::string(5200, 'a') + "\n",
                    RES_DAT_FOUND_BLOCK_TOO_LONG, 2, 5,
                    "timing block T0:1x2x3 is longer than 5119 characters"},
        FindingCase{"DuplicateTiming", kReq + "[T0:1x2x3]\n\n[T0:1X2x3]\n",
                    RES_DAT_FOUND_DUPLICATE_TIMING, 2, 6, "duplicate timing block T0:1X2x3"},
        FindingCase{"MalformedTiming", kReq + "[T0-1x2]\n", RES_DAT_FOUND_MALFORMED_TIMING, 2, 4,
                    "malformed timing block id \"T0-1x2\" (expected Tn:WxHxR)"},
        FindingCase{"MissingVariable", "MemSize = 2\nDefMode = 1\n", RES_DAT_FOUND_MISSING_VARIABLE,
                    2, 0, "the required header variable MemConfig is missing"},
        FindingCase{"UnlinkedResolution", kReq + "[M0]\nname=a\nt=T0:1x2x3\n",
                    RES_DAT_FOUND_UNLINKED_RESOLUTION, 2, 6,
                    "resolution T0:1x2x3 of monitor a has no timing block"},
        FindingCase{"UnlinkedResolutionOfALaterMonitor",
                    kReq + "[M0]\nname=a\nt=T0:1x2x3\n\n[M1]\nname=b\nu=T0:1x2x3\n"
                           "v=T5:1x2x3\n\n[T0:1x2x3]\n",
                    RES_DAT_FOUND_UNLINKED_RESOLUTION, 2, 11,
                    "resolution T5:1x2x3 of monitor b has no timing block"}),
    [](const ::testing::TestParamInfo<FindingCase> &info) { return std::string(info.param.name); });

TEST(ErrorCodes, KeepTheirValuesAndMeanings) {
    EXPECT_EQ(RES_DAT_ERR_OUT_OF_MEMORY, 1);
    EXPECT_EQ(RES_DAT_ERR_CONTENT, 2);
    EXPECT_EQ(RES_DAT_ERR_DATA_FILE, 3);
    EXPECT_EQ(RES_DAT_ERR_INI_FILE, 4);
    EXPECT_EQ(RES_DAT_ERR_NOT_FOUND, 6);
    EXPECT_STREQ(GetResDatErrMeaning(0), "no error");
    EXPECT_STREQ(GetResDatErrMeaning(2), "content error");
    EXPECT_STREQ(GetResDatErrMeaning(5), "unknown error") << "no operation uses 5";
}

TEST(ErrorCodes, AFileThatCannotBeOpenedIsItsOwnFinding) {
    ResDatReset();
    EXPECT_FALSE(ReadDatFile("/nonexistent/ORVEXRES.DAT"));
    EXPECT_EQ(GetResDatErrFinding(), RES_DAT_FOUND_CANNOT_OPEN);
    EXPECT_EQ(res_dat_err_flag, 3);
    EXPECT_STREQ(GetResDatErrDetail(), "the file cannot be opened");
    ResDatReset();
    EXPECT_EQ(GetResDatErrFinding(), RES_DAT_FOUND_NOTHING) << "a reset forgets the finding";
    EXPECT_STREQ(GetResDatErrDetail(), "");
}

} // namespace
