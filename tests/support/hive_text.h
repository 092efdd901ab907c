// Registry files and values for the tests of the POSIX registry: the keys
// they use, value data as the services take them, and hive files written out
// line by line, in UTF-8 and UTF-16LE.
#ifndef ORVEX_TESTS_HIVE_TEXT_H
#define ORVEX_TESTS_HIVE_TEXT_H

#include <initializer_list>
#include <string>
#include <vector>

#include "platform/win32.h"

namespace hivetext {

const char kDevice[] = "SYSTEM\\CurrentControlSet\\Services\\k5300\\Device0";
const char kDeviceSection[] =
    "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\k5300\\Device0]";
const char kOther[] = "SOFTWARE\\Other";
const char kOtherSection[] = "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Other]";

using Bytes = std::vector<BYTE>;

// A text with its NUL, as a REG_SZ holds it.
inline Bytes MakeSz(const std::string &text) {
    Bytes b(text.begin(), text.end());
    b.push_back(0);
    return b;
}

// A registry number's four bytes, little-endian.
inline Bytes MakeDword(DWORD v) {
    return Bytes{static_cast<BYTE>(v), static_cast<BYTE>(v >> 8), static_cast<BYTE>(v >> 16),
                 static_cast<BYTE>(v >> 24)};
}

inline Bytes MakeRaw(const std::string &s) {
    return Bytes(s.begin(), s.end());
}

// Joins lines, each followed by eol.
inline std::string JoinLines(std::initializer_list<std::string> lines, const char *eol = "\r\n") {
    std::string out;
    for (const std::string &l : lines) {
        out += l;
        out += eol;
    }
    return out;
}

// One text in UTF-8 and in UTF-16, both encoded by the compiler.
struct Tag_Both_Texts {
    std::string utf8;
    std::u16string utf16;
};
// clang-format off
#define BOTH_ENCODINGS(s) PREFIX_BOTH(s)
#define PREFIX_BOTH(s) hivetext::Tag_Both_Texts{u8##s, u##s}
#define V5_DEVICE_SECTION "Windows Registry Editor Version 5.00\r\n\r\n" \
    "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\k5300\\Device0]\r\n"
// clang-format on

// The forms a version-5 file comes in.
struct Tag_File_Form {
    const char *what;
    bool utf16;
    const char *bom;
    bool lf_only;
};
const Tag_File_Form kForms[] = {{"UTF-16LE", true, "\xFF\xFE", false},
                                {"UTF-16LE, LF", true, "\xFF\xFE", true},
                                {"UTF-8", false, "", false},
                                {"UTF-8 with BOM, LF", false, "\xEF\xBB\xBF", true}};

// The file's bytes: the byte-order mark, then the code units as they are.
inline std::string MakeFile(const Tag_Both_Texts &text, const Tag_File_Form &form) {
    std::string out = form.bom;
    if (!form.utf16)
        out += text.utf8;
    for (char16_t c : form.utf16 ? text.utf16 : std::u16string()) {
        out += static_cast<char>(c & 0xFF);
        out += static_cast<char>(c >> 8);
    }
    if (form.lf_only) // CR is one byte in UTF-8, one unit of 0D 00 in UTF-16LE
        for (size_t at; (at = out.find(form.utf16 ? std::string("\r\0", 2) : "\r")) != out.npos;)
            out.erase(at, form.utf16 ? 2 : 1);
    return out;
}

} // namespace hivetext

#endif
