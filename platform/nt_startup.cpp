// The start-up of orvexinst.exe and orvexsetup.exe on Windows, in place of
// the MinGW runtime's. The programs run on Windows NT 3.51 and 4.0 on an i486:
// the prebuilt MinGW start-up is compiled for the Pentium Pro (its
// command-line loop holds a CMOV, which faults on a 486 before WinMain is
// reached) and it needs MSVCRT.DLL, which a clean NT 3.51 does not have. This
// one is built for the i486 with the rest of the program and uses only
// KERNEL32 and NT's own C runtime, CRTDLL.DLL: it hands WinMain the command
// line without the program's name, as the C runtimes do, and ends the process
// with WinMain's result through the C runtime's exit, which closes the
// streams. The programs keep no pseudo-relocations, thread-local data or
// exception filter of the MinGW runtime that this start-up would have to set
// up (the link refuses auto-imported data).
#include <windows.h>

#include <stdlib.h>

#include "platform/command_line.h"

// The linker's list of static constructors: a -1, the functions, a 0.
extern "C" void (*__CTOR_LIST__[])(void);

extern "C" void WinMainCRTStartup(void) {
    // Static constructors, last first, as GCC's own start-up runs them.
    size_t count = 0;
    while (__CTOR_LIST__[count + 1] != nullptr)
        ++count;
    for (; count > 0; --count)
        __CTOR_LIST__[count]();

    STARTUPINFOA startup;
    startup.dwFlags = 0;
    GetStartupInfoA(&startup);
    int show = (startup.dwFlags & STARTF_USESHOWWINDOW) != 0 ? startup.wShowWindow : SW_SHOWDEFAULT;
    char *arguments = const_cast<char *>(SkipProgramName(GetCommandLineA()));
    exit(WinMain(GetModuleHandleA(nullptr), nullptr, arguments, show));
}
