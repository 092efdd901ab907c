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
            if (AsciiHexDigitValue(digit) >= 0)
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
            bytes[(*count)++] = static_cast<uint8_t>(AsciiHexDigitValue(word[i]) * 16 +
                                                     AsciiHexDigitValue(word[i + 1]));
        }
    }
    return true;
}

// ---------------------------------------------------------------------------
// Checks
// ---------------------------------------------------------------------------

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

// The bytes as blocks; *blocks receives the number the base block announces
// (and the bytes hold), which may be fewer than the bytes' blocks.
bool CheckStructure(const uint8_t *bytes, size_t size, int32_t *blocks, Tag_Timing_Error *error) {
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
    for (size_t i = 0; i < sizeof kEdidHeader; ++i) {
        if (bytes[i] == kEdidHeader[i])
            continue;
        Tag_Text_Sink reason = StartBlockReason(error, Timing_Error_Code::kEdid, 0);
        AppendText(&reason, ": header byte ");
        AppendInteger(&reason, static_cast<int64_t>(i));
        AppendText(&reason, " is ");
        AppendHex(&reason, bytes[i], 2);
        AppendText(&reason, ", should be ");
        AppendHex(&reason, kEdidHeader[i], 2);
        AppendText(&reason, " (an EDID starts 00 ff ff ff ff ff ff 00)");
        return false;
    }
    const int64_t present = static_cast<int64_t>(size / kEdidBlockSize);
    const int64_t named = bytes[kExtensionCountByte];
    if (present < named + 1) {
        Tag_Text_Sink reason = StartBlockReason(error, Timing_Error_Code::kEdid, 0);
        AppendText(&reason, " names ");
        AppendInteger(&reason, named);
        AppendText(&reason, named == 1 ? " extension block (byte 126), but "
                                       : " extension blocks "
                                         "(byte 126), but ");
        AppendText(&reason, "the EDID ends after block ");
        AppendInteger(&reason, present - 1);
        return false;
    }
    *blocks = static_cast<int32_t>(named + 1);
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

// ---------------------------------------------------------------------------
// Modes
// ---------------------------------------------------------------------------

struct Tag_Decoder {
    Tag_Edid *edid;
};

// A mode's origin, its numbers yet to come.
Tag_Edid_Mode Origin(Edid_Source source, int32_t block, int32_t index) {
    Tag_Edid_Mode mode = Tag_Edid_Mode();
    mode.source = source;
    mode.block = block;
    mode.index = index;
    return mode;
}

void Skip(Tag_Decoder *d, Edid_Skip kind, const Tag_Edid_Mode &mode, int32_t kept = -1) {
    Tag_Edid *edid = d->edid;
    const int32_t index = static_cast<int32_t>(kind);
    if (index >= 0 && index < kEdidSkipKinds)
        ++edid->skipped[index];
    if (edid->skip_count < kEdidSkipListMax)
        edid->skips[edid->skip_count++] = Tag_Edid_Skip{kind, mode, kept};
}

bool SameId(const Tag_Video_Timing &a, const Tag_Video_Timing &b) {
    return a.h_active == b.h_active && a.v_active == b.v_active &&
           a.nominal_refresh == b.nominal_refresh;
}

// A DTD that is a listed mode as closely as its 10 kHz clock units state it:
// every number the same but the clock, which is the listed one rounded.
bool RoundedTwin(const Tag_Edid_Mode &dtd, const Tag_Edid_Mode &listed) {
    if (dtd.source != Edid_Source::kDetailed || listed.source == Edid_Source::kDetailed)
        return false;
    const Tag_Video_Timing stated = GetDetailedTiming(listed.timing);
    return SameTimingNumbers(&stated, &dtd.timing);
}

void AddMode(Tag_Decoder *d, const Tag_Edid_Mode &mode) {
    Tag_Edid *edid = d->edid;
    if (!CheckTimingShape(&mode.timing, nullptr))
        return Skip(d, Edid_Skip::kShape, mode);
    for (int32_t i = 0; i < edid->mode_count; ++i) {
        Tag_Edid_Mode &kept = edid->modes[i];
        if (!SameTimingNumbers(&kept.timing, &mode.timing))
            continue;
        ++edid->duplicate_count;
        if (kept.source == Edid_Source::kDetailed && mode.source != Edid_Source::kDetailed)
            ++edid->folded[static_cast<int32_t>(mode.source)];
        kept.preferred = kept.preferred || mode.preferred;
        return;
    }
    for (int32_t i = 0; i < edid->mode_count; ++i) {
        Tag_Edid_Mode &kept = edid->modes[i];
        if (!SameId(kept.timing, mode.timing))
            continue;
        const bool exact = RoundedTwin(kept, mode);
        if (!exact && (!mode.preferred || kept.preferred))
            return Skip(d, Edid_Skip::kSameId, mode, i);
        const Tag_Edid_Mode replaced = kept;
        kept = mode;
        kept.preferred = mode.preferred || replaced.preferred;
        return Skip(d, Edid_Skip::kSameId, replaced, i);
    }
    if (edid->mode_count >= kEdidModeMax)
        return Skip(d, Edid_Skip::kRoom, mode);
    edid->modes[edid->mode_count++] = mode;
}

void AddTiming(Tag_Decoder *d, const Tag_Video_Timing &timing, Edid_Source source,
               Edid_Method method, int32_t block, int32_t index, int32_t dmt_id) {
    Tag_Edid_Mode mode = Origin(source, block, index);
    mode.timing = timing;
    mode.method = method;
    mode.dmt_id = dmt_id;
    AddMode(d, mode);
}

// A detailed timing descriptor (its clock is not 0).
void AddDetailed(Tag_Decoder *d, const uint8_t *p, int32_t block, int32_t index) {
    const uint8_t flags = p[17];
    const Tag_Edid_Mode origin = Origin(Edid_Source::kDetailed, block, index);
    if (flags & 0x80)
        return Skip(d, Edid_Skip::kInterlaced, origin);
    if (flags & 0x60)
        return Skip(d, Edid_Skip::kStereo, origin);
    if ((flags & 0x18) != 0x18)
        return Skip(d, Edid_Skip::kComposite, origin);
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
    Tag_Edid_Mode mode = origin;
    Tag_Video_Timing &t = mode.timing;
    t.clock_hz = (p[0] | p[1] << 8) * kEdidDtdClockUnitHz;
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
    t.nominal_refresh = GetNearestWholeRefresh(&t);
    mode.method = Edid_Method::kDetailed;
    mode.preferred = block == 0 && index == 1;
    AddMode(d, mode);
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
const Tag_Established established[kEdidEstablishedBits] = {
    {0, &kIbm720x400At70, "IBM"},     {0, &kIbm720x400At88, "IBM"},      {0x04, nullptr, nullptr},
    {0, &kApple640x480At67, "Apple"}, {0x05, nullptr, nullptr},          {0x06, nullptr, nullptr},
    {0x08, nullptr, nullptr},         {0x09, nullptr, nullptr},          {0x0a, nullptr, nullptr},
    {0x0b, nullptr, nullptr},         {0, &kApple832x624At75, "Apple"},  {0x0f, nullptr, nullptr},
    {0x10, nullptr, nullptr},         {0x11, nullptr, nullptr},          {0x12, nullptr, nullptr},
    {0x24, nullptr, nullptr},         {0, &kApple1152x870At75, "Apple"},
};
const int32_t kManufacturerBit = 16;

// The DMT mode of an id as a mode of the EDID (established timings III).
void AddDmt(Tag_Decoder *d, int32_t dmt_id, Edid_Source source, int32_t block, int32_t index) {
    const Tag_Dmt_Mode *mode = FindDmtModeById(dmt_id, nullptr);
    if (mode == nullptr) // the list leaves out only the interlaced mode
        return Skip(d, Edid_Skip::kInterlaced, Origin(source, block, index));
    Tag_Video_Timing t;
    GetDmtModeTiming(mode, &t);
    AddTiming(d, t, source, Edid_Method::kDmt, block, index, mode->id);
}

void AddEstablished(Tag_Decoder *d, const uint8_t *base) {
    for (int32_t bit = 0; bit < kEdidEstablishedBits; ++bit) {
        if ((base[35 + bit / 8] & (0x80 >> bit % 8)) == 0)
            continue;
        Tag_Edid_Mode mode;
        Edid_Skip skip;
        if (DecodeEstablishedBit(bit, &mode, &skip) == Code_Reading::kMade)
            AddMode(d, mode);
        else
            Skip(d, skip, mode);
    }
}

// The established timings III, by bit from byte 6 bit 7: the DMT ids of the
// published list.
const int32_t kEstablished3Count = 44;
const uint8_t established3[kEstablished3Count] = {
    0x01, 0x02, 0x03, 0x07, 0x0e, 0x0c, 0x13, 0x15, // 640x350@85 .. 1152x864@75
    0x16, 0x17, 0x18, 0x19, 0x20, 0x21, 0x23, 0x25, // 1280x768@60 RB .. 1280x1024@85
    0x27, 0x2e, 0x2f, 0x30, 0x31, 0x29, 0x2a, 0x2b, // 1360x768@60 .. 1400x1050@75
    0x2c, 0x39, 0x3a, 0x3b, 0x3c, 0x33, 0x34, 0x35, // 1400x1050@85 .. 1600x1200@70
    0x36, 0x37, 0x3e, 0x3f, 0x41, 0x42, 0x44, 0x45, // 1600x1200@75 .. 1920x1200@60
    0x46, 0x47, 0x49, 0x4a,                         // 1920x1200@75 .. 1920x1440@75
};
const uint8_t kEstablished3Revision = 0x0a;

void AddEstablished3(Tag_Decoder *d, const uint8_t *p) {
    if (p[5] != kEstablished3Revision) {
        d->edid->notes |= GetEdidNoteBit(Edid_Note::kEstablished3Revision);
        return;
    }
    for (int32_t bit = 0; bit < kEstablished3Count; ++bit)
        if (p[6 + bit / 8] & (0x80 >> bit % 8))
            AddDmt(d, established3[bit], Edid_Source::kEstablished3, 0, bit);
}

// The CVT 3-byte codes of a descriptor; *index counts them through the block.
const uint8_t kCvtCodeVersion = 0x01;
void AddCvtCodes(Tag_Decoder *d, const uint8_t *p, int32_t *index) {
    if (p[5] != kCvtCodeVersion) {
        d->edid->notes |= GetEdidNoteBit(Edid_Note::kCvtVersion);
        return;
    }
    static const int64_t aspects[4][2] = {{4, 3}, {16, 9}, {16, 10}, {15, 9}};
    static const int64_t preferred_rates[4] = {50, 60, 75, 85};
    // Byte 2 bits 4 .. 0: the rate and blanking each declares.
    static const struct {
        int64_t rate;
        bool reduced;
    } rates[5] = {{50, false}, {60, false}, {75, false}, {85, false}, {60, true}};
    for (int32_t k = 0; k < 4; ++k) {
        const uint8_t *code = p + 6 + 3 * k;
        ++*index;
        if (code[0] == 0 && code[1] == 0 && code[2] == 0)
            continue; // unused
        if ((code[1] & 0x03) != 0 || (code[2] & 0x80) != 0)
            d->edid->notes |= GetEdidNoteBit(Edid_Note::kCvtReservedBits);
        const int64_t lines = ((code[1] >> 4) * 256 + code[0] + 1) * 2;
        const int64_t *aspect = aspects[(code[1] >> 2) & 3];
        const int64_t width = lines * aspect[0] / aspect[1] / 8 * 8;
        const int64_t preferred = preferred_rates[(code[2] >> 5) & 3];
        for (int32_t r = 0; r < 5; ++r) {
            if ((code[2] & (0x10 >> r)) == 0)
                continue;
            Tag_Edid_Mode mode = Origin(Edid_Source::kCvtCode, 0, *index);
            mode.method = rates[r].reduced ? Edid_Method::kCvtReduced : Edid_Method::kCvt;
            mode.preferred = rates[r].rate == preferred &&
                             (rates[r].reduced || rates[r].rate != 60 || (code[2] & 0x01) == 0);
            if (!MakeCvtTiming(width, lines, rates[r].rate,
                               rates[r].reduced ? Cvt_Blanking::kReducedV1 : Cvt_Blanking::kCrt,
                               &mode.timing, nullptr)) {
                Skip(d, Edid_Skip::kFormula, mode);
                continue;
            }
            AddMode(d, mode);
        }
    }
}

// One standard timing code.
void AddStandard(Tag_Decoder *d, uint8_t first, uint8_t second, int32_t block, int32_t index) {
    Tag_Edid_Mode mode;
    Edid_Skip skip;
    const Code_Reading found =
        DecodeStandardCode(first, second, d->edid->revision, &d->edid->range, &mode, &skip);
    mode.block = block;
    mode.index = index;
    if (found == Code_Reading::kMade)
        AddMode(d, mode);
    else if (found == Code_Reading::kSkipped)
        Skip(d, skip, mode);
}

// The short video descriptors of a CTA-861 block's video data blocks.
void AddCtaVideo(Tag_Decoder *d, const uint8_t *block, int32_t block_index) {
    const uint8_t kTagVideo = 2;
    if (block[1] < 3 || block[2] < 4)
        return; // no data blocks before revision 3, nor without room for them
    const size_t end = block[2] < kChecksumByte ? block[2] : kChecksumByte;
    int32_t index = 0;
    for (size_t at = 4; at < end;) {
        const size_t length = block[at] & 0x1f;
        if (at + 1 + length > end) {
            d->edid->notes |= GetEdidNoteBit(Edid_Note::kDataBlockOverrun);
            return;
        }
        for (size_t i = 0; (block[at] >> 5) == kTagVideo && i < length; ++i) {
            const uint8_t svd = block[at + 1 + i];
            Tag_Edid_Mode mode = Origin(Edid_Source::kVideo, block_index, ++index);
            mode.method = Edid_Method::kCta;
            mode.vic = svd >= 129 && svd <= 192 ? svd - 128 : svd;
            mode.preferred = svd >= 129 && svd <= 192;
            const Cta_Vic_Result found = GetCtaVicTiming(mode.vic, &mode.timing, nullptr);
            if (found == Cta_Vic_Result::kProgressive)
                AddMode(d, mode);
            else
                Skip(d,
                     found == Cta_Vic_Result::kInterlaced ? Edid_Skip::kInterlaced
                                                          : Edid_Skip::kUnknownCode,
                     mode);
        }
        at += 1 + length;
    }
}

// ---------------------------------------------------------------------------
// Descriptors
// ---------------------------------------------------------------------------

const uint8_t kTagName = 0xfc;
const uint8_t kTagRange = 0xfd;
const uint8_t kTagStandard = 0xfa;
const uint8_t kTagEstablished3 = 0xf7;
const uint8_t kTagCvtCodes = 0xf8;

bool IsDisplayDescriptor(const uint8_t *p) {
    return p[0] == 0 && p[1] == 0;
}

void ReadName(const uint8_t *p, Tag_Edid *edid) {
    size_t length = 0;
    for (size_t i = 5; i < kEdidDescriptorSize && p[i] != 0x0a && p[i] != 0x00; ++i) {
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
    r.max_clock_khz = p[9] * kEdidRangeClockUnitKhz;
    if (r.support == Edid_Range_Support::kSecondaryGtf) {
        r.gtf_start_khz = p[12] * 2;
        r.gtf_curve = Tag_Gtf_Curve{p[13], p[14] | p[15] << 8, p[16], p[17]};
    }
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
    for (int32_t i = 0; i < kEdidDescriptorCount; ++i) {
        const uint8_t *p = base + kEdidDescriptorStart + i * kEdidDescriptorSize;
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
    const auto descriptors = [&](uint8_t tag, auto read) {
        for (int32_t i = 0; i < kEdidDescriptorCount; ++i) {
            const uint8_t *p = base + kEdidDescriptorStart + i * kEdidDescriptorSize;
            if (IsDisplayDescriptor(p) && p[3] == tag)
                read(p);
        }
    };

    int32_t dtd = 0;
    for (int32_t i = 0; i < kEdidDescriptorCount; ++i) {
        const uint8_t *p = base + kEdidDescriptorStart + i * kEdidDescriptorSize;
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
    descriptors(kTagStandard, [&](const uint8_t *p) {
        for (int32_t k = 0; k < 6; ++k)
            AddStandard(&d, p[5 + 2 * k], p[6 + 2 * k], 0, ++index);
    });
    descriptors(kTagEstablished3, [&](const uint8_t *p) { AddEstablished3(&d, p); });
    int32_t code = 0;
    descriptors(kTagCvtCodes, [&](const uint8_t *p) { AddCvtCodes(&d, p, &code); });
    for (int32_t b = 1; b < blocks; ++b) {
        const uint8_t *block = bytes + static_cast<size_t>(b) * kEdidBlockSize;
        if (block[0] == kTagCta)
            AddCtaVideo(&d, block, b);
    }
}

} // namespace

const int64_t kStandardAspects[4][2] = {{16, 10}, {4, 3}, {5, 4}, {16, 9}};

uint8_t GetEdidChecksum(const uint8_t *block) {
    uint32_t sum = 0;
    for (size_t i = 0; i < kChecksumByte; ++i)
        sum += block[i];
    return static_cast<uint8_t>(0x100 - sum % 0x100);
}

Code_Reading DecodeEstablishedBit(int32_t bit, Tag_Edid_Mode *mode, Edid_Skip *skip) {
    *mode = Origin(Edid_Source::kEstablished, 0, bit);
    const Tag_Established &e = established[bit];
    if (e.published != nullptr) {
        mode->timing = *e.published;
        mode->method = Edid_Method::kPublished;
        return Code_Reading::kMade;
    }
    const Tag_Dmt_Mode *dmt = FindDmtModeById(e.dmt_id, nullptr);
    if (dmt == nullptr) { // the list leaves out only the interlaced mode
        *skip = Edid_Skip::kInterlaced;
        return Code_Reading::kSkipped;
    }
    GetDmtModeTiming(dmt, &mode->timing);
    mode->method = Edid_Method::kDmt;
    mode->dmt_id = dmt->id;
    return Code_Reading::kMade;
}

Code_Reading DecodeStandardCode(uint8_t first, uint8_t second, int32_t revision,
                                const Tag_Edid_Range *range, Tag_Edid_Mode *mode, Edid_Skip *skip) {
    *mode = Origin(Edid_Source::kStandard, 0, 0);
    if (first == 0x00 || (first == 0x01 && second == 0x01))
        return Code_Reading::kUnused;
    const int64_t width = (first + 31) * 8;
    const int32_t aspect = second >> 6;
    const int64_t height = aspect == 0 && revision < 3
                               ? width
                               : width * kStandardAspects[aspect][1] / kStandardAspects[aspect][0];
    const int64_t refresh = (second & 0x3f) + 60;
    const Tag_Dmt_Mode *dmt = FindDmtMode(width, height, refresh, nullptr);
    if (dmt != nullptr) {
        GetDmtModeTiming(dmt, &mode->timing);
        mode->method = Edid_Method::kDmt;
        mode->dmt_id = dmt->id;
        return Code_Reading::kMade;
    }
    if (revision >= 4 && range->present && range->support == Edid_Range_Support::kCvt) {
        const bool reduced = range->cvt_reduced && !range->cvt_standard;
        mode->method = reduced ? Edid_Method::kCvtReduced : Edid_Method::kCvt;
        if (MakeCvtTiming(width, height, refresh,
                          reduced ? Cvt_Blanking::kReducedV1 : Cvt_Blanking::kCrt, &mode->timing,
                          nullptr))
            return Code_Reading::kMade;
        *skip = Edid_Skip::kFormula;
        return Code_Reading::kSkipped;
    }
    mode->method = Edid_Method::kGtf;
    if (!MakeGtfTiming(width, height, refresh, &mode->timing, nullptr)) {
        *skip = Edid_Skip::kFormula;
        return Code_Reading::kSkipped;
    }
    // The line rate, refresh * total lines, is the same on either curve.
    if (range->present && range->support == Edid_Range_Support::kSecondaryGtf &&
        refresh * GetTimingVTotal(&mode->timing) >= int64_t{range->gtf_start_khz} * 1000) {
        mode->method = Edid_Method::kGtfSecondary;
        if (!MakeGtfCurveTiming(width, height, refresh, &range->gtf_curve, &mode->timing,
                                nullptr)) {
            *skip = Edid_Skip::kShape;
            return Code_Reading::kSkipped;
        }
    }
    return Code_Reading::kMade;
}

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
    int32_t blocks = 0; // at most 256
    if (!CheckStructure(bytes, size, &blocks, error))
        return false;
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
        AppendHex(&reason, GetEdidChecksum(block), 2);
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
    edid->trailing_blocks = static_cast<int32_t>(size / kEdidBlockSize) - blocks;
    if (edid->trailing_blocks > 0)
        edid->notes |= GetEdidNoteBit(Edid_Note::kTrailingBlocks);
    Decode(bytes, blocks, edid);
    return true;
}

int64_t GetDetailedClock(int64_t clock_hz) {
    const int64_t unit = kEdidDtdClockUnitHz;
    return clock_hz >= 0 ? (clock_hz + unit / 2) / unit * unit : clock_hz;
}

Tag_Video_Timing GetDetailedTiming(const Tag_Video_Timing &timing) {
    Tag_Video_Timing stated = timing;
    stated.clock_hz = GetDetailedClock(timing.clock_hz);
    return stated;
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
            AppendText(&sink, mode->index >= 0 && mode->index < kEdidEstablishedBits &&
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
        case Edid_Method::kGtfSecondary:
            AppendText(&sink, "GTF secondary curve");
            break;
        case Edid_Method::kCta:
            AppendText(&sink, "CTA-861 VIC ");
            AppendInteger(&sink, mode->vic);
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
    case Edid_Source::kEstablished3:
        AppendText(&sink, "established timing III ");
        size_and_rate();
        how();
        break;
    default:
        AppendText(&sink, mode->source == Edid_Source::kStandard  ? "standard timing "
                          : mode->source == Edid_Source::kCvtCode ? "CVT code "
                                                                  : "video descriptor ");
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
    case Edid_Skip::kSameId:
        return "same resolution id as a mode kept";
    case Edid_Skip::kUnknownCode:
        return "unknown code";
    default:
        return "";
    }
}

const char *DescribeEdidNote(Edid_Note note) {
    static const char *const notes[kEdidNoteKinds] = {
        "the dump goes on after the blocks the base block announces: decoded as far as "
        "announced",
        "a CTA-861 data block runs past the data area of its block: the data blocks from it on "
        "were passed over",
        "an established timings III descriptor of a revision other than 10 was passed over",
        "a CVT 3-byte code descriptor of a version other than 1 was passed over",
        "a CVT 3-byte code has reserved bits set: it was decoded all the same",
    };
    const int32_t bit = static_cast<int32_t>(note);
    return bit >= 0 && bit < kEdidNoteKinds ? notes[bit] : "";
}
