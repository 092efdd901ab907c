// e2e_regkey: sets and reads the installer's device key exactly, for the
// end-to-end table played under Wine. A console program; each argument is a
// command, run in order (so one Wine start does a whole step):
//
//   reset FILE   delete the device key (giving access back first if needed)
//                and create it anew with the values of FILE, one a line:
//                "TYPE HEX NAME" (TYPE in decimal, HEX the bytes, "-" for
//                none, NAME the rest of the line)
//   remove       delete the device key and leave it absent
//   deny         give the key a protected empty DACL: nobody may open it
//   allow        give the key a DACL that grants everyone full access
//   dump         print every value in the format of FILE, then "end"; a
//                missing key prints "missing" alone
//   trace-message-boxes
//                have Wine's relay trace (WINEDEBUG=+relay) show the calls of
//                MessageBoxA and MessageBoxW only, with their texts
//
// Exit status 0, or 1 with a message on standard error.
#include <windows.h>

#include <sddl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "common/ascii.h"

namespace {

const char kParentKey[] = "SYSTEM\\CurrentControlSet\\Services\\k5300";
const char kDeviceKey[] = "SYSTEM\\CurrentControlSet\\Services\\k5300\\Device0";

bool Fail(const char *what, LONG status) {
    fprintf(stderr, "e2e_regkey: %s: error %ld\n", what, static_cast<long>(status));
    return false;
}

bool SetSecurity(const char *sddl) {
    HKEY key = nullptr;
    LONG status = RegOpenKeyExA(HKEY_LOCAL_MACHINE, kDeviceKey, 0, WRITE_DAC, &key);
    if (status != ERROR_SUCCESS)
        return Fail("open the device key for its DACL", status);
    PSECURITY_DESCRIPTOR sd = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl, SDDL_REVISION_1, &sd,
                                                              nullptr)) {
        RegCloseKey(key);
        return Fail("convert the security descriptor", static_cast<LONG>(GetLastError()));
    }
    status = RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, sd);
    LocalFree(sd);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS)
        return Fail("set the DACL", status);
    return true;
}

bool Allow() {
    return SetSecurity("D:P(A;;KA;;;WD)");
}

bool Deny() {
    return SetSecurity("D:P");
}

bool Remove() {
    HKEY probe = nullptr;
    LONG status = RegOpenKeyExA(HKEY_LOCAL_MACHINE, kDeviceKey, 0, KEY_QUERY_VALUE, &probe);
    if (status == ERROR_FILE_NOT_FOUND)
        return true;
    if (status == ERROR_SUCCESS)
        RegCloseKey(probe);
    else if (!Allow()) // a key denied by an earlier run
        return false;
    HKEY parent = nullptr;
    status = RegOpenKeyExA(HKEY_LOCAL_MACHINE, kParentKey, 0, KEY_ALL_ACCESS, &parent);
    if (status != ERROR_SUCCESS)
        return Fail("open the parent key", status);
    status = RegDeleteKeyA(parent, "Device0");
    RegCloseKey(parent);
    if (status != ERROR_SUCCESS)
        return Fail("delete the device key", status);
    return true;
}

// One line of a values file: "TYPE HEX NAME".
bool SetLine(HKEY key, const std::string &line) {
    size_t first = line.find(' ');
    size_t second = first == std::string::npos ? first : line.find(' ', first + 1);
    if (second == std::string::npos) {
        fprintf(stderr, "e2e_regkey: bad line: %s\n", line.c_str());
        return false;
    }
    DWORD type = strtoul(line.substr(0, first).c_str(), nullptr, 10);
    std::string hex = line.substr(first + 1, second - first - 1);
    std::string name = line.substr(second + 1);
    std::vector<BYTE> bytes;
    if (hex != "-") {
        for (size_t i = 0; i + 1 < hex.size(); i += 2) {
            int high = AsciiHexDigitValue(hex[i]);
            int low = AsciiHexDigitValue(hex[i + 1]);
            if (high < 0 || low < 0)
                break;
            bytes.push_back(static_cast<BYTE>(high << 4 | low));
        }
        if (bytes.size() * 2 != hex.size()) {
            fprintf(stderr, "e2e_regkey: bad bytes: %s\n", line.c_str());
            return false;
        }
    }
    LONG status = RegSetValueExA(key, name.c_str(), 0, type, bytes.empty() ? nullptr : &bytes[0],
                                 static_cast<DWORD>(bytes.size()));
    if (status != ERROR_SUCCESS)
        return Fail(("set " + name).c_str(), status);
    return true;
}

bool Reset(const char *path) {
    if (!Remove())
        return false;
    FILE *file = fopen(path, "rb");
    if (file == nullptr) {
        fprintf(stderr, "e2e_regkey: cannot open %s\n", path);
        return false;
    }
    HKEY key = nullptr;
    LONG status = RegCreateKeyExA(HKEY_LOCAL_MACHINE, kDeviceKey, 0, nullptr, 0, KEY_ALL_ACCESS,
                                  nullptr, &key, nullptr);
    bool ok = status == ERROR_SUCCESS || Fail("create the device key", status);
    std::string line;
    for (int c; ok && (c = fgetc(file)) != EOF;) {
        if (c != '\n') {
            line += static_cast<char>(c);
            continue;
        }
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (!line.empty())
            ok = SetLine(key, line);
        line.clear();
    }
    if (ok && !line.empty())
        ok = SetLine(key, line);
    fclose(file);
    if (key != nullptr)
        RegCloseKey(key);
    return ok;
}

bool Dump() {
    HKEY key = nullptr;
    LONG status = RegOpenKeyExA(HKEY_LOCAL_MACHINE, kDeviceKey, 0, KEY_QUERY_VALUE, &key);
    if (status == ERROR_FILE_NOT_FOUND) {
        printf("missing\n");
        return true;
    }
    if (status != ERROR_SUCCESS)
        return Fail("open the device key to read it", status);
    bool ok = true;
    for (DWORD index = 0;; ++index) {
        char name[16384];
        DWORD name_size = sizeof name;
        BYTE data[65536];
        DWORD data_size = sizeof data;
        DWORD type = 0;
        status = RegEnumValueA(key, index, name, &name_size, nullptr, &type, data, &data_size);
        if (status == ERROR_NO_MORE_ITEMS)
            break;
        if (status != ERROR_SUCCESS) {
            ok = Fail("read a value", status);
            break;
        }
        printf("%lu ", static_cast<unsigned long>(type));
        if (data_size == 0)
            printf("-");
        for (DWORD i = 0; i < data_size; ++i)
            printf("%02x", data[i]);
        printf(" %s\n", name);
    }
    RegCloseKey(key);
    if (ok)
        printf("end\n");
    return ok;
}

bool TraceMessageBoxes() {
    static const char kFunctions[] = "user32.MessageBoxA;user32.MessageBoxW";
    HKEY key = nullptr;
    LONG status = RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Wine\\Debug", 0, nullptr, 0,
                                  KEY_SET_VALUE, nullptr, &key, nullptr);
    if (status != ERROR_SUCCESS)
        return Fail("create Wine's debug key", status);
    status = RegSetValueExA(key, "RelayInclude", 0, REG_SZ,
                            reinterpret_cast<const BYTE *>(kFunctions), sizeof kFunctions);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS)
        return Fail("set RelayInclude", status);
    return true;
}

} // namespace

int main(int argc, char **argv) {
    for (int i = 1; i < argc; ++i) {
        std::string command = argv[i];
        bool ok = false;
        if (command == "reset" && i + 1 < argc)
            ok = Reset(argv[++i]);
        else if (command == "remove")
            ok = Remove();
        else if (command == "deny")
            ok = Deny();
        else if (command == "allow")
            ok = Allow();
        else if (command == "dump")
            ok = Dump();
        else if (command == "trace-message-boxes")
            ok = TraceMessageBoxes();
        else
            fprintf(stderr, "e2e_regkey: unknown command %s\n", command.c_str());
        if (!ok)
            return 1;
    }
    return fflush(stdout) == 0 ? 0 : 1;
}
