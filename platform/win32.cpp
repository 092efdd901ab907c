// The Win32 services other than the registry, for POSIX builds.

#include "platform/win32.h"

#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

namespace {

// wsprintfA never writes more than this, the terminating NUL included.
const size_t kWsprintfMax = 1024;

} // namespace

int MessageBoxA(HWND /*hWnd*/, LPCSTR lpText, LPCSTR lpCaption, UINT /*uType*/) {
    // Without a caption Windows titles the box "Error".
    fprintf(stderr, "%s: %s\n", lpCaption ? lpCaption : "Error", lpText ? lpText : "");
    fflush(stderr);
    return IDOK;
}

int wsprintfA(LPSTR buffer, LPCSTR format, ...) {
    if (!buffer)
        return 0;
    if (!format) {
        buffer[0] = '\0';
        return 0;
    }
    va_list ap;
    va_start(ap, format);
    int n = vsnprintf(buffer, kWsprintfMax, format, ap);
    va_end(ap);
    if (n < 0) {
        buffer[0] = '\0';
        return 0;
    }
    // vsnprintf reports the length it wanted; the count stored is capped.
    if (static_cast<size_t>(n) >= kWsprintfMax)
        n = static_cast<int>(kWsprintfMax - 1);
    return n;
}

int lstrlenA(LPCSTR lpString) {
    return lpString ? static_cast<int>(strlen(lpString)) : 0;
}

UINT GetSystemDirectoryA(LPSTR lpBuffer, UINT uSize) {
    const char *env = getenv("ORVEX_SYSTEM_DIR");
    char *cwd = nullptr;
    const char *dir = env;
    if (!dir || !*dir) {
        cwd = getcwd(nullptr, 0);
        if (!cwd)
            return 0;
        dir = cwd;
    }
    size_t len = strlen(dir);
    UINT result = 0;
    if (len < 0xFFFFFFFFu) {
        if (lpBuffer && len + 1 <= uSize) {
            memcpy(lpBuffer, dir, len + 1);
            result = static_cast<UINT>(len);
        } else {
            result = static_cast<UINT>(len + 1);
        }
    }
    free(cwd);
    return result;
}
