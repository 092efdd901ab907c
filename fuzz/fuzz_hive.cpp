// The POSIX registry's reader and writer on arbitrary hive files, REGEDIT4 and
// version 5 (UTF-16LE or UTF-8). Each input becomes the hive; the device key
// and the first key the input names are opened, a few values are read, one
// value is set and deleted again.
//
// Properties: a hive that cannot be parsed (ERROR_BADDB) keeps its bytes; a
// change either fails and leaves the bytes as they were, or succeeds and the
// hive reads back with the new value and every other value read before still
// the same; a version-5 hive keeps its first line (byte-order mark and
// header); nothing is written beyond the size a query reports; no temporary
// file is left behind. An input in ASCII that starts with the version-5
// header is played again as UTF-16LE: every result must be the same, and
// every file written the UTF-16LE form of the one written before, when that
// is ASCII.
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "fuzz_common.h"
#include "platform/win32.h"

namespace {

const char kDeviceKey[] = "SYSTEM\\CurrentControlSet\\Services\\k5300\\Device0";
const char kRootPrefix[] = "[HKEY_LOCAL_MACHINE\\";

const char kVersion5[] = "Windows Registry Editor Version 5.00";

struct Read {
    std::string name;
    LONG status;
    DWORD type;
    std::string bytes;
};

// What one play of an input did: the results of the calls, the values read
// and the files the changes wrote.
struct Outcome {
    std::vector<LONG> statuses;
    std::vector<Read> reads;
    std::vector<std::string> files;
};

bool IsAscii(const std::string &text) {
    for (char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    }
    return true;
}

// ASCII text as UTF-16LE with its byte-order mark.
std::string WidenAscii(const std::string &text) {
    std::string out = "\xFF\xFE";
    for (char c : text) {
        out += c;
        out += '\0';
    }
    return out;
}

// The input with UTF-16LE code units below 0x100 as bytes (the others as
// '?'), so that its key and value names can be picked out as from 8-bit text.
std::string NarrowView(const std::string &input) {
    if (input.compare(0, 2, "\xFF\xFE") != 0)
        return input;
    std::string out;
    for (size_t i = 2; i + 1 < input.size(); i += 2)
        out += input[i + 1] == 0 ? input[i] : '?';
    return out;
}

// The bytes of the file up to its first line feed.
std::string FirstLine(const std::string &bytes) {
    return bytes.substr(0, bytes.find('\n'));
}

// The sub-key of the first "[HKEY_LOCAL_MACHINE\...]" line of the input.
std::string FirstSubKey(const std::string &text) {
    size_t at = text.find(kRootPrefix);
    if (at == std::string::npos)
        return "";
    at += sizeof kRootPrefix - 1;
    size_t end = text.find_first_of("]\r\n", at);
    return text.substr(at, end == std::string::npos ? std::string::npos : end - at);
}

// The text between the first pair of double quotes that starts a line.
std::string FirstValueName(const std::string &text) {
    size_t at = text.find("\n\"");
    if (at == std::string::npos)
        return "Fuzz";
    at += 2;
    size_t end = text.find('"', at);
    std::string name = text.substr(at, end == std::string::npos ? 16 : end - at);
    return name.substr(0, strnlen(name.c_str(), name.size()));
}

Read Query(HKEY key, const std::string &name) {
    Read r{name, 0, 0, ""};
    DWORD size = 0;
    r.status = RegQueryValueExA(key, name.c_str(), nullptr, &r.type, nullptr, &size);
    if (r.status != ERROR_SUCCESS)
        return r;
    // One byte more than reported, to catch a write beyond it.
    std::vector<BYTE> buffer(size + 1, 0xA5);
    DWORD room = size;
    DWORD type = 0;
    LONG again = RegQueryValueExA(key, name.c_str(), nullptr, &type, buffer.data(), &room);
    if (again != ERROR_SUCCESS || room != size || type != r.type)
        Broken("a value read twice differs", name);
    if (buffer[size] != 0xA5)
        Broken("a query wrote beyond the size it reported", name);
    if (size > 0) {
        DWORD small = size - 1;
        if (RegQueryValueExA(key, name.c_str(), nullptr, nullptr, buffer.data(), &small) !=
                ERROR_MORE_DATA ||
            small != size)
            Broken("a short buffer was not refused with the size needed", name);
    }
    r.bytes.assign(reinterpret_cast<const char *>(buffer.data()), size);
    return r;
}

void ExpectSameReads(HKEY key, const std::vector<Read> &reads, const std::string &except) {
    for (const Read &before : reads) {
        if (strcasecmp(before.name.c_str(), except.c_str()) == 0)
            continue;
        Read after = Query(key, before.name);
        if (after.status != before.status || after.type != before.type ||
            after.bytes != before.bytes)
            Broken("a value changed that was not touched", before.name);
    }
}

void ExpectHive(const std::string &path, const std::string &bytes, const char *what) {
    bool ok = false;
    if (GetFile(path, &ok) != bytes || !ok)
        Broken(what);
}

// The hive after a change: read back, and with its first line kept when it
// is a version-5 file.
std::string CheckChangedHive(const std::string &hive, const std::string &input) {
    bool ok = false;
    std::string now = GetFile(hive, &ok);
    if (!ok)
        Broken("the changed hive cannot be read");
    bool version5 = input.compare(0, 2, "\xFF\xFE") == 0 ||
                    FirstLine(input).find(kVersion5) != std::string::npos;
    if (version5 && FirstLine(now) != FirstLine(input))
        Broken("a version-5 hive lost its first line");
    return now;
}

// Plays the input, the hive's bytes: opens subkey, reads values, sets the
// value `name` to the given type and data, and deletes it again.
Outcome Exercise(const std::string &hive, const std::string &input, const std::string &subkey,
                 const std::string &name, DWORD type, const std::string &data) {
    Outcome out;
    HKEY key = nullptr;
    LONG status =
        RegOpenKeyExA(HKEY_LOCAL_MACHINE, subkey.c_str(), 0, KEY_QUERY_VALUE | KEY_SET_VALUE, &key);
    out.statuses.push_back(status);
    if (status == ERROR_BADDB) {
        ExpectHive(hive, input, "an unparsable hive was changed");
        return out;
    }
    if (status != ERROR_SUCCESS) {
        if (status != ERROR_FILE_NOT_FOUND)
            Broken("opening a key gave", std::to_string(status));
        return out;
    }
    for (const std::string &n : {std::string("DefaultSettings.XResolution"),
                                 std::string("CrtTiming"), std::string(""), name})
        out.reads.push_back(Query(key, n));

    bool ok = false;
    std::string before = GetFile(hive, &ok);
    status = RegSetValueExA(key, name.c_str(), 0, type, reinterpret_cast<const BYTE *>(data.data()),
                            static_cast<DWORD>(data.size()));
    out.statuses.push_back(status);
    if (status != ERROR_SUCCESS) {
        if (status != ERROR_INVALID_PARAMETER || name.find_first_of("\r\n") == std::string::npos)
            Broken("setting a value gave", std::to_string(status));
        ExpectHive(hive, before, "a refused change altered the hive");
        RegCloseKey(key);
        return out;
    }
    out.files.push_back(CheckChangedHive(hive, input));
    Read set = Query(key, name);
    if (set.status != ERROR_SUCCESS || set.type != type || set.bytes != data)
        Broken("the value set does not read back", name);
    ExpectSameReads(key, out.reads, name);

    // A second change on the rewritten hive: deleting the value again.
    if (RegDeleteValueA(key, name.c_str()) != ERROR_SUCCESS)
        Broken("the value set cannot be deleted", name);
    out.files.push_back(CheckChangedHive(hive, input));
    if (Query(key, name).status != ERROR_FILE_NOT_FOUND)
        Broken("a deleted value is still there", name);
    ExpectSameReads(key, out.reads, name);
    if (RegCloseKey(key) != ERROR_SUCCESS)
        Broken("closing a key failed");
    return out;
}

// The same text in UTF-8 and in UTF-16LE gave the same results and files.
void ExpectSameOutcome(const Outcome &utf8, const Outcome &utf16) {
    if (utf8.statuses != utf16.statuses || utf8.reads.size() != utf16.reads.size() ||
        utf8.files.size() != utf16.files.size())
        Broken("UTF-8 and UTF-16LE hives of the same text behave differently");
    for (size_t i = 0; i < utf8.reads.size(); ++i) {
        const Read &a = utf8.reads[i];
        const Read &b = utf16.reads[i];
        if (a.status != b.status || a.type != b.type || a.bytes != b.bytes)
            Broken("UTF-8 and UTF-16LE hives of the same text read differently", a.name);
    }
    for (size_t i = 0; i < utf8.files.size(); ++i) {
        if (IsAscii(utf8.files[i]) && WidenAscii(utf8.files[i]) != utf16.files[i])
            Broken("UTF-8 and UTF-16LE hives of the same text were changed differently");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static const std::string hive = ScratchPath("hive.reg");
    static const std::string temporary =
        hive + ".tmp." + std::to_string(static_cast<long>(getpid()));
    static const bool set = setenv("ORVEX_REGISTRY", hive.c_str(), 1) == 0;
    if (!set)
        Broken("cannot set ORVEX_REGISTRY");
    std::string input(reinterpret_cast<const char *>(data), size);
    std::string view = NarrowView(input);
    std::string name = FirstValueName(view);
    std::string subkey = FirstSubKey(view);
    // The value set: its type from the last byte (0 to 8), its data the first
    // 64 bytes.
    DWORD type = input.empty() ? REG_BINARY : static_cast<unsigned char>(input.back()) % 9;
    std::string value = input.substr(0, 64);
    bool twin = IsAscii(input) && input.compare(0, sizeof kVersion5 - 1, kVersion5) == 0;
    for (const std::string &key : {std::string(kDeviceKey), subkey}) {
        if (key.empty() || key.find('\0') != std::string::npos)
            continue;
        PutFile(hive, input);
        Outcome outcome = Exercise(hive, input, key, name, type, value);
        if (twin) {
            std::string wide = WidenAscii(input);
            PutFile(hive, wide);
            ExpectSameOutcome(outcome, Exercise(hive, wide, key, name, type, value));
        }
    }
    if (access(temporary.c_str(), F_OK) == 0)
        Broken("a temporary file was left beside the hive");
    return 0;
}
