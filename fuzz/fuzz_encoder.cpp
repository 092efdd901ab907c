// The CRT timing encoder on arbitrary block texts: the first four bytes give
// the wanted refresh rate (little-endian), the rest is the block, given as a
// NUL-terminated copy.
#include <stdlib.h>
#include <string.h>

#include "fuzz_common.h"
#include "install/crt_timing.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    uint32_t wanted = 0;
    size_t skip = size < 4 ? size : 4;
    for (size_t i = 0; i < skip; ++i)
        wanted |= static_cast<uint32_t>(data[i]) << (8 * i);
    size_t length = size - skip;
    char *block = static_cast<char *>(malloc(length + 1));
    if (block == nullptr)
        return 0;
    if (length > 0)
        memcpy(block, data + skip, length);
    block[length] = '\0';

    size_t equals = 0;
    for (const char *p = block; *p != '\0'; ++p)
        equals += *p == '=';

    uint32_t slots[TIMING_SLOTS];
    int result = EncodeTimingBlock(block, wanted, slots);
    if (result != -1 && result != 0 && result != 1)
        Broken("the encoder returned", std::to_string(result));
    if ((result == -1) != (equals < TIMING_SLOTS))
        Broken("fourteen fields and the result disagree", std::to_string(equals));
    if (result >= 0) {
        if (slots[6] > 1 || slots[13] > 1)
            Broken("a polarity slot beyond 0 and 1");
        if (wanted == 0 && result != 1)
            Broken("refresh 0 must accept any block");
        if (wanted != 0 && (result == 1) != (slots[7] == wanted))
            Broken("the refresh match disagrees with slot 7");
        BYTE bytes[CRT_TIMING_BYTES];
        TimingValueBytes(slots, bytes);
        for (int s = 0; s < TIMING_SLOTS; ++s) {
            uint32_t back = static_cast<uint32_t>(bytes[s * 4]) |
                            static_cast<uint32_t>(bytes[s * 4 + 1]) << 8 |
                            static_cast<uint32_t>(bytes[s * 4 + 2]) << 16 |
                            static_cast<uint32_t>(bytes[s * 4 + 3]) << 24;
            if (back != slots[s])
                Broken("the byte form lost a slot", std::to_string(s));
        }
    }
    free(block);
    return 0;
}
