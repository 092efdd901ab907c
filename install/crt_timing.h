// The CRT timing encoder: a timing block's text turned into the 56-byte
// "CrtTiming" value of the driver's device key, and the number conversions the
// installer reads its texts with. A library of its own, so that the tools use
// the installer's very reading of a block.
#ifndef ORVEX_INSTALL_CRT_TIMING_H
#define ORVEX_INSTALL_CRT_TIMING_H

#include <stdint.h>

#include "platform/win32_api.h"
#include "timing/timing.h"

// The fourteen fields of a timing block, in slot order, and the value's size.
// Slot n holds the field timing_field_keys[n] (timing/timing.h) names.
enum { TIMING_SLOTS = 14, CRT_TIMING_BYTES = TIMING_SLOTS * 4 };
static_assert(TIMING_SLOTS == kTimingFieldCount, "one slot per field of a block");

// The slots read otherwise than as signed decimal numbers, and the one
// compared with the wanted refresh.
enum {
    TIMING_SLOT_HDR = static_cast<int>(kFieldHdr), // the dot rate: unsigned, base 16
    TIMING_SLOT_HP = static_cast<int>(kFieldHp),   // horizontal sync polarity word
    TIMING_SLOT_VLR = static_cast<int>(kFieldVlr), // the vertical line rate
    TIMING_SLOT_VP = static_cast<int>(kFieldVp),   // vertical sync polarity word
};

// The slot is read as a polarity word (TIMING_SLOT_HP, TIMING_SLOT_VP).
bool IsPolarityTimingSlot(int slot);
// The slot is read as a signed decimal number: every slot but TIMING_SLOT_HDR
// and the polarity words, whose values are shown unsigned.
bool IsSignedTimingSlot(int slot);

// The wanted refresh rate read from the device key; 0 accepts any. Set by the
// registry update, read by WrTimingBlock.
extern uint32_t vref;

// Where the installer reads each slot of a block: fields[n] points at the
// character after the n-th "=" of the text. Returns how many slots were found
// (at most TIMING_SLOTS; fewer when the block holds fewer "=" signs).
int FindTimingSlots(const char *timingblock, const char *fields[TIMING_SLOTS]);

// A polarity slot's value as the installer reads it: 1 when the eight
// characters at field (fewer when the text ends sooner) spell "positive",
// ignoring case, else 0.
uint32_t ReadPolaritySlot(const char *field);

// Encode a timing block's text into the fourteen slot values of "CrtTiming".
// The n-th "=" of the block introduces the n-th field. TIMING_SLOT_HDR is read
// as an unsigned base-16 number, the polarity slots as polarity words (the
// eight characters after the "=" spell "positive", ignoring case: 1), the
// others as signed decimal numbers, all limited to 32 bits.
// Returns 1 when TIMING_SLOT_VLR (the vertical line rate) equals
// wanted_refresh or wanted_refresh is 0, 0 when it differs, and -1 when the
// block holds fewer than fourteen "=" signs (timingvalue is then unspecified).
int EncodeTimingBlock(const char *timingblock, uint32_t wanted_refresh,
                      uint32_t timingvalue[TIMING_SLOTS]);

// The 56 bytes of "CrtTiming": the slot values in little-endian order.
void TimingValueBytes(const uint32_t timingvalue[TIMING_SLOTS], BYTE bytes[CRT_TIMING_BYTES]);

// Encode the block with the global vref and store it as "CrtTiming"
// (REG_BINARY, 56 bytes) under hKey. Returns 1 when the refresh matches (or
// vref is 0), else 0; a block with fewer than fourteen fields is not stored and
// gives 0. resid is not used. The store's result goes to timing_store_status.
int WrTimingBlock(HKEY hKey, const char *resid, const char *timingblock);

// The result of the latest store of "CrtTiming" by WrTimingBlock
// (ERROR_SUCCESS or the registry's error code); a call that stores nothing
// leaves it. The registry update sets it before its walk and reads it after.
extern LONG timing_store_status;

// A registry number: 32 bits, little-endian.
void PutLe32(uint32_t value, BYTE bytes[4]);
uint32_t GetLe32(const BYTE bytes[4]);

// The standard conversions of text to a number, with 32-bit results on every
// platform: leading white space and one sign allowed, conversion stops at the
// first character that is not a digit of the base, no digits gives 0; base 16
// accepts a leading 0x. *end (when given) receives where conversion stopped.
//   TextToUnsigned32  out-of-range text gives 0xFFFFFFFF; a minus sign negates
//                     modulo 2^32
//   TextToSigned32    base 10; out-of-range text gives 0x7FFFFFFF or
//                     0x80000000 (as a 32-bit pattern)
//   TextToDecimalWrapping
//                     base 10 without a limit: a value beyond 32 bits wraps
uint32_t TextToUnsigned32(const char *text, int base, const char **end);
uint32_t TextToSigned32(const char *text);
uint32_t TextToDecimalWrapping(const char *text);

#endif
