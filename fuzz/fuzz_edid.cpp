// The EDID reader and decoder on arbitrary bytes. The input is read as it
// comes (binary or hex text) and decoded; its bytes written as hex text read
// back as the same bytes; and the bytes are decoded as an EDID directly, with
// and without force, and again with every block's checksum made right. A
// refusal has a code and a reason of one line; every mode decoded is in
// shape, has a description and is drawn; force changes nothing but the count
// of bad checksums, and neither does making the checksums right.
#include <string.h>

#include <string>

#include "fuzz_common.h"
#include "tests/support/timing_fields.h"
#include "timing/edid.h"
#include "timing/svg.h"

static void CheckReason(const Tag_Timing_Error &error, const char *what) {
    CheckReasonText(error.reason, sizeof error.reason, what);
}

// Everything of a decoded EDID but the count of bad checksums, as text.
static std::string Summary(const Tag_Edid &edid) {
    std::string out = std::string(edid.name) + "|" + edid.manufacturer + "|" +
                      std::to_string(edid.mode_count) + "|" + std::to_string(edid.duplicate_count) +
                      "|" + std::to_string(edid.range.max_clock_khz);
    for (int32_t kind = 0; kind < kEdidSkipKinds; ++kind)
        out += " " + std::to_string(edid.skipped[kind]);
    for (int32_t i = 0; i < edid.mode_count && i < kEdidModeMax; ++i)
        out += "\n" + TimingFields(edid.modes[i].timing) + " " +
               std::to_string(static_cast<int32_t>(edid.modes[i].source)) +
               std::to_string(static_cast<int32_t>(edid.modes[i].method));
    return out;
}

static void CheckDecoded(const Tag_Edid &edid) {
    if (edid.mode_count < 0 || edid.mode_count > kEdidModeMax || edid.duplicate_count < 0)
        Broken("mode counts out of range", std::to_string(edid.mode_count));
    for (int32_t kind = 0; kind < kEdidSkipKinds; ++kind)
        if (edid.skipped[kind] < 0 || DescribeEdidSkip(static_cast<Edid_Skip>(kind))[0] == '\0')
            Broken("a skip count out of range", std::to_string(kind));
    if (edid.skipped[static_cast<int32_t>(Edid_Skip::kRoom)] > 0 && edid.mode_count != kEdidModeMax)
        Broken("modes skipped for room with room left");
    const size_t name_length = strnlen(edid.name, sizeof edid.name);
    if (name_length == 0 || name_length == sizeof edid.name)
        Broken("the name is empty or not terminated");
    for (size_t i = 0; i < name_length; ++i)
        if (edid.name[i] < 0x20 || edid.name[i] > 0x7e)
            Broken("the name is not printable", edid.name);
    static char svg[kTimingSvgSize];
    for (int32_t i = 0; i < edid.mode_count; ++i) {
        const Tag_Edid_Mode &mode = edid.modes[i];
        Tag_Timing_Error error;
        if (!CheckTimingShape(&mode.timing, &error))
            Broken("a decoded mode out of shape", error.reason);
        char where[kEdidDescriptionSize];
        if (!DescribeEdidMode(&mode, where, sizeof where))
            Broken("a mode's description does not fit", TimingFields(mode.timing));
        if (i == 0 && !RenderTimingSvg(&mode.timing, edid.name, svg, sizeof svg, &error))
            Broken("a decoded mode is not drawn", error.reason);
    }
}

// Decode the bytes with and without force, and with the checksums made right.
static void Decode(const uint8_t *bytes, size_t size) {
    static Tag_Edid plain, forced, mended;
    static uint8_t copy[kEdidMaxSize];
    Tag_Timing_Error error;
    const bool plain_ok = DecodeEdid(bytes, size, false, &plain, &error);
    if (!plain_ok) {
        if (error.code != Timing_Error_Code::kEdid && error.code != Timing_Error_Code::kChecksum)
            Broken("a decoding refusal with another code",
                   std::to_string(static_cast<int32_t>(error.code)));
        CheckReason(error, "a decoding refusal");
    }
    const Timing_Error_Code plain_code = plain_ok ? Timing_Error_Code::kNone : error.code;
    const bool forced_ok = DecodeEdid(bytes, size, true, &forced, &error);
    if (plain_ok && !forced_ok)
        Broken("force refuses what is taken without it", error.reason);
    if (forced_ok && !plain_ok && plain_code != Timing_Error_Code::kChecksum)
        Broken("force takes what is refused for more than a checksum");
    if (!forced_ok)
        return;
    CheckDecoded(forced);
    if (plain_ok && (Summary(plain) != Summary(forced) || plain.bad_checksum_count != 0))
        Broken("force changes a good EDID's decoding");
    memcpy(copy, bytes, size); // at most kEdidMaxSize: more blocks than that are refused
    for (size_t block = 0; block < size; block += kEdidBlockSize) {
        uint8_t sum = 0;
        for (size_t i = 0; i < kEdidBlockSize - 1; ++i)
            sum = static_cast<uint8_t>(sum + copy[block + i]);
        copy[block + kEdidBlockSize - 1] = static_cast<uint8_t>(0 - sum);
    }
    if (!DecodeEdid(copy, size, false, &mended, &error))
        Broken("an EDID with its checksums made right is refused", error.reason);
    if (Summary(mended) != Summary(forced))
        Broken("mending the checksums changes the decoding",
               Summary(forced) + "\n--\n" + Summary(mended));
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static uint8_t bytes[kEdidMaxSize];
    size_t count = 0;
    Tag_Timing_Error error;
    if (ReadEdidInput(data, size, bytes, sizeof bytes, &count, &error)) {
        if (count > sizeof bytes)
            Broken("more bytes read than there is room for");
        Decode(bytes, count);
    } else {
        if (error.code != Timing_Error_Code::kSyntax && error.code != Timing_Error_Code::kBuffer)
            Broken("an input refusal with another code",
                   std::to_string(static_cast<int32_t>(error.code)));
        CheckReason(error, "an input refusal");
    }

    // The input's bytes as hex text, 16 a line: the same bytes back.
    if (size <= kEdidMaxSize) {
        static const char kDigits[] = "0123456789abcdef";
        std::string hex;
        for (size_t i = 0; i < size; ++i) {
            hex += kDigits[data[i] >> 4];
            hex += kDigits[data[i] & 15];
            hex += i % 16 == 15 ? '\n' : ' ';
        }
        if (!ReadEdidInput(reinterpret_cast<const uint8_t *>(hex.data()), hex.size(), bytes,
                           sizeof bytes, &count, &error))
            Broken("the bytes as hex do not read back", error.reason);
        if (count != size || (size > 0 && memcmp(bytes, data, size) != 0))
            Broken("the bytes as hex read back as other bytes");
        Decode(data, size);
    }
    return 0;
}
