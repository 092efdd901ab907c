// The Orvex NT driver installer: start-up, the device registry update and the
// CRT timing encoder, with the installer's globals.
#ifndef ORVEX_INSTALL_H
#define ORVEX_INSTALL_H

#include <stdint.h>

#include "install/crt_timing.h"
#include "platform/win32_api.h"
#include "resdat/resdat.h"

// The data file's location: the system directory and a separator, the file
// name, and the two joined.
extern char szSystemPath[128];
extern char szResDatFileName[];
extern char szResDatFileFullPath[140];

// The driver's device key: HKEY_LOCAL_MACHINE and kDeviceKeyPath
// (install/device_key.h).
extern HKEY hKeyRoot;
extern char szRegPath[260];

// Board settings stored under the device key.
extern uint32_t memsize;
extern uint32_t memconfig;
extern uint32_t membase;
extern uint32_t fontsize;
// The monitor whose timings are used ("Generic").
extern char szMonitorSelect[256];
// The wanted refresh rate (vref) and the encoder: install/crt_timing.h.

// Store the board settings under the device key, read the default mode and
// store the matching timing block of szMonitorSelect as "CrtTiming". Failures
// to open the key are shown in a message box owned by hDlg.
void UpdateRegistry(HWND hDlg);

// The whole installation: 0 when the data file cannot be loaded, else 1.
int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPSTR lpCmdLine, int nCmdShow);

#endif
