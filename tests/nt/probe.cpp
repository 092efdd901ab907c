// A probe: a program linked as orvexinst.exe and orvexsetup.exe are, built
// with one fault at most (tests/nt/CMakeLists.txt chooses it), to show that
// cmake/check-nt-program.cmake finds each fault. Probes are read, never run.
#include <windows.h>

#include <stdlib.h>

#ifdef PROBE_LARGE
// More initialised data than the driver disk allows a program.
volatile char large_data[70000] = {1};
#endif

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR command_line, int) {
    if (command_line[0] == '?') {
#ifdef PROBE_INSTRUCTION
        asm volatile(PROBE_INSTRUCTION);
#endif
#ifdef PROBE_NEWER_FUNCTION
        // Windows 2000's: no NT 3.51 exports it.
        LARGE_INTEGER size;
        GetFileSizeEx(nullptr, &size);
#endif
#ifdef PROBE_MSVCRT_FUNCTION
        // Visual C++ 4.2's runtime has it; NT's own does not.
        return static_cast<int>(_strtoi64(command_line, nullptr, 10));
#endif
#ifdef PROBE_LARGE
        return large_data[command_line[1] & 0x7f];
#endif
    }
    MessageBoxA(nullptr, command_line, "probe", MB_OK);
    return 0;
}
