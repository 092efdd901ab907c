// EDID: built byte by byte here, read (binary and hex), decoded, refused, and
// compared with the reference decoder edid-decode run as a black box.
#include <stdio.h>
#include <string.h>

#include <set>
#include <string>
#include <vector>

#include "support/edid_builder.h"
#include "support/testutil.h"
#include "timing/edid.h"
#include "timing/modeline.h"
#include "timing/vesa.h"

namespace {

using namespace edid_builder;

Tag_Edid Decoded(const Bytes &bytes, bool force = false) {
    static Tag_Edid edid; // large: kept off the stack
    Tag_Timing_Error error;
    EXPECT_TRUE(DecodeEdid(bytes.data(), bytes.size(), force, &edid, &error)) << error.reason;
    return edid;
}

// Each mode as DescribeEdidMode gives it, and with its modeline when wanted.
std::vector<std::string> Modes(const Tag_Edid &edid, bool modelines = false) {
    std::vector<std::string> modes;
    for (int32_t i = 0; i < edid.mode_count; ++i) {
        char where[kEdidDescriptionSize], line[kModelineTextSize];
        EXPECT_TRUE(DescribeEdidMode(&edid.modes[i], where, sizeof where));
        EXPECT_TRUE(FormatModeline(&edid.modes[i].timing, line, sizeof line, nullptr));
        modes.push_back(modelines ? std::string(where) + " | " + line : where);
    }
    return modes;
}

std::string Skipped(const Tag_Edid &edid) {
    std::string out;
    for (int32_t kind = 0; kind < kEdidSkipKinds; ++kind)
        if (edid.skipped[kind] != 0)
            out += std::string(DescribeEdidSkip(static_cast<Edid_Skip>(kind))) + " " +
                   std::to_string(edid.skipped[kind]) + "; ";
    out += "duplicates " + std::to_string(edid.duplicate_count);
    for (int32_t bit = 0; bit < kEdidNoteKinds; ++bit)
        if (edid.notes & GetEdidNoteBit(static_cast<Edid_Note>(bit)))
            out += std::string("; ") + DescribeEdidNote(static_cast<Edid_Note>(bit));
    return out;
}

// ---------------------------------------------------------------------------
// The modes (the numbers of established and standard timings are checked
// against edid-decode below)
// ---------------------------------------------------------------------------

TEST(EdidModes, DetailedInBaseAndCtaBlocks) {
    Edid_Layout s;
    Dtd_Fields interlaced = kDtd1280, stereo = kDtd1280, composite = kDtd1280, zero_sync = kDtd1280;
    interlaced.flags |= 0x80, stereo.flags |= 0x20, composite.flags = 0x10, zero_sync.h_sync = 0;
    s.descriptors = {Dtd(kDtd1280), Name("Orvex 17\n   "), Dtd(kDtd640)};
    s.cta = {{Dtd(interlaced), Dtd(kDtd640), Dtd(stereo), Dtd(composite), Dtd(zero_sync)},
             {Dtd({14850, 1920, 280, 88, 44, 1080, 45, 4, 5, 0, 0, 0x1e})}};
    Tag_Edid edid = Decoded(Build(s));
    EXPECT_EQ(Modes(edid, true),
              (std::vector<std::string>{
                  "DTD 1 of block 0 | Modeline \"1280x1024_60\" 108.000 1280 1328 1440 1688 1024 "
                  "1025 1028 1066 +hsync +vsync",
                  // The borders folded into the porches: DMT 0x04 but for the clock.
                  "DTD 2 of block 0 | Modeline \"640x480_60\" 25.180 640 656 752 800 480 490 492 "
                  "525 -hsync -vsync",
                  "DTD 1 of block 2 (CTA-861) | Modeline \"1920x1080_60\" 148.500 1920 2008 2052 "
                  "2200 1080 1084 1089 1125 +hsync +vsync"}));
    EXPECT_EQ(Skipped(edid),
              "interlaced 1; stereo 1; composite sync 1; not a mode 1; duplicates 1");
    EXPECT_EQ(edid.block_count, 3);
}

// Each established timing alone: its mode, or its skip.
TEST(EdidModes, EstablishedTimings) {
    const char *const expected[17] = {
        "720x400@70 (IBM)",       "720x400@88 (IBM)",       "640x480@60 (DMT 0x04)",
        "640x480@67 (Apple)",     "640x480@72 (DMT 0x05)",  "640x480@75 (DMT 0x06)",
        "800x600@56 (DMT 0x08)",  "800x600@60 (DMT 0x09)",  "800x600@72 (DMT 0x0a)",
        "800x600@75 (DMT 0x0b)",  "832x624@75 (Apple)",     nullptr, // 1024x768 at 87 Hz interlaced
        "1024x768@60 (DMT 0x10)", "1024x768@70 (DMT 0x11)", "1024x768@75 (DMT 0x12)",
        "1280x1024@75 (DMT 0x24)"};
    for (int bit = 0; bit < 17; ++bit) {
        Edid_Layout s;
        s.established[bit / 8] = uint8_t(0x80 >> bit % 8);
        Tag_Edid edid = Decoded(Build(s));
        std::vector<std::string> want;
        if (bit == 16)
            want.push_back("manufacturer's timing 1152x870@75 (Apple)");
        else if (expected[bit] != nullptr)
            want.push_back(std::string("established timing ") + expected[bit]);
        EXPECT_EQ(Modes(edid), want) << "bit " << bit;
        EXPECT_EQ(edid.skipped[static_cast<int32_t>(Edid_Skip::kInterlaced)], bit == 11 ? 1 : 0);
    }
}

// Standard timings by version and range limits: DMT, GTF on either curve,
// CVT; and the ones no formula here gives.
TEST(EdidModes, StandardTimings) {
    auto range = [](uint8_t support, uint8_t blankings) {
        return Descriptor(0xfd, 0, {50, 75, 30, 80, 20, support, 0x11, 0, 0, 0xf8, blankings});
    };
    // The Iiyama HM903D's secondary curve: from 64 kHz, C 40, M 3600, K 128, J 35.
    const Bytes secondary =
        Descriptor(0xfd, 0, {50, 160, 30, 130, 33, 0x02, 0, 32, 80, 0x10, 0x0e, 128, 70});
    struct Case {
        int revision;
        Bytes range; // empty: none
        Bytes code;
        const char *mode; // null: none
        int skipped_formula;
    };
    const Case cases[] = {
        {3, {}, {0x81, 0x80}, "1280x1024@60 (DMT 0x23)", 0}, // 5:4 at 60
        {3, {}, {0x81, 0x0a}, "1280x800@70 (GTF)", 0},       // 16:10 at 70
        {4, {}, {0x81, 0x0a}, "1280x800@70 (GTF)", 0},
        {4, range(0x00, 0), {0x81, 0x0a}, "1280x800@70 (GTF)", 0},
        {4, range(0x01, 0), {0x81, 0x0a}, "1280x800@70 (GTF)", 0},
        {4, range(0x04, 0x18), {0x81, 0x0a}, "1280x800@70 (CVT)", 0},
        {4, range(0x04, 0x10), {0x81, 0x0a}, "1280x800@70 (CVT reduced blanking)", 0},
        {3, secondary, {0xd1, 0x59}, "1920x1440@85 (GTF secondary curve)", 0}, // 128.5 kHz
        {4, secondary, {0xd1, 0x59}, "1920x1440@85 (GTF secondary curve)", 0},
        {3, secondary, {0x81, 0x0a}, "1280x800@70 (GTF)", 0}, // 58.3 kHz, below 64
        {3, secondary, {0x81, 0x80}, "1280x1024@60 (DMT 0x23)", 0},
        {2, {}, {0x61, 0x00}, "1024x1024@60 (GTF)", 0}, // 1:1 before EDID 1.3
        {3, {}, {0x61, 0x00}, "1024x640@60 (GTF)", 0},
        {3, {}, {0x01, 0x01}, nullptr, 0},
        {3, {}, {0x00, 0x40}, nullptr, 0},
    };
    for (const Case &c : cases) {
        Edid_Layout s;
        s.revision = c.revision;
        s.standard = {c.code};
        if (!c.range.empty())
            s.descriptors = {c.range};
        Tag_Edid edid = Decoded(Build(s));
        std::vector<std::string> want;
        if (c.mode != nullptr)
            want.push_back(std::string("standard timing 1 of block 0: ") + c.mode);
        EXPECT_EQ(Modes(edid), want)
            << c.revision << " " << int(c.code[0]) << " " << int(c.code[1]);
        EXPECT_EQ(edid.skipped[static_cast<int32_t>(Edid_Skip::kFormula)], c.skipped_formula);
    }
    // The curve as the range limits give it (its numbers are checked against
    // edid-decode below).
    Edid_Layout curved;
    curved.descriptors = {secondary};
    const Tag_Edid_Range limits = Decoded(Build(curved)).range;
    const Tag_Gtf_Curve &curve = limits.gtf_curve;
    EXPECT_EQ(std::vector<int>({limits.gtf_start_khz, curve.c2, curve.m, curve.k, curve.j2}),
              std::vector<int>({64, 80, 3600, 128, 70}));
    // The standard timing descriptor (0xFA) goes on from 9.
    Edid_Layout s;
    s.standard = {{0x81, 0x80}};
    s.descriptors = {Descriptor(0xfa, 0, {1, 1, 0x61, 0x40, 1, 1, 1, 1, 1, 1, 1, 1, 0x0a})};
    EXPECT_EQ(Modes(Decoded(Build(s))),
              (std::vector<std::string>{"standard timing 1 of block 0: 1280x1024@60 (DMT 0x23)",
                                        "standard timing 10 of block 0: 1024x768@60 (DMT 0x10)"}));
}

// A mode equal in every number to an earlier one is dropped, whatever it is
// named by: DMT 0x05 as a DTD is named 73, as an established timing 72.
TEST(EdidModes, Duplicates) {
    Edid_Layout s;
    s.descriptors = {Dtd({3150, 640, 192, 24, 40, 480, 40, 9, 3, 0, 0, 0x18})};
    s.established[0] = 0x08;                   // 640x480 at 72
    s.standard = {{0x31, 0x4c}, {0x31, 0x4c}}; // 640x480 at 72, twice
    Tag_Edid edid = Decoded(Build(s));
    EXPECT_EQ(Modes(edid), std::vector<std::string>{"DTD 1 of block 0"});
    EXPECT_EQ(edid.modes[0].timing.nominal_refresh, 73);
    EXPECT_EQ(edid.duplicate_count, 3);
    EXPECT_EQ(edid.folded[static_cast<int32_t>(Edid_Source::kEstablished)], 1);
    EXPECT_EQ(edid.folded[static_cast<int32_t>(Edid_Source::kStandard)], 2);
}

// The lists of the descriptors 0xF7 and 0xF8 and of CTA-861 video data
// blocks, hostile ones among them (the numbers are checked against
// edid-decode below).
TEST(EdidModes, NewerLists) {
    auto code = [](int lines, int aspect, int preferred, int rates, int reserved = 0) {
        const int l = lines / 2 - 1;
        return Bytes{uint8_t(l), uint8_t((l >> 8) << 4 | aspect << 2 | reserved),
                     uint8_t(preferred << 5 | rates)};
    };
    auto cvt = [&](uint8_t version, Bytes codes) {
        codes.insert(codes.begin(), version);
        return Descriptor(0xf8, 0, codes);
    };
    auto et3 = [](uint8_t revision, Bytes bits) {
        bits.insert(bits.begin(), revision);
        return Descriptor(0xf7, 0, bits);
    };
    struct Case {
        const char *name;
        std::vector<Bytes> descriptors;
        Bytes cta_data; // none when empty
        std::vector<std::string> modes;
        const char *skipped;
    };
    const Case cases[] = {
        {"ET III, reserved bits set",
         {et3(0x0a, {0x80, 0, 0, 0, 0, 0x1f})},
         {},
         {"established timing III 640x350@85 (DMT 0x01)",
          "established timing III 1920x1440@75 (DMT 0x4a)"},
         "duplicates 0"},
        {"ET III of another revision",
         {et3(0x0b, {0xff})},
         {},
         {},
         "duplicates 0; an established timings III descriptor of a revision other than 10 was "
         "passed over"},
        {"CVT codes: 60 Hz twins, the preferred reduced one kept; an unused code",
         {cvt(1, code(1200, 2, 1, 0x0d) + Bytes(3, 0))},
         {},
         {"CVT code 1 of block 0: 1920x1200@60 (CVT reduced blanking)",
          "CVT code 1 of block 0: 1920x1200@75 (CVT)"},
         "same resolution id as a mode kept 1; duplicates 0"},
        {"CVT codes of another version",
         {cvt(2, code(1200, 2, 1, 0x08))},
         {},
         {},
         "duplicates 0; a CVT 3-byte code descriptor of a version other than 1 was passed over"},
        {"CVT code, reserved bits, 15:9",
         {cvt(1, code(1080, 3, 0, 0x10, 3))},
         {},
         {"CVT code 1 of block 0: 1800x1080@50 (CVT)"},
         "duplicates 0; a CVT 3-byte code has reserved bits set: it was decoded all the same"},
        {"VICs: unknown, interlaced, native, aspect twins",
         {},
         DataBlock(2, {0, 128, 220, 255, 5, 144, 2, 3, 76}),
         {"video descriptor 6 of block 1: 1920x1080@60 (CTA-861 VIC 16)",
          "video descriptor 7 of block 1: 720x480@60 (CTA-861 VIC 2)"},
         "interlaced 1; unknown code 4; duplicates 2"},
        {"a data block past the data",
         {},
         DataBlock(2, {16}) + Bytes{0x45, 1, 2},
         {"video descriptor 1 of block 1: 1920x1080@60 (CTA-861 VIC 16)"},
         "duplicates 0; a CTA-861 data block runs past the data area of its block: the data "
         "blocks from it on were passed over"},
        {"a native VIC in the place of a CVT code's mode",
         {cvt(1, code(720, 1, 0, 0x08))},
         DataBlock(2, {132}),
         {"video descriptor 1 of block 1: 1280x720@60 (CTA-861 VIC 4)"},
         "same resolution id as a mode kept 1; duplicates 0"},
    };
    for (const Case &c : cases) {
        Edid_Layout s;
        s.descriptors = c.descriptors;
        if (!c.cta_data.empty())
            s.cta = {{}}, s.cta_data = {c.cta_data};
        const Tag_Edid edid = Decoded(Build(s));
        EXPECT_EQ(Modes(edid), c.modes) << c.name;
        EXPECT_EQ(Skipped(edid), c.skipped) << c.name;
    }
}

// A 256-byte dump whose second half repeats a base block that announces no
// extension: the base block, and a note.
TEST(EdidModes, TrailingBlocks) {
    Edid_Layout s;
    s.descriptors = {Dtd(kDtd1280)};
    Bytes bytes = Build(s);
    bytes.insert(bytes.end(), bytes.begin(), bytes.end());
    bytes[255] ^= 0xff; // not checked: not decoded
    const Tag_Edid edid = Decoded(bytes);
    EXPECT_EQ(Modes(edid), std::vector<std::string>{"DTD 1 of block 0"});
    EXPECT_EQ(edid.block_count, 1);
    EXPECT_EQ(edid.trailing_blocks, 1);
    EXPECT_EQ(edid.notes, GetEdidNoteBit(Edid_Note::kTrailingBlocks));
}

// 23 CTA-861 blocks of six DTDs of distinct sizes: the first kEdidModeMax
// are taken, the rest counted.
TEST(EdidModes, Room) {
    Edid_Layout s;
    for (int block = 0; block < 23; ++block) {
        s.cta.push_back({});
        for (int i = 0; i < 6; ++i) {
            Dtd_Fields f = kDtd1280;
            f.h_active += block * 6 + i;
            s.cta.back().push_back(Dtd(f));
        }
    }
    Tag_Edid edid = Decoded(Build(s));
    EXPECT_EQ(edid.mode_count, kEdidModeMax);
    EXPECT_EQ(edid.skipped[static_cast<int32_t>(Edid_Skip::kRoom)], 23 * 6 - kEdidModeMax);
    char where[kEdidDescriptionSize];
    EXPECT_TRUE(DescribeEdidMode(&edid.modes[kEdidModeMax - 1], where, sizeof where));
    EXPECT_STREQ(where, "DTD 2 of block 22 (CTA-861)");
    EXPECT_FALSE(DescribeEdidMode(&edid.modes[0], where, 16))
        << "'DTD 1 of block 1 (CTA-861)' needs 28";
    EXPECT_STREQ(where, "");
}

// ---------------------------------------------------------------------------
// Name and range limits
// ---------------------------------------------------------------------------

TEST(EdidDescriptors, NameAndItsFallback) {
    struct Case {
        std::vector<Bytes> descriptors;
        const char *name;
        bool from_descriptor;
    };
    const Case cases[] = {
        {{Name("Orvex 17\n   ")}, "Orvex 17", true},
        {{Name("ABCDEFGHIJKLM")}, "ABCDEFGHIJKLM", true},
        {{Name("K\x01\xe9<5300>  \n")}, "K\?\?<5300>", true},
        {{Name(std::string("Orvex\0x", 7))}, "Orvex", true},
        {{Name("First\n"), Name("Second\n")}, "First", true},
        {{Name("\n"), Name("Second\n")}, "ORV 04D2", false},
        {{}, "ORV 04D2", false},
        {{Name("   \n")}, "ORV 04D2", false},
    };
    for (const Case &c : cases) {
        Edid_Layout s;
        s.descriptors = c.descriptors;
        Tag_Edid edid = Decoded(Build(s));
        EXPECT_STREQ(edid.name, c.name);
        EXPECT_EQ(edid.name_from_descriptor, c.from_descriptor) << c.name;
        EXPECT_STREQ(edid.manufacturer, "ORV");
        EXPECT_EQ(edid.product_code, 0x04d2);
    }
}

TEST(EdidDescriptors, RangeLimits) {
    struct Case {
        int revision;
        uint8_t offsets; // byte 4
        Bytes limits;    // bytes 5 ..
        const char *range;
    };
    const Bytes gtf = {50, 75, 30, 80, 20, 0x00};
    const Case cases[] = {
        {3, 0, gtf, "50-75 Hz 30-80 kHz 200000 kHz support 0 cvt 0 0"},
        // Offsets count from EDID 1.4 on: +255 to both, to the maximum only.
        {3, 0x0f, gtf, "50-75 Hz 30-80 kHz 200000 kHz support 0 cvt 0 0"},
        {4, 0x0f, gtf, "305-330 Hz 285-335 kHz 200000 kHz support 0 cvt 0 0"},
        {4, 0x0a, gtf, "50-330 Hz 30-335 kHz 200000 kHz support 0 cvt 0 0"},
        // CVT support: the clock less 0.25 MHz steps; the blankings supported.
        {4,
         0,
         {48, 85, 31, 95, 17, 0x04, 0x11, 0x0c, 0, 0xf8, 0x08},
         "48-85 Hz 31-95 kHz 169250 kHz support 4 cvt 1 0"},
        {4,
         0,
         {1, 2, 3, 4, 5, 0x04, 0x11, 0, 0, 0xf8, 0x10},
         "1-2 Hz 3-4 kHz 50000 kHz support 4 cvt 0 1"},
    };
    auto show = [](const Tag_Edid_Range &r) {
        auto n = [](int64_t value) { return std::to_string(value); };
        return !r.present ? std::string("none")
                          : n(r.v_min_hz) + "-" + n(r.v_max_hz) + " Hz " + n(r.h_min_khz) + "-" +
                                n(r.h_max_khz) + " kHz " + n(r.max_clock_khz) + " kHz support " +
                                n(static_cast<int64_t>(r.support)) + " cvt " + n(r.cvt_standard) +
                                " " + n(r.cvt_reduced);
    };
    for (const Case &c : cases) {
        Edid_Layout s;
        s.revision = c.revision;
        s.descriptors = {Descriptor(0xfd, c.offsets, c.limits)};
        EXPECT_EQ(show(Decoded(Build(s)).range), c.range) << c.revision << " " << int(c.offsets);
    }
    EXPECT_EQ(show(Decoded(Build(Edid_Layout())).range), "none");
}

// ---------------------------------------------------------------------------
// Refusals
// ---------------------------------------------------------------------------

TEST(EdidRefusals, Decode) {
    Edid_Layout two;
    two.cta = {{}};
    const Bytes good = Build(two);
    ASSERT_NE(good[127], 0x00);
    ASSERT_NE(good[255], 0x3c);
    auto with = [&](size_t at, uint8_t value) {
        Bytes b = good;
        b[at] = value;
        return b;
    };
    auto sized = [&](size_t size) {
        Bytes b = good;
        b.resize(size, 0);
        return b;
    };
    Bytes version2 = with(18, 2);
    version2 = Checksummed(Bytes(version2.begin(), version2.begin() + 128));
    version2.insert(version2.end(), good.begin() + 128, good.end());
    struct Case {
        Bytes bytes;
        Timing_Error_Code code;
        const char *reason;
        bool forced; // decodes with force
    };
    const Case cases[] = {
        {{},
         Timing_Error_Code::kEdid,
         "the EDID is empty: it has no bytes (an EDID is one or more blocks of 128 bytes)",
         false},
        {sized(200), Timing_Error_Code::kEdid,
         "block 1 is cut short: it has 72 of its 128 bytes (the EDID's 200 bytes are not whole "
         "blocks)",
         false},
        {sized(100), Timing_Error_Code::kEdid,
         "block 0 is cut short: it has 100 of its 128 bytes (the EDID's 100 bytes are not whole "
         "blocks)",
         false},
        {with(3, 0xfe), Timing_Error_Code::kEdid,
         "block 0: header byte 3 is 0xfe, should be 0xff (an EDID starts 00 ff ff ff ff ff ff 00)",
         false},
        {sized(128), Timing_Error_Code::kEdid,
         "block 0 names 1 extension block (byte 126), but the EDID ends after block 0", false},
        {with(126, 3), Timing_Error_Code::kEdid,
         "block 0 names 3 extension blocks (byte 126), but the EDID ends after block 1", false},
        {with(255, 0x3c), Timing_Error_Code::kChecksum,
         "block 1 (CTA-861) checksum is 0x3c, should be 0x", true},
        {with(127, 0x00), Timing_Error_Code::kChecksum,
         "block 0 (base) checksum is 0x00, should be 0x", true},
        {version2, Timing_Error_Code::kEdid,
         "block 0: EDID version 2.3 (bytes 18 and 19) is not 1.x", false},
    };
    for (const Case &c : cases) {
        Tag_Edid edid;
        edid.mode_count = 12345;
        Tag_Timing_Error error;
        EXPECT_FALSE(DecodeEdid(c.bytes.data(), c.bytes.size(), false, &edid, &error));
        EXPECT_EQ(error.code, c.code) << error.reason;
        std::string reason = error.reason;
        if (c.code != Timing_Error_Code::kChecksum) {
            EXPECT_EQ(reason, c.reason);
        } else { // the byte it names makes the sum 0
            ASSERT_EQ(reason.rfind(c.reason, 0), 0u) << reason;
            EXPECT_EQ(reason.substr(strlen(c.reason) + 2), " to make the sum 0");
            Bytes mended = c.bytes;
            size_t block = reason[6] == '1' ? 1 : 0;
            mended[block * 128 + 127] = std::stoi(reason.substr(strlen(c.reason), 2), nullptr, 16);
            EXPECT_TRUE(DecodeEdid(mended.data(), mended.size(), false, &edid, &error)) << reason;
            edid.mode_count = 12345;
        }
        EXPECT_EQ(edid.mode_count, 12345) << "left alone";
        EXPECT_EQ(DecodeEdid(c.bytes.data(), c.bytes.size(), true, &edid, nullptr), c.forced)
            << error.reason;
        if (c.forced) {
            EXPECT_EQ(edid.bad_checksum_count, 1);
        }
    }
}

// ---------------------------------------------------------------------------
// Input
// ---------------------------------------------------------------------------

// The bytes as hex words of `group` bytes, `per_line` words a line.
std::string Hex(const Bytes &bytes, size_t group, size_t per_line, const char *line_end) {
    std::string out;
    char digits[3];
    for (size_t i = 0; i < bytes.size(); ++i) {
        snprintf(digits, sizeof digits, "%02x", bytes[i]);
        out += digits;
        if ((i + 1) % (group * per_line) == 0)
            out += line_end;
        else if ((i + 1) % group == 0)
            out += " ";
    }
    return out;
}

bool Read(const std::string &text, Bytes *bytes, Tag_Timing_Error *error,
          size_t capacity = kEdidMaxSize) {
    bytes->assign(kEdidMaxSize, 0);
    size_t count = 99;
    bool ok = ReadEdidInput(reinterpret_cast<const uint8_t *>(text.data()), text.size(),
                            bytes->data(), capacity, &count, error);
    bytes->resize(ok ? count : 0);
    return ok;
}

TEST(EdidInput, BinaryAndHex) {
    Edid_Layout s;
    s.cta = {{Dtd(kDtd640)}};
    const Bytes edid = Build(s);
    const std::string decoded_part = "\n----------------\n\nBlock 0, Base EDID:\n  EDID Structure "
                                     "Version & Revision: 1.3\n  Made in: 1990\n";
    const std::string texts[] = {
        std::string(edid.begin(), edid.end()),
        Hex(edid, 1, 16, "\n"),
        "edid-decode (hex):\n\n" + Hex(edid, 1, 16, "\n") + decoded_part,
        "\r\n  edid-decode (hex):  \r\n" + Hex(edid, 16, 2, "\r\n\t") + " -- \nff ff\n",
        Hex(edid, 128, 1, " \v\f"),
    };
    for (const std::string &text : texts) {
        Bytes bytes;
        Tag_Timing_Error error;
        EXPECT_TRUE(Read(text, &bytes, &error)) << error.reason;
        EXPECT_EQ(bytes, edid) << text.substr(0, 40);
    }
    Bytes bytes;
    EXPECT_TRUE(Read("", &bytes, nullptr));
    EXPECT_TRUE(bytes.empty());
    EXPECT_TRUE(Read(" edid-decode (hex):\n\n", &bytes, nullptr));
    EXPECT_TRUE(bytes.empty());
}

TEST(EdidRefusals, Input) {
    const std::string binary("\x00\xff\x01", 3);
    struct Case {
        std::string text;
        size_t capacity;
        Timing_Error_Code code;
        const char *reason;
    };
    const Case cases[] = {
        {"00 ff fg", 128, Timing_Error_Code::kSyntax,
         "hex text: the word 'fg' (line 1, offset 6) is not hex (text is read as hex when it "
         "holds no byte 0x00)"},
        {"00 ff\n\n 0ff", 128, Timing_Error_Code::kSyntax,
         "hex text: the word '0ff' (line 3, offset 8) has an odd number of hex digits"},
        {"00\n\nBlock 0, Base EDID:", 128, Timing_Error_Code::kSyntax,
         "hex text: the word 'Block' (line 3, offset 4) is not hex (text is read as hex when it "
         "holds no byte 0x00)"},
        {"00\nedid-decode (hex):", 128, Timing_Error_Code::kSyntax,
         "hex text: the word 'edid-decode' (line 2, offset 3) is not hex (text is read as hex "
         "when it holds no byte 0x00)"},
        {"00 0102", 2, Timing_Error_Code::kBuffer,
         "the EDID is longer than the 2 bytes of room: byte offset 5 of the input is beyond them"},
        {binary, 2, Timing_Error_Code::kBuffer,
         "the EDID is longer than the 2 bytes of room: byte offset 2 of the input is beyond them"},
    };
    for (const Case &c : cases) {
        Bytes bytes;
        Tag_Timing_Error error;
        EXPECT_FALSE(Read(c.text, &bytes, &error, c.capacity)) << c.text;
        EXPECT_EQ(error.code, c.code) << c.text;
        EXPECT_STREQ(error.reason, c.reason);
        EXPECT_FALSE(Read(c.text, &bytes, nullptr, c.capacity)) << "without a reason";
    }
}

// ---------------------------------------------------------------------------
// Against edid-decode (on the native build, where it runs)
// ---------------------------------------------------------------------------

#ifndef _WIN32

// A timing as a modeline without its name's rate: the numbers alone.
std::string Numbers(Tag_Video_Timing timing) {
    timing.nominal_refresh = 0;
    char line[kModelineTextSize];
    EXPECT_TRUE(FormatModeline(&timing, line, sizeof line, nullptr));
    return line;
}

std::string RunReference(const std::string &arguments) {
    std::string output;
    FILE *pipe = popen(("edid-decode " + arguments + " 2>/dev/null").c_str(), "r");
    if (pipe == nullptr)
        return output;
    char buffer[4096];
    for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        output.append(buffer, n);
    pclose(pipe);
    return output;
}

// Every progressive mode edid-decode gives an EDID (its long timings as X
// modelines, read by ParseModeline; for EDID 1.4 not the GTF alternatives it
// adds "for an EDID 1.3 source") is one we decode, and the other way round,
// but for the two established timings where its figures are not the
// published ones we use: 720x400 at 70 Hz (VGA's 412/414 vertical sync, as at
// 88 Hz) and Apple's 1152x870 (front porch 32, back porch 144, negative syncs),
// and the modes we compute on a secondary GTF curve, which it computes on the
// default one. Ours are the modes kept and those skipped for a resolution id
// already kept.
TEST(EdidOracle, ModesMatchEdidDecode) {
    struct Case {
        const char *name;
        Edid_Layout layout;
        std::set<std::string> ours_only, theirs_only;
    };
    Case full = {"EDID 1.3, every source", {}, {}, {}};
    full.layout.established[0] = full.layout.established[1] = 0xff;
    full.layout.established[2] = 0x80;
    full.layout.standard = {{0x81, 0x80}, {0x81, 0x0a}, {0xd1, 0x00}, {0xa9, 0xc0}, {0x61, 0x40}};
    full.layout.descriptors = {Dtd(kDtd1280), Dtd(kDtd640), Name("Orvex 17\n"),
                               Descriptor(0xfd, 0, {50, 90, 30, 80, 20, 0x00, 0x0a})};
    full.ours_only = {"Modeline \"720x400_0\" 28.320 720 738 846 900 400 412 414 449 -hsync +vsync",
                      "Modeline \"1152x870_0\" 100.000 1152 1184 1312 1456 870 873 876 915 -hsync "
                      "-vsync"};
    full.theirs_only = {
        "Modeline \"720x400_0\" 28.320 720 738 846 900 400 421 423 449 -hsync +vsync",
        "Modeline \"1152x870_0\" 100.000 1152 1200 1328 1456 870 873 876 915 +hsync +vsync"};
    Case cvt = {"EDID 1.4 with CVT, CTA-861", {}, {}, {}};
    cvt.layout.revision = 4;
    cvt.layout.standard = {{0x81, 0x0a}, {0x71, 0x28}, {0x61, 0x40}, {0xb3, 0x00}};
    cvt.layout.descriptors = {
        Dtd(kDtd1280), Descriptor(0xfd, 0, {48, 85, 31, 95, 17, 0x04, 0x11, 0x0c, 0, 0xf8, 0x08})};
    cvt.layout.cta = {{Dtd({14850, 1920, 280, 88, 44, 1080, 45, 4, 5, 0, 0, 0x1e}),
                       Dtd({7425, 1280, 370, 110, 40, 720, 30, 5, 5, 0, 0, 0x1e})}};

    Case newer = {"EDID 1.4, established timings III, CVT codes, video data", {}, {}, {}};
    newer.layout.revision = 4;
    newer.layout.descriptors = {
        Dtd(kDtd1280), Descriptor(0xfd, 0, {48, 85, 31, 95, 60, 0x04, 0x11, 0x0c, 0, 0xf8, 0x18}),
        Descriptor(0xf7, 0, {0x0a, 0xff, 0xff, 0xff, 0xff, 0xff, 0xf0}),
        Descriptor(0xf8, 0,
                   {1, 0x57, 0x28, 0x3f, 0x7f, 0x14, 0x28, 0x0c, 0x20, 0x4c, 0x1b, 0x2c, 0x10})};
    newer.layout.cta = {{}};
    newer.layout.cta_data = {DataBlock(2, {1, 2, 3, 4, 144, 17, 19, 31, 32, 60, 93, 97, 5})};
    Case secondary = {"EDID 1.3, a secondary GTF curve", {}, {}, {}};
    secondary.layout.standard = {{0xd1, 0x59}, {0x81, 0x0a}};
    secondary.layout.descriptors = {
        Descriptor(0xfd, 0, {50, 160, 30, 130, 33, 0x02, 0, 32, 80, 0x10, 0x0e, 128, 70})};
    Tag_Video_Timing on_curve, on_default;
    const Tag_Gtf_Curve iiyama = {80, 3600, 128, 70};
    ASSERT_TRUE(MakeGtfCurveTiming(1920, 1440, 85, &iiyama, &on_curve, nullptr));
    ASSERT_TRUE(MakeGtfTiming(1920, 1440, 85, &on_default, nullptr));
    secondary.ours_only = {Numbers(on_curve)};
    secondary.theirs_only = {Numbers(on_default)};

    ScratchDir dir;
    for (const Case &c : {full, cvt, newer, secondary}) {
        const Bytes bytes = Build(c.layout);
        const std::string path = dir.File("edid.bin");
        WriteBytes(path, std::string(bytes.begin(), bytes.end()));
        const std::string output = RunReference("-L -X '" + path + "'");
        ASSERT_NE(output.find("Modeline"), std::string::npos)
            << "edid-decode gave no modelines; scripts/setup.sh installs it";
        // Its hex dump, with the decoded text after it, reads back as the bytes.
        Bytes dumped;
        EXPECT_TRUE(Read(output, &dumped, nullptr));
        EXPECT_EQ(dumped, bytes) << c.name;

        std::set<std::string> theirs, ours;
        std::string previous, line;
        for (size_t at = 0; at < output.size(); at += line.size() + 1) {
            line = output.substr(at, output.find('\n', at) - at);
            Tag_Video_Timing t;
            if (line.find("Modeline") != std::string::npos &&
                previous.find("(EDID 1.3 source)") == std::string::npos) {
                if (ParseModeline(line.c_str(), &t, nullptr))
                    theirs.insert(Numbers(t));
                else
                    EXPECT_NE(line.find("Interlace"), std::string::npos) << line;
            }
            previous = line;
        }
        Tag_Edid edid = Decoded(bytes);
        for (int32_t i = 0; i < edid.mode_count; ++i)
            ours.insert(Numbers(edid.modes[i].timing));
        EXPECT_EQ(int(ours.size()), edid.mode_count) << c.name;
        for (int32_t i = 0; i < edid.skip_count; ++i)
            if (edid.skips[i].kind == Edid_Skip::kSameId)
                ours.insert(Numbers(edid.skips[i].mode.timing));
        std::set<std::string> ours_only, theirs_only;
        for (const std::string &m : ours)
            if (theirs.count(m) == 0)
                ours_only.insert(m);
        for (const std::string &m : theirs)
            if (ours.count(m) == 0)
                theirs_only.insert(m);
        EXPECT_EQ(ours_only, c.ours_only) << c.name;
        EXPECT_EQ(theirs_only, c.theirs_only) << c.name;
        printf("%s: %d modes and %d of a resolution id kept, %zu the same in edid-decode\n", c.name,
               edid.mode_count, edid.skipped[static_cast<int32_t>(Edid_Skip::kSameId)],
               ours.size() - ours_only.size());
    }
}

#endif

} // namespace
