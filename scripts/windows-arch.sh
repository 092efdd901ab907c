# Sourced by the scripts that build and run the Windows programs: which of the
# two Windows builds the tests under Wine can run on this machine. Not run by
# itself.
#
# The programs that ship are 32-bit (the mingw preset, build/mingw). Wine runs
# a 32-bit Windows program with its 32-bit half (wine32:i386), which needs a
# kernel that runs 32-bit programs; some machines' kernels run 64-bit programs
# only. There the tests under Wine run the 64-bit build of the same sources
# (the mingw64 preset, build/mingw64) with Wine's 64-bit half, and the 32-bit
# programs are still built and checked from their files.
#
# Sets and exports:
#   ORVEX_WINDOWS_ARCH    x86 or x64 (set it beforehand to choose; x64 works
#                         on every machine)
#   ORVEX_WINDOWS_PRESET  mingw or mingw64: the build the tests run
#   ORVEX_WINE            the Wine loader for that build's programs and for
#                         Wine's own tools (wineboot, reg, regedit, cmd)

# True when this machine's kernel starts a 32-bit (i386) Linux program: a
# tiny one is assembled with the native binutils and must exit with 42.
kernel_runs_i386() {
    local dir status=1
    dir=$(mktemp -d)
    printf '.globl _start\n_start:\n movl $1, %%eax\n movl $42, %%ebx\n int $0x80\n' >"$dir/probe.s"
    if as --32 -o "$dir/probe.o" "$dir/probe.s" 2>/dev/null &&
        ld -m elf_i386 -o "$dir/probe" "$dir/probe.o" 2>/dev/null; then
        status=0
        "$dir/probe" 2>/dev/null || status=$?
    fi
    rm -rf "$dir"
    [ "$status" -eq 42 ]
}

if [ -z "${ORVEX_WINDOWS_ARCH:-}" ]; then
    if kernel_runs_i386; then
        ORVEX_WINDOWS_ARCH=x86
    else
        ORVEX_WINDOWS_ARCH=x64
    fi
fi
case "$ORVEX_WINDOWS_ARCH" in
x86)
    ORVEX_WINDOWS_PRESET=mingw
    ORVEX_WINE=wine
    ;;
x64)
    ORVEX_WINDOWS_PRESET=mingw64
    # Debian's wine wrapper takes the 32-bit loader whenever it is installed.
    ORVEX_WINE=/usr/lib/wine/wine64
    ;;
*)
    echo "windows-arch: ORVEX_WINDOWS_ARCH must be x86 or x64, not $ORVEX_WINDOWS_ARCH" >&2
    return 1
    ;;
esac
export ORVEX_WINDOWS_ARCH ORVEX_WINDOWS_PRESET ORVEX_WINE
