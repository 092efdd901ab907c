// orvexres: adding modes to a data file in place (add-mode, import-edid).
//
// The file is edited as text: new timing blocks go after the last block, a new
// monitor block after the last monitor block, a new resolution line at the end
// of its monitor's block; every other byte stays as it was, line ends
// included (new lines take the file's own line end). The result is written
// beside the file, loaded and linted, and only then renamed over it.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#ifdef _WIN32
#include <process.h>
#include <windows.h>
#else
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

// A block's number as its header gives it ("[T7:..." gives 7), or -1.
int64_t HeaderNumber(const std::string &header) {
    if (header.size() < 3 || header[0] != '[' || header[1] != 'T')
        return -1;
    int64_t n = 0;
    size_t i = 2;
    for (; i < header.size() && header[i] >= '0' && header[i] <= '9' && i < 12; ++i)
        n = n * 10 + (header[i] - '0');
    return i > 2 && i < header.size() && header[i] == ':' ? n : -1;
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

} // namespace

bool NameValue(const std::string &name, std::string *value) {
    if (name.empty() || name.find_first_of("\"\r\n\x1a") != std::string::npos ||
        name.find('\0') != std::string::npos || name.size() > 240)
        return false;
    bool plain = name.find(';') == std::string::npos && name[0] != ' ';
    *value = plain ? name : "\"" + name + "\"";
    return true;
}

namespace {

struct Tag_Insert {
    size_t at;
    std::string text;
};

struct Tag_Error_Count {
    size_t errors;
    Tag_Lint_Finding *first;
};

void CountErrors(void *context, const Tag_Lint_Finding *finding) {
    Tag_Error_Count *count = static_cast<Tag_Error_Count *>(context);
    if (!kLintRules[finding->rule].error)
        return;
    if (count->errors++ == 0 && count->first != nullptr)
        *count->first = *finding;
}

// Lint errors of the loaded database (SIZE_MAX when lint could not run), and
// the first of them.
size_t LintErrors(Tag_Lint_Finding *first = nullptr) {
    Tag_Error_Count count{0, first};
    return LintDatabase(nullptr, CountErrors, &count) ? count.errors : SIZE_MAX;
}

// Put the new file in the old one's place in one step.
bool MoveOver(const std::string &from, const std::string &to) {
#ifdef _WIN32
    return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
#else
    return rename(from.c_str(), to.c_str()) == 0;
#endif
}

int Refuse(const std::string &file, const std::string &detail, const std::string &hint) {
    Report(file, 0, RES_DAT_ERR_CONTENT, detail, hint);
    return kExitRefused;
}

} // namespace

int AddModesToFile(const std::string &file, const std::string &monitor_name, bool new_monitor,
                   const std::vector<Tag_Video_Timing> &modes) {
    Tag_File_Text text;
    Tag_Database db;
    if (!db.Load(file))
        return kExitRefused;
    if (!ReadFileBytes(file, SIZE_MAX - 1, &text.bytes))
        return Refuse(file, "the file cannot be read again", "check the file");
    SplitLines(&text);
    size_t errors_before = LintErrors();

    const Tag_Monitor_Entry *monitor =
        FindMonitorEntry(monitor_name.c_str(), GetMonitorEntryHead());
    if (new_monitor && monitor != nullptr)
        return Refuse(file, "the file already has a monitor named \"" + monitor_name + "\"",
                      "give the monitor another name with --name");
    if (!new_monitor && monitor == nullptr) {
        FindMonitor(file, monitor_name); // reports it
        return kExitRefused;
    }
    std::string name_value;
    if (new_monitor && !NameValue(monitor_name, &name_value))
        return Refuse(file, "the monitor name \"" + monitor_name + "\" cannot stand in a data file",
                      "give the monitor another name with --name");

    // The blocks there are, their numbers, and the last monitor and block.
    int64_t next_number = 0;
    int32_t last_block_line = 0;
    for (const Tag_Timing_Info *t = GetTimingInfoHead(); t != nullptr; t = t->next) {
        int32_t first = 0;
        int32_t last = 0;
        if (!GetResDatTimingLines(t, &first, &last))
            continue;
        next_number = std::max(next_number, HeaderNumber(LineText(text, first)) + 1);
        last_block_line = std::max(last_block_line, last);
    }

    // Each mode's block: an existing one equal in every number, one made
    // earlier in this run, or a new one numbered after the highest.
    std::string eol = text.eol;
    std::vector<std::string> ids; // the full id of each mode's block, once each
    std::vector<std::pair<Tag_Video_Timing, std::string>> made;
    std::string blocks; // the new blocks' text
    size_t reused = 0;
    for (const Tag_Video_Timing &mode : modes) {
        char block[kTimingBlockTextSize];
        Tag_Video_Timing wanted;
        if (!FormatTimingBlock(&mode, block, sizeof block) || !ReadBack(block, &wanted))
            return Refuse(file, "a mode cannot be written as a timing block", "check the source");
        std::string id;
        const Tag_Timing_Info *existing = nullptr;
        for (const Tag_Timing_Info *t = GetTimingInfoHead(); t != nullptr && id.empty();
             t = t->next) {
            Tag_Video_Timing have;
            int32_t first = 0;
            int32_t last = 0;
            if (ReadBack(t->info_block, &have) && SameTiming(have, wanted) &&
                GetResDatTimingLines(t, &first, &last) &&
                HeaderNumber(LineText(text, first)) >= 0) {
                id = "T" + std::to_string(HeaderNumber(LineText(text, first))) + ":" +
                     t->res_id_string + "x" + t->refresh_string;
                existing = t;
            }
        }
        for (const auto &earlier : made)
            if (id.empty() && SameTiming(earlier.first, wanted))
                id = earlier.second;
        if (id.empty()) {
            id = "T" + std::to_string(next_number++) + ":" + std::to_string(wanted.h_active) + "x" +
                 std::to_string(wanted.v_active) + "x" + std::to_string(wanted.nominal_refresh);
            blocks += eol + "[" + id + "]" + eol + WithEol(block, eol);
            made.emplace_back(wanted, id);
        }
        if (existing != nullptr && monitor != nullptr)
            for (const Tag_Resolution_Entry *e = monitor->res_list; e != nullptr; e = e->next)
                if (e->timing_info == existing)
                    return Refuse(file,
                                  "monitor " + Printable(monitor->monitor_id_string) +
                                      " already offers this mode (block " + id + ")",
                                  "nothing was changed");
        if (std::find(ids.begin(), ids.end(), id) != ids.end())
            continue;
        ids.push_back(id);
        reused += existing != nullptr;
    }

    // Where the new lines go, and what they are.
    std::vector<Tag_Insert> inserts;
    auto ended = [&text](int32_t line) {
        size_t at = AfterLine(text, line);
        return at > 0 && text.bytes[at - 1] == '\n';
    };
    if (!blocks.empty()) {
        int32_t after = last_block_line;
        std::string lead = after > 0 && !ended(after) ? eol : "";
        if (after == 0) { // no block yet: at the end of the file
            after = static_cast<int32_t>(text.line_start.size());
            lead = !text.bytes.empty() && text.bytes.back() != '\n' ? eol : "";
        }
        inserts.push_back({AfterLine(text, after), lead + blocks});
    }
    std::string lines;
    int entry = 0;
    if (!new_monitor)
        entry = static_cast<int>(CountResolutions(monitor));
    for (const std::string &id : ids)
        lines += "timing" + std::to_string(entry++) + " = " + id + eol;
    if (new_monitor) {
        int32_t after = 0;
        int monitors = 0;
        for (const Tag_Monitor_Entry *m = GetMonitorEntryHead(); m != nullptr; m = m->next) {
            int32_t first = 0;
            int32_t last = 0;
            ++monitors;
            if (GetResDatMonitorLines(m, &first, &last))
                after = std::max(after, last);
        }
        std::string block =
            "[M" + std::to_string(monitors) + "]" + eol + "name=" + name_value + eol + lines;
        if (after > 0) {
            inserts.push_back({AfterLine(text, after), (ended(after) ? "" : eol) + eol + block});
        } else {
            // No monitor yet: before the first block, or at the end.
            int32_t first_block = 0;
            int32_t last = 0;
            if (GetTimingInfoHead() != nullptr &&
                GetResDatTimingLines(GetTimingInfoHead(), &first_block, &last) && first_block > 0)
                inserts.push_back(
                    {text.line_start[static_cast<size_t>(first_block) - 1], block + eol});
            else
                inserts.push_back(
                    {text.bytes.size(),
                     (text.bytes.empty() || text.bytes.back() == '\n' ? eol : eol + eol) + block});
        }
    } else {
        int32_t first = 0;
        int32_t last = 0;
        if (!GetResDatMonitorLines(monitor, &first, &last))
            return Refuse(file, "the monitor's block cannot be found in the file",
                          "check the file");
        inserts.push_back({AfterLine(text, last), (ended(last) ? "" : eol) + lines});
    }

    std::string result = text.bytes;
    std::stable_sort(inserts.begin(), inserts.end(),
                     [](const Tag_Insert &a, const Tag_Insert &b) { return a.at > b.at; });
    for (const Tag_Insert &insert : inserts)
        result.insert(insert.at, insert.text);

    // Written beside the file, loaded and linted, then renamed over it.
    std::string temporary = file + ".orvexres." + std::to_string(static_cast<long>(getpid()));
    FILE *fp = fopen(temporary.c_str(), "wb");
    bool written = fp != nullptr && fwrite(result.data(), 1, result.size(), fp) == result.size();
    if (fp != nullptr && fclose(fp) != 0)
        written = false;
    if (!written) {
        remove(temporary.c_str());
        Report(file, 0, RES_DAT_ERR_DATA_FILE, "the new file cannot be written beside it",
               "check that you may write in its directory and that the disk has room");
        return kExitRefused;
    }
    ResDatReset();
    if (!ReadDatFile(temporary.c_str())) {
        std::string detail = GetResDatErrDetail();
        remove(temporary.c_str());
        return Refuse(file, "the file with the new modes does not load: " + detail,
                      "nothing was changed; report this with the file");
    }
    Tag_Lint_Finding first_error{};
    size_t errors_after = LintErrors(&first_error);
    if (errors_after > errors_before) {
        remove(temporary.c_str());
        return Refuse(file,
                      "the new modes bring lint errors, the first at line " +
                          std::to_string(first_error.line) + ": " + first_error.text + " [" +
                          kLintRules[first_error.rule].name + "]",
                      "nothing was changed");
    }
    if (!MoveOver(temporary, file)) {
        remove(temporary.c_str());
        Report(file, 0, RES_DAT_ERR_DATA_FILE, "the file cannot be replaced",
               "check that you may write in its directory");
        return kExitRefused;
    }
    printf("%s: %s %s: %zu mode%s (%zu new block%s, %zu reused)\n", Printable(file).c_str(),
           new_monitor ? "added monitor" : "added to monitor", Printable(monitor_name).c_str(),
           ids.size(), ids.size() == 1 ? "" : "s", made.size(), made.size() == 1 ? "" : "s",
           reused);
    return kExitOk;
}

int RunAddMode(const Tag_Invocation &call) {
    Tag_Video_Timing timing;
    int status = TimingFromSource(call, &timing);
    if (status != kExitOk)
        return status;
    return AddModesToFile(call.args[0], call.args[1], false, {timing});
}
