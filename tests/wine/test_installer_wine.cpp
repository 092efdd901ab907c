// The installer end to end under Wine: each case of the shared table runs the
// real orvexinst.exe (or orvexsetup.exe with the case's arguments) of the
// Windows build against Wine's registry. The data file goes into the directory
// a 32-bit program finds as its system directory; the device key is set and
// read back exactly by the helper e2e_regkey.exe (which also denies access to
// it: the DACL lives only in the running wineserver, which the helper and the
// installer share); the message boxes are read from Wine's relay trace of
// MessageBoxA and MessageBoxW (wine/wine_case.h).
// ORVEX_INSTALL_EXE and ORVEX_SETUP_EXE, when set, name other copies to check.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "e2e/cases.h"
#include "support/testutil.h"
#include "wine/wine_case.h"
#include "wine/wine_process.h"

namespace fs = std::filesystem;

namespace {

using winetest::MessageBoxes;

// The program a case runs, of the Windows build or the copy the environment
// names.
std::string ProgramOf(const e2e::Case &c) {
    if (c.program == e2e::Program::kSetup)
        return winetest::Program("ORVEX_SETUP_EXE", "install/orvexsetup.exe");
    return winetest::Program("ORVEX_INSTALL_EXE", "install/orvexinst.exe");
}

class InstallerUnderWine : public ::testing::TestWithParam<e2e::Case> {
  protected:
    // Runs the case's program with the relay trace of its message boxes.
    winetest::Process Install(const e2e::Case &c) {
        std::vector<std::string> args;
        for (const std::string &a : c.args)
            args.push_back(winetest::WineArgument(a));
        return winetest::RunWine(ProgramOf(c), args, dir.path(), {{"WINEDEBUG", "-all,+relay"}});
    }
    ScratchDir dir;
};

TEST_P(InstallerUnderWine, Case) {
    const e2e::Case &c = GetParam();
    if (e2e::PosixOnly(c))
        GTEST_SKIP() << "needs the POSIX stand-ins (a hive file, file modes or a full disk) or "
                        "the POSIX usage";
    if (c.system_dir_length != 0)
        GTEST_SKIP() << "needs a system directory of " << c.system_dir_length
                     << " characters; Windows (and Wine) fixes the system directory, so its "
                        "length cannot be chosen";

    std::string before_text;
    ASSERT_NO_FATAL_FAILURE(winetest::PrepareCase(c, dir.path(), {}, &before_text));

    if (c.data_file == e2e::DataFile::kVanishes) {
        winetest::Process first = Install(c);
        ASSERT_EQ(first.exit_code, 1) << "the first run must install\n" << first.err;
        EXPECT_EQ(MessageBoxes(first.err), std::vector<std::string>());
        winetest::Process dump =
            winetest::RunWine("tests/wine/e2e_regkey.exe", {"dump"}, dir.path());
        ASSERT_EQ(dump.exit_code, 0) << dump.err;
        before_text = dump.out;
        ASSERT_TRUE(winetest::ParseKeyDump(before_text).ok) << before_text;
        ASSERT_TRUE(fs::remove(winetest::SystemDir() + "/ORVEXRES.DAT"));
    }

    winetest::Process run = Install(c);
    ASSERT_FALSE(run.timed_out) << "the program did not finish\n" << run.err;
    EXPECT_EQ(run.exit_code, c.exit_code) << run.err;
    EXPECT_EQ(MessageBoxes(run.err), c.messages) << run.err;

    winetest::CheckKeyAfter(c, before_text, dir.path(), {});
}

INSTANTIATE_TEST_SUITE_P(Table, InstallerUnderWine, ::testing::ValuesIn(e2e::Cases()),
                         [](const ::testing::TestParamInfo<e2e::Case> &info) {
                             return std::string(info.param.name);
                         });

// orvexsetup without options and without a display: the dialog cannot be
// created; a box says so (which, headless, returns at once) and nothing is
// written.
TEST(SetupUnderWine, WithoutADisplayTheDialogCannotBeShown) {
    ScratchDir dir;
    e2e::Case c = e2e::Case("SetupWithoutADisplay")
                      .Dat(e2e::SetupDat())
                      .Before(e2e::Defaults(640, 480, 72))
                      .Setup({})
                      .Exit(0)
                      .Untouched();
    std::string before;
    ASSERT_NO_FATAL_FAILURE(winetest::PrepareCase(c, dir.path(), {}, &before));
    winetest::Process run =
        winetest::RunWine(ProgramOf(c), {}, dir.path(), {{"WINEDEBUG", "-all,+relay"}});
    ASSERT_FALSE(run.timed_out);
    EXPECT_EQ(run.exit_code, 0);
    std::vector<std::string> boxes = MessageBoxes(run.err);
    ASSERT_EQ(boxes.size(), 1u) << run.err;
    EXPECT_EQ(boxes[0].rfind("Orvex NT Driver Setup: The dialog cannot be shown. Error ", 0), 0u)
        << boxes[0];
    winetest::CheckKeyAfter(c, before, dir.path(), {});
}

// The trace reader itself, on lines as Wine 8 writes them.
TEST(RelayTrace, ReadsTextAndCaptionOfEachCall) {
    std::string trace =
        "0128:trace:relay:load_list L\"RelayInclude\" = L\"user32.MessageBoxA\"\n"
        "0128:Call user32.MessageBoxA(00000000,0040d17a \"Error reading ORVEXRES.DAT\",0040d15c "
        "\"Orvex NT Driver Install Error\",00000010) ret=004021bc\n"
        "0128:Ret  user32.MessageBoxA() retval=ffffffff ret=004021bc\n"
        "0178:Call user32.MessageBoxA(00000000,00404048 \"a\\nb, \\\"c\\\"\\\\\\x01\\xe9\\t\\r\","
        "00404044 \"Cap, (1)\",00000000) ret=004015ef\n"
        "0178:Call user32.MessageBoxW(00000000,00404060 L\"w\\0001\\00e9\\263a\",00404056 "
        "L\"WCap\",00000000) ret=00401618\n"
        "0178:Call user32.MessageBoxA(00000000,00000000,0040406a \"nulltext\",00000000) "
        "ret=00401641\n"
        "0178:Call user32.MessageBoxA(00000000,0040406a \"text\",00000000,00000000) ret=00401641\n";
    EXPECT_EQ(MessageBoxes(trace),
              (std::vector<std::string>{"Orvex NT Driver Install Error: Error reading ORVEXRES.DAT",
                                        "Cap, (1): a\nb, \"c\"\\\x01\xe9\t\r", "WCap: w\x01\xe9?",
                                        "nulltext: ", "Error: text"}));
}

TEST(RelayTrace, ReportsAStringCutShort) {
    std::vector<std::string> boxes =
        MessageBoxes("0024:Call user32.MessageBoxA(00000000,0061fcf0 \"xxxx\"...,00404073 "
                     "\"Big\",00000000) ret=0040168e\n");
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].rfind("(unreadable trace line)", 0), 0u) << boxes[0];
}

} // namespace
