// orvexres.exe under Wine against the Linux orvexres: each command runs on the
// bundled example with both, each in a directory of its own holding a copy of
// the example, and must give the same exit status, the same standard output
// and standard error, and byte-identical written files.
//
// The one difference allowed: orvexres.exe writes standard output and standard
// error in the C runtime's text mode, so its lines end with CR LF, as any
// Windows console program's do. Its output is compared with LF line ends
// after checking that every line does end with CR LF. The files it writes are
// binary and must match exactly (CR LF in both builds).
//
// ORVEX_ORVEXRES_EXE, when set, names another orvexres.exe to check.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "support/testutil.h"
#include "wine/wine_process.h"

#ifndef ORVEXRES_PATH
#error "ORVEXRES_PATH must name the Linux orvexres"
#endif

namespace fs = std::filesystem;

namespace {

struct Command {
    const char *name;
    std::vector<std::string> args;
    int exit_code;
    const char *output_file;  // written by the command, or nullptr
    const char *expected_out; // a part of standard output (LF line ends)
};

void PrintTo(const Command &c, std::ostream *os) {
    *os << c.name;
}

std::vector<Command> Commands() {
    return {
        {"Check", {"check", "ORVEXRES.DAT"}, 0, nullptr, "ORVEXRES.DAT: ok monitors=6 "},
        {"ListMonitors", {"list", "ORVEXRES.DAT"}, 0, nullptr, "10\tGeneric\n"},
        {"ListResolutions", {"list", "ORVEXRES.DAT", "generic"}, 0, nullptr, "640x480x72\n"},
        {"ShowAtWantedRate",
         {"show", "ORVEXRES.DAT", "Generic", "640x480x72", "--vref", "72"},
         0,
         nullptr,
         "\"CrtTiming\"=hex:31,00,00,00,28,00,00,00,"},
        {"ShowAtOtherRate",
         {"show", "ORVEXRES.DAT", "Generic", "640x480x60", "--vref", "72"},
         0,
         nullptr,
         "refresh: mismatch"},
        {"Write", {"write", "ORVEXRES.DAT", "OUT.DAT"}, 0, "OUT.DAT", "OUT.DAT: written "},
        {"Ini",
         {"ini", "ORVEXRES.DAT", "Generic", "800x600x60", "OUT.INI"},
         0,
         "OUT.INI",
         "OUT.INI: written monitor=Generic resolution=800x600x60\n"},
        {"Lint", {"lint", "ORVEXRES.DAT"}, 0, nullptr, "ORVEXRES.DAT: 0 errors, 0 warnings\n"},
        {"LintRange",
         {"lint", "ORVEXRES.DAT", "--range", "30-50,50-75,80"},
         1,
         nullptr,
         "ORVEXRES.DAT: 10 errors, 0 warnings\n"},
        {"TimingCvt", {"timing", "--cvt", "1280x1024x60", "--rb", "2"}, 0, nullptr, "had=1280\n"},
        {"TimingUnknownDmt", {"timing", "--dmt", "1000x700x60"}, 1, nullptr, ""},
        {"Modelines",
         {"modelines", "ORVEXRES.DAT"},
         0,
         nullptr,
         "Modeline \"640x480_72\" 31.500 640 664 704 832 480 489 492 520 -hsync -vsync\n"},
        {"AddMode",
         {"add-mode", "ORVEXRES.DAT", "Generic", "--gtf", "1280x1024x85"},
         0,
         "ORVEXRES.DAT",
         "added to monitor Generic: 1 mode"},
        {"FileMissing", {"check", "NONE.DAT"}, 1, nullptr, ""},
        {"ResolutionUnknown", {"show", "ORVEXRES.DAT", "Generic", "1600x1200x60"}, 1, nullptr, ""},
        {"WrongUsage", {"show", "ORVEXRES.DAT"}, 2, nullptr, ""},
    };
}

// True when every LF of text follows a CR.
bool AllLinesEndWithCrLf(const std::string &text) {
    for (size_t i = 0; i < text.size(); ++i)
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r'))
            return false;
    return true;
}

class OrvexresUnderWine : public ::testing::TestWithParam<Command> {};

TEST_P(OrvexresUnderWine, SameAsOnLinux) {
    const Command &c = GetParam();
    ScratchDir linux_dir;
    ScratchDir windows_dir;
    std::string example = ReadBytes(ExampleDatPath());
    WriteBytes(linux_dir.File("ORVEXRES.DAT"), example);
    WriteBytes(windows_dir.File("ORVEXRES.DAT"), example);

    std::vector<std::string> argv = {ORVEXRES_PATH};
    argv.insert(argv.end(), c.args.begin(), c.args.end());
    winetest::Process linux_run = winetest::Run(argv, linux_dir.path());
    winetest::Process windows_run = winetest::RunWine(
        winetest::Program("ORVEX_ORVEXRES_EXE", "tools/orvexres.exe"), c.args, windows_dir.path());

    // The Linux run as the command promises, so that two empty or two
    // failed runs cannot pass as equal.
    ASSERT_EQ(linux_run.exit_code, c.exit_code) << linux_run.err;
    EXPECT_NE(linux_run.out.find(c.expected_out), std::string::npos) << linux_run.out;
    if (c.exit_code != 0) {
        EXPECT_FALSE(linux_run.err.empty() && linux_run.out.empty()) << "a refusal says why";
    }

    EXPECT_EQ(windows_run.exit_code, linux_run.exit_code) << windows_run.err;
    EXPECT_TRUE(AllLinesEndWithCrLf(windows_run.out)) << windows_run.out;
    EXPECT_TRUE(AllLinesEndWithCrLf(windows_run.err)) << windows_run.err;
    EXPECT_EQ(winetest::WithoutCr(windows_run.out), linux_run.out);
    EXPECT_EQ(winetest::WithoutCr(windows_run.err), linux_run.err);

    if (c.output_file != nullptr) {
        std::string linux_file = ReadBytes(linux_dir.File(c.output_file));
        ASSERT_FALSE(linux_file.empty());
        EXPECT_TRUE(FileExists(windows_dir.File(c.output_file)));
        std::string windows_file = ReadBytes(windows_dir.File(c.output_file));
        EXPECT_EQ(windows_file.size(), linux_file.size());
        EXPECT_TRUE(windows_file == linux_file) << "the written files differ";
    }
    // Nothing else is left in either directory.
    std::vector<std::string> names[2];
    const ScratchDir *dirs[2] = {&linux_dir, &windows_dir};
    for (int i = 0; i < 2; ++i)
        for (const fs::directory_entry &e : fs::directory_iterator(dirs[i]->path()))
            names[i].push_back(e.path().filename().string());
    std::sort(names[0].begin(), names[0].end());
    std::sort(names[1].begin(), names[1].end());
    EXPECT_EQ(names[1], names[0]);
}

INSTANTIATE_TEST_SUITE_P(Example, OrvexresUnderWine, ::testing::ValuesIn(Commands()),
                         [](const ::testing::TestParamInfo<Command> &info) {
                             return std::string(info.param.name);
                         });

} // namespace
