// The POSIX registry's REGEDIT4 reader and writer on arbitrary hive files.
// Each input becomes the hive; the device key and the first key the input
// names are opened, a few values are read, one value is set and deleted again.
//
// Properties: a hive that cannot be parsed (ERROR_BADDB) keeps its bytes; a
// change either fails and leaves the bytes as they were, or succeeds and the
// hive reads back with the new value and every other value read before still
// the same; nothing is written beyond the size a query reports; no temporary
// file is left behind.
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

struct Read {
    std::string name;
    LONG status;
    DWORD type;
    std::string bytes;
};

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

void Exercise(const std::string &hive, const std::string &input, const std::string &subkey) {
    HKEY key = nullptr;
    LONG status =
        RegOpenKeyExA(HKEY_LOCAL_MACHINE, subkey.c_str(), 0, KEY_QUERY_VALUE | KEY_SET_VALUE, &key);
    if (status == ERROR_BADDB) {
        ExpectHive(hive, input, "an unparsable hive was changed");
        return;
    }
    if (status != ERROR_SUCCESS) {
        if (status != ERROR_FILE_NOT_FOUND)
            Broken("opening a key gave", std::to_string(status));
        return;
    }
    std::string name = FirstValueName(input);
    std::vector<Read> reads;
    for (const std::string &n : {std::string("DefaultSettings.XResolution"),
                                 std::string("CrtTiming"), std::string(""), name})
        reads.push_back(Query(key, n));

    bool ok = false;
    std::string before = GetFile(hive, &ok);
    DWORD type = input.empty() ? REG_BINARY : static_cast<unsigned char>(input[0]) % 9;
    std::string data = input.substr(0, 64);
    status = RegSetValueExA(key, name.c_str(), 0, type, reinterpret_cast<const BYTE *>(data.data()),
                            static_cast<DWORD>(data.size()));
    if (status != ERROR_SUCCESS) {
        if (status != ERROR_INVALID_PARAMETER || name.find_first_of("\r\n") == std::string::npos)
            Broken("setting a value gave", std::to_string(status));
        ExpectHive(hive, before, "a refused change altered the hive");
        RegCloseKey(key);
        return;
    }
    Read set = Query(key, name);
    if (set.status != ERROR_SUCCESS || set.type != type || set.bytes != data)
        Broken("the value set does not read back", name);
    ExpectSameReads(key, reads, name);

    // A second change on the rewritten hive: deleting the value again.
    if (RegDeleteValueA(key, name.c_str()) != ERROR_SUCCESS)
        Broken("the value set cannot be deleted", name);
    if (Query(key, name).status != ERROR_FILE_NOT_FOUND)
        Broken("a deleted value is still there", name);
    ExpectSameReads(key, reads, name);
    if (RegCloseKey(key) != ERROR_SUCCESS)
        Broken("closing a key failed");
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
    PutFile(hive, input);
    Exercise(hive, input, kDeviceKey);
    std::string subkey = FirstSubKey(input);
    if (!subkey.empty() && subkey.find('\0') == std::string::npos) {
        PutFile(hive, input);
        Exercise(hive, input, subkey);
    }
    if (access(temporary.c_str(), F_OK) == 0)
        Broken("a temporary file was left beside the hive");
    return 0;
}
