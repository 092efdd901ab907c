#!/usr/bin/env bash
# Installs what the native build and tests need, on Debian 12, as root
# (edid-decode is the reference calculator the VESA timing and EDID tests run;
# xmllint, of libxml2-utils, checks the SVG pictures of timings).
# Only missing packages are installed; running it again changes nothing.
set -euo pipefail

packages=(cmake ninja-build g++ clang libclang-rt-14-dev llvm libgtest-dev googletest
          libbenchmark-dev libinih-dev valgrind gcovr clang-format edid-decode
          libxml2-utils)
missing=()
for p in "${packages[@]}"; do
    dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
if ((${#missing[@]})); then
    echo "setup: installing ${missing[*]}"
    # shellcheck source=apt-install.sh
    . "$(dirname "$0")/apt-install.sh"
    apt_install "${missing[@]}" || { echo "setup: FAILED: packages missing" >&2; exit 1; }
fi
