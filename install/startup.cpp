// The start-up both programs share: the data file from the system directory,
// and the board settings derived from its header.
#include "install/install.h"

#include <string.h>

#include "install/crt_timing.h"
#include "install/texts.h"

#ifdef _WIN32
static const char kPathSeparator[] = "\\";
#else
static const char kPathSeparator[] = "/";
#endif

char szSystemPath[128];
char szResDatFileName[] = "ORVEXRES.DAT";
char szResDatFileFullPath[140];

bool LoadInstallData(void) {
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
        MessageBoxA(nullptr, GetInstallText(kTextLoadFailure),
                    GetInstallText(kTextLoadFailureCaption), MB_ICONERROR | MB_OK);
        return false;
    }

    memsize = TextToDecimalWrapping(GetMemSize());
    membase = GetMemAddr() != nullptr ? TextToUnsigned32(GetMemAddr(), 16, nullptr) << 16 : 0;
    memconfig = TextToDecimalWrapping(GetMemConfig());
    return true;
}
