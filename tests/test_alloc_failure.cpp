// Out of memory: every allocation of every operation is failed in turn, once as
// a single failure and once for good, until the operation succeeds. Each failure
// must give code 1, release what the call allocated (LeakSanitizer and valgrind
// check) and leave the database in the state the operation promises.
#include <stdlib.h>
#include <string.h>

#include <functional>
#include <string>

#include "support/failmalloc.h"
#include "support/testutil.h"

namespace {

using Strings = std::vector<std::string>;

// Every record of the database is whole: names, texts and links in place.
void ExpectWellFormed() {
    for (Tag_Monitor_Entry *m = GetMonitorEntryHead(); m != nullptr; m = m->next) {
        ASSERT_NE(m->monitor_id_string, nullptr);
        for (Tag_Resolution_Entry *r = m->res_list; r != nullptr; r = r->next)
            ASSERT_NE(r->res_id_string, nullptr);
    }
    int32_t index = 0;
    for (Tag_Timing_Info *t = GetTimingInfoHead(); t != nullptr; t = t->next, ++index) {
        ASSERT_NE(t->res_id_string, nullptr);
        ASSERT_NE(t->refresh_string, nullptr);
        ASSERT_NE(t->info_block, nullptr);
        ASSERT_EQ(t->index, index);
    }
}

// Fail allocation 1, 2, 3, ... of op until it succeeds; op returns whether it
// succeeded. check runs after each failure. Returns the number of allocations
// the successful run made.
long FailEachAllocation(bool persistent, const std::function<void()> &setup,
                        const std::function<bool()> &op, const std::function<void()> &check) {
    for (long n = 1; n < 100000; ++n) {
        setup();
        res_dat_err_flag = 0;
        bool ok;
        long failures;
        {
            FailMallocScope scope(n, persistent);
            ok = op();
            failures = FailMallocFailures();
        }
        if (failures == 0) {
            EXPECT_TRUE(ok) << "no allocation failed at n=" << n;
            return n - 1;
        }
        EXPECT_FALSE(ok) << "allocation " << n << " failed unnoticed";
        EXPECT_EQ(res_dat_err_flag, 1) << "allocation " << n;
        check();
        if (::testing::Test::HasFailure())
            return -1;
    }
    ADD_FAILURE() << "the operation never succeeded";
    return -1;
}

class AllocationFailure : public FreshDatabase, public ::testing::WithParamInterface<bool> {};

TEST_P(AllocationFailure, LoadOfTheBundledExample) {
    const std::string path = ExampleDatPath();
    long allocations = FailEachAllocation(
        GetParam(), [] { ResDatReset(); }, [&] { return ReadDatFile(path.c_str()) == TRUE; },
        [] { ExpectWellFormed(); });
    EXPECT_GT(allocations, 100) << "every record and text of the example is allocated";
    EXPECT_EQ(MonitorNames().size(), 6u);
    EXPECT_EQ(TimingIds().size(), 13u);
}

TEST_P(AllocationFailure, AddOperationsChangeNothingWhenTheyFail) {
    Tag_Monitor_Entry *monitors = nullptr;
    Tag_Timing_Info *timings = nullptr;
    ASSERT_NE(AddMonitorEntry("Generic", &monitors), nullptr);
    ASSERT_NE(AddTimingInfo("T0:640x480x60", "a=1\n", 5, &timings), nullptr);

    FailEachAllocation(
        GetParam(), [] {}, [&] { return AddMonitorEntry("Second", &monitors) != nullptr; },
        [&] { EXPECT_EQ(monitors->next, nullptr); });
    FailEachAllocation(
        GetParam(), [] {},
        [&] { return AddResolutionEntry("Second", "T0:640x480x60", monitors) != nullptr; },
        [&] { EXPECT_EQ(monitors->next->res_list, nullptr); });
    FailEachAllocation(
        GetParam(), [] {},
        [&] { return AddTimingInfo("T1:640x480x72", "b=2\n", 5, &timings) != nullptr; },
        [&] { EXPECT_EQ(timings->next, nullptr); });
    EXPECT_EQ(timings->next->index, 1);
    EXPECT_STREQ(timings->next->refresh_string, "72");

    FreeMonitorEntryList(monitors);
    FreeTimingInfoList(timings);
}

TEST_P(AllocationFailure, DerivedTexts) {
    for (auto derive : {StripRes, StripTiming, GetRefreshFromResIDString}) {
        char *result = nullptr;
        FailEachAllocation(
            GetParam(), [] {},
            [&] {
                result = derive("T3:640x480x60");
                return result != nullptr;
            },
            [] {});
        free(result);
    }
}

TEST_P(AllocationFailure, SettersLeaveTheVariableEmpty) {
    ASSERT_TRUE(ReadDatFile(ExampleDatPath().c_str()));
    FailEachAllocation(
        GetParam(), [] { SetBusType("VESA"); }, [] { return SetBusType("PCI") == TRUE; },
        [] { EXPECT_EQ(GetBusType(), nullptr); });
    EXPECT_STREQ(GetBusType(), "PCI");
}

// ---------------------------------------------------------------------------
// The writers, linking and reformatting, and a load into a filled database
// ---------------------------------------------------------------------------

// The writers need no memory of their own: with every allocation refused they
// write the same bytes as without.
TEST_P(AllocationFailure, WritersDoNotAllocate) {
    ScratchDir dir;
    ASSERT_TRUE(ReadDatFile(ExampleDatPath().c_str()));
    ASSERT_TRUE(MarkMon("Orvex ProView 17"));
    ASSERT_TRUE(MarkRes("Orvex ProView 17", "1024x768x70"));
    // The same paths both times: the INI file names itself.
    const std::string dat = dir.File("out.dat");
    const std::string ini = dir.File("out.ini");
    ASSERT_TRUE(WriteResDatFile(dat.c_str()));
    ASSERT_TRUE(WriteResIniFile(ini.c_str()));
    const std::string dat_bytes = ReadBytes(dat);
    const std::string ini_bytes = ReadBytes(ini);
    ASSERT_TRUE(remove(dat.c_str()) == 0 && remove(ini.c_str()) == 0);

    BOOLEAN dat_written;
    BOOLEAN ini_written;
    long calls;
    {
        FailMallocScope scope(1, GetParam());
        dat_written = WriteResDatFile(dat.c_str());
        ini_written = WriteResIniFile(ini.c_str());
        calls = FailMallocCalls();
    }
    EXPECT_EQ(calls, 0) << "the writers allocate";
    EXPECT_TRUE(dat_written);
    EXPECT_TRUE(ini_written);
    EXPECT_EQ(ReadBytes(dat), dat_bytes);
    EXPECT_EQ(ReadBytes(ini), ini_bytes);
    EXPECT_EQ(res_dat_err_flag, 0);
}

// A loaded database with resolution entries and timing records added by hand
// in full form, not yet linked: two new blocks, entries naming them in two
// monitors, and one naming an old block.
void LoadAndAddUnlinked() {
    ResDatReset();
    ASSERT_TRUE(ReadDatFile(ExampleDatPath().c_str()));
    Tag_Timing_Info *timings = GetTimingInfoHead();
    ASSERT_NE(AddTimingInfo("T20:1600x1200x60", "hdr=1\n", 7, &timings), nullptr);
    ASSERT_NE(AddTimingInfo("T21:1600x1200x75", "hdr=2\n", 7, &timings), nullptr);
    ASSERT_NE(AddResolutionEntry("Generic", "T20:1600x1200x60", GetMonitorEntryHead()), nullptr);
    ASSERT_NE(AddResolutionEntry("Generic", "T21:1600x1200x75", GetMonitorEntryHead()), nullptr);
    ASSERT_NE(AddResolutionEntry("Orvex ProView 21", "T21:1600x1200x75", GetMonitorEntryHead()),
              nullptr);
}

// Every entry is either linked (short id, a timing record) or still as added
// (full id, no record); the entries of the example stay linked.
void ExpectLinkedOrAsAdded(size_t *linked_by_hand) {
    *linked_by_hand = 0;
    for (Tag_Monitor_Entry *m = GetMonitorEntryHead(); m != nullptr; m = m->next)
        for (Tag_Resolution_Entry *r = m->res_list; r != nullptr; r = r->next) {
            std::string id = r->res_id_string;
            bool by_hand = id.find("1600x1200") != std::string::npos;
            if (r->timing_info != nullptr) {
                EXPECT_EQ(id.find(':'), std::string::npos) << id;
                // The record's id is still in full form unless reformatted.
                std::string record = r->timing_info->res_id_string;
                size_t colon = record.find(':');
                EXPECT_EQ(id, colon != std::string::npos
                                  ? record.substr(colon + 1)
                                  : record + "x" + r->timing_info->refresh_string);
                *linked_by_hand += by_hand;
            } else {
                EXPECT_TRUE(by_hand) << "an entry of the example lost its link: " << id;
                EXPECT_NE(id.find(':'), std::string::npos) << "unlinked but shortened: " << id;
            }
        }
}

TEST_P(AllocationFailure, LinkingKeepsTheWorkDoneBeforeTheFailure) {
    size_t linked = 0;
    FailEachAllocation(
        GetParam(), [] { LoadAndAddUnlinked(); }, [] { return LinkResEntryToTimingInfo() == TRUE; },
        [&] {
            ExpectWellFormed();
            ExpectLinkedOrAsAdded(&linked);
            EXPECT_LT(linked, 3u);
        });
    ExpectLinkedOrAsAdded(&linked);
    EXPECT_EQ(linked, 3u);
    EXPECT_EQ(ResolutionIds("Orvex ProView 21").back(), "1600x1200x75");
}

TEST_P(AllocationFailure, ReformattingKeepsTheWorkDoneBeforeTheFailure) {
    auto setup = [] {
        LoadAndAddUnlinked();
        ASSERT_TRUE(LinkResEntryToTimingInfo());
    };
    FailEachAllocation(
        GetParam(), setup, [] { return ReformatTimingInfoResIDStrings() == TRUE; },
        [] {
            ExpectWellFormed();
            // Records are shortened in list order: full forms only after the
            // last short one.
            bool full_seen = false;
            for (Tag_Timing_Info *t = GetTimingInfoHead(); t != nullptr; t = t->next) {
                bool full = strchr(t->res_id_string, ':') != nullptr;
                EXPECT_FALSE(full_seen && !full) << t->res_id_string;
                full_seen = full_seen || full;
            }
        });
    Strings ids = TimingIds();
    ASSERT_EQ(ids.size(), 15u);
    EXPECT_EQ(ids[13], "13:1600x1200@60");
    EXPECT_EQ(ids[14], "14:1600x1200@75");
}

// A second file loaded into a filled database: the records of the first stay
// whole, those of the second that were added before the failure stay, and each
// header text is the old one or the new one, never lost.
TEST_P(AllocationFailure, LoadIntoAFilledDatabaseKeepsWhatCameBefore) {
    ScratchDir dir;
    const std::string first = dir.File("first.dat");
    const std::string second = dir.File("second.dat");
    WriteBytes(first, "BusType = VESA\nMemAddr = 8000\nMemSize = 2\nMemConfig = 1\n"
                      "DefMode = 640x480\n[M0]\nname=Base\nt=T0:1x2x3\n\n[T0:1x2x3]\nbase\n");
    WriteBytes(second, "[M0]\nname=Second\nt=T1:4x5x6\n\n[T1:4x5x6]\nsecond\n\n"
                       "MemAddr = C000\n[M1]\nname=Third\nt=T1:4x5x6\n\n"
                       "BusType = PCI\nMemSize = 4\nMemConfig = 3\nDefMode = 800x600\n");
    FailEachAllocation(
        GetParam(),
        [&] {
            ResDatReset();
            ASSERT_TRUE(ReadDatFile(first.c_str()));
        },
        [&] { return ReadDatFile(second.c_str()) == TRUE; },
        [] {
            ExpectWellFormed();
            Strings monitors = MonitorNames();
            ASSERT_GE(monitors.size(), 1u);
            ASSERT_LE(monitors.size(), 3u);
            const Strings all{"Base", "Second", "Third"};
            EXPECT_EQ(monitors, Strings(all.begin(), all.begin() + monitors.size()));
            EXPECT_EQ(ResolutionIds("Base"), Strings{"1x2x3"});
            EXPECT_STREQ(GetTimingInfoHead()->info_block, "base\n");
            ASSERT_NE(GetBusType(), nullptr);
            ASSERT_NE(GetMemAddr(), nullptr);
            std::string bus = GetBusType();
            std::string addr = GetMemAddr();
            EXPECT_TRUE(bus == "VESA" || bus == "PCI") << bus;
            EXPECT_TRUE(addr == "8000" || addr == "C000") << addr;
            EXPECT_FALSE(bus == "PCI" && addr != "C000") << "lines are read in order";
            EXPECT_FALSE(bus == "PCI" && monitors.size() != 3) << "lines are read in order";
            for (char *(*get)() : {GetMemSize, GetMemConfig, GetDefaultRes})
                EXPECT_NE(get(), nullptr);
        });
    EXPECT_EQ(MonitorNames(), (Strings{"Base", "Second", "Third"}));
    EXPECT_EQ(ResolutionIds("Third"), (Strings{"4x5x6"}));
    EXPECT_STREQ(GetBusType(), "PCI");
    EXPECT_STREQ(GetDefaultRes(), "800x600");
}

INSTANTIATE_TEST_SUITE_P(OnceAndForGood, AllocationFailure, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool> &info) {
                             return info.param ? std::string("Persistent")
                                               : std::string("Transient");
                         });

} // namespace
