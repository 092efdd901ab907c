# Checks from the file alone that a built program starts on Windows NT 3.51
# and 4.0 on an i486:
#   - a 32-bit PE for the i386, Windows GUI subsystem, subsystem version at
#     most 4.0 (NT 3.51 and 4.0 run programs marked 4.0);
#   - it imports only the system DLLs of a clean NT 3.51 (KERNEL32, USER32,
#     ADVAPI32, GDI32, CRTDLL), and from them only the functions of IMPORTS
#     (install/nt-imports.txt) whose first NT version is at most 3.51;
#   - no instruction newer than the i486 (CMOVcc, FCMOVcc, FCOMI/FUCOMI,
#     multi-byte NOP, CPUID, RDTSC, CMPXCHG8B, RDMSR/WRMSR, RDPMC,
#     SYSENTER/SYSEXIT, SYSCALL, the SSE fences and prefetches, any MMX or SSE
#     register);
#   - stripped, and at most MAX_BYTES bytes.
#   cmake -DOBJDUMP=<objdump> -DEXE=<program> -DIMPORTS=<list> -DMAX_BYTES=<n>
#         [-DEXPECT_FAULT=<rule>] -P check-nt-program.cmake
# Every rule is checked and each fault printed as "FAULT <rule>: ...", the
# rules being pe32, subsystem, subsystem-version, dll, function, nt-version,
# instruction, stripped and size. Without EXPECT_FAULT the check fails on any
# fault; with it (the probes that show the check works) it passes only when
# that rule is among the faults.
cmake_minimum_required(VERSION 3.25)

foreach(var OBJDUMP EXE IMPORTS MAX_BYTES)
    if(NOT DEFINED ${var})
        message(FATAL_ERROR "check-nt-program: ${var} not given")
    endif()
endforeach()

if(NOT EXISTS ${EXE})
    message(FATAL_ERROR "check-nt-program: ${EXE} is not built")
endif()

set(faults)
macro(fault rule text)
    list(APPEND faults ${rule})
    message(STATUS "check-nt-program: ${EXE}: FAULT ${rule}: ${text}")
endmacro()

function(objdump output)
    execute_process(COMMAND ${OBJDUMP} ${ARGN} ${EXE} OUTPUT_VARIABLE text RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
        message(FATAL_ERROR "check-nt-program: ${OBJDUMP} ${ARGN} ${EXE} failed (${status})")
    endif()
    set(${output} "${text}" PARENT_SCOPE)
endfunction()

# The file: PE32 for the i386, GUI subsystem 4.0 or earlier, stripped. A
# file the i386 objdump cannot read at all is no such program, and nothing
# more can be read of it.
execute_process(COMMAND ${OBJDUMP} -f -p ${EXE} OUTPUT_VARIABLE headers ERROR_VARIABLE why
                RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    string(STRIP "${why}" why)
    fault(pe32 "${why}")
    set(headers "")
else()
    if(NOT headers MATCHES "file format pei-i386" OR NOT headers MATCHES "Magic[ \t]+010b")
        fault(pe32 "not a 32-bit PE for the i386")
    endif()
    if(NOT headers MATCHES "Subsystem[ \t]+0*2[ \t]")
        fault(subsystem "not a Windows GUI program")
    endif()
    string(REGEX MATCH "MajorSubsystemVersion[ \t]+([0-9]+)" _ "${headers}")
    set(major ${CMAKE_MATCH_1})
    string(REGEX MATCH "MinorSubsystemVersion[ \t]+([0-9]+)" _ "${headers}")
    if("${major}.${CMAKE_MATCH_1}" VERSION_GREATER 4.0)
        fault(subsystem-version "marked for Windows ${major}.${CMAKE_MATCH_1}; NT 3.51 and 4.0 load 4.0 at most")
    endif()
    if(NOT headers MATCHES "symbols stripped" OR NOT headers MATCHES "debugging information removed")
        fault(stripped "not stripped (symbols or debugging information kept)")
    endif()
endif()

# The list of functions NT 3.51 exports: "DLL function version source" rows.
file(STRINGS ${IMPORTS} rows REGEX "^[A-Z0-9]+[ \t]")
set(allowed_dlls KERNEL32 USER32 ADVAPI32 GDI32 CRTDLL)
set(known)
foreach(row IN LISTS rows)
    string(REGEX REPLACE "[ \t]+" ";" fields "${row}")
    list(LENGTH fields count)
    if(count LESS 4)
        message(FATAL_ERROR "check-nt-program: ${IMPORTS}: a row needs DLL, function, NT version and source: ${row}")
    endif()
    list(GET fields 0 dll)
    list(GET fields 1 function)
    list(GET fields 2 since)
    set(since_${dll}_${function} ${since})
endforeach()

# The imports, DLL by DLL: "DLL Name: X" and then one row a function.
string(REGEX MATCHALL "DLL Name: [^\n]+\n[^\n]*\n([^\n]+\n)*" tables "${headers}")
set(import_count 0)
set(dlls)
foreach(table IN LISTS tables)
    string(REGEX MATCH "DLL Name: ([^\r\n]+)" _ "${table}")
    string(TOUPPER "${CMAKE_MATCH_1}" dll)
    string(REGEX REPLACE "\\.DLL$" "" dll "${dll}")
    list(APPEND dlls ${dll})
    if(NOT dll IN_LIST allowed_dlls)
        fault(dll "imports ${dll}.DLL, which a clean NT 3.51 does not have or which is no system DLL")
    endif()
    # One line a function after the two heading lines: hint and name, or an
    # ordinal alone (which no list can vouch for).
    string(REGEX MATCHALL "[^\n]+" entries "${table}")
    list(SUBLIST entries 2 -1 entries)
    foreach(entry IN LISTS entries)
        math(EXPR import_count "${import_count} + 1")
        if(NOT entry MATCHES "^\t[0-9a-f]+\t +[0-9]+ +([A-Za-z_][A-Za-z0-9_@]*)")
            fault(function "imports from ${dll} by ordinal or in a form not understood: ${entry}")
            continue()
        endif()
        set(function ${CMAKE_MATCH_1})
        if(NOT DEFINED since_${dll}_${function})
            fault(function "imports ${dll}!${function}, which ${IMPORTS} does not list")
        elseif(since_${dll}_${function} VERSION_GREATER 3.51)
            fault(nt-version "imports ${dll}!${function}, first exported by NT ${since_${dll}_${function}}")
        endif()
    endforeach()
endforeach()

# Instructions newer than the i486, read from the disassembly of the code.
set(code "")
if(headers)
    objdump(code -d --no-show-raw-insn)
endif()
set(newer "\t(cmov[a-z]+|fcmov[a-z]+|fu?comip?|cpuid|rdtscp?|cmpxchg8b|rdmsr|wrmsr|rdpmc|sysenter|sysexit|syscall|sysret|[lsm]fence|prefetch[a-z0-9]*|clflush|emms|fxsave|fxrstor|ldmxcsr|stmxcsr)[ \t\n]|\tnop[wl]?[ \t]+[^ \t\n]|%x?mm[0-9]|%[yz]mm[0-9]")
string(REGEX MATCHALL "[0-9a-f]+:[^\n]*(${newer})[^\n]*" hits "${code}")
list(LENGTH hits newer_count)
if(newer_count GREATER 0)
    list(GET hits 0 first)
    fault(instruction "${newer_count} instructions newer than the i486, the first: ${first}")
endif()

file(SIZE ${EXE} bytes)
if(bytes GREATER MAX_BYTES)
    fault(size "${bytes} bytes, more than ${MAX_BYTES}")
endif()

list(REMOVE_DUPLICATES faults)
list(JOIN dlls " " dll_text)
message(STATUS "check-nt-program: ${EXE}: ${bytes} bytes, imports ${import_count} functions from ${dll_text}, ${newer_count} instructions newer than the i486")
if(DEFINED EXPECT_FAULT)
    if(NOT EXPECT_FAULT IN_LIST faults)
        message(FATAL_ERROR "check-nt-program: ${EXE}: expected the fault ${EXPECT_FAULT}, found: ${faults}")
    endif()
elseif(faults)
    message(FATAL_ERROR "check-nt-program: ${EXE} does not start on Windows NT 3.51 and 4.0 on an i486 (${faults})")
endif()
