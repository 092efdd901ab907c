// EDIDs encoded from a monitor's modes: decoded back into the same modes,
// passed by edid-decode --check, and refused when they cannot be made.
#include <stdio.h>
#include <stdlib.h>

#include <algorithm>

#include <string>
#include <vector>

#include "support/testutil.h"
#include "support/timing_fields.h"
#include "timing/edid.h"
#include "timing/vesa.h"

namespace {

struct Monitor {
    std::string name;
    std::vector<Tag_Video_Timing> modes;
};

// Every monitor of the bundled example, its blocks read by key.
std::vector<Monitor> ExampleMonitors() {
    ResDatReset();
    EXPECT_TRUE(ReadDatFile(ExampleDatPath().c_str()));
    std::vector<Monitor> monitors;
    for (Tag_Monitor_Entry *m = GetMonitorEntryHead(); m != nullptr; m = m->next) {
        monitors.push_back({m->monitor_id_string, {}});
        for (Tag_Resolution_Entry *e = m->res_list; e != nullptr; e = e->next) {
            static Tag_Timing_Block_Report report;
            EXPECT_TRUE(ParseTimingBlock(e->timing_info->info_block, &report));
            monitors.back().modes.push_back(report.timing);
        }
    }
    ResDatReset();
    return monitors;
}

Tag_Video_Timing Dmt(int64_t id) {
    Tag_Video_Timing t;
    GetDmtModeTiming(FindDmtModeById(id, nullptr), &t);
    return t;
}

Tag_Video_Timing Cvt(int64_t w, int64_t h, int64_t r, Cvt_Blanking blanking) {
    Tag_Video_Timing t;
    EXPECT_TRUE(MakeCvtTiming(w, h, r, blanking, &t, nullptr));
    return t;
}

// Encoded and decoded: every mode placed comes back equal in every number,
// nominal refresh included, and nothing else; returns the placements as
// letters (D detailed, E established, S standard, R repeat, N nowhere and its
// reason).
std::string RoundTrip(const Monitor &m, std::vector<uint8_t> *block) {
    Tag_Edid_Request request = {m.name.c_str(), nullptr,        0x1234,
                                nullptr,        m.modes.data(), int32_t(m.modes.size())};
    std::vector<Tag_Edid_Placement> placed(m.modes.size());
    Tag_Timing_Error error;
    block->assign(kEdidBlockSize, 0);
    EXPECT_TRUE(EncodeEdid(&request, block->data(), placed.data(), nullptr, &error))
        << m.name << ": " << error.reason;
    static Tag_Edid edid;
    EXPECT_TRUE(DecodeEdid(block->data(), block->size(), false, &edid, &error)) << error.reason;
    std::vector<std::string> expected, decoded;
    std::string letters;
    for (size_t i = 0; i < m.modes.size(); ++i) {
        letters += "DESRN"[static_cast<int32_t>(placed[i].where)];
        if (placed[i].where == Edid_Placed::kNowhere)
            letters += std::to_string(static_cast<int32_t>(placed[i].reason));
        if (placed[i].where <= Edid_Placed::kStandard)
            expected.push_back(TimingFields(m.modes[i]));
    }
    for (int32_t i = 0; i < edid.mode_count; ++i)
        decoded.push_back(TimingFields(edid.modes[i].timing));
    std::sort(expected.begin(), expected.end());
    std::sort(decoded.begin(), decoded.end());
    EXPECT_EQ(decoded, expected) << m.name;
    for (int32_t i = 0; i < edid.skip_count; ++i) // a DTD of the clock rounded, replaced
        EXPECT_EQ(edid.skips[i].mode.source, Edid_Source::kDetailed) << m.name;
    EXPECT_EQ(edid.name, m.name.substr(0, 13));
    return letters;
}

TEST(EdidEncode, RoundTrips) {
    const Tag_Video_Timing too_fast = Cvt(2560, 1600, 120, Cvt_Blanking::kCrt); // > 655.35 MHz
    Tag_Video_Timing cursor = Dmt(0x23), named_72 = Dmt(0x05), twin = Dmt(0x04);
    cursor.h_cursor_offset = 4, twin.clock_hz = 25180000;
    named_72.h_front_porch += 8, named_72.h_back_porch -= 8; // DMT 0x05 but not its numbers
    std::vector<Monitor> monitors = ExampleMonitors();
    ASSERT_EQ(monitors.size(), 6u);
    // The bundled example's modes are DMT modes: established timings, two
    // standard timings (1152x864 and 1280x1024), 640x480 at 75 Hz (31.5 MHz)
    // the one detailed timing; 640x480 at 60 Hz (25.175 MHz) the established
    // timing in the place of the DTD that states it as 25.18 MHz.
    const std::vector<std::string> example = {"EEEEEEEEEE", "E",         "EEEE",
                                              "EEEEEEE",    "EEEEEEESS", "DEESSE"};
    monitors.push_back({"A name longer than thirteen",
                        {Cvt(1366, 768, 60, Cvt_Blanking::kCrt), Dmt(0x04), Dmt(0x04), twin,
                         Cvt(1920, 1200, 60, Cvt_Blanking::kReducedV1), Dmt(0x16), named_72, cursor,
                         too_fast, Cvt(4000, 3000, 60, Cvt_Blanking::kReducedV2)}});
    std::vector<std::string> want = example;
    want.push_back("DERN5DN1N4N3N2N2");
    ScratchDir dir;
    for (size_t i = 0; i < monitors.size(); ++i) {
        SCOPED_TRACE(monitors[i].name); // the line of the failures within RoundTrip
        std::vector<uint8_t> block;
        EXPECT_EQ(RoundTrip(monitors[i], &block), want[i]) << monitors[i].name;
#ifndef _WIN32
        const std::string path = dir.File("edid.bin");
        WriteBytes(path, std::string(block.begin(), block.end()));
        EXPECT_EQ(system(("edid-decode --check '" + path + "' > '" + path + ".txt'").c_str()), 0)
            << monitors[i].name << ":\n"
            << ReadBytes(path + ".txt");
#endif
    }
}

TEST(EdidEncode, Refusals) {
    const Tag_Video_Timing good = Dmt(0x23);
    Tag_Video_Timing bad = good, fast = Cvt(3840, 2400, 60, Cvt_Blanking::kCrt), slow = good;
    bad.h_sync = 0;
    slow.clock_hz = 10000; // 0.15 Hz
    auto limits = [](int32_t v_min, int32_t v_max) {
        Tag_Edid_Range range = Tag_Edid_Range();
        range.present = true, range.v_min_hz = v_min, range.v_max_hz = v_max;
        range.h_min_khz = 30, range.h_max_khz = 80, range.max_clock_khz = 100000;
        return range;
    };
    const Tag_Edid_Range inverted = limits(75, 50), wide = limits(0, 75);
    struct Case {
        std::vector<Tag_Video_Timing> modes;
        const char *vendor;
        int32_t product;
        const char *name;
        const Tag_Edid_Range *range;
        const char *reason;
    };
    const Case cases[] = {
        {{}, nullptr, 0, "x", nullptr, "the monitor has 0 modes: an EDID is made of 1 .. 1024"},
        {{good, bad},
         nullptr,
         0,
         "x",
         nullptr,
         "mode 2 (1280x1024@60) is no mode: horizontal sync 0 is below 1"},
        {{good}, "OR", 0, "x", nullptr, "the vendor 'OR' is not three letters A .. Z"},
        {{good}, nullptr, 65536, "x", nullptr, "the product code 65536 is outside 0 .. 65535"},
        {{good},
         nullptr,
         0,
         " \t",
         nullptr,
         "the monitor's name is blank: an EDID names the monitor"},
        {{good},
         nullptr,
         0,
         "x",
         &inverted,
         "range limits: vertical rate 75 .. 50 Hz is not within 1 .. 255 Hz"},
        {{good},
         nullptr,
         0,
         "x",
         &wide,
         "range limits: vertical rate 0 .. 75 Hz is not within 1 .. 255 Hz"},
        {{good, slow},
         nullptr,
         0,
         "x",
         nullptr,
         "range limits: vertical rate 0 .. 61 Hz is not within 1 .. 255 Hz (as the modes need "
         "it)"},
        {{fast},
         nullptr,
         0,
         "x",
         nullptr,
         "no mode fits a detailed timing exactly for the preferred one; mode 1 (3840x2400@60): "
         "its clock is above the 655.35 MHz a detailed timing holds or no multiple of 10 kHz"},
    };
    for (const Case &c : cases) {
        const Tag_Edid_Request request = {c.name,  c.vendor,       c.product,
                                          c.range, c.modes.data(), int32_t(c.modes.size())};
        uint8_t block[kEdidBlockSize] = {7};
        Tag_Timing_Error error;
        EXPECT_FALSE(EncodeEdid(&request, block, nullptr, nullptr, &error)) << c.reason;
        EXPECT_EQ(error.code, Timing_Error_Code::kRequest);
        EXPECT_STREQ(error.reason, c.reason);
        EXPECT_EQ(block[0], 7) << "nothing written";
    }
}

} // namespace
