// orvexres diff: two data files compared by what they mean (tools/diff), one
// line a difference.
#include <stdio.h>

#include <string>

#include "tools/diff/diff.h"
#include "tools/orvexres/orvexres.h"

namespace {

// A file's snapshot, released when the command ends, whatever path it takes.
struct Tag_Snapshot_Holder {
    Tag_Diff_Snapshot snapshot{};
    ~Tag_Snapshot_Holder() { FreeDiffSnapshot(&snapshot); }
};

// Load the file and take its snapshot (the database is free again after);
// kExitOk, or the status with the fault reported.
int Take(const std::string &file, Tag_Diff_Snapshot *snapshot) {
    Tag_Database db;
    if (!db.Load(file))
        return kExitUnread;
    if (TakeDiffSnapshot(snapshot))
        return kExitOk;
    ReportOutOfMemory(file);
    return kExitRefused;
}

// One line of a difference (the help of diff gives the forms), counted.
void PrintDifference(void *context, const Tag_Diff_Item *item) {
    ++*static_cast<size_t *>(context);
    const std::string monitor = "monitor " + SummaryValue(item->monitor);
    std::string resolution;
    if (item->resolution != nullptr)
        resolution = " resolution " + SummaryValue(item->resolution) +
                     (item->occurrence > 1 ? "#" + std::to_string(item->occurrence) : "");
    const std::string change =
        SummaryValue(item->old_value) + " -> " + SummaryValue(item->new_value);
    switch (item->what) {
    case Diff_What::kVariable:
        printf("~ variable %s: %s\n", GetDiffVariableName(item->variable), change.c_str());
        break;
    case Diff_What::kMonitorAdded:
    case Diff_What::kModeAdded:
        printf("+ %s%s\n", monitor.c_str(), resolution.c_str());
        break;
    case Diff_What::kMonitorRemoved:
    case Diff_What::kModeRemoved:
        printf("- %s%s\n", monitor.c_str(), resolution.c_str());
        break;
    case Diff_What::kMonitorName:
        printf("~ %s name: %s\n", monitor.c_str(), change.c_str());
        break;
    case Diff_What::kPosition:
        printf("~ %s%s position: %s\n", monitor.c_str(), resolution.c_str(), change.c_str());
        break;
    case Diff_What::kField:
        printf("~ %s%s %s: %s\n", monitor.c_str(), resolution.c_str(),
               item->field >= 0 && item->field < kTimingFieldCount ? timing_field_keys[item->field]
                                                                   : "?",
               change.c_str());
        break;
    }
}

} // namespace

int RunDiff(const Tag_Invocation &call) {
    Tag_Snapshot_Holder a;
    Tag_Snapshot_Holder b;
    if (int status = Take(call.args[0], &a.snapshot); status != kExitOk)
        return status;
    if (int status = Take(call.args[1], &b.snapshot); status != kExitOk)
        return status;
    size_t differences = 0;
    if (!CompareDiffSnapshots(&a.snapshot, &b.snapshot, PrintDifference, &differences)) {
        ReportOutOfMemory(call.args[0]);
        return kExitRefused;
    }
    return differences > 0 ? kExitRefused : kExitOk;
}
