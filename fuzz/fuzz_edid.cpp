// The EDID reader, decoder and encoder on arbitrary bytes. The input is read
// as it comes (binary or hex text) and decoded; its bytes written as hex text
// read back as the same bytes; and the bytes are decoded as an EDID directly,
// with and without force, and again with every block's checksum made right. A
// refusal has a code and a reason of one line; every mode decoded is in
// shape, has a description and is drawn, and all of them charted against the
// range; the skipped ones are listed within bounds; force changes nothing but
// the count of bad checksums, and neither does making the checksums right.
// The decoded modes are encoded again: the block made decodes back into every
// mode placed, equal in every number, or the encoder refuses with a reason.
#include <string.h>

#include <string>

#include "fuzz_common.h"
#include "tests/support/timing_fields.h"
#include "timing/edid.h"
#include "timing/svg.h"
#include "timing/vesa.h"

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
    out += " notes " + std::to_string(edid.notes) + " skips " + std::to_string(edid.skip_count) +
           " trailing " + std::to_string(edid.trailing_blocks);
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
    if (edid.skip_count < 0 || edid.skip_count > kEdidSkipListMax || edid.trailing_blocks < 0 ||
        (edid.notes >> kEdidNoteKinds) != 0)
        Broken("skips, trailing blocks or notes out of range");
    for (int32_t i = 0; i < edid.skip_count; ++i) {
        const Tag_Edid_Skip &skip = edid.skips[i];
        const int32_t kind = static_cast<int32_t>(skip.kind);
        if (kind < 0 || kind >= kEdidSkipKinds || skip.kept >= edid.mode_count ||
            (skip.kind == Edid_Skip::kSameId) != (skip.kept >= 0))
            Broken("a skipped mode out of range", std::to_string(kind));
    }
    int32_t folded = 0;
    for (int32_t source = 0; source < kEdidSourceKinds; ++source)
        folded += edid.folded[source];
    if (folded > edid.duplicate_count)
        Broken("more folded than duplicates");
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

// The decoded modes charted against the range, and encoded again: what is
// placed comes back.
static void ChartAndEncode(const Tag_Edid &edid) {
    if (edid.mode_count == 0)
        return;
    static Tag_Chart_Mode chart[kEdidModeMax];
    static Tag_Video_Timing modes[kEdidModeMax];
    for (int32_t i = 0; i < edid.mode_count; ++i) {
        modes[i] = edid.modes[i].timing;
        chart[i] = Tag_Chart_Mode{&modes[i], edid.name};
    }
    static char svg[8192 + kEdidModeMax * (6 * kTimingSvgTitleMax + 256)];
    Tag_Timing_Error error;
    if (GetRangeChartSvgSize(edid.mode_count) > sizeof svg ||
        !RenderRangeChartSvg(edid.name, chart, edid.mode_count, &edid.range, svg, sizeof svg,
                             &error))
        Broken("decoded modes are not charted", error.reason);

    const char *vendor = strchr(edid.manufacturer, '?') != nullptr ? nullptr : edid.manufacturer;
    const Tag_Edid_Request request = {
        edid.name, vendor,         edid.product_code, edid.range.present ? &edid.range : nullptr,
        modes,     edid.mode_count};
    static Tag_Edid_Placement placed[kEdidModeMax];
    uint8_t block[kEdidBlockSize];
    if (!EncodeEdid(&request, block, placed, nullptr, &error)) {
        if (error.code != Timing_Error_Code::kRequest)
            Broken("an encoding refusal with another code",
                   std::to_string(static_cast<int32_t>(error.code)));
        CheckReason(error, "an encoding refusal");
        return;
    }
    static Tag_Edid back;
    if (!DecodeEdid(block, sizeof block, false, &back, &error))
        Broken("an encoded EDID does not decode", error.reason);
    int32_t written = 0;
    for (int32_t i = 0; i < edid.mode_count; ++i) {
        if (placed[i].where > Edid_Placed::kStandard)
            continue;
        ++written;
        bool found = false;
        for (int32_t k = 0; k < back.mode_count && !found; ++k)
            found = TimingFields(back.modes[k].timing) == TimingFields(modes[i]);
        if (!found)
            Broken("a mode encoded does not decode back", TimingFields(modes[i]));
    }
    if (back.mode_count != written)
        Broken("the encoded EDID decodes into other modes", std::to_string(back.mode_count));
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
    ChartAndEncode(forced);
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
