// The two writers: the resolution data file (WriteResDatFile) and the driver
// INI file (WriteResIniFile), and the lines the tools compose as the writer
// writes them. Exact bytes against golden files, round trips through the
// reader, renumbering of timing blocks, and every refusal.
//
// The golden files under tests/data/golden/ are the writers' output for the
// bundled example, read line by line against the file format when they were
// made; a change of the writers' output shows as a difference from them.
#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "support/testutil.h"

namespace {

namespace fs = std::filesystem;
using Strings = std::vector<std::string>;

const char kRequired[] = "MemSize = 2\nMemConfig = 1\nDefMode = 640x480\n";
const char kAppendRequired[] = "MemSize = 2\r\nMemConfig = 1\r\n";
// The name of the INI file on the golden INI's second line.
const char kGoldenIniName[] = "K5300.INI";

// Text written with LF line ends, as the writers must write it (CR LF).
std::string Crlf(const std::string &text) {
    std::string out;
    for (char c : text) {
        if (c == '\n')
            out += '\r';
        out += c;
    }
    return out;
}

// The three lines every data file starts with.
const std::string kDatIntro = ";File:  K5300RES.DAT\n"
                              "; This file contains all the known monitor timings for\n"
                              "; the Havrik Kelvo 5300 windows driver.\n";

// The INI file up to and including the [hardware] line, spelt out by hand.
std::string IniPreamble(const std::string &file_name) {
    const std::string rule(75, ';');
    return rule + "\n; " + file_name + "\n" +
           ";       This file contains monitor timings for Havrik Kelvo 5300 drivers.\n"
           ";\n"
           ";Timing block format description:\n"
           ";[Resolution]\n"
           ";hdr= Horz. Dot Rate (with a mHz suffix)\n"
           ";hsp= Horz. Sync Pulse in dots\n"
           ";hbp= Horz. Back Porch\n"
           ";had= Horz. Active Display in dots\n"
           ";hfp= Horz. Front Porch\n"
           ";hco= Horz. Cursor Offset\n"
           ";hp = Horz. sync Polarity\n"
           ";vlr= Vert. Line Rate (with a Hz suffix)\n"
           ";vsp= Vert. Sync Pulse size in lines\n"
           ";vbp= Vert. Back Porch\n"
           ";vad= Vert. Active Display in lines\n"
           ";vfp= Vert. Front Porch\n"
           ";vco= Vert. Cursor Offset\n"
           ";vp = Vert. sync Polarity\n" +
           rule + "\n\n[hardware]\n";
}

// Byte-for-byte comparison that names the first differing offset.
::testing::AssertionResult SameBytes(const std::string &actual, const std::string &expected) {
    size_t n = std::min(actual.size(), expected.size());
    size_t at = 0;
    while (at < n && actual[at] == expected[at])
        ++at;
    if (at == n && actual.size() == expected.size())
        return ::testing::AssertionSuccess();
    auto around = [at](const std::string &s) {
        size_t from = at >= 40 ? at - 40 : 0;
        std::string piece = s.substr(from, 80);
        std::string shown;
        for (char c : piece) {
            if (c == '\r')
                shown += "\\r";
            else if (c == '\n')
                shown += "\\n";
            else
                shown += c;
        }
        return shown;
    };
    return ::testing::AssertionFailure()
           << "first difference at offset " << at << " (actual " << actual.size()
           << " bytes, expected " << expected.size() << " bytes)\n  actual:   ..." << around(actual)
           << "...\n  expected: ..." << around(expected) << "...";
}

// Every line end is CR LF, there is no other CR or LF, and nothing follows the
// last line end.
::testing::AssertionResult CrLfOnly(const std::string &bytes) {
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\n' && (i == 0 || bytes[i - 1] != '\r'))
            return ::testing::AssertionFailure() << "bare LF at offset " << i;
        if (bytes[i] == '\r' && (i + 1 == bytes.size() || bytes[i + 1] != '\n'))
            return ::testing::AssertionFailure() << "lone CR at offset " << i;
    }
    if (bytes.size() < 2 || bytes.compare(bytes.size() - 2, 2, "\r\n") != 0)
        return ::testing::AssertionFailure() << "the file does not end with CR LF";
    return ::testing::AssertionSuccess();
}

// What the reader gives back, for round-trip comparisons.
struct Snapshot {
    Strings monitors; // name, then "  id -> index" for every resolution entry
    Strings timings;  // "index:WxH@refresh"
    Strings blocks;   // block texts in list order
    Strings header;   // BusType, MemAddr, DefMode, MemSize, MemConfig
    Strings marks;    // every marked record

    bool operator==(const Snapshot &o) const {
        return monitors == o.monitors && timings == o.timings && blocks == o.blocks &&
               header == o.header && marks == o.marks;
    }
};

std::string Text(const char *text) {
    return text != nullptr ? "\"" + std::string(text) + "\"" : "(null)";
}

Snapshot Take() {
    Snapshot s;
    for (Tag_Monitor_Entry *m = GetMonitorEntryHead(); m != nullptr; m = m->next) {
        s.monitors.push_back(m->monitor_id_string);
        if (m->marked)
            s.marks.push_back(m->monitor_id_string);
        for (Tag_Resolution_Entry *r = m->res_list; r != nullptr; r = r->next) {
            s.monitors.push_back(
                "  " + std::string(r->res_id_string) + " -> " +
                (r->timing_info != nullptr ? std::to_string(r->timing_info->index) : "none"));
            if (r->marked)
                s.marks.push_back(std::string(m->monitor_id_string) + "/" + r->res_id_string);
        }
    }
    s.timings = TimingIds();
    for (Tag_Timing_Info *t = GetTimingInfoHead(); t != nullptr; t = t->next)
        s.blocks.push_back(t->info_block);
    s.header = {Text(GetBusType()), Text(GetMemAddr()), Text(GetDefaultRes()), Text(GetMemSize()),
                Text(GetMemConfig())};
    return s;
}

void PrintTo(const Snapshot &s, std::ostream *os) {
    for (const Strings *part : {&s.header, &s.monitors, &s.timings, &s.blocks, &s.marks}) {
        for (const std::string &line : *part)
            *os << "\n    " << line;
        *os << "\n    --";
    }
}

std::string Golden(const std::string &name) {
    return ReadBytes(TestDataPath("golden/" + name));
}

class Writers : public FreshDatabase {
  protected:
    void LoadExample() {
        ASSERT_TRUE(ReadDatFile(ExampleDatPath().c_str())) << GetResDatErrDetail();
    }
    BOOLEAN Load(const std::string &text) { return LoadText(dir, text); }

    // Write the database as a data file into the scratch directory; its bytes.
    std::string WriteDat(const std::string &name = "K5300RES.DAT") {
        std::string path = dir.File(name);
        EXPECT_TRUE(WriteResDatFile(path.c_str())) << "code " << res_dat_err_flag;
        return ReadBytes(path);
    }

    // Write, add the two variables the writer leaves out, and load it again.
    void WriteAndReadBack() {
        std::string path = dir.File("written.dat");
        ASSERT_TRUE(WriteResDatFile(path.c_str())) << "code " << res_dat_err_flag;
        WriteBytes(path, ReadBytes(path) + kAppendRequired);
        ResDatReset();
        ASSERT_TRUE(ReadDatFile(path.c_str())) << GetResDatErrDetail();
    }

    // An INI write that must be refused without creating the file.
    void ExpectIniRefused(int32_t code) {
        std::string path = dir.File("refused.ini");
        res_dat_err_flag = 0;
        EXPECT_FALSE(WriteResIniFile(path.c_str()));
        EXPECT_EQ(res_dat_err_flag, code);
        EXPECT_FALSE(FileExists(path)) << "a refused INI write creates no file";
    }

    ScratchDir dir;
};

// ---------------------------------------------------------------------------
// Golden files
// ---------------------------------------------------------------------------

TEST_F(Writers, ExampleDataFileMatchesGolden) {
    LoadExample();
    res_dat_err_flag = 5;
    std::string written = WriteDat();
    EXPECT_EQ(res_dat_err_flag, 5) << "a succeeding write leaves the code alone";
    std::string golden = Golden("example.written.dat");
    ASSERT_FALSE(golden.empty());
    EXPECT_TRUE(SameBytes(written, golden));
    EXPECT_TRUE(CrLfOnly(written));
}

// The INI's second line names the file written. The test writes to its scratch
// path and expects the golden file with "; K5300.INI" replaced by "; <path>".
TEST_F(Writers, ProView17IniMatchesGolden) {
    LoadExample();
    ASSERT_TRUE(MarkMon("Orvex ProView 17"));
    ASSERT_TRUE(MarkRes("Orvex ProView 17", "1024x768x70"));
    std::string path = dir.File(kGoldenIniName);
    res_dat_err_flag = 5;
    ASSERT_TRUE(WriteResIniFile(path.c_str())) << "code " << res_dat_err_flag;
    EXPECT_EQ(res_dat_err_flag, 5) << "a succeeding write leaves the code alone";

    std::string golden = Golden("proview17-1024x768x70.ini");
    const std::string name_line = std::string("\r\n; ") + kGoldenIniName + "\r\n";
    size_t at = golden.find(name_line);
    ASSERT_EQ(at, 75u) << "the golden INI's second line is \"; K5300.INI\"";
    std::string expected = golden;
    expected.replace(at, name_line.size(), "\r\n; " + path + "\r\n");
    std::string written = ReadBytes(path);
    EXPECT_TRUE(SameBytes(written, expected));
    EXPECT_TRUE(CrLfOnly(written));
}

// The golden INI, checked against the rules spelt out here a second time.
TEST_F(Writers, GoldenIniAgreesWithTheRules) {
    LoadExample();
    Tag_Timing_Info *t8 = GetTimingInfoHead();
    while (t8 != nullptr && t8->index != 8)
        t8 = t8->next;
    ASSERT_NE(t8, nullptr);
    std::string expected = IniPreamble(kGoldenIniName) +
                           "BusType=VESA\nSpeed=33.00mHz\nMemAddr=8000\nMemSize=2\n"
                           "Monitor=Orvex ProView 17\nDefMode=640x480\nOEMString=HAVRIK\n"
                           "Version=1.0\n\n"
                           "[1024x768x4]\nlink=1024x768\n\n[1024x768x8]\nlink=1024x768\n\n"
                           "[1024x768x16]\nlink=1024x768\n\n[1024x768x24]\nlink=1024x768\n\n"
                           "; Default timing block for 1024x768\n\n[1024x768]\n" +
                           t8->info_block + "\n";
    EXPECT_TRUE(SameBytes(Golden("proview17-1024x768x70.ini"), Crlf(expected)));
}

// ---------------------------------------------------------------------------
// The data file
// ---------------------------------------------------------------------------

TEST_F(Writers, FirstLineIgnoresTheFileName) {
    std::string written = WriteDat("other-name.dat");
    EXPECT_EQ(written.compare(0, 22, ";File:  K5300RES.DAT\r\n"), 0) << written;
}

TEST_F(Writers, EmptyDatabaseWritesTheIntroAndTwoBlankLines) {
    std::string written = WriteDat();
    EXPECT_TRUE(SameBytes(written, Crlf(kDatIntro + "\n\n")));
}

TEST_F(Writers, HeaderVariablesInOrderWithoutMemSizeOrMemConfig) {
    ASSERT_TRUE(Load("MemConfig = 3\nDefMode = 800x600\nMemSize = 4\nMemAddr = D000\n"
                     "BusType = PCI\n"));
    EXPECT_TRUE(SameBytes(WriteDat(), Crlf(kDatIntro + "BusType = PCI\nMemAddr = D000\n"
                                                       "DefMode = 800x600\n\n\n")));

    // Only the variables the database holds are written.
    ResDatReset();
    ASSERT_TRUE(SetMemAddr("A000"));
    ASSERT_TRUE(SetMemSize("8"));
    EXPECT_TRUE(SameBytes(WriteDat(), Crlf(kDatIntro + "MemAddr = A000\n\n\n")));
}

TEST_F(Writers, MonitorWithoutResolutions) {
    ASSERT_TRUE(Load(std::string(kRequired) +
                     "[M0]\nname=Bare\n\n[M1]\nname=Full\ntiming0 = T0:1x2x3\n\n"
                     "[M2]\nname=Last bare\n\n[T0:1x2x3]\na=1\n"));
    ASSERT_EQ(GetMonitorEntryHead()->res_list, nullptr);
    EXPECT_TRUE(SameBytes(WriteDat(), Crlf(kDatIntro + "DefMode = 640x480\n\n"
                                                       "[M0]\nname=Bare\n\n"
                                                       "[M1]\nname=Full\ntiming0 = T0:1x2x3\n\n"
                                                       "[M2]\nname=Last bare\n\n\n"
                                                       "[T0:1x2x3]\na=1\n\n")));
    Snapshot before = Take();
    WriteAndReadBack();
    EXPECT_EQ(Take(), before);
}

TEST_F(Writers, EmptyBlockTextGivesHeaderAndBlankLine) {
    ASSERT_TRUE(Load(std::string(kRequired) + "[T0:1x2x3]\n\n[T1:4x5x6]\nb=2\n"));
    EXPECT_TRUE(SameBytes(WriteDat(), Crlf(kDatIntro + "DefMode = 640x480\n\n\n"
                                                       "[T0:1x2x3]\n\n[T1:4x5x6]\nb=2\n\n")));
}

TEST_F(Writers, UnchangedWrittenFileIsRefusedByTheReader) {
    LoadExample();
    std::string path = dir.File("written.dat");
    ASSERT_TRUE(WriteResDatFile(path.c_str()));
    ResDatReset();
    EXPECT_FALSE(ReadDatFile(path.c_str()));
    EXPECT_EQ(res_dat_err_flag, 2);
    EXPECT_EQ(GetResDatErrLine(), 0);
    EXPECT_NE(strstr(GetResDatErrDetail(), "MemSize"), nullptr) << GetResDatErrDetail();

    // With MemSize alone the reader still misses MemConfig.
    ResDatReset();
    WriteBytes(path, ReadBytes(path) + "MemSize = 2\r\n");
    EXPECT_FALSE(ReadDatFile(path.c_str()));
    EXPECT_EQ(res_dat_err_flag, 2);
    EXPECT_NE(strstr(GetResDatErrDetail(), "MemConfig"), nullptr) << GetResDatErrDetail();
}

TEST_F(Writers, ExampleRoundTrip) {
    LoadExample();
    Snapshot before = Take();
    ASSERT_EQ(before.timings.size(), 13u);
    WriteAndReadBack();
    Snapshot after = Take();
    EXPECT_EQ(after, before);
    EXPECT_EQ(res_dat_err_flag, 0);
}

TEST_F(Writers, RoundTripKeepsEditedHeaderValues) {
    LoadExample();
    ASSERT_TRUE(SetBusType("PCI"));
    ASSERT_TRUE(SetMemAddr("F000"));
    ASSERT_TRUE(SetDefaultRes("1024x768"));
    WriteAndReadBack();
    EXPECT_STREQ(GetBusType(), "PCI");
    EXPECT_STREQ(GetMemAddr(), "F000");
    EXPECT_STREQ(GetDefaultRes(), "1024x768");
    EXPECT_STREQ(GetMemSize(), "2");
    EXPECT_STREQ(GetMemConfig(), "1");
}

// Blocks read as T7, T3 and T12 are first, second and third in the list: they
// are written T0, T1 and T2, in their headers and in every monitor line.
TEST_F(Writers, TimingBlocksAreRenumberedByPosition) {
    ASSERT_TRUE(Load("BusType = OPTI\nMemSize = 4\nMemConfig = 2\nDefMode = 800x600\n\n"
                     "[M0]\nname=Alpha\ntiming0 = T3:800x600x72\ntiming1 = T7:640x480x60\n"
                     "timing2 = T12:1024x768x87\n\n"
                     "[M1]\nname=Beta\ntiming0 = T7:640x480x60\n\n"
                     "[T7:640x480x60]\nhdr=25.175mHz\nvlr=60Hz\n\n"
                     "[T3:800x600x72]\nhdr=50.000mHz\n\n"
                     "[T12:1024x768x87]\nhdr=44.900mHz\nvlr=87Hz\n"));
    ASSERT_EQ(TimingIds(), (Strings{"0:640x480@60", "1:800x600@72", "2:1024x768@87"}));
    Snapshot before = Take();

    std::string written = WriteDat();
    EXPECT_TRUE(SameBytes(written, Crlf(kDatIntro + "BusType = OPTI\nDefMode = 800x600\n\n"
                                                    "[M0]\nname=Alpha\n"
                                                    "timing0 = T1:800x600x72\n"
                                                    "timing1 = T0:640x480x60\n"
                                                    "timing2 = T2:1024x768x87\n\n"
                                                    "[M1]\nname=Beta\n"
                                                    "timing0 = T0:640x480x60\n\n\n"
                                                    "[T0:640x480x60]\nhdr=25.175mHz\nvlr=60Hz\n\n"
                                                    "[T1:800x600x72]\nhdr=50.000mHz\n\n"
                                                    "[T2:1024x768x87]\nhdr=44.900mHz\nvlr=87Hz\n"
                                                    "\n")));
    EXPECT_EQ(written.find("T7"), std::string::npos);
    EXPECT_EQ(written.find("T3"), std::string::npos);
    EXPECT_EQ(written.find("T12"), std::string::npos);

    WriteAndReadBack();
    Snapshot after = Take();
    before.header[3] = "\"2\""; // MemSize and MemConfig come from the appended lines
    before.header[4] = "\"1\"";
    EXPECT_EQ(after, before);
    Tag_Resolution_Entry *alpha = GetMonitorEntryHead()->res_list;
    ASSERT_NE(alpha, nullptr);
    EXPECT_STREQ(alpha->timing_info->info_block, "hdr=50.000mHz\n");
}

TEST_F(Writers, MarksAreNotWritten) {
    LoadExample();
    ASSERT_TRUE(MarkMon("Orvex ProView 17"));
    ASSERT_TRUE(MarkRes("Orvex ProView 17", "1024x768x70"));
    ASSERT_TRUE(MarkRes("Generic", "640x480x60"));
    std::string written = WriteDat();
    EXPECT_TRUE(SameBytes(written, Golden("example.written.dat")));
    EXPECT_EQ(written.find("mark"), std::string::npos);
    WriteAndReadBack();
    EXPECT_EQ(GetMarkedMonEntry(), nullptr);
    EXPECT_TRUE(Take().marks.empty());
}

TEST_F(Writers, LineFeedsInsideTextsBecomeCrLf) {
    // A block line ending in a lone CR keeps it: the CR is an ordinary
    // character, and only the LF after it gains its CR.
    ASSERT_TRUE(Load(std::string(kRequired) + "[T0:1x2x3]\na=1\r\r\nb=2\n"));
    ASSERT_STREQ(GetTimingInfoHead()->info_block, "a=1\r\nb=2\n");
    EXPECT_TRUE(SameBytes(WriteDat(), Crlf(kDatIntro + "DefMode = 640x480\n\n\n[T0:1x2x3]\n") +
                                          "a=1\r\r\nb=2\r\n\r\n"));
    Snapshot before = Take();
    WriteAndReadBack();
    EXPECT_EQ(Take(), before);
}

TEST_F(Writers, DataFileThatCannotBeCreated) {
    LoadExample();
    std::string missing_dir = dir.File("no-such-dir");
    std::string path = missing_dir + "/K5300RES.DAT";
    res_dat_err_flag = 0;
    EXPECT_FALSE(WriteResDatFile(path.c_str()));
    EXPECT_EQ(res_dat_err_flag, 3);
    EXPECT_FALSE(FileExists(path));
    EXPECT_FALSE(FileExists(missing_dir));

    res_dat_err_flag = 0;
    EXPECT_FALSE(WriteResDatFile(dir.path().c_str())) << "a directory is no file";
    EXPECT_EQ(res_dat_err_flag, 3);
    EXPECT_TRUE(fs::is_directory(dir.path()));

    res_dat_err_flag = 0;
    EXPECT_FALSE(WriteResDatFile(nullptr));
    EXPECT_EQ(res_dat_err_flag, 3);
}

// ---------------------------------------------------------------------------
// The INI file
// ---------------------------------------------------------------------------

TEST_F(Writers, IniWithoutMarkedMonitorIsRefused) {
    LoadExample();
    ExpectIniRefused(6);
    // A marked resolution under an unmarked monitor does not count.
    ASSERT_TRUE(MarkRes("Orvex ProView 17", "1024x768x70"));
    ExpectIniRefused(6);
    // Nor on an empty database.
    ResDatReset();
    ExpectIniRefused(6);
}

TEST_F(Writers, IniForMonitorWithoutResolutionsIsRefused) {
    ASSERT_TRUE(Load(std::string(kRequired) + "[M0]\nname=Bare\n\n[M1]\nname=Full\n"
                                              "timing0 = T0:1x2x3\n\n[T0:1x2x3]\na=1\n"));
    ASSERT_TRUE(MarkMon("Bare"));
    ASSERT_TRUE(MarkRes("Full", "1x2x3"));
    ExpectIniRefused(2);
}

TEST_F(Writers, IniWithoutMarkedResolutionIsRefused) {
    LoadExample();
    ASSERT_TRUE(MarkMon("Orvex ProView 17"));
    ExpectIniRefused(2);
    // Only the first marked monitor counts: a resolution marked under a later
    // marked monitor is not used.
    ASSERT_TRUE(MarkMon("Orvex ProView 21"));
    ASSERT_TRUE(MarkRes("Orvex ProView 21", "1280x1024x75"));
    ExpectIniRefused(2);
}

TEST_F(Writers, IniUsesTheEarlierOfTwoMarkedResolutions) {
    LoadExample();
    ASSERT_TRUE(MarkMon("Orvex ProView 17"));
    // Marked in the opposite order to the list order.
    ASSERT_TRUE(MarkRes("Orvex ProView 17", "1024x768x70"));
    ASSERT_TRUE(MarkRes("Orvex ProView 17", "800x600x60"));
    std::string path = dir.File("two.ini");
    ASSERT_TRUE(WriteResIniFile(path.c_str())) << "code " << res_dat_err_flag;
    std::string written = ReadBytes(path);
    std::string expected = IniPreamble(path) +
                           "BusType=VESA\nSpeed=33.00mHz\nMemAddr=8000\nMemSize=2\n"
                           "Monitor=Orvex ProView 17\nDefMode=640x480\nOEMString=HAVRIK\n"
                           "Version=1.0\n\n"
                           "[800x600x4]\nlink=800x600\n\n[800x600x8]\nlink=800x600\n\n"
                           "[800x600x16]\nlink=800x600\n\n[800x600x24]\nlink=800x600\n\n"
                           "; Default timing block for 800x600\n\n[800x600]\n"
                           "hdr=40.000mHz\nhsp=128\nhbp=88\nhad=800\nhfp=40\nhco=0\n"
                           "hp =positive\nvlr=60Hz\nvsp=4\nvbp=23\nvad=600\nvfp=1\nvco=0\n"
                           "vp =positive\n\n";
    EXPECT_TRUE(SameBytes(written, Crlf(expected)));
    EXPECT_EQ(written.find("1024x768"), std::string::npos);
}

TEST_F(Writers, IniWritesNullForMissingHeaderVariables) {
    ASSERT_TRUE(Load("MemSize = 4\nMemConfig = 7\nDefMode = 1x2\n\n[M0]\nname=Tiny\n"
                     "timing0 = T5:1x2x3\ntiming1 = T6:1x2x4\n\n"
                     "[T5:1x2x3]\na=1\n\n[T6:1x2x4]\nb=2\nc=3\n"));
    ASSERT_TRUE(MarkMon("tiny"));
    ASSERT_TRUE(MarkRes("Tiny", "1x2x4"));
    std::string path = dir.File("tiny.ini");
    ASSERT_TRUE(WriteResIniFile(path.c_str())) << "code " << res_dat_err_flag;
    std::string written = ReadBytes(path);
    EXPECT_TRUE(SameBytes(written, Crlf(IniPreamble(path) +
                                        "BusType=(null)\nSpeed=33.00mHz\nMemAddr=(null)\n"
                                        "MemSize=4\nMonitor=Tiny\nDefMode=1x2\n"
                                        "OEMString=HAVRIK\nVersion=1.0\n\n"
                                        "[1x2x4]\nlink=1x2\n\n[1x2x8]\nlink=1x2\n\n"
                                        "[1x2x16]\nlink=1x2\n\n[1x2x24]\nlink=1x2\n\n"
                                        "; Default timing block for 1x2\n\n[1x2]\nb=2\nc=3\n\n")));
    EXPECT_EQ(written.find("MemConfig"), std::string::npos);
    EXPECT_EQ(written.find("=7"), std::string::npos) << "memory configuration is not written";
    EXPECT_TRUE(CrLfOnly(written));
}

TEST_F(Writers, IniThatCannotBeCreated) {
    LoadExample();
    ASSERT_TRUE(MarkMon("Orvex ProView 17"));
    ASSERT_TRUE(MarkRes("Orvex ProView 17", "1024x768x70"));
    std::string missing_dir = dir.File("no-such-dir");
    std::string path = missing_dir + "/K5300.INI";
    res_dat_err_flag = 0;
    EXPECT_FALSE(WriteResIniFile(path.c_str()));
    EXPECT_EQ(res_dat_err_flag, 4);
    EXPECT_FALSE(FileExists(path));
    EXPECT_FALSE(FileExists(missing_dir));

    res_dat_err_flag = 0;
    EXPECT_FALSE(WriteResIniFile(nullptr));
    EXPECT_EQ(res_dat_err_flag, 4);
}

TEST_F(Writers, IniRefusalsComeBeforeCreation) {
    // No monitor marked and a path that cannot be created: code 6, not 4.
    LoadExample();
    std::string path = dir.File("no-such-dir") + "/K5300.INI";
    res_dat_err_flag = 0;
    EXPECT_FALSE(WriteResIniFile(path.c_str()));
    EXPECT_EQ(res_dat_err_flag, 6);
    ASSERT_TRUE(MarkMon("Generic"));
    res_dat_err_flag = 0;
    EXPECT_FALSE(WriteResIniFile(path.c_str()));
    EXPECT_EQ(res_dat_err_flag, 2);
}

TEST_F(Writers, IniLeavesTheDatabaseAndMarksAsTheyWere) {
    LoadExample();
    ASSERT_TRUE(MarkMon("Orvex ProView 17"));
    ASSERT_TRUE(MarkRes("Orvex ProView 17", "1024x768x70"));
    Snapshot before = Take();
    ASSERT_TRUE(WriteResIniFile(dir.File("x.ini").c_str()));
    EXPECT_EQ(Take(), before);
}

// ---------------------------------------------------------------------------
// Write errors: the file opens but writing fails (/dev/full, reached through a
// symlink of the test's own). The writer reports the failure and leaves the
// path alone.
// ---------------------------------------------------------------------------

#ifndef _WIN32
class WriteErrors : public Writers {
  protected:
    void SetUp() override {
        Writers::SetUp();
        std::error_code ec;
        if (!fs::is_character_file("/dev/full", ec))
            GTEST_SKIP() << "no /dev/full";
        link_ = dir.File("full-link");
        fs::create_symlink("/dev/full", link_, ec);
        ASSERT_FALSE(ec) << ec.message();
    }
    void ExpectDeviceKept() {
        std::error_code ec;
        EXPECT_TRUE(fs::is_symlink(fs::symlink_status(link_, ec))) << "the path is left alone";
        EXPECT_TRUE(fs::is_character_file("/dev/full", ec)) << "the device node is untouched";
    }
    std::string link_;
};

TEST_F(WriteErrors, DataFile) {
    LoadExample();
    res_dat_err_flag = 0;
    EXPECT_FALSE(WriteResDatFile(link_.c_str()));
    EXPECT_EQ(res_dat_err_flag, 3);
    ExpectDeviceKept();
}

TEST_F(WriteErrors, SmallDataFileFailingOnlyAtClose) {
    // A few bytes stay in the stdio buffer until the file is closed.
    res_dat_err_flag = 0;
    EXPECT_FALSE(WriteResDatFile(link_.c_str()));
    EXPECT_EQ(res_dat_err_flag, 3);
    ExpectDeviceKept();
}

TEST_F(WriteErrors, LargeDataFileFailingWhileWriting) {
    // Far more than a stdio buffer: writes fail before the file is closed.
    std::string text = kRequired;
    for (int i = 0; i < 400; ++i)
        text += "[T" + std::to_string(i) + ":640x480x" + std::to_string(i) + "]\n" +
                std::string(200, 'z') + "\n\n";
    ASSERT_TRUE(Load(text));
    res_dat_err_flag = 0;
    EXPECT_FALSE(WriteResDatFile(link_.c_str()));
    EXPECT_EQ(res_dat_err_flag, 3);
    ExpectDeviceKept();
}

TEST_F(WriteErrors, IniFile) {
    LoadExample();
    ASSERT_TRUE(MarkMon("Orvex ProView 17"));
    ASSERT_TRUE(MarkRes("Orvex ProView 17", "1024x768x70"));
    res_dat_err_flag = 0;
    EXPECT_FALSE(WriteResIniFile(link_.c_str()));
    EXPECT_EQ(res_dat_err_flag, 4);
    ExpectDeviceKept();
}
#endif

// The lines the tools compose read back through the reader's own reading, in
// quotes where plain would be cut; what cannot read back is refused with "".
TEST(Syntax, ComposedLinesReadBackAsGiven) {
    char line[kResDatLineSize], id[kResDatLineSize];
    for (const char *name : {"Generic", "Orvex; ProView", "  blanks  ", "a \"quoted\" name"}) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(ComposeMonitorBlock(line, sizeof line, 7, name));
        ASSERT_EQ(strncmp(line, "[M7]\n", 5), 0);
        const char *value = GetLineValue(line + 5);
        ASSERT_NE(value, nullptr);
        EXPECT_STREQ(value, name);
    }
    ASSERT_TRUE(ComposeBlockId(id, sizeof id, 12, 1366, 768, 60));
    EXPECT_STREQ(id, "T12:1366x768x60");
    ASSERT_TRUE(ComposeResolutionLine(line, sizeof line, 3, id));
    EXPECT_STREQ(line, "timing3 = T12:1366x768x60\n");
    ASSERT_TRUE(ComposeTimingHeader(line, sizeof line, id));
    char read[kResDatLineSize];
    ASSERT_TRUE(GetBlockHeaderId(line, read, sizeof read));
    EXPECT_STREQ(read, id);
    int64_t number = -1;
    ASSERT_TRUE(GetBlockNumber(read, &number));
    EXPECT_EQ(number, 12);
}

TEST(Syntax, WhatCannotReadBackIsRefused) {
    char line[kResDatLineSize];
    const std::string too_long(kResDatLineSize, 'n');
    for (const char *name : {"", "a\rb", "a\nb", "a\x1a", "a\";b", too_long.c_str()}) {
        SCOPED_TRACE(testing::PrintToString(std::string(name)));
        strcpy(line, "x");
        EXPECT_FALSE(ComposeMonitorBlock(line, sizeof line, 0, name));
        EXPECT_STREQ(line, "");
    }
    // A buffer one byte short of the text.
    char small[15];
    EXPECT_FALSE(ComposeBlockId(small, sizeof small, 12, 1366, 768, 60));
    EXPECT_STREQ(small, "");
    EXPECT_FALSE(ComposeResolutionLine(small, sizeof small, 3, "T1:640x480x60"));
    EXPECT_FALSE(ComposeTimingHeader(line, sizeof line, "T1:640 x480x60"));
    EXPECT_FALSE(ComposeResolutionId(nullptr, 0, 640, 480, 60));
    char id[4];
    EXPECT_FALSE(GetBlockHeaderId("[T1:640x480x60]", id, sizeof id));
    EXPECT_FALSE(GetBlockHeaderId("[M1]", id, sizeof id));
    int64_t number = -1;
    for (const char *bad : {"X1:640x480x60", "T:640x480x60", "T12", "T1234567890123456789:1x1x1"})
        EXPECT_FALSE(GetBlockNumber(bad, &number)) << bad;
    EXPECT_EQ(number, -1);
}

} // namespace
