// The program's entry point for POSIX builds: hands the arguments to WinMain
// as one command line, as Windows does (the program name left out, the
// arguments joined by blanks). Each argument is written so that a Windows
// program's C runtime reads it back as it was: in double quotes when it is
// empty or holds a blank or tab; a quote in it as \", with the backslashes
// before it doubled, and so are those before a closing quote. So a shell's
// "/monitor:Orvex ProView 17" reaches WinMain quoted, as it would on Windows,
// and the same arguments give the same command line as `wine prog.exe ARGS`.

#include "platform/win32.h"

#include <stdio.h>
#include <string.h>

#include <new>
#include <string>

static void AppendArgument(std::string &cmdline, const char *arg) {
    bool quoted = *arg == '\0' || strpbrk(arg, " \t") != nullptr;
    if (quoted)
        cmdline += '"';
    size_t backslashes = 0;
    for (const char *p = arg;; ++p) {
        if (*p == '\\') {
            ++backslashes;
            continue;
        }
        bool doubled = *p == '"' || (*p == '\0' && quoted);
        cmdline.append(doubled ? 2 * backslashes : backslashes, '\\');
        backslashes = 0;
        if (*p == '\0')
            break;
        if (*p == '"')
            cmdline += '\\';
        cmdline += *p;
    }
    if (quoted)
        cmdline += '"';
}

int main(int argc, char **argv) {
    std::string cmdline;
    try {
        for (int i = 1; i < argc; ++i) {
            if (i > 1)
                cmdline += ' ';
            AppendArgument(cmdline, argv[i]);
        }
    } catch (const std::bad_alloc &) {
        fputs("out of memory\n", stderr);
        return 1;
    }
    return WinMain(nullptr, nullptr, &cmdline[0], 1);
}
