// orvexres: what the tool's source files share. The commands are functions
// of an invocation (the parsed command line); they print results on standard
// output and faults on standard error, and return the exit status.
#ifndef ORVEX_TOOLS_ORVEXRES_H
#define ORVEX_TOOLS_ORVEXRES_H

#include <stddef.h>
#include <stdint.h>
#include <stdio.h>

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "resdat/resdat.h"
#include "timing/edid.h"
#include "tools/lint/lint.h"

// The exit status of every command (main.cpp's table says what each means).
constexpr int kExitOk = 0;
constexpr int kExitRefused = 1; // also: lint found errors, diff found differences
constexpr int kExitUsage = 2;
// Of lint and diff: a file they must read does not load (kExitUsage's row).
constexpr int kExitUnread = kExitUsage;

struct Tag_Command;

// One option a command takes: "--vref" with a value described as "a refresh
// rate in Hz", or a flag (value null).
struct Tag_Option {
    const char *name;
    const char *value; // what the value is, for messages; null for a flag
};

// A parsed command line.
struct Tag_Invocation {
    const Tag_Command *command;
    std::vector<std::string> args;                            // positional
    std::vector<std::pair<std::string, std::string>> options; // name, value
};

struct Tag_Command {
    const char *name;
    const char *synopsis; // the arguments after the command name
    const char *summary;  // one line for "orvexres --help"
    size_t min_args;      // positional arguments
    size_t max_args;
    const Tag_Option *options; // ended by a row whose name is null
    const char *help;          // printed after the synopsis by "COMMAND --help"
    // Prints what the help says after its text from a table (null: nothing).
    void (*print_more_help)(FILE *out);
    int (*run)(const Tag_Invocation &call);
};

// The value of an option given on the command line (each is given once at
// most), or null.
const std::string *FindOption(const Tag_Invocation &call, const char *name);
bool HasOption(const Tag_Invocation &call, const char *name);

// "orvexres: MESSAGE", the command's usage and a pointer to its help, on
// standard error; returns kExitUsage.
int UsageError(const Tag_Command *command, const std::string &message);

// A whole number of decimal digits only (no sign, no blanks), at most max;
// false when the text is not one.
bool ParseWholeNumber(std::string_view text, uint64_t max, uint64_t *value);

// Texts from a file with control characters shown as \xNN.
std::string Printable(std::string_view text);
// A header variable's value for a summary line: "-" when unset, in double
// quotes when it holds anything but plain characters.
std::string SummaryValue(const char *value);
// A name for a shell command in a hint, quoted when a shell would split it.
std::string ShellWord(std::string_view text);
// Text for a help, after a first line's lead, in lines of at most 79
// characters; the lines after the first indented by indent blanks.
void PrintWrapped(FILE *out, const std::string &lead, size_t indent, std::string_view text);

// "FILE:LINE: error: DETAIL (code N: meaning)" and "FILE:LINE: hint: HINT" on
// standard error ("FILE:" alone when line is 0).
void Report(const std::string &file, int32_t line, int32_t code, const std::string &detail,
            const std::string &hint);
// Why ReadDatFile refused the file, with the database's detail and hint.
void ReportLoadFailure(const std::string &file);
// That memory ran out while the command worked on the file (code 1).
void ReportOutOfMemory(const std::string &file);

// A file's bytes ("-" is standard input); false when it cannot be read or
// holds more than limit bytes.
bool ReadFileBytes(const std::string &path, size_t limit, std::string *bytes);

// Whether two names name the same existing file, however they name it (the
// same device and file number, symbolic links followed).
bool SameFile(const std::string &a, const std::string &b);
// An output that is not the input itself: true, or false with the refusal
// reported (the database's code says what kind of file the output is).
bool OutputIsNotInput(const std::string &input, const std::string &out, int32_t code);

// Write bytes to out, a new file or one written over; false with the fault
// reported, what naming the output ("the picture").
bool WriteOutput(const std::string &out, const void *bytes, size_t size, const char *what);

// The database of one command: loaded on request, returned to its fresh state
// when the command ends, whatever path it takes.
struct Tag_Database {
    Tag_Database() = default;
    Tag_Database(const Tag_Database &) = delete;
    Tag_Database &operator=(const Tag_Database &) = delete;
    ~Tag_Database() { ResDatReset(); }

    // Load the file; on refusal the fault has been reported.
    bool Load(const std::string &file);
};

// The monitor of that name, or null with the refusal reported.
Tag_Monitor_Entry *FindMonitor(const std::string &file, const std::string &name);
// The monitor's resolution of that id, or null with the refusal reported.
Tag_Resolution_Entry *FindResolution(const std::string &file, const Tag_Monitor_Entry *monitor,
                                     const std::string &res_id);
size_t CountResolutions(const Tag_Monitor_Entry *monitor);
// One monitor's modes: its resolutions in list order, each block read by
// key.
struct Tag_Monitor_Modes {
    std::string name; // as the file spells it
    std::vector<Tag_Video_Timing> timings;
    std::vector<std::string> resolutions; // "WxHxR" as the monitor lists it
    std::vector<std::string> blocks;      // "Tn:WxHxR" (BlockId)
};
// The modes of the loaded database's monitor of that name; false with the
// refusal reported (no such monitor, a block that is no whole mode by key).
bool ReadMonitorModes(const std::string &file, const std::string &name, Tag_Monitor_Modes *modes);
// "Tn:WxHxR" of a timing record, n its position.
std::string BlockId(const Tag_Timing_Info *info);
// "WxHxR" of a timing's size and nominal refresh: the resolution a monitor
// lists it as.
std::string ResolutionOf(const Tag_Video_Timing &timing);

// The commands on the data file itself (file_commands.cpp).
int RunCheck(const Tag_Invocation &call);
int RunList(const Tag_Invocation &call);
int RunShow(const Tag_Invocation &call);
int RunWrite(const Tag_Invocation &call);
int RunIni(const Tag_Invocation &call);

// Checking timings (lint_command.cpp), and the rules for its help.
int RunLint(const Tag_Invocation &call);
void PrintLintRules(FILE *out);

// Comparing two data files (diff_command.cpp).
int RunDiff(const Tag_Invocation &call);

// Timings (timing_commands.cpp).
// The timing of the source the command line names (--dmt, --dmt-id, --cvt
// with --rb, --gtf with --secondary, --modeline): kExitOk, or the exit status
// with the refusal reported (a usage error names the sources; each one's
// syntax is in the command's help, made from the table of commands).
int TimingFromSource(const Tag_Invocation &call, Tag_Video_Timing *timing);
int RunTiming(const Tag_Invocation &call);
int RunModeline(const Tag_Invocation &call);
int RunModelines(const Tag_Invocation &call);

// Adding modes to a data file in place (file_edit.cpp): to a monitor of the
// file, or as a new monitor. A resolution the monitor has already is refused,
// and so is a file whose unended last line the installer drops. Nothing
// changes unless the result loads and brings no new lint error; a symbolic
// link is kept (its target is edited) and so are the file's permissions.
// *block_ids (when not null) receives the block id each mode is listed as.
int AddModesToFile(const std::string &file, const std::string &monitor_name, bool new_monitor,
                   const std::vector<Tag_Video_Timing> &modes,
                   std::vector<std::string> *block_ids = nullptr);
int RunAddMode(const Tag_Invocation &call);

// EDID (edid_commands.cpp): edid, import-edid, make-edid, and the range
// options of lint and chart.
int RunEdid(const Tag_Invocation &call);
int RunImportEdid(const Tag_Invocation &call);
int RunMakeEdid(const Tag_Invocation &call);
// "range 30-83 kHz, 56-76 Hz, clock up to 150 MHz".
std::string RangeText(const Tag_Edid_Range &range);

// A monitor's range as a command line gives it: --range
// HMIN-HMAX,VMIN-VMAX,CLOCKMAX (kHz, Hz, MHz) or --edid EDID (the EDID's
// Display Range Limits), not both.
struct Tag_Range_Option {
    bool given;            // one of them is given
    Tag_Lint_Range lint;   // the range as lint checks it
    Tag_Edid_Range edid;   // in an EDID's units (present when given)
    std::string edid_name; // --edid: the monitor's name as the EDID gives it
};
// Read the range options into *range. whole: the command keeps the range in
// an EDID's units, whole kHz and Hz (a --range with fractions is a usage
// error; the clock is taken up to the kHz). kExitOk, the usage error, or
// unread with the fault reported when the EDID cannot be read or has no
// range limits.
int ReadRangeOption(const Tag_Invocation &call, bool whole, int unread, Tag_Range_Option *range);
// Pictures (picture_commands.cpp): the picture of a timing record's block
// written to out (show --svg), false with the fault reported; a monitor's
// range chart.
bool WriteTimingPicture(const std::string &file, const std::string &out, const char *title,
                        const Tag_Timing_Info *info);
int RunChart(const Tag_Invocation &call);

#endif
