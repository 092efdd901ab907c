// Small helpers every part of the tree may use: they depend on nothing but
// the C++ standard library.
//
// Case folding of ASCII letters, whatever the C locale says, and a hash that
// folds alike. Names of monitors, resolutions and timing blocks, keys of
// header variables, bus-type words, option names and registry names compare
// this way; a byte outside A-Z is never folded.
#ifndef ORVEX_COMMON_ASCII_H
#define ORVEX_COMMON_ASCII_H

#include <stdint.h>

#include <string_view>

// c with A-Z folded to a-z.
constexpr char AsciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// c with a-z folded to A-Z.
constexpr char AsciiUpper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// Two NUL-terminated texts equal, ignoring the case of ASCII letters.
constexpr bool AsciiEqualIgnoringCase(const char *a, const char *b) {
    for (; *a != '\0'; ++a, ++b) {
        if (AsciiLower(*a) != AsciiLower(*b))
            return false;
    }
    return *b == '\0';
}

// Two texts of known length equal, ignoring the case of ASCII letters.
constexpr bool AsciiEqualIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (AsciiLower(a[i]) != AsciiLower(b[i]))
            return false;
    }
    return true;
}

// The value of a hexadecimal digit (0-9, a-f, A-F), -1 for any other byte.
constexpr int AsciiHexDigitValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// text begins with prefix, ignoring the case of ASCII letters.
constexpr bool AsciiStartsWithIgnoringCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() &&
           AsciiEqualIgnoringCase(text.substr(0, prefix.size()), prefix);
}

// A hash of a NUL-terminated text that ignores the case of ASCII letters, as
// the comparisons above do (FNV-1a over the folded bytes): texts equal
// ignoring case hash alike, for tables of names.
constexpr uint32_t AsciiHashIgnoringCase(const char *text) {
    uint32_t hash = 2166136261u;
    for (; *text != '\0'; ++text)
        hash = (hash ^ static_cast<unsigned char>(AsciiLower(*text))) * 16777619u;
    return hash;
}

#endif
