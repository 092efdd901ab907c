// The Orvex NT driver installer. One pass, no dialogue: load ORVEXRES.DAT from
// the system directory, derive the board settings, store them under the
// driver's device key together with the CRT timing of the default mode, and
// report failures in message boxes.
#include "install/install.h"

#include <string.h>

#include "install/crt_timing.h"

#ifdef _WIN32
static const char kPathSeparator[] = "\\";
#else
static const char kPathSeparator[] = "/";
#endif

char szSystemPath[128];
char szResDatFileName[] = "ORVEXRES.DAT";
char szResDatFileFullPath[140];

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPSTR lpCmdLine, int nCmdShow) {
    (void)hInstance;
    (void)hPrevInstance;
    (void)lpCmdLine;
    (void)nCmdShow;

    // The directory must leave room for the separator in szSystemPath; a
    // longer one is never cut short but counts as a file that cannot be read.
    UINT length = GetSystemDirectoryA(szSystemPath, sizeof szSystemPath);
    bool located = length > 0 && length <= sizeof szSystemPath - 2;
    if (located) {
        strcat(szSystemPath, kPathSeparator);
        strcpy(szResDatFileFullPath, szSystemPath);
        strcat(szResDatFileFullPath, szResDatFileName);
    }
    if (!located || !ReadDatFile(szResDatFileFullPath)) {
        MessageBoxA(nullptr, "Error reading ORVEXRES.DAT", "Orvex NT Driver Install Error",
                    MB_ICONERROR | MB_OK);
        return 0;
    }

    memsize = TextToDecimalWrapping(GetMemSize());
    membase = GetMemAddr() != nullptr ? TextToUnsigned32(GetMemAddr(), 16, nullptr) << 16 : 0;
    memconfig = TextToDecimalWrapping(GetMemConfig());
    fontsize = 0;
    strcpy(szMonitorSelect, "Generic");

    UpdateRegistry(nullptr);
    return 1;
}
