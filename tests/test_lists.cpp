// Records and lists: adding, finding, deriving id forms, linking and freeing.
#include <stdlib.h>
#include <string.h>

#include <string>

#include "support/testutil.h"

namespace {

class Lists : public FreshDatabase {
  protected:
    void TearDown() override {
        FreeMonitorEntryList(monitors);
        FreeTimingInfoList(timings);
        FreshDatabase::TearDown();
    }
    Tag_Monitor_Entry *monitors = nullptr;
    Tag_Timing_Info *timings = nullptr;
};

std::string Taken(char *text) {
    std::string copy = text != nullptr ? text : "<null>";
    free(text);
    return copy;
}

TEST_F(Lists, MonitorsAppendInOrderAndRefuseDuplicatesIgnoringCase) {
    Tag_Monitor_Entry *generic = AddMonitorEntry("Generic", &monitors);
    ASSERT_NE(generic, nullptr);
    EXPECT_EQ(monitors, generic);
    EXPECT_EQ(generic->marked, 0);
    EXPECT_EQ(generic->res_list, nullptr);
    Tag_Monitor_Entry *second = AddMonitorEntry("Orvex ProView 15", &monitors);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(generic->next, second);
    EXPECT_EQ(second->next, nullptr);

    EXPECT_EQ(AddMonitorEntry("generic", &monitors), nullptr);
    EXPECT_EQ(res_dat_err_flag, 2);
    EXPECT_EQ(second->next, nullptr) << "a refused add changes nothing";

    EXPECT_EQ(FindMonitorEntry("GENERIC", monitors), generic);
    EXPECT_EQ(FindMonitorEntry("orvex proview 15", monitors), second);
    EXPECT_EQ(FindMonitorEntry("Generic ", monitors), nullptr);
}

TEST_F(Lists, FindLeavesTheErrorCodeAlone) {
    ASSERT_NE(AddMonitorEntry("Generic", &monitors), nullptr);
    res_dat_err_flag = 42;
    EXPECT_EQ(FindMonitorEntry("Missing", monitors), nullptr);
    EXPECT_EQ(FindResolutionEntry("T0:1x1x1", monitors->res_list), nullptr);
    EXPECT_EQ(FindTimingInfo("T0:1x1x1", timings), nullptr);
    EXPECT_EQ(res_dat_err_flag, 42);
}

TEST_F(Lists, ResolutionsGoToTheNamedMonitor) {
    ASSERT_NE(AddMonitorEntry("Generic", &monitors), nullptr);
    ASSERT_NE(AddMonitorEntry("Other", &monitors), nullptr);
    Tag_Resolution_Entry *a = AddResolutionEntry("other", "T0:640x480x60", monitors);
    Tag_Resolution_Entry *b = AddResolutionEntry("OTHER", "T1:640x480x72", monitors);
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(monitors->res_list, nullptr);
    EXPECT_EQ(monitors->next->res_list, a);
    EXPECT_EQ(a->next, b);
    EXPECT_EQ(a->timing_info, nullptr);
    EXPECT_EQ(a->marked, 0);

    EXPECT_EQ(AddResolutionEntry("Other", "t0:640X480x60", monitors), nullptr)
        << "the same id in another case is a duplicate";
    EXPECT_EQ(res_dat_err_flag, 2);
    res_dat_err_flag = 0;
    EXPECT_EQ(AddResolutionEntry("Nobody", "T0:640x480x60", monitors), nullptr);
    EXPECT_EQ(res_dat_err_flag, 2);
    EXPECT_EQ(b->next, nullptr);
}

TEST_F(Lists, IdsWithoutColonOrLowerCaseXAreRefused) {
    ASSERT_NE(AddMonitorEntry("Generic", &monitors), nullptr);
    for (const char *bad : {"640x480x60", "T0-640x480x60", "T0:640X480X60", "x:T0", ""}) {
        res_dat_err_flag = 0;
        EXPECT_EQ(AddResolutionEntry("Generic", bad, monitors), nullptr) << bad;
        EXPECT_EQ(res_dat_err_flag, 2) << bad;
        res_dat_err_flag = 0;
        EXPECT_EQ(AddTimingInfo(bad, "", 1, &timings), nullptr) << bad;
        EXPECT_EQ(res_dat_err_flag, 2) << bad;
    }
    EXPECT_EQ(monitors->res_list, nullptr);
    EXPECT_EQ(timings, nullptr);
}

TEST_F(Lists, TimingIndexesFollowTheListNotTheBlockNumber) {
    Tag_Timing_Info *first = AddTimingInfo("T7:640x480x60", "hdr=25\n", 8, &timings);
    Tag_Timing_Info *second = AddTimingInfo("T3:800x600x72", "", 1, &timings);
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(first->index, 0);
    EXPECT_EQ(second->index, 1);
    EXPECT_STREQ(first->refresh_string, "60");
    EXPECT_STREQ(second->refresh_string, "72");
    EXPECT_STREQ(first->res_id_string, "T7:640x480x60");
    EXPECT_STREQ(first->info_block, "hdr=25\n");
    EXPECT_STREQ(second->info_block, "");

    EXPECT_EQ(AddTimingInfo("t7:640x480x60", "", 1, &timings), nullptr);
    EXPECT_EQ(res_dat_err_flag, 2);
    EXPECT_EQ(second->next, nullptr);
}

TEST_F(Lists, TimingBlockIsCopiedToItsSizeAndAlwaysTerminated) {
    const char block[] = {'a', 'b', 'c', 'd'}; // no NUL of its own
    Tag_Timing_Info *info = AddTimingInfo("T0:1x2x3", block, 3, &timings);
    ASSERT_NE(info, nullptr);
    EXPECT_STREQ(info->info_block, "ab");

    for (int16_t size : {0, -1, -32768}) {
        res_dat_err_flag = 0;
        EXPECT_EQ(AddTimingInfo("T1:1x2x3", "x", size, &timings), nullptr) << size;
        EXPECT_EQ(res_dat_err_flag, 2);
    }
    EXPECT_EQ(info->next, nullptr);
}

TEST_F(Lists, DerivedIdForms) {
    EXPECT_EQ(Taken(StripRes("T3:640x480x60")), "640x480x60");
    EXPECT_EQ(Taken(StripTiming("T3:640x480x60")), "640x480");
    EXPECT_EQ(Taken(GetRefreshFromResIDString("T3:640x480x60")), "60");
    // Only a lower-case x separates, and the first ":" counts.
    EXPECT_EQ(Taken(StripTiming("T3:a:640X480x60x")), "a:640X480x60");
    EXPECT_EQ(Taken(GetRefreshFromResIDString("T3:640x480x60x")), "");
    EXPECT_EQ(Taken(StripRes("T3:")), "");
    // Texts without the separators come back whole.
    EXPECT_EQ(Taken(StripRes("640x480")), "640x480");
    EXPECT_EQ(Taken(StripTiming("640x480")), "640x480");
    EXPECT_EQ(Taken(StripTiming("T3:640X480")), "T3:640X480");
    EXPECT_EQ(Taken(GetRefreshFromResIDString("T3:60")), "T3:60");
}

TEST_F(Lists, FreeingMonitorsLeavesTimingRecordsAlone) {
    ASSERT_NE(AddMonitorEntry("Generic", &monitors), nullptr);
    Tag_Resolution_Entry *entry = AddResolutionEntry("Generic", "T0:640x480x60", monitors);
    Tag_Timing_Info *info = AddTimingInfo("T0:640x480x60", "hdr=25\n", 8, &timings);
    ASSERT_NE(entry, nullptr);
    ASSERT_NE(info, nullptr);
    entry->timing_info = info;
    FreeMonitorEntryList(monitors);
    monitors = nullptr;
    // The timing record is still whole (ASan would report a use after free).
    EXPECT_STREQ(info->res_id_string, "T0:640x480x60");
    EXPECT_STREQ(info->info_block, "hdr=25\n");
}

// ---------------------------------------------------------------------------
// Null arguments
// ---------------------------------------------------------------------------

TEST_F(Lists, AddOperationsRefuseNullArgumentsWithCode2) {
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
}

TEST_F(Lists, FindOperationsGiveNullForANullName) {
    ASSERT_TRUE(ReadDatFile(ExampleDatPath().c_str()));
    res_dat_err_flag = 0;
    EXPECT_EQ(FindMonitorEntry(nullptr, GetMonitorEntryHead()), nullptr);
    EXPECT_EQ(FindResolutionEntry(nullptr, GetMonitorEntryHead()->res_list), nullptr);
    EXPECT_EQ(FindTimingInfo(nullptr, GetTimingInfoHead()), nullptr);
    EXPECT_EQ(res_dat_err_flag, 0) << "finding never touches the error code";
}

} // namespace
