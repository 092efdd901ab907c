// The Orvex NT driver installer's library: start-up, the device registry
// update and the CRT timing encoder, with the installer's globals. Both
// programs, orvexinst and orvexsetup, are built on it.
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
// The monitor whose timings are used.
extern char szMonitorSelect[256];
// The monitor orvexinst always uses, and orvexsetup's second choice.
inline constexpr char kGenericMonitor[] = "Generic";
// The wanted refresh rate (vref) and the encoder: install/crt_timing.h.

// The start-up of both programs: locate ORVEXRES.DAT in the system directory
// and load it; then derive memsize, membase and memconfig from its header
// texts. When the file cannot be loaded (a system directory too long for
// szSystemPath counts as such) it shows the load-failure box and returns
// false; the program then exits with 0.
bool LoadInstallData(void);

// A number of the device key: exactly 4 bytes, of any type, little-endian.
// False when the value is missing or of another size.
bool QueryRegistryNumber(HKEY hKey, const char *name, uint32_t *number);

// Store the board settings under the device key, read the default mode and
// store the matching timing block of szMonitorSelect as "CrtTiming". A failure
// to open the key is shown in a message box owned by hDlg. A value that cannot
// be written does not stop the others; at the end one box owned by hDlg names
// every value not written (a "CrtTiming" whose last write or whose delete,
// when nothing was stored after it, failed; a delete of a value that is not
// there is no failure) and the error of the first.
void UpdateRegistry(HWND hDlg);

// Each program's entry point (install.cpp, setup.cpp).
int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPSTR lpCmdLine, int nCmdShow);

#endif
