// The device registry update: the board settings, the default mode and the
// CRT timing under the driver's device key, with the globals it works from.
#include "install/install.h"

#include <string.h>

#include "common/ascii.h"
#include "install/crt_timing.h"
#include "install/device_key.h"
#include "install/texts.h"

HKEY hKeyRoot = HKEY_LOCAL_MACHINE;
char szRegPath[260] = ORVEX_DEVICE_KEY_PATH;

uint32_t memsize = 0;
uint32_t memconfig = 0;
uint32_t membase = 0;
uint32_t fontsize = 0;
char szMonitorSelect[256];

// The number the open-key message gives as its "Line": fixed, whatever line
// of this file shows the message.
static const int kOpenKeyMessageLine = 405;

// The values of one update that could not be written, named in the order of
// the writes, and the error of the first of them.
struct Tag_Write_Failures {
    char names[96];
    LONG first_error;
};
static_assert(sizeof kValueBusType + sizeof kValueMemBase + sizeof kValueMemSize +
                      sizeof kValueMemConfig + sizeof kValueFontSize + sizeof kValueMonitorType +
                      sizeof kValueCrtTiming + 6 <=
                  sizeof Tag_Write_Failures::names,
              "room for every value the update writes, \", \" between");

// Notes the outcome of the last write of a value.
static void NoteWrite(Tag_Write_Failures *failures, const char *name, LONG status) {
    if (status == ERROR_SUCCESS)
        return;
    size_t length = strlen(failures->names);
    if (length == 0)
        failures->first_error = status;
    // The names fit (checked above); wsprintfA, as the messages are formatted.
    wsprintfA(failures->names + length, "%s%s", length == 0 ? "" : ", ", name);
}

static LONG SetNumber(HKEY hKey, const char *name, uint32_t number) {
    BYTE bytes[4];
    PutLe32(number, bytes);
    return RegSetValueExA(hKey, name, 0, REG_DWORD, bytes, 4);
}

// A value counts as a number only when it is exactly 4 bytes.
bool QueryRegistryNumber(HKEY hKey, const char *name, uint32_t *number) {
    BYTE bytes[4];
    DWORD size = sizeof bytes;
    if (RegQueryValueExA(hKey, name, nullptr, nullptr, bytes, &size) != ERROR_SUCCESS ||
        size != sizeof bytes)
        return false;
    *number = GetLe32(bytes);
    return true;
}

// 1, 2 or 3 for the bus types OPTI, VESA and PCI (ignoring case), else 0.
static uint32_t BusTypeCode(const char *bus_type) {
    static const char *const kBusTypes[] = {"OPTI", "VESA", "PCI"};
    if (bus_type == nullptr)
        return 0;
    uint32_t code = 0;
    for (const char *name : kBusTypes) {
        ++code;
        if (AsciiEqualIgnoringCase(bus_type, name))
            return code;
    }
    return 0;
}

// Width and height of a "WxH" resolution text against the wanted ones.
static bool ResolutionMatches(const char *resid, uint32_t xres, uint32_t yres) {
    const char *end = nullptr;
    if (TextToUnsigned32(resid, 10, &end) != xres || *end == '\0')
        return false;
    return TextToUnsigned32(end + 1, 10, nullptr) == yres;
}

void UpdateRegistry(HWND hDlg) {
    HKEY hKey = nullptr;
    LONG status = RegOpenKeyExA(hKeyRoot, szRegPath, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, &hKey);
    if (status != ERROR_SUCCESS) {
        char message[64];
        if (status == ERROR_ACCESS_DENIED)
            wsprintfA(message, "%s", GetInstallText(kTextOpenKeyDenied));
        else
            wsprintfA(message, GetInstallText(kTextOpenKeyFailed), static_cast<int>(status),
                      kOpenKeyMessageLine);
        MessageBoxA(hDlg, message, GetInstallText(kTextRegistryCaption), MB_OK);
        return;
    }

    // A value that cannot be written does not stop the others.
    Tag_Write_Failures failures = {"", ERROR_SUCCESS};
    uint32_t bus_type = BusTypeCode(GetBusType());
    if (bus_type != 0)
        NoteWrite(&failures, kValueBusType, SetNumber(hKey, kValueBusType, bus_type));
    NoteWrite(&failures, kValueMemBase, SetNumber(hKey, kValueMemBase, membase));
    NoteWrite(&failures, kValueMemSize, SetNumber(hKey, kValueMemSize, memsize));
    NoteWrite(&failures, kValueMemConfig, SetNumber(hKey, kValueMemConfig, memconfig));
    NoteWrite(&failures, kValueFontSize, SetNumber(hKey, kValueFontSize, fontsize));
    NoteWrite(&failures, kValueMonitorType,
              RegSetValueExA(hKey, kValueMonitorType, 0, REG_SZ,
                             reinterpret_cast<const BYTE *>(szMonitorSelect),
                             static_cast<DWORD>(lstrlenA(szMonitorSelect) + 1)));
    // "CrtTiming" goes whether it existed or not, so a value that is not there
    // is no failure; the delete's result stands until a block is stored.
    LONG deleted = RegDeleteValueA(hKey, kValueCrtTiming);
    timing_store_status = deleted == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : deleted;

    uint32_t xres = 0;
    uint32_t yres = 0;
    bool have_x = QueryRegistryNumber(hKey, kValueXResolution, &xres);
    bool have_y = QueryRegistryNumber(hKey, kValueYResolution, &yres);
    bool have_refresh = QueryRegistryNumber(hKey, kValueVRefresh, &vref);
    if (!have_x || !have_y || !have_refresh)
        vref = 0;

    char *resid = nullptr;
    for (char *block = EnumTimingBlocks(szMonitorSelect, &resid); block != nullptr;
         block = EnumTimingBlocks(nullptr, &resid)) {
        if (!have_x || !have_y || !ResolutionMatches(resid, xres, yres))
            continue;
        if (WrTimingBlock(hKey, resid, block))
            break;
    }
    NoteWrite(&failures, kValueCrtTiming, timing_store_status);
    RegCloseKey(hKey);

    if (failures.first_error != ERROR_SUCCESS) {
        char message[sizeof failures.names + 64];
        wsprintfA(message, GetInstallText(kTextWriteFailed), failures.names,
                  static_cast<int>(failures.first_error));
        MessageBoxA(hDlg, message, GetInstallText(kTextRegistryCaption), MB_OK);
    }
}
