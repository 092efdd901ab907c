#include "wine/wine_case.h"

#include <gtest/gtest.h>

#include <stdio.h>
#include <stdlib.h>

#include <filesystem>

#include "support/testutil.h"

namespace fs = std::filesystem;

namespace winetest {

namespace {

const char kRegKey[] = "tests/wine/e2e_regkey.exe";

} // namespace

std::string SystemDir() {
    std::string windows = Prefix() + "/drive_c/windows";
    std::error_code ec;
    if (ORVEX_WINDOWS_BITS == 32 && fs::is_directory(windows + "/syswow64", ec))
        return windows + "/syswow64";
    return windows + "/system32";
}

static std::string Hex(const std::string &bytes) {
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

std::string RegKeyLine(const e2e::Value &v) {
    return std::to_string(v.type) + " " + Hex(v.bytes) + " " + v.name;
}

KeyDump ParseKeyDump(const std::string &text) {
    KeyDump dump;
    std::string rest = WithoutCr(text);
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

static bool IsHex(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// Decodes the quoted string at text[*pos] (the opening quote) as Wine's trace
// writes it: \n \r \t \" \\ escaped, other bytes outside printable ASCII
// as \xNN in a narrow string and as \NNNN in a wide one. Wine cuts long
// strings short and marks it with "..." after the closing quote: false then.
static bool ReadQuoted(const std::string &text, size_t *pos, bool wide, std::string *out) {
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

std::string WineArgument(const std::string &ansi) {
    std::string utf8;
    for (unsigned char c : ansi) {
        if (c < 0x80) {
            utf8 += static_cast<char>(c);
        } else if (c >= 0xA0) {
            utf8 += static_cast<char>(0xC0 | c >> 6);
            utf8 += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            ADD_FAILURE() << "byte 0x" << std::hex << int(c) << " of " << ansi
                          << " is not the same character in Windows-1252 and Latin-1";
        }
    }
    return utf8;
}

void PrepareCase(const e2e::Case &c, const std::string &dir, const Environment &env,
                 std::string *before) {
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
        values += RegKeyLine(v) + "\n";
        expected_before[v.name] = RegKeyLine(v);
    }
    WriteBytes(dir + "/values.txt", values);
    std::vector<std::string> setup = {"trace-message-boxes"};
    if (c.key == e2e::Key::kMissing)
        setup.insert(setup.end(), {"remove", "dump"});
    else
        setup.insert(setup.end(), {"reset", "values.txt", "dump"});
    if (c.key == e2e::Key::kDenied)
        setup.push_back("deny");
    Process set = RunWine(kRegKey, setup, dir, env);
    ASSERT_EQ(set.exit_code, 0) << set.err;
    *before = set.out;
    KeyDump dump = ParseKeyDump(set.out);
    ASSERT_TRUE(dump.ok) << set.out;
    ASSERT_EQ(dump.missing, c.key == e2e::Key::kMissing) << set.out;
    ASSERT_EQ(dump.lines, expected_before) << "the device key was not set as asked";
}

void CheckKeyAfter(const e2e::Case &c, const std::string &before, const std::string &dir,
                   const Environment &env, KeyDump *after_out) {
    std::vector<std::string> read;
    if (c.key == e2e::Key::kDenied)
        read.push_back("allow");
    read.push_back("dump");
    Process dump = RunWine(kRegKey, read, dir, env);
    ASSERT_EQ(dump.exit_code, 0) << dump.err;
    KeyDump after = ParseKeyDump(dump.out);
    ASSERT_TRUE(after.ok) << dump.out;
    if (after_out != nullptr)
        *after_out = after;

    if (c.untouched || c.data_file == e2e::DataFile::kVanishes) {
        EXPECT_EQ(WithoutCr(dump.out), WithoutCr(before))
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
            EXPECT_EQ(found->second, RegKeyLine(v)) << "value " << v.name << " (type, bytes, name)";
    }
    for (const std::string &name : c.absent)
        EXPECT_EQ(after.lines.count(name), 0u) << "value " << name << " should not exist";
}

} // namespace winetest
