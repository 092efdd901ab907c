// The installer end to end under Wine: each case of the shared table runs the
// real orvexinst.exe (or orvexsetup.exe with the case's arguments) of the
// Windows build against Wine's registry. The data file goes into the directory
// a 32-bit program finds as its system directory; the device key is set and
// read back exactly by the helper e2e_regkey.exe (which also denies access to
// it: the DACL lives only in the running wineserver, which the helper and the
// installer share); the message boxes are read from Wine's relay trace of
// MessageBoxA and MessageBoxW (wine/wine_case.h).
// ORVEX_INSTALL_EXE and ORVEX_SETUP_EXE, when set, name other copies to check.
//
// The same table also runs the POSIX orvexinst on a hive exported from Wine's
// registry: the device key as the case has it, exported by Wine's regedit (a
// version-5 file in UTF-16LE), read through the POSIX registry layer, updated
// by orvexinst through it, and imported again by Wine's regedit into the
// registry it came from. The key must then hold what orvexinst.exe writes.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "e2e/cases.h"
#include "install/device_key.h"
#include "platform/win32.h"
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
        GTEST_SKIP() << "needs the POSIX stand-ins (a hive file, file modes, a full disk or a "
                        "commit refused) or the POSIX usage";
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

// ---------------------------------------------------------------------------
// The POSIX orvexinst on a hive exported from Wine's registry

// Values beside the case's, of the types and characters an exported file
// holds: texts with quotes, backslashes and bytes of the ANSI code page
// (Windows-1252), an expandable text, a text list and a 64-bit number.
std::vector<e2e::Value> Extras() {
    return {e2e::Sz("Device Description", "Orvex \"K5300\" at C:\\WINNT, caf\xE9 \x80 \xFF"),
            {"Caf\xE9 Name", e2e::kRegSz, std::string("\0", 1)},
            {"ImagePath", 2, std::string("%SystemRoot%\\System32\\k5300.sys\0", 33)},
            {"InstalledDisplayDrivers", 7, std::string("k5300\0vga\0\0", 11)},
            {"Counter", 11, std::string("\x88\x77\x66\x55\x44\x33\x22\x11", 8)}};
}

// Whether Wine's regedit exports the value as it is: it writes a REG_DWORD of
// any size as a 4-byte "dword:" and a REG_SZ as the text before its first NUL.
bool ExportsFaithfully(const e2e::Value &v) {
    if (v.type == e2e::kRegDword)
        return v.bytes.size() == 4;
    if (v.type == e2e::kRegSz)
        return !v.bytes.empty() && v.bytes.find('\0') == v.bytes.size() - 1;
    return true;
}

// A Linux path as Wine's Z: drive shows it.
std::string WindowsPath(const std::string &path) {
    std::string out = "Z:" + path;
    for (char &c : out)
        if (c == '/')
            c = '\\';
    return out;
}

// The file's lines, split after each UTF-16LE line feed.
std::vector<std::string> Utf16Lines(const std::string &bytes) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        if (bytes[i] == '\n' && bytes[i + 1] == 0) {
            lines.push_back(bytes.substr(start, i + 2 - start));
            start = i + 2;
        }
    }
    if (start < bytes.size())
        lines.push_back(bytes.substr(start));
    return lines;
}

// The ASCII characters of UTF-16LE text, others as '?'.
std::string Narrow(const std::string &utf16) {
    std::string out;
    for (size_t i = 0; i + 1 < utf16.size(); i += 2)
        out += utf16[i + 1] == 0 && static_cast<unsigned char>(utf16[i]) < 0x80 ? utf16[i] : '?';
    return out;
}

// A system directory for the POSIX orvexinst, removed at the end: in /tmp,
// since the installer counts a path longer than 126 characters as a data file
// it cannot read.
struct SystemDirectory {
    std::string path;
    SystemDirectory() {
        char pattern[] = "/tmp/orvex-system-XXXXXX";
        if (mkdtemp(pattern) != nullptr)
            path = pattern;
    }
    ~SystemDirectory() {
        std::error_code ec;
        if (!path.empty())
            fs::remove_all(path, ec);
    }
};

// Checks every value of a dump through the POSIX registry layer on the hive:
// the same type and bytes as Wine's ANSI services gave.
void ExpectPosixReadsLikeWine(const std::string &hive, const winetest::KeyDump &dump) {
    setenv("ORVEX_REGISTRY", hive.c_str(), 1);
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kDeviceKeyPath, 0, KEY_QUERY_VALUE, &key),
              ERROR_SUCCESS);
    for (const auto &[name, line] : dump.lines) {
        BYTE data[512];
        DWORD size = sizeof data;
        DWORD type = 0;
        ASSERT_EQ(RegQueryValueExA(key, name.c_str(), nullptr, &type, data, &size), ERROR_SUCCESS)
            << name;
        e2e::Value read{name, type, std::string(reinterpret_cast<char *>(data), size)};
        EXPECT_EQ(winetest::RegKeyLine(read), line) << "value " << name << " (type, bytes, name)";
    }
    RegCloseKey(key);
    unsetenv("ORVEX_REGISTRY");
}

class ExportedHive : public InstallerUnderWine {
  protected:
    // The helper that sets and dumps the device key.
    winetest::Process RegKey(const std::vector<std::string> &args) {
        return winetest::RunWine("tests/wine/e2e_regkey.exe", args, dir.path());
    }
};

TEST_P(ExportedHive, UpdatedOnPosixImportsAsOrvexinstExeWrites) {
    const e2e::Case &c = GetParam();
    if (c.program != e2e::Program::kInstaller || c.key != e2e::Key::kPresent ||
        c.data_file != e2e::DataFile::kText || c.system_dir_length != 0)
        GTEST_SKIP() << "needs a device key to export and a data file the installer reads";
    for (const e2e::Value &v : c.before) {
        if (!ExportsFaithfully(v))
            GTEST_SKIP() << "Wine's regedit cannot export " << v.name << " as it is";
    }

    WriteBytes(winetest::SystemDir() + "/ORVEXRES.DAT", c.dat);
    std::string values;
    for (const e2e::Value &v : c.before)
        values += winetest::RegKeyLine(v) + "\n";
    for (const e2e::Value &v : Extras())
        values += winetest::RegKeyLine(v) + "\n";
    WriteBytes(dir.File("values.txt"), values);

    // What orvexinst.exe makes of the key.
    winetest::Process set = RegKey({"reset", "values.txt"});
    ASSERT_EQ(set.exit_code, 0) << set.err;
    winetest::Process run = winetest::RunWine(ProgramOf(c), {}, dir.path());
    ASSERT_EQ(run.exit_code, c.exit_code) << run.err;
    winetest::Process windows = RegKey({"dump"});
    winetest::KeyDump expected = winetest::ParseKeyDump(windows.out);
    ASSERT_TRUE(expected.ok) << windows.out;

    // The key as it was, exported.
    winetest::Process again = RegKey({"reset", "values.txt", "dump"});
    ASSERT_EQ(again.exit_code, 0) << again.err;
    winetest::KeyDump before = winetest::ParseKeyDump(again.out);
    ASSERT_TRUE(before.ok) << again.out;
    std::string hive = dir.File("exported.reg");
    winetest::Process exported = winetest::RunWine(
        "regedit", {"/E", WindowsPath(hive), std::string("HKEY_LOCAL_MACHINE\\") + kDeviceKeyPath},
        dir.path());
    ASSERT_EQ(exported.exit_code, 0) << exported.err;
    const std::string exported_bytes = ReadBytes(hive);
    ASSERT_EQ(exported_bytes.compare(0, 2, "\xFF\xFE"), 0) << "not UTF-16LE with a byte-order mark";
    ExpectPosixReadsLikeWine(hive, before);

    // Updated on POSIX: every line stays but the entries of the values the
    // installer sets or removes.
    SystemDirectory system_dir;
    ASSERT_FALSE(system_dir.path.empty());
    WriteBytes(system_dir.path + "/ORVEXRES.DAT", c.dat);
    winetest::Process posix =
        winetest::Run({ORVEXINST_PATH}, system_dir.path,
                      {{"ORVEX_SYSTEM_DIR", system_dir.path}, {"ORVEX_REGISTRY", hive}});
    EXPECT_EQ(posix.exit_code, c.exit_code) << posix.err;
    std::string messages;
    for (const std::string &m : c.messages)
        messages += m + "\n";
    EXPECT_EQ(posix.err, messages);
    std::vector<std::string> after_lines = Utf16Lines(ReadBytes(hive));
    ASSERT_FALSE(after_lines.empty());
    EXPECT_EQ(after_lines[0], Utf16Lines(exported_bytes)[0]) << "byte-order mark and header";
    const std::string touched[] = {"BusType",  "MemBase",     "MemSize",  "MemConfig",
                                   "FontSize", "MonitorType", "CrtTiming"};
    bool in_touched_entry = false;
    for (const std::string &line : Utf16Lines(exported_bytes)) {
        std::string text = Narrow(line);
        if (text.compare(0, 2, "  ") != 0) { // not a continuation line
            in_touched_entry = false;
            for (const std::string &name : touched)
                in_touched_entry = in_touched_entry || text.rfind("\"" + name + "\"=", 0) == 0;
        }
        auto kept = std::find(after_lines.begin(), after_lines.end(), line);
        if (kept != after_lines.end())
            after_lines.erase(kept);
        else
            EXPECT_TRUE(in_touched_entry) << "line changed: " << text;
    }

    // Imported again into the key as it was exported.
    winetest::Process imported =
        winetest::RunWine("regedit", {"/S", WindowsPath(hive)}, dir.path());
    ASSERT_EQ(imported.exit_code, 0) << imported.err;
    winetest::Process dump = RegKey({"dump"});
    winetest::KeyDump after = winetest::ParseKeyDump(dump.out);
    ASSERT_TRUE(after.ok) << dump.out;
    EXPECT_EQ(after.lines, expected.lines) << "the imported key differs from orvexinst.exe's";
}

INSTANTIATE_TEST_SUITE_P(Table, ExportedHive, ::testing::ValuesIn(e2e::Cases()),
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
