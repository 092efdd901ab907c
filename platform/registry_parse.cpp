// A hive file's bytes read into the model, and the look-ups on it. The first
// line tells the format:
//
//   REGEDIT4
//       8-bit text in the ANSI code page (a UTF-8 byte-order mark before the
//       header is skipped). A text in the file is the registry's ANSI bytes
//       themselves. No removals ("[-KEY]", "name"=-).
//
//   Windows Registry Editor Version 5.00
//       As `reg export` and `regedit /E` write it: UTF-16LE with a byte-order
//       mark, or UTF-8 with or without one, without a NUL character. Texts are
//       Unicode: in the registry a quoted string is a REG_SZ of UTF-16LE code
//       units ending in a NUL unit, and hex(2), hex(7) or hex(1) data are
//       UTF-16LE already. Quoted strings (value names too) also know the
//       escapes \n and \r, which Wine's regedit writes for line breaks.
//       "[-KEY]" removes the key and every key below it, "name"=- (or @=-)
//       removes a value, as an import applies them in file order.
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
// Anything else is refused, and so are UTF-16 of an odd length, with a lone
// surrogate or without the version-5 header, and a continuation at the end
// of the file.

#include "platform/registry_internal.h"

#include <utility>

#include "common/ascii.h"

namespace {

const char kUtf8Bom[] = "\xEF\xBB\xBF";
const DWORD kMaxData = 0xFFFFFFFFu; // a size a DWORD can report

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
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

// path is key or lies below it.
bool IsInKeyTree(const std::string &path, const std::string &key) {
    if (path.size() > key.size() && path[key.size()] != '\\')
        return false;
    return AsciiStartsWithIgnoringCase(path, key);
}

// Parses 1 to 8 hex digits, the whole of text.
bool ParseHexNumber(const std::string &text, DWORD &out) {
    if (text.empty() || text.size() > 8)
        return false;
    DWORD v = 0;
    for (char c : text) {
        int d = AsciiHexDigitValue(c);
        if (d < 0)
            return false;
        v = (v << 4) | static_cast<DWORD>(d);
    }
    out = v;
    return true;
}

Tag_Reg_Key *FindKey(Tag_Hive &hive, const std::string &path) {
    for (Tag_Reg_Key &k : hive.keys) {
        if (AsciiEqualIgnoringCase(k.path, path))
            return &k;
    }
    return nullptr;
}

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
        int hi = AsciiHexDigitValue(item[0]);
        int lo = item.size() == 2 ? AsciiHexDigitValue(item[1]) : 0;
        if (hi < 0 || lo < 0)
            return false;
        out.push_back(static_cast<BYTE>(item.size() == 2 ? (hi << 4) | lo : hi));
        if (comma == std::string::npos)
            return out.size() <= kMaxData;
        pos = comma + 1;
    }
}

// Parses the data of a value entry, rest (trimmed), into type and data; the
// continuation lines of a hex list ending in a backslash are consumed from
// lines[next...].
bool ParseValueData(const Tag_Hive &hive, const std::string &rest, size_t &next, DWORD &type,
                    std::vector<BYTE> &data) {
    if (!rest.empty() && rest[0] == '"') {
        std::string text;
        size_t end = 0;
        if (!ParseQuoted(rest, hive.version5, end, text) || !Trim(rest.substr(end)).empty())
            return false;
        type = REG_SZ;
        if (hive.version5)
            return EncodeUtf16String(text, data); // always UTF-8: the lines were checked
        data.assign(text.begin(), text.end());
        data.push_back(0);
        return true;
    }
    if (rest.compare(0, 6, "dword:") == 0) {
        DWORD v = 0;
        if (!ParseHexNumber(Trim(rest.substr(6)), v))
            return false;
        for (int i = 0; i < 4; ++i)
            data.push_back(static_cast<BYTE>(v >> (8 * i)));
        type = REG_DWORD;
        return true;
    }
    if (rest.compare(0, 3, "hex") != 0)
        return false;
    size_t p = 3;
    type = REG_BINARY;
    if (p < rest.size() && rest[p] == '(') {
        size_t close = rest.find(')', p);
        if (close == std::string::npos || !ParseHexNumber(rest.substr(p + 1, close - p - 1), type))
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
    return ParseHexList(list, data);
}

// Parses one value entry: its line (already trimmed), which is lines[first],
// and its continuation lines, consumed from lines[next...].
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

    if (hive.version5 && rest == "-") {
        StoreValue(key, name, REG_NONE, {}, true, first, first);
        return true;
    }
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
    if (!ParseValueData(hive, rest, next, type, data))
        return false;
    StoreValue(key, name, type, std::move(data), false, first, next - 1);
    return true;
}

// A section line "[PATH]" or "[-PATH]" (version 5): the key it opens, made
// when new, or the keys it removes. current becomes the key opened, or null.
bool ParseSectionLine(Tag_Hive &hive, const std::string &line, size_t at, Tag_Reg_Key *&current) {
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
        return true;
    }
    std::string path = line.substr(1, line.size() - 2);
    current = FindKey(hive, path);
    if (!current) {
        hive.keys.push_back(Tag_Reg_Key{path, {}, at});
        current = &hive.keys.back();
    }
    current->last_line = at;
    return true;
}

} // namespace

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
        for (const Tag_File_Line &l : hive.lines) {
            if (!IsUtf8WithoutNul(l.text))
                return false;
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
            if (!ParseSectionLine(hive, line, first, current))
                return false;
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

Tag_Reg_Key *FindHiveKey(Tag_Hive &hive, const std::string &ansi_path) {
    return FindKey(hive, ConvertNameToHive(hive, ansi_path));
}

Tag_Reg_Value *FindValue(Tag_Reg_Key &key, const std::string &name) {
    for (Tag_Reg_Value &v : key.values) {
        if (AsciiEqualIgnoringCase(v.name, name))
            return &v;
    }
    return nullptr;
}

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

bool ReadHiveValue(const Tag_Hive &hive, const Tag_Reg_Key &key, const std::string &ansi_name,
                   DWORD &type, std::vector<BYTE> &data) {
    const std::string name = ConvertNameToHive(hive, ansi_name);
    for (const Tag_Reg_Value &v : key.values) {
        if (!v.removed && AsciiEqualIgnoringCase(v.name, name)) {
            type = v.type;
            data = ConvertDataFromHive(hive, v);
            return true;
        }
    }
    return false;
}
