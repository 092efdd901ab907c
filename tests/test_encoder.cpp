// The CRT timing encoder: fields taken by position, the conversions and their
// 32-bit limits, polarity words, the refresh verdict, and the stored value.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "install/crt_timing.h"
#include "support/testutil.h"

namespace {

struct Encoded {
    int result;
    uint32_t slot[TIMING_SLOTS];
};

Encoded Encode(const std::string &block, uint32_t wanted) {
    Encoded e;
    memset(e.slot, 0xA5, sizeof e.slot);
    e.result = EncodeTimingBlock(block.c_str(), wanted, e.slot);
    return e;
}

// A block of the fourteen fields, with one field's text replaced.
std::string Block(int replaced_slot = -1, const std::string &text = "") {
    static const char *const values[TIMING_SLOTS] = {
        "25.175mHz", "96", "48", "640", "16", "0", "positive",
        "60Hz",      "2",  "33", "480", "10", "0", "negative"};
    static const char *const keys[TIMING_SLOTS] = {"hdr", "hsp", "hbp", "had", "hfp", "hco", "hp ",
                                                   "vlr", "vsp", "vbp", "vad", "vfp", "vco", "vp "};
    std::string block;
    for (int i = 0; i < TIMING_SLOTS; ++i)
        block += std::string(keys[i]) + "=" + (i == replaced_slot ? text : values[i]) + "\n";
    return block;
}

TEST(Encoder, WorkedExample) {
    const uint32_t expected[TIMING_SLOTS] = {37, 96, 48, 640, 16, 0, 1, 60, 2, 33, 480, 10, 0, 0};
    for (uint32_t wanted : {60u, 0u}) {
        Encoded e = Encode(Block(), wanted);
        EXPECT_EQ(e.result, 1) << wanted;
        for (int i = 0; i < TIMING_SLOTS; ++i)
            EXPECT_EQ(e.slot[i], expected[i]) << timing_field_keys[i];
    }
    Encoded other = Encode(Block(), 72);
    EXPECT_EQ(other.result, 0);
    EXPECT_EQ(other.slot[7], 60u) << "a mismatch still encodes";
}

TEST(Encoder, PolarityWords) {
    for (const char *yes : {"Positive", "POSITIVE", "positive", "positively"})
        EXPECT_EQ(Encode(Block(6, yes), 0).slot[6], 1u) << yes;
    for (const char *no : {"negative", "pos", " positive", "", "positiv"})
        EXPECT_EQ(Encode(Block(6, no), 0).slot[6], 0u) << "'" << no << "'";
    // The last field at the very end of the block: fewer than 8 characters left.
    std::string block = Block();
    block.resize(block.size() - strlen("negative\n"));
    EXPECT_EQ(Encode(block + "positiv", 0).slot[13], 0u);
    EXPECT_EQ(Encode(block + "positive", 0).slot[13], 1u);
}

TEST(Encoder, DotRateIsReadInBase16) {
    EXPECT_EQ(Encode(Block(0, "0x1F"), 0).slot[0], 31u);
    EXPECT_EQ(Encode(Block(0, "  1fmHz"), 0).slot[0], 31u);
    EXPECT_EQ(Encode(Block(0, "mHz"), 0).slot[0], 0u);
    EXPECT_EQ(Encode(Block(0, "FFFFFFFF"), 0).slot[0], 0xFFFFFFFFu);
    EXPECT_EQ(Encode(Block(0, "100000000"), 0).slot[0], 0xFFFFFFFFu) << "limited, not cut";
    EXPECT_EQ(Encode(Block(0, "123456789ABCDEF0123"), 0).slot[0], 0xFFFFFFFFu);
    EXPECT_EQ(Encode(Block(0, "-1"), 0).slot[0], 0xFFFFFFFFu) << "negated modulo 2^32";
    EXPECT_EQ(Encode(Block(0, "-10"), 0).slot[0], 0xFFFFFFF0u);
    EXPECT_EQ(Encode(Block(0, "-100000000"), 0).slot[0], 0xFFFFFFFFu);
}

TEST(Encoder, DecimalFieldsAreSigned32Bit) {
    EXPECT_EQ(Encode(Block(1, "-5"), 0).slot[1], static_cast<uint32_t>(-5));
    EXPECT_EQ(Encode(Block(1, "2147483647"), 0).slot[1], 0x7FFFFFFFu);
    EXPECT_EQ(Encode(Block(1, "2147483648"), 0).slot[1], 0x7FFFFFFFu);
    EXPECT_EQ(Encode(Block(1, "99999999999999999999"), 0).slot[1], 0x7FFFFFFFu);
    EXPECT_EQ(Encode(Block(1, "-2147483648"), 0).slot[1], 0x80000000u);
    EXPECT_EQ(Encode(Block(1, "-2147483649"), 0).slot[1], 0x80000000u);
    EXPECT_EQ(Encode(Block(1, "\t+12.5 dots"), 0).slot[1], 12u);
    EXPECT_EQ(Encode(Block(1, "x12"), 0).slot[1], 0u);
}

TEST(Encoder, RefreshVerdict) {
    EXPECT_EQ(Encode(Block(7, "72Hz"), 72).result, 1);
    EXPECT_EQ(Encode(Block(7, "72Hz"), 60).result, 0);
    EXPECT_EQ(Encode(Block(7, "72Hz"), 0).result, 1);
    EXPECT_EQ(Encode(Block(7, "-1"), 0xFFFFFFFFu).result, 1) << "compared as 32-bit patterns";
}

TEST(Encoder, OnlyTheEqualsSignsCount) {
    // Numbers separated by any text still encode.
    std::string loose = "=1 and =2 =3=4=5=6=positive=7=8=9=10=11=12=POSITIVE";
    Encoded e = Encode(loose, 7);
    EXPECT_EQ(e.result, 1);
    const uint32_t expected[TIMING_SLOTS] = {1, 2, 3, 4, 5, 6, 1, 7, 8, 9, 10, 11, 12, 1};
    for (int i = 0; i < TIMING_SLOTS; ++i)
        EXPECT_EQ(e.slot[i], expected[i]) << timing_field_keys[i];

    // A comment line holding an "=" moves every later field one slot on.
    Encoded shifted = Encode("; note: x=9\n" + Block(), 0);
    EXPECT_EQ(shifted.result, 1);
    EXPECT_EQ(shifted.slot[0], 9u);
    EXPECT_EQ(shifted.slot[1], 25u) << "the dot rate text read as decimal stops at '.'";
    EXPECT_EQ(shifted.slot[7], 0u) << "slot 7 now holds the polarity text";
}

TEST(Encoder, BlocksWithFewerThanFourteenFieldsAreRefused) {
    std::string block = Block();
    block.erase(block.rfind("vp =")); // 13 fields
    EXPECT_EQ(Encode(block, 0).result, -1);
    EXPECT_EQ(Encode("", 0).result, -1);
    EXPECT_EQ(Encode("=1=2=3", 60).result, -1);
}

// ---------------------------------------------------------------------------
// WrTimingBlock stores through the registry
// ---------------------------------------------------------------------------

class StoredTiming : public ::testing::Test {
  protected:
    void SetUp() override {
#ifdef _WIN32
        ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\OrvexTests\\Encoder", 0, nullptr, 0,
                                  KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        RegDeleteValueA(key, "CrtTiming");
#else
        hive = dir.File("registry.reg");
        WriteBytes(hive, "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\OrvexTests]\r\n\r\n");
        setenv("ORVEX_REGISTRY", hive.c_str(), 1);
        ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\OrvexTests", 0,
                                KEY_QUERY_VALUE | KEY_SET_VALUE, &key),
                  ERROR_SUCCESS);
#endif
    }
    void TearDown() override {
        if (key != nullptr)
            RegCloseKey(key);
#ifndef _WIN32
        unsetenv("ORVEX_REGISTRY");
#endif
    }
    // The stored value's type and bytes; size 0 when there is none.
    std::string Stored(DWORD *type) {
        BYTE data[128];
        memset(data, 0xEE, sizeof data);
        DWORD size = sizeof data;
        if (RegQueryValueExA(key, "CrtTiming", nullptr, type, data, &size) != ERROR_SUCCESS)
            return "";
        return std::string(reinterpret_cast<char *>(data), size);
    }
    ScratchDir dir;
    std::string hive;
    HKEY key = nullptr;
};

TEST_F(StoredTiming, FiftySixLittleEndianBytes) {
    vref = 72;
    EXPECT_EQ(WrTimingBlock(key, "640x480", Block(1, "-2").c_str()), 0);
    DWORD type = 0;
    std::string bytes = Stored(&type);
    EXPECT_EQ(type, static_cast<DWORD>(REG_BINARY));
    ASSERT_EQ(bytes.size(), 56u);
    const unsigned char head[12] = {0x25, 0, 0, 0, 0xFE, 0xFF, 0xFF, 0xFF, 48, 0, 0, 0};
    EXPECT_EQ(memcmp(bytes.data(), head, sizeof head), 0);
    const unsigned char vlr[4] = {60, 0, 0, 0};
    EXPECT_EQ(memcmp(bytes.data() + 28, vlr, 4), 0);
    const unsigned char had[4] = {0x80, 0x02, 0, 0};
    EXPECT_EQ(memcmp(bytes.data() + 12, had, 4), 0);
    vref = 0;
}

TEST_F(StoredTiming, ShortBlockStoresNothing) {
    vref = 0;
    EXPECT_EQ(WrTimingBlock(key, "640x480", "hdr=25\nhsp=96\n"), 0);
    DWORD type = 0;
    EXPECT_EQ(Stored(&type), "");
}

// A number text starting with a control character below TAB holds no number:
// the slot is 0, and a minus sign after it counts for nothing.
TEST(Encoder, EncoderNumbersStartingWithAControlCharacterAreZero) {
    std::string block = std::string("hdr=") + '\x01' + "-25\n";
    for (const char *field : {"hsp", "hbp", "had", "hfp", "hco", "hp ", "vlr", "vsp", "vbp", "vad",
                              "vfp", "vco", "vp "})
        block += std::string(field) + "=" + (field[2] == ' ' ? "positive" : "7") + "\n";
    uint32_t slots[TIMING_SLOTS];
    ASSERT_EQ(EncodeTimingBlock(block.c_str(), 7, slots), 1);
    EXPECT_EQ(slots[0], 0u);
    EXPECT_EQ(slots[1], 7u);
    EXPECT_EQ(slots[6], 1u);
    EXPECT_EQ(slots[13], 1u);
}

} // namespace
