// orvexres end to end: the built tool run on the bundled example and on broken
// files, with its standard output, standard error and exit status checked for
// the commands on the data file itself (check, list, show, write, ini, diff),
// the usage errors, --help and --version.
#include <unistd.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "support/orvexres_tool.h"

namespace {

using namespace orvexres_tool;

// The "slot NAME: DECIMAL (0xHEX)" lines of show, as NAME -> "DECIMAL (0xHEX)".
std::map<std::string, std::string> Slots(const std::string &out) {
    std::map<std::string, std::string> slots;
    for (const std::string &line : Lines(out)) {
        if (!StartsWith(line, "slot "))
            continue;
        size_t colon = line.find(": ");
        if (colon != std::string::npos)
            slots[line.substr(5, colon - 5)] = line.substr(colon + 2);
    }
    return slots;
}

const char kRequired[] = "MemSize=2\nMemConfig=1\nDefMode=640x480\n";

// A timing block: its header line, the body and the empty line ending it.
std::string Block(const std::string &id, const std::string &body) {
    return "[" + id + "]\n" + body + "\n";
}
const char kBody640[] = "hdr=25.175mHz\nhsp=96\nhbp=48\nhad=640\nhfp=16\nhco=0\nhp =negative\n"
                        "vlr=60Hz\nvsp=2\nvbp=33\nvad=480\nvfp=10\nvco=0\nvp =negative\n";

const char kCrtTiming640x480x60[] =
    "\"CrtTiming\"=hex:25,00,00,00,60,00,00,00,30,00,00,00,80,02,00,00,10,00,00,00,"
    "00,00,00,00,00,00,00,00,3c,00,00,00,02,00,00,00,21,00,00,00,e0,01,00,00,"
    "0a,00,00,00,00,00,00,00,00,00,00,00";

const Strings kExampleMonitors = {
    "10\tGeneric",         "1\tVGA 640x480 Only", "4\tOrvex ProView 14",
    "7\tOrvex ProView 15", "9\tOrvex ProView 17", "6\tOrvex ProView 21",
};

const char kExampleSummary[] = ": ok monitors=6 resolutions=37 timing_blocks=13 BusType=VESA "
                               "MemAddr=8000 MemSize=2 MemConfig=1 DefMode=640x480\n";

// ---------------------------------------------------------------------------
// Usage, --help and --version
// ---------------------------------------------------------------------------

using OrvexresUsage = Orvexres;

TEST_F(OrvexresUsage, VersionIsTheProjectVersion) {
    Result r = Tool({"--version"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "orvexres 1.0.0\n");
    EXPECT_EQ(r.err, "");
}

TEST_F(OrvexresUsage, HelpListsEveryCommandOnStdout) {
    Result r = Tool({"--help"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_TRUE(StartsWith(r.out, "Usage: orvexres COMMAND")) << r.out;
    for (const char *synopsis : {"check FILE", "list FILE [MONITOR]",
                                 "show FILE MONITOR RESOLUTION [--vref HZ] [--svg OUT.svg]",
                                 "write FILE OUT", "ini FILE MONITOR RESOLUTION OUT"})
        EXPECT_TRUE(Contains(r.out, std::string("  ") + synopsis + "\n")) << synopsis;
}

TEST_F(OrvexresUsage, CommandHelpGivesThatCommandsUsage) {
    const Strings synopses = {"check FILE", "list FILE [MONITOR]",
                              "show FILE MONITOR RESOLUTION [--vref HZ] [--svg OUT.svg]",
                              "write FILE OUT", "ini FILE MONITOR RESOLUTION OUT"};
    for (const std::string &synopsis : synopses) {
        std::string name = synopsis.substr(0, synopsis.find(' '));
        for (const char *flag : {"--help", "-h"}) {
            Result r = Tool({name, flag});
            EXPECT_EQ(r.status, 0) << name;
            EXPECT_EQ(r.err, "") << name;
            EXPECT_TRUE(StartsWith(r.out, "Usage: orvexres " + synopsis + "\n")) << r.out;
        }
    }
    // --help wins over the other arguments and loads nothing.
    Result r = Tool({"write", dir.File("missing.dat"), "--help"});
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(StartsWith(r.out, "Usage: orvexres write FILE OUT\n"));
    // lint's help names each rule of the README's table (test_lint holds
    // that table to the rules), with its kind, in the table's order.
    std::string lint = Tool({"lint", "--help"}).out;
    size_t at = 0, rules = 0;
    for (const std::string &line : Lines(ReadBytes(ORVEX_SOURCE_DIR "/README.md"))) {
        if (!StartsWith(line, "| `"))
            continue;
        size_t tick = line.find('`', 3);
        std::string kind = line.substr(tick + 4, line.find(' ', tick + 4) - tick - 4);
        if (kind != "error" && kind != "warning")
            continue;
        at = lint.find("\n  " + line.substr(3, tick - 3) + " (" + kind + ")\n", at);
        EXPECT_NE(at, std::string::npos) << line;
        ++rules;
    }
    EXPECT_GT(rules, 10u);
}

TEST_F(OrvexresUsage, NoCommandOrUnknownCommandIsExit2WithUsageOnStderr) {
    for (const Strings &args : {Strings{}, Strings{"frobnicate", example}, Strings{"--frob"},
                                Strings{"CHECK", example}}) {
        Result r = Tool(args);
        EXPECT_EQ(r.status, 2) << (args.empty() ? "" : args[0]);
        EXPECT_EQ(r.out, "");
        EXPECT_TRUE(StartsWith(r.err, "orvexres: ")) << r.err;
        EXPECT_TRUE(Contains(r.err, "Usage: orvexres COMMAND")) << r.err;
    }
    EXPECT_TRUE(Contains(Tool({"frobnicate"}).err, "unknown command 'frobnicate'"));
}

TEST_F(OrvexresUsage, WrongArgumentCountsAreExit2WithTheCommandsUsage) {
    std::string out = dir.File("out");
    struct Case {
        Strings args;
        const char *usage;
        const char *fault;
    } cases[] = {
        {{"check"}, "Usage: orvexres check FILE\n", "too few"},
        {{"check", example, example}, "Usage: orvexres check FILE\n", "too many"},
        {{"list"}, "Usage: orvexres list FILE [MONITOR]\n", "too few"},
        {{"list", example, "Generic", "640x480x60"},
         "Usage: orvexres list FILE [MONITOR]\n",
         "too many"},
        {{"show", example, "Generic"}, "Usage: orvexres show FILE MONITOR RESOLUTION", "too few"},
        {{"show", example, "Generic", "640x480x60", "x"},
         "Usage: orvexres show FILE MONITOR RESOLUTION",
         "too many"},
        {{"write", example}, "Usage: orvexres write FILE OUT\n", "too few"},
        {{"write", example, out, out}, "Usage: orvexres write FILE OUT\n", "too many"},
        {{"ini", example, "Generic", "640x480x60"}, "Usage: orvexres ini FILE MONITOR", "too few"},
        {{"ini", example, "Generic", "640x480x60", out, out},
         "Usage: orvexres ini FILE MONITOR",
         "too many"},
    };
    for (const Case &c : cases) {
        Result r = Tool(c.args);
        std::string what = c.args[0] + " with " + std::to_string(c.args.size() - 1) + " args";
        EXPECT_EQ(r.status, 2) << what;
        EXPECT_EQ(r.out, "") << what;
        EXPECT_TRUE(Contains(r.err, c.usage)) << what << ": " << r.err;
        EXPECT_TRUE(Contains(r.err, c.fault)) << what << ": " << r.err;
    }
    EXPECT_FALSE(FileExists(out)) << "a usage error writes nothing";
}

TEST_F(OrvexresUsage, BadVrefAndUnknownOptionsAreExit2) {
    const Strings bad_vrefs[] = {
        {"show", example, "Generic", "640x480x60", "--vref"},
        {"show", example, "Generic", "640x480x60", "--vref", "abc"},
        {"show", example, "Generic", "640x480x60", "--vref", "-1"},
        {"show", example, "Generic", "640x480x60", "--vref", "4294967296"},
        {"show", example, "Generic", "640x480x60", "--vref", ""},
        {"show", example, "Generic", "640x480x60", "--vref=6O"},
    };
    for (const Strings &args : bad_vrefs) {
        Result r = Tool(args);
        EXPECT_EQ(r.status, 2) << args.back();
        EXPECT_EQ(r.out, "");
        EXPECT_TRUE(Contains(r.err, "--vref")) << r.err;
        EXPECT_TRUE(Contains(r.err, "Usage: orvexres show ")) << r.err;
    }
    // Only show takes --vref; unknown options are refused everywhere.
    for (const Strings &args :
         {Strings{"check", "--vref", "60", example}, Strings{"list", example, "--bogus"},
          Strings{"show", example, "Generic", "640x480x60", "-x"}}) {
        Result r = Tool(args);
        EXPECT_EQ(r.status, 2) << args[0];
        EXPECT_TRUE(Contains(r.err, "unknown option")) << r.err;
    }
}

// The README's table of exit codes and its synopses are those of the help:
// each command's synopsis once, and the exit codes of every command.
TEST_F(OrvexresUsage, TheReadmeAgreesWithTheHelp) {
    std::string help = Tool({"--help"}).out;
    Strings readme = Lines(ReadBytes(ORVEX_SOURCE_DIR "/README.md"));
    Strings synopses; // the README's usage block, from "orvexres check"
    auto line = std::find(readme.begin(), readme.end(), "orvexres check FILE");
    for (; line != readme.end() && !StartsWith(*line, "orvexres --help"); ++line)
        synopses.push_back(line->substr(9));
    EXPECT_EQ(synopses.size(), 15u);
    for (const std::string &synopsis : synopses) {
        size_t at = help.find("\n  " + synopsis + "\n");
        EXPECT_NE(at, std::string::npos) << synopsis;
        EXPECT_EQ(help.find("\n  " + synopsis + "\n", at + 1), std::string::npos) << synopsis;
    }
    // "  N  meaning" in lines of the help, "| N | meaning |" in the README.
    Strings codes;
    bool in_table = false;
    for (const std::string &line : Lines(help)) {
        if (StartsWith(line, "Exit status") || StartsWith(line, "The database's codes"))
            in_table = StartsWith(line, "Exit status");
        else if (in_table && StartsWith(line, "     "))
            codes.back() += " " + line.substr(5);
        else if (in_table)
            codes.push_back("| " + line.substr(2, 1) + " | " + line.substr(5));
    }
    for (std::string &code : codes)
        code += " |";
    auto row = std::find(readme.begin(), readme.end(), "| Status | Meaning |");
    ASSERT_NE(row, readme.end());
    ASSERT_GE(readme.end() - row, 2 + static_cast<long>(codes.size()));
    EXPECT_EQ(Strings(row + 2, row + 2 + codes.size()), codes);
}

TEST_F(OrvexresUsage, DoubleDashEndsTheOptions) {
    std::string file = DataFile("dash.dat", std::string(kRequired) +
                                                "\n[M0]\nname=-dash\ntiming0 = T0:640x480x60\n\n" +
                                                Block("T0:640x480x60", kBody640));
    Result r = Tool({"list", file, "--", "-dash"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "640x480x60\n");
    EXPECT_EQ(Tool({"list", file, "-dash"}).status, 2);
}

// ---------------------------------------------------------------------------
// check
// ---------------------------------------------------------------------------

using OrvexresCheck = Orvexres;

TEST_F(OrvexresCheck, ExampleGivesOneSummaryLine) {
    Result r = Tool({"check", example});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, example + kExampleSummary);
    EXPECT_EQ(r.err, "");
}

TEST_F(OrvexresCheck, UnsetVariablesShowAsDashAndSpacedValuesQuoted) {
    std::string file = DataFile("vars.dat", "MemSize=2\nMemConfig=1\nDefMode=640 x \"480\"\n");
    Result r = Tool({"check", file});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, file + ": ok monitors=0 resolutions=0 timing_blocks=0 BusType=- MemAddr=- "
                            "MemSize=2 MemConfig=1 DefMode=\"640 x \\\"480\\\"\"\n");
}

TEST_F(OrvexresCheck, MissingFileHasNoLineAndExit1) {
    std::string missing = dir.File("nowhere.dat");
    Result r = Tool({"check", missing});
    ExpectRefusal(r, missing, 3, "the file cannot be opened");
    EXPECT_EQ(r.out, "");
}

TEST_F(OrvexresCheck, DirectoryIsAFileThatCannotBeRead) {
    Result r = Tool({"check", dir.path()});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(Contains(r.err, "(code 3: ")) << r.err;
}

TEST_F(OrvexresCheck, MissingRequiredVariableHasNoLine) {
    std::string file = DataFile("novar.dat", "MemSize=2\nDefMode=640x480\n\n[M0]\nname=A\n\n");
    Result r = Tool({"check", file});
    ExpectRefusal(r, file, 2, "the required header variable MemConfig is missing");
    EXPECT_EQ(r.out, "");
}

TEST_F(OrvexresCheck, ResolutionWithoutBlockPointsAtTheLineNamingIt) {
    std::string file = DataFile("noblock.dat", std::string(kRequired) +
                                                   "\n[M0]\nname=Generic\n"
                                                   "timing0 = T0:640x480x60\n"
                                                   "timing1 = T9:800x600x60\n\n" +
                                                   Block("T0:640x480x60", kBody640));
    Result r = Tool({"check", file});
    ExpectRefusal(r, file + ":8", 2,
                  "resolution T9:800x600x60 of monitor Generic has no timing block");
}

TEST_F(OrvexresCheck, ExampleWithoutABlockPointsAtTheFirstLineNamingIt) {
    std::string text = ReadBytes(example);
    size_t start = text.find("[T4:800x600x60]\r\n");
    ASSERT_NE(start, std::string::npos);
    size_t end = text.find("\r\n\r\n", start);
    ASSERT_NE(end, std::string::npos);
    text.erase(start, end + 4 - start);
    int line = LineOf(text, "= T4:800x600x60");
    ASSERT_EQ(line, 23) << "the example's first T4 line";
    std::string file = DataFile("ORVEXRES.DAT", text);
    Result r = Tool({"check", file});
    ExpectRefusal(r, file + ":23", 2,
                  "resolution T4:800x600x60 of monitor Generic has no timing block");
}

TEST_F(OrvexresCheck, DuplicateMonitorPointsAtTheSecond) {
    std::string file = DataFile("dup.dat", std::string(kRequired) +
                                               "\n[M0]\nname=Generic\n\n[M1]\nname=GENERIC\n\n");
    Result r = Tool({"check", file});
    ExpectRefusal(r, file + ":9", 2, "duplicate monitor GENERIC");
}

TEST_F(OrvexresCheck, UnknownBlockHeaderPointsAtIt) {
    std::string file = DataFile("hdr.dat", std::string(kRequired) + "\n[X0]\nname=A\n\n");
    Result r = Tool({"check", file});
    ExpectRefusal(r, file + ":5", 2, "unknown block header");
}

TEST_F(OrvexresCheck, EveryCommandRefusesAFileCheckRefuses) {
    std::string missing = dir.File("nowhere.dat");
    std::string out = dir.File("out.file");
    for (const Strings &args :
         {Strings{"list", missing}, Strings{"list", missing, "Generic"},
          Strings{"show", missing, "Generic", "640x480x60"}, Strings{"write", missing, out},
          Strings{"ini", missing, "Generic", "640x480x60", out}}) {
        Result r = Tool(args);
        ExpectRefusal(r, missing, 3, "the file cannot be opened");
        EXPECT_EQ(r.out, "") << args[0];
    }
    std::string bad = DataFile("bad.dat", std::string(kRequired) + "\n[Q]\n");
    Result r = Tool({"write", bad, out});
    ExpectRefusal(r, bad + ":5", 2, "unknown block header");
    EXPECT_FALSE(FileExists(out)) << "nothing is written from a refused file";
}

// ---------------------------------------------------------------------------
// list
// ---------------------------------------------------------------------------

using OrvexresList = Orvexres;

TEST_F(OrvexresList, MonitorsInFileOrderWithCounts) {
    Result r = Tool({"list", example});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Lines(r.out), kExampleMonitors);
    EXPECT_EQ(r.err, "");
}

TEST_F(OrvexresList, OneMonitorsResolutionsInListOrderIgnoringCase) {
    const Strings proview14 = {"640x480x60", "640x480x72", "800x600x56", "800x600x60"};
    for (const char *name : {"Orvex ProView 14", "orvex proview 14", "ORVEX PROVIEW 14"}) {
        Result r = Tool({"list", example, name});
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(Lines(r.out), proview14) << name;
    }
    Result generic = Tool({"list", example, "Generic"});
    Strings lines = Lines(generic.out);
    ASSERT_EQ(lines.size(), 10u);
    EXPECT_EQ(lines.front(), "640x480x60");
    EXPECT_EQ(lines.back(), "1024x768x75");
}

TEST_F(OrvexresList, UnknownMonitorIsExit1NamingIt) {
    Result r = Tool({"list", example, "ProView 99"});
    ExpectRefusal(r, example, 6, "no monitor named \"ProView 99\"");
    EXPECT_EQ(r.out, "");
}

TEST_F(OrvexresList, ControlCharactersInNamesKeepOneRecordALine) {
    std::string file = DataFile("ctl.dat", std::string(kRequired) +
                                               "\n[M0]\nname=Tab\there\rcr\n\n[M1]\nname=B\n\n");
    Result r = Tool({"list", file});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Lines(r.out), (Strings{"0\tTab\\x09here\\x0dcr", "0\tB"}));
}

// ---------------------------------------------------------------------------
// show
// ---------------------------------------------------------------------------

using OrvexresShow = Orvexres;

TEST_F(OrvexresShow, ExampleBlockEncodesAsComputedByHand) {
    Result r = Tool({"show", example, "Generic", "640x480x60"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    // hdr=25.175mHz is read as hex 0x25; the polarities are "negative".
    const std::map<std::string, std::string> expected = {
        {"hdr", "37 (0x00000025)"},  {"hsp", "96 (0x00000060)"},  {"hbp", "48 (0x00000030)"},
        {"had", "640 (0x00000280)"}, {"hfp", "16 (0x00000010)"},  {"hco", "0 (0x00000000)"},
        {"hp", "0 (0x00000000)"},    {"vlr", "60 (0x0000003c)"},  {"vsp", "2 (0x00000002)"},
        {"vbp", "33 (0x00000021)"},  {"vad", "480 (0x000001e0)"}, {"vfp", "10 (0x0000000a)"},
        {"vco", "0 (0x00000000)"},   {"vp", "0 (0x00000000)"},
    };
    EXPECT_EQ(Slots(r.out), expected);
    EXPECT_EQ(LineStarting(r.out, "\"CrtTiming\"="), kCrtTiming640x480x60);
    EXPECT_EQ(LineStarting(r.out, "refresh: "), "refresh: match (vlr 60, wanted any)");
    EXPECT_EQ(LineStarting(r.out, "monitor: "), "monitor: Generic");
    EXPECT_EQ(LineStarting(r.out, "resolution: "), "resolution: 640x480x60");
    EXPECT_EQ(LineStarting(r.out, "block: "), "block: T0:640x480x60");
    Strings text;
    for (const std::string &line : Lines(r.out))
        if (StartsWith(line, "text: "))
            text.push_back(line.substr(6));
    EXPECT_EQ(text, Lines(kBody640));
    // The slot order of the listing is the installer's.
    size_t hdr = r.out.find("slot hdr:");
    size_t vp = r.out.find("slot vp:");
    EXPECT_LT(hdr, vp);
}

TEST_F(OrvexresShow, PositivePolarityAndHexDotRate) {
    Result r = Tool({"show", example, "Orvex ProView 21", "1152x864x75"});
    ASSERT_EQ(r.status, 0) << r.err;
    auto slots = Slots(r.out);
    EXPECT_EQ(slots["hdr"], "264 (0x00000108)") << "108.000mHz read as hex";
    EXPECT_EQ(slots["hp"], "1 (0x00000001)");
    EXPECT_EQ(slots["vp"], "1 (0x00000001)");
    EXPECT_EQ(slots["had"], "1152 (0x00000480)");
    EXPECT_EQ(slots["vad"], "864 (0x00000360)");
    EXPECT_EQ(LineStarting(r.out, "block: "), "block: T10:1152x864x75");
    EXPECT_TRUE(StartsWith(LineStarting(r.out, "\"CrtTiming\"="),
                           "\"CrtTiming\"=hex:08,01,00,00,80,00,00,00,00,01,00,00,80,04,00,00,"))
        << r.out;
}

TEST_F(OrvexresShow, VrefDecidesTheMatchButNotTheValue) {
    Result any = Tool({"show", example, "Generic", "640x480x60"});
    Result same = Tool({"show", example, "Generic", "640x480x60", "--vref", "60"});
    Result other = Tool({"show", example, "Generic", "640x480x60", "--vref=72"});
    Result zero = Tool({"show", example, "--vref", "0", "Generic", "640x480x60"});
    for (const Result *r : {&same, &other, &zero})
        EXPECT_EQ(r->status, 0) << r->err;
    EXPECT_EQ(LineStarting(same.out, "refresh: "), "refresh: match (vlr 60, wanted 60)");
    EXPECT_EQ(LineStarting(other.out, "refresh: "), "refresh: mismatch (vlr 60, wanted 72)");
    EXPECT_EQ(zero.out, any.out);
    EXPECT_EQ(LineStarting(other.out, "\"CrtTiming\"="), kCrtTiming640x480x60);
}

TEST_F(OrvexresShow, NamesCompareIgnoringCase) {
    Result exact = Tool({"show", example, "Orvex ProView 17", "1280x1024x60"});
    Result folded = Tool({"show", example, "oRVEX pROvIEW 17", "1280X1024X60"});
    EXPECT_EQ(exact.status, 0) << exact.err;
    EXPECT_EQ(folded.status, 0) << folded.err;
    EXPECT_EQ(folded.out, exact.out);
    EXPECT_EQ(LineStarting(folded.out, "monitor: "), "monitor: Orvex ProView 17");
}

TEST_F(OrvexresShow, NegativeFieldsShowSignedAndStoreTwosComplement) {
    std::string body = kBody640;
    body.replace(body.find("hbp=48"), 6, "hbp=-8");
    std::string file =
        DataFile("neg.dat", std::string(kRequired) + "\n[M0]\nname=A\ntiming0 = T0:640x480x60\n\n" +
                                Block("T0:640x480x60", body));
    Result r = Tool({"show", file, "A", "640x480x60"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Slots(r.out)["hbp"], "-8 (0xfffffff8)");
    EXPECT_TRUE(Contains(r.out, "=hex:25,00,00,00,60,00,00,00,f8,ff,ff,ff,80,02,00,00,")) << r.out;
}

TEST_F(OrvexresShow, BlockWithThirteenFieldsIsNotEncodable) {
    std::string body = kBody640;
    body.erase(body.find("vp =negative\n"));
    std::string file = DataFile("short.dat", std::string(kRequired) +
                                                 "\n[M0]\nname=A\ntiming0 = T0:640x480x60\n\n" +
                                                 Block("T0:640x480x60", body));
    Result r = Tool({"show", file, "A", "640x480x60"});
    ExpectRefusal(r, file, 2, "timing block T0:640x480x60 has 13 of the 14 fields");
    EXPECT_TRUE(Contains(r.err, "cannot be encoded")) << r.err;
    EXPECT_TRUE(Contains(r.out, "text: vco=0\n")) << "the block text is still shown";
    EXPECT_FALSE(Contains(r.out, "slot ")) << r.out;
    EXPECT_FALSE(Contains(r.out, "CrtTiming")) << r.out;
}

TEST_F(OrvexresShow, UnknownMonitorOrResolutionIsExit1) {
    Result monitor = Tool({"show", example, "Nobody", "640x480x60"});
    ExpectRefusal(monitor, example, 6, "no monitor named \"Nobody\"");
    // 800x600x60 is in the file, but not among this monitor's resolutions.
    Result res = Tool({"show", example, "vga 640x480 only", "800x600x60"});
    ExpectRefusal(res, example, 6, "monitor VGA 640x480 Only has no resolution \"800x600x60\"");
    EXPECT_EQ(res.out, "");
    // A resolution names its refresh rate too.
    Result partial = Tool({"show", example, "Generic", "640x480"});
    EXPECT_EQ(partial.status, 1);
}

// ---------------------------------------------------------------------------
// write
// ---------------------------------------------------------------------------

using OrvexresWrite = Orvexres;

TEST_F(OrvexresWrite, WrittenExampleChecksOnceMemLinesAreAppended) {
    std::string out = dir.File("written.dat");
    Result r = Tool({"write", example, out});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, out + ": written monitors=6 timing_blocks=13\n");
    EXPECT_TRUE(Contains(r.err, "MemSize")) << "the missing lines are pointed out";
    ASSERT_TRUE(FileExists(out));

    // The writer leaves out MemSize and MemConfig, which check requires.
    Result incomplete = Tool({"check", out});
    ExpectRefusal(incomplete, out, 2, "the required header variable MemSize is missing");

    WriteBytes(out, ReadBytes(out) + "MemSize = 2\r\nMemConfig = 1\r\n");
    Result checked = Tool({"check", out});
    EXPECT_EQ(checked.status, 0) << checked.err;
    EXPECT_EQ(checked.out, out + kExampleSummary);

    EXPECT_EQ(Lines(Tool({"list", out}).out), kExampleMonitors);
    for (const char *monitor : {"Generic", "Orvex ProView 21"})
        EXPECT_EQ(Tool({"list", out, monitor}).out, Tool({"list", example, monitor}).out);
    EXPECT_EQ(Tool({"show", out, "Orvex ProView 21", "1280x1024x75"}).out,
              Tool({"show", example, "Orvex ProView 21", "1280x1024x75"}).out);
}

TEST_F(OrvexresWrite, BlocksAreRenumberedByPosition) {
    std::string file = DataFile("gaps.dat", std::string(kRequired) +
                                                "\n[M0]\nname=A\ntiming0 = T7:800x600x60\n"
                                                "timing1 = T5:640x480x60\n\n" +
                                                Block("T5:640x480x60", kBody640) +
                                                Block("T7:800x600x60", kBody640));
    std::string out = dir.File("renumbered.dat");
    Result r = Tool({"write", file, out});
    ASSERT_EQ(r.status, 0) << r.err;
    std::string written = ReadBytes(out);
    EXPECT_TRUE(Contains(written, "timing0 = T1:800x600x60\r\n")) << written;
    EXPECT_TRUE(Contains(written, "timing1 = T0:640x480x60\r\n")) << written;
    EXPECT_TRUE(Contains(written, "[T0:640x480x60]\r\n")) << written;
    EXPECT_TRUE(Contains(written, "[T1:800x600x60]\r\n")) << written;
    EXPECT_FALSE(Contains(written, "T5:")) << written;
    EXPECT_FALSE(Contains(written, "T7:")) << written;
}

// No command writes over the file it reads, whatever name the output has.
TEST_F(OrvexresWrite, AnOutputThatIsTheInputIsRefused) {
    std::string file = DataFile("ORVEXRES.DAT", ReadBytes(example));
    std::string link = dir.File("link.dat");
    std::string hard = dir.File("hard.dat");
    ASSERT_EQ(symlink(file.c_str(), link.c_str()), 0);
    ASSERT_EQ(::link(file.c_str(), hard.c_str()), 0);
    for (const std::string &out : {file, dir.path() + "/./ORVEXRES.DAT", link, hard}) {
        for (const Strings &args :
             {Strings{"write", file, out}, Strings{"ini", file, "Generic", "640x480x60", out},
              Strings{"show", file, "Generic", "640x480x60", "--svg", out}}) {
            Result r = Tool(args);
            ExpectRefusal(r, out, args[0] == "ini" ? 4 : 3,
                          "the output is the input file itself (" + file + ")");
            EXPECT_EQ(ReadBytes(file), ReadBytes(example)) << args[0] << " " << out;
        }
    }
}

TEST_F(OrvexresWrite, UncreatableOutputIsCode3NamingIt) {
    std::string out = dir.File("no-such-dir/out.dat");
    Result r = Tool({"write", example, out});
    ExpectRefusal(r, out, 3, "the data file cannot be created");
    EXPECT_EQ(r.out, "");
    EXPECT_FALSE(FileExists(out));
}

// ---------------------------------------------------------------------------
// ini
// ---------------------------------------------------------------------------

using OrvexresIni = Orvexres;

TEST_F(OrvexresIni, WritesTheMarkedMonitorAndResolution) {
    std::string out = dir.File("k5300.ini");
    Result r = Tool({"ini", example, "Generic", "640x480x60", out});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, out + ": written monitor=Generic resolution=640x480x60\n");
    EXPECT_EQ(r.err, "");
    std::string ini = ReadBytes(out);
    for (const char *line :
         {"[hardware]\r\n", "BusType=VESA\r\n", "MemAddr=8000\r\n", "MemSize=2\r\n",
          "Monitor=Generic\r\n", "DefMode=640x480\r\n", "[640x480x8]\r\n", "link=640x480\r\n",
          "\r\n[640x480]\r\n", "hdr=25.175mHz\r\n", "vp =negative\r\n"})
        EXPECT_TRUE(Contains(ini, line)) << line;
}

TEST_F(OrvexresIni, NamesCompareIgnoringCaseAndTheStoredNameIsWritten) {
    std::string out = dir.File("pv21.ini");
    Result r = Tool({"ini", example, "orvex proview 21", "1280X1024X75", out});
    ASSERT_EQ(r.status, 0) << r.err;
    std::string ini = ReadBytes(out);
    EXPECT_TRUE(Contains(ini, "Monitor=Orvex ProView 21\r\n")) << ini;
    EXPECT_TRUE(Contains(ini, "\r\n[1280x1024]\r\nhdr=135.000mHz\r\n")) << ini;
}

TEST_F(OrvexresIni, UnknownMonitorOrResolutionWritesNothing) {
    std::string out = dir.File("none.ini");
    Result monitor = Tool({"ini", example, "Nobody", "640x480x60", out});
    ExpectRefusal(monitor, example, 6, "no monitor named \"Nobody\"");
    Result res = Tool({"ini", example, "VGA 640x480 Only", "800x600x60", out});
    ExpectRefusal(res, example, 6, "monitor VGA 640x480 Only has no resolution \"800x600x60\"");
    EXPECT_EQ(res.out, "");
    EXPECT_FALSE(FileExists(out));
}

TEST_F(OrvexresIni, UncreatableOutputIsCode4NamingIt) {
    std::string out = dir.File("no-such-dir/k5300.ini");
    Result r = Tool({"ini", example, "Generic", "640x480x60", out});
    ExpectRefusal(r, out, 4, "the INI file cannot be created");
    EXPECT_FALSE(FileExists(out));
}

// ---------------------------------------------------------------------------
// diff
// ---------------------------------------------------------------------------

using OrvexresDiff = Orvexres;

TEST_F(OrvexresDiff, AFileMeansWhatItsWrittenCopyAndItselfMean) {
    std::string written = dir.File("written.dat");
    ASSERT_EQ(Tool({"write", example, written}).status, 0);
    WriteBytes(written, ReadBytes(written) + "MemSize = 2\r\nMemConfig = 1\r\n");
    for (const Strings &files :
         {Strings{example, written}, Strings{written, example}, Strings{example, example}}) {
        Result r = Tool({"diff", files[0], files[1]});
        EXPECT_EQ(r.status, 0) << r.out << r.err;
        EXPECT_EQ(r.out + r.err, "");
    }
}

// The example with MemSize 1, Generic's 640x480x72 and 640x480x75 swapped,
// block T1 (640x480x72) at 31.6 MHz, the monitor "VGA 640x480 Only" gone,
// Orvex ProView 14 spelt in capitals and without 800x600x60, a monitor New.
TEST_F(OrvexresDiff, OneLineADifference) {
    std::string text = ReadBytes(example);
    const std::pair<std::string, std::string> edits[] = {
        {"MemSize = 2", "MemSize = 1"},
        {"timing1 = T1:640x480x72\r\ntiming2 = T2:640x480x75",
         "timing1 = T2:640x480x75\r\ntiming2 = T1:640x480x72"},
        {"[T1:640x480x72]\r\nhdr=31.500mHz", "[T1:640x480x72]\r\nhdr=31.6"},
        {"[M1]\r\nname=VGA 640x480 Only\r\ntiming0 = T0:640x480x60\r\n\r\n", ""},
        {"name=Orvex ProView 14", "name=ORVEX PROVIEW 14"},
        {"timing3 = T4:800x600x60\r\n\r\n[M3]",
         "\r\n[M9]\r\nname=New\r\ntiming0 = T0:640x480x60\r\n"
         "\r\n[M3]"},
    };
    for (const auto &edit : edits) {
        size_t at = text.find(edit.first);
        ASSERT_NE(at, std::string::npos) << edit.first;
        text.replace(at, edit.first.size(), edit.second);
    }
    std::string changed = DataFile("changed.dat", text);
    Result r = Tool({"diff", example, changed});
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_EQ(Lines(r.out),
              (Strings{"~ variable MemSize: 2 -> 1",
                       "~ monitor Generic resolution 640x480x72 position: 2 -> 3",
                       "~ monitor Generic resolution 640x480x72 hdr: 31.500mHz -> 31.600mHz",
                       "- monitor \"VGA 640x480 Only\"",
                       "~ monitor \"Orvex ProView 14\" name: \"Orvex ProView 14\" -> \"ORVEX "
                       "PROVIEW 14\"",
                       "- monitor \"Orvex ProView 14\" resolution 800x600x60",
                       "~ monitor \"Orvex ProView 14\" resolution 640x480x72 hdr: 31.500mHz -> "
                       "31.600mHz",
                       "~ monitor \"Orvex ProView 15\" resolution 640x480x72 hdr: 31.500mHz -> "
                       "31.600mHz",
                       "+ monitor New"}));
    // A file that does not load, reported as check reports it; wrong usage.
    std::string broken = DataFile("broken.dat", "MemSize=2\n");
    for (const Strings &files : {Strings{broken, example}, Strings{example, broken}}) {
        Result bad = Tool({"diff", files[0], files[1]});
        EXPECT_EQ(bad.status, 2);
        EXPECT_EQ(bad.out, "");
        EXPECT_EQ(bad.err, Tool({"check", broken}).err);
    }
    EXPECT_EQ(Tool({"diff", example}).status, 2);
}

} // namespace
