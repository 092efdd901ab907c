#!/usr/bin/env bash
# Installs Debian packages for the set-up scripts (sourced; needs root):
#   apt_install PACKAGE...
# The package lists are fetched up to three times, with a pause between
# tries: a mirror being synchronised fails one index now and then ("File has
# unexpected size ... Mirror sync in progress?"). Lists that still fail are
# not fatal on their own: the install is tried with what was fetched. When a
# list of the security suite is missing (say, its i386 one), that suite's
# newer amd64 libraries no longer match the i386 ones of the main suite, and
# apt refuses packages like wine32:i386; the install is then tried once more
# preferring the main suite for this one command (nothing is kept). When it
# still fails, each package that cannot be installed is named with apt's
# reason, and the function returns non-zero.

apt_lists_incomplete=0

apt_update_with_retries() {
    local try
    apt_lists_incomplete=0
    for try in 1 2 3; do
        # apt-get update exits 0 with "W: Some index files failed" in some
        # versions and 100 in others: read both.
        if apt-get update -qq 2>&1 | tee /dev/stderr | grep -q '^[EW]: .*index files failed'; then
            :
        elif ((PIPESTATUS[0] == 0)); then
            return 0
        fi
        if ((try < 3)); then
            echo "apt-install: apt-get update failed (try $try of 3); again in $((try * 10)) s" >&2
            sleep $((try * 10))
        fi
    done
    echo "apt-install: apt-get update failed three times; installing from the lists it has" >&2
    apt_lists_incomplete=1
}

apt_install() {
    export DEBIAN_FRONTEND=noninteractive
    apt_update_with_retries
    local log pin
    log=$(mktemp)
    if apt-get install -y -qq "$@" >"$log" 2>&1; then
        rm -f "$log"
        return 0
    fi
    if ((apt_lists_incomplete)); then
        echo "apt-install: the install failed on incomplete lists; trying again with the main suite preferred over the security suite" >&2
        pin=$(mktemp)
        printf 'Package: *\nPin: release l=Debian-Security\nPin-Priority: 100\n' >"$pin"
        if apt-get install -y -qq -o Dir::Etc::Preferences="$pin" "$@" >"$log" 2>&1; then
            rm -f "$log" "$pin"
            return 0
        fi
        rm -f "$pin"
    fi
    echo "apt-install: FAILED to install: $*" >&2
    # Ask apt about each package alone, so that the one at fault is named.
    local p
    for p in "$@"; do
        if ! apt-get install -y -qq --simulate "$p" >/dev/null 2>"$log.one"; then
            echo "apt-install: package $p cannot be installed:" >&2
            sed 's/^/    /' "$log.one" >&2
        fi
    done
    echo "apt-install: apt-get said:" >&2
    tail -n 20 "$log" | sed 's/^/    /' >&2
    rm -f "$log" "$log.one"
    return 1
}
