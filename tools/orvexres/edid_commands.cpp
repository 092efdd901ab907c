// orvexres: what a monitor reports about itself (EDID): edid prints it as a
// monitor block and its timing blocks, import-edid adds it to a data file,
// and lint --edid takes the monitor's range from it. Also show --svg, the
// picture of one block.
#include <stdio.h>
#include <string.h>

#include <vector>

#include "timing/edid.h"
#include "timing/svg.h"
#include "timing/timing.h"
#include "tools/lint/lint.h"
#include "tools/orvexres/orvexres.h"

namespace {

// The EDID of the file the command line names, decoded; false with the fault
// reported (as a refusal of the EDID file).
bool LoadEdid(const Tag_Invocation &call, const std::string &path, Tag_Edid *edid) {
    // Room for a hex dump of the largest EDID, with headings.
    std::string input;
    if (!ReadFileBytes(path, kEdidMaxSize * 4 + 4096, &input)) {
        Report(path, 0, RES_DAT_ERR_DATA_FILE, "the EDID cannot be read (or is too large)",
               "check the file name; give a binary EDID or a hex dump");
        return false;
    }
    std::vector<uint8_t> bytes(kEdidMaxSize);
    size_t count = 0;
    Tag_Timing_Error error{};
    if (!ReadEdidInput(reinterpret_cast<const uint8_t *>(input.data()), input.size(), bytes.data(),
                       bytes.size(), &count, &error) ||
        !DecodeEdid(bytes.data(), count, HasOption(call, "--force"), edid, &error)) {
        Report(path, 0, RES_DAT_ERR_CONTENT, std::string("not a usable EDID: ") + error.reason,
               error.code == Timing_Error_Code::kChecksum
                   ? "--force decodes it despite the checksum"
                   : "give the monitor's EDID as 128-byte blocks, binary or a hex dump");
        return false;
    }
    return true;
}

// The monitor's name: --name, else the EDID's.
std::string MonitorName(const Tag_Invocation &call, const Tag_Edid &edid) {
    const std::string *name = FindOption(call, "--name");
    return name != nullptr ? *name : std::string(edid.name);
}

// "range 30-83 kHz, 56-76 Hz, clock up to 150 MHz", or "" without the
// Display Range Limits.
std::string RangeText(const Tag_Edid &edid) {
    if (!edid.range.present)
        return "";
    char text[160];
    snprintf(text, sizeof text, "range %d-%d kHz, %d-%d Hz, clock up to %g MHz",
             edid.range.h_min_khz, edid.range.h_max_khz, edid.range.v_min_hz, edid.range.v_max_hz,
             edid.range.max_clock_khz / 1000.0);
    return text;
}

std::string BlockIdOf(int32_t number, const Tag_Video_Timing &t) {
    return "T" + std::to_string(number) + ":" + std::to_string(t.h_active) + "x" +
           std::to_string(t.v_active) + "x" + std::to_string(t.nominal_refresh);
}

} // namespace

int RunEdid(const Tag_Invocation &call) {
    Tag_Edid edid;
    if (!LoadEdid(call, call.args[0], &edid))
        return kExitRefused;
    std::string name = MonitorName(call, edid);
    std::string value;
    if (!NameValue(name, &value))
        return UsageError(call.command,
                          "--name: \"" + Printable(name) + "\" cannot stand in a data file");
    printf("; EDID %d.%d of %s, %d block%s%s%s\n", edid.version, edid.revision,
           Printable(edid.name).c_str(), edid.block_count, edid.block_count == 1 ? "" : "s",
           edid.range.present ? "; " : "", RangeText(edid).c_str());
    for (int32_t kind = 0; kind < kEdidSkipKinds; ++kind)
        if (edid.skipped[kind] > 0)
            printf("; skipped: %d %s\n", edid.skipped[kind],
                   DescribeEdidSkip(static_cast<Edid_Skip>(kind)));
    printf("[M0]\nname=%s\n", Printable(value).c_str());
    for (int32_t i = 0; i < edid.mode_count; ++i)
        printf("timing%d = %s\n", i, BlockIdOf(i, edid.modes[i].timing).c_str());
    for (int32_t i = 0; i < edid.mode_count; ++i) {
        char description[kEdidDescriptionSize];
        char block[kTimingBlockTextSize];
        DescribeEdidMode(&edid.modes[i], description, sizeof description);
        if (!FormatTimingBlock(&edid.modes[i].timing, block, sizeof block))
            block[0] = '\0';
        printf("\n; %s\n[%s]\n%s", description, BlockIdOf(i, edid.modes[i].timing).c_str(), block);
    }
    return kExitOk;
}

int RunImportEdid(const Tag_Invocation &call) {
    Tag_Edid edid;
    if (!LoadEdid(call, call.args[1], &edid))
        return kExitRefused;
    if (edid.mode_count == 0) {
        Report(call.args[1], 0, RES_DAT_ERR_CONTENT,
               "the EDID names no mode a timing block can hold", "nothing was changed");
        return kExitRefused;
    }
    std::vector<Tag_Video_Timing> modes;
    for (int32_t i = 0; i < edid.mode_count; ++i)
        modes.push_back(edid.modes[i].timing);
    return AddModesToFile(call.args[0], MonitorName(call, edid), true, modes);
}

bool ReadEdidRange(const Tag_Invocation &call, const std::string &path, Tag_Lint_Range *range,
                   int *status) {
    Tag_Edid edid;
    if (!LoadEdid(call, path, &edid)) {
        *status = kExitUsage;
        return false;
    }
    if (!edid.range.present) {
        Report(path, 0, RES_DAT_ERR_CONTENT, "the EDID has no Display Range Limits",
               "give the range with --range instead");
        *status = kExitUsage;
        return false;
    }
    *range =
        Tag_Lint_Range{edid.range.h_min_khz * 1e3, edid.range.h_max_khz * 1e3,
                       static_cast<double>(edid.range.v_min_hz),
                       static_cast<double>(edid.range.v_max_hz), edid.range.max_clock_khz * 1e3};
    return true;
}

bool WriteTimingPicture(const std::string &file, const std::string &out, const char *title,
                        const Tag_Timing_Info *info) {
    Tag_Timing_Block_Report report;
    Tag_Timing_Error error{};
    std::vector<char> svg(kTimingSvgSize);
    if (!ParseTimingBlock(info->info_block, &report) ||
        !RenderTimingSvg(&report.timing, title, svg.data(), svg.size(), &error)) {
        Report(file, 0, RES_DAT_ERR_CONTENT,
               "timing block " + BlockId(info) + " is no whole mode to draw" +
                   (error.reason[0] != '\0' ? std::string(": ") + error.reason : std::string()),
               "run 'orvexres lint " + ShellWord(file) + "' to see what is wrong with it");
        return false;
    }
    FILE *fp = fopen(out.c_str(), "wb");
    size_t length = strlen(svg.data());
    bool ok = fp != nullptr && fwrite(svg.data(), 1, length, fp) == length;
    if (fp != nullptr && fclose(fp) != 0)
        ok = false;
    if (!ok)
        Report(out, 0, RES_DAT_ERR_DATA_FILE, "the picture cannot be written",
               "check that the directory exists, that you may write there and that the disk "
               "has room");
    return ok;
}
