// The Orvex NT driver installer: start-up, the device registry update and the
// CRT timing encoder, with the installer's globals.
#ifndef ORVEX_INSTALL_H
#define ORVEX_INSTALL_H

#ifdef _WIN32
#include <windows.h>
#else
#include "platform/win32.h"
#endif

#include <stdint.h>

#include "resdat/resdat.h"

// The data file's location: the system directory and a separator, the file
// name, and the two joined.
extern char szSystemPath[128];
extern char szResDatFileName[];
extern char szResDatFileFullPath[140];

// The driver's device key: HKEY_LOCAL_MACHINE and
// "SYSTEM\CurrentControlSet\Services\k5300\Device0".
extern HKEY hKeyRoot;
extern char szRegPath[260];

// Board settings stored under the device key.
extern uint32_t memsize;
extern uint32_t memconfig;
extern uint32_t membase;
extern uint32_t fontsize;
// The monitor whose timings are used ("Generic").
extern char szMonitorSelect[256];
// The wanted refresh rate read from the device key; 0 accepts any.
extern uint32_t vref;

// The fourteen fields of a timing block, in slot order, and their size.
enum { TIMING_SLOTS = 14, CRT_TIMING_BYTES = TIMING_SLOTS * 4 };
extern const char *const timing_slot_names[TIMING_SLOTS];

// Encode a timing block's text into the fourteen slot values of "CrtTiming".
// The n-th "=" of the block introduces the n-th field. Slot 0 is read as an
// unsigned base-16 number, slots 6 and 13 as polarity words ("positive" is 1),
// the others as signed decimal numbers, all limited to 32 bits.
// Returns 1 when slot 7 (the vertical line rate) equals wanted_refresh or
// wanted_refresh is 0, 0 when it differs, and -1 when the block holds fewer
// than fourteen "=" signs (timingvalue is then unspecified).
int EncodeTimingBlock(const char *timingblock, uint32_t wanted_refresh,
                      uint32_t timingvalue[TIMING_SLOTS]);

// The 56 bytes of "CrtTiming": the slot values in little-endian order.
void TimingValueBytes(const uint32_t timingvalue[TIMING_SLOTS], BYTE bytes[CRT_TIMING_BYTES]);

// Encode the block with the global vref and store it as "CrtTiming"
// (REG_BINARY, 56 bytes) under hKey. Returns 1 when the refresh matches (or
// vref is 0), else 0; a block with fewer than fourteen fields is not stored and
// gives 0. resid is not used.
int WrTimingBlock(HKEY hKey, const char *resid, const char *timingblock);

// Store the board settings under the device key, read the default mode and
// store the matching timing block of szMonitorSelect as "CrtTiming". Failures
// to open the key are shown in a message box owned by hDlg.
void UpdateRegistry(HWND hDlg);

// The whole installation: 0 when the data file cannot be loaded, else 1.
int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPSTR lpCmdLine, int nCmdShow);

#endif
