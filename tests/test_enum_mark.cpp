// Walking the database with the three cursors, and marking a monitor and a
// resolution.
#include <string>

#include "support/testutil.h"

namespace {

using Strings = std::vector<std::string>;

const char kTwoMonitors[] =
    "MemSize=2\nMemConfig=1\nDefMode=640x480\n"
    "[M0]\nname=Generic\nt=T0:640x480x60\nt=T1:640x480x72\nt=T2:800x600x60\n\n"
    "[M1]\nname=Other\nt=T2:800x600x60\n\n"
    "[T0:640x480x60]\nvlr=60\n\n[T1:640x480x72]\nvlr=72\n\n"
    "[T2:800x600x60]\nvlr=60 big\n";

class Walks : public FreshDatabase {
  protected:
    void SetUp() override {
        FreshDatabase::SetUp();
        ASSERT_TRUE(LoadText(dir, kTwoMonitors));
    }
    ScratchDir dir;
};

TEST_F(Walks, MonitorNames) {
    EXPECT_STREQ(EnumMonitorNames(1), "Generic");
    EXPECT_STREQ(EnumMonitorNames(0), "Other");
    EXPECT_EQ(EnumMonitorNames(0), nullptr);
    EXPECT_EQ(EnumMonitorNames(0), nullptr);
    EXPECT_STREQ(EnumMonitorNames(1), "Generic") << "restart";
}

TEST_F(Walks, EmptyDatabaseHasNoMonitors) {
    ResDatReset();
    EXPECT_EQ(EnumMonitorNames(1), nullptr);
    EXPECT_EQ(EnumResNames("Generic"), nullptr);
    char *resid = nullptr;
    EXPECT_EQ(EnumTimingBlocks("Generic", &resid), nullptr);
}

TEST_F(Walks, ResolutionNamesIgnoreTheCaseOfTheMonitor) {
    Strings seen;
    for (char *r = EnumResNames("generic"); r != nullptr; r = EnumResNames(nullptr))
        seen.push_back(r);
    EXPECT_EQ(seen, (Strings{"640x480x60", "640x480x72", "800x600x60"}));
}

TEST_F(Walks, TimingBlocksHandOutBlockAndResolution) {
    char *resid = nullptr;
    Strings seen;
    for (char *b = EnumTimingBlocks("GENERIC", &resid); b != nullptr;
         b = EnumTimingBlocks(nullptr, &resid))
        seen.push_back(std::string(resid) + "|" + b);
    EXPECT_EQ(seen, (Strings{"640x480|vlr=60\n", "640x480|vlr=72\n", "800x600|vlr=60 big\n"}));
    EXPECT_STREQ(resid, "800x600") << "an exhausted walk leaves the last resolution";
}

TEST_F(Walks, CursorsAreIndependentAndRestartDiscards) {
    char *resid = nullptr;
    EXPECT_STREQ(EnumResNames("Generic"), "640x480x60");
    EXPECT_STREQ(EnumTimingBlocks("Other", &resid), "vlr=60 big\n");
    EXPECT_STREQ(EnumResNames(nullptr), "640x480x72");
    EXPECT_EQ(EnumTimingBlocks(nullptr, &resid), nullptr);
    EXPECT_STREQ(EnumResNames("Other"), "800x600x60");
    EXPECT_EQ(EnumResNames(nullptr), nullptr);
}

TEST_F(Walks, UnknownMonitorIsAnEmptyWalk) {
    char *resid = nullptr;
    EXPECT_STREQ(EnumTimingBlocks("Generic", &resid), "vlr=60\n");
    char *before = resid;
    EXPECT_EQ(EnumTimingBlocks("Nobody", &resid), nullptr);
    EXPECT_EQ(resid, before);
    EXPECT_EQ(EnumTimingBlocks(nullptr, &resid), nullptr);
    EXPECT_STREQ(EnumResNames("Generic"), "640x480x60");
    EXPECT_EQ(EnumResNames("Nobody"), nullptr);
    EXPECT_EQ(EnumResNames(nullptr), nullptr);
}

TEST_F(Walks, MarksAccumulateUntilCleared) {
    EXPECT_EQ(GetMarkedMonEntry(), nullptr);
    EXPECT_TRUE(MarkMon("other"));
    EXPECT_TRUE(MarkMon("Generic"));
    ASSERT_NE(GetMarkedMonEntry(), nullptr);
    EXPECT_STREQ(GetMarkedMonEntry()->monitor_id_string, "Generic") << "earlier in list order";
    ClearFFMarks();
    EXPECT_EQ(GetMarkedMonEntry(), nullptr);
}

TEST_F(Walks, MarkResolutionUsesTheLinkedForm) {
    EXPECT_TRUE(MarkRes("Generic", "640X480x72"));
    Tag_Monitor_Entry *generic = GetMonitorEntryHead();
    EXPECT_EQ(generic->marked, 0) << "the monitor's own flag is untouched";
    EXPECT_EQ(generic->res_list->marked, 0);
    EXPECT_EQ(generic->res_list->next->marked, 1);

    res_dat_err_flag = 0;
    EXPECT_FALSE(MarkRes("Generic", "T0:640x480x60"));
    EXPECT_EQ(res_dat_err_flag, 6);
    res_dat_err_flag = 0;
    EXPECT_FALSE(MarkRes("Nobody", "640x480x60"));
    EXPECT_EQ(res_dat_err_flag, 6);
    res_dat_err_flag = 0;
    EXPECT_FALSE(MarkMon("Nobody"));
    EXPECT_EQ(res_dat_err_flag, 6);
    EXPECT_EQ(GetMarkedMonEntry(), nullptr);

    ClearFFMarks();
    EXPECT_EQ(generic->res_list->next->marked, 0);
}

TEST_F(Walks, MarkResolutionMarksTheFirstOfTwoEqualEntries) {
    ResDatReset();
    ASSERT_TRUE(LoadText(dir, "MemSize=2\nMemConfig=1\nDefMode=640x480\n"
                              "[M0]\nname=Generic\nt=T0:640x480x60\nt=T1:640x480x60\n\n"
                              "[T0:640x480x60]\n\n[T1:640x480x60]\n"));
    ASSERT_TRUE(MarkRes("Generic", "640x480x60"));
    Tag_Resolution_Entry *first = GetMonitorEntryHead()->res_list;
    EXPECT_EQ(first->marked, 1);
    EXPECT_EQ(first->next->marked, 0);
}

// ---------------------------------------------------------------------------
// A resolution entry added by hand and never linked: what the walks and the
// writers make of it
// ---------------------------------------------------------------------------

class UnlinkedEntry : public FreshDatabase {
  protected:
    // The example, and a resolution of "Generic" added after it (full form,
    // not linked) between two linked ones.
    void SetUp() override {
        FreshDatabase::SetUp();
        ASSERT_TRUE(LoadText(dir,
                             "MemSize=2\nMemConfig=1\nDefMode=640x480\n"
                             "[M0]\nname=Generic\nt=T0:640x480x60\n\n[T0:640x480x60]\nhdr=25\n"));
        ASSERT_NE(AddResolutionEntry("Generic", "T9:800x600x60", GetMonitorEntryHead()), nullptr);
    }
    ScratchDir dir;
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

} // namespace
