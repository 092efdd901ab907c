# Programs that run on Windows NT 3.51 and 4.0 on an i486: orvexinst.exe,
# orvexsetup.exe and the probes that show their check at work. include() this
# in the folder that builds them (32-bit Windows builds only).
#
# They are linked with the start-up of platform/nt_startup.cpp instead of
# MinGW's, against NT's own C runtime CRTDLL.DLL instead of MSVCRT.DLL, with
# no MinGW runtime library (its printf holds newer instructions) and libgcc
# only for what the compiler itself calls (64-bit division, stack probes);
# marked for Windows 4.0, without the dynamic-base and NX bits, with no
# auto-imported data, stripped for the driver disk.

# The runtime libraries stand last on the link line, after every library of
# the project that needs them: they are the standard libraries of the
# programs of the including folder.
set(crtdll -lcrtdll)
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    # The 64-bit build, for the tests under Wine where 32-bit programs cannot
    # run, links the same way against Wine's 64-bit crtdll.dll. MinGW has no
    # import library for it: one is made from the CRTDLL rows of the list.
    set(list ${PROJECT_SOURCE_DIR}/install/nt-imports.txt)
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${list})
    file(STRINGS ${list} rows REGEX "^CRTDLL[ \t]")
    set(def "LIBRARY crtdll.dll\nEXPORTS\n")
    foreach(row IN LISTS rows)
        string(REGEX REPLACE "^CRTDLL[ \t]+([^ \t]+).*" "\\1" function "${row}")
        string(APPEND def "${function}\n")
    endforeach()
    set(crtdll ${CMAKE_BINARY_DIR}/nt-runtime/libcrtdll.a)
    file(WRITE ${CMAKE_BINARY_DIR}/nt-runtime/crtdll.def "${def}")
    find_program(ORVEX_DLLTOOL ${ORVEX_MINGW_PREFIX}-dlltool REQUIRED)
    execute_process(COMMAND ${ORVEX_DLLTOOL} -d ${CMAKE_BINARY_DIR}/nt-runtime/crtdll.def
                            -D crtdll.dll -l ${crtdll} RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
        message(FATAL_ERROR "nt-program: cannot make ${crtdll} (${status})")
    endif()
endif()
set(CMAKE_CXX_STANDARD_LIBRARIES "${crtdll} -ladvapi32 -luser32 -lgdi32 -lkernel32 -lgcc")

# What the driver disk allows a program, in bytes.
set(ORVEX_NT_MAX_BYTES 65536)

# orvex_nt_program(TARGET [KEEP_SYMBOLS]): link TARGET as such a program;
# KEEP_SYMBOLS (for a probe of the check) leaves it unstripped.
function(orvex_nt_program target)
    cmake_parse_arguments(ARG "KEEP_SYMBOLS" "" "" ${ARGN})
    set(strip -s)
    if(ARG_KEEP_SYMBOLS)
        set(strip)
    endif()
    target_link_libraries(${target} PRIVATE orvexplatform_ntstart)
    target_link_options(${target} PRIVATE -nostartfiles -nostdlib ${strip}
        -Wl,--subsystem,windows:4.0 -Wl,--disable-dynamicbase -Wl,--disable-nxcompat
        -Wl,--disable-auto-import -Wl,--disable-runtime-pseudo-reloc)
endfunction()

# orvex_nt_check(NAME PROGRAM [EXPECT_FAULT RULE] [IMPORTS LIST]): a test that
# reads PROGRAM (a target or a file) with cmake/check-nt-program.cmake: it
# passes when PROGRAM keeps every rule, or, given EXPECT_FAULT, when it
# breaks that rule. IMPORTS defaults to install/nt-imports.txt.
function(orvex_nt_check name program)
    cmake_parse_arguments(ARG "" "EXPECT_FAULT;IMPORTS" "" ${ARGN})
    if(TARGET ${program})
        set(program $<TARGET_FILE:${program}>)
    endif()
    if(NOT ARG_IMPORTS)
        set(ARG_IMPORTS ${PROJECT_SOURCE_DIR}/install/nt-imports.txt)
    endif()
    set(expect)
    if(ARG_EXPECT_FAULT)
        set(expect -DEXPECT_FAULT=${ARG_EXPECT_FAULT})
    endif()
    add_test(NAME ${name}
             COMMAND ${CMAKE_COMMAND} -DOBJDUMP=${CMAKE_OBJDUMP} -DEXE=${program}
                     -DIMPORTS=${ARG_IMPORTS} -DMAX_BYTES=${ORVEX_NT_MAX_BYTES} ${expect}
                     -P ${PROJECT_SOURCE_DIR}/cmake/check-nt-program.cmake)
    set_tests_properties(${name} PROPERTIES LABELS ntcheck)
endfunction()
