// The registry for POSIX builds: the local-machine hive is a registry file of
// the kind Windows' registry editor imports and exports, in either of its two
// formats. The first line tells which:
//
//   REGEDIT4
//       8-bit text in the ANSI code page (a UTF-8 byte-order mark before the
//       header is skipped). A text in the file is the registry's ANSI bytes
//       themselves. No removals ("[-KEY]", "name"=-).
//
//   Windows Registry Editor Version 5.00
//       As `reg export` and `regedit /E` write it: UTF-16LE with a byte-order
//       mark, or UTF-8 with or without one. Texts are Unicode: in the registry
//       a quoted string is a REG_SZ of UTF-16LE code units ending in a NUL
//       unit, and hex(2), hex(7) or hex(1) data are UTF-16LE already. Quoted
//       strings (value names too) also know the escapes \n and \r, which Wine's
//       regedit writes for line breaks. "[-KEY]" removes the key and every key
//       below it, "name"=- (or @=-) removes a value, as an import applies them
//       in file order.
//
// Both formats: CR LF or LF line ends; blank lines and lines starting with ';'
// are skipped; a section "[PATH]" opens the key PATH (a key exists when it has
// a section); a value line is "name"=, or @= for the default value, followed
// by a quoted string, dword:1-8 hex digits, hex:bytes (REG_BINARY) or
// hex(TYPE):bytes with TYPE 1-8 hex digits (hex(2) REG_EXPAND_SZ, hex(7)
// REG_MULTI_SZ, hex(b) REG_QWORD, any number). A byte list is comma-separated
// one- or two-digit hex numbers; a line ending in a backslash continues on the
// next. Key paths and value names compare ignoring the case of ASCII letters.
//
// The services are the ANSI ("...A") ones. A version-5 hive's texts are
// converted as Windows' A functions convert them, with the ANSI code page
// Windows-1252 (that of a US or Western European Windows; Wine under the tests
// reports it too):
// a REG_SZ, REG_EXPAND_SZ or REG_MULTI_SZ value reads as its code units, each
// turned into its Windows-1252 byte, and a value of these types that is set
// is stored as the UTF-16LE code units of its bytes. A code unit Windows-1252
// has no byte for (a character outside the code page, either half of a
// surrogate pair) reads as '?', and an odd last byte is dropped. Every byte
// maps to a code unit (the five bytes Windows-1252 leaves undefined, 0x81,
// 0x8D, 0x8F, 0x90 and 0x9D, to the control characters of the same number),
// so bytes that are set always read back the same. No NUL is added or taken
// away, and a size query reports the exact converted size. Names and key
// paths are converted the same way.
//
// Every call reads the whole file again, so the file on disk is always the
// truth and changes made by other processes are seen. Every change rewrites
// the whole hive into a temporary file beside it (hive + ".tmp.<pid>"),
// flushes it to disk and renames it over the hive, so a reader sees either
// the old hive or the new one, never a torn file. There is no lock between
// processes: when two of them change the hive at once, the last rename wins.
// The module is not thread-safe; the installer is single-threaded.
//
// A REGEDIT4 hive is written canonically (comments and spacing of a
// hand-edited file are not kept, nor a byte-order mark) with CR LF line ends:
//
//   REGEDIT4
//
//   [HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Services\k5300\Device0]
//   @="default"
//   "Text"="a \"quoted\" c:\\path"
//   "Count"=dword:0000001e
//   "Blob"=hex:25,00,00,00
//   "List"=hex(7):61,00,00,00
//
// Each section is followed by a blank line. A version-5 hive is changed in
// place, so that it can go back to Windows with `reg import`: every line the
// change does not concern keeps its bytes (byte-order mark, header, comments,
// other values and keys). Setting a value replaces the entry that set or
// removed it last (where an import would take it from), or else goes after the
// last line of the key's last section; removing a value replaces its entry by
// "name"=-, so that an import removes it from the registry it goes into. The
// new lines are in the file's encoding, with the line end of its header line.
// In both formats a value is written as a quoted string when it is a REG_SZ
// whose text gives back exactly its bytes (NUL-terminated, no other NUL, no
// line break; in version 5 valid UTF-16), as dword: when it is a REG_DWORD of
// 4 bytes, and as a hex list otherwise. Long hex lists are broken after a
// comma with a trailing backslash so that no line is longer than 80
// characters; continuation lines are indented by two blanks.
//
// Errors: a file that is missing gives ERROR_FILE_NOT_FOUND, one that cannot
// be read for lack of permission ERROR_ACCESS_DENIED, one that cannot be read
// otherwise or cannot be parsed ERROR_BADDB (and is then never overwritten):
// another header, UTF-16 of an odd length, with a lone surrogate or without
// the version-5 header, a version-5 file in 8 bits that is not UTF-8, a NUL
// character in a version-5 file, a continuation at the end of the file, and
// any line that is not one of the above. A failed write gives
// ERROR_ACCESS_DENIED for permission problems and a read-only file system,
// ERROR_WRITE_FAULT for anything else; the old hive is left as it was and the
// temporary file is removed.

#include "platform/win32.h"

#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>
#include <new>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

// An open key: the full key path in ANSI (the root's name, then the sub-keys
// as they were asked for), and the access granted when it was opened. Open
// keys are kept on a list so that a stale or foreign handle is recognised, not
// dereferenced.
struct HKEY__ {
    HKEY__ *next;
    std::string path;
    REGSAM access;
};

namespace {

// A line of the hive file.
struct Tag_File_Line {
    size_t begin;     // where it starts in the file's bytes
    size_t end;       // just past its line end, or the end of the file
    bool ended;       // it has a line end
    bool crlf;        // that line end is CR LF
    bool cr_last;     // it has none, but ends in a CR (taken as half of one)
    std::string text; // without the line end: the bytes (REGEDIT4) or UTF-8
};

struct Tag_Reg_Value {
    std::string name; // "" is the default value, written as @
    DWORD type;
    std::vector<BYTE> data; // as the registry holds them (version 5: UTF-16LE texts)
    bool removed;           // gone by a "name"=- line, remembered for where that is
    size_t first_line;      // the entry that set or removed the value last,
    size_t last_line;       // continuation lines included
};

struct Tag_Reg_Key {
    std::string path;                  // e.g. HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet
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

const char kLocalMachine[] = "HKEY_LOCAL_MACHINE";
const char kHeader4[] = "REGEDIT4";
const char kHeader5[] = "Windows Registry Editor Version 5.00";
const char kCrLf[] = "\r\n";
const char kUtf8Bom[] = "\xEF\xBB\xBF";
const size_t kMaxLine = 80;
const DWORD kMaxData = 0xFFFFFFFFu; // a size a DWORD can report
const char kUnmappable = '?';

// The characters of the Windows-1252 bytes 0x80 to 0x9F; every other byte is
// the character of its own number. The five bytes the code page leaves
// undefined stand for the control characters of their number.
const uint16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

HKEY__ *open_keys = nullptr;

// ---------------------------------------------------------------------------
// Small helpers

char LowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualNoCase(const std::string &a, const std::string &b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (LowerAscii(a[i]) != LowerAscii(b[i]))
            return false;
    }
    return true;
}

// path is key or lies below it.
bool IsInKeyTree(const std::string &path, const std::string &key) {
    if (path.size() > key.size() && path[key.size()] != '\\')
        return false;
    return path.size() >= key.size() && EqualNoCase(path.substr(0, key.size()), key);
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

int HexDigitValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

std::string Trim(const std::string &s) {
    size_t b = 0;
    size_t e = s.size();
    while (b < e && IsBlank(s[b]))
        ++b;
    while (e > b && IsBlank(s[e - 1]))
        --e;
    return s.substr(b, e - b);
}

// Parses 1 to 8 hex digits, the whole of text.
bool ParseHexNumber(const std::string &text, DWORD &out) {
    if (text.empty() || text.size() > 8)
        return false;
    DWORD v = 0;
    for (char c : text) {
        int d = HexDigitValue(c);
        if (d < 0)
            return false;
        v = (v << 4) | static_cast<DWORD>(d);
    }
    out = v;
    return true;
}

bool IsPredefinedRoot(HKEY h) {
    uintptr_t v = reinterpret_cast<uintptr_t>(h);
    return v >= 0x80000000u && v <= 0x80000006u;
}

HKEY__ *FindOpenKey(HKEY h) {
    for (HKEY__ *k = open_keys; k; k = k->next) {
        if (k == h)
            return k;
    }
    return nullptr;
}

const char *GetHivePath() {
    const char *p = getenv("ORVEX_REGISTRY");
    return (p && *p) ? p : "registry.reg";
}

// The file the hive really is: a symbolic link is followed, so that the
// rename replaces the file it names rather than the link.
std::string ResolveHivePath() {
    const char *p = GetHivePath();
    std::unique_ptr<char, void (*)(void *)> real(realpath(p, nullptr), free);
    return real ? std::string(real.get()) : std::string(p);
}

std::string GetDirectory(const std::string &path) {
    size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

// Closes a file read from when the scope ends.
struct Tag_File_Closer {
    FILE *f;
    ~Tag_File_Closer() {
        if (f)
            fclose(f);
    }
};

// Takes the result of a call whose failure is acceptable, so that dropping it
// is visible.
void Tolerate(int /*result*/) {}

// ---------------------------------------------------------------------------
// Characters: UTF-8, UTF-16LE and the ANSI code page

bool IsTextType(DWORD type) {
    return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

uint32_t ConvertAnsiChar(BYTE b) {
    return (b >= 0x80 && b < 0xA0) ? kCp1252High[b - 0x80] : b;
}

char ConvertToAnsiChar(uint32_t unit) {
    if (unit < 0x80 || (unit >= 0xA0 && unit <= 0xFF))
        return static_cast<char>(unit);
    for (size_t i = 0; i < 32; ++i) {
        if (kCp1252High[i] == unit)
            return static_cast<char>(0x80 + i);
    }
    return kUnmappable;
}

void AppendUtf8(std::string &out, uint32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | c >> 6);
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | c >> 12);
        out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | c >> 18);
        out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
        out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// Reads the character at text[pos] (pos < text.size()) as UTF-8 and moves pos
// past it. False for anything but the shortest form of a Unicode scalar value.
bool ReadUtf8(const std::string &text, size_t &pos, uint32_t &c) {
    BYTE lead = static_cast<BYTE>(text[pos]);
    size_t more = lead < 0x80 ? 0 : lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : 4;
    if (more == 4 || lead > 0xF4 || text.size() - pos <= more)
        return false;
    c = more == 0 ? lead : lead & (0x3F >> more);
    for (size_t i = 1; i <= more; ++i) {
        BYTE b = static_cast<BYTE>(text[pos + i]);
        if ((b & 0xC0) != 0x80)
            return false;
        c = c << 6 | (b & 0x3F);
    }
    static const uint32_t kLeast[4] = {0, 0x80, 0x800, 0x10000};
    if (c < kLeast[more] || c > 0x10FFFF || (c >= 0xD800 && c < 0xE000))
        return false;
    pos += more + 1;
    return true;
}

template <typename Out> void AppendUnit(Out &out, uint32_t unit) {
    out.push_back(static_cast<typename Out::value_type>(unit & 0xFF));
    out.push_back(static_cast<typename Out::value_type>(unit >> 8));
}

template <typename Out> void AppendUtf16(Out &out, uint32_t c) {
    if (c < 0x10000) {
        AppendUnit(out, c);
    } else {
        AppendUnit(out, 0xD800 + ((c - 0x10000) >> 10));
        AppendUnit(out, 0xDC00 + ((c - 0x10000) & 0x3FF));
    }
}

uint32_t GetUnit(const BYTE *p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8;
}

// Decodes `count` UTF-16LE code units to UTF-8. False at a lone surrogate or
// a NUL.
bool DecodeUtf16(const BYTE *units, size_t count, std::string &out) {
    for (size_t i = 0; i < count; ++i) {
        uint32_t c = GetUnit(units + 2 * i);
        if (c >= 0xD800 && c < 0xE000) {
            if (c >= 0xDC00 || i + 1 >= count)
                return false;
            uint32_t low = GetUnit(units + 2 * ++i);
            if (low < 0xDC00 || low >= 0xE000)
                return false;
            c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
        } else if (c == 0) {
            return false;
        }
        AppendUtf8(out, c);
    }
    return true;
}

// The UTF-16LE code units of text in ANSI.
std::vector<BYTE> ConvertFromAnsi(const BYTE *data, size_t size) {
    std::vector<BYTE> out;
    out.reserve(2 * size);
    for (size_t i = 0; i < size; ++i)
        AppendUnit(out, ConvertAnsiChar(data[i]));
    return out;
}

// The ANSI bytes of UTF-16LE code units.
std::vector<BYTE> ConvertToAnsi(const std::vector<BYTE> &units) {
    std::vector<BYTE> out;
    out.reserve(units.size() / 2);
    for (size_t i = 0; i + 1 < units.size(); i += 2)
        out.push_back(static_cast<BYTE>(ConvertToAnsiChar(GetUnit(&units[i]))));
    return out;
}

// A name or key path given to the services, as the hive's text spells it.
std::string ConvertNameToHive(const Tag_Hive &hive, const std::string &ansi) {
    if (!hive.version5)
        return ansi;
    std::string out;
    for (char c : ansi)
        AppendUtf8(out, ConvertAnsiChar(static_cast<BYTE>(c)));
    return out;
}

// Hive text (UTF-8 in version 5) in the file's encoding.
std::string EncodeText(const Tag_Hive &hive, const std::string &text) {
    if (!hive.utf16)
        return text;
    std::string out;
    for (size_t pos = 0; pos < text.size();) {
        uint32_t c = 0;
        if (!ReadUtf8(text, pos, c)) {
            c = 0xFFFD; // not reached: the layer's texts are valid UTF-8
            ++pos;
        }
        AppendUtf16(out, c);
    }
    return out;
}

// ---------------------------------------------------------------------------
// Parsing

// Cuts the file into lines and decodes them: UTF-16LE after its byte-order
// mark, else 8-bit text (a UTF-8 byte-order mark left out).
bool SplitLines(Tag_Hive &hive) {
    const std::string &bytes = hive.bytes;
    hive.utf16 = bytes.compare(0, 2, "\xFF\xFE") == 0;
    if (hive.utf16 && bytes.size() % 2 != 0)
        return false;
    size_t step = hive.utf16 ? 2 : 1;
    size_t start = 0;
    size_t text_start = hive.utf16 ? 2 : bytes.compare(0, 3, kUtf8Bom) == 0 ? 3 : 0;
    while (text_start < bytes.size()) {
        size_t lf = text_start;
        while (lf < bytes.size() && !(bytes[lf] == '\n' && (!hive.utf16 || bytes[lf + 1] == 0)))
            lf += step;
        Tag_File_Line line{
            start, lf < bytes.size() ? lf + step : lf, lf < bytes.size(), false, false, ""};
        size_t stop = lf;
        if (stop - text_start >= step && bytes[stop - step] == '\r' &&
            (!hive.utf16 || bytes[stop - 1] == 0)) {
            stop -= step;
            line.crlf = line.ended;
            line.cr_last = !line.ended;
        }
        if (!hive.utf16) {
            line.text = bytes.substr(text_start, stop - text_start);
        } else if (!DecodeUtf16(reinterpret_cast<const BYTE *>(bytes.data()) + text_start,
                                (stop - text_start) / 2, line.text)) {
            return false;
        }
        hive.lines.push_back(std::move(line));
        start = text_start = hive.lines.back().end;
    }
    return true;
}

// Parses a quoted string starting at text[pos] == '"'. The escapes are \\ and
// \", and in version 5 also \n and \r. On success pos is just past the
// closing quote.
bool ParseQuoted(const std::string &text, bool version5, size_t &pos, std::string &out) {
    if (pos >= text.size() || text[pos] != '"')
        return false;
    out.clear();
    for (size_t i = pos + 1; i < text.size(); ++i) {
        char c = text[i];
        if (c == '"') {
            pos = i + 1;
            return true;
        }
        if (c == '\\') {
            if (i + 1 >= text.size())
                return false;
            char n = text[++i];
            if (version5 && (n == 'n' || n == 'r'))
                n = n == 'n' ? '\n' : '\r';
            else if (n != '\\' && n != '"')
                return false;
            out += n;
        } else {
            out += c;
        }
    }
    return false; // no closing quote
}

// Parses a comma-separated list of bytes, each one or two hex digits, blanks
// allowed around the commas. An empty list is zero bytes.
bool ParseHexList(const std::string &text, std::vector<BYTE> &out) {
    out.clear();
    std::string all = Trim(text);
    if (all.empty())
        return true;
    size_t pos = 0;
    for (;;) {
        size_t comma = all.find(',', pos);
        std::string item =
            Trim(all.substr(pos, comma == std::string::npos ? std::string::npos : comma - pos));
        if (item.empty() || item.size() > 2)
            return false;
        int hi = HexDigitValue(item[0]);
        int lo = item.size() == 2 ? HexDigitValue(item[1]) : 0;
        if (hi < 0 || lo < 0)
            return false;
        out.push_back(static_cast<BYTE>(item.size() == 2 ? (hi << 4) | lo : hi));
        if (comma == std::string::npos)
            return out.size() <= kMaxData;
        pos = comma + 1;
    }
}

// The value of that name, removed ones included.
Tag_Reg_Value *FindValue(Tag_Reg_Key &key, const std::string &name) {
    for (Tag_Reg_Value &v : key.values) {
        if (EqualNoCase(v.name, name))
            return &v;
    }
    return nullptr;
}

const Tag_Reg_Value *FindLiveValue(const Tag_Reg_Key &key, const std::string &name) {
    for (const Tag_Reg_Value &v : key.values) {
        if (!v.removed && EqualNoCase(v.name, name))
            return &v;
    }
    return nullptr;
}

// Records an entry of the file: a value set (or, with removed, taken away) by
// lines first to last. A value keeps the spelling of its name it had first.
void StoreValue(Tag_Reg_Key &key, const std::string &name, DWORD type, std::vector<BYTE> data,
                bool removed, size_t first, size_t last) {
    Tag_Reg_Value *v = FindValue(key, name);
    if (!v) {
        key.values.push_back(Tag_Reg_Value{name, type, {}, removed, first, last});
        v = &key.values.back();
    }
    v->type = type;
    v->data = std::move(data);
    v->removed = removed;
    v->first_line = first;
    v->last_line = last;
}

Tag_Reg_Key *FindKey(Tag_Hive &hive, const std::string &path) {
    for (Tag_Reg_Key &k : hive.keys) {
        if (EqualNoCase(k.path, path))
            return &k;
    }
    return nullptr;
}

// Parses one value entry: its line (already trimmed), which is lines[first],
// and the continuation lines of a hex list ending in a backslash, which are
// consumed from lines[next...].
bool ParseValueLine(Tag_Hive &hive, const std::string &line, size_t first, size_t &next,
                    Tag_Reg_Key &key) {
    std::string name;
    size_t pos = 0;
    if (line[0] == '@') {
        pos = 1;
    } else if (!ParseQuoted(line, hive.version5, pos, name)) {
        return false;
    }
    while (pos < line.size() && IsBlank(line[pos]))
        ++pos;
    if (pos >= line.size() || line[pos] != '=')
        return false;
    ++pos;
    while (pos < line.size() && IsBlank(line[pos]))
        ++pos;
    std::string rest = line.substr(pos);

    DWORD type = REG_SZ;
    std::vector<BYTE> data;
    if (hive.version5 && rest == "-") {
        StoreValue(key, name, REG_NONE, data, true, first, first);
        return true;
    }
    if (!rest.empty() && rest[0] == '"') {
        std::string text;
        size_t end = 0;
        if (!ParseQuoted(rest, hive.version5, end, text) || !Trim(rest.substr(end)).empty())
            return false;
        if (!hive.version5) {
            data.assign(text.begin(), text.end());
            data.push_back(0);
        } else {
            for (size_t at = 0; at < text.size();) {
                uint32_t c = 0;
                if (!ReadUtf8(text, at, c))
                    return false; // not reached: the lines were checked as UTF-8
                AppendUtf16(data, c);
            }
            AppendUnit(data, 0);
        }
    } else if (rest.compare(0, 6, "dword:") == 0) {
        DWORD v = 0;
        if (!ParseHexNumber(Trim(rest.substr(6)), v))
            return false;
        for (int i = 0; i < 4; ++i)
            data.push_back(static_cast<BYTE>(v >> (8 * i)));
        type = REG_DWORD;
    } else if (rest.compare(0, 3, "hex") == 0) {
        size_t p = 3;
        type = REG_BINARY;
        if (p < rest.size() && rest[p] == '(') {
            size_t close = rest.find(')', p);
            if (close == std::string::npos ||
                !ParseHexNumber(rest.substr(p + 1, close - p - 1), type))
                return false;
            p = close + 1;
        }
        if (p >= rest.size() || rest[p] != ':')
            return false;
        std::string list = Trim(rest.substr(p + 1));
        while (!list.empty() && list.back() == '\\') {
            list.pop_back();
            if (next >= hive.lines.size())
                return false; // continuation at the end of the file
            list += Trim(hive.lines[next++].text);
        }
        if (!ParseHexList(list, data))
            return false;
    } else {
        return false;
    }
    StoreValue(key, name, type, std::move(data), false, first, next - 1);
    return true;
}

bool ParseHive(std::string bytes, Tag_Hive &hive) {
    hive.keys.clear();
    hive.lines.clear();
    hive.bytes = std::move(bytes);
    if (!SplitLines(hive) || hive.lines.empty())
        return false;
    std::string header = Trim(hive.lines[0].text);
    hive.version5 = header == kHeader5;
    if (!hive.version5 && (hive.utf16 || header != kHeader4))
        return false;
    hive.eol = !hive.lines[0].ended || hive.lines[0].crlf ? kCrLf : kCrLf + 1;
    if (hive.version5 && !hive.utf16) {
        // UTF-8 text without NUL characters.
        for (const Tag_File_Line &l : hive.lines) {
            uint32_t c = 0;
            for (size_t pos = 0; pos < l.text.size();) {
                if (!ReadUtf8(l.text, pos, c) || c == 0)
                    return false;
            }
        }
    }

    Tag_Reg_Key *current = nullptr;
    size_t next = 1;
    while (next < hive.lines.size()) {
        size_t first = next;
        std::string line = Trim(hive.lines[next++].text);
        if (line.empty() || line[0] == ';')
            continue;
        if (line[0] == '[') {
            if (line.size() < 3 || line.back() != ']')
                return false;
            if (line[1] == '-') {
                // Removal of a key and the keys below it (version 5 only).
                if (!hive.version5 || line.size() < 4)
                    return false;
                std::string gone = line.substr(2, line.size() - 3);
                for (size_t i = hive.keys.size(); i-- > 0;) {
                    if (IsInKeyTree(hive.keys[i].path, gone))
                        hive.keys.erase(hive.keys.begin() + static_cast<std::ptrdiff_t>(i));
                }
                current = nullptr;
                continue;
            }
            std::string path = line.substr(1, line.size() - 2);
            current = FindKey(hive, path);
            if (!current) {
                hive.keys.push_back(Tag_Reg_Key{path, {}, first});
                current = &hive.keys.back();
            }
            current->last_line = first;
            continue;
        }
        if (!current || (line[0] != '"' && line[0] != '@'))
            return false;
        if (!ParseValueLine(hive, line, first, next, *current))
            return false;
        current->last_line = next - 1;
    }
    return true;
}

// Reads and parses the hive file.
LONG LoadHive(Tag_Hive &hive) {
    Tag_File_Closer file{fopen(GetHivePath(), "rb")};
    if (!file.f) {
        if (errno == ENOENT || errno == ENOTDIR)
            return ERROR_FILE_NOT_FOUND;
        if (errno == EACCES || errno == EPERM)
            return ERROR_ACCESS_DENIED;
        return ERROR_BADDB;
    }
    std::string text;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, file.f)) > 0)
        text.append(buf, n);
    if (ferror(file.f))
        return ERROR_BADDB;
    return ParseHive(std::move(text), hive) ? ERROR_SUCCESS : ERROR_BADDB;
}

// ---------------------------------------------------------------------------
// Writing

void AppendQuoted(std::string &out, const std::string &s) {
    out += '"';
    for (char c : s) {
        if (c == '\\' || c == '"')
            out += '\\';
        out += c;
    }
    out += '"';
}

// The text of a REG_SZ when a quoted string gives back exactly its bytes: a
// text, NUL-terminated, with no other NUL and no line break (in version 5:
// UTF-16LE code units, without a lone surrogate).
bool GetPlainText(const Tag_Hive &hive, const std::vector<BYTE> &data, std::string &text) {
    size_t unit = hive.version5 ? 2 : 1;
    if (data.size() < unit || data.size() % unit != 0 || data[data.size() - 1] != 0 ||
        data[data.size() - unit] != 0)
        return false;
    if (!hive.version5)
        text.assign(data.begin(), data.end() - 1);
    else if (!DecodeUtf16(data.data(), data.size() / 2 - 1, text))
        return false;
    return text.find('\0') == std::string::npos && text.find_first_of("\r\n") == std::string::npos;
}

void AppendHexList(std::string &out, std::string line, const std::vector<BYTE> &data,
                   const char *eol) {
    static const char digits[] = "0123456789abcdef";
    for (size_t i = 0; i < data.size(); ++i) {
        std::string item;
        item += digits[data[i] >> 4];
        item += digits[data[i] & 15];
        if (i + 1 < data.size())
            item += ',';
        // Keep room for the trailing backslash.
        if (line.size() + item.size() > kMaxLine - 1 && line != "  ") {
            out += line;
            out += '\\';
            out += eol;
            line = "  ";
        }
        line += item;
    }
    out += line;
    out += eol;
}

void AppendName(std::string &out, const std::string &name) {
    if (name.empty())
        out += '@';
    else
        AppendQuoted(out, name);
    out += '=';
}

// The entry of a value in the hive's text, each line ended by eol.
void AppendValue(std::string &out, const Tag_Hive &hive, const Tag_Reg_Value &v, const char *eol) {
    std::string line;
    AppendName(line, v.name);
    std::string text;
    if (v.type == REG_SZ && GetPlainText(hive, v.data, text)) {
        AppendQuoted(line, text);
        out += line;
        out += eol;
    } else if (v.type == REG_DWORD && v.data.size() == 4) {
        DWORD d = static_cast<DWORD>(v.data[0]) | static_cast<DWORD>(v.data[1]) << 8 |
                  static_cast<DWORD>(v.data[2]) << 16 | static_cast<DWORD>(v.data[3]) << 24;
        char num[16];
        snprintf(num, sizeof num, "dword:%08x", static_cast<unsigned>(d));
        out += line;
        out += num;
        out += eol;
    } else {
        if (v.type == REG_BINARY) {
            line += "hex:";
        } else {
            char tag[24];
            snprintf(tag, sizeof tag, "hex(%x):", static_cast<unsigned>(v.type));
            line += tag;
        }
        AppendHexList(out, line, v.data, eol);
    }
}

// A REGEDIT4 hive, written canonically.
std::string SerialiseHive(const Tag_Hive &hive) {
    std::string out = kHeader4;
    out += kCrLf;
    out += kCrLf;
    for (const Tag_Reg_Key &k : hive.keys) {
        out += '[';
        out += k.path;
        out += ']';
        out += kCrLf;
        for (const Tag_Reg_Value &v : k.values)
            AppendValue(out, hive, v, kCrLf);
        out += kCrLf;
    }
    return out;
}

// A version-5 hive's bytes with one entry (hive text, lines ended) in place of
// the old one, or after the last line of the key's last section when there
// is no old one.
std::string EditHive(const Tag_Hive &hive, const Tag_Reg_Key &key, const Tag_Reg_Value *old,
                     std::string entry) {
    size_t begin = hive.lines[key.last_line].end;
    size_t end = begin;
    if (old) {
        begin = hive.lines[old->first_line].begin;
        end = hive.lines[old->last_line].end;
    } else if (!hive.lines[key.last_line].ended) {
        entry.insert(0, hive.lines[key.last_line].cr_last ? "\n" : hive.eol);
    }
    std::string out = hive.bytes.substr(0, begin);
    out += EncodeText(hive, entry);
    out.append(hive.bytes, end, std::string::npos);
    return out;
}

LONG MapWriteError(int err) {
    if (err == EACCES || err == EPERM || err == EROFS)
        return ERROR_ACCESS_DENIED;
    return ERROR_WRITE_FAULT;
}

// Writes the hive's new bytes to a temporary file beside it and renames that
// over the hive. On failure the temporary is removed and the hive is
// untouched.
LONG WriteHiveFile(const std::string &text) {
    std::string target = ResolveHivePath();
    std::string tmp = target + ".tmp." + std::to_string(static_cast<long>(getpid()));
    // Everything that allocates is done before the temporary exists, so an
    // allocation failure cannot leave it behind or follow a finished rename.
    std::string directory = GetDirectory(target);

    struct stat st;
    bool have_old = stat(target.c_str(), &st) == 0;

    int fd = open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return MapWriteError(errno);
    if (have_old) {
        // Keep the hive's mode and, where allowed, its owner. Both are best
        // effort: the umask-limited mode is acceptable, and an unprivileged
        // writer keeps its own ownership.
        Tolerate(fchmod(fd, st.st_mode & 07777));
        if (st.st_uid != geteuid() || st.st_gid != getegid())
            Tolerate(fchown(fd, st.st_uid, st.st_gid));
    }
    FILE *f = fdopen(fd, "wb");
    if (!f) {
        int err = errno;
        close(fd);
        unlink(tmp.c_str());
        return MapWriteError(err);
    }
    int err = 0;
    errno = 0;
    if (fwrite(text.data(), 1, text.size(), f) != text.size() || fflush(f) != 0 ||
        fsync(fileno(f)) != 0)
        err = errno ? errno : EIO;
    if (fclose(f) != 0 && err == 0)
        err = errno ? errno : EIO;
    if (err == 0 && rename(tmp.c_str(), target.c_str()) != 0)
        err = errno;
    if (err != 0) {
        unlink(tmp.c_str());
        return MapWriteError(err);
    }

    // Make the rename itself durable. A directory that cannot be opened or
    // synced does not undo a write that has already replaced the hive.
    int dfd = open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd >= 0) {
        Tolerate(fsync(dfd));
        close(dfd);
    }
    return ERROR_SUCCESS;
}

// Loads the hive and finds the key an open handle refers to.
LONG LoadKeyOf(const HKEY__ *k, Tag_Hive &hive, Tag_Reg_Key *&key) {
    LONG rc = LoadHive(hive);
    if (rc == ERROR_FILE_NOT_FOUND)
        return ERROR_KEY_DELETED; // the hive was there when the key was opened
    if (rc != ERROR_SUCCESS)
        return rc;
    key = FindKey(hive, ConvertNameToHive(hive, k->path));
    return key ? ERROR_SUCCESS : ERROR_KEY_DELETED;
}

std::string MakeValueName(LPCSTR name) {
    return name ? std::string(name) : std::string();
}

// ---------------------------------------------------------------------------
// The services

LONG OpenKey(HKEY root, LPCSTR sub_key, REGSAM sam, PHKEY result) {
    if (!result)
        return ERROR_INVALID_PARAMETER;
    *result = nullptr;

    std::string path;
    if (root == HKEY_LOCAL_MACHINE) {
        path = kLocalMachine;
    } else if (HKEY__ *parent = FindOpenKey(root)) {
        path = parent->path;
    } else if (IsPredefinedRoot(root)) {
        return ERROR_FILE_NOT_FOUND; // only the local-machine hive is kept
    } else {
        return ERROR_INVALID_HANDLE;
    }
    if (sub_key && *sub_key) {
        path += '\\';
        path += sub_key;
    }

    Tag_Hive hive;
    LONG rc = LoadHive(hive);
    if (rc != ERROR_SUCCESS)
        return rc;
    if (!FindKey(hive, ConvertNameToHive(hive, path)))
        return ERROR_FILE_NOT_FOUND;

    if (sam & KEY_SET_VALUE) {
        // A change replaces the file by a rename, so both the file and its
        // directory must be writable.
        std::string target = ResolveHivePath();
        if (access(target.c_str(), W_OK) != 0 || access(GetDirectory(target).c_str(), W_OK) != 0)
            return ERROR_ACCESS_DENIED;
    }

    HKEY__ *k = new (std::nothrow) HKEY__{open_keys, std::move(path), sam};
    if (!k)
        return ERROR_OUTOFMEMORY;
    open_keys = k;
    *result = k;
    return ERROR_SUCCESS;
}

LONG SetValue(HKEY h, LPCSTR name, DWORD type, const BYTE *data, DWORD size) {
    HKEY__ *k = FindOpenKey(h);
    if (!k)
        return IsPredefinedRoot(h) ? ERROR_ACCESS_DENIED : ERROR_INVALID_HANDLE;
    if (!(k->access & KEY_SET_VALUE))
        return ERROR_ACCESS_DENIED;
    if (!data && size != 0)
        return ERROR_INVALID_PARAMETER;
    std::string n = MakeValueName(name);
    if (n.find_first_of("\r\n") != std::string::npos)
        return ERROR_INVALID_PARAMETER; // a line break cannot be written in a name

    Tag_Hive hive;
    Tag_Reg_Key *key = nullptr;
    LONG rc = LoadKeyOf(k, hive, key);
    if (rc != ERROR_SUCCESS)
        return rc;
    n = ConvertNameToHive(hive, n);
    std::vector<BYTE> bytes;
    if (hive.version5 && IsTextType(type))
        bytes = ConvertFromAnsi(data, size);
    else if (size)
        bytes.assign(data, data + size);
    if (!hive.version5) {
        StoreValue(*key, n, type, std::move(bytes), false, 0, 0);
        return WriteHiveFile(SerialiseHive(hive));
    }
    // A value that exists keeps the spelling of its name.
    Tag_Reg_Value *old = FindValue(*key, n);
    Tag_Reg_Value now{old && !old->removed ? old->name : n, type, std::move(bytes), false, 0, 0};
    std::string entry;
    AppendValue(entry, hive, now, hive.eol);
    return WriteHiveFile(EditHive(hive, *key, old, std::move(entry)));
}

LONG QueryValue(HKEY h, LPCSTR name, LPDWORD reserved, LPDWORD type, LPBYTE data, LPDWORD size) {
    HKEY__ *k = FindOpenKey(h);
    if (!k)
        return IsPredefinedRoot(h) ? ERROR_FILE_NOT_FOUND : ERROR_INVALID_HANDLE;
    if (!(k->access & KEY_QUERY_VALUE))
        return ERROR_ACCESS_DENIED;
    if (reserved || (data && !size))
        return ERROR_INVALID_PARAMETER;

    Tag_Hive hive;
    Tag_Reg_Key *key = nullptr;
    LONG rc = LoadKeyOf(k, hive, key);
    if (rc != ERROR_SUCCESS)
        return rc;
    const Tag_Reg_Value *v = FindLiveValue(*key, ConvertNameToHive(hive, MakeValueName(name)));
    if (!v)
        return ERROR_FILE_NOT_FOUND;
    if (type)
        *type = v->type;
    if (!size)
        return ERROR_SUCCESS;
    std::vector<BYTE> ansi;
    if (hive.version5 && IsTextType(v->type))
        ansi = ConvertToAnsi(v->data);
    const std::vector<BYTE> &bytes = hive.version5 && IsTextType(v->type) ? ansi : v->data;
    DWORD need = static_cast<DWORD>(bytes.size());
    if (!data) {
        *size = need;
        return ERROR_SUCCESS;
    }
    DWORD room = *size;
    *size = need;
    if (room < need)
        return ERROR_MORE_DATA;
    if (need)
        memcpy(data, bytes.data(), need);
    return ERROR_SUCCESS;
}

LONG DeleteValue(HKEY h, LPCSTR name) {
    HKEY__ *k = FindOpenKey(h);
    if (!k)
        return IsPredefinedRoot(h) ? ERROR_ACCESS_DENIED : ERROR_INVALID_HANDLE;
    if (!(k->access & KEY_SET_VALUE))
        return ERROR_ACCESS_DENIED;

    Tag_Hive hive;
    Tag_Reg_Key *key = nullptr;
    LONG rc = LoadKeyOf(k, hive, key);
    if (rc != ERROR_SUCCESS)
        return rc;
    std::string n = ConvertNameToHive(hive, MakeValueName(name));
    for (size_t i = 0; i < key->values.size(); ++i) {
        const Tag_Reg_Value &v = key->values[i];
        if (v.removed || !EqualNoCase(v.name, n))
            continue;
        if (!hive.version5) {
            key->values.erase(key->values.begin() + static_cast<std::ptrdiff_t>(i));
            return WriteHiveFile(SerialiseHive(hive));
        }
        // An import removes the value by this line.
        std::string entry;
        AppendName(entry, v.name);
        entry += '-';
        entry += hive.eol;
        return WriteHiveFile(EditHive(hive, *key, &v, std::move(entry)));
    }
    return ERROR_FILE_NOT_FOUND;
}

// ---------------------------------------------------------------------------
// The Win32 entry points. Inside the module the standard containers report an
// allocation failure by throwing; RunGuarded is the one place where that ends,
// as ERROR_OUTOFMEMORY, so no exception leaves the layer.

template <typename Call> LONG RunGuarded(Call call) noexcept {
    try {
        return call();
    } catch (const std::bad_alloc &) {
        return ERROR_OUTOFMEMORY;
    } catch (const std::length_error &) {
        return ERROR_OUTOFMEMORY; // a size beyond what a string or vector can hold
    }
}

} // namespace

LONG RegOpenKeyExA(HKEY key, LPCSTR sub_key, DWORD /*options*/, REGSAM sam_desired, PHKEY result) {
    return RunGuarded([&] { return OpenKey(key, sub_key, sam_desired, result); });
}

LONG RegSetValueExA(HKEY key, LPCSTR value_name, DWORD /*reserved*/, DWORD type, const BYTE *data,
                    DWORD size) {
    return RunGuarded([&] { return SetValue(key, value_name, type, data, size); });
}

LONG RegQueryValueExA(HKEY key, LPCSTR value_name, LPDWORD reserved, LPDWORD type, LPBYTE data,
                      LPDWORD size) {
    return RunGuarded([&] { return QueryValue(key, value_name, reserved, type, data, size); });
}

LONG RegDeleteValueA(HKEY key, LPCSTR value_name) {
    return RunGuarded([&] { return DeleteValue(key, value_name); });
}

LONG RegCloseKey(HKEY key) {
    if (IsPredefinedRoot(key))
        return ERROR_SUCCESS;
    for (HKEY__ **p = &open_keys; *p; p = &(*p)->next) {
        if (*p == key) {
            *p = key->next;
            delete key;
            return ERROR_SUCCESS;
        }
    }
    return ERROR_INVALID_HANDLE;
}
