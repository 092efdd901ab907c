// The timing block text: reading it by key, and writing it.
#include <string.h>

#include "timing/internal.h"

constexpr const char *const timing_field_keys[kTimingFieldCount] = {
    "hdr", "hsp", "hbp", "had", "hfp", "hco", "hp", "vlr", "vsp", "vbp", "vad", "vfp", "vco", "vp"};

namespace {

// The model member of each count field; null for hdr, vlr and the polarities.
int64_t Tag_Video_Timing::*const count_members[kTimingFieldCount] = {
    nullptr,
    &Tag_Video_Timing::h_sync,
    &Tag_Video_Timing::h_back_porch,
    &Tag_Video_Timing::h_active,
    &Tag_Video_Timing::h_front_porch,
    &Tag_Video_Timing::h_cursor_offset,
    nullptr,
    nullptr,
    &Tag_Video_Timing::v_sync,
    &Tag_Video_Timing::v_back_porch,
    &Tag_Video_Timing::v_active,
    &Tag_Video_Timing::v_front_porch,
    &Tag_Video_Timing::v_cursor_offset,
    nullptr,
};

const int32_t kLineFindingMax = kBlockFindingMax - kTimingFieldCount;

// A key of two or three characters, folded to lower case, as one number, so
// that a line's key is found with a few comparisons of numbers: a speed
// device that pays (bench_load's "byKey" row; docs/performance.md).
constexpr uint32_t PackKey(std::string_view key) {
    uint32_t packed = 0;
    for (char c : key)
        packed = packed << 8 | static_cast<unsigned char>(AsciiLower(c));
    return packed;
}

struct Tag_Packed_Keys {
    uint32_t key[kTimingFieldCount];
};

constexpr Tag_Packed_Keys PackKeys() {
    Tag_Packed_Keys packed{};
    for (int32_t field = 0; field < kTimingFieldCount; ++field)
        packed.key[field] = PackKey(timing_field_keys[field]);
    return packed;
}

constexpr Tag_Packed_Keys kPackedKeys = PackKeys();

int32_t FindField(std::string_view key) {
    if (key.size() < 2 || key.size() > 3)
        return -1;
    uint32_t packed = PackKey(key);
    for (int32_t field = 0; field < kTimingFieldCount; ++field)
        if (packed == kPackedKeys.key[field])
            return field;
    return -1;
}

// The value without a trailing unit (compared ignoring case) and the blanks
// before it.
std::string_view WithoutUnit(std::string_view value, std::string_view unit) {
    if (value.size() >= unit.size() &&
        AsciiEqualIgnoringCase(value.substr(value.size() - unit.size()), unit))
        return TrimBlanks(value.substr(0, value.size() - unit.size()));
    return value;
}

Block_Finding FindingOfScan(Scan_Result scan) {
    return scan == Scan_Result::kOk           ? Block_Finding::kNone
           : scan == Scan_Result::kOutOfRange ? Block_Finding::kOutOfRange
                                              : Block_Finding::kBadNumber;
}

// Read one field's value (trimmed) into the model; returns its finding.
Block_Finding ReadValue(int32_t field, std::string_view value, Tag_Video_Timing *timing) {
    int64_t number = 0;
    switch (field) {
    case kFieldHdr: {
        Block_Finding finding = FindingOfScan(
            ScanDecimal(WithoutUnit(value, "mhz"), true, 3, kBlockClockKhzLimit, &number));
        timing->clock_hz = number * 1000;
        return finding;
    }
    case kFieldVlr: {
        Block_Finding finding = FindingOfScan(
            ScanDecimal(WithoutUnit(value, "hz"), true, 0, kBlockValueLimit, &number));
        timing->nominal_refresh = number;
        return finding;
    }
    case kFieldHp:
    case kFieldVp: {
        bool positive = AsciiEqualIgnoringCase(value, "positive");
        if (!positive && !AsciiEqualIgnoringCase(value, "negative"))
            return Block_Finding::kBadPolarity;
        (field == kFieldHp ? timing->h_sync_positive : timing->v_sync_positive) = positive;
        return Block_Finding::kNone;
    }
    default: {
        Block_Finding finding =
            FindingOfScan(ScanDecimal(value, true, 0, kBlockValueLimit, &number));
        timing->*count_members[field] = number;
        return finding;
    }
    }
}

void AddFinding(Tag_Timing_Block_Report *report, Block_Finding kind, int32_t field, int32_t line,
                size_t offset, size_t length) {
    if (report->finding_count >= kLineFindingMax && line != 0) {
        ++report->dropped_findings;
        return;
    }
    Tag_Block_Finding &finding = report->findings[report->finding_count++];
    finding.kind = kind;
    finding.field = field;
    finding.line = line;
    finding.offset = offset;
    finding.length = length;
}

} // namespace

bool ParseTimingBlock(const char *text, Tag_Timing_Block_Report *report) {
    // Everything but the findings beyond finding_count, which are never read.
    report->timing = Tag_Video_Timing{};
    memset(report->fields, 0, sizeof report->fields);
    report->finding_count = 0;
    report->dropped_findings = 0;
    report->line_count = 0;
    report->complete = false;
    std::string_view rest(text);
    size_t offset = 0;
    while (!rest.empty()) {
        size_t end = rest.find('\n');
        std::string_view line = rest.substr(0, end);
        size_t consumed = end == std::string_view::npos ? rest.size() : end + 1;
        if (report->line_count < INT32_MAX)
            ++report->line_count;
        int32_t line_number = report->line_count;
        size_t line_offset = offset;
        rest.remove_prefix(consumed);
        offset += consumed;
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);

        std::string_view trimmed = TrimBlanks(line);
        if (trimmed.empty() || trimmed.front() == ';')
            continue;
        size_t equals = line.find('=');
        if (equals == std::string_view::npos) {
            AddFinding(report, Block_Finding::kNotKeyValue, -1, line_number, line_offset,
                       line.size());
            continue;
        }
        int32_t field = FindField(TrimBlanks(line.substr(0, equals)));
        if (field < 0) {
            AddFinding(report, Block_Finding::kUnknownKey, -1, line_number, line_offset,
                       line.size());
            continue;
        }
        Tag_Block_Field &slot = report->fields[field];
        if (slot.line != 0) {
            AddFinding(report, Block_Finding::kDuplicateKey, field, line_number, line_offset,
                       line.size());
            continue;
        }
        slot.line = line_number;
        slot.finding = ReadValue(field, TrimBlanks(line.substr(equals + 1)), &report->timing);
        if (slot.finding != Block_Finding::kNone)
            AddFinding(report, slot.finding, field, line_number, line_offset, line.size());
    }

    report->complete = true;
    for (int32_t field = 0; field < kTimingFieldCount; ++field) {
        Tag_Block_Field &slot = report->fields[field];
        if (slot.line == 0) {
            slot.finding = Block_Finding::kMissingKey;
            AddFinding(report, Block_Finding::kMissingKey, field, 0, 0, 0);
        }
        report->complete = report->complete && slot.finding == Block_Finding::kNone;
    }
    return report->complete;
}

bool FormatTimingBlock(const Tag_Video_Timing *timing, char *buffer, size_t size) {
    // The written form of each key, "hp " and "vp " with their blank.
    static const char *const written_keys[kTimingFieldCount] = {
        "hdr=", "hsp=", "hbp=", "had=", "hfp=", "hco=", "hp =",
        "vlr=", "vsp=", "vbp=", "vad=", "vfp=", "vco=", "vp ="};
    Tag_Text_Sink sink;
    StartText(&sink, buffer, size);
    for (int32_t field = 0; field < kTimingFieldCount; ++field) {
        AppendText(&sink, written_keys[field]);
        switch (field) {
        case kFieldHdr:
            AppendMhz(&sink, timing->clock_hz);
            AppendText(&sink, "mHz");
            break;
        case kFieldVlr:
            AppendInteger(&sink, timing->nominal_refresh);
            AppendText(&sink, "Hz");
            break;
        case kFieldHp:
        case kFieldVp: {
            bool positive = field == kFieldHp ? timing->h_sync_positive : timing->v_sync_positive;
            AppendText(&sink, positive ? "positive" : "negative");
            break;
        }
        default:
            AppendInteger(&sink, timing->*count_members[field]);
            break;
        }
        AppendText(&sink, "\n");
    }
    if (sink.overflow) {
        if (size > 0)
            buffer[0] = '\0';
        return false;
    }
    return true;
}
