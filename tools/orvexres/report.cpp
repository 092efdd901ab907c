// orvexres: printing texts from data files, reporting refusals, the database
// of a command, and the files it reads and writes.
#include <errno.h>
#include <stdio.h>
#include <string.h>
#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#endif

#include "timing/timing.h"
#include "tools/orvexres/orvexres.h"

static bool IsControl(unsigned char c) {
    return c < 0x20 || c == 0x7F;
}

// The text with control characters shown as \xNN.
std::string Printable(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char ch : text) {
        unsigned char c = static_cast<unsigned char>(ch);
        if (IsControl(c)) {
            char escaped[5];
            snprintf(escaped, sizeof escaped, "\\x%02x", c);
            out += escaped;
        } else {
            out += ch;
        }
    }
    return out;
}

// A header variable's value for the summary line: "-" when unset, in double
// quotes (with \" and \\) when it is empty or holds anything but plain
// characters, so that the line splits at spaces.
std::string SummaryValue(const char *value) {
    if (value == nullptr)
        return "-";
    std::string_view text(value);
    bool plain = !text.empty() && text != "-";
    for (char ch : text) {
        unsigned char c = static_cast<unsigned char>(ch);
        if (c == ' ' || c == '"' || c == '\\' || c == '=' || IsControl(c) || c >= 0x80)
            plain = false;
    }
    if (plain)
        return std::string(text);
    std::string out = "\"";
    for (char ch : text) {
        if (ch == '"' || ch == '\\')
            out += '\\';
        out += ch;
    }
    out += '"';
    return Printable(out);
}

// A name for a shell command in a hint: in double quotes when it holds spaces
// or other characters a shell would split or expand.
std::string ShellWord(std::string_view text) {
    bool plain = !text.empty();
    for (char ch : text) {
        unsigned char c = static_cast<unsigned char>(ch);
        bool safe = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                    strchr("._-/:+,@%", ch) != nullptr;
        if (!safe || c == 0)
            plain = false;
    }
    if (plain)
        return Printable(text);
    std::string out = "\"";
    for (char ch : text) {
        if (ch == '"' || ch == '\\' || ch == '$' || ch == '`')
            out += '\\';
        out += ch;
    }
    out += '"';
    return Printable(out);
}

void PrintWrapped(FILE *out, const std::string &lead, size_t indent, std::string_view text) {
    const size_t kWidth = 79;
    std::string line = lead;
    bool empty = true; // no word on the line yet
    while (!text.empty()) {
        size_t end = text.find(' ');
        std::string_view word = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (!empty && line.size() + 1 + word.size() > kWidth) {
            fprintf(out, "%s\n", line.c_str());
            line.assign(indent, ' ');
            empty = true;
        }
        line += empty ? "" : " ";
        line += word;
        empty = false;
    }
    fprintf(out, "%s\n", line.c_str());
}

// "FILE:LINE: error: DETAIL (code N: meaning)" and "FILE:LINE: hint: HINT".
void Report(const std::string &file, int32_t line, int32_t code, const std::string &detail,
            const std::string &hint) {
    std::string where = Printable(file);
    if (line > 0)
        where += ":" + std::to_string(line);
    fprintf(stderr, "%s: error: %s (code %d: %s)\n", where.c_str(), Printable(detail).c_str(),
            static_cast<int>(code), GetResDatErrMeaning(code));
    fprintf(stderr, "%s: hint: %s\n", where.c_str(), hint.c_str());
}

// Report why ReadDatFile refused the file, with the database's own detail and
// hint for what it found.
void ReportLoadFailure(const std::string &file) {
    int32_t code = res_dat_err_flag;
    ResDatFinding finding = GetResDatErrFinding();
    std::string detail = GetResDatErrDetail();
    std::string hint = GetResDatFindingHint(finding);
    if (finding == RES_DAT_FOUND_CANNOT_OPEN || finding == RES_DAT_FOUND_CANNOT_READ) {
        // The reader does not say why; ask the system once more.
        FILE *probe = fopen(file.c_str(), "rb");
        if (probe == nullptr) {
            int error = errno;
            detail += ": ";
            detail += strerror(error);
        } else {
            fclose(probe);
        }
    } else if (code == RES_DAT_ERR_CONTENT) {
        hint += "; then run 'orvexres check " + ShellWord(file) + "' again";
    }
    Report(file, GetResDatErrLine(), code, detail, hint);
}

bool Tag_Database::Load(const std::string &file) {
    ResDatReset();
    if (ReadDatFile(file.c_str()))
        return true;
    ReportLoadFailure(file);
    return false;
}

// The monitor of that name, or null with the refusal reported.
Tag_Monitor_Entry *FindMonitor(const std::string &file, const std::string &name) {
    Tag_Monitor_Entry *monitor = FindMonitorEntry(name.c_str(), GetMonitorEntryHead());
    if (monitor == nullptr)
        Report(file, 0, RES_DAT_ERR_NOT_FOUND, "no monitor named \"" + name + "\"",
               "run 'orvexres list " + ShellWord(file) + "' to see the monitors");
    return monitor;
}

// The monitor's resolution of that id, or null with the refusal reported.
Tag_Resolution_Entry *FindResolution(const std::string &file, const Tag_Monitor_Entry *monitor,
                                     const std::string &res_id) {
    Tag_Resolution_Entry *entry = FindResolutionEntry(res_id.c_str(), monitor->res_list);
    if (entry == nullptr)
        Report(file, 0, RES_DAT_ERR_NOT_FOUND,
               "monitor " + std::string(monitor->monitor_id_string) + " has no resolution \"" +
                   res_id + "\"",
               "run 'orvexres list " + ShellWord(file) + " " +
                   ShellWord(monitor->monitor_id_string) + "' to see its resolutions");
    return entry;
}

size_t CountResolutions(const Tag_Monitor_Entry *monitor) {
    size_t count = 0;
    for (const Tag_Resolution_Entry *entry = monitor->res_list; entry != nullptr;
         entry = entry->next)
        ++count;
    return count;
}

std::string BlockId(const Tag_Timing_Info *info) {
    char id[kResDatLineSize];
    ComposeTimingId(id, sizeof id, info);
    return id;
}

std::string ResolutionOf(const Tag_Video_Timing &timing) {
    char id[kResDatLineSize];
    ComposeResolutionId(id, sizeof id, timing.h_active, timing.v_active, timing.nominal_refresh);
    return id;
}

bool ReadFileBytes(const std::string &path, size_t limit, std::string *bytes) {
    FILE *fp = path == "-" ? stdin : fopen(path.c_str(), "rb");
    if (fp == nullptr)
        return false;
    char buffer[65536];
    size_t n;
    while (bytes->size() <= limit && (n = fread(buffer, 1, sizeof buffer, fp)) > 0)
        bytes->append(buffer, n);
    bool ok = ferror(fp) == 0 && bytes->size() <= limit;
    if (fp != stdin)
        fclose(fp);
    return ok;
}

#ifdef _WIN32
// The volume and file number of an existing file; false when it cannot be
// opened.
static bool FileIdentity(const std::string &path, BY_HANDLE_FILE_INFORMATION *info) {
    HANDLE handle =
        CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return false;
    bool ok = GetFileInformationByHandle(handle, info) != 0;
    CloseHandle(handle);
    return ok;
}

bool SameFile(const std::string &a, const std::string &b) {
    BY_HANDLE_FILE_INFORMATION x, y;
    return FileIdentity(a, &x) && FileIdentity(b, &y) &&
           x.dwVolumeSerialNumber == y.dwVolumeSerialNumber &&
           x.nFileIndexHigh == y.nFileIndexHigh && x.nFileIndexLow == y.nFileIndexLow;
}
#else
bool SameFile(const std::string &a, const std::string &b) {
    struct stat x, y;
    return stat(a.c_str(), &x) == 0 && stat(b.c_str(), &y) == 0 && x.st_dev == y.st_dev &&
           x.st_ino == y.st_ino;
}
#endif

bool OutputIsNotInput(const std::string &input, const std::string &out, int32_t code) {
    if (!SameFile(input, out))
        return true;
    Report(out, 0, code,
           "the output is the input file itself (" + input +
               "): writing it would destroy the input",
           "give another output file");
    return false;
}

bool WriteOutput(const std::string &out, const void *bytes, size_t size, const char *what) {
    FILE *fp = fopen(out.c_str(), "wb");
    bool ok = fp != nullptr && fwrite(bytes, 1, size, fp) == size;
    if (fp != nullptr && fclose(fp) != 0)
        ok = false;
    if (!ok)
        Report(out, 0, RES_DAT_ERR_DATA_FILE, std::string(what) + " cannot be written",
               "check that the directory exists, that you may write there and that the disk "
               "has room");
    return ok;
}

bool ReadMonitorModes(const std::string &file, const std::string &name, Tag_Monitor_Modes *modes) {
    const Tag_Monitor_Entry *monitor = FindMonitor(file, name);
    if (monitor == nullptr)
        return false;
    modes->name = monitor->monitor_id_string;
    for (const Tag_Resolution_Entry *e = monitor->res_list; e != nullptr; e = e->next) {
        Tag_Timing_Block_Report report;
        if (!ParseTimingBlock(e->timing_info->info_block, &report)) {
            int32_t first = 0;
            int32_t last = 0;
            GetResDatTimingLines(e->timing_info, &first, &last);
            Report(file, first, RES_DAT_ERR_CONTENT,
                   "timing block " + BlockId(e->timing_info) + " of monitor " + modes->name +
                       " is no whole mode when read by key",
                   "run 'orvexres lint " + ShellWord(file) + "' to see what is wrong with it");
            return false;
        }
        modes->timings.push_back(report.timing);
        modes->resolutions.push_back(e->res_id_string);
        modes->blocks.push_back(BlockId(e->timing_info));
    }
    return true;
}

void ReportOutOfMemory(const std::string &file) {
    Report(file, 0, RES_DAT_ERR_OUT_OF_MEMORY, GetResDatErrMeaning(RES_DAT_ERR_OUT_OF_MEMORY),
           GetResDatFindingHint(RES_DAT_FOUND_NO_MEMORY));
}

bool ParseWholeNumber(std::string_view text, uint64_t max, uint64_t *value) {
    if (text.empty() || text.size() > 19)
        return false;
    uint64_t number = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
        number = number * 10 + static_cast<uint64_t>(c - '0');
    }
    if (number > max)
        return false;
    *value = number;
    return true;
}
