// The Orvex NT driver installer. One pass, no dialogue: load ORVEXRES.DAT from
// the system directory, derive the board settings, store them under the
// driver's device key together with the CRT timing of the default mode, and
// report failures in message boxes.
#include "install/install.h"

#include <errno.h>
#include <stdlib.h>
#include <string.h>

#ifdef _WIN32
static const char kPathSeparator[] = "\\";
#else
static const char kPathSeparator[] = "/";
#endif

char szSystemPath[128];
char szResDatFileName[] = "ORVEXRES.DAT";
char szResDatFileFullPath[140];

HKEY hKeyRoot = HKEY_LOCAL_MACHINE;
char szRegPath[260] = "SYSTEM\\CurrentControlSet\\Services\\k5300\\Device0";

uint32_t memsize = 0;
uint32_t memconfig = 0;
uint32_t membase = 0;
uint32_t fontsize = 0;
char szMonitorSelect[256];
uint32_t vref = 0;

const char *const timing_slot_names[TIMING_SLOTS] = {
    "hdr", "hsp", "hbp", "had", "hfp", "hco", "hp", "vlr", "vsp", "vbp", "vad", "vfp", "vco", "vp",
};

// ---------------------------------------------------------------------------
// Number conversions with 32-bit results on every platform
// ---------------------------------------------------------------------------

static bool IsConversionSpace(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

// strtoul with the limits of a 32-bit unsigned long: out-of-range text gives
// 0xFFFFFFFF, and a minus sign negates modulo 2^32.
static uint32_t ToUnsigned32(const char *text, int base, const char **end) {
    const char *p = text;
    while (IsConversionSpace(*p))
        ++p;
    bool negative = *p == '-';
    char *stop = nullptr;
    errno = 0;
    unsigned long value = strtoul(text, &stop, base);
    bool overflow = errno == ERANGE;
    if (end != nullptr)
        *end = stop;
    unsigned long magnitude = negative ? 0ul - value : value;
    if (overflow || magnitude > 0xFFFFFFFFul)
        return 0xFFFFFFFFu;
    return negative ? static_cast<uint32_t>(0u - static_cast<uint32_t>(magnitude))
                    : static_cast<uint32_t>(magnitude);
}

// strtol(…, 10) with the limits of a 32-bit long, as a 32-bit pattern.
static uint32_t ToSigned32(const char *text, const char **end) {
    char *stop = nullptr;
    long value = strtol(text, &stop, 10);
    if (end != nullptr)
        *end = stop;
    if (value > 0x7FFFFFFFl)
        return 0x7FFFFFFFu;
    if (value < -0x7FFFFFFFl - 1)
        return 0x80000000u;
    return static_cast<uint32_t>(value);
}

// The plain decimal conversion: white space, one sign, digits; no digits gives
// 0 and a value beyond 32 bits wraps around.
static uint32_t DecimalWrapping(const char *text) {
    const char *p = text;
    while (IsConversionSpace(*p))
        ++p;
    bool negative = *p == '-';
    if (*p == '-' || *p == '+')
        ++p;
    uint32_t value = 0;
    for (; *p >= '0' && *p <= '9'; ++p)
        value = value * 10u + static_cast<uint32_t>(*p - '0');
    return negative ? 0u - value : value;
}

// ---------------------------------------------------------------------------
// CRT timing encoder
// ---------------------------------------------------------------------------

static bool IsPolaritySlot(int slot) {
    return slot == 6 || slot == 13;
}

// The eight characters after the "=" spell "positive", ignoring case.
static uint32_t Polarity(const char *value) {
    static const char kPositive[] = "positive";
    for (int i = 0; i < 8; ++i) {
        char c = value[i];
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c + 32);
        if (c != kPositive[i]) // also stops at the end of the block
            return 0;
    }
    return 1;
}

int EncodeTimingBlock(const char *timingblock, uint32_t wanted_refresh,
                      uint32_t timingvalue[TIMING_SLOTS]) {
    int result = 1;
    const char *scan = timingblock;
    for (int slot = 0; slot < TIMING_SLOTS; ++slot) {
        const char *equals = strchr(scan, '=');
        if (equals == nullptr)
            return -1;
        const char *value = equals + 1;
        if (IsPolaritySlot(slot)) {
            timingvalue[slot] = Polarity(value);
            scan = value;
            continue;
        }
        timingvalue[slot] = slot == 0 ? ToUnsigned32(value, 16, &scan) : ToSigned32(value, &scan);
        if (slot == 7 && wanted_refresh != 0 && timingvalue[slot] != wanted_refresh)
            result = 0;
    }
    return result;
}

void TimingValueBytes(const uint32_t timingvalue[TIMING_SLOTS], BYTE bytes[CRT_TIMING_BYTES]) {
    for (int slot = 0; slot < TIMING_SLOTS; ++slot)
        for (int b = 0; b < 4; ++b)
            bytes[slot * 4 + b] = static_cast<BYTE>(timingvalue[slot] >> (8 * b));
}

int WrTimingBlock(HKEY hKey, const char *resid, const char *timingblock) {
    (void)resid;
    uint32_t timingvalue[TIMING_SLOTS];
    int result = EncodeTimingBlock(timingblock, vref, timingvalue);
    if (result < 0)
        return 0;
    BYTE bytes[CRT_TIMING_BYTES];
    TimingValueBytes(timingvalue, bytes);
    RegSetValueExA(hKey, "CrtTiming", 0, REG_BINARY, bytes, CRT_TIMING_BYTES);
    return result;
}

// ---------------------------------------------------------------------------
// Device registry update
// ---------------------------------------------------------------------------

static void SetNumber(HKEY hKey, const char *name, uint32_t number) {
    BYTE bytes[4];
    for (int b = 0; b < 4; ++b)
        bytes[b] = static_cast<BYTE>(number >> (8 * b));
    RegSetValueExA(hKey, name, 0, REG_DWORD, bytes, 4);
}

// A default-setting value counts only when it is exactly 4 bytes.
static bool QueryNumber(HKEY hKey, const char *name, uint32_t *number) {
    BYTE bytes[4];
    DWORD size = sizeof bytes;
    if (RegQueryValueExA(hKey, name, nullptr, nullptr, bytes, &size) != ERROR_SUCCESS ||
        size != sizeof bytes)
        return false;
    *number = static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
              static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
    return true;
}

static uint32_t BusTypeCode(const char *bus_type) {
    static const char *const kBusTypes[] = {"OPTI", "VESA", "PCI"};
    if (bus_type == nullptr)
        return 0;
    for (uint32_t i = 0; i < 3; ++i) {
        const char *a = bus_type;
        const char *b = kBusTypes[i];
        while (*a != '\0' && ((*a >= 'a' && *a <= 'z') ? *a - 32 : *a) == *b) {
            ++a;
            ++b;
        }
        if (*a == '\0' && *b == '\0')
            return i + 1;
    }
    return 0;
}

// Width and height of a "WxH" resolution text against the wanted ones.
static bool ResolutionMatches(const char *resid, uint32_t xres, uint32_t yres) {
    const char *end = nullptr;
    if (ToUnsigned32(resid, 10, &end) != xres || *end == '\0')
        return false;
    return ToUnsigned32(end + 1, 10, nullptr) == yres;
}

void UpdateRegistry(HWND hDlg) {
    HKEY hKey = nullptr;
    LONG status = RegOpenKeyExA(hKeyRoot, szRegPath, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, &hKey);
    if (status != ERROR_SUCCESS) {
        char message[64];
        if (status == ERROR_ACCESS_DENIED)
            wsprintfA(message, "Error: Unable to open key. Access Denied.");
        else
            wsprintfA(message, "Error: Unable to open key\nRegOpenKey = %d\nLine = %d",
                      static_cast<int>(status), 405);
        MessageBoxA(hDlg, message, "Message", MB_OK);
        return;
    }

    uint32_t bus_type = BusTypeCode(GetBusType());
    if (bus_type != 0)
        SetNumber(hKey, "BusType", bus_type);
    SetNumber(hKey, "MemBase", membase);
    SetNumber(hKey, "MemSize", memsize);
    SetNumber(hKey, "MemConfig", memconfig);
    SetNumber(hKey, "FontSize", fontsize);
    RegSetValueExA(hKey, "MonitorType", 0, REG_SZ, reinterpret_cast<const BYTE *>(szMonitorSelect),
                   static_cast<DWORD>(lstrlenA(szMonitorSelect) + 1));
    RegDeleteValueA(hKey, "CrtTiming");

    uint32_t xres = 0;
    uint32_t yres = 0;
    bool have_x = QueryNumber(hKey, "DefaultSettings.XResolution", &xres);
    bool have_y = QueryNumber(hKey, "DefaultSettings.YResolution", &yres);
    bool have_refresh = QueryNumber(hKey, "DefaultSettings.VRefresh", &vref);
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
    RegCloseKey(hKey);
}

// ---------------------------------------------------------------------------
// Start-up
// ---------------------------------------------------------------------------

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

    memsize = DecimalWrapping(GetMemSize());
    membase = GetMemAddr() != nullptr ? ToUnsigned32(GetMemAddr(), 16, nullptr) << 16 : 0;
    memconfig = DecimalWrapping(GetMemConfig());
    fontsize = 0;
    strcpy(szMonitorSelect, "Generic");

    UpdateRegistry(nullptr);
    return 1;
}
