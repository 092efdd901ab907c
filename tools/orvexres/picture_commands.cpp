// orvexres: pictures as SVG documents: show --svg draws one timing block,
// chart a monitor's modes against its range.
#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

#include "timing/svg.h"
#include "timing/timing.h"
#include "tools/orvexres/orvexres.h"

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
    return WriteOutput(out, svg.data(), strlen(svg.data()), "the picture");
}

namespace {

// "9 modes, 6 inside the range, 2 outside it, 1 over the clock limit", or
// "10 modes" without a range.
std::string ChartCounts(const Tag_Monitor_Modes &modes, const Tag_Range_Option &range) {
    std::string text = std::to_string(modes.timings.size()) + " modes";
    if (!range.given)
        return text;
    size_t places[3] = {};
    for (const Tag_Video_Timing &timing : modes.timings)
        ++places[static_cast<int32_t>(GetChartPlace(&timing, &range.edid))];
    return text + ", " + std::to_string(places[0]) + " inside the range, " +
           std::to_string(places[1]) + " outside it, " + std::to_string(places[2]) +
           " over the clock limit";
}

} // namespace

int RunChart(const Tag_Invocation &call) {
    const std::string &file = call.args[0];
    const std::string *out = FindOption(call, "--svg");
    if (out == nullptr)
        return UsageError(call.command, "chart needs --svg OUT, the file to draw into");
    Tag_Range_Option range;
    if (int status = ReadRangeOption(call, true, kExitRefused, &range); status != kExitOk)
        return status;
    const std::string *edid = FindOption(call, "--edid");
    if (!OutputIsNotInput(file, *out, RES_DAT_ERR_DATA_FILE) ||
        (edid != nullptr && !OutputIsNotInput(*edid, *out, RES_DAT_ERR_DATA_FILE)))
        return kExitRefused;
    Tag_Database db;
    Tag_Monitor_Modes modes;
    if (!db.Load(file) || !ReadMonitorModes(file, call.args[1], &modes))
        return kExitRefused;
    std::vector<Tag_Chart_Mode> points;
    for (size_t i = 0; i < modes.timings.size(); ++i)
        points.push_back({&modes.timings[i], modes.resolutions[i].c_str()});
    const std::string title =
        modes.name + (range.given ? ": " + RangeText(range.edid) : std::string());
    const int32_t count = static_cast<int32_t>(points.size());
    std::vector<char> svg(GetRangeChartSvgSize(count));
    Tag_Timing_Error error{};
    if (!RenderRangeChartSvg(title.c_str(), points.data(), count,
                             range.given ? &range.edid : nullptr, svg.data(), svg.size(), &error)) {
        Report(file, 0, RES_DAT_ERR_CONTENT,
               "monitor " + modes.name + " cannot be drawn: " + error.reason,
               "run 'orvexres list " + ShellWord(file) + " " + ShellWord(modes.name) +
                   "' and 'orvexres lint " + ShellWord(file) + "' to see its modes");
        return kExitRefused;
    }
    if (!WriteOutput(*out, svg.data(), strlen(svg.data()), "the chart"))
        return kExitRefused;
    printf("%s: chart of %s: %s\n", Printable(*out).c_str(), Printable(modes.name).c_str(),
           ChartCounts(modes, range).c_str());
    return kExitOk;
}
