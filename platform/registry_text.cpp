// The registry's text encodings: a version-5 hive file is UTF-16LE or UTF-8,
// and the services are the ANSI ("...A") ones, so its texts are converted as
// Windows' A functions convert them, with the ANSI code page Windows-1252
// (that of a US or Western European Windows; Wine under the tests reports it
// too).
//
// A REG_SZ, REG_EXPAND_SZ or REG_MULTI_SZ value reads as its code units, each
// turned into its Windows-1252 byte, and a value of these types that is set is
// stored as the UTF-16LE code units of its bytes. A code unit Windows-1252 has
// no byte for (a character outside the code page, either half of a surrogate
// pair) reads as '?', and an odd last byte is dropped. Every byte maps to a
// code unit (the five bytes Windows-1252 leaves undefined, 0x81, 0x8D, 0x8F,
// 0x90 and 0x9D, to the control characters of the same number), so bytes that
// are set always read back the same. No NUL is added or taken away. Names and
// key paths are converted the same way. A REGEDIT4 hive's texts are the ANSI
// bytes themselves.

#include "platform/registry_internal.h"

namespace {

const char kUnmappable = '?';

// The characters of the Windows-1252 bytes 0x80 to 0x9F; every other byte is
// the character of its own number. The five bytes the code page leaves
// undefined stand for the control characters of their number.
const uint16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

const size_t kCp1252HighCount = sizeof kCp1252High / sizeof kCp1252High[0];

uint32_t ConvertAnsiChar(BYTE b) {
    return (b >= 0x80 && b - 0x80u < kCp1252HighCount) ? kCp1252High[b - 0x80] : b;
}

char ConvertToAnsiChar(uint32_t unit) {
    if (unit < 0x80 || (unit >= 0xA0 && unit <= 0xFF))
        return static_cast<char>(unit);
    for (size_t i = 0; i < kCp1252HighCount; ++i) {
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
    static const uint32_t kLeast[4] = {0, 0x80, 0x800, 0x10000};
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

} // namespace

bool IsTextType(DWORD type) {
    return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

bool IsUtf8WithoutNul(const std::string &text) {
    uint32_t c = 0;
    for (size_t pos = 0; pos < text.size();) {
        if (!ReadUtf8(text, pos, c) || c == 0)
            return false;
    }
    return true;
}

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

bool EncodeUtf16String(const std::string &text, std::vector<BYTE> &units) {
    for (size_t at = 0; at < text.size();) {
        uint32_t c = 0;
        if (!ReadUtf8(text, at, c))
            return false;
        AppendUtf16(units, c);
    }
    AppendUnit(units, 0);
    return true;
}

std::string ConvertNameToHive(const Tag_Hive &hive, const std::string &ansi) {
    if (!hive.version5)
        return ansi;
    std::string out;
    for (char c : ansi)
        AppendUtf8(out, ConvertAnsiChar(static_cast<BYTE>(c)));
    return out;
}

std::vector<BYTE> ConvertDataToHive(const Tag_Hive &hive, DWORD type, const BYTE *data,
                                    size_t size) {
    std::vector<BYTE> out;
    if (!hive.version5 || !IsTextType(type)) {
        if (size)
            out.assign(data, data + size);
        return out;
    }
    out.reserve(2 * size);
    for (size_t i = 0; i < size; ++i)
        AppendUnit(out, ConvertAnsiChar(data[i]));
    return out;
}

std::vector<BYTE> ConvertDataFromHive(const Tag_Hive &hive, const Tag_Reg_Value &value) {
    if (!hive.version5 || !IsTextType(value.type))
        return value.data;
    const std::vector<BYTE> &units = value.data;
    std::vector<BYTE> out;
    out.reserve(units.size() / 2);
    for (size_t i = 0; i + 1 < units.size(); i += 2)
        out.push_back(static_cast<BYTE>(ConvertToAnsiChar(GetUnit(&units[i]))));
    return out;
}

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
