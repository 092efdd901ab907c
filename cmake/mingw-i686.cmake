# Cross build for 32-bit Windows with MinGW-w64: the build that ships.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(ORVEX_MINGW_PREFIX i686-w64-mingw32)

# The installer programs run on Windows NT 3.51 and 4.0 on an i486: the
# project's code is compiled for it (the compiler's default, the Pentium Pro,
# brings in CMOVcc and FCOMI). cmake/check-nt-program.cmake proves it.
set(CMAKE_C_FLAGS_INIT "-march=i486")
set(CMAKE_CXX_FLAGS_INIT "-march=i486")

include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
