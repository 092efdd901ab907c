// X11 modelines: reading and writing.
#include "timing/internal.h"
#include "timing/modeline.h"

namespace {

const int32_t kNumberCount = 9;
static_assert(kNumberCount == kTimingItemCount, "a number for each item");

// The modeline's numbers in order; the index of each is also the Timing_Item
// whose count ends at it (HSS closes the horizontal front porch, ...).
const char *const number_names[kNumberCount] = {"CLOCK", "HDISP", "HSS", "HSE", "HTOT",
                                                "VDISP", "VSS",   "VSE", "VTOT"};
// The part of the line or frame each item is, for the reasons.
const char *const item_parts[kNumberCount] = {
    "pixel clock",          "horizontal active",     "horizontal front porch",
    "horizontal sync",      "horizontal back porch", "vertical active",
    "vertical front porch", "vertical sync",         "vertical back porch"};

struct Tag_Word {
    std::string_view text; // without the quotes of a quoted word
    bool quoted;
    bool present;
};

// The next word of *rest; a word in double quotes may hold blanks. False when
// a quote is not closed.
bool NextWord(std::string_view *rest, Tag_Word *word) {
    size_t start = rest->find_first_not_of(" \t");
    *word = Tag_Word();
    if (start == std::string_view::npos) {
        *rest = std::string_view();
        return true;
    }
    rest->remove_prefix(start);
    word->present = true;
    if (rest->front() == '"') {
        size_t close = rest->find('"', 1);
        if (close == std::string_view::npos)
            return false;
        word->text = rest->substr(1, close - 1);
        word->quoted = true;
        rest->remove_prefix(close + 1);
        return true;
    }
    size_t end = rest->find_first_of(" \t\"");
    word->text = rest->substr(0, end);
    rest->remove_prefix(end == std::string_view::npos ? rest->size() : end);
    return true;
}

// The rate of a name "WxH_R" (three whole numbers) whose W and H are the
// active counts; -1 for any other name.
int64_t NamedRefresh(std::string_view name, int64_t width, int64_t height) {
    int64_t numbers[3];
    size_t at = 0;
    const char separators[3] = {'x', '_', '\0'};
    for (int i = 0; i < 3; ++i) {
        size_t end = i < 2 ? name.find(separators[i], at) : name.size();
        if (end == std::string_view::npos ||
            ScanDecimal(name.substr(at, end - at), false, 0, kBlockValueLimit, &numbers[i]) !=
                Scan_Result::kOk)
            return -1;
        at = end + 1;
    }
    return numbers[0] == width && numbers[1] == height ? numbers[2] : -1;
}

// A syntax refusal whose reason quotes a word of the text between two pieces.
bool Refuse(Tag_Timing_Error *error, const char *first, std::string_view word, const char *last) {
    Tag_Text_Sink reason = StartReason(error, Timing_Error_Code::kSyntax);
    AppendText(&reason, first);
    AppendQuoted(&reason, word);
    AppendText(&reason, last);
    return false;
}

// A flag word: sets *h_positive or *v_positive once; false with the reason.
bool ReadFlag(const Tag_Word &word, bool *h_seen, bool *h_positive, bool *v_seen, bool *v_positive,
              Tag_Timing_Error *error) {
    if (word.quoted)
        return Refuse(error, "unexpected quoted word ", word.text, " after the numbers");
    static const char *const flags[4] = {"+hsync", "-hsync", "+vsync", "-vsync"};
    for (int i = 0; i < 4; ++i) {
        if (!AsciiEqualIgnoringCase(word.text, flags[i]))
            continue;
        bool *seen = i < 2 ? h_seen : v_seen;
        if (*seen)
            return Refuse(error,
                          i < 2 ? "the hsync polarity is given twice: "
                                : "the vsync polarity is given twice: ",
                          word.text, "");
        *seen = true;
        *(i < 2 ? h_positive : v_positive) = i % 2 == 0;
        return true;
    }
    static const char *const unsupported[] = {"interlace", "doublescan", "+csync", "-csync",
                                              "composite", "+cs",        "-cs",    "bcast"};
    for (const char *flag : unsupported)
        if (AsciiEqualIgnoringCase(word.text, flag))
            return Refuse(error, "the flag ", word.text,
                          " is not supported: a timing block holds progressive modes with "
                          "separate syncs");
    return Refuse(error, "unexpected word ", word.text,
                  " after the numbers (only +hsync, -hsync, +vsync, -vsync may follow)");
}

// The reason for a shape fault, in the modeline's terms.
bool RefuseShape(Timing_Item fault, const int64_t numbers[kNumberCount], Tag_Timing_Error *error) {
    Tag_Text_Sink reason = StartReason(error, Timing_Error_Code::kShape);
    const int32_t item = static_cast<int32_t>(fault);
    if (item <= 0 || item >= kNumberCount) { // the clock (or no item at all)
        AppendText(&reason, "CLOCK ");
        AppendMhz(&reason, numbers[0]);
        AppendText(&reason, numbers[0] <= 0 ? " MHz is not above 0" : " MHz is above ");
        if (numbers[0] > 0) {
            AppendMhz(&reason, kTimingMaxClockHz);
            AppendText(&reason, " MHz");
        }
        return false;
    }
    AppendText(&reason, number_names[item]);
    AppendText(&reason, " ");
    AppendInteger(&reason, numbers[item]);
    if (fault == Timing_Item::kHActive || fault == Timing_Item::kVActive) {
        AppendText(&reason, numbers[item] < 1 ? " is below 1" : " is above ");
        if (numbers[item] >= 1)
            AppendInteger(&reason, kTimingMaxCount);
        return false;
    }
    // HSS, HSE, HTOT and their vertical kin end a part that starts at the
    // number before them: a porch (at least 0) or a sync (at least 1).
    const bool sync = fault == Timing_Item::kHSync || fault == Timing_Item::kVSync;
    const int64_t part = numbers[item] - numbers[item - 1];
    if (part < (sync ? 1 : 0)) {
        AppendText(&reason, sync ? " is not after " : " is before ");
        AppendText(&reason, number_names[item - 1]);
        AppendText(&reason, " ");
        AppendInteger(&reason, numbers[item - 1]);
    } else {
        AppendText(&reason, ": the ");
        AppendText(&reason, item_parts[item]);
        AppendText(&reason, " ");
        AppendInteger(&reason, part);
        AppendText(&reason, " is above ");
        AppendInteger(&reason, kTimingMaxCount);
    }
    return false;
}

} // namespace

bool ParseModeline(const char *text, Tag_Video_Timing *timing, Tag_Timing_Error *error) {
    std::string_view rest(text);
    if (!rest.empty() && rest.back() == '\n')
        rest.remove_suffix(1);
    if (!rest.empty() && rest.back() == '\r')
        rest.remove_suffix(1);

    Tag_Word word;
    auto next = [&]() {
        if (NextWord(&rest, &word))
            return true;
        Tag_Text_Sink reason = StartReason(error, Timing_Error_Code::kSyntax);
        AppendText(&reason, "the name's closing double quote is missing");
        return false;
    };
    if (!next())
        return false;
    if (word.present && !word.quoted && AsciiEqualIgnoringCase(word.text, "modeline") && !next())
        return false;
    std::string_view name;
    if (word.quoted) {
        name = word.text;
        if (!next())
            return false;
    }

    int64_t numbers[kNumberCount];
    for (int32_t i = 0; i < kNumberCount; ++i) {
        Tag_Text_Sink reason;
        if (!word.present || word.quoted) {
            reason = StartReason(error, Timing_Error_Code::kSyntax);
            AppendText(&reason, word.present ? "a quoted word stands where " : "");
            AppendText(&reason, number_names[i]);
            AppendText(&reason, word.present ? " belongs" : " is missing");
            AppendText(&reason, " (a modeline has nine numbers: CLOCK HDISP HSS HSE HTOT VDISP "
                                "VSS VSE VTOT)");
            return false;
        }
        Scan_Result scan = i == 0
                               ? ScanDecimal(word.text, false, 3, kBlockClockKhzLimit, &numbers[i])
                               : ScanDecimal(word.text, false, 0, kBlockValueLimit, &numbers[i]);
        if (scan != Scan_Result::kOk) {
            reason = StartReason(error, Timing_Error_Code::kSyntax);
            AppendText(&reason, number_names[i]);
            AppendText(&reason, " ");
            AppendQuoted(&reason, word.text);
            AppendText(&reason, scan == Scan_Result::kOutOfRange ? " is too large"
                                : i == 0                         ? " is not a decimal number of MHz"
                                                                 : " is not a whole number");
            return false;
        }
        if (!next())
            return false;
    }
    numbers[0] *= 1000; // kHz to Hz

    bool h_seen = false, v_seen = false, h_positive = false, v_positive = false;
    while (word.present) {
        if (!ReadFlag(word, &h_seen, &h_positive, &v_seen, &v_positive, error) || !next())
            return false;
    }

    Tag_Video_Timing t = Tag_Video_Timing();
    t.clock_hz = numbers[0];
    t.h_active = numbers[1];
    t.h_front_porch = numbers[2] - numbers[1];
    t.h_sync = numbers[3] - numbers[2];
    t.h_back_porch = numbers[4] - numbers[3];
    t.v_active = numbers[5];
    t.v_front_porch = numbers[6] - numbers[5];
    t.v_sync = numbers[7] - numbers[6];
    t.v_back_porch = numbers[8] - numbers[7];
    Timing_Item fault = FindTimingShapeFault(&t);
    if (fault != Timing_Item::kNone)
        return RefuseShape(fault, numbers, error);
    // Within the shape's limits the product stays below 2^45.
    int64_t frame = GetTimingHTotal(&t) * GetTimingVTotal(&t);
    t.nominal_refresh = (2 * t.clock_hz + frame) / (2 * frame);
    // The name's rate when it is within 1 Hz of the numbers' (|R * frame -
    // clock| <= frame; R is at most 10^18, the product is compared by division).
    const int64_t named = NamedRefresh(name, t.h_active, t.v_active);
    if (named >= 0 && named <= kBlockValueLimit / frame &&
        (named * frame > t.clock_hz ? named * frame - t.clock_hz : t.clock_hz - named * frame) <=
            frame)
        t.nominal_refresh = named;
    t.h_sync_positive = h_positive;
    t.v_sync_positive = v_positive;
    *timing = t;
    return true;
}

bool FormatModeline(const Tag_Video_Timing *timing, char *buffer, size_t size,
                    Tag_Timing_Error *error) {
    Tag_Text_Sink sink;
    StartText(&sink, buffer, size);
    if (!CheckTimingShape(timing, error))
        return false;
    const int64_t numbers[kNumberCount - 1] = {
        timing->h_active,
        timing->h_active + timing->h_front_porch,
        timing->h_active + timing->h_front_porch + timing->h_sync,
        GetTimingHTotal(timing),
        timing->v_active,
        timing->v_active + timing->v_front_porch,
        timing->v_active + timing->v_front_porch + timing->v_sync,
        GetTimingVTotal(timing)};
    AppendText(&sink, "Modeline \"");
    AppendInteger(&sink, timing->h_active);
    AppendText(&sink, "x");
    AppendInteger(&sink, timing->v_active);
    AppendText(&sink, "_");
    AppendInteger(&sink, timing->nominal_refresh);
    AppendText(&sink, "\" ");
    AppendMhz(&sink, timing->clock_hz);
    for (int64_t number : numbers) {
        AppendText(&sink, " ");
        AppendInteger(&sink, number);
    }
    AppendText(&sink, timing->h_sync_positive ? " +hsync" : " -hsync");
    AppendText(&sink, timing->v_sync_positive ? " +vsync" : " -vsync");
    if (sink.overflow) {
        if (size > 0)
            buffer[0] = '\0';
        Tag_Text_Sink reason = StartReason(error, Timing_Error_Code::kBuffer);
        AppendText(&reason, "the modeline does not fit in ");
        AppendInteger(&reason, static_cast<int64_t>(size));
        AppendText(&reason, " bytes");
        return false;
    }
    return true;
}
