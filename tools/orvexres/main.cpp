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
// This file holds the usage texts and the tables of exit codes and commands,
// from which every help text is made, and parses the command line; each
// command lives in a file of its group.
#include <stdio.h>
#include <string.h>

#include <initializer_list>
#include <new>

#include "tools/orvexres/orvexres.h"

#ifndef ORVEXRES_VERSION
#define ORVEXRES_VERSION "unknown"
#endif

namespace {

// ---------------------------------------------------------------------------
// Help texts and the tables of exit codes and commands
// ---------------------------------------------------------------------------

const char kUsageHead[] = "Usage: orvexres COMMAND ARGUMENTS...\n"
                          "       orvexres COMMAND --help\n"
                          "       orvexres --help | --version\n"
                          "\n"
                          "Maintains Orvex resolution data files (ORVEXRES.DAT).\n"
                          "\n"
                          "Commands:\n";

const char kUsageNames[] =
    "MONITOR is a monitor name as the file gives it; RESOLUTION is\n"
    "WIDTHxHEIGHTxREFRESH, e.g. 640x480x60. Both compare ignoring case. Put \"--\"\n"
    "before a name that starts with \"-\". Each option may be given once.\n";

// What the exit status of every command means.
struct Tag_Exit_Code {
    int status;
    const char *meaning;
};
const Tag_Exit_Code kExitCodes[] = {
    {kExitOk, "success (lint: no errors, warnings allowed; diff: the files are equal)"},
    {kExitRefused, "refused or found: the database refused the data file, a name, a value or an "
                   "EDID, with its code saying why; lint found errors; diff found differences"},
    {kExitUsage, "wrong usage: the command line is not one the command takes (the usage goes "
                 "to standard error); or a file that lint or diff must read does not load "
                 "(reported as check reports it)"},
};

// The table of exit codes, and the database's codes a refusal gives.
void PrintExitCodes(FILE *out) {
    fputs("\nExit status (of every command):\n", out);
    for (const Tag_Exit_Code &code : kExitCodes)
        PrintWrapped(out, "  " + std::to_string(code.status) + "  ", 5, code.meaning);
    fputs("The database's codes (\"code N\" in a refusal's message):\n", out);
    for (int32_t code : {RES_DAT_ERR_OUT_OF_MEMORY, RES_DAT_ERR_CONTENT, RES_DAT_ERR_DATA_FILE,
                         RES_DAT_ERR_INI_FILE, RES_DAT_ERR_NOT_FOUND})
        fprintf(out, "  %d  %s\n", static_cast<int>(code), GetResDatErrMeaning(code));
}

const Tag_Option kNoOptions[] = {{nullptr, nullptr}};
const Tag_Option kShowOptions[] = {
    {"--vref", "a refresh rate in Hz"}, {"--svg", "a file name"}, {nullptr, nullptr}};
const Tag_Option kEdidOptions[] = {
    {"--name", "a monitor name"}, {"--force", nullptr}, {nullptr, nullptr}};
const Tag_Option kTimingOptions[] = {{"--dmt", "WIDTHxHEIGHTxREFRESH"}, {"--dmt-id", "a DMT id"},
                                     {"--cvt", "WIDTHxHEIGHTxREFRESH"}, {"--rb", "1 or 2"},
                                     {"--gtf", "WIDTHxHEIGHTxREFRESH"}, {"--secondary", "C,M,K,J"},
                                     {"--modeline", "a modeline"},      {nullptr, nullptr}};
const Tag_Option kLintOptions[] = {{"--range", "HMIN-HMAX,VMIN-VMAX,CLOCKMAX in kHz, Hz and MHz"},
                                   {"--edid", "an EDID file"},
                                   {"--monitor", "a monitor name"},
                                   {"--force", nullptr},
                                   {nullptr, nullptr}};

// The range of make-edid and chart, which an EDID must be able to hold.
const char kWholeRange[] = "HMIN-HMAX,VMIN-VMAX,CLOCKMAX in whole kHz and Hz, and MHz";
const Tag_Option kMakeEdidOptions[] = {{"--range", kWholeRange},
                                       {"--vendor", "three letters"},
                                       {"--product", "a number from 0 to 65535"},
                                       {nullptr, nullptr}};
const Tag_Option kChartOptions[] = {{"--svg", "a file name"},
                                    {"--range", kWholeRange},
                                    {"--edid", "an EDID file"},
                                    {nullptr, nullptr}};

const Tag_Command kCommands[] = {
    {"check", "FILE", "Load FILE and print a one-line summary, or where and why it is refused.", 1,
     1, kNoOptions,
     "Loads FILE. When the file is accepted, prints one line and exits 0:\n"
     "  FILE: ok monitors=N resolutions=N timing_blocks=N BusType=V MemAddr=V\n"
     "  MemSize=V MemConfig=V DefMode=V\n"
     "(resolutions counts the entries of all monitors; a variable the file does\n"
     "not give is shown as -, a value with spaces or other unusual characters in\n"
     "double quotes). When it is refused, prints on standard error\n"
     "  FILE:LINE: error: what is wrong (code N: meaning)\n"
     "  FILE:LINE: hint: what to do\n"
     "(\"FILE:\" alone when the fault has no line) and exits 1.\n",
     nullptr, RunCheck},
    {"list", "FILE [MONITOR]",
     "List the monitors with their resolution counts, or one monitor's resolutions.", 1, 2,
     kNoOptions,
     "Without MONITOR, prints one line per monitor in file order: the number of\n"
     "its resolutions, a tab and its name. With MONITOR, prints that monitor's\n"
     "resolutions in list order, one WIDTHxHEIGHTxREFRESH a line. An unknown\n"
     "monitor is refused (exit 1).\n",
     nullptr, RunList},
    {"show", "FILE MONITOR RESOLUTION [--vref HZ] [--svg OUT.svg]",
     "Show a timing block, its encoded slot values and its \"CrtTiming\" value.", 3, 3,
     kShowOptions,
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
     "fourteen fields cannot be encoded and is refused (exit 1). --svg also draws\n"
     "the block's horizontal and vertical timing into OUT.svg, which must not be\n"
     "FILE itself.\n",
     nullptr, RunShow},
    {"write", "FILE OUT", "Load FILE and write the database to OUT, timing blocks renumbered.", 2,
     2, kNoOptions,
     "Loads FILE and writes the database to OUT (CR LF line ends), the timing\n"
     "blocks numbered by position and the timing lines of the monitors to match.\n"
     "The written file holds BusType, MemAddr and DefMode but no MemSize or\n"
     "MemConfig lines; add them before the installer reads it. OUT must not be\n"
     "FILE itself (by any name).\n",
     nullptr, RunWrite},
    {"ini", "FILE MONITOR RESOLUTION OUT",
     "Write the driver INI file of one monitor's resolution to OUT.", 4, 4, kNoOptions,
     "Loads FILE, marks MONITOR and its RESOLUTION and writes the driver INI file\n"
     "for them to OUT, which must not be FILE itself (by any name).\n",
     nullptr, RunIni},
    {"lint", "FILE [--range HMIN-HMAX,VMIN-VMAX,CLOCKMAX | --edid EDID] [--monitor NAME]",
     "Check every timing block and the file as a whole.", 1, 1, kLintOptions,
     "Checks every timing block of FILE and the file as a whole. Prints one line\n"
     "per finding, sorted by line:\n"
     "  FILE:LINE: error|warning: TEXT [RULE]\n"
     "then a summary line:\n"
     "  FILE: N errors, M warnings\n"
     "and exits 1 when there are errors, 2 when FILE or EDID does not load.\n"
     "--range gives a monitor's range: horizontal frequency in kHz, refresh in\n"
     "Hz, pixel clock in MHz, e.g. 30-70,50-120,110; --edid EDID takes it from the\n"
     "Display Range Limits of the monitor's EDID. The range applies to the blocks\n"
     "of monitor NAME (--monitor); without --monitor, --edid applies it to the\n"
     "monitor the EDID names when FILE has it (a note says which), and a range\n"
     "applies to every block otherwise.\n",
     PrintLintRules, RunLint},
    {"timing", "SOURCE", "Print a timing block from the VESA DMT list, CVT, GTF or a modeline.", 0,
     0, kTimingOptions,
     "Prints one timing block in the file's notation: exactly fourteen lines,\n"
     "hdr (MHz with three decimals and mHz) ... vp. SOURCE is one of\n"
     "  --dmt WxHxR         the VESA DMT list (the refresh the standard names the\n"
     "                      mode by; the mode without reduced blanking where both\n"
     "                      exist)\n"
     "  --dmt-id ID         the DMT mode of that id, decimal or 0x hex\n"
     "  --cvt WxHxR [--rb 1|2]\n"
     "                      VESA CVT 1.2, CRT blanking or reduced blanking v1 or v2\n"
     "  --gtf WxHxR [--secondary C,M,K,J]\n"
     "                      VESA GTF, default curve or the curve C,M,K,J\n"
     "  --modeline \"CLOCK HDISP HSS HSE HTOT VDISP VSS VSE VTOT [+-hsync] [+-vsync]\"\n"
     "                      an X11 modeline (\"Modeline\" and a quoted name optional)\n"
     "A mode the DMT list does not hold, or a request the formulas refuse, is\n"
     "refused (exit 1) with the reason and, for the DMT, the nearest modes.\n",
     nullptr, RunTiming},
    {"modeline", "FILE MONITOR RESOLUTION",
     "Print the timing block of a monitor's resolution as an X11 modeline.", 3, 3, kNoOptions,
     "Prints the timing block of MONITOR's RESOLUTION as an X11 modeline:\n"
     "  Modeline \"WxH_R\" CLOCK HDISP HSS HSE HTOT VDISP VSS VSE VTOT +-hsync +-vsync\n"
     "(CLOCK in MHz with three decimals, R the block's vlr).\n",
     nullptr, RunModeline},
    {"modelines", "FILE [MONITOR]",
     "Print every timing block of a file, or of a monitor, as X11 modelines.", 1, 2, kNoOptions,
     "Prints every timing block of FILE, or those of MONITOR in its order, as X11\n"
     "modelines, one a line. A block that is no whole mode is reported and the\n"
     "exit status is 1.\n",
     nullptr, RunModelines},
    {"add-mode", "FILE MONITOR SOURCE",
     "Add a mode from the DMT list, CVT, GTF or a modeline to a monitor.", 2, 2, kTimingOptions,
     "Adds one mode, SOURCE as for the timing command, to MONITOR of FILE: a new\n"
     "timing block after the file's last block (numbered after the highest block\n"
     "number), or the existing block equal to it in every number, and a timing\n"
     "line at the end of the monitor's block. Every other byte of the file stays\n"
     "as it was; a symbolic link stays one (its target is edited), and the file\n"
     "keeps its permissions. A resolution the monitor has already is refused, and\n"
     "so is a file whose last line has no line end (the installer drops it). The\n"
     "result must load and bring no new lint error before it replaces the file;\n"
     "otherwise nothing changes (exit 1).\n",
     nullptr, RunAddMode},
    {"edid", "EDID [--name NAME] [--force]",
     "Print a monitor's EDID as a monitor block and its timing blocks.", 1, 1, kEdidOptions,
     "Decodes a monitor's EDID (binary, 128 bytes a block, or a hex dump, as\n"
     "edid-decode prints it; \"-\" reads standard input) and prints a monitor block\n"
     "and its timing blocks in the data file's format: every detailed timing of\n"
     "the base block and of CTA-861 extensions, the established timings I, II and\n"
     "III, the standard timings (by the formula the Display Range Limits name, a\n"
     "secondary GTF curve included), the CVT 3-byte codes and the CTA-861 video\n"
     "data blocks, one block per distinct mode, each with a comment saying where\n"
     "it came from. The comments before the monitor block sum the EDID up (its\n"
     "blocks, the blocks of a longer dump not decoded, the Display Range Limits,\n"
     "the modes of each list folded into a detailed timing they repeat), give\n"
     "the decoder's notes and count the modes a timing block cannot hold. A\n"
     "monitor lists a resolution once: of the modes of one resolution the\n"
     "preferred one is kept, else the first, and the others are left out, each\n"
     "in a comment naming the block kept. The name is --name when given, else\n"
     "the EDID's product name (or maker and product code). A bad checksum,\n"
     "length or hex is refused (exit 1); --force decodes despite a checksum.\n",
     nullptr, RunEdid},
    {"import-edid", "FILE EDID [--name NAME] [--force]",
     "Add a monitor's EDID to a data file as a new monitor.", 2, 2, kEdidOptions,
     "Adds the EDID's monitor to FILE as add-mode adds modes: a new monitor block\n"
     "after the last one, new timing blocks after the last block (numbered after\n"
     "the highest), existing blocks equal in every number reused; every other byte\n"
     "kept, and a symbolic link and the permissions too. The modes are those edid\n"
     "lists (a mode of a resolution kept is left out, with a note). A\n"
     "file whose last line has no line end is refused. The result must load and\n"
     "bring no new lint error before it replaces the file; otherwise nothing\n"
     "changes (exit 1).\n",
     nullptr, RunImportEdid},
    {"make-edid",
     "FILE MONITOR OUT [--range HMIN-HMAX,VMIN-VMAX,CLOCKMAX] [--vendor ABC] [--product N]",
     "Write an EDID of a monitor of the file, for a system to load in its place.", 3, 3,
     kMakeEdidOptions,
     "Writes to OUT the EDID 1.3 (one 128-byte block, binary) of an analog\n"
     "monitor with MONITOR's name (an EDID holds 13 characters of it), its\n"
     "modes (each block read by key; the first mode the preferred detailed\n"
     "timing, the others established timings, standard timings or detailed\n"
     "timings while descriptors remain) and a range: --range, in whole kHz and\n"
     "Hz, the clock in MHz (an EDID holds it in steps of 10 MHz, taken up), or\n"
     "else the modes' own, rounded outward. --vendor gives the maker's three\n"
     "letters (default ORV), --product the product code (default 0). Prints\n"
     "the preferred mode, where the modes went and the range:\n"
     "  OUT: EDID 1.3 of MONITOR written: N modes, the preferred WxHxR: N as\n"
     "  established timings, N as standard timings, N as detailed timings, N\n"
     "  repeated, N left out; range ... (as given|from the modes)\n"
     "and names each mode left out (no room, a clock above 655.35 MHz, a count\n"
     "a detailed timing cannot hold ...) in a note on standard error; the\n"
     "exit status is 0 all the same. A monitor without modes, or none a detailed\n"
     "timing holds for the preferred one, a vendor, product code or range an\n"
     "EDID cannot hold are refused (exit 1) and nothing is written. OUT must not\n"
     "be FILE itself (by any name).\n",
     nullptr, RunMakeEdid},
    {"chart", "FILE MONITOR --svg OUT [--range HMIN-HMAX,VMIN-VMAX,CLOCKMAX | --edid EDID]",
     "Draw a monitor's modes by horizontal frequency and refresh, against its range.", 2, 2,
     kChartOptions,
     "Draws MONITOR's modes (each block read by key) into OUT as an SVG chart:\n"
     "one point per mode at its horizontal frequency (kHz, across) and refresh\n"
     "(Hz, up), with a tooltip naming the mode and its figures. With a range\n"
     "(--range in whole kHz and Hz, the clock in MHz, or --edid EDID, the EDID's\n"
     "Display Range Limits) the range is a rectangle, the points inside it green,\n"
     "those outside it red, those over the clock limit orange, with a legend.\n"
     "Prints\n"
     "  OUT: chart of MONITOR: N modes, N inside the range, N outside it, N over\n"
     "  the clock limit\n"
     "(the counts after the first with a range only). OUT must be neither FILE\n"
     "nor EDID (by any name).\n",
     nullptr, RunChart},
    {"diff", "A B",
     "Compare two data files by what they mean: variables, monitors, resolutions, timings.", 2, 2,
     kNoOptions,
     "Loads A, then B, and prints one line per difference of meaning, in this\n"
     "order and in these forms (NAME and RES as the files spell them, in double\n"
     "quotes when they hold blanks; an unset variable or a field not read by key\n"
     "shows as -):\n"
     "  ~ variable VAR: OLD -> NEW       a header variable (BusType ... DefMode)\n"
     "  - monitor NAME                   a monitor only A has\n"
     "  ~ monitor NAME name: OLD -> NEW  its name spelt otherwise\n"
     "  - monitor NAME resolution RES    a resolution only A's monitor lists\n"
     "  + monitor NAME resolution RES    a resolution only B's monitor lists\n"
     "  ~ monitor NAME resolution RES position: OLD -> NEW\n"
     "                                   listed at another place (from 1) among\n"
     "                                   those both list\n"
     "  ~ monitor NAME resolution RES FIELD: OLD -> NEW\n"
     "                                   a field of its block read by key (hdr\n"
     "                                   ... vp, written as a block writes it)\n"
     "  + monitor NAME                   a monitor only B has\n"
     "Monitors compare by name and resolutions by id, ignoring case; the monitor\n"
     "lines come in A's order, those of resolutions in B's (after those removed),\n"
     "each monitor's after its own line; NAME is A's spelling where both have it.\n"
     "A resolution a monitor lists again is RES#2, #3 and so on. Block numbers,\n"
     "the order of the blocks and of the monitors, comments and blank lines do\n"
     "not count, nor do blocks no monitor lists. Exits 0 when the files mean the\n"
     "same, 1 when they differ, 2 when one does not load.\n",
     nullptr, RunDiff},
};

void PrintCommandUsage(FILE *out, const Tag_Command &command) {
    fprintf(out, "Usage: orvexres %s %s\n", command.name, command.synopsis);
}

// The usage, made from the table of commands, and the exit codes.
void PrintUsage(FILE *out) {
    fputs(kUsageHead, out);
    for (const Tag_Command &command : kCommands)
        fprintf(out, "  %s %s\n      %s\n", command.name, command.synopsis, command.summary);
    fputc('\n', out);
    fputs(kUsageNames, out);
    PrintExitCodes(out);
}

void PrintCommandHelp(const Tag_Command &command) {
    PrintCommandUsage(stdout, command);
    fputc('\n', stdout);
    fputs(command.help, stdout);
    if (command.print_more_help != nullptr)
        command.print_more_help(stdout);
    PrintExitCodes(stdout);
}

} // namespace

int UsageError(const Tag_Command *command, const std::string &message) {
    fprintf(stderr, "orvexres: %s\n", message.c_str());
    if (command != nullptr) {
        PrintCommandUsage(stderr, *command);
        fprintf(stderr, "Run 'orvexres %s --help' for details.\n", command->name);
    } else {
        PrintUsage(stderr);
    }
    return kExitUsage;
}

const std::string *FindOption(const Tag_Invocation &call, const char *name) {
    for (const auto &option : call.options)
        if (option.first == name)
            return &option.second;
    return nullptr;
}

bool HasOption(const Tag_Invocation &call, const char *name) {
    return FindOption(call, name) != nullptr;
}

namespace {

// ---------------------------------------------------------------------------
// Command line
// ---------------------------------------------------------------------------

const Tag_Command *FindCommand(std::string_view name) {
    for (const Tag_Command &command : kCommands)
        if (name == command.name)
            return &command;
    return nullptr;
}

const Tag_Option *FindOptionOf(const Tag_Command &command, std::string_view name) {
    for (const Tag_Option *option = command.options; option->name != nullptr; ++option)
        if (name == option->name)
            return option;
    return nullptr;
}

// The option argv[*i] (and its value, the next argument unless given after
// "="; "--" before a value that starts with "-" is skipped) into call.
// kExitOk, or the usage error.
int ReadOption(const Tag_Command &command, int argc, char **argv, int *i, Tag_Invocation *call) {
    std::string_view arg = argv[*i];
    size_t equals = arg.find('=');
    std::string_view name = arg.substr(0, equals);
    const Tag_Option *option = FindOptionOf(command, name);
    if (option == nullptr || (option->value == nullptr && equals != std::string_view::npos))
        return UsageError(&command,
                          std::string(command.name) + ": unknown option '" + Printable(arg) + "'");
    if (FindOption(*call, option->name) != nullptr)
        return UsageError(&command, std::string(option->name) + " is given twice");
    std::string value;
    if (option->value != nullptr) {
        if (equals != std::string_view::npos) {
            value = arg.substr(equals + 1);
        } else {
            if (*i + 2 < argc && std::string_view(argv[*i + 1]) == "--")
                ++*i;
            if (*i + 1 >= argc)
                return UsageError(&command, std::string(option->name) + " needs " + option->value);
            value = argv[++*i];
        }
    }
    call->options.emplace_back(option->name, value);
    return kExitOk;
}

// The arguments after the command name into call; kExitOk (with *help true
// when the command's help was asked for), or the usage error. "--" makes the
// argument after it a name, whatever it starts with.
int ReadArguments(const Tag_Command &command, int argc, char **argv, Tag_Invocation *call,
                  bool *help) {
    for (int i = 2; i < argc; ++i) {
        std::string_view arg = argv[i];
        if (arg == "--") {
            if (++i >= argc)
                return UsageError(&command, "-- must stand before a name");
            call->args.emplace_back(argv[i]);
        } else if (arg.size() < 2 || arg[0] != '-') {
            call->args.emplace_back(arg);
        } else if (arg == "--help" || arg == "-h") {
            *help = true;
            return kExitOk;
        } else if (int status = ReadOption(command, argc, argv, &i, call); status != kExitOk) {
            return status;
        }
    }
    if (call->args.size() < command.min_args)
        return UsageError(&command, std::string(command.name) + ": too few arguments");
    if (call->args.size() > command.max_args)
        return UsageError(&command, std::string(command.name) + ": too many arguments");
    return kExitOk;
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
    const Tag_Command *command = FindCommand(first);
    if (command == nullptr) {
        if (!first.empty() && first[0] == '-')
            return UsageError(nullptr, "unknown option '" + Printable(first) + "'");
        return UsageError(nullptr, "unknown command '" + Printable(first) + "'");
    }
    Tag_Invocation call{command, {}, {}};
    bool help = false;
    int status = ReadArguments(*command, argc, argv, &call, &help);
    if (help)
        PrintCommandHelp(*command);
    if (status != kExitOk || help)
        return status;
    return command->run(call);
}

} // namespace

int main(int argc, char **argv) {
    int status = kExitRefused;
    try {
        status = RunCommandLine(argc, argv);
    } catch (const std::bad_alloc &) { // the one place an allocation failure ends
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
