// Writing the database back as a resolution data file, and writing the driver
// INI file for the marked monitor and resolution.
//
// Files are opened in binary mode and every line end is written as CR LF, on
// every platform. Nothing follows the last line end.
#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include <initializer_list>

#include "resdat/internal.h"
#include "resdat/resdat.h"

namespace {

// An output file, closed when it goes out of scope, written through one
// buffer of the module (the writers allocate nothing). Every LF of a text goes
// out as CR LF. Write errors are remembered and reported by Finish().
struct Tag_Out_File {
    FILE *fp;
    size_t used; // bytes waiting in out_buffer
    bool failed;

    explicit Tag_Out_File(const char *file_name)
        : fp(file_name != nullptr ? fopen(file_name, "wb") : nullptr), used(0), failed(false) {}
    Tag_Out_File(const Tag_Out_File &) = delete;
    Tag_Out_File &operator=(const Tag_Out_File &) = delete;
    ~Tag_Out_File() {
        if (fp != nullptr)
            fclose(fp);
    }
};

char out_buffer[65536];

void Flush(Tag_Out_File *out) {
    if (fwrite(out_buffer, 1, out->used, out->fp) != out->used)
        out->failed = true;
    out->used = 0;
}

// Send everything to the file; false when any write failed (a full disk), so
// that a cut-off file is never reported as written.
bool Finish(Tag_Out_File *out) {
    Flush(out);
    return fflush(out->fp) == 0 && !out->failed && ferror(out->fp) == 0;
}

void PutRaw(Tag_Out_File *out, const char *bytes, size_t n) {
    while (n > 0) {
        if (out->used == sizeof out_buffer)
            Flush(out);
        size_t room = sizeof out_buffer - out->used;
        size_t chunk = n < room ? n : room;
        memcpy(out_buffer + out->used, bytes, chunk);
        out->used += chunk;
        bytes += chunk;
        n -= chunk;
    }
}

void PutEol(Tag_Out_File *out) {
    PutRaw(out, "\r\n", 2);
}

// Text with every LF written as CR LF (the syntax's elements of internal.h
// write through it).
void PutBytes(Tag_Out_File *out, const char *text, size_t n) {
    for (const char *end = text + n;;) {
        const char *lf = static_cast<const char *>(memchr(text, '\n', end - text));
        if (lf == nullptr) {
            PutRaw(out, text, static_cast<size_t>(end - text));
            return;
        }
        PutRaw(out, text, static_cast<size_t>(lf - text));
        PutEol(out);
        text = lf + 1;
    }
}

// One line: the format with its "%s" (a text, "(null)" for a null pointer) and
// "%d" (an int) filled, then the line end. The formats are this file's own and
// hold no other "%".
void PutLine(Tag_Out_File *out, const char *format, ...) {
    va_list args;
    va_start(args, format);
    for (const char *p = format;;) {
        size_t plain = strcspn(p, "%");
        PutRaw(out, p, plain);
        p += plain;
        if (*p == '\0')
            break;
        if (p[1] == 's') {
            const char *text = va_arg(args, const char *);
            PutString(out, text != nullptr ? text : "(null)");
        } else { // "%d"
            char number[16];
            int n = snprintf(number, sizeof number, "%d", va_arg(args, int));
            PutRaw(out, number, static_cast<size_t>(n));
        }
        p += 2;
    }
    va_end(args);
    PutEol(out);
}

const char *const kIniFieldLines[] = {
    ";hdr= Horz. Dot Rate (with a mHz suffix)",
    ";hsp= Horz. Sync Pulse in dots",
    ";hbp= Horz. Back Porch",
    ";had= Horz. Active Display in dots",
    ";hfp= Horz. Front Porch",
    ";hco= Horz. Cursor Offset",
    ";hp = Horz. sync Polarity",
    ";vlr= Vert. Line Rate (with a Hz suffix)",
    ";vsp= Vert. Sync Pulse size in lines",
    ";vbp= Vert. Back Porch",
    ";vad= Vert. Active Display in lines",
    ";vfp= Vert. Front Porch",
    ";vco= Vert. Cursor Offset",
    ";vp = Vert. sync Polarity",
};

const char kSemicolonRule[] =
    ";;;;;;;;;;;;;;;;;;;;;;;;;;;;;;;;;;;;;;;;;;;;;;;;;;;;;;;;;;;;;;;;;;;;;;;;;;;";
static_assert(sizeof kSemicolonRule == 76, "75 semicolons");

} // namespace

BOOLEAN WriteResDatFile(const char *file_name) {
    Tag_Out_File out(file_name);
    if (out.fp == nullptr) {
        res_dat_err_flag = RES_DAT_ERR_DATA_FILE;
        return FALSE;
    }
    Tag_Out_File *file = &out;
    PutLine(file, ";File:  K5300RES.DAT");
    PutLine(file, "; This file contains all the known monitor timings for");
    PutLine(file, "; the Havrik Kelvo 5300 windows driver.");
    if (GetBusType() != nullptr)
        PutLine(file, "BusType = %s", GetBusType());
    if (GetMemAddr() != nullptr)
        PutLine(file, "MemAddr = %s", GetMemAddr());
    if (GetDefaultRes() != nullptr)
        PutLine(file, "DefMode = %s", GetDefaultRes());
    PutLine(file, "");

    int monitor_number = 0;
    for (const Tag_Monitor_Entry *monitor = GetMonitorEntryHead(); monitor != nullptr;
         monitor = monitor->next, ++monitor_number) {
        PutMonitorHeader(file, monitor_number);
        PutNameKey(file);
        PutLine(file, "%s", monitor->monitor_id_string);
        int entry_number = 0;
        for (const Tag_Resolution_Entry *entry = monitor->res_list; entry != nullptr;
             entry = entry->next, ++entry_number) {
            const Tag_Timing_Info *info = entry->timing_info;
            PutResolutionKey(file, entry_number);
            // Not linked: the id is still the full form.
            PutBlockId(file, info != nullptr
                                 ? TimingBlockId(info)
                                 : Tag_Block_Id{entry->res_id_string, 0, nullptr, nullptr});
            PutEol(file);
        }
        PutLine(file, "");
    }
    PutLine(file, "");

    for (const Tag_Timing_Info *info = GetTimingInfoHead(); info != nullptr; info = info->next) {
        PutTimingHeader(file, TimingBlockId(info));
        PutLine(file, "%s", info->info_block);
        // A block ends at a blank line. A text without a final line end (a NUL
        // cut its last line short, or a caller gave it so) needs one more, or
        // the next block would be read as part of this one.
        size_t length = strlen(info->info_block);
        if (length > 0 && info->info_block[length - 1] != '\n')
            PutLine(file, "");
    }

    if (!Finish(&out)) {
        res_dat_err_flag = RES_DAT_ERR_DATA_FILE;
        return FALSE;
    }
    return TRUE;
}

BOOLEAN WriteResIniFile(const char *file_name) {
    const Tag_Monitor_Entry *monitor = GetMarkedMonEntry();
    if (monitor == nullptr) {
        res_dat_err_flag = RES_DAT_ERR_NOT_FOUND;
        return FALSE;
    }
    const Tag_Resolution_Entry *entry = monitor->res_list;
    while (entry != nullptr && !entry->marked)
        entry = entry->next;
    if (entry == nullptr || entry->timing_info == nullptr) {
        res_dat_err_flag = RES_DAT_ERR_CONTENT;
        return FALSE;
    }
    const Tag_Timing_Info *timing = entry->timing_info;
    const char *res = timing->res_id_string;

    Tag_Out_File out(file_name);
    if (out.fp == nullptr) {
        res_dat_err_flag = RES_DAT_ERR_INI_FILE;
        return FALSE;
    }
    Tag_Out_File *file = &out;
    PutLine(file, "%s", kSemicolonRule);
    PutLine(file, "; %s", file_name);
    PutLine(file, ";       This file contains monitor timings for Havrik Kelvo 5300 drivers.");
    PutLine(file, ";");
    PutLine(file, ";Timing block format description:");
    PutLine(file, ";[Resolution]");
    for (const char *line : kIniFieldLines)
        PutLine(file, "%s", line);
    PutLine(file, "%s", kSemicolonRule);
    PutLine(file, "");
    PutLine(file, "[hardware]");
    PutLine(file, "BusType=%s", GetBusType());
    PutLine(file, "Speed=33.00mHz");
    PutLine(file, "MemAddr=%s", GetMemAddr());
    PutLine(file, "MemSize=%s", GetMemSize());
    PutLine(file, "Monitor=%s", monitor->monitor_id_string);
    PutLine(file, "DefMode=%s", GetDefaultRes());
    PutLine(file, "OEMString=HAVRIK");
    PutLine(file, "Version=1.0");
    PutLine(file, "");
    for (int depth : {4, 8, 16, 24}) {
        PutLine(file, "[%sx%d]", res, depth);
        PutLine(file, "link=%s", res);
        PutLine(file, "");
    }
    PutLine(file, "; Default timing block for %s", res);
    PutLine(file, "");
    PutLine(file, "[%s]", res);
    PutLine(file, "%s", timing->info_block);

    if (!Finish(&out)) {
        res_dat_err_flag = RES_DAT_ERR_INI_FILE;
        return FALSE;
    }
    return TRUE;
}
