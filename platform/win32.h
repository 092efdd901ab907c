// The few Win32 types, constants and services that the installer uses, for
// POSIX builds. On Windows the installer includes <windows.h> instead, so the
// installer's source is the same on both platforms.
//
// Stand-ins (a contract that users and tests rely on):
//   Registry      The local-machine hive is a registry file as Windows'
//                 regedit writes it, named by the environment variable
//                 ORVEX_REGISTRY (default "registry.reg" in the current
//                 directory): REGEDIT4 (ANSI text), or "Windows Registry
//                 Editor Version 5.00" as `reg export` writes it, in UTF-16LE
//                 with a byte-order mark or in UTF-8 with or without one.
//                 Read: CR LF and LF line ends, ';' comments, values of every
//                 type (hex(2), hex(7), hex(b), any hex(N)), and in version 5
//                 "[-KEY]" and "name"=- removals, applied in file order as an
//                 import applies them. Every change is on disk when the call
//                 returns (written to a temporary file, then renamed over the
//                 hive). Keys, values and types not touched survive. A
//                 REGEDIT4 hive is rewritten canonically with CR LF line ends.
//                 A version-5 hive is changed in place, in its own encoding,
//                 byte-order mark, header and line ends, so that it can go
//                 back to Windows with `reg import`: the lines of everything
//                 the change does not concern keep their bytes, a value set
//                 replaces the entry an import would take it from, and a value
//                 deleted is written as "name"=-. In a version-5 hive texts are
//                 UTF-16 (REG_SZ, REG_EXPAND_SZ and REG_MULTI_SZ data, names,
//                 key paths); the services give and take them in the ANSI code
//                 page Windows-1252, unit by unit, as Windows' A functions do:
//                 a character outside the code page reads as '?', every byte
//                 set reads back the same. A hive that cannot be parsed
//                 gives ERROR_BADDB and is never overwritten. A failed write
//                 leaves the old hive in place and gives ERROR_ACCESS_DENIED
//                 (permissions, read-only file system) or ERROR_WRITE_FAULT
//                 (anything else, e.g. a full disk). A key the file no longer
//                 holds since it was opened (its section gone, or removed by
//                 "[-KEY]") gives ERROR_KEY_DELETED.
//   MessageBoxA   Writes "caption: text\n" to standard error, returns IDOK.
//   GetSystemDirectoryA
//                 The environment variable ORVEX_SYSTEM_DIR, or the current
//                 directory when unset.
#ifndef ORVEX_PLATFORM_WIN32_H
#define ORVEX_PLATFORM_WIN32_H

#include <stdint.h>

#define WINAPI
#define APIENTRY
#define CALLBACK

typedef uint32_t DWORD;
typedef int32_t LONG;
typedef uint8_t BYTE;
typedef int BOOL;
typedef uint32_t UINT;
typedef uint32_t REGSAM;
typedef char *LPSTR;
typedef const char *LPCSTR;
typedef BYTE *LPBYTE;
typedef DWORD *LPDWORD;
typedef void *HANDLE;
typedef struct HKEY__ *HKEY;
typedef HKEY *PHKEY;
typedef struct HWND__ *HWND;
typedef struct HINSTANCE__ *HINSTANCE;

#define HKEY_CLASSES_ROOT ((HKEY)(uintptr_t)0x80000000u)
#define HKEY_CURRENT_USER ((HKEY)(uintptr_t)0x80000001u)
#define HKEY_LOCAL_MACHINE ((HKEY)(uintptr_t)0x80000002u)
#define HKEY_USERS ((HKEY)(uintptr_t)0x80000003u)

#define KEY_QUERY_VALUE 0x0001u
#define KEY_SET_VALUE 0x0002u

#define REG_NONE 0u
#define REG_SZ 1u
#define REG_EXPAND_SZ 2u
#define REG_BINARY 3u
#define REG_DWORD 4u
#define REG_MULTI_SZ 7u
#define REG_QWORD 11u

#define ERROR_SUCCESS 0L
#define ERROR_INVALID_FUNCTION 1L
#define ERROR_FILE_NOT_FOUND 2L
#define ERROR_ACCESS_DENIED 5L
#define ERROR_INVALID_HANDLE 6L
#define ERROR_OUTOFMEMORY 14L
#define ERROR_WRITE_FAULT 29L
#define ERROR_INVALID_PARAMETER 87L
#define ERROR_MORE_DATA 234L
#define ERROR_BADDB 1009L
#define ERROR_KEY_DELETED 1018L

#define MB_OK 0x00000000u
#define MB_ICONERROR 0x00000010u
#define IDOK 1

#define MAX_PATH 260

LONG RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD ulOptions, REGSAM samDesired, PHKEY phkResult);
LONG RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD Reserved, DWORD dwType, const BYTE *lpData,
                    DWORD cbData);
LONG RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType,
                      LPBYTE lpData, LPDWORD lpcbData);
LONG RegDeleteValueA(HKEY hKey, LPCSTR lpValueName);
LONG RegCloseKey(HKEY hKey);

int MessageBoxA(HWND hWnd, LPCSTR lpText, LPCSTR lpCaption, UINT uType);
// Formats like Win32's wsprintfA: at most 1024 characters including the NUL.
int wsprintfA(LPSTR buffer, LPCSTR format, ...);
int lstrlenA(LPCSTR lpString);
// The length copied (without the NUL), or the size needed (with the NUL) when
// the buffer is too small, in which case the buffer is left untouched.
UINT GetSystemDirectoryA(LPSTR lpBuffer, UINT uSize);

// The program's entry point; the layer's main() calls it and returns its result.
int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPSTR lpCmdLine, int nCmdShow);

#endif
