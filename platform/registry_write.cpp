// A change to the hive as the bytes of the file that holds it.
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
//
// In both formats a value is written as a quoted string when it is a REG_SZ
// whose text gives back exactly its bytes (NUL-terminated, no other NUL, no
// line break; in version 5 valid UTF-16), as dword: when it is a REG_DWORD of
// 4 bytes, and as a hex list otherwise. Long hex lists are broken after a
// comma with a trailing backslash so that no line is longer than 80
// characters; continuation lines are indented by two blanks.

#include "platform/registry_internal.h"

#include <stdio.h>

#include <utility>

namespace {

const size_t kMaxLine = 80;

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
        // After a last line ending in a CR alone only the LF is missing.
        entry.insert(0, hive.lines[key.last_line].cr_last ? "\n" : hive.eol);
    }
    std::string out = hive.bytes.substr(0, begin);
    out += EncodeText(hive, entry);
    out.append(hive.bytes, end, std::string::npos);
    return out;
}

} // namespace

std::string SetHiveValue(Tag_Hive &hive, Tag_Reg_Key &key, const std::string &ansi_name, DWORD type,
                         const BYTE *data, size_t size) {
    std::string name = ConvertNameToHive(hive, ansi_name);
    std::vector<BYTE> bytes = ConvertDataToHive(hive, type, data, size);
    if (!hive.version5) {
        StoreValue(key, name, type, std::move(bytes), false, 0, 0);
        return SerialiseHive(hive);
    }
    // A value that exists keeps the spelling of its name.
    Tag_Reg_Value *old = FindValue(key, name);
    Tag_Reg_Value now{old && !old->removed ? old->name : name, type, std::move(bytes), false, 0, 0};
    std::string entry;
    AppendValue(entry, hive, now, hive.eol);
    return EditHive(hive, key, old, std::move(entry));
}

bool DeleteHiveValue(Tag_Hive &hive, Tag_Reg_Key &key, const std::string &ansi_name,
                     std::string &bytes) {
    Tag_Reg_Value *v = FindValue(key, ConvertNameToHive(hive, ansi_name));
    if (!v || v->removed)
        return false;
    if (!hive.version5) {
        key.values.erase(key.values.begin() + (v - key.values.data()));
        bytes = SerialiseHive(hive);
        return true;
    }
    // An import removes the value by this line.
    std::string entry;
    AppendName(entry, v->name);
    entry += '-';
    entry += hive.eol;
    bytes = EditHive(hive, key, v, std::move(entry));
    return true;
}
