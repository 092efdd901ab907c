// The Win32 services the installer's modules call: the system's own on
// Windows, the POSIX stand-ins (platform/win32.h) elsewhere.
#ifndef ORVEX_PLATFORM_WIN32_API_H
#define ORVEX_PLATFORM_WIN32_API_H

#ifdef _WIN32
#include <windows.h>
#else
#include "platform/win32.h"
#endif

#endif
