# Cross build for 64-bit Windows with MinGW-w64, from the same sources: for
# the tests under Wine on machines whose kernel runs no 32-bit programs
# (Wine's 32-bit half cannot run there, nor any 32-bit Windows program).
# Nothing of it ships.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(ORVEX_MINGW_PREFIX x86_64-w64-mingw32)

include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
