// The CRT timing encoder and the installer's number conversions.
#include "install/crt_timing.h"

#include <errno.h>
#include <stdlib.h>
#include <string.h>

#include "common/ascii.h"
#include "install/device_key.h"

uint32_t vref = 0;
LONG timing_store_status = ERROR_SUCCESS;

void PutLe32(uint32_t value, BYTE bytes[4]) {
    for (int b = 0; b < 4; ++b)
        bytes[b] = static_cast<BYTE>(value >> (8 * b));
}

uint32_t GetLe32(const BYTE bytes[4]) {
    return static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
           static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

// ---------------------------------------------------------------------------
// Number conversions
// ---------------------------------------------------------------------------

static bool IsConversionSpace(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

// strtoul with the limits of a 32-bit unsigned long: out-of-range text gives
// 0xFFFFFFFF, and a minus sign negates modulo 2^32.
uint32_t TextToUnsigned32(const char *text, int base, const char **end) {
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
uint32_t TextToSigned32(const char *text) {
    long value = strtol(text, nullptr, 10);
    if (value > 0x7FFFFFFFl)
        return 0x7FFFFFFFu;
    if (value < -0x7FFFFFFFl - 1)
        return 0x80000000u;
    return static_cast<uint32_t>(value);
}

// The plain decimal conversion: white space, one sign, digits; no digits gives
// 0 and a value beyond 32 bits wraps around.
uint32_t TextToDecimalWrapping(const char *text) {
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
// The encoder
// ---------------------------------------------------------------------------

bool IsPolarityTimingSlot(int slot) {
    return slot == TIMING_SLOT_HP || slot == TIMING_SLOT_VP;
}

bool IsSignedTimingSlot(int slot) {
    return slot != TIMING_SLOT_HDR && !IsPolarityTimingSlot(slot);
}

// The eight characters after the "=" spell "positive", ignoring case.
uint32_t ReadPolaritySlot(const char *value) {
    static const char kPositive[] = "positive";
    for (int i = 0; i < 8; ++i) {
        if (AsciiLower(value[i]) != kPositive[i]) // also stops at the end of the block
            return 0;
    }
    return 1;
}

int FindTimingSlots(const char *timingblock, const char *fields[TIMING_SLOTS]) {
    // A number's conversion stops before the next "=" (no digit, sign or
    // blank is one), so each slot's field follows the next "=" of the text.
    int found = 0;
    for (const char *equals = strchr(timingblock, '='); equals != nullptr && found < TIMING_SLOTS;
         equals = strchr(equals + 1, '='))
        fields[found++] = equals + 1;
    return found;
}

int EncodeTimingBlock(const char *timingblock, uint32_t wanted_refresh,
                      uint32_t timingvalue[TIMING_SLOTS]) {
    const char *fields[TIMING_SLOTS];
    if (FindTimingSlots(timingblock, fields) < TIMING_SLOTS)
        return -1;
    int result = 1;
    for (int slot = 0; slot < TIMING_SLOTS; ++slot) {
        const char *value = fields[slot];
        if (IsPolarityTimingSlot(slot))
            timingvalue[slot] = ReadPolaritySlot(value);
        else if (IsSignedTimingSlot(slot))
            timingvalue[slot] = TextToSigned32(value);
        else
            timingvalue[slot] = TextToUnsigned32(value, 16, nullptr);
        if (slot == TIMING_SLOT_VLR && wanted_refresh != 0 && timingvalue[slot] != wanted_refresh)
            result = 0;
    }
    return result;
}

void TimingValueBytes(const uint32_t timingvalue[TIMING_SLOTS], BYTE bytes[CRT_TIMING_BYTES]) {
    for (int slot = 0; slot < TIMING_SLOTS; ++slot)
        PutLe32(timingvalue[slot], bytes + 4 * slot);
}

int WrTimingBlock(HKEY hKey, const char *resid, const char *timingblock) {
    (void)resid;
    uint32_t timingvalue[TIMING_SLOTS];
    int result = EncodeTimingBlock(timingblock, vref, timingvalue);
    if (result < 0)
        return 0;
    BYTE bytes[CRT_TIMING_BYTES];
    TimingValueBytes(timingvalue, bytes);
    timing_store_status =
        RegSetValueExA(hKey, kValueCrtTiming, 0, REG_BINARY, bytes, CRT_TIMING_BYTES);
    return result;
}
