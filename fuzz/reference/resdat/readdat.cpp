// The resolution data file reader, and the module state it fills: the two list
// heads and the header variables.
//
// The file is read in binary mode and the text-file rules are applied here, so
// that every platform reads alike: a CR LF pair is one line end (LF), a lone LF
// ends a line, a lone CR is an ordinary character, and Ctrl-Z ends the file.
// Lines arrive in pieces of at most 255 characters (line end included), as a
// 256-byte line buffer takes them; a longer line is handled as several lines.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "resdat/internal.h"
#include "resdat/resdat.h"

namespace {

struct Tag_Var_Entry {
    const char *id;         // the variable's key
    char *data;             // the value last read for it during a load, or null
    char **var;             // the module variable that receives the value
    unsigned char critical; // 1 when the file must give the variable
};

constexpr size_t kLineBufferSize = 256;
constexpr size_t kScratchSize = 5120; // a timing block's text and its NUL
constexpr char kCtrlZ = 0x1A;

// Buffered reading of one file in pieces, as the line buffer takes them.
struct LineSource {
    FILE *fp;
    size_t pos;
    size_t len;
    bool at_end;        // end of the file or Ctrl-Z reached (sticky)
    bool failed;        // a read error
    int32_t line;       // the line number of the piece last read, from 1
    bool line_complete; // the piece last read ended its line
    char buf[16384];
};

enum ReadResult { kPiece, kNoPiece };

} // namespace

static Tag_Monitor_Entry *monitor_list = nullptr;
static Tag_Timing_Info *timing_list = nullptr;

static char *bus_type = nullptr;
static char *mem_addr = nullptr;
static char *default_res = nullptr;
static char *mem_size = nullptr;
static char *mem_config = nullptr;

static char io_buffer[kLineBufferSize];

static Tag_Var_Entry var_list[] = {
    {"BusType", nullptr, &bus_type, 0},     {"MemAddr", nullptr, &mem_addr, 0},
    {"DefMode", nullptr, &default_res, 1},  {"MemSize", nullptr, &mem_size, 1},
    {"MemConfig", nullptr, &mem_config, 1}, {nullptr, nullptr, nullptr, 0},
};

static LineSource source;

// Where the most recent failing load found its fault, for tools.
static int32_t err_line = 0;
static char err_detail[400] = "";

// The file line of each resolution entry added by the current load, so that a
// resolution without a timing block can be reported with its line.
static int32_t *entry_lines = nullptr;
static size_t entry_count = 0;
static size_t entry_capacity = 0;

static BOOLEAN Fail(int32_t code, int32_t line, const char *format, const char *a = "",
                    const char *b = "") {
    res_dat_err_flag = code;
    err_line = line;
    snprintf(err_detail, sizeof err_detail, format, a, b);
    return FALSE;
}

static bool FillSource(LineSource *src) {
    if (src->at_end || src->failed)
        return false;
    src->pos = 0;
    src->len = fread(src->buf, 1, sizeof src->buf, src->fp);
    if (src->len == 0) {
        if (ferror(src->fp))
            src->failed = true;
        src->at_end = true;
        return false;
    }
    return true;
}

// Peek at the next character without taking it; -1 at the end of the file.
static int PeekChar(LineSource *src) {
    if (src->pos == src->len && !FillSource(src))
        return -1;
    char c = src->buf[src->pos];
    if (c == kCtrlZ) {
        src->at_end = true;
        return -1;
    }
    return static_cast<unsigned char>(c);
}

// Read the next piece of a line into out (at most size - 1 characters and a
// NUL), as fgets does: it stops after a line end, when the buffer is full or at
// the end of the file. *reached_end tells whether the end of the file was met
// while reading this piece. kNoPiece when nothing was left to read.
static ReadResult ReadPiece(LineSource *src, char *out, size_t size, bool *reached_end) {
    size_t n = 0;
    *reached_end = false;
    if (src->line_complete) {
        src->line++;
        src->line_complete = false;
    }
    while (n + 1 < size) {
        int c = PeekChar(src);
        if (c < 0) {
            *reached_end = true;
            break;
        }
        src->pos++;
        if (c == '\r') {
            int after = PeekChar(src);
            if (after == '\n') {
                src->pos++;
                c = '\n';
            }
        }
        out[n++] = static_cast<char>(c);
        if (c == '\n') {
            src->line_complete = true;
            break;
        }
    }
    out[n] = '\0';
    return n > 0 ? kPiece : kNoPiece;
}

// The value of a "key = value" line, cut out of the line in place; null when
// the line has none.
static char *GetData(char *file_line) {
    char *p = strchr(file_line, '=');
    if (p == nullptr)
        return nullptr;
    ++p;
    while (*p == ' ')
        ++p;
    if (*p == '\0')
        return nullptr;
    if (*p == '"') {
        char *value = p + 1;
        char *close = strchr(value, '"');
        if (close != nullptr)
            *close = '\0';
        return value;
    }
    char *end = p + strcspn(p, ";\n");
    *end = '\0';
    return p;
}

static bool RememberEntryLine(int32_t line) {
    if (entry_count == entry_capacity) {
        size_t capacity = entry_capacity == 0 ? 64 : entry_capacity * 2;
        int32_t *grown = static_cast<int32_t *>(malloc(capacity * sizeof *grown));
        if (grown == nullptr)
            return false;
        if (entry_count > 0)
            memcpy(grown, entry_lines, entry_count * sizeof *grown);
        free(entry_lines);
        entry_lines = grown;
        entry_capacity = capacity;
    }
    entry_lines[entry_count++] = line;
    return true;
}

static void ForgetEntryLines(void) {
    free(entry_lines);
    entry_lines = nullptr;
    entry_count = entry_capacity = 0;
}

static BOOLEAN GetMonitorInfoBlock(LineSource *src) {
    bool reached_end = false;
    int32_t header_line = src->line;
    if (ReadPiece(src, io_buffer, sizeof io_buffer, &reached_end) == kNoPiece) {
        if (src->failed)
            return Fail(3, 0, "the file cannot be read");
        return Fail(2, header_line, "monitor block without a name line");
    }
    // The name line is used even when it is the file's unended last line.
    const char *value = GetData(io_buffer);
    if (value == nullptr)
        return Fail(2, src->line, "monitor name line without a value");
    char name[kLineBufferSize];
    snprintf(name, sizeof name, "%s", value);
    if (AddMonitorEntry(name, &monitor_list) == nullptr) {
        if (res_dat_err_flag == 1)
            return Fail(1, src->line, "out of memory");
        return Fail(2, src->line, "duplicate monitor %s", name);
    }

    for (;;) {
        if (ReadPiece(src, io_buffer, sizeof io_buffer, &reached_end) == kNoPiece || reached_end ||
            io_buffer[0] == '\n')
            break;
        value = GetData(io_buffer);
        if (value == nullptr)
            return Fail(2, src->line, "resolution line of monitor %s without a value", name);
        if (AddResolutionEntry(name, value, monitor_list) == nullptr) {
            if (res_dat_err_flag == 1)
                return Fail(1, src->line, "out of memory");
            Tag_Monitor_Entry *monitor = FindMonitorEntry(name, monitor_list);
            if (monitor != nullptr && FindResolutionEntry(value, monitor->res_list) != nullptr)
                return Fail(2, src->line, "duplicate resolution %s in monitor %s", value, name);
            return Fail(2, src->line,
                        "malformed resolution id \"%s\" in monitor %s (expected Tn:WxHxR)", value,
                        name);
        }
        if (!RememberEntryLine(src->line))
            return Fail(1, src->line, "out of memory");
    }
    if (src->failed)
        return Fail(3, 0, "the file cannot be read");
    return TRUE;
}

static BOOLEAN GetTimingInfoBlock(const char *block_id, char *temp_info_buffer, LineSource *src) {
    int32_t header_line = src->line;
    char id[kLineBufferSize];
    size_t id_length = strcspn(block_id + 1, "] \n");
    snprintf(id, sizeof id, "%.*s", static_cast<int>(id_length), block_id + 1);

    size_t length = 0;
    bool reached_end = false;
    for (;;) {
        if (ReadPiece(src, io_buffer, sizeof io_buffer, &reached_end) == kNoPiece || reached_end ||
            io_buffer[0] == '\n')
            break;
        size_t piece = strlen(io_buffer);
        if (length + piece > kScratchSize - 1)
            return Fail(2, src->line, "timing block %s is longer than 5119 characters", id);
        memcpy(temp_info_buffer + length, io_buffer, piece);
        length += piece;
    }
    if (src->failed)
        return Fail(3, 0, "the file cannot be read");
    temp_info_buffer[length] = '\0';

    if (AddTimingInfo(id, temp_info_buffer, static_cast<int16_t>(length + 1), &timing_list) ==
        nullptr) {
        if (res_dat_err_flag == 1)
            return Fail(1, header_line, "out of memory");
        if (FindTimingInfo(id, timing_list) != nullptr)
            return Fail(2, header_line, "duplicate timing block %s", id);
        return Fail(2, header_line, "malformed timing block id \"%s\" (expected Tn:WxHxR)", id);
    }
    return TRUE;
}

// The header variable rows whose keys start the line take its value.
static BOOLEAN ReadHeaderVariable(char *line, int32_t line_number) {
    for (Tag_Var_Entry *row = var_list; row->id != nullptr; ++row) {
        if (!PrefixEqualNoCase(line, row->id, strlen(row->id)))
            continue;
        const char *value = GetData(line);
        if (value == nullptr)
            continue; // a key without a value is ignored
        char *copy = CopyText(value);
        if (copy == nullptr)
            return Fail(1, line_number, "out of memory");
        free(*row->var);
        *row->var = copy;
        row->data = copy;
    }
    return TRUE;
}

// The line of the first resolution entry of this load that has no timing block.
static int32_t UnlinkedEntryLine(const char **monitor_name, const char **res_id) {
    size_t k = 0;
    for (Tag_Monitor_Entry *monitor = monitor_list; monitor != nullptr; monitor = monitor->next) {
        for (Tag_Resolution_Entry *entry = monitor->res_list; entry != nullptr;
             entry = entry->next) {
            if (entry->timing_info != nullptr)
                continue;
            if (FindTimingInfo(entry->res_id_string, timing_list) == nullptr) {
                *monitor_name = monitor->monitor_id_string;
                *res_id = entry->res_id_string;
                return k < entry_count ? entry_lines[k] : 0;
            }
            ++k;
        }
    }
    return 0;
}

static BOOLEAN ReadBlocksAndVariables(LineSource *src, char *temp_info_buffer) {
    bool reached_end = false;
    while (ReadPiece(src, io_buffer, sizeof io_buffer, &reached_end) == kPiece) {
        if (io_buffer[0] == ';')
            continue;
        if (io_buffer[0] == '[') {
            if (io_buffer[1] == 'M') {
                if (!GetMonitorInfoBlock(src))
                    return FALSE;
            } else if (io_buffer[1] == 'T') {
                if (!GetTimingInfoBlock(io_buffer, temp_info_buffer, src))
                    return FALSE;
            } else {
                return Fail(2, src->line, "unknown block header (expected [M or [T)");
            }
            continue;
        }
        if (!ReadHeaderVariable(io_buffer, src->line))
            return FALSE;
    }
    if (src->failed)
        return Fail(3, 0, "the file cannot be read");
    return TRUE;
}

BOOLEAN ReadDatFile(const char *f_name) {
    err_line = 0;
    err_detail[0] = '\0';
    char *temp_info_buffer = static_cast<char *>(malloc(kScratchSize));
    if (temp_info_buffer == nullptr)
        return Fail(1, 0, "out of memory");
    FILE *fp = f_name != nullptr ? fopen(f_name, "rb") : nullptr;
    if (fp == nullptr) {
        free(temp_info_buffer);
        return Fail(3, 0, "the file cannot be opened");
    }

    source.fp = fp;
    source.pos = source.len = 0;
    source.at_end = source.failed = false;
    source.line = 0;
    source.line_complete = true;
    entry_count = 0;

    BOOLEAN read = ReadBlocksAndVariables(&source, temp_info_buffer);
    fclose(fp);
    source.fp = nullptr;
    free(temp_info_buffer);
    if (!read) {
        ForgetEntryLines();
        return FALSE;
    }

    for (const Tag_Var_Entry *row = var_list; row->id != nullptr; ++row) {
        if (row->critical && row->data == nullptr) {
            ForgetEntryLines();
            return Fail(2, 0, "the required header variable %s is missing", row->id);
        }
    }

    const char *monitor_name = "";
    const char *res_id = "";
    int32_t unlinked_line = UnlinkedEntryLine(&monitor_name, &res_id);
    if (!LinkResEntryToTimingInfo()) {
        ForgetEntryLines();
        if (res_dat_err_flag == 1)
            return Fail(1, 0, "out of memory");
        return Fail(2, unlinked_line, "resolution %s of monitor %s has no timing block", res_id,
                    monitor_name);
    }
    ForgetEntryLines();
    if (!ReformatTimingInfoResIDStrings())
        return Fail(1, 0, "out of memory");
    return TRUE;
}

Tag_Monitor_Entry *GetMonitorEntryHead(void) {
    return monitor_list;
}
Tag_Timing_Info *GetTimingInfoHead(void) {
    return timing_list;
}

char *GetMemSize(void) {
    return mem_size;
}
char *GetMemConfig(void) {
    return mem_config;
}
char *GetBusType(void) {
    return bus_type;
}
char *GetMemAddr(void) {
    return mem_addr;
}
char *GetDefaultRes(void) {
    return default_res;
}

static BOOLEAN SetHeaderText(char **variable, const char *text) {
    if (text == nullptr) {
        res_dat_err_flag = 2;
        return FALSE;
    }
    free(*variable);
    *variable = CopyText(text);
    if (*variable == nullptr) {
        res_dat_err_flag = 1;
        return FALSE;
    }
    return TRUE;
}

BOOLEAN SetMemSize(const char *new_mem_size) {
    return SetHeaderText(&mem_size, new_mem_size);
}
BOOLEAN SetBusType(const char *new_bus_type) {
    return SetHeaderText(&bus_type, new_bus_type);
}
BOOLEAN SetMemAddr(const char *new_mem_addr) {
    return SetHeaderText(&mem_addr, new_mem_addr);
}
BOOLEAN SetDefaultRes(const char *new_default_res) {
    return SetHeaderText(&default_res, new_default_res);
}

void ResDatReset(void) {
    FreeMonitorEntryList(monitor_list);
    FreeTimingInfoList(timing_list);
    monitor_list = nullptr;
    timing_list = nullptr;
    for (Tag_Var_Entry *row = var_list; row->id != nullptr; ++row) {
        free(*row->var);
        *row->var = nullptr;
        row->data = nullptr;
    }
    ResetEnumCursors();
    ForgetEntryLines();
    res_dat_err_flag = 0;
    err_line = 0;
    err_detail[0] = '\0';
}

int32_t GetResDatErrLine(void) {
    return err_line;
}
const char *GetResDatErrDetail(void) {
    return err_detail;
}
