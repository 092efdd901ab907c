// Writing the database back as a resolution data file, and writing the driver
// INI file for the marked monitor and resolution.
//
// Files are opened in binary mode and every line end is written as CR LF, on
// every platform. Nothing follows the last line end.
#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include <initializer_list>

#include "resdat/resdat.h"

namespace {

// An output file that is closed on every path. Write errors are remembered
// (stdio keeps them) and reported by Finish().
struct OutFile {
    FILE *fp;

    explicit OutFile(const char *file_name)
        : fp(file_name != nullptr ? fopen(file_name, "wb") : nullptr) {}
    OutFile(const OutFile &) = delete;
    OutFile &operator=(const OutFile &) = delete;
    ~OutFile() {
        if (fp != nullptr)
            fclose(fp);
    }

    // Close the file; false when any write failed (a full disk), so that a
    // cut-off file is never reported as written.
    bool Finish() {
        bool ok = ferror(fp) == 0;
        ok = fclose(fp) == 0 && ok;
        fp = nullptr;
        return ok;
    }
};

// Text with every LF written as CR LF.
void PutText(FILE *fp, const char *text) {
    for (const char *p = text;;) {
        const char *lf = strchr(p, '\n');
        size_t n = lf != nullptr ? static_cast<size_t>(lf - p) : strlen(p);
        if (n > 0)
            fwrite(p, 1, n, fp);
        if (lf == nullptr)
            return;
        fwrite("\r\n", 1, 2, fp);
        p = lf + 1;
    }
}

// One line: the format with its "%s" (a text, "(null)" for a null pointer) and
// "%d" (an int) filled, then the line end.
void PutLine(FILE *fp, const char *format, ...) {
    va_list args;
    va_start(args, format);
    for (const char *p = format; *p != '\0'; ++p) {
        if (p[0] == '%' && p[1] == 's') {
            const char *text = va_arg(args, const char *);
            PutText(fp, text != nullptr ? text : "(null)");
            ++p;
        } else if (p[0] == '%' && p[1] == 'd') {
            fprintf(fp, "%d", va_arg(args, int));
            ++p;
        } else {
            fputc(*p, fp);
        }
    }
    va_end(args);
    fwrite("\r\n", 1, 2, fp);
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
    OutFile out(file_name);
    if (out.fp == nullptr) {
        res_dat_err_flag = 3;
        return FALSE;
    }
    FILE *fp = out.fp;
    PutLine(fp, ";File:  K5300RES.DAT");
    PutLine(fp, "; This file contains all the known monitor timings for");
    PutLine(fp, "; the Havrik Kelvo 5300 windows driver.");
    if (GetBusType() != nullptr)
        PutLine(fp, "BusType = %s", GetBusType());
    if (GetMemAddr() != nullptr)
        PutLine(fp, "MemAddr = %s", GetMemAddr());
    if (GetDefaultRes() != nullptr)
        PutLine(fp, "DefMode = %s", GetDefaultRes());
    PutLine(fp, "");

    int monitor_number = 0;
    for (const Tag_Monitor_Entry *monitor = GetMonitorEntryHead(); monitor != nullptr;
         monitor = monitor->next, ++monitor_number) {
        PutLine(fp, "[M%d]", monitor_number);
        PutLine(fp, "name=%s", monitor->monitor_id_string);
        int entry_number = 0;
        for (const Tag_Resolution_Entry *entry = monitor->res_list; entry != nullptr;
             entry = entry->next, ++entry_number) {
            const Tag_Timing_Info *info = entry->timing_info;
            if (info == nullptr) // not linked: the id is still the full form
                PutLine(fp, "timing%d = %s", entry_number, entry->res_id_string);
            else
                PutLine(fp, "timing%d = T%d:%sx%s", entry_number, static_cast<int>(info->index),
                        info->res_id_string, info->refresh_string);
        }
        PutLine(fp, "");
    }
    PutLine(fp, "");

    for (const Tag_Timing_Info *info = GetTimingInfoHead(); info != nullptr; info = info->next) {
        PutLine(fp, "[T%d:%sx%s]", static_cast<int>(info->index), info->res_id_string,
                info->refresh_string);
        PutLine(fp, "%s", info->info_block);
        // A block ends at a blank line. A text without a final line end (a NUL
        // cut its last line short, or a caller gave it so) needs one more, or
        // the next block would be read as part of this one.
        size_t length = strlen(info->info_block);
        if (length > 0 && info->info_block[length - 1] != '\n')
            PutLine(fp, "");
    }

    if (!out.Finish()) {
        res_dat_err_flag = 3;
        return FALSE;
    }
    return TRUE;
}

BOOLEAN WriteResIniFile(const char *file_name) {
    const Tag_Monitor_Entry *monitor = GetMarkedMonEntry();
    if (monitor == nullptr) {
        res_dat_err_flag = 6;
        return FALSE;
    }
    const Tag_Resolution_Entry *entry = monitor->res_list;
    while (entry != nullptr && !entry->marked)
        entry = entry->next;
    if (entry == nullptr || entry->timing_info == nullptr) {
        res_dat_err_flag = 2;
        return FALSE;
    }
    const Tag_Timing_Info *timing = entry->timing_info;
    const char *res = timing->res_id_string;

    OutFile out(file_name);
    if (out.fp == nullptr) {
        res_dat_err_flag = 4;
        return FALSE;
    }
    FILE *fp = out.fp;
    PutLine(fp, "%s", kSemicolonRule);
    PutLine(fp, "; %s", file_name);
    PutLine(fp, ";       This file contains monitor timings for Havrik Kelvo 5300 drivers.");
    PutLine(fp, ";");
    PutLine(fp, ";Timing block format description:");
    PutLine(fp, ";[Resolution]");
    for (const char *line : kIniFieldLines)
        PutLine(fp, "%s", line);
    PutLine(fp, "%s", kSemicolonRule);
    PutLine(fp, "");
    PutLine(fp, "[hardware]");
    PutLine(fp, "BusType=%s", GetBusType());
    PutLine(fp, "Speed=33.00mHz");
    PutLine(fp, "MemAddr=%s", GetMemAddr());
    PutLine(fp, "MemSize=%s", GetMemSize());
    PutLine(fp, "Monitor=%s", monitor->monitor_id_string);
    PutLine(fp, "DefMode=%s", GetDefaultRes());
    PutLine(fp, "OEMString=HAVRIK");
    PutLine(fp, "Version=1.0");
    PutLine(fp, "");
    for (int depth : {4, 8, 16, 24}) {
        PutLine(fp, "[%sx%d]", res, depth);
        PutLine(fp, "link=%s", res);
        PutLine(fp, "");
    }
    PutLine(fp, "; Default timing block for %s", res);
    PutLine(fp, "");
    PutLine(fp, "[%s]", res);
    PutLine(fp, "%s", timing->info_block);

    if (!out.Finish()) {
        res_dat_err_flag = 4;
        return FALSE;
    }
    return TRUE;
}
