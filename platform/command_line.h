// The command line a Windows program's WinMain receives: the whole line the
// system keeps (GetCommandLineA) without the program's name in front.
#ifndef ORVEX_PLATFORM_COMMAND_LINE_H
#define ORVEX_PLATFORM_COMMAND_LINE_H

// The arguments of a whole command line, as the C runtimes hand them to
// WinMain: the program's name is skipped (up to the first blank or control
// character outside double quotes; each quote opens or closes a quoted
// stretch), then the blanks after it. Returns a pointer into command_line,
// at its terminating NUL when nothing follows the name.
const char *SkipProgramName(const char *command_line);

#endif
