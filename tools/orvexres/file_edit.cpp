// orvexres: adding modes to a data file in place (add-mode, import-edid), in
// three steps:
//   plan    which block each mode is listed as: an existing one equal to it
//           in every number, one made earlier in the run, or a new one
//           numbered after the highest; a resolution the monitor has already
//           is refused;
//   place   where the new lines go in the file's text: new timing blocks after
//           the last block, a new monitor block after the last monitor
//           block, a new resolution line at the end of its monitor's block;
//           every other byte stays as it was, line ends included (new lines
//           take the file's own line end);
//   commit  the result written beside the file (beside the target of a
//           symbolic link, with the file's permissions), loaded and linted,
//           and only then renamed over it.
// The lines themselves are composed by the database (resdat.h), which alone
// knows the file's syntax.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#ifdef _WIN32
#include <process.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <string>
#include <vector>

#include "timing/timing.h"
#include "tools/lint/lint.h"
#include "tools/orvexres/orvexres.h"

namespace {

// The file's bytes as lines, each with its line end (the last one may have
// none).
struct Tag_File_Text {
    std::string bytes;
    std::vector<size_t> line_start; // offset of each line (line n at n - 1)
    std::string eol;                // the file's line end
};

void SplitLines(Tag_File_Text *text) {
    const std::string &b = text->bytes;
    text->line_start.push_back(0);
    for (size_t i = 0; i < b.size(); ++i)
        if (b[i] == '\n' && i + 1 < b.size())
            text->line_start.push_back(i + 1);
    size_t lf = b.find('\n');
    text->eol = lf == std::string::npos || (lf > 0 && b[lf - 1] == '\r') ? "\r\n" : "\n";
}

// Where the text after line `line` (from 1) begins: after its line end.
size_t AfterLine(const Tag_File_Text &text, int32_t line) {
    size_t index = static_cast<size_t>(line);
    return index < text.line_start.size() ? text.line_start[index] : text.bytes.size();
}

// Whether line `line` (from 1) has its line end.
bool Ended(const Tag_File_Text &text, int32_t line) {
    size_t at = AfterLine(text, line);
    return at > 0 && text.bytes[at - 1] == '\n';
}

// The line's text without its line end.
std::string LineText(const Tag_File_Text &text, int32_t line) {
    size_t start = text.line_start[static_cast<size_t>(line) - 1];
    size_t end = text.bytes.find('\n', start);
    if (end == std::string::npos)
        end = text.bytes.size();
    if (end > start && text.bytes[end - 1] == '\r')
        --end;
    return text.bytes.substr(start, end - start);
}

// Composed lines ("\n" line ends) with the file's line end.
std::string WithEol(const std::string &lines, const std::string &eol) {
    std::string out;
    for (char c : lines) {
        if (c == '\n')
            out += eol;
        else
            out += c;
    }
    return out;
}

// The timing a block text reads as, normalised as a written block reads back.
bool ReadBack(const char *block, Tag_Video_Timing *timing) {
    Tag_Timing_Block_Report report;
    if (!ParseTimingBlock(block, &report))
        return false;
    *timing = report.timing;
    return true;
}

// Equal in every number of a block, the nominal refresh (vlr) too.
bool SameTiming(const Tag_Video_Timing &a, const Tag_Video_Timing &b) {
    return SameTimingNumbers(&a, &b) && a.nominal_refresh == b.nominal_refresh;
}

int Refuse(const std::string &file, int32_t line, const std::string &detail,
           const std::string &hint) {
    Report(file, line, RES_DAT_ERR_CONTENT, detail, hint);
    return kExitRefused;
}

struct Tag_Error_Count {
    size_t errors;
    Tag_Lint_Finding *first;
};

void CountErrors(void *context, const Tag_Lint_Finding *finding) {
    Tag_Error_Count *count = static_cast<Tag_Error_Count *>(context);
    if (!GetLintRule(finding->rule).error)
        return;
    if (count->errors++ == 0 && count->first != nullptr)
        *count->first = *finding;
}

// Lint errors of the loaded database (SIZE_MAX when lint could not run), and
// the first of them.
size_t LintErrors(Tag_Lint_Finding *first = nullptr) {
    Tag_Error_Count count{0, first};
    return LintDatabase(nullptr, nullptr, CountErrors, &count) ? count.errors : SIZE_MAX;
}

// ---------------------------------------------------------------------------
// The edit and its plan
// ---------------------------------------------------------------------------

// One run's edit: the file loaded (the database holds it) and as text.
struct Tag_Edit {
    std::string file;
    std::string monitor_name;
    const Tag_Monitor_Entry *monitor; // the monitor added to; null for a new one
    Tag_File_Text text;
    size_t errors_before;
};

// What the run adds.
struct Tag_Edit_Plan {
    std::vector<std::string> mode_ids;                          // the block id of each mode
    std::vector<std::string> resolutions;                       // and its resolution
    std::vector<std::pair<Tag_Video_Timing, std::string>> made; // new blocks and their ids
    std::string blocks;                                         // their text
    size_t reused = 0;
};

// The id of a block as its header in the file gives it; "" when unknown.
std::string FileBlockId(const Tag_Edit &edit, const Tag_Timing_Info *info) {
    int32_t first = 0;
    int32_t last = 0;
    char id[kResDatLineSize];
    if (!GetResDatTimingLines(info, &first, &last) ||
        !GetBlockHeaderId(LineText(edit.text, first).c_str(), id, sizeof id))
        return "";
    return id;
}

// Load the file, read it as text and check what the edit needs; kExitOk, or
// the status with the refusal reported.
int OpenEdit(Tag_Database *db, const std::string &file, const std::string &monitor_name,
             bool new_monitor, Tag_Edit *edit) {
    edit->file = file;
    edit->monitor_name = monitor_name;
    if (!db->Load(file))
        return kExitRefused;
    if (!ReadFileBytes(file, SIZE_MAX - 1, &edit->text.bytes))
        return Refuse(file, 0, "the file cannot be read again", "check the file");
    SplitLines(&edit->text);
    if (int32_t dropped = GetResDatDroppedLine())
        return Refuse(file, dropped, "the file's last line has no line end: the installer drops it",
                      "end the line with a line end, then run the command again");
    edit->errors_before = LintErrors();
    edit->monitor = FindMonitorEntry(monitor_name.c_str(), GetMonitorEntryHead());
    char lines[2 * kResDatLineSize];
    if (new_monitor && edit->monitor != nullptr)
        return Refuse(file, 0, "the file already has a monitor named \"" + monitor_name + "\"",
                      "give the monitor another name with --name");
    if (new_monitor && !ComposeMonitorBlock(lines, sizeof lines, 0, monitor_name.c_str()))
        return Refuse(file, 0,
                      "the monitor name \"" + monitor_name + "\" cannot stand in a data file",
                      "give the monitor another name with --name");
    if (!new_monitor && edit->monitor == nullptr) {
        FindMonitor(file, monitor_name); // reports it
        return kExitRefused;
    }
    return kExitOk;
}

// The number after the highest block number of the file.
int64_t NextBlockNumber(const Tag_Edit &edit) {
    int64_t next = 0;
    int64_t number = 0;
    for (const Tag_Timing_Info *t = GetTimingInfoHead(); t != nullptr; t = t->next)
        if (GetBlockNumber(FileBlockId(edit, t).c_str(), &number))
            next = std::max(next, number + 1);
    return next;
}

// A mode whose resolution the monitor has already, or is given earlier in the
// run: refused, naming the block it has. kExitOk when it has not.
int RefuseResolutionListed(const Tag_Edit &edit, const Tag_Edit_Plan &plan,
                           const Tag_Video_Timing &wanted) {
    std::string resolution = ResolutionOf(wanted);
    std::string id;
    bool same = false;
    const Tag_Resolution_Entry *entry =
        edit.monitor != nullptr ? FindResolutionEntry(resolution.c_str(), edit.monitor->res_list)
                                : nullptr;
    if (entry != nullptr) {
        Tag_Video_Timing have;
        id = FileBlockId(edit, entry->timing_info);
        same = ReadBack(entry->timing_info->info_block, &have) && SameTiming(have, wanted);
    }
    for (size_t i = 0; i < plan.resolutions.size() && id.empty(); ++i)
        if (plan.resolutions[i] == resolution)
            id = plan.mode_ids[i];
    if (id.empty())
        return kExitOk;
    std::string monitor =
        edit.monitor != nullptr ? edit.monitor->monitor_id_string : edit.monitor_name;
    if (same)
        return Refuse(edit.file, 0,
                      "monitor " + monitor + " already offers this mode (block " + id + ")",
                      "nothing was changed");
    return Refuse(edit.file, 0,
                  "monitor " + monitor + " already has resolution " + resolution + ", as block " +
                      id + ", which the installer and the tools would use instead of the new mode",
                  "nothing was changed; to change that mode, edit block " + id);
}

// The block a mode is listed as: an existing block equal to it in every
// number, one made earlier in the run, or a new one (its text added to the
// plan). Its id, or "" when no block can hold the mode.
std::string BlockFor(const Tag_Edit &edit, const Tag_Video_Timing &wanted, const char *block,
                     int64_t *next_number, Tag_Edit_Plan *plan) {
    for (const Tag_Timing_Info *t = GetTimingInfoHead(); t != nullptr; t = t->next) {
        Tag_Video_Timing have;
        std::string id;
        if (ReadBack(t->info_block, &have) && SameTiming(have, wanted) &&
            !(id = FileBlockId(edit, t)).empty()) {
            ++plan->reused;
            return id;
        }
    }
    for (const auto &earlier : plan->made)
        if (SameTiming(earlier.first, wanted))
            return earlier.second;
    char id[kResDatLineSize];
    char header[kResDatLineSize];
    if (!ComposeBlockId(id, sizeof id, (*next_number)++, wanted.h_active, wanted.v_active,
                        wanted.nominal_refresh) ||
        !ComposeTimingHeader(header, sizeof header, id))
        return "";
    plan->blocks += "\n" + std::string(header) + block;
    plan->made.emplace_back(wanted, id);
    return id;
}

// Plan: the block of each mode; kExitOk, or the status with the refusal
// reported.
int PlanModes(const Tag_Edit &edit, const std::vector<Tag_Video_Timing> &modes,
              Tag_Edit_Plan *plan) {
    int64_t next_number = NextBlockNumber(edit);
    for (const Tag_Video_Timing &mode : modes) {
        char block[kTimingBlockTextSize];
        Tag_Video_Timing wanted;
        if (!FormatTimingBlock(&mode, block, sizeof block) || !ReadBack(block, &wanted))
            return Refuse(edit.file, 0, "a mode cannot be written as a timing block",
                          "check the source");
        if (int status = RefuseResolutionListed(edit, *plan, wanted); status != kExitOk)
            return status;
        std::string id = BlockFor(edit, wanted, block, &next_number, plan);
        if (id.empty())
            return Refuse(edit.file, 0, "a mode's block id cannot stand in a data file",
                          "check the source");
        plan->mode_ids.push_back(id);
        plan->resolutions.push_back(ResolutionOf(wanted));
    }
    return kExitOk;
}

// ---------------------------------------------------------------------------
// Place
// ---------------------------------------------------------------------------

struct Tag_Insert {
    size_t at;
    std::string text; // "\n" line ends
};

// The last line of the blocks of a list the load read; 0 when it read none.
template <typename Record>
int32_t LastLineOf(const Record *list, BOOLEAN (*lines)(const Record *, int32_t *, int32_t *)) {
    int32_t after = 0;
    for (const Record *record = list; record != nullptr; record = record->next) {
        int32_t first = 0;
        int32_t last = 0;
        if (lines(record, &first, &last))
            after = std::max(after, last);
    }
    return after;
}

// The new blocks: after the last block, or at the end of a file without one.
void PlaceBlocks(const Tag_Edit &edit, const Tag_Edit_Plan &plan, std::vector<Tag_Insert> *out) {
    if (plan.blocks.empty())
        return;
    int32_t after = LastLineOf(GetTimingInfoHead(), GetResDatTimingLines);
    const std::string &bytes = edit.text.bytes;
    if (after == 0) { // no block yet
        bool ended = bytes.empty() || bytes.back() == '\n';
        out->push_back({bytes.size(), (ended ? "" : "\n") + plan.blocks});
        return;
    }
    out->push_back(
        {AfterLine(edit.text, after), (Ended(edit.text, after) ? "" : "\n") + plan.blocks});
}

// A new monitor block: after the last monitor block, else before the first
// timing block, else at the end of the file.
void PlaceMonitor(const Tag_Edit &edit, const std::string &block, std::vector<Tag_Insert> *out) {
    int32_t after = LastLineOf(GetMonitorEntryHead(), GetResDatMonitorLines);
    const Tag_File_Text &text = edit.text;
    int32_t first_block = 0;
    int32_t last = 0;
    if (after > 0)
        out->push_back({AfterLine(text, after), (Ended(text, after) ? "\n" : "\n\n") + block});
    else if (GetResDatTimingLines(GetTimingInfoHead(), &first_block, &last) && first_block > 0)
        out->push_back({text.line_start[static_cast<size_t>(first_block) - 1], block + "\n"});
    else
        out->push_back({text.bytes.size(),
                        (text.bytes.empty() || text.bytes.back() == '\n' ? "\n" : "\n\n") + block});
}

// Place: the file's text with the new lines; false (reported) when a line
// cannot be composed.
bool PlaceEdit(const Tag_Edit &edit, const Tag_Edit_Plan &plan, std::string *result) {
    std::string lines;
    char line[2 * kResDatLineSize];
    int64_t number =
        edit.monitor != nullptr ? static_cast<int64_t>(CountResolutions(edit.monitor)) : 0;
    for (const std::string &id : plan.mode_ids) {
        if (!ComposeResolutionLine(line, sizeof line, number++, id.c_str())) {
            Refuse(edit.file, 0, "block id " + id + " cannot stand in a resolution line",
                   "nothing was changed");
            return false;
        }
        lines += line;
    }
    std::vector<Tag_Insert> inserts;
    PlaceBlocks(edit, plan, &inserts);
    if (edit.monitor == nullptr) {
        int64_t monitors = 0;
        for (const Tag_Monitor_Entry *m = GetMonitorEntryHead(); m != nullptr; m = m->next)
            ++monitors;
        ComposeMonitorBlock(line, sizeof line, monitors, edit.monitor_name.c_str());
        PlaceMonitor(edit, line + lines, &inserts);
    } else {
        int32_t first = 0;
        int32_t last = 0;
        if (!GetResDatMonitorLines(edit.monitor, &first, &last)) {
            Refuse(edit.file, 0, "the monitor's block cannot be found in the file",
                   "check the file");
            return false;
        }
        inserts.push_back(
            {AfterLine(edit.text, last), (Ended(edit.text, last) ? "" : "\n") + lines});
    }
    *result = edit.text.bytes;
    std::stable_sort(inserts.begin(), inserts.end(),
                     [](const Tag_Insert &a, const Tag_Insert &b) { return a.at > b.at; });
    for (const Tag_Insert &insert : inserts)
        result->insert(insert.at, WithEol(insert.text, edit.text.eol));
    return true;
}

// ---------------------------------------------------------------------------
// Commit
// ---------------------------------------------------------------------------

// The file an edit replaces: the target of a symbolic link (every link
// followed), else the file itself.
std::string EditTarget(const std::string &file) {
#ifdef _WIN32
    return file;
#else
    char *resolved = realpath(file.c_str(), nullptr);
    if (resolved == nullptr)
        return file;
    std::string target = resolved;
    free(resolved);
    return target;
#endif
}

// Write bytes to a new file beside target, with target's permissions; its
// name, or "" (nothing left behind) when it cannot be written whole.
std::string WriteBeside(const std::string &target, const std::string &bytes) {
    std::string temporary = target + ".orvexres." + std::to_string(static_cast<long>(getpid()));
#ifdef _WIN32
    FILE *fp = fopen(temporary.c_str(), "wb");
#else
    struct stat info;
    int fd = stat(target.c_str(), &info) == 0
                 ? open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600)
                 : -1;
    if (fd >= 0) {
        // The owner and group stay where the system lets them (for root);
        // otherwise the new file is the user's own, as any file they write.
        if (fchown(fd, info.st_uid, info.st_gid) != 0) {
        }
        if (fchmod(fd, info.st_mode & 07777) != 0) {
            close(fd);
            remove(temporary.c_str());
            fd = -1;
        }
    }
    FILE *fp = fd >= 0 ? fdopen(fd, "wb") : nullptr;
    if (fd >= 0 && fp == nullptr)
        close(fd);
#endif
    bool written = fp != nullptr && fwrite(bytes.data(), 1, bytes.size(), fp) == bytes.size() &&
                   fflush(fp) == 0;
#ifndef _WIN32
    written = written && fsync(fileno(fp)) == 0;
#endif
    if (fp != nullptr && fclose(fp) != 0)
        written = false;
    if (written)
        return temporary;
    if (fp != nullptr)
        remove(temporary.c_str());
    return "";
}

// Put the new file in the old one's place in one step.
bool MoveOver(const std::string &from, const std::string &to) {
#ifdef _WIN32
    return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
#else
    return rename(from.c_str(), to.c_str()) == 0;
#endif
}

// Commit: the result written beside the file, loaded and linted, and renamed
// over it only when it loads and brings no new lint error.
int CommitEdit(const Tag_Edit &edit, const std::string &result) {
    const std::string &file = edit.file;
    std::string target = EditTarget(file);
    std::string temporary = WriteBeside(target, result);
    if (temporary.empty()) {
        Report(file, 0, RES_DAT_ERR_DATA_FILE, "the new file cannot be written beside it",
               "check that you may write in its directory and that the disk has room");
        return kExitRefused;
    }
    ResDatReset();
    if (!ReadDatFile(temporary.c_str())) {
        std::string detail = GetResDatErrDetail();
        remove(temporary.c_str());
        return Refuse(file, 0, "the file with the new modes does not load: " + detail,
                      "nothing was changed; report this with the file");
    }
    Tag_Lint_Finding first_error{};
    if (LintErrors(&first_error) > edit.errors_before) {
        remove(temporary.c_str());
        return Refuse(file, 0,
                      "the new modes bring lint errors, the first at line " +
                          std::to_string(first_error.line) + ": " + first_error.text + " [" +
                          GetLintRule(first_error.rule).name + "]",
                      "nothing was changed");
    }
    if (!MoveOver(temporary, target)) {
        remove(temporary.c_str());
        Report(file, 0, RES_DAT_ERR_DATA_FILE, "the file cannot be replaced",
               "check that you may write in its directory");
        return kExitRefused;
    }
    return kExitOk;
}

} // namespace

int AddModesToFile(const std::string &file, const std::string &monitor_name, bool new_monitor,
                   const std::vector<Tag_Video_Timing> &modes,
                   std::vector<std::string> *block_ids) {
    Tag_Database db;
    Tag_Edit edit;
    Tag_Edit_Plan plan;
    std::string result;
    int status = OpenEdit(&db, file, monitor_name, new_monitor, &edit);
    if (status == kExitOk)
        status = PlanModes(edit, modes, &plan);
    if (status == kExitOk && !PlaceEdit(edit, plan, &result))
        status = kExitRefused;
    if (status == kExitOk)
        status = CommitEdit(edit, result);
    if (status != kExitOk)
        return status;
    if (block_ids != nullptr)
        *block_ids = plan.mode_ids;
    size_t count = plan.mode_ids.size();
    size_t made = plan.made.size();
    printf("%s: %s %s: %zu mode%s (%zu new block%s, %zu reused)\n", Printable(file).c_str(),
           new_monitor ? "added monitor" : "added to monitor", Printable(monitor_name).c_str(),
           count, count == 1 ? "" : "s", made, made == 1 ? "" : "s", plan.reused);
    return kExitOk;
}

int RunAddMode(const Tag_Invocation &call) {
    Tag_Video_Timing timing;
    int status = TimingFromSource(call, &timing);
    if (status != kExitOk)
        return status;
    return AddModesToFile(call.args[0], call.args[1], false, {timing});
}
