// The open keys and the Reg...A services of the POSIX registry (their
// contract: platform/win32.h). Each call loads the hive file afresh, looks the
// key up in the model and, for a change, commits the hive's new bytes
// (platform/registry_internal.h names the parts).

#include "platform/registry_internal.h"

#include <string.h>

#include <new>
#include <stdexcept>
#include <utility>

// An open key: the full key path in ANSI (the root's name, then the sub-keys
// as they were asked for), and the access granted when it was opened. Open
// keys are kept on a list so that a stale or foreign handle is recognised, not
// dereferenced.
struct HKEY__ {
    HKEY__ *next;
    std::string path;
    REGSAM access;
};

namespace {

HKEY__ *open_keys = nullptr;

bool IsPredefinedRoot(HKEY h) {
    uintptr_t v = reinterpret_cast<uintptr_t>(h);
    return v >= 0x80000000u && v <= 0x80000006u;
}

HKEY__ *FindOpenKey(HKEY h) {
    for (HKEY__ *k = open_keys; k; k = k->next) {
        if (k == h)
            return k;
    }
    return nullptr;
}

// Loads the hive and finds the key an open handle refers to.
LONG LoadKeyOf(const HKEY__ *k, Tag_Hive &hive, Tag_Reg_Key *&key) {
    LONG rc = LoadHive(hive);
    if (rc == ERROR_FILE_NOT_FOUND)
        return ERROR_KEY_DELETED; // the hive was there when the key was opened
    if (rc != ERROR_SUCCESS)
        return rc;
    key = FindHiveKey(hive, k->path);
    return key ? ERROR_SUCCESS : ERROR_KEY_DELETED;
}

std::string MakeValueName(LPCSTR name) {
    return name ? std::string(name) : std::string();
}

// ---------------------------------------------------------------------------
// The services

LONG OpenKey(HKEY root, LPCSTR sub_key, REGSAM sam, PHKEY result) {
    if (!result)
        return ERROR_INVALID_PARAMETER;
    *result = nullptr;

    std::string path;
    if (root == HKEY_LOCAL_MACHINE) {
        path = kLocalMachine;
    } else if (HKEY__ *parent = FindOpenKey(root)) {
        path = parent->path;
    } else if (IsPredefinedRoot(root)) {
        return ERROR_FILE_NOT_FOUND; // only the local-machine hive is kept
    } else {
        return ERROR_INVALID_HANDLE;
    }
    if (sub_key && *sub_key) {
        path += '\\';
        path += sub_key;
    }

    Tag_Hive hive;
    LONG rc = LoadHive(hive);
    if (rc != ERROR_SUCCESS)
        return rc;
    if (!FindHiveKey(hive, path))
        return ERROR_FILE_NOT_FOUND;
    if ((sam & KEY_SET_VALUE) && !MayReplaceHive())
        return ERROR_ACCESS_DENIED;

    HKEY__ *k = new (std::nothrow) HKEY__{open_keys, std::move(path), sam};
    if (!k)
        return ERROR_OUTOFMEMORY;
    open_keys = k;
    *result = k;
    return ERROR_SUCCESS;
}

LONG SetValue(HKEY h, LPCSTR name, DWORD type, const BYTE *data, DWORD size) {
    HKEY__ *k = FindOpenKey(h);
    if (!k)
        return IsPredefinedRoot(h) ? ERROR_ACCESS_DENIED : ERROR_INVALID_HANDLE;
    if (!(k->access & KEY_SET_VALUE))
        return ERROR_ACCESS_DENIED;
    if (!data && size != 0)
        return ERROR_INVALID_PARAMETER;
    std::string n = MakeValueName(name);
    if (n.find_first_of("\r\n") != std::string::npos)
        return ERROR_INVALID_PARAMETER; // a line break cannot be written in a name

    Tag_Hive hive;
    Tag_Reg_Key *key = nullptr;
    LONG rc = LoadKeyOf(k, hive, key);
    if (rc != ERROR_SUCCESS)
        return rc;
    return CommitHive(SetHiveValue(hive, *key, n, type, data, size));
}

LONG QueryValue(HKEY h, LPCSTR name, LPDWORD reserved, LPDWORD type, LPBYTE data, LPDWORD size) {
    HKEY__ *k = FindOpenKey(h);
    if (!k)
        return IsPredefinedRoot(h) ? ERROR_FILE_NOT_FOUND : ERROR_INVALID_HANDLE;
    if (!(k->access & KEY_QUERY_VALUE))
        return ERROR_ACCESS_DENIED;
    if (reserved || (data && !size))
        return ERROR_INVALID_PARAMETER;

    Tag_Hive hive;
    Tag_Reg_Key *key = nullptr;
    LONG rc = LoadKeyOf(k, hive, key);
    if (rc != ERROR_SUCCESS)
        return rc;
    DWORD value_type = REG_NONE;
    std::vector<BYTE> bytes;
    if (!ReadHiveValue(hive, *key, MakeValueName(name), value_type, bytes))
        return ERROR_FILE_NOT_FOUND;
    if (type)
        *type = value_type;
    if (!size)
        return ERROR_SUCCESS;
    DWORD need = static_cast<DWORD>(bytes.size());
    if (!data) {
        *size = need;
        return ERROR_SUCCESS;
    }
    DWORD room = *size;
    *size = need;
    if (room < need)
        return ERROR_MORE_DATA;
    if (need)
        memcpy(data, bytes.data(), need);
    return ERROR_SUCCESS;
}

LONG DeleteValue(HKEY h, LPCSTR name) {
    HKEY__ *k = FindOpenKey(h);
    if (!k)
        return IsPredefinedRoot(h) ? ERROR_ACCESS_DENIED : ERROR_INVALID_HANDLE;
    if (!(k->access & KEY_SET_VALUE))
        return ERROR_ACCESS_DENIED;

    Tag_Hive hive;
    Tag_Reg_Key *key = nullptr;
    LONG rc = LoadKeyOf(k, hive, key);
    if (rc != ERROR_SUCCESS)
        return rc;
    std::string bytes;
    if (!DeleteHiveValue(hive, *key, MakeValueName(name), bytes))
        return ERROR_FILE_NOT_FOUND;
    return CommitHive(bytes);
}

// ---------------------------------------------------------------------------
// The Win32 entry points. Inside the module the standard containers report an
// allocation failure by throwing; RunGuarded is the one place where that ends,
// as ERROR_OUTOFMEMORY, so no exception leaves the layer.

template <typename Call> LONG RunGuarded(Call call) noexcept {
    try {
        return call();
    } catch (const std::bad_alloc &) {
        return ERROR_OUTOFMEMORY;
    } catch (const std::length_error &) {
        return ERROR_OUTOFMEMORY; // a size beyond what a string or vector can hold
    }
}

} // namespace

LONG RegOpenKeyExA(HKEY key, LPCSTR sub_key, DWORD /*options*/, REGSAM sam_desired, PHKEY result) {
    return RunGuarded([&] { return OpenKey(key, sub_key, sam_desired, result); });
}

LONG RegSetValueExA(HKEY key, LPCSTR value_name, DWORD /*reserved*/, DWORD type, const BYTE *data,
                    DWORD size) {
    return RunGuarded([&] { return SetValue(key, value_name, type, data, size); });
}

LONG RegQueryValueExA(HKEY key, LPCSTR value_name, LPDWORD reserved, LPDWORD type, LPBYTE data,
                      LPDWORD size) {
    return RunGuarded([&] { return QueryValue(key, value_name, reserved, type, data, size); });
}

LONG RegDeleteValueA(HKEY key, LPCSTR value_name) {
    return RunGuarded([&] { return DeleteValue(key, value_name); });
}

LONG RegCloseKey(HKEY key) {
    if (IsPredefinedRoot(key))
        return ERROR_SUCCESS;
    for (HKEY__ **p = &open_keys; *p; p = &(*p)->next) {
        if (*p == key) {
            *p = key->next;
            delete key;
            return ERROR_SUCCESS;
        }
    }
    return ERROR_INVALID_HANDLE;
}
