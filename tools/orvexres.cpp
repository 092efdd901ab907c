// orvexres: maintaining resolution data files (ORVEXRES.DAT) from the command
// line. It loads a file with the database the installer uses, and checks it,
// lists its monitors and resolutions, shows a timing block as the installer
// would store it, writes it back renumbered, or writes the driver INI file of
// one resolution.
//
// Output conventions: results go to standard output, faults to standard error
// as "FILE:LINE: error: ..." (or "FILE: error: ..." when there is no line)
// followed by a "hint:" line. Texts taken from a data file are printed with
// control characters shown as \xNN, so that one record is always one line.
//
// Exit status: 0 success, 1 the database refused the request, 2 wrong usage.
#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include <errno.h>

#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "install/crt_timing.h"
#include "resdat/resdat.h"

#ifndef ORVEXRES_VERSION
#define ORVEXRES_VERSION "unknown"
#endif

namespace {

constexpr int kExitOk = 0;
constexpr int kExitRefused = 1;
constexpr int kExitUsage = 2;

// ---------------------------------------------------------------------------
// Help texts
// ---------------------------------------------------------------------------

const char kUsage[] =
    "Usage: orvexres COMMAND ARGUMENTS...\n"
    "       orvexres COMMAND --help\n"
    "       orvexres --help | --version\n"
    "\n"
    "Maintains Orvex resolution data files (ORVEXRES.DAT).\n"
    "\n"
    "Commands:\n"
    "  check FILE\n"
    "      Load FILE and print a one-line summary, or where and why it is refused.\n"
    "  list FILE [MONITOR]\n"
    "      List the monitors with their resolution counts, or one monitor's\n"
    "      resolutions.\n"
    "  show FILE MONITOR RESOLUTION [--vref HZ]\n"
    "      Show a timing block, its encoded slot values and its \"CrtTiming\" value.\n"
    "  write FILE OUT\n"
    "      Load FILE and write the database to OUT, timing blocks renumbered.\n"
    "  ini FILE MONITOR RESOLUTION OUT\n"
    "      Write the driver INI file of one monitor's resolution to OUT.\n"
    "\n"
    "MONITOR is a monitor name as the file gives it; RESOLUTION is\n"
    "WIDTHxHEIGHTxREFRESH, e.g. 640x480x60. Both compare ignoring case. Put \"--\"\n"
    "before a name that starts with \"-\".\n"
    "\n"
    "Exit status: 0 success; 2 wrong usage; 1 the data file or a name was refused,\n"
    "with the database's code:\n";

// The usage text, with the database's codes and what each means.
void PrintUsage(FILE *out) {
    fputs(kUsage, out);
    for (int32_t code : {RES_DAT_ERR_OUT_OF_MEMORY, RES_DAT_ERR_CONTENT, RES_DAT_ERR_DATA_FILE,
                         RES_DAT_ERR_INI_FILE, RES_DAT_ERR_NOT_FOUND})
        fprintf(out, "  %d  %s\n", static_cast<int>(code), GetResDatErrMeaning(code));
}

struct Command {
    const char *name;
    const char *synopsis; // the arguments after the command name
    size_t min_args;      // positional arguments
    size_t max_args;
    bool takes_vref;
    const char *help; // printed after the synopsis by "COMMAND --help"
    int (*run)(const std::vector<std::string> &args, uint32_t wanted_refresh);
};

int RunCheck(const std::vector<std::string> &args, uint32_t wanted_refresh);
int RunList(const std::vector<std::string> &args, uint32_t wanted_refresh);
int RunShow(const std::vector<std::string> &args, uint32_t wanted_refresh);
int RunWrite(const std::vector<std::string> &args, uint32_t wanted_refresh);
int RunIni(const std::vector<std::string> &args, uint32_t wanted_refresh);

const Command kCommands[] = {
    {"check", "FILE", 1, 1, false,
     "Loads FILE. When the file is accepted, prints one line and exits 0:\n"
     "  FILE: ok monitors=N resolutions=N timing_blocks=N BusType=V MemAddr=V\n"
     "  MemSize=V MemConfig=V DefMode=V\n"
     "(resolutions counts the entries of all monitors; a variable the file does\n"
     "not give is shown as -, a value with spaces or other unusual characters in\n"
     "double quotes). When it is refused, prints on standard error\n"
     "  FILE:LINE: error: what is wrong (code N: meaning)\n"
     "  FILE:LINE: hint: what to do\n"
     "(\"FILE:\" alone when the fault has no line) and exits 1.\n",
     RunCheck},
    {"list", "FILE [MONITOR]", 1, 2, false,
     "Without MONITOR, prints one line per monitor in file order: the number of\n"
     "its resolutions, a tab and its name. With MONITOR, prints that monitor's\n"
     "resolutions in list order, one WIDTHxHEIGHTxREFRESH a line. An unknown\n"
     "monitor is refused (exit 1).\n",
     RunList},
    {"show", "FILE MONITOR RESOLUTION [--vref HZ]", 3, 3, true,
     "Prints the timing block of MONITOR's RESOLUTION as \"key: value\" lines:\n"
     "  monitor: NAME\n"
     "  resolution: WIDTHxHEIGHTxREFRESH\n"
     "  block: Tn:WIDTHxHEIGHTxREFRESH      (n is the block's position, from 0)\n"
     "  text: LINE                          (one per line of the block)\n"
     "  slot NAME: DECIMAL (0xHEX)          (the fourteen encoded slot values)\n"
     "  \"CrtTiming\"=hex:25,00,...           (the 56-byte value as REGEDIT4 writes it)\n"
     "  refresh: match|mismatch (vlr N, wanted HZ|any)\n"
     "The slots are encoded as the installer stores them for the wanted refresh\n"
     "rate HZ (--vref, default 0: any rate matches). A block with fewer than\n"
     "fourteen fields cannot be encoded and is refused (exit 1).\n",
     RunShow},
    {"write", "FILE OUT", 2, 2, false,
     "Loads FILE and writes the database to OUT (CR LF line ends), the timing\n"
     "blocks numbered by position and the timing lines of the monitors to match.\n"
     "The written file holds BusType, MemAddr and DefMode but no MemSize or\n"
     "MemConfig lines; add them before the installer reads it.\n",
     RunWrite},
    {"ini", "FILE MONITOR RESOLUTION OUT", 4, 4, false,
     "Loads FILE, marks MONITOR and its RESOLUTION and writes the driver INI file\n"
     "for them to OUT.\n",
     RunIni},
};

void PrintCommandUsage(FILE *out, const Command &command) {
    fprintf(out, "Usage: orvexres %s %s\n", command.name, command.synopsis);
}

void PrintCommandHelp(const Command &command) {
    PrintCommandUsage(stdout, command);
    fputc('\n', stdout);
    fputs(command.help, stdout);
}

int UsageError(const Command *command, const std::string &message) {
    fprintf(stderr, "orvexres: %s\n", message.c_str());
    if (command != nullptr) {
        PrintCommandUsage(stderr, *command);
        fprintf(stderr, "Run 'orvexres %s --help' for details.\n", command->name);
    } else {
        PrintUsage(stderr);
    }
    return kExitUsage;
}

// ---------------------------------------------------------------------------
// Printing texts from a data file
// ---------------------------------------------------------------------------

bool IsControl(unsigned char c) {
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

// ---------------------------------------------------------------------------
// Reporting refusals
// ---------------------------------------------------------------------------

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

// ---------------------------------------------------------------------------
// The database
// ---------------------------------------------------------------------------

// Returns the database to its fresh state when a command ends, whatever path
// it takes.
struct Database {
    Database() = default;
    Database(const Database &) = delete;
    Database &operator=(const Database &) = delete;
    ~Database() { ResDatReset(); }

    // Load the file; on refusal the fault has been reported.
    bool Load(const std::string &file) {
        ResDatReset();
        if (ReadDatFile(file.c_str()))
            return true;
        ReportLoadFailure(file);
        return false;
    }
};

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
    return "T" + std::to_string(info->index) + ":" + info->res_id_string + "x" +
           info->refresh_string;
}

// ---------------------------------------------------------------------------
// Commands
// ---------------------------------------------------------------------------

int RunCheck(const std::vector<std::string> &args, uint32_t) {
    const std::string &file = args[0];
    Database db;
    if (!db.Load(file))
        return kExitRefused;
    size_t monitors = 0;
    size_t resolutions = 0;
    size_t blocks = 0;
    for (const Tag_Monitor_Entry *m = GetMonitorEntryHead(); m != nullptr; m = m->next) {
        ++monitors;
        resolutions += CountResolutions(m);
    }
    for (const Tag_Timing_Info *t = GetTimingInfoHead(); t != nullptr; t = t->next)
        ++blocks;
    printf("%s: ok monitors=%s resolutions=%s timing_blocks=%s BusType=%s MemAddr=%s "
           "MemSize=%s MemConfig=%s DefMode=%s\n",
           Printable(file).c_str(), std::to_string(monitors).c_str(),
           std::to_string(resolutions).c_str(), std::to_string(blocks).c_str(),
           SummaryValue(GetBusType()).c_str(), SummaryValue(GetMemAddr()).c_str(),
           SummaryValue(GetMemSize()).c_str(), SummaryValue(GetMemConfig()).c_str(),
           SummaryValue(GetDefaultRes()).c_str());
    return kExitOk;
}

int RunList(const std::vector<std::string> &args, uint32_t) {
    const std::string &file = args[0];
    Database db;
    if (!db.Load(file))
        return kExitRefused;
    if (args.size() == 1) {
        for (const Tag_Monitor_Entry *m = GetMonitorEntryHead(); m != nullptr; m = m->next)
            printf("%s\t%s\n", std::to_string(CountResolutions(m)).c_str(),
                   Printable(m->monitor_id_string).c_str());
        return kExitOk;
    }
    const Tag_Monitor_Entry *monitor = FindMonitor(file, args[1]);
    if (monitor == nullptr)
        return kExitRefused;
    for (const Tag_Resolution_Entry *e = monitor->res_list; e != nullptr; e = e->next)
        printf("%s\n", Printable(e->res_id_string).c_str());
    return kExitOk;
}

// Slots read as signed numbers are shown signed; the dot rate (read as hex)
// and the polarity words are shown unsigned.
bool IsSignedSlot(int slot) {
    return slot != 0 && slot != 6 && slot != 13;
}

std::string SlotDecimal(int slot, uint32_t value) {
    if (IsSignedSlot(slot)) {
        int64_t signed_value = value >= 0x80000000u ? static_cast<int64_t>(value) - 0x100000000ll
                                                    : static_cast<int64_t>(value);
        return std::to_string(signed_value);
    }
    return std::to_string(value);
}

// The value as regedit writes a REG_BINARY: "name"=hex:lower-case pairs.
std::string RegeditHexLine(const char *name, const BYTE *bytes, size_t count) {
    std::string line = "\"";
    line += name;
    line += "\"=hex:";
    for (size_t i = 0; i < count; ++i) {
        char pair[4];
        snprintf(pair, sizeof pair, "%02x", static_cast<unsigned>(bytes[i]));
        if (i > 0)
            line += ',';
        line += pair;
    }
    return line;
}

int RunShow(const std::vector<std::string> &args, uint32_t wanted_refresh) {
    const std::string &file = args[0];
    Database db;
    if (!db.Load(file))
        return kExitRefused;
    const Tag_Monitor_Entry *monitor = FindMonitor(file, args[1]);
    if (monitor == nullptr)
        return kExitRefused;
    const Tag_Resolution_Entry *entry = FindResolution(file, monitor, args[2]);
    if (entry == nullptr)
        return kExitRefused;
    const Tag_Timing_Info *info = entry->timing_info;
    if (info == nullptr) { // a loaded database is always linked
        Report(file, 0, RES_DAT_ERR_CONTENT,
               "resolution " + std::string(entry->res_id_string) + " of monitor " +
                   monitor->monitor_id_string + " has no timing block",
               "run 'orvexres check " + ShellWord(file) + "'");
        return kExitRefused;
    }

    std::string block_id = BlockId(info);
    printf("monitor: %s\n", Printable(monitor->monitor_id_string).c_str());
    printf("resolution: %s\n", Printable(entry->res_id_string).c_str());
    printf("block: %s\n", Printable(block_id).c_str());
    std::string_view text(info->info_block);
    while (!text.empty()) {
        size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        printf("text: %s\n", Printable(line).c_str());
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    }

    uint32_t values[TIMING_SLOTS] = {};
    int matches = EncodeTimingBlock(info->info_block, wanted_refresh, values);
    if (matches < 0) {
        size_t fields = 0;
        for (const char *p = info->info_block; *p != '\0'; ++p)
            if (*p == '=')
                ++fields;
        fflush(stdout);
        Report(file, 0, RES_DAT_ERR_CONTENT,
               "timing block " + block_id + " has " + std::to_string(fields) +
                   " of the 14 fields the installer needs and cannot be encoded",
               "give the block one \"name=value\" line for each of hdr, hsp, hbp, had, hfp, "
               "hco, hp, vlr, vsp, vbp, vad, vfp, vco and vp");
        return kExitRefused;
    }
    for (int slot = 0; slot < TIMING_SLOTS; ++slot)
        printf("slot %s: %s (0x%08lx)\n", timing_slot_names[slot],
               SlotDecimal(slot, values[slot]).c_str(), static_cast<unsigned long>(values[slot]));
    BYTE bytes[CRT_TIMING_BYTES];
    TimingValueBytes(values, bytes);
    printf("%s\n", RegeditHexLine("CrtTiming", bytes, sizeof bytes).c_str());
    std::string wanted = wanted_refresh == 0 ? "any" : std::to_string(wanted_refresh);
    printf("refresh: %s (vlr %s, wanted %s)\n", matches == 1 ? "match" : "mismatch",
           SlotDecimal(7, values[7]).c_str(), wanted.c_str());
    return kExitOk;
}

int RunWrite(const std::vector<std::string> &args, uint32_t) {
    const std::string &file = args[0];
    const std::string &out = args[1];
    Database db;
    if (!db.Load(file))
        return kExitRefused;
    if (!WriteResDatFile(out.c_str())) {
        Report(out, 0, res_dat_err_flag, "the data file cannot be created or written",
               "check that the directory exists, that you may write there and that the disk "
               "has room");
        return kExitRefused;
    }
    size_t monitors = 0;
    size_t blocks = 0;
    for (const Tag_Monitor_Entry *m = GetMonitorEntryHead(); m != nullptr; m = m->next)
        ++monitors;
    for (const Tag_Timing_Info *t = GetTimingInfoHead(); t != nullptr; t = t->next)
        ++blocks;
    printf("%s: written monitors=%s timing_blocks=%s\n", Printable(out).c_str(),
           std::to_string(monitors).c_str(), std::to_string(blocks).c_str());
    fprintf(stderr,
            "%s: note: the file has no MemSize or MemConfig lines; add them before the "
            "installer reads it\n",
            Printable(out).c_str());
    return kExitOk;
}

int RunIni(const std::vector<std::string> &args, uint32_t) {
    const std::string &file = args[0];
    const std::string &monitor_name = args[1];
    const std::string &res_id = args[2];
    const std::string &out = args[3];
    Database db;
    if (!db.Load(file))
        return kExitRefused;
    ClearFFMarks();
    if (!MarkMon(monitor_name.c_str())) {
        FindMonitor(file, monitor_name); // reports it
        return kExitRefused;
    }
    if (!MarkRes(monitor_name.c_str(), res_id.c_str())) {
        FindResolution(file, GetMarkedMonEntry(), res_id); // reports it
        return kExitRefused;
    }
    if (!WriteResIniFile(out.c_str())) {
        int32_t code = res_dat_err_flag;
        if (code == RES_DAT_ERR_INI_FILE)
            Report(out, 0, code, "the INI file cannot be created or written",
                   "check that the directory exists, that you may write there and that the "
                   "disk has room");
        else
            Report(file, 0, code, "nothing marked to write",
                   "run 'orvexres list " + ShellWord(file) + " " + ShellWord(monitor_name) +
                       "' to see the monitor's resolutions");
        return kExitRefused;
    }
    const Tag_Monitor_Entry *monitor = GetMarkedMonEntry();
    printf("%s: written monitor=%s resolution=%s\n", Printable(out).c_str(),
           SummaryValue(monitor->monitor_id_string).c_str(),
           SummaryValue(FindResolutionEntry(res_id.c_str(), monitor->res_list)->res_id_string)
               .c_str());
    return kExitOk;
}

// ---------------------------------------------------------------------------
// Command line
// ---------------------------------------------------------------------------

// A refresh rate in Hz: decimal digits only, at most 2^32 - 1.
bool ParseRefresh(std::string_view text, uint32_t *value) {
    if (text.empty() || text.size() > 10)
        return false;
    uint64_t number = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
        number = number * 10 + static_cast<uint64_t>(c - '0');
    }
    if (number > 0xFFFFFFFFull)
        return false;
    *value = static_cast<uint32_t>(number);
    return true;
}

const Command *FindCommand(std::string_view name) {
    for (const Command &command : kCommands)
        if (name == command.name)
            return &command;
    return nullptr;
}

int RunCommandLine(int argc, char **argv) {
    if (argc < 2)
        return UsageError(nullptr, "no command given");
    std::string_view first = argv[1];
    if (first == "--help" || first == "-h" || first == "help") {
        PrintUsage(stdout);
        return kExitOk;
    }
    if (first == "--version") {
        printf("orvexres %s\n", ORVEXRES_VERSION);
        return kExitOk;
    }
    const Command *command = FindCommand(first);
    if (command == nullptr) {
        if (!first.empty() && first[0] == '-')
            return UsageError(nullptr, "unknown option '" + Printable(first) + "'");
        return UsageError(nullptr, "unknown command '" + Printable(first) + "'");
    }

    std::vector<std::string> args;
    uint32_t wanted_refresh = 0;
    bool options_done = false;
    for (int i = 2; i < argc; ++i) {
        std::string_view arg = argv[i];
        if (options_done || arg.size() < 2 || arg[0] != '-') {
            args.emplace_back(arg);
        } else if (arg == "--") {
            options_done = true;
        } else if (arg == "--help" || arg == "-h") {
            PrintCommandHelp(*command);
            return kExitOk;
        } else if (command->takes_vref && arg.substr(0, 7) == "--vref=") {
            if (!ParseRefresh(arg.substr(7), &wanted_refresh))
                return UsageError(command, "--vref needs a refresh rate in Hz (0 to 4294967295), "
                                           "not '" +
                                               Printable(arg.substr(7)) + "'");
        } else if (command->takes_vref && arg == "--vref") {
            if (i + 1 >= argc)
                return UsageError(command, "--vref needs a refresh rate in Hz");
            std::string_view value = argv[++i];
            if (!ParseRefresh(value, &wanted_refresh))
                return UsageError(command, "--vref needs a refresh rate in Hz (0 to 4294967295), "
                                           "not '" +
                                               Printable(value) + "'");
        } else {
            return UsageError(command, std::string(command->name) + ": unknown option '" +
                                           Printable(arg) + "'");
        }
    }
    if (args.size() < command->min_args)
        return UsageError(command, std::string(command->name) + ": too few arguments");
    if (args.size() > command->max_args)
        return UsageError(command, std::string(command->name) + ": too many arguments");
    return command->run(args, wanted_refresh);
}

} // namespace

int main(int argc, char **argv) {
    int status = kExitRefused;
    try {
        status = RunCommandLine(argc, argv);
    } catch (const std::bad_alloc &) {
        fprintf(stderr, "orvexres: error: %s (code %d)\n",
                GetResDatErrMeaning(RES_DAT_ERR_OUT_OF_MEMORY), RES_DAT_ERR_OUT_OF_MEMORY);
        status = kExitRefused;
    }
    if (fflush(stdout) != 0 || ferror(stdout)) {
        fputs("orvexres: error: the output cannot be written\n", stderr);
        if (status == kExitOk)
            status = kExitRefused;
    }
    return status;
}
