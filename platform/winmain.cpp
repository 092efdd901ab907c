// The program's entry point for POSIX builds: hands the arguments to WinMain
// as one command line, as Windows does (the program name left out, the
// arguments joined by blanks).

#include "platform/win32.h"

#include <stdio.h>

#include <new>
#include <string>

int main(int argc, char **argv) {
    std::string cmdline;
    try {
        for (int i = 1; i < argc; ++i) {
            if (i > 1)
                cmdline += ' ';
            cmdline += argv[i];
        }
    } catch (const std::bad_alloc &) {
        fputs("out of memory\n", stderr);
        return 1;
    }
    return WinMain(nullptr, nullptr, &cmdline[0], 1);
}
