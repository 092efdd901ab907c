// orvexregshow: prints the installer's values under the driver's device key,
// one a line (name, type, value), with "CrtTiming" broken into its fourteen
// fields. It reads the hive through the same registry services as the
// installer, so it shows what the installer would see.
#include <stdio.h>

#include "install/crt_timing.h"
#include "install/device_key.h"

static const char *TypeName(DWORD type) {
    switch (type) {
    case REG_SZ:
        return "REG_SZ";
    case REG_BINARY:
        return "REG_BINARY";
    case REG_DWORD:
        return "REG_DWORD";
    default:
        return "other";
    }
}

int main() {
    HKEY key = nullptr;
    LONG status = RegOpenKeyExA(HKEY_LOCAL_MACHINE, kDeviceKeyPath, 0, KEY_QUERY_VALUE, &key);
    if (status != ERROR_SUCCESS) {
        printf("(device key cannot be opened: error %d)\n", static_cast<int>(status));
        return 1;
    }
    for (const char *name : kDeviceValueNames) {
        BYTE data[512];
        DWORD size = sizeof data - 1;
        DWORD type = 0;
        status = RegQueryValueExA(key, name, nullptr, &type, data, &size);
        if (status != ERROR_SUCCESS) {
            printf("%-28s (none)\n", name);
            continue;
        }
        printf("%-28s %-10s ", name, TypeName(type));
        if (type == REG_DWORD && size == 4) {
            printf("0x%08x (%u)\n", GetLe32(data), GetLe32(data));
        } else if (type == REG_SZ) {
            data[size] = '\0';
            printf("\"%s\" (%u bytes)\n", reinterpret_cast<char *>(data),
                   static_cast<unsigned>(size));
        } else if (type == REG_BINARY && size == CRT_TIMING_BYTES) {
            printf("%u bytes:\n", static_cast<unsigned>(size));
            for (int slot = 0; slot < TIMING_SLOTS; ++slot) {
                uint32_t value = GetLe32(data + 4 * slot);
                if (IsSignedTimingSlot(slot))
                    printf("    %-4s = %d\n", timing_field_keys[slot], static_cast<int>(value));
                else
                    printf("    %-4s = %u\n", timing_field_keys[slot], value);
            }
        } else {
            for (DWORD i = 0; i < size; ++i)
                printf("%02x%s", data[i], i + 1 < size ? "," : "");
            printf(" (%u bytes)\n", static_cast<unsigned>(size));
        }
    }
    RegCloseKey(key);
    return 0;
}
