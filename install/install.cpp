// The Orvex NT driver installer. One pass, no dialogue: load ORVEXRES.DAT from
// the system directory, derive the board settings, store them under the
// driver's device key together with the CRT timing of the default mode for
// the monitor "Generic", and report failures in message boxes.
#include "install/install.h"

#include <string.h>

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPSTR lpCmdLine, int nCmdShow) {
    (void)hInstance;
    (void)hPrevInstance;
    (void)lpCmdLine;
    (void)nCmdShow;

    if (!LoadInstallData())
        return 0;
    fontsize = 0;
    strcpy(szMonitorSelect, kGenericMonitor);

    UpdateRegistry(nullptr);
    return 1;
}
