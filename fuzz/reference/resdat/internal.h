// Helpers shared by the database's modules; not part of the public interface.
#ifndef ORVEX_RESDAT_INTERNAL_H
#define ORVEX_RESDAT_INTERNAL_H

#include <stddef.h>

#include "resdat/resdat.h"

// ASCII-only case folding, whatever the C locale says.
inline char FoldAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
}

// Whole texts equal ignoring the case of ASCII letters.
bool TextEqualNoCase(const char *a, const char *b);

// The first n characters of text equal prefix (of length n) ignoring case.
bool PrefixEqualNoCase(const char *text, const char *prefix, size_t n);

// A malloc'ed copy of length bytes of text plus a NUL, or null (no code set).
char *CopyTextN(const char *text, size_t length);
char *CopyText(const char *text);

// Reset the enumeration cursors (ResDatReset).
void ResetEnumCursors(void);

#endif
