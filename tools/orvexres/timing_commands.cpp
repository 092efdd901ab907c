// orvexres: the commands on timings: timing (a block from a VESA formula, the
// DMT list or a modeline), modeline and modelines (a file's blocks as X11
// modelines).
#include <stdio.h>
#include <string.h>

#include "timing/modeline.h"
#include "timing/timing.h"
#include "timing/vesa.h"
#include "tools/orvexres/orvexres.h"

namespace {

// "WxHxR" (or with "X"): three whole numbers.
bool ParseSizeAndRate(const std::string &text, int64_t *width, int64_t *height, int64_t *refresh) {
    int64_t *parts[3] = {width, height, refresh};
    size_t pos = 0;
    for (int i = 0; i < 3; ++i) {
        size_t start = pos;
        int64_t value = 0;
        while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9' && pos - start < 9)
            value = value * 10 + (text[pos++] - '0');
        if (pos == start)
            return false;
        *parts[i] = value;
        if (i < 2) {
            if (pos >= text.size() || (text[pos] != 'x' && text[pos] != 'X'))
                return false;
            ++pos;
        }
    }
    return pos == text.size();
}

// A DMT id: decimal, or hexadecimal after "0x".
bool ParseDmtId(const std::string &text, int64_t *id) {
    bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    size_t pos = hex ? 2 : 0;
    if (pos >= text.size() || text.size() - pos > 8)
        return false;
    int64_t value = 0;
    for (; pos < text.size(); ++pos) {
        char c = text[pos];
        int digit = c >= '0' && c <= '9'          ? c - '0'
                    : hex && c >= 'a' && c <= 'f' ? c - 'a' + 10
                    : hex && c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                  : -1;
        if (digit < 0)
            return false;
        value = value * (hex ? 16 : 10) + digit;
    }
    *id = value;
    return true;
}

// "C,M,K,J" of a GTF curve: C and J in percent, whole or with a half ("40.5"),
// M and K whole numbers. The values' ranges are the formula's to check.
bool ParseGtfCurve(const std::string &text, Tag_Gtf_Curve *curve) {
    int32_t *parts[4] = {&curve->c2, &curve->m, &curve->k, &curve->j2};
    size_t pos = 0;
    for (int i = 0; i < 4; ++i) {
        const bool doubled = i == 0 || i == 3;
        size_t start = pos;
        int32_t value = 0;
        while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9' && pos - start < 6)
            value = value * 10 + (text[pos++] - '0');
        if (pos == start)
            return false;
        value = doubled ? 2 * value : value;
        if (doubled && pos < text.size() && text[pos] == '.') {
            if (pos + 1 >= text.size() || (text[pos + 1] != '0' && text[pos + 1] != '5'))
                return false;
            value += text[pos + 1] == '5' ? 1 : 0;
            pos += 2;
        }
        *parts[i] = value;
        if (i < 3 && (pos >= text.size() || text[pos++] != ','))
            return false;
    }
    return pos == text.size();
}

int RefuseTiming(const Tag_Invocation &call, const char *reason) {
    fprintf(stderr, "orvexres %s: error: %s\n", call.command->name, Printable(reason).c_str());
    return kExitRefused;
}

} // namespace

int TimingFromSource(const Tag_Invocation &call, Tag_Video_Timing *timing) {
    const char *sources[] = {"--dmt", "--dmt-id", "--cvt", "--gtf", "--modeline"};
    const char *source = nullptr;
    const std::string *value = nullptr;
    for (const char *name : sources) {
        if (const std::string *given = FindOption(call, name)) {
            if (source != nullptr)
                return UsageError(call.command, std::string("give one timing source, not ") +
                                                    source + " and " + name);
            source = name;
            value = given;
        }
    }
    if (source == nullptr) {
        const size_t count = sizeof sources / sizeof sources[0];
        std::string names = sources[0];
        for (size_t i = 1; i < count; ++i)
            names += std::string(i + 1 < count ? ", " : " or ") + sources[i];
        return UsageError(call.command, "a timing source is needed: " + names +
                                            " (the command's help says what each takes)");
    }
    const std::string *rb = FindOption(call, "--rb");
    if (rb != nullptr && strcmp(source, "--cvt") != 0)
        return UsageError(call.command, "--rb goes with --cvt only");
    Cvt_Blanking blanking = Cvt_Blanking::kCrt;
    if (rb != nullptr) {
        if (*rb != "1" && *rb != "2")
            return UsageError(call.command, "--rb needs 1 or 2, not '" + Printable(*rb) + "'");
        blanking = *rb == "1" ? Cvt_Blanking::kReducedV1 : Cvt_Blanking::kReducedV2;
    }
    const std::string *secondary = FindOption(call, "--secondary");
    if (secondary != nullptr && strcmp(source, "--gtf") != 0)
        return UsageError(call.command, "--secondary goes with --gtf only");
    Tag_Gtf_Curve curve = kGtfDefaultCurve;
    if (secondary != nullptr && !ParseGtfCurve(*secondary, &curve))
        return UsageError(call.command, "--secondary needs C,M,K,J, e.g. 40,3600,128,35, not '" +
                                            Printable(*secondary) + "'");

    Tag_Timing_Error error{};
    if (strcmp(source, "--modeline") == 0) {
        if (!ParseModeline(value->c_str(), timing, &error))
            return RefuseTiming(call, error.reason);
        return kExitOk;
    }
    if (strcmp(source, "--dmt-id") == 0) {
        int64_t id = 0;
        if (!ParseDmtId(*value, &id))
            return UsageError(call.command, "--dmt-id needs a DMT id, decimal or 0x hex, not '" +
                                                Printable(*value) + "'");
        const Tag_Dmt_Mode *mode = FindDmtModeById(id, &error);
        if (mode == nullptr)
            return RefuseTiming(call, error.reason);
        GetDmtModeTiming(mode, timing);
        return kExitOk;
    }
    int64_t width = 0;
    int64_t height = 0;
    int64_t refresh = 0;
    if (!ParseSizeAndRate(*value, &width, &height, &refresh))
        return UsageError(call.command, std::string(source) +
                                            " needs WIDTHxHEIGHTxREFRESH, e.g. 640x480x60, not '" +
                                            Printable(*value) + "'");
    bool made = false;
    if (strcmp(source, "--dmt") == 0) {
        const Tag_Dmt_Mode *mode = FindDmtMode(width, height, refresh, &error);
        if (mode != nullptr)
            GetDmtModeTiming(mode, timing);
        made = mode != nullptr;
    } else if (strcmp(source, "--cvt") == 0) {
        made = MakeCvtTiming(width, height, refresh, blanking, timing, &error);
    } else if (secondary != nullptr) {
        made = MakeGtfCurveTiming(width, height, refresh, &curve, timing, &error);
    } else {
        made = MakeGtfTiming(width, height, refresh, timing, &error);
    }
    return made ? kExitOk : RefuseTiming(call, error.reason);
}

int RunTiming(const Tag_Invocation &call) {
    Tag_Video_Timing timing;
    int status = TimingFromSource(call, &timing);
    if (status != kExitOk)
        return status;
    char text[kTimingBlockTextSize];
    if (!FormatTimingBlock(&timing, text, sizeof text))
        return RefuseTiming(call, "the timing does not fit a block");
    fputs(text, stdout);
    return kExitOk;
}

// The block of a timing record as a modeline, printed; false (reported) when
// the block does not read by key into a whole timing.
static bool PrintModeline(const std::string &file, const Tag_Timing_Info *info) {
    Tag_Timing_Block_Report report;
    Tag_Timing_Error error{};
    char line[kModelineTextSize];
    bool read = ParseTimingBlock(info->info_block, &report);
    if (read && FormatModeline(&report.timing, line, sizeof line, &error)) {
        printf("%s\n", line);
        return true;
    }
    int32_t first = 0;
    int32_t last = 0;
    GetResDatTimingLines(info, &first, &last);
    Report(file, first, RES_DAT_ERR_CONTENT,
           "timing block " + BlockId(info) + " is no whole mode" +
               (read ? std::string(": ") + error.reason : std::string(" when read by key")),
           "run 'orvexres lint " + ShellWord(file) + "' to see what is wrong with it");
    return false;
}

int RunModeline(const Tag_Invocation &call) {
    const std::string &file = call.args[0];
    Tag_Database db;
    if (!db.Load(file))
        return kExitRefused;
    const Tag_Monitor_Entry *monitor = FindMonitor(file, call.args[1]);
    if (monitor == nullptr)
        return kExitRefused;
    const Tag_Resolution_Entry *entry = FindResolution(file, monitor, call.args[2]);
    if (entry == nullptr)
        return kExitRefused;
    return PrintModeline(file, entry->timing_info) ? kExitOk : kExitRefused;
}

int RunModelines(const Tag_Invocation &call) {
    const std::string &file = call.args[0];
    Tag_Database db;
    if (!db.Load(file))
        return kExitRefused;
    bool all = true;
    if (call.args.size() == 2) {
        const Tag_Monitor_Entry *monitor = FindMonitor(file, call.args[1]);
        if (monitor == nullptr)
            return kExitRefused;
        for (const Tag_Resolution_Entry *e = monitor->res_list; e != nullptr; e = e->next)
            all = PrintModeline(file, e->timing_info) && all;
    } else {
        for (const Tag_Timing_Info *t = GetTimingInfoHead(); t != nullptr; t = t->next)
            all = PrintModeline(file, t) && all;
    }
    return all ? kExitOk : kExitRefused;
}
