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
constexpr size_t kChunk = 16;

// Buffered reading of one file in pieces, as the line buffer takes them.
struct LineSource {
    FILE *fp;
    size_t pos;               // next byte of buf to take
    size_t len;               // bytes held in buf
    bool input_done;          // the file has nothing more to give
    bool at_end;              // the reader met the end of the file or a Ctrl-Z (sticky)
    bool failed;              // a read error
    int32_t line;             // the line number of the piece last read, from 1
    bool line_complete;       // the piece last read ended its line
    size_t first_nul;         // offset of the first NUL byte in buf (len when none)
    size_t length;            // the length of the piece last read, up to a NUL in it
    char buf[65536 + kChunk]; // the slack lets a line be copied in whole chunks
};

// What one load adds to, and the tables that find records by name in it.
struct LoadState {
    NameIndex monitors;  // every monitor of the database
    NameIndex timings;   // every timing record, by full-form id
    NameIndex entry_ids; // the ids of the monitor block being read
    Tag_Monitor_Entry *monitor_tail;
    Tag_Timing_Info *timing_tail;
    Tag_Monitor_Entry *first_new_monitor; // the first monitor this load added
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

// Move what is left to the front of the buffer and read more behind it. A
// Ctrl-Z ends the file: what follows it is never handed out.
static void FillSource(LineSource *src) {
    if (src->input_done)
        return;
    if (src->pos > 0) {
        memmove(src->buf, src->buf + src->pos, src->len - src->pos);
        src->len -= src->pos;
        src->pos = 0;
    }
    size_t got = fread(src->buf + src->len, 1, sizeof src->buf - kChunk - src->len, src->fp);
    const char *ctrl_z = static_cast<const char *>(memchr(src->buf + src->len, kCtrlZ, got));
    if (ctrl_z != nullptr) {
        got = static_cast<size_t>(ctrl_z - (src->buf + src->len));
        src->input_done = true;
    }
    src->len += got;
    const char *nul = static_cast<const char *>(memchr(src->buf, '\0', src->len));
    src->first_nul = nul != nullptr ? static_cast<size_t>(nul - src->buf) : src->len;
    if (got == 0) {
        src->input_done = true;
        if (ferror(src->fp))
            src->failed = true;
    }
}

// Peek at the next character without taking it; -1 at the end of the file.
static int PeekChar(LineSource *src) {
    if (src->at_end)
        return -1;
    if (src->pos == src->len)
        FillSource(src);
    if (src->pos == src->len) {
        src->at_end = true;
        return -1;
    }
    return static_cast<unsigned char>(src->buf[src->pos]);
}

// Copy a short line in whole chunks, which beats a byte-exact copy of a few
// dozen bytes; up to kChunk - 1 bytes beyond length are copied too, so both
// buffers need that much room (the line buffer, the source buffer and the
// scratch area have it).
static void CopyChunks(char *out, const char *from, size_t length) {
    for (size_t i = 0; i < length; i += kChunk)
        memcpy(out + i, from + i, kChunk);
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
    // The common case: a whole line in the buffer, short enough for out.
    if (!src->at_end) {
        if (src->len - src->pos <= size && !src->input_done)
            FillSource(src);
        const char *start = src->buf + src->pos;
        size_t window = src->len - src->pos < size ? src->len - src->pos : size;
        const char *lf = static_cast<const char *>(memchr(start, '\n', window));
        if (lf != nullptr) {
            size_t raw = static_cast<size_t>(lf - start) + 1;
            size_t text = raw >= 2 && lf[-1] == '\r' ? raw - 2 : raw - 1; // without line end
            if (text + 1 < size && size >= kLineBufferSize) {
                CopyChunks(out, start, text);
                out[text] = '\n';
                out[text + 1] = '\0';
                src->length = src->pos + raw <= src->first_nul ? text + 1 : strlen(out);
                src->pos += raw;
                src->line_complete = true;
                return kPiece;
            }
        }
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
    src->length = strlen(out);
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

// length characters of text and a NUL into a buffer of size bytes, cut to fit.
static void CopyBounded(char *to, size_t size, const char *text, size_t length) {
    if (length > size - 1)
        length = size - 1;
    memcpy(to, text, length);
    to[length] = '\0';
}

// Room for one more entry line; false when memory runs out.
static bool ReserveEntryLine(void) {
    if (entry_count < entry_capacity)
        return true;
    size_t capacity = entry_capacity == 0 ? 64 : entry_capacity * 2;
    int32_t *grown = static_cast<int32_t *>(malloc(capacity * sizeof *grown));
    if (grown == nullptr)
        return false;
    if (entry_count > 0)
        memcpy(grown, entry_lines, entry_count * sizeof *grown);
    free(entry_lines);
    entry_lines = grown;
    entry_capacity = capacity;
    return true;
}

static void ForgetEntryLines(void) {
    free(entry_lines);
    entry_lines = nullptr;
    entry_count = entry_capacity = 0;
}

// Appends a new monitor of that name, refusing a duplicate (code 2).
static Tag_Monitor_Entry *AddLoadedMonitor(LoadState *load, const char *name) {
    uint32_t hash = NameHash(name);
    if (FindInNameIndex(&load->monitors, name, hash) != nullptr) {
        res_dat_err_flag = 2;
        return nullptr;
    }
    Tag_Monitor_Entry *monitor = NewMonitorEntry(name);
    if (monitor == nullptr)
        return nullptr;
    if (!AddToNameIndex(&load->monitors, monitor->monitor_id_string, hash, monitor)) {
        FreeMonitorEntryList(monitor);
        res_dat_err_flag = 1;
        return nullptr;
    }
    if (load->monitor_tail == nullptr)
        monitor_list = monitor;
    else
        load->monitor_tail->next = monitor;
    load->monitor_tail = monitor;
    if (load->first_new_monitor == nullptr)
        load->first_new_monitor = monitor;
    return monitor;
}

// Appends a new timing record, refusing a duplicate or malformed id (code 2).
static Tag_Timing_Info *AddLoadedTiming(LoadState *load, const char *id, uint32_t hash,
                                        const char *block, size_t size) {
    if (!IsFullFormId(id) || FindInNameIndex(&load->timings, id, hash) != nullptr) {
        res_dat_err_flag = 2;
        return nullptr;
    }
    Tag_Timing_Info *info = NewTimingInfo(id, block, static_cast<int16_t>(size));
    if (info == nullptr)
        return nullptr;
    if (!AddToNameIndex(&load->timings, info->res_id_string, hash, info)) {
        FreeTimingInfoList(info);
        res_dat_err_flag = 1;
        return nullptr;
    }
    if (load->timing_tail == nullptr) {
        timing_list = info;
    } else {
        info->index = load->timing_tail->index + 1;
        load->timing_tail->next = info;
    }
    load->timing_tail = info;
    return info;
}

static BOOLEAN GetMonitorInfoBlock(LoadState *load, LineSource *src) {
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
    CopyBounded(name, sizeof name, value, strlen(value));
    Tag_Monitor_Entry *monitor = AddLoadedMonitor(load, name);
    if (monitor == nullptr) {
        if (res_dat_err_flag == 1)
            return Fail(1, src->line, "out of memory");
        return Fail(2, src->line, "duplicate monitor %s", name);
    }

    // The monitor's own ids, to refuse a duplicate without a walk of the list.
    NameIndex *ids = &load->entry_ids;
    ClearNameIndex(ids);
    Tag_Resolution_Entry *tail = nullptr;
    BOOLEAN result = TRUE;
    for (;;) {
        if (ReadPiece(src, io_buffer, sizeof io_buffer, &reached_end) == kNoPiece || reached_end ||
            io_buffer[0] == '\n')
            break;
        value = GetData(io_buffer);
        if (value == nullptr) {
            result = Fail(2, src->line, "resolution line of monitor %s without a value", name);
            break;
        }
        uint32_t hash = NameHash(value);
        // An id that repeats an earlier one is a duplicate, even when it is
        // malformed as well.
        if (FindInNameIndex(ids, value, hash) != nullptr) {
            result = Fail(2, src->line, "duplicate resolution %s in monitor %s", value, name);
            break;
        }
        if (!IsFullFormId(value)) {
            result = Fail(2, src->line,
                          "malformed resolution id \"%s\" in monitor %s (expected Tn:WxHxR)", value,
                          name);
            break;
        }
        Tag_Resolution_Entry *entry = ReserveEntryLine() ? NewResolutionEntry(value) : nullptr;
        if (entry == nullptr) {
            result = Fail(1, src->line, "out of memory");
            break;
        }
        if (!AddToNameIndex(ids, entry->res_id_string, hash, entry)) {
            FreeResolutionEntryList(entry);
            result = Fail(1, src->line, "out of memory");
            break;
        }
        if (tail == nullptr)
            monitor->res_list = entry;
        else
            tail->next = entry;
        tail = entry;
        entry_lines[entry_count++] = src->line;
    }
    if (result && src->failed)
        return Fail(3, 0, "the file cannot be read");
    return result;
}

static BOOLEAN GetTimingInfoBlock(LoadState *load, const char *block_id, char *temp_info_buffer,
                                  LineSource *src) {
    int32_t header_line = src->line;
    char id[kLineBufferSize];
    CopyBounded(id, sizeof id, block_id + 1, strcspn(block_id + 1, "] \n"));
    uint32_t hash = NameHash(id);
    PrefetchNameIndex(&load->timings, hash); // looked up once the block is read

    size_t length = 0;
    bool reached_end = false;
    for (;;) {
        if (ReadPiece(src, io_buffer, sizeof io_buffer, &reached_end) == kNoPiece || reached_end ||
            io_buffer[0] == '\n')
            break;
        size_t piece = src->length;
        if (length + piece > kScratchSize - 1)
            return Fail(2, src->line, "timing block %s is longer than 5119 characters", id);
        CopyChunks(temp_info_buffer + length, io_buffer, piece);
        length += piece;
    }
    if (src->failed)
        return Fail(3, 0, "the file cannot be read");
    temp_info_buffer[length] = '\0';

    if (AddLoadedTiming(load, id, hash, temp_info_buffer, length + 1) == nullptr) {
        if (res_dat_err_flag == 1)
            return Fail(1, header_line, "out of memory");
        if (FindInNameIndex(&load->timings, id, hash) != nullptr) // even when also malformed
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

// After a failed link: the line of the first resolution entry of this load
// that has no timing block. Linking handles the entries in list order and stops
// at that one, so the entries of this load before it are linked.
static int32_t UnlinkedEntryLine(const LoadState *load, const char **monitor_name,
                                 const char **res_id) {
    size_t k = 0;
    for (Tag_Monitor_Entry *monitor = load->first_new_monitor; monitor != nullptr;
         monitor = monitor->next) {
        for (Tag_Resolution_Entry *entry = monitor->res_list; entry != nullptr;
             entry = entry->next, ++k) {
            if (entry->timing_info == nullptr) {
                *monitor_name = monitor->monitor_id_string;
                *res_id = entry->res_id_string;
                return k < entry_count ? entry_lines[k] : 0;
            }
        }
    }
    return 0;
}

static BOOLEAN ReadBlocksAndVariables(LoadState *load, LineSource *src, char *temp_info_buffer) {
    bool reached_end = false;
    while (ReadPiece(src, io_buffer, sizeof io_buffer, &reached_end) == kPiece) {
        if (io_buffer[0] == ';')
            continue;
        if (io_buffer[0] == '[') {
            if (io_buffer[1] == 'M') {
                if (!GetMonitorInfoBlock(load, src))
                    return FALSE;
            } else if (io_buffer[1] == 'T') {
                if (!GetTimingInfoBlock(load, io_buffer, temp_info_buffer, src))
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

// Index what the database already holds, so that this load refuses the same
// duplicates as the Add operations, and find the tails to append to.
static bool IndexExistingRecords(LoadState *load) {
    for (Tag_Monitor_Entry *m = monitor_list; m != nullptr; m = m->next) {
        uint32_t hash = NameHash(m->monitor_id_string);
        if (FindInNameIndex(&load->monitors, m->monitor_id_string, hash) == nullptr &&
            !AddToNameIndex(&load->monitors, m->monitor_id_string, hash, m))
            return false;
        load->monitor_tail = m;
    }
    for (Tag_Timing_Info *t = timing_list; t != nullptr; t = t->next) {
        uint32_t hash = NameHash(t->res_id_string);
        if (FindInNameIndex(&load->timings, t->res_id_string, hash) == nullptr &&
            !AddToNameIndex(&load->timings, t->res_id_string, hash, t))
            return false;
        load->timing_tail = t;
    }
    return true;
}

static BOOLEAN LoadOpenFile(LoadState *load, FILE *fp, char *temp_info_buffer) {
    source.fp = fp;
    source.pos = source.len = 0;
    source.input_done = source.at_end = source.failed = false;
    source.line = 0;
    source.line_complete = true;
    source.first_nul = 0;
    source.length = 0;
    entry_count = 0;
    if (!IndexExistingRecords(load))
        return Fail(1, 0, "out of memory");
    return ReadBlocksAndVariables(load, &source, temp_info_buffer);
}

static BOOLEAN LinkLoad(LoadState *load);

BOOLEAN ReadDatFile(const char *f_name) {
    err_line = 0;
    err_detail[0] = '\0';
    char *temp_info_buffer = static_cast<char *>(malloc(kScratchSize + kChunk));
    if (temp_info_buffer == nullptr)
        return Fail(1, 0, "out of memory");
    FILE *fp = f_name != nullptr ? fopen(f_name, "rb") : nullptr;
    if (fp == nullptr) {
        free(temp_info_buffer);
        return Fail(3, 0, "the file cannot be opened");
    }

    LoadState load{EmptyNameIndex(), EmptyNameIndex(), EmptyNameIndex(), nullptr, nullptr, nullptr};
    BOOLEAN read = LoadOpenFile(&load, fp, temp_info_buffer);
    // A read error cuts the file short, and the text read last may then look
    // malformed: the read error is what is reported.
    if (!read && res_dat_err_flag == 2 && source.failed)
        Fail(3, 0, "the file cannot be read");
    fclose(fp);
    source.fp = nullptr;
    free(temp_info_buffer);
    FreeNameIndex(&load.monitors);
    FreeNameIndex(&load.entry_ids);
    BOOLEAN result = read ? LinkLoad(&load) : FALSE;
    FreeNameIndex(&load.timings);
    ForgetEntryLines();
    return result;
}

// Check the required variables, link the resolutions to their timing blocks
// (through the load's table of timing ids) and shorten the ids.
static BOOLEAN LinkLoad(LoadState *load) {
    for (const Tag_Var_Entry *row = var_list; row->id != nullptr; ++row)
        if (row->critical && row->data == nullptr)
            return Fail(2, 0, "the required header variable %s is missing", row->id);

    if (!LinkResEntries(&load->timings)) {
        const char *monitor_name = "";
        const char *res_id = "";
        int32_t line = UnlinkedEntryLine(load, &monitor_name, &res_id);
        return Fail(2, line, "resolution %s of monitor %s has no timing block", res_id,
                    monitor_name);
    }
    ReformatTimingInfoResIDStrings(); // shortens in place: cannot fail
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
