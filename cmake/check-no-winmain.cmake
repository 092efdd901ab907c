# Checks that programs built on the libraries do not carry the installer's
# entry point: none of TOOLS defines a WinMain symbol, while the installer's
# own objects (the control; the installer program itself ships stripped) do,
# so that the look-up is known to find it.
#   cmake -DNM=<nm> "-DTOOLS=a|b" "-DINSTALLER=<orvexinst's objects>" -P check-no-winmain.cmake
foreach(var NM TOOLS INSTALLER)
    if(NOT DEFINED ${var})
        message(FATAL_ERROR "check-no-winmain: ${var} not given")
    endif()
endforeach()

function(defines_winmain program result)
    execute_process(COMMAND ${NM} --defined-only ${program} OUTPUT_VARIABLE symbols
                    RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
        message(FATAL_ERROR "check-no-winmain: ${NM} ${program} failed (${status})")
    endif()
    # WinMain as C (_WinMain@16 in 32-bit Windows objects) or C++ (_Z7WinMain...)
    # names it; the C runtime's own WinMainCRTStartup does not count.
    if(symbols MATCHES "[ \t](_?WinMain(@16)?|_Z7WinMain[A-Za-z0-9_]*)[\r\n]")
        set(${result} TRUE PARENT_SCOPE)
    else()
        set(${result} FALSE PARENT_SCOPE)
    endif()
endfunction()

set(found FALSE)
foreach(object IN LISTS INSTALLER)
    if(object MATCHES "\\.(o|obj)$" AND NOT found)
        defines_winmain(${object} found)
    endif()
endforeach()
if(NOT found)
    message(FATAL_ERROR "check-no-winmain: no WinMain found in ${INSTALLER}: the look-up is broken")
endif()
string(REPLACE "|" ";" tools "${TOOLS}")
foreach(tool IN LISTS tools)
    defines_winmain(${tool} found)
    if(found)
        message(FATAL_ERROR "check-no-winmain: ${tool} links the installer's WinMain")
    endif()
    message(STATUS "check-no-winmain: ${tool}: no WinMain")
endforeach()
