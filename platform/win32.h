// The few Win32 types, constants and services that the installer uses, for
// POSIX builds. On Windows the installer includes <windows.h> instead, so the
// installer's source is the same on both platforms.
//
// Stand-ins (a contract that users and tests rely on):
//   Registry      The local-machine hive is a REGEDIT4 text file, named by the
//                 environment variable ORVEX_REGISTRY (default "registry.reg"
//                 in the current directory). Every change is on disk when the
//                 call returns (written to a temporary file, then renamed over
//                 the hive). Keys, values and types not touched survive.
//                 The file is written with CR LF line ends, as regedit does;
//                 CR LF and LF are both read. A hive that cannot be parsed
//                 gives ERROR_BADDB and is never overwritten. A failed write
//                 leaves the old hive in place and gives ERROR_ACCESS_DENIED
//                 (permissions, read-only file system) or ERROR_WRITE_FAULT
//                 (anything else, e.g. a full disk). A key whose section has
//                 gone from the file since it was opened gives
//                 ERROR_KEY_DELETED.
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

LONG RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD ulOptions, REGSAM samDesired,
                   PHKEY phkResult);
LONG RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD Reserved, DWORD dwType,
                    const BYTE *lpData, DWORD cbData);
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
