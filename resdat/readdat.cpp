// The resolution data file reader.
//
// The file is read in binary mode and the text-file rules are applied here, so
// that every platform reads alike: a CR LF pair is one line end (LF), a lone LF
// ends a line, a lone CR is an ordinary character, and Ctrl-Z ends the file.
// Lines arrive in pieces of at most 255 characters (line end included), as a
// 256-byte line buffer takes them; a longer line is handled as several lines.
// A NUL byte ends what a piece holds, as it ends a C string.
//
// Records are added with the Add operations' own implementation, through name
// tables that keep the load linear in the size of the file.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "resdat/internal.h"
#include "resdat/resdat.h"

namespace {

struct Tag_Var_Entry {
    const char *id;         // the variable's key
    char *data;             // the value last read for it, or null
    HeaderVar var;          // the database variable that receives the value
    unsigned char critical; // 1 when the file must give the variable
};

constexpr size_t kLineBufferSize = 256;
constexpr size_t kScratchSize = 5120; // a timing block's text and its NUL
constexpr size_t kReadSize = 65536;
constexpr char kCtrlZ = 0x1A;

// Buffered reading of one file in pieces, as the line buffer takes them.
struct Tag_Line_Source {
    FILE *fp;
    size_t pos;         // next byte of buf to take
    size_t len;         // bytes held in buf
    bool input_done;    // the file has nothing more to give (its end or a Ctrl-Z)
    bool failed;        // a read error
    int32_t line;       // the line number of the piece last read, from 1
    bool line_complete; // the piece last read ended its line
    size_t length;      // the length of the piece last read, up to a NUL in it
    size_t first_nul;   // where the first NUL byte of buf is (len when none)
    char buf[kReadSize];
};

// The name tables of one load.
struct Tag_Load {
    NameIndex monitors;  // every monitor of the database
    NameIndex timings;   // every timing record, by full-form id
    NameIndex entry_ids; // the ids of the monitor block being read
    Tag_Monitor_Entry *first_new_monitor;
};

} // namespace

static Tag_Var_Entry var_list[] = {
    {"BusType", nullptr, kBusType, 0},     {"MemAddr", nullptr, kMemAddr, 0},
    {"DefMode", nullptr, kDefMode, 1},     {"MemSize", nullptr, kMemSize, 1},
    {"MemConfig", nullptr, kMemConfig, 1}, {nullptr, nullptr, kBusType, 0},
};

static char io_buffer[kLineBufferSize];
static Tag_Line_Source source;

// Lines remembered in the order the load read things.
struct Tag_Line_List {
    int32_t *lines;
    size_t count;
    size_t capacity;
};

// The file line of each resolution entry added by the most recent load, so
// that a resolution without a timing block can be reported with its line,
// and kept for the tools (GetResDatResolutionLine).
static Tag_Line_List entry_lines = {nullptr, 0, 0};
// The first and the last line of each monitor block and each timing block the
// most recent load read, kept for the tools (GetResDat...Lines).
static Tag_Line_List monitor_lines = {nullptr, 0, 0};
static Tag_Line_List timing_lines = {nullptr, 0, 0};
static Tag_Monitor_Entry *first_monitor_read = nullptr;
static int32_t first_timing_index = 0;
// The unended last line the most recent load dropped, or 0.
static int32_t dropped_line = 0;

// Move what is left to the front of the buffer and read more behind it. A
// Ctrl-Z ends the file: what follows it is never handed out.
static void FillSource(Tag_Line_Source *src) {
    memmove(src->buf, src->buf + src->pos, src->len - src->pos);
    src->len -= src->pos;
    src->pos = 0;
    size_t got = fread(src->buf + src->len, 1, sizeof src->buf - src->len, src->fp);
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
        src->failed = ferror(src->fp) != 0;
    }
}

// Read the next piece of a line into out (room for 256 bytes), as fgets does
// in text mode: at most 255 characters, ending after a line end, and a NUL.
// *reached_end tells whether the end of the file was met while reading it.
// False when nothing was left.
static bool ReadPiece(Tag_Line_Source *src, char *out, bool *reached_end) {
    if (src->line_complete) {
        src->line++;
        src->line_complete = false;
    }
    // A piece of 255 characters takes up to 256 bytes: a CR LF pair reads as
    // one character.
    if (src->len - src->pos < kLineBufferSize && !src->input_done)
        FillSource(src);
    const char *start = src->buf + src->pos;
    size_t window = src->len - src->pos;
    if (window > kLineBufferSize)
        window = kLineBufferSize;
    const char *lf = static_cast<const char *>(memchr(start, '\n', window));
    size_t take = window; // bytes taken from the buffer
    size_t text = window; // characters handed out, the line end included
    if (lf != nullptr) {
        take = static_cast<size_t>(lf - start) + 1;
        text = take >= 2 && lf[-1] == '\r' ? take - 1 : take;
    }
    if (text > kLineBufferSize - 1) { // a long line: its first 255 characters
        take = text = kLineBufferSize - 1;
        lf = nullptr;
    }
    memcpy(out, start, text);
    if (lf != nullptr) {
        out[text - 1] = '\n';
        src->line_complete = true;
    }
    out[text] = '\0';
    src->length = src->pos + take <= src->first_nul ? text : strlen(out);
    src->pos += take;
    // Short of a line end and of a full buffer, the piece met the end of the file.
    *reached_end = lf == nullptr && text < kLineBufferSize - 1;
    return text > 0;
}

char *GetLineValue(char *file_line) {
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

BOOLEAN GetBlockHeaderId(const char *header_line, char *id, size_t size) {
    if (header_line[0] != '[' || header_line[1] != 'T')
        return FALSE;
    size_t length = strcspn(header_line + 1, "] \n");
    if (length >= size)
        return FALSE;
    memcpy(id, header_line + 1, length);
    id[length] = '\0';
    return TRUE;
}

// Remember lines; false when memory runs out.
static bool KeepLines(Tag_Line_List *list, int32_t first, int32_t last, size_t n) {
    if (list->count + n > list->capacity) {
        size_t capacity = list->capacity == 0 ? 64 : list->capacity * 2;
        int32_t *grown = static_cast<int32_t *>(malloc(capacity * sizeof *grown));
        if (grown == nullptr)
            return false;
        if (list->count > 0)
            memcpy(grown, list->lines, list->count * sizeof *grown);
        free(list->lines);
        list->lines = grown;
        list->capacity = capacity;
    }
    list->lines[list->count++] = first;
    if (n == 2)
        list->lines[list->count++] = last;
    return true;
}

static void ForgetLines(Tag_Line_List *list) {
    free(list->lines);
    *list = Tag_Line_List{nullptr, 0, 0};
}

static void ForgetBlockLines(void);

static BOOLEAN CannotRead(void) {
    return ReportFinding(RES_DAT_FOUND_CANNOT_READ, 0);
}

static BOOLEAN GetMonitorInfoBlock(Tag_Load *load, Tag_Line_Source *src) {
    bool reached_end = false;
    int32_t header_line = src->line;
    if (!ReadPiece(src, io_buffer, &reached_end)) {
        if (src->failed)
            return CannotRead();
        return ReportFinding(RES_DAT_FOUND_MONITOR_WITHOUT_NAME, header_line);
    }
    // The name line is used even when it is the file's unended last line.
    const char *value = GetLineValue(io_buffer);
    if (value == nullptr)
        return ReportFinding(RES_DAT_FOUND_NAME_WITHOUT_VALUE, src->line);
    char name[kLineBufferSize];
    strcpy(name, value); // a part of the line buffer: it fits
    ResDatFinding finding = RES_DAT_FOUND_NOTHING;
    Tag_Monitor_Entry *monitor = AddMonitorTo(name, MonitorListSlot(), &load->monitors, &finding);
    if (monitor == nullptr)
        return ReportFinding(finding, src->line, name);
    if (load->first_new_monitor == nullptr)
        load->first_new_monitor = monitor;
    int32_t last_line = src->line;

    FreeNameIndex(&load->entry_ids); // a new monitor, a new table of its ids
    for (;;) {
        if (!ReadPiece(src, io_buffer, &reached_end) || io_buffer[0] == '\n')
            break;
        if (reached_end) { // the file's last line, without a line end: dropped
            dropped_line = src->line;
            break;
        }
        value = GetLineValue(io_buffer);
        if (value == nullptr)
            return ReportFinding(RES_DAT_FOUND_RESOLUTION_WITHOUT_VALUE, src->line, name);
        if (AddResolutionTo(monitor, value, &load->entry_ids, &finding) == nullptr)
            return ReportFinding(finding, src->line, value, name);
        last_line = src->line;
        if (!KeepLines(&entry_lines, last_line, 0, 1))
            return ReportFinding(RES_DAT_FOUND_NO_MEMORY, src->line);
    }
    if (!KeepLines(&monitor_lines, header_line, last_line, 2))
        return ReportFinding(RES_DAT_FOUND_NO_MEMORY, header_line);
    return src->failed ? CannotRead() : TRUE;
}

static BOOLEAN GetTimingInfoBlock(Tag_Load *load, char *temp_info_buffer, Tag_Line_Source *src) {
    int32_t header_line = src->line;
    char id[kLineBufferSize];
    GetBlockHeaderId(io_buffer, id, sizeof id); // a part of the line buffer: it fits

    // Each line is read straight to its place in the scratch area, which has
    // room for one more line beyond its limit.
    size_t length = 0;
    int32_t last_line = header_line;
    bool reached_end = false;
    for (;;) {
        char *piece = temp_info_buffer + length;
        if (!ReadPiece(src, piece, &reached_end) || piece[0] == '\n')
            break;
        if (reached_end) { // the file's last line, without a line end: dropped
            dropped_line = src->line;
            break;
        }
        if (length + src->length > kScratchSize - 1)
            return ReportFinding(RES_DAT_FOUND_BLOCK_TOO_LONG, src->line, id);
        length += src->length;
        last_line = src->line;
    }
    if (src->failed)
        return CannotRead();
    temp_info_buffer[length] = '\0';

    ResDatFinding finding = RES_DAT_FOUND_NOTHING;
    if (AddTimingTo(id, temp_info_buffer, static_cast<int16_t>(length + 1), TimingListSlot(),
                    &load->timings, &finding) == nullptr)
        return ReportFinding(finding, header_line, id);
    if (!KeepLines(&timing_lines, header_line, last_line, 2))
        return ReportFinding(RES_DAT_FOUND_NO_MEMORY, header_line);
    return TRUE;
}

// The header variable rows whose keys start the line (length characters)
// take its value.
static BOOLEAN ReadHeaderVariable(char *line, size_t length, int32_t line_number) {
    for (Tag_Var_Entry *row = var_list; row->id != nullptr; ++row) {
        if (!AsciiStartsWithIgnoringCase(std::string_view(line, length), row->id))
            continue;
        const char *value = GetLineValue(line);
        if (value == nullptr)
            continue; // a key without a value is ignored
        char *copy = CopyText(value);
        if (copy == nullptr)
            return ReportFinding(RES_DAT_FOUND_NO_MEMORY, line_number);
        char **variable = HeaderVarSlot(row->var);
        free(*variable);
        *variable = copy;
        row->data = copy;
    }
    return TRUE;
}

static BOOLEAN ReadBlocksAndVariables(Tag_Load *load, Tag_Line_Source *src,
                                      char *temp_info_buffer) {
    bool reached_end = false;
    while (ReadPiece(src, io_buffer, &reached_end)) {
        if (io_buffer[0] == ';')
            continue;
        if (io_buffer[0] == '[') {
            BOOLEAN read;
            if (io_buffer[1] == 'M')
                read = GetMonitorInfoBlock(load, src);
            else if (io_buffer[1] == 'T')
                read = GetTimingInfoBlock(load, temp_info_buffer, src);
            else
                read = ReportFinding(RES_DAT_FOUND_UNKNOWN_BLOCK, src->line);
            if (!read)
                return FALSE;
            continue;
        }
        if (!ReadHeaderVariable(io_buffer, src->length, src->line))
            return FALSE;
    }
    return src->failed ? CannotRead() : TRUE;
}

static BOOLEAN LoadOpenFile(Tag_Load *load, FILE *fp, char *temp_info_buffer) {
    source.fp = fp;
    source.pos = source.len = 0;
    source.input_done = source.failed = false;
    source.line = 0;
    source.line_complete = true;
    source.length = 0;
    source.first_nul = 0;
    // What the database already holds goes into the load's tables, so that
    // this load refuses the same duplicates as the Add operations and appends
    // to the lists' tails.
    if (!IndexList(&load->monitors, GetMonitorEntryHead(), MonitorName) ||
        !IndexList(&load->timings, GetTimingInfoHead(), TimingId))
        return ReportFinding(RES_DAT_FOUND_NO_MEMORY, 0);
    ForgetBlockLines();
    const Tag_Timing_Info *tail = static_cast<const Tag_Timing_Info *>(load->timings.tail);
    first_timing_index = tail != nullptr ? tail->index + 1 : 0;
    BOOLEAN read = ReadBlocksAndVariables(load, &source, temp_info_buffer);
    // A read error cuts the file short, and the text read last may then look
    // malformed: the read error is what is reported.
    if (!read && res_dat_err_flag == RES_DAT_ERR_CONTENT && source.failed)
        return CannotRead();
    return read;
}

// After a failed link: the line of the first resolution entry of this load
// that has no timing block. Linking handles the entries in list order and stops
// at that one, so the entries of this load before it are linked.
static BOOLEAN ReportUnlinkedEntry(const Tag_Load *load) {
    size_t k = 0;
    const Tag_Monitor_Entry *monitor = load->first_new_monitor;
    const Tag_Resolution_Entry *entry = monitor != nullptr ? monitor->res_list : nullptr;
    while (monitor != nullptr && (entry == nullptr || entry->timing_info != nullptr)) {
        if (entry != nullptr) {
            entry = entry->next;
            ++k;
        } else {
            monitor = monitor->next;
            entry = monitor != nullptr ? monitor->res_list : nullptr;
        }
    }
    return ReportFinding(RES_DAT_FOUND_UNLINKED_RESOLUTION,
                         k < entry_lines.count ? entry_lines.lines[k] : 0,
                         entry != nullptr ? entry->res_id_string : "",
                         monitor != nullptr ? monitor->monitor_id_string : "");
}

// Check the required variables, link the resolutions to their timing blocks
// and shorten the ids.
static BOOLEAN LinkLoad(const Tag_Load *load) {
    for (const Tag_Var_Entry *row = var_list; row->id != nullptr; ++row)
        if (row->critical && row->data == nullptr)
            return ReportFinding(RES_DAT_FOUND_MISSING_VARIABLE, 0, row->id);
    if (!LinkResEntries(&load->timings)) { // the load's table holds every record
        if (res_dat_err_flag == RES_DAT_ERR_OUT_OF_MEMORY)
            return ReportFinding(RES_DAT_FOUND_NO_MEMORY, 0);
        return ReportUnlinkedEntry(load);
    }
    if (!ReformatTimingInfoResIDStrings())
        return ReportFinding(RES_DAT_FOUND_NO_MEMORY, 0);
    return TRUE;
}

BOOLEAN ReadDatFile(const char *f_name) {
    ClearFinding();
    char *temp_info_buffer = static_cast<char *>(malloc(kScratchSize + kLineBufferSize));
    if (temp_info_buffer == nullptr)
        return ReportFinding(RES_DAT_FOUND_NO_MEMORY, 0);
    FILE *fp = f_name != nullptr ? fopen(f_name, "rb") : nullptr;
    if (fp == nullptr) {
        free(temp_info_buffer);
        return ReportFinding(RES_DAT_FOUND_CANNOT_OPEN, 0);
    }
    Tag_Load load{EmptyNameIndex(), EmptyNameIndex(), EmptyNameIndex(), nullptr};
    BOOLEAN result = LoadOpenFile(&load, fp, temp_info_buffer);
    first_monitor_read = load.first_new_monitor;
    fclose(fp);
    source.fp = nullptr;
    free(temp_info_buffer);
    FreeNameIndex(&load.monitors);
    FreeNameIndex(&load.entry_ids);
    if (result)
        result = LinkLoad(&load);
    FreeNameIndex(&load.timings);
    return result;
}

static void ForgetBlockLines(void) {
    ForgetLines(&entry_lines);
    ForgetLines(&monitor_lines);
    ForgetLines(&timing_lines);
    first_monitor_read = nullptr;
    first_timing_index = 0;
    dropped_line = 0;
}

void ForgetHeaderData(void) {
    for (Tag_Var_Entry *row = var_list; row->id != nullptr; ++row)
        row->data = nullptr;
    ForgetBlockLines();
}

BOOLEAN GetResDatTimingLines(const Tag_Timing_Info *info, int32_t *first_line, int32_t *last_line) {
    if (info == nullptr || info->index < first_timing_index)
        return FALSE;
    size_t k = static_cast<size_t>(info->index - first_timing_index);
    if (2 * k + 1 >= timing_lines.count)
        return FALSE;
    *first_line = timing_lines.lines[2 * k];
    *last_line = timing_lines.lines[2 * k + 1];
    return TRUE;
}

BOOLEAN GetResDatMonitorLines(const Tag_Monitor_Entry *monitor, int32_t *first_line,
                              int32_t *last_line) {
    size_t k = 0;
    for (const Tag_Monitor_Entry *m = first_monitor_read; m != nullptr; m = m->next, ++k) {
        if (2 * k + 1 >= monitor_lines.count)
            return FALSE;
        if (m == monitor) {
            *first_line = monitor_lines.lines[2 * k];
            *last_line = monitor_lines.lines[2 * k + 1];
            return TRUE;
        }
    }
    return FALSE;
}

BOOLEAN GetResDatResolutionLine(const Tag_Resolution_Entry *entry, int32_t *line) {
    size_t k = 0;
    for (const Tag_Monitor_Entry *m = first_monitor_read; m != nullptr; m = m->next) {
        for (const Tag_Resolution_Entry *e = m->res_list; e != nullptr; e = e->next, ++k) {
            if (k >= entry_lines.count)
                return FALSE;
            if (e == entry) {
                *line = entry_lines.lines[k];
                return TRUE;
            }
        }
    }
    return FALSE;
}

int32_t GetResDatDroppedLine(void) {
    return dropped_line;
}
