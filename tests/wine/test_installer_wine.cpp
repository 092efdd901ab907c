// The installer end to end under Wine: each case of the shared table runs the
// real orvexinst.exe of the Windows build against Wine's registry. The data
// file goes into the directory a 32-bit program finds as its system directory;
// the device key is set and read back exactly by the helper e2e_regkey.exe
// (which also denies access to it: the DACL lives only in the running
// wineserver, which the helper and the installer share); the message boxes are
// read from Wine's relay trace of MessageBoxA and MessageBoxW.
// ORVEX_INSTALL_EXE, when set, names another orvexinst.exe to check.
//
// The same table also runs the POSIX orvexinst on a hive exported from Wine's
// registry: the device key as the case has it, exported by Wine's regedit (a
// version-5 file in UTF-16LE), read through the POSIX registry layer, updated
// by orvexinst through it, and imported again by Wine's regedit into the
// registry it came from. The key must then hold what orvexinst.exe writes.
#include <gtest/gtest.h>

#include <stdio.h>
#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "e2e/cases.h"
#include "platform/win32.h"
#include "support/testutil.h"
#include "wine/wine_process.h"

namespace fs = std::filesystem;

namespace {

// The installer of the Windows build, or the copy ORVEX_INSTALL_EXE names.
std::string Installer() {
    return winetest::Program("ORVEX_INSTALL_EXE", "install/orvexinst.exe");
}
const char kRegKey[] = "tests/wine/e2e_regkey.exe";

// The system directory of a 32-bit program on the Linux side: a 64-bit
// prefix redirects its system32 to syswow64; a 32-bit prefix has system32 only.
std::string SystemDir() {
    std::string windows = winetest::Prefix() + "/drive_c/windows";
    std::error_code ec;
    if (fs::is_directory(windows + "/syswow64", ec))
        return windows + "/syswow64";
    return windows + "/system32";
}

std::string Hex(const std::string &bytes) {
    if (bytes.empty())
        return "-";
    std::string out;
    char pair[3];
    for (unsigned char b : bytes) {
        snprintf(pair, sizeof pair, "%02x", b);
        out += pair;
    }
    return out;
}

// A value in e2e_regkey's line format: "TYPE HEX NAME".
std::string Line(const e2e::Value &v) {
    return std::to_string(v.type) + " " + Hex(v.bytes) + " " + v.name;
}

// The key's state as e2e_regkey dumps it, parsed.
struct Dump {
    bool ok = false; // the dump was complete
    bool missing = false;
    std::map<std::string, std::string> lines; // name -> whole line
};

Dump ParseDump(const std::string &text) {
    Dump dump;
    std::string rest = winetest::WithoutCr(text);
    size_t start = 0;
    while (start < rest.size()) {
        size_t end = rest.find('\n', start);
        if (end == std::string::npos)
            break; // an unfinished line: the dump was cut short
        std::string line = rest.substr(start, end - start);
        start = end + 1;
        if (line == "missing" && dump.lines.empty()) {
            dump.missing = dump.ok = start == rest.size();
            break;
        }
        if (line == "end") {
            dump.ok = start == rest.size();
            break;
        }
        size_t first = line.find(' ');
        size_t second = first == std::string::npos ? first : line.find(' ', first + 1);
        if (second == std::string::npos)
            break;
        dump.lines[line.substr(second + 1)] = line;
    }
    return dump;
}

bool IsHex(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// Decodes the quoted string at text[*pos] (the opening quote) as Wine's trace
// writes it: \n \r \t \" \\ escaped, other bytes outside printable ASCII
// as \xNN in a narrow string and as \NNNN in a wide one. Wine cuts long
// strings short and marks it with "..." after the closing quote: false then.
bool ReadQuoted(const std::string &text, size_t *pos, bool wide, std::string *out) {
    size_t i = *pos + 1;
    out->clear();
    while (i < text.size() && text[i] != '"') {
        char c = text[i++];
        if (c != '\\') {
            *out += c;
            continue;
        }
        if (i >= text.size())
            return false;
        size_t digits = 0;
        if (!wide && text[i] == 'x') {
            ++i;
            digits = 2;
        } else if (wide && IsHex(text[i])) {
            digits = 4;
        }
        if (digits != 0) {
            if (i + digits > text.size())
                return false;
            unsigned long code = strtoul(text.substr(i, digits).c_str(), nullptr, 16);
            *out += code < 0x100 ? static_cast<char>(code) : '?';
            i += digits;
            continue;
        }
        char e = text[i++];
        *out += e == 'n' ? '\n' : e == 'r' ? '\r' : e == 't' ? '\t' : e; // \" and \\ too
    }
    if (i >= text.size())
        return false;
    *pos = i + 1;
    return text.compare(*pos, 3, "...") != 0;
}

// The message boxes a relay trace shows, in order, as "caption: text" (a null
// text reads as "", a null caption as "Error", as Windows shows them). A line
// that cannot be read is reported as such, so that it fails any comparison.
std::vector<std::string> MessageBoxes(const std::string &trace) {
    std::vector<std::string> boxes;
    size_t start = 0;
    while (start < trace.size()) {
        size_t end = trace.find('\n', start);
        if (end == std::string::npos)
            end = trace.size();
        std::string line = trace.substr(start, end - start);
        start = end + 1;
        const std::string call = ":Call user32.MessageBox";
        size_t at = line.find(call);
        if (at == std::string::npos)
            continue;
        bool wide = line.compare(at + call.size(), 2, "W(") == 0;
        // Arguments: owner, text, caption, style. A string argument is its
        // address, a blank and the quoted text; a null one is the address only.
        std::vector<std::string> args;
        std::vector<bool> quoted;
        size_t pos = line.find('(', at);
        bool readable = pos != std::string::npos;
        while (readable && pos < line.size() && line[pos] != ')') {
            ++pos; // past '(' or ','
            args.emplace_back();
            quoted.push_back(false);
            while (readable && pos < line.size() && line[pos] != ',' && line[pos] != ')') {
                if (line[pos] == '"') {
                    readable = ReadQuoted(line, &pos, wide, &args.back());
                    quoted.back() = true;
                } else {
                    ++pos;
                }
            }
        }
        if (!readable || pos >= line.size() || args.size() != 4) {
            boxes.push_back("(unreadable trace line) " + line);
            continue;
        }
        std::string text = quoted[1] ? args[1] : "";
        std::string caption = quoted[2] ? args[2] : "Error";
        boxes.push_back(caption + ": " + text);
    }
    return boxes;
}

class InstallerUnderWine : public ::testing::TestWithParam<e2e::Case> {
  protected:
    // Runs the installer with the relay trace of its message boxes.
    winetest::Process Install() {
        return winetest::RunWine(Installer(), {}, dir.path(), {{"WINEDEBUG", "-all,+relay"}});
    }
    // The device key as e2e_regkey dumps it after the given commands.
    winetest::Process RegKey(const std::vector<std::string> &commands) {
        return winetest::RunWine(kRegKey, commands, dir.path());
    }
    ScratchDir dir;
};

TEST_P(InstallerUnderWine, Case) {
    const e2e::Case &c = GetParam();
    if (e2e::PosixOnly(c))
        GTEST_SKIP() << "needs the POSIX stand-ins (a hive file, file modes or a full disk)";
    if (c.system_dir_length != 0)
        GTEST_SKIP() << "needs a system directory of " << c.system_dir_length
                     << " characters; Windows (and Wine) fixes the system directory, so its "
                        "length cannot be chosen";

    // The data file, or what stands in its place.
    std::string dat_path = SystemDir() + "/ORVEXRES.DAT";
    std::error_code ec;
    fs::remove_all(dat_path, ec);
    ASSERT_FALSE(ec) << "cannot remove " << dat_path << ": " << ec.message();
    if (c.data_file == e2e::DataFile::kDirectory)
        ASSERT_TRUE(fs::create_directory(dat_path));
    else if (c.data_file != e2e::DataFile::kMissing)
        WriteBytes(dat_path, c.dat);

    // The device key exactly as the case has it before the run.
    std::string values;
    std::map<std::string, std::string> expected_before;
    for (const e2e::Value &v : c.before) {
        values += Line(v) + "\n";
        expected_before[v.name] = Line(v);
    }
    WriteBytes(dir.File("values.txt"), values);
    std::vector<std::string> setup = {"trace-message-boxes"};
    if (c.key == e2e::Key::kMissing)
        setup.insert(setup.end(), {"remove", "dump"});
    else
        setup.insert(setup.end(), {"reset", "values.txt", "dump"});
    if (c.key == e2e::Key::kDenied)
        setup.push_back("deny");
    winetest::Process set = RegKey(setup);
    ASSERT_EQ(set.exit_code, 0) << set.err;
    std::string before_text = set.out;
    Dump before = ParseDump(before_text);
    ASSERT_TRUE(before.ok) << before_text;
    ASSERT_EQ(before.missing, c.key == e2e::Key::kMissing) << before_text;
    ASSERT_EQ(before.lines, expected_before) << "the device key was not set as asked";

    if (c.data_file == e2e::DataFile::kVanishes) {
        winetest::Process first = Install();
        ASSERT_EQ(first.exit_code, 1) << "the first run must install\n" << first.err;
        EXPECT_EQ(MessageBoxes(first.err), std::vector<std::string>());
        winetest::Process dump = RegKey({"dump"});
        ASSERT_EQ(dump.exit_code, 0) << dump.err;
        before_text = dump.out;
        ASSERT_TRUE(ParseDump(before_text).ok) << before_text;
        ASSERT_TRUE(fs::remove(dat_path));
    }

    winetest::Process run = Install();
    ASSERT_FALSE(run.timed_out) << "the installer did not finish\n" << run.err;
    EXPECT_EQ(run.exit_code, c.exit_code) << run.err;
    EXPECT_EQ(MessageBoxes(run.err), c.messages) << run.err;

    std::vector<std::string> read;
    if (c.key == e2e::Key::kDenied)
        read.push_back("allow");
    read.push_back("dump");
    winetest::Process dump = RegKey(read);
    ASSERT_EQ(dump.exit_code, 0) << dump.err;
    Dump after = ParseDump(dump.out);
    ASSERT_TRUE(after.ok) << dump.out;

    if (c.untouched || c.data_file == e2e::DataFile::kVanishes) {
        EXPECT_EQ(winetest::WithoutCr(dump.out), winetest::WithoutCr(before_text))
            << "the device key must be left as it was";
    }
    if (c.key == e2e::Key::kMissing) {
        EXPECT_TRUE(after.missing) << "the device key must not be created";
        return;
    }
    ASSERT_FALSE(after.missing) << "the device key was deleted";
    for (const e2e::Value &v : c.after) {
        auto found = after.lines.find(v.name);
        if (found == after.lines.end())
            ADD_FAILURE() << "value " << v.name << " is missing";
        else
            EXPECT_EQ(found->second, Line(v)) << "value " << v.name << " (type, bytes, name)";
    }
    for (const std::string &name : c.absent)
        EXPECT_EQ(after.lines.count(name), 0u) << "value " << name << " should not exist";
}

INSTANTIATE_TEST_SUITE_P(Table, InstallerUnderWine, ::testing::ValuesIn(e2e::Cases()),
                         [](const ::testing::TestParamInfo<e2e::Case> &info) {
                             return std::string(info.param.name);
                         });

// ---------------------------------------------------------------------------
// The POSIX orvexinst on a hive exported from Wine's registry

const char kDeviceKey[] = "SYSTEM\\CurrentControlSet\\Services\\k5300\\Device0";

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
void ExpectPosixReadsLikeWine(const std::string &hive, const Dump &dump) {
    setenv("ORVEX_REGISTRY", hive.c_str(), 1);
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kDeviceKey, 0, KEY_QUERY_VALUE, &key),
              ERROR_SUCCESS);
    for (const auto &[name, line] : dump.lines) {
        BYTE data[512];
        DWORD size = sizeof data;
        DWORD type = 0;
        ASSERT_EQ(RegQueryValueExA(key, name.c_str(), nullptr, &type, data, &size), ERROR_SUCCESS)
            << name;
        e2e::Value read{name, type, std::string(reinterpret_cast<char *>(data), size)};
        EXPECT_EQ(Line(read), line) << "value " << name << " (type, bytes, name)";
    }
    RegCloseKey(key);
    unsetenv("ORVEX_REGISTRY");
}

class ExportedHive : public InstallerUnderWine {};

TEST_P(ExportedHive, UpdatedOnPosixImportsAsOrvexinstExeWrites) {
    const e2e::Case &c = GetParam();
    if (c.key != e2e::Key::kPresent || c.data_file != e2e::DataFile::kText ||
        c.system_dir_length != 0)
        GTEST_SKIP() << "needs a device key to export and a data file the installer reads";
    for (const e2e::Value &v : c.before) {
        if (!ExportsFaithfully(v))
            GTEST_SKIP() << "Wine's regedit cannot export " << v.name << " as it is";
    }

    WriteBytes(SystemDir() + "/ORVEXRES.DAT", c.dat);
    std::string values;
    for (const e2e::Value &v : c.before)
        values += Line(v) + "\n";
    for (const e2e::Value &v : Extras())
        values += Line(v) + "\n";
    WriteBytes(dir.File("values.txt"), values);

    // What orvexinst.exe makes of the key.
    winetest::Process set = RegKey({"reset", "values.txt"});
    ASSERT_EQ(set.exit_code, 0) << set.err;
    winetest::Process run = winetest::RunWine(Installer(), {}, dir.path());
    ASSERT_EQ(run.exit_code, c.exit_code) << run.err;
    winetest::Process windows = RegKey({"dump"});
    Dump expected = ParseDump(windows.out);
    ASSERT_TRUE(expected.ok) << windows.out;

    // The key as it was, exported.
    winetest::Process again = RegKey({"reset", "values.txt", "dump"});
    ASSERT_EQ(again.exit_code, 0) << again.err;
    Dump before = ParseDump(again.out);
    ASSERT_TRUE(before.ok) << again.out;
    std::string hive = dir.File("exported.reg");
    winetest::Process exported = winetest::RunWine(
        "regedit", {"/E", WindowsPath(hive), std::string("HKEY_LOCAL_MACHINE\\") + kDeviceKey},
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
    Dump after = ParseDump(dump.out);
    ASSERT_TRUE(after.ok) << dump.out;
    EXPECT_EQ(after.lines, expected.lines) << "the imported key differs from orvexinst.exe's";
}

INSTANTIATE_TEST_SUITE_P(Table, ExportedHive, ::testing::ValuesIn(e2e::Cases()),
                         [](const ::testing::TestParamInfo<e2e::Case> &info) {
                             return std::string(info.param.name);
                         });

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
