// EDID: the input reader (binary or hex text) and the decoder.
#include <math.h>
#include <string.h>

#include "timing/edid.h"
#include "timing/internal.h"
#include "timing/vesa.h"

namespace {

// ---------------------------------------------------------------------------
// Input
// ---------------------------------------------------------------------------

const std::string_view kHexHeading = "edid-decode (hex):";

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// A line of '-' alone, blanks around them allowed.
bool IsRuleLine(std::string_view line) {
    std::string_view trimmed = TrimBlanks(line);
    return !trimmed.empty() && trimmed.find_first_not_of('-') == std::string_view::npos;
}

void AppendWhere(Tag_Text_Sink *reason, int64_t line, size_t offset) {
    AppendText(reason, " (line ");
    AppendInteger(reason, line);
    AppendText(reason, ", offset ");
    AppendInteger(reason, static_cast<int64_t>(offset));
    AppendText(reason, ")");
}

bool RefuseRoom(size_t capacity, size_t offset, Tag_Timing_Error *error) {
    Tag_Text_Sink reason = StartReason(error, Timing_Error_Code::kBuffer);
    AppendText(&reason, "the EDID is longer than the ");
    AppendInteger(&reason, static_cast<int64_t>(capacity));
    AppendText(&reason, " bytes of room: byte offset ");
    AppendInteger(&reason, static_cast<int64_t>(offset));
    AppendText(&reason, " of the input is beyond them");
    return false;
}

// Hex text into bytes; see ReadEdidInput.
bool ReadHex(std::string_view text, uint8_t *bytes, size_t capacity, size_t *count,
             Tag_Timing_Error *error) {
    size_t at = 0;
    int32_t line = 1;
    bool line_start = true;
    bool heading_allowed = true;
    while (at < text.size()) {
        char c = text[at];
        if (c == '\n') {
            line = line < INT32_MAX ? line + 1 : line;
            line_start = true;
            ++at;
            continue;
        }
        if (IsSpace(c)) {
            ++at;
            continue;
        }
        if (line_start) {
            size_t end = text.find('\n', at);
            std::string_view rest = text.substr(at, end == std::string_view::npos ? end : end - at);
            if (IsRuleLine(rest))
                return true; // the end of the hex part
            if (heading_allowed && TrimBlanks(rest) == kHexHeading) {
                at += rest.size();
                heading_allowed = false;
                continue;
            }
        }
        line_start = false;
        heading_allowed = false;
        size_t start = at;
        while (at < text.size() && !IsSpace(text[at]))
            ++at;
        std::string_view word = text.substr(start, at - start);
        for (char digit : word) {
            if (HexDigit(digit) >= 0)
                continue;
            Tag_Text_Sink reason = StartReason(error, Timing_Error_Code::kSyntax);
            AppendText(&reason, "hex text: the word ");
            AppendQuoted(&reason, word);
            AppendWhere(&reason, line, start);
            AppendText(&reason, " is not hex (text is read as hex when it holds no byte 0x00)");
            return false;
        }
        if (word.size() % 2 != 0) {
            Tag_Text_Sink reason = StartReason(error, Timing_Error_Code::kSyntax);
            AppendText(&reason, "hex text: the word ");
            AppendQuoted(&reason, word);
            AppendWhere(&reason, line, start);
            AppendText(&reason, " has an odd number of hex digits");
            return false;
        }
        for (size_t i = 0; i < word.size(); i += 2) {
            if (*count >= capacity)
                return RefuseRoom(capacity, start + i, error);
            bytes[(*count)++] =
                static_cast<uint8_t>(HexDigit(word[i]) * 16 + HexDigit(word[i + 1]));
        }
    }
    return true;
}

// ---------------------------------------------------------------------------
// Checks
// ---------------------------------------------------------------------------

const uint8_t kHeader[8] = {0x00, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0x00};
const size_t kExtensionCountByte = 126;
const size_t kChecksumByte = 127;
const uint8_t kTagCta = 0x02;

// The kind of a block, for the reasons.
const char *BlockKind(const uint8_t *block, int32_t index) {
    if (index == 0)
        return "base";
    switch (block[0]) {
    case kTagCta:
        return "CTA-861";
    case 0x10:
        return "VTB";
    case 0x40:
        return "DI";
    case 0x50:
        return "LS";
    case 0x60:
        return "DPVL";
    case 0x70:
        return "DisplayID";
    case 0xf0:
        return "block map";
    case 0xff:
        return "manufacturer";
    default:
        return "unknown tag";
    }
}

Tag_Text_Sink StartBlockReason(Tag_Timing_Error *error, Timing_Error_Code code, int64_t block) {
    Tag_Text_Sink reason = StartReason(error, code);
    AppendText(&reason, "block ");
    AppendInteger(&reason, block);
    return reason;
}

bool CheckStructure(const uint8_t *bytes, size_t size, Tag_Timing_Error *error) {
    if (size == 0) {
        Tag_Text_Sink reason = StartReason(error, Timing_Error_Code::kEdid);
        AppendText(&reason, "the EDID is empty: it has no bytes (an EDID is one or more blocks of "
                            "128 bytes)");
        return false;
    }
    if (size % kEdidBlockSize != 0) {
        Tag_Text_Sink reason = StartBlockReason(error, Timing_Error_Code::kEdid,
                                                static_cast<int64_t>(size / kEdidBlockSize));
        AppendText(&reason, " is cut short: it has ");
        AppendInteger(&reason, static_cast<int64_t>(size % kEdidBlockSize));
        AppendText(&reason, " of its 128 bytes (the EDID's ");
        AppendInteger(&reason, static_cast<int64_t>(size));
        AppendText(&reason, " bytes are not whole blocks)");
        return false;
    }
    for (size_t i = 0; i < sizeof kHeader; ++i) {
        if (bytes[i] == kHeader[i])
            continue;
        Tag_Text_Sink reason = StartBlockReason(error, Timing_Error_Code::kEdid, 0);
        AppendText(&reason, ": header byte ");
        AppendInteger(&reason, static_cast<int64_t>(i));
        AppendText(&reason, " is ");
        AppendHex(&reason, bytes[i], 2);
        AppendText(&reason, ", should be ");
        AppendHex(&reason, kHeader[i], 2);
        AppendText(&reason, " (an EDID starts 00 ff ff ff ff ff ff 00)");
        return false;
    }
    const int64_t blocks = static_cast<int64_t>(size / kEdidBlockSize);
    const int64_t named = bytes[kExtensionCountByte];
    if (blocks != named + 1) {
        Tag_Text_Sink reason = StartBlockReason(error, Timing_Error_Code::kEdid, 0);
        AppendText(&reason, " names ");
        AppendInteger(&reason, named);
        AppendText(&reason, named == 1 ? " extension block (byte 126), but "
                                       : " extension blocks "
                                         "(byte 126), but ");
        if (blocks < named + 1) {
            AppendText(&reason, "the EDID ends after block ");
            AppendInteger(&reason, blocks - 1);
        } else {
            AppendText(&reason, "the EDID goes on to block ");
            AppendInteger(&reason, blocks - 1);
            AppendText(&reason, " (byte offset ");
            AppendInteger(&reason, (named + 1) * static_cast<int64_t>(kEdidBlockSize));
            AppendText(&reason, " on is beyond them)");
        }
        return false;
    }
    return true;
}

// The index of the first of the blocks whose checksum is wrong, or -1; *bad
// receives the count of all of them.
int32_t FindBadChecksum(const uint8_t *bytes, int32_t blocks, int32_t *bad) {
    int32_t first = -1;
    *bad = 0;
    for (int32_t b = 0; b < blocks; ++b) {
        const uint8_t *block = bytes + static_cast<size_t>(b) * kEdidBlockSize;
        uint32_t sum = 0;
        for (size_t i = 0; i < kEdidBlockSize; ++i)
            sum += block[i];
        if (sum % 256 == 0)
            continue;
        ++*bad;
        if (first < 0)
            first = b;
    }
    return first;
}

// The checksum byte that makes the block's bytes sum to 0 modulo 256.
uint8_t RightChecksum(const uint8_t *block) {
    uint32_t sum = 0;
    for (size_t i = 0; i < kChecksumByte; ++i)
        sum += block[i];
    return static_cast<uint8_t>(0x100 - sum % 0x100);
}

// ---------------------------------------------------------------------------
// Modes
// ---------------------------------------------------------------------------

struct Tag_Decoder {
    Tag_Edid *edid;
    bool reduced_cvt; // EDID 1.4 standard timings outside DMT by CVT reduced blanking
};

void Skip(Tag_Decoder *d, Edid_Skip kind) {
    int32_t index = static_cast<int32_t>(kind);
    if (index >= 0 && index < kEdidSkipKinds)
        ++d->edid->skipped[index];
}

void AddMode(Tag_Decoder *d, const Tag_Video_Timing &timing, Edid_Source source, Edid_Method method,
             int32_t block, int32_t index, int32_t dmt_id) {
    Tag_Edid *edid = d->edid;
    if (!CheckTimingShape(&timing, nullptr))
        return Skip(d, Edid_Skip::kShape);
    for (int32_t i = 0; i < edid->mode_count; ++i) {
        if (SameTimingNumbers(&edid->modes[i].timing, &timing)) {
            ++edid->duplicate_count;
            return;
        }
    }
    if (edid->mode_count >= kEdidModeMax)
        return Skip(d, Edid_Skip::kRoom);
    Tag_Edid_Mode &mode = edid->modes[edid->mode_count++];
    mode.timing = timing;
    mode.source = source;
    mode.method = method;
    mode.block = block;
    mode.index = index;
    mode.dmt_id = dmt_id;
}

// A detailed timing descriptor (its clock is not 0).
void AddDetailed(Tag_Decoder *d, const uint8_t *p, int32_t block, int32_t index) {
    const uint8_t flags = p[17];
    if (flags & 0x80)
        return Skip(d, Edid_Skip::kInterlaced);
    if (flags & 0x60)
        return Skip(d, Edid_Skip::kStereo);
    if ((flags & 0x18) != 0x18)
        return Skip(d, Edid_Skip::kComposite);
    const int64_t h_active = p[2] | (p[4] & 0xf0) << 4;
    const int64_t h_blank = p[3] | (p[4] & 0x0f) << 8;
    const int64_t v_active = p[5] | (p[7] & 0xf0) << 4;
    const int64_t v_blank = p[6] | (p[7] & 0x0f) << 8;
    const int64_t h_offset = p[8] | (p[11] & 0xc0) << 2;
    const int64_t h_sync = p[9] | (p[11] & 0x30) << 4;
    const int64_t v_offset = p[10] >> 4 | (p[11] & 0x0c) << 2;
    const int64_t v_sync = (p[10] & 0x0f) | (p[11] & 0x03) << 4;
    const int64_t h_border = p[15];
    const int64_t v_border = p[16];
    Tag_Video_Timing t = Tag_Video_Timing();
    t.clock_hz = (p[0] | p[1] << 8) * INT64_C(10000);
    t.h_active = h_active;
    t.h_front_porch = h_offset + h_border;
    t.h_sync = h_sync;
    t.h_back_porch = h_blank - h_offset - h_sync - h_border;
    t.v_active = v_active;
    t.v_front_porch = v_offset + v_border;
    t.v_sync = v_sync;
    t.v_back_porch = v_blank - v_offset - v_sync - v_border;
    t.h_sync_positive = (flags & 0x02) != 0;
    t.v_sync_positive = (flags & 0x04) != 0;
    t.nominal_refresh = static_cast<int64_t>(floor(GetTimingRefresh(&t) + 0.5));
    AddMode(d, t, Edid_Source::kDetailed, Edid_Method::kDetailed, block, index, 0);
}

// The DTDs of a CTA-861 extension block: from the offset in byte 2 to the
// checksum, ending at a clock of 0.
void AddCtaDetailed(Tag_Decoder *d, const uint8_t *block, int32_t block_index) {
    const size_t kDtdSize = 18;
    size_t offset = block[2];
    if (offset < 4)
        return; // 0: no DTDs; 1 .. 3 would overlap the header
    int32_t index = 0;
    for (; offset + kDtdSize <= kChecksumByte; offset += kDtdSize) {
        const uint8_t *p = block + offset;
        if (p[0] == 0 && p[1] == 0)
            return;
        AddDetailed(d, p, block_index, ++index);
    }
}

// The published timings of the established timings outside DMT.
const bool P = true;
const bool N = false;
// clock, h active, front porch, sync, back porch, v active, front porch,
// sync, back porch, cursor offsets, nominal refresh, polarities.
const Tag_Video_Timing kIbm720x400At70 = {28320000, 720, 18, 108, 54, 400, 12,
                                          2,        35,  0,  0,   70, N,   P};
const Tag_Video_Timing kIbm720x400At88 = {35500000, 720, 18, 108, 54, 400, 12,
                                          2,        35,  0,  0,   88, N,   P};
const Tag_Video_Timing kApple640x480At67 = {30240000, 640, 64, 64, 96, 480, 3,
                                            3,        39,  0,  0,  67, N,   N};
const Tag_Video_Timing kApple832x624At75 = {57284000, 832, 32, 64, 224, 624, 1,
                                            3,        39,  0,  0,  75,  N,   N};
const Tag_Video_Timing kApple1152x870At75 = {100000000, 1152, 32, 128, 144, 870, 3,
                                             3,         39,   0,  0,   75,  N,   N};

struct Tag_Established {
    int32_t dmt_id;                    // 0: published
    const Tag_Video_Timing *published; // when not DMT
    const char *origin;                // who published it
};

// By bit: byte 35 bits 7 .. 0, byte 36 bits 7 .. 0, byte 37 bit 7. DMT 0x0f
// is 1024x768 at 87 Hz interlaced.
const int32_t kEstablishedCount = 17;
const Tag_Established established[kEstablishedCount] = {
    {0, &kIbm720x400At70, "IBM"},     {0, &kIbm720x400At88, "IBM"},      {0x04, nullptr, nullptr},
    {0, &kApple640x480At67, "Apple"}, {0x05, nullptr, nullptr},          {0x06, nullptr, nullptr},
    {0x08, nullptr, nullptr},         {0x09, nullptr, nullptr},          {0x0a, nullptr, nullptr},
    {0x0b, nullptr, nullptr},         {0, &kApple832x624At75, "Apple"},  {0x0f, nullptr, nullptr},
    {0x10, nullptr, nullptr},         {0x11, nullptr, nullptr},          {0x12, nullptr, nullptr},
    {0x24, nullptr, nullptr},         {0, &kApple1152x870At75, "Apple"},
};
const int32_t kManufacturerBit = 16;

void AddEstablished(Tag_Decoder *d, const uint8_t *base) {
    for (int32_t bit = 0; bit < kEstablishedCount; ++bit) {
        if ((base[35 + bit / 8] & (0x80 >> bit % 8)) == 0)
            continue;
        const Tag_Established &e = established[bit];
        if (e.published != nullptr) {
            AddMode(d, *e.published, Edid_Source::kEstablished, Edid_Method::kPublished, 0, bit, 0);
            continue;
        }
        const Tag_Dmt_Mode *mode = FindDmtModeById(e.dmt_id, nullptr);
        if (mode == nullptr) {
            Skip(d, Edid_Skip::kInterlaced); // the list leaves out only the interlaced mode
            continue;
        }
        Tag_Video_Timing t;
        GetDmtModeTiming(mode, &t);
        AddMode(d, t, Edid_Source::kEstablished, Edid_Method::kDmt, 0, bit, mode->id);
    }
}

// One standard timing code.
void AddStandard(Tag_Decoder *d, uint8_t first, uint8_t second, int32_t block, int32_t index) {
    if (first == 0x00 || (first == 0x01 && second == 0x01))
        return; // unused
    const Tag_Edid &edid = *d->edid;
    const int64_t width = (first + 31) * 8;
    static const int64_t aspects[4][2] = {{16, 10}, {4, 3}, {5, 4}, {16, 9}};
    const int32_t aspect = second >> 6;
    const int64_t height =
        aspect == 0 && edid.revision < 3 ? width : width * aspects[aspect][1] / aspects[aspect][0];
    const int64_t refresh = (second & 0x3f) + 60;
    Tag_Video_Timing t;
    const Tag_Dmt_Mode *mode = FindDmtMode(width, height, refresh, nullptr);
    if (mode != nullptr) {
        GetDmtModeTiming(mode, &t);
        return AddMode(d, t, Edid_Source::kStandard, Edid_Method::kDmt, block, index, mode->id);
    }
    Edid_Method method;
    bool made;
    if (edid.revision >= 4) {
        method = d->reduced_cvt ? Edid_Method::kCvtReduced : Edid_Method::kCvt;
        made = MakeCvtTiming(width, height, refresh,
                             d->reduced_cvt ? Cvt_Blanking::kReducedV1 : Cvt_Blanking::kCrt, &t,
                             nullptr);
    } else if (edid.range.present && edid.range.support == Edid_Range_Support::kSecondaryGtf) {
        return Skip(d, Edid_Skip::kFormula);
    } else {
        method = Edid_Method::kGtf;
        made = MakeGtfTiming(width, height, refresh, &t, nullptr);
    }
    if (!made)
        return Skip(d, Edid_Skip::kFormula);
    AddMode(d, t, Edid_Source::kStandard, method, block, index, 0);
}

// ---------------------------------------------------------------------------
// Descriptors
// ---------------------------------------------------------------------------

const size_t kDescriptorStart = 54;
const size_t kDescriptorSize = 18;
const int32_t kDescriptorCount = 4;
const uint8_t kTagName = 0xfc;
const uint8_t kTagRange = 0xfd;
const uint8_t kTagStandard = 0xfa;

bool IsDisplayDescriptor(const uint8_t *p) {
    return p[0] == 0 && p[1] == 0;
}

void ReadName(const uint8_t *p, Tag_Edid *edid) {
    size_t length = 0;
    for (size_t i = 5; i < kDescriptorSize && p[i] != 0x0a && p[i] != 0x00; ++i) {
        const uint8_t c = p[i];
        edid->name[length++] = c >= 0x20 && c <= 0x7e ? static_cast<char>(c) : '?';
    }
    while (length > 0 && edid->name[length - 1] == ' ')
        --length;
    edid->name[length] = '\0';
    edid->name_from_descriptor = length > 0;
}

void ReadRange(const uint8_t *p, Tag_Edid *edid) {
    Tag_Edid_Range &r = edid->range;
    r.present = true;
    const uint8_t offsets = edid->revision >= 4 ? p[4] : 0;
    const int32_t v_max_extra = (offsets & 0x02) ? 255 : 0;
    const int32_t v_min_extra = (offsets & 0x03) == 0x03 ? 255 : 0;
    const int32_t h_max_extra = (offsets & 0x08) ? 255 : 0;
    const int32_t h_min_extra = (offsets & 0x0c) == 0x0c ? 255 : 0;
    r.v_min_hz = p[5] + v_min_extra;
    r.v_max_hz = p[6] + v_max_extra;
    r.h_min_khz = p[7] + h_min_extra;
    r.h_max_khz = p[8] + h_max_extra;
    r.support = static_cast<Edid_Range_Support>(p[10]);
    r.max_clock_khz = p[9] * 10000;
    if (r.support == Edid_Range_Support::kCvt) {
        r.max_clock_khz -= (p[12] >> 2) * 250;
        r.cvt_standard = (p[15] & 0x08) != 0;
        r.cvt_reduced = (p[15] & 0x10) != 0;
    }
}

void SetFallbackName(Tag_Edid *edid) {
    Tag_Text_Sink sink;
    StartText(&sink, edid->name, sizeof edid->name);
    AppendText(&sink, edid->manufacturer);
    AppendText(&sink, " ");
    static const char kDigits[] = "0123456789ABCDEF";
    char code[4];
    for (int i = 0; i < 4; ++i)
        code[i] = kDigits[(edid->product_code >> (12 - 4 * i)) & 15];
    AppendText(&sink, std::string_view(code, sizeof code));
    edid->name_from_descriptor = false;
}

void Decode(const uint8_t *bytes, int32_t blocks, Tag_Edid *edid) {
    const uint8_t *base = bytes;
    edid->version = base[18];
    edid->revision = base[19];
    edid->block_count = blocks;
    const uint32_t letters = base[8] << 8 | base[9];
    for (int i = 0; i < 3; ++i) {
        const uint32_t code = letters >> (10 - 5 * i) & 0x1f;
        edid->manufacturer[i] = code >= 1 && code <= 26 ? static_cast<char>('A' + code - 1) : '?';
    }
    edid->manufacturer[3] = '\0';
    edid->product_code = base[10] | base[11] << 8;

    // The descriptors that tell how to read the rest: the name and the range
    // limits, the first of each.
    bool seen_name = false;
    for (int32_t i = 0; i < kDescriptorCount; ++i) {
        const uint8_t *p = base + kDescriptorStart + i * kDescriptorSize;
        if (!IsDisplayDescriptor(p))
            continue;
        if (p[3] == kTagName && !seen_name) {
            ReadName(p, edid);
            seen_name = true;
        } else if (p[3] == kTagRange && !edid->range.present) {
            ReadRange(p, edid);
        }
    }
    if (!edid->name_from_descriptor)
        SetFallbackName(edid);

    Tag_Decoder d;
    d.edid = edid;
    d.reduced_cvt = edid->range.present && edid->range.support == Edid_Range_Support::kCvt &&
                    edid->range.cvt_reduced && !edid->range.cvt_standard;

    int32_t dtd = 0;
    for (int32_t i = 0; i < kDescriptorCount; ++i) {
        const uint8_t *p = base + kDescriptorStart + i * kDescriptorSize;
        if (!IsDisplayDescriptor(p))
            AddDetailed(&d, p, 0, ++dtd);
    }
    for (int32_t b = 1; b < blocks; ++b) {
        const uint8_t *block = bytes + static_cast<size_t>(b) * kEdidBlockSize;
        if (block[0] == kTagCta)
            AddCtaDetailed(&d, block, b);
    }
    AddEstablished(&d, base);
    int32_t index = 0;
    for (int32_t i = 0; i < 8; ++i)
        AddStandard(&d, base[38 + 2 * i], base[39 + 2 * i], 0, ++index);
    for (int32_t i = 0; i < kDescriptorCount; ++i) {
        const uint8_t *p = base + kDescriptorStart + i * kDescriptorSize;
        if (!IsDisplayDescriptor(p) || p[3] != kTagStandard)
            continue;
        for (int32_t k = 0; k < 6; ++k)
            AddStandard(&d, p[5 + 2 * k], p[6 + 2 * k], 0, ++index);
    }
}

} // namespace

bool ReadEdidInput(const uint8_t *input, size_t input_size, uint8_t *bytes, size_t capacity,
                   size_t *count, Tag_Timing_Error *error) {
    *count = 0;
    if (input_size > 0 && memchr(input, 0, input_size) != nullptr) {
        if (input_size > capacity)
            return RefuseRoom(capacity, capacity, error);
        memcpy(bytes, input, input_size);
        *count = input_size;
        return true;
    }
    std::string_view text(reinterpret_cast<const char *>(input), input_size);
    if (ReadHex(text, bytes, capacity, count, error))
        return true;
    *count = 0;
    return false;
}

bool DecodeEdid(const uint8_t *bytes, size_t size, bool force, Tag_Edid *edid,
                Tag_Timing_Error *error) {
    if (!CheckStructure(bytes, size, error))
        return false;
    const int32_t blocks = static_cast<int32_t>(size / kEdidBlockSize); // at most 256
    int32_t bad = 0;
    const int32_t first_bad = FindBadChecksum(bytes, blocks, &bad);
    if (first_bad >= 0 && !force) {
        const uint8_t *block = bytes + static_cast<size_t>(first_bad) * kEdidBlockSize;
        Tag_Text_Sink reason = StartBlockReason(error, Timing_Error_Code::kChecksum, first_bad);
        AppendText(&reason, " (");
        AppendText(&reason, BlockKind(block, first_bad));
        AppendText(&reason, ") checksum is ");
        AppendHex(&reason, block[kChecksumByte], 2);
        AppendText(&reason, ", should be ");
        AppendHex(&reason, RightChecksum(block), 2);
        AppendText(&reason, " to make the sum 0");
        return false;
    }
    if (bytes[18] != 1) {
        Tag_Text_Sink reason = StartBlockReason(error, Timing_Error_Code::kEdid, 0);
        AppendText(&reason, ": EDID version ");
        AppendInteger(&reason, bytes[18]);
        AppendText(&reason, ".");
        AppendInteger(&reason, bytes[19]);
        AppendText(&reason, " (bytes 18 and 19) is not 1.x");
        return false;
    }
    memset(edid, 0, sizeof *edid);
    edid->bad_checksum_count = bad;
    Decode(bytes, blocks, edid);
    return true;
}

bool DescribeEdidMode(const Tag_Edid_Mode *mode, char *buffer, size_t size) {
    Tag_Text_Sink sink;
    StartText(&sink, buffer, size);
    const Tag_Video_Timing &t = mode->timing;
    auto size_and_rate = [&]() {
        AppendInteger(&sink, t.h_active);
        AppendText(&sink, "x");
        AppendInteger(&sink, t.v_active);
        AppendText(&sink, "@");
        AppendInteger(&sink, t.nominal_refresh);
    };
    auto how = [&]() {
        AppendText(&sink, " (");
        switch (mode->method) {
        case Edid_Method::kDmt:
            AppendText(&sink, "DMT ");
            AppendHex(&sink, static_cast<uint64_t>(mode->dmt_id), 2);
            break;
        case Edid_Method::kPublished:
            AppendText(&sink, mode->index >= 0 && mode->index < kEstablishedCount &&
                                      established[mode->index].origin != nullptr
                                  ? established[mode->index].origin
                                  : "published");
            break;
        case Edid_Method::kGtf:
            AppendText(&sink, "GTF");
            break;
        case Edid_Method::kCvt:
            AppendText(&sink, "CVT");
            break;
        case Edid_Method::kCvtReduced:
            AppendText(&sink, "CVT reduced blanking");
            break;
        default:
            AppendText(&sink, "?");
            break;
        }
        AppendText(&sink, ")");
    };
    switch (mode->source) {
    case Edid_Source::kDetailed:
        AppendText(&sink, "DTD ");
        AppendInteger(&sink, mode->index);
        AppendText(&sink, " of block ");
        AppendInteger(&sink, mode->block);
        AppendText(&sink, mode->block > 0 ? " (CTA-861)" : "");
        break;
    case Edid_Source::kEstablished:
        AppendText(&sink, mode->index == kManufacturerBit ? "manufacturer's timing "
                                                          : "established timing ");
        size_and_rate();
        how();
        break;
    default:
        AppendText(&sink, "standard timing ");
        AppendInteger(&sink, mode->index);
        AppendText(&sink, " of block ");
        AppendInteger(&sink, mode->block);
        AppendText(&sink, ": ");
        size_and_rate();
        how();
        break;
    }
    if (sink.overflow) {
        if (size > 0)
            buffer[0] = '\0';
        return false;
    }
    return true;
}

const char *DescribeEdidSkip(Edid_Skip kind) {
    switch (kind) {
    case Edid_Skip::kInterlaced:
        return "interlaced";
    case Edid_Skip::kStereo:
        return "stereo";
    case Edid_Skip::kComposite:
        return "composite sync";
    case Edid_Skip::kShape:
        return "not a mode";
    case Edid_Skip::kFormula:
        return "no formula";
    case Edid_Skip::kRoom:
        return "no room";
    default:
        return "";
    }
}
