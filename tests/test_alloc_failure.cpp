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

INSTANTIATE_TEST_SUITE_P(OnceAndForGood, AllocationFailure, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool> &info) {
                             return info.param ? std::string("Persistent")
                                               : std::string("Transient");
                         });

} // namespace
