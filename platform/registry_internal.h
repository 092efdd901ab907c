// The POSIX registry's inside: the model of a hive file and what its parts
// share. The services themselves, and what callers may rely on, are declared
// in platform/win32.h; nothing outside platform/ but the tests includes this.
//
// The parts, one layer each:
//   registry_text.cpp   the text encodings: Windows-1252 (the ANSI code
//                       page), UTF-8 and UTF-16LE
//   registry_parse.cpp  a hive file's bytes read into the model below, and
//                       the look-ups on it
//   registry_write.cpp  a change made: the hive's new bytes (a REGEDIT4 hive
//                       rewritten, a version-5 hive edited in place)
//   registry_file.cpp   the hive file: where it is, loaded, a change
//                       committed through a temporary file
//   registry.cpp        the open keys and the Reg...A services
//
// Texts given to and taken from the functions below as "ANSI" are bytes of
// the ANSI code page, as the ...A services take and give them. "Hive text" is
// a text as the model holds it: the bytes themselves in a REGEDIT4 hive, UTF-8
// in a version-5 hive (whatever the file's encoding).
//
// The standard containers report an allocation failure by throwing; the
// services catch it (registry.cpp), so no exception leaves the layer.
#ifndef ORVEX_PLATFORM_REGISTRY_INTERNAL_H
#define ORVEX_PLATFORM_REGISTRY_INTERNAL_H

#include <stddef.h>

#include <string>
#include <vector>

#include "platform/win32.h"

// The root of every key path the file holds for the local-machine hive.
inline constexpr char kLocalMachine[] = "HKEY_LOCAL_MACHINE";
// The header line of each format.
inline constexpr char kHeader4[] = "REGEDIT4";
inline constexpr char kHeader5[] = "Windows Registry Editor Version 5.00";
// The line end of a REGEDIT4 hive, and of a version-5 hive whose header line
// ends in CR LF (kCrLf + 1: a lone LF).
inline constexpr char kCrLf[] = "\r\n";

// A line of the hive file.
struct Tag_File_Line {
    size_t begin;     // where it starts in the file's bytes
    size_t end;       // just past its line end, or the end of the file
    bool ended;       // it has a line end
    bool crlf;        // that line end is CR LF
    bool cr_last;     // it has none, but ends in a CR (taken as half of one)
    std::string text; // without the line end, as hive text
};

struct Tag_Reg_Value {
    std::string name; // hive text; "" is the default value, written as @
    DWORD type;
    std::vector<BYTE> data; // as the registry holds them (version 5: UTF-16LE texts)
    bool removed;           // gone by a "name"=- line, remembered for where that is
    size_t first_line;      // the entry that set or removed the value last,
    size_t last_line;       // continuation lines included
};

struct Tag_Reg_Key {
    std::string path;                  // hive text, e.g. HKEY_LOCAL_MACHINE\SYSTEM
    std::vector<Tag_Reg_Value> values; // in file order
    size_t last_line;                  // the last line of its last section
};

struct Tag_Hive {
    bool version5;
    bool utf16;
    const char *eol;   // for new lines (version 5): the header line's line end
    std::string bytes; // the file as read
    std::vector<Tag_File_Line> lines;
    std::vector<Tag_Reg_Key> keys; // in file order
};

// ---------------------------------------------------------------------------
// Text encodings (registry_text.cpp)

// REG_SZ, REG_EXPAND_SZ and REG_MULTI_SZ: the types whose data a version-5
// hive holds as UTF-16LE and the services give and take in ANSI.
bool IsTextType(DWORD type);

// text is UTF-8 (shortest forms of Unicode scalar values only) without a NUL.
bool IsUtf8WithoutNul(const std::string &text);

// Appends the UTF-8 of count UTF-16LE code units to out. False at a lone
// surrogate or a NUL unit.
bool DecodeUtf16(const BYTE *units, size_t count, std::string &out);

// Appends the UTF-16LE code units of UTF-8 text, and a NUL unit, to units.
// False when text is not UTF-8.
bool EncodeUtf16String(const std::string &text, std::vector<BYTE> &units);

// A name or key path given in ANSI, as the hive's text spells it.
std::string ConvertNameToHive(const Tag_Hive &hive, const std::string &ansi);

// Value data given in ANSI as the hive holds them: in a version-5 hive a text
// type's bytes become UTF-16LE code units, one each; other data are the bytes.
std::vector<BYTE> ConvertDataToHive(const Tag_Hive &hive, DWORD type, const BYTE *data,
                                    size_t size);

// A value's data as the services give them: in a version-5 hive a text type's
// code units become ANSI bytes, '?' for a unit the code page lacks, an odd
// last byte dropped; other data are the bytes.
std::vector<BYTE> ConvertDataFromHive(const Tag_Hive &hive, const Tag_Reg_Value &value);

// Hive text in the file's encoding (UTF-16LE for a UTF-16 file).
std::string EncodeText(const Tag_Hive &hive, const std::string &text);

// ---------------------------------------------------------------------------
// Parsing and the model (registry_parse.cpp)

// Reads a hive file's bytes into hive (which keeps them). False when they
// are not a hive of either format.
bool ParseHive(std::string bytes, Tag_Hive &hive);

// The key of that path given in ANSI (the root's name first; ignoring the
// case of ASCII letters), or null.
Tag_Reg_Key *FindHiveKey(Tag_Hive &hive, const std::string &ansi_path);

// The value of that name (hive text, ignoring case), removed ones included,
// or null.
Tag_Reg_Value *FindValue(Tag_Reg_Key &key, const std::string &name);

// Records an entry: the value name (hive text) set to type and data (as the
// hive holds them), or with removed taken away, by lines first to last. A
// value keeps the spelling its name had first.
void StoreValue(Tag_Reg_Key &key, const std::string &name, DWORD type, std::vector<BYTE> data,
                bool removed, size_t first, size_t last);

// The value of that name given in ANSI: its type and its data as the services
// give them. False when the key holds no such value.
bool ReadHiveValue(const Tag_Hive &hive, const Tag_Reg_Key &key, const std::string &ansi_name,
                   DWORD &type, std::vector<BYTE> &data);

// ---------------------------------------------------------------------------
// Writing (registry_write.cpp). Each change gives the hive's new bytes; the
// model is then out of date and is parsed again before another change.

// The hive with the value of that name (ANSI) of key set to type and data
// (ANSI, as RegSetValueExA takes them).
std::string SetHiveValue(Tag_Hive &hive, Tag_Reg_Key &key, const std::string &ansi_name, DWORD type,
                         const BYTE *data, size_t size);

// The hive without the value of that name (ANSI) into bytes. False, and bytes
// left alone, when the key holds no such value.
bool DeleteHiveValue(Tag_Hive &hive, Tag_Reg_Key &key, const std::string &ansi_name,
                     std::string &bytes);

// ---------------------------------------------------------------------------
// The hive file (registry_file.cpp)

// Reads and parses the hive file. ERROR_FILE_NOT_FOUND when it is missing,
// ERROR_ACCESS_DENIED when it may not be read, ERROR_BADDB when it cannot be
// read otherwise or cannot be parsed.
LONG LoadHive(Tag_Hive &hive);

// A change may replace the hive: the file and its directory are writable.
bool MayReplaceHive();

// Replaces the hive by these bytes: written to a temporary file beside it,
// flushed to disk, renamed over it. On failure the hive is as it was and the
// temporary is gone: ERROR_ACCESS_DENIED for permissions and a read-only file
// system, ERROR_WRITE_FAULT otherwise.
LONG CommitHive(const std::string &bytes);

#endif
