#include "platform/command_line.h"

const char *SkipProgramName(const char *command_line) {
    const char *p = command_line;
    // Every character up to a space counts, control characters ending the
    // name too; in a double-byte code page no trail byte is a space or a
    // quote, so bytes need no pairing here.
    bool quoted = false;
    for (; *p != '\0' && (quoted || static_cast<unsigned char>(*p) > ' '); ++p) {
        if (*p == '"')
            quoted = !quoted;
    }
    while (*p != '\0' && static_cast<unsigned char>(*p) <= ' ')
        ++p;
    return p;
}
